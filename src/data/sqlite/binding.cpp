#include "common/values.hpp"
#include "data/sqlite/internal.hpp"

namespace qrnmvl::data::sqlite {

void bind_value(sqlite3* db, sqlite3_stmt* statement, int index, const Variant& value) {
  int rc = SQLITE_OK;
  switch (value.type()) {
    case VarType::Empty:
    case VarType::Null:
      rc = sqlite3_bind_null(statement, index);
      break;
    case VarType::Integer:
    case VarType::Long:
      rc = sqlite3_bind_int64(statement, index, to_long(value));
      break;
    case VarType::Double:
    case VarType::Currency:
      rc = sqlite3_bind_double(statement, index, to_double(value));
      break;
    default: {
      const std::string text = value.is_string() ? value.as_string() : to_text(value);
      rc = sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()),
                             SQLITE_TRANSIENT);
    }
  }
  if (rc != SQLITE_OK) raise_sqlite(db);
}

// A typed parameter as the value the database stores.
Variant parameter_value(const Parameter& parameter) {
  const Variant& value = parameter.value;
  if (value.is_empty() || value.is_null()) return Variant::null();
  switch (parameter.type) {
    case DataType::SmallInt:
    case DataType::Integer:
      return Variant(to_long(value));
    case DataType::Double:
    case DataType::Currency:
      return Variant(to_double(value));
    case DataType::Date:
      return Variant(format_date(value, "yyyy/mm/dd hh:mm:ss"));
    default:
      return Variant(to_text(value));
  }
}

}  // namespace qrnmvl::data::sqlite
