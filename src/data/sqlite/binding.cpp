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

// A typed parameter as the value the database stores. The value is already
// of its parameter's type (Connection::call): a Currency stays exact here and
// binds as the double nearest its decimal, so 1234.56 is stored as 1234.56;
// dates become the texts every table holds.
Variant parameter_value(const Parameter& parameter) {
  const Variant& value = parameter.value;
  if (value.is_null()) return value;
  switch (parameter.type) {
    case DataType::Date:
    case DataType::DBTimeStamp:
      return Variant(format_date(value, "yyyy/mm/dd hh:mm:ss"));
    default:
      return value;
  }
}

}  // namespace qrnmvl::data::sqlite
