#include <algorithm>
#include <cstring>

#include "common/values.hpp"
#include "data/odbc/internal.hpp"

namespace qrnmvl::data::odbc {
namespace {

// The largest exact value of a Currency: 19 digits, 4 of them decimals.
constexpr SQLULEN kCurrencyPrecision = 19;
constexpr SQLSMALLINT kCurrencyScale = 4;
// 'yyyy-mm-dd hh:mm:ss'
constexpr SQLULEN kTimestampSize = 19;

template <class T>
void store(BoundValue& bound, const T& value) {
  bound.buffer.resize(sizeof value);
  std::memcpy(bound.buffer.data(), &value, sizeof value);
  bound.indicator = sizeof value;
}

void store_text(BoundValue& bound, const std::string& text) {
  bound.buffer.assign(text.begin(), text.end());
  bound.indicator = static_cast<SQLLEN>(text.size());
  // The column size counts characters; a text's bytes are never fewer, so the
  // declared size never cuts a value the server would take.
  bound.column_size = std::max<SQLULEN>({bound.column_size, text.size(), 1});
}

SQLSMALLINT direction_of(Direction direction) {
  switch (direction) {
    case Direction::Input:
      return SQL_PARAM_INPUT;
    case Direction::InputOutput:
      return SQL_PARAM_INPUT_OUTPUT;
    case Direction::Output:
    case Direction::ReturnValue:
      return SQL_PARAM_OUTPUT;
  }
  return SQL_PARAM_INPUT;
}

SQLSMALLINT text_type_of(DataType type) {
  switch (type) {
    case DataType::Char:
      return SQL_CHAR;
    case DataType::LongVarChar:
      return SQL_LONGVARCHAR;
    case DataType::WChar:
      return SQL_WCHAR;
    case DataType::VarWChar:
      return SQL_WVARCHAR;
    case DataType::LongVarWChar:
      return SQL_WLONGVARCHAR;
    default:
      return SQL_VARCHAR;
  }
}

}  // namespace

BoundValue literal_value(const Variant& literal) {
  BoundValue bound;
  switch (literal.type()) {
    case VarType::Long:
      bound.c_type = SQL_C_SLONG;
      bound.sql_type = SQL_INTEGER;
      bound.column_size = 10;
      store(bound, static_cast<SQLINTEGER>(literal.as_long()));
      break;
    case VarType::Double:
      bound.c_type = SQL_C_DOUBLE;
      bound.sql_type = SQL_DOUBLE;
      bound.column_size = 15;
      store(bound, literal.as_double());
      break;
    case VarType::String:
      store_text(bound, literal.as_string());
      break;
    default:  // Null
      break;
  }
  return bound;
}

BoundValue bound_value(const Parameter& parameter) {
  BoundValue bound;
  bound.direction = direction_of(parameter.direction);
  bound.column_size = static_cast<SQLULEN>(std::max(parameter.size, 1L));
  const Variant& value = parameter.value;
  const bool null = value.is_empty() || value.is_null();
  switch (parameter.type) {
    case DataType::SmallInt:
    case DataType::Integer:
      bound.c_type = SQL_C_SLONG;
      bound.sql_type = parameter.type == DataType::SmallInt ? SQL_SMALLINT : SQL_INTEGER;
      bound.column_size = parameter.type == DataType::SmallInt ? 5 : 10;
      store(bound, static_cast<SQLINTEGER>(null ? 0 : to_long(value)));
      break;
    case DataType::Double:
      bound.c_type = SQL_C_DOUBLE;
      bound.sql_type = SQL_DOUBLE;
      bound.column_size = 15;
      store(bound, null ? 0.0 : to_double(value));
      break;
    case DataType::Currency:
      // As an exact decimal text: a Double on the way could change the cents.
      bound.sql_type = SQL_DECIMAL;
      bound.decimal_digits = kCurrencyScale;
      store_text(bound, null ? std::string() : decimal_text(to_currency(value)));
      bound.column_size = kCurrencyPrecision;
      break;
    case DataType::Date: {
      SQL_TIMESTAMP_STRUCT timestamp{};
      if (!null) {
        const DateParts parts = date_parts(to_date(value));
        timestamp.year = static_cast<SQLSMALLINT>(parts.year);
        timestamp.month = static_cast<SQLUSMALLINT>(parts.month);
        timestamp.day = static_cast<SQLUSMALLINT>(parts.day);
        timestamp.hour = static_cast<SQLUSMALLINT>(parts.hour);
        timestamp.minute = static_cast<SQLUSMALLINT>(parts.minute);
        timestamp.second = static_cast<SQLUSMALLINT>(parts.second);
      }
      bound.c_type = SQL_C_TYPE_TIMESTAMP;
      bound.sql_type = SQL_TYPE_TIMESTAMP;
      bound.column_size = kTimestampSize;
      store(bound, timestamp);
      break;
    }
    default:
      bound.sql_type = text_type_of(parameter.type);
      store_text(bound, null ? std::string() : to_text(value));
      // Room for what an output parameter may bring back (characters of up to
      // four bytes and the terminating NUL).
      if (bound.direction != SQL_PARAM_INPUT)
        bound.buffer.resize(std::max(bound.buffer.size(), bound.column_size * 4 + 1));
  }
  if (null) bound.indicator = SQL_NULL_DATA;
  return bound;
}

RowSet run_bound(SQLHSTMT statement, const std::string& text, std::vector<BoundValue>& values) {
  for (std::size_t i = 0; i < values.size(); ++i) {
    BoundValue& value = values[i];
    if (value.buffer.empty()) value.buffer.resize(1);  // a null still needs an address
    check(SQLBindParameter(statement, static_cast<SQLUSMALLINT>(i + 1), value.direction,
                           value.c_type, value.sql_type, value.column_size, value.decimal_digits,
                           value.buffer.data(), static_cast<SQLLEN>(value.buffer.size()),
                           &value.indicator),
          SQL_HANDLE_STMT, statement);
  }
  const SQLRETURN rc =
      SQLExecDirect(statement, reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.c_str())),
                    static_cast<SQLINTEGER>(text.size()));
  // SQL_NO_DATA: a statement that touched no row, which is no failure.
  if (rc != SQL_NO_DATA) check(rc, SQL_HANDLE_STMT, statement);
  return read_answer(statement);
}

}  // namespace qrnmvl::data::odbc
