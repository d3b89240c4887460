#include <cmath>
#include <cstdint>
#include <limits>

#include "data/odbc/internal.hpp"

namespace qrnmvl::data::odbc {
namespace {

// SQL Server's own types, as its drivers report them.
constexpr SQLSMALLINT kSqlServerTime = -154;
constexpr SQLSMALLINT kSqlServerTimestampOffset = -155;

// How a column is read, by its SQL type.
enum class Reading { Integer, Decimal, Floating, Timestamp, Time, Binary, Text };

Reading reading_for(SQLSMALLINT sql_type) {
  switch (sql_type) {
    case SQL_BIT:
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
      return Reading::Integer;
    case SQL_DECIMAL:
    case SQL_NUMERIC:
      return Reading::Decimal;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE:
      return Reading::Floating;
    case SQL_DATE:
    case SQL_TIMESTAMP:
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIMESTAMP:
    case kSqlServerTimestampOffset:
      return Reading::Timestamp;
    case SQL_TIME:
    case SQL_TYPE_TIME:
    case kSqlServerTime:
      return Reading::Time;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
      return Reading::Binary;
    default:
      return Reading::Text;
  }
}

struct Column {
  std::string name;
  Reading reading = Reading::Text;
  SQLSMALLINT decimal_digits = 0;
};

// Reads a fixed-size value; false when it is NULL.
template <class T>
bool get_fixed(SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT c_type, T& value) {
  SQLLEN indicator = 0;
  check(SQLGetData(statement, column, c_type, &value, sizeof value, &indicator), SQL_HANDLE_STMT,
        statement);
  return indicator != SQL_NULL_DATA;
}

// Reads a text or binary value whole, in pieces: long texts have no size limit.
// Null when the value is NULL.
Variant get_bytes(SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT c_type) {
  // A text piece ends with a terminating NUL the driver adds; bytes do not.
  const std::size_t terminator = c_type == SQL_C_CHAR ? 1 : 0;
  char piece[8192];
  std::string value;
  for (;;) {
    SQLLEN indicator = 0;
    const SQLRETURN rc = SQLGetData(statement, column, c_type, piece, sizeof piece, &indicator);
    if (rc == SQL_NO_DATA) break;  // every piece has been read
    check(rc, SQL_HANDLE_STMT, statement);
    if (indicator == SQL_NULL_DATA) return Variant::null();
    const std::size_t room = sizeof piece - terminator;
    const bool truncated = indicator == SQL_NO_TOTAL || static_cast<std::size_t>(indicator) > room;
    value.append(piece, truncated ? room : static_cast<std::size_t>(indicator));
    if (!truncated) break;
  }
  return Variant(std::move(value));
}

Variant column_value(SQLHSTMT statement, SQLUSMALLINT index, const Column& column) {
  switch (column.reading) {
    case Reading::Integer: {
      std::int64_t value = 0;
      if (!get_fixed(statement, index, SQL_C_SBIGINT, value)) return Variant::null();
      return whole_number(value);
    }
    case Reading::Decimal: {
      double value = 0;
      if (!get_fixed(statement, index, SQL_C_DOUBLE, value)) return Variant::null();
      return decimal_value(value, column.decimal_digits);
    }
    case Reading::Floating: {
      double value = 0;
      if (!get_fixed(statement, index, SQL_C_DOUBLE, value)) return Variant::null();
      return Variant(value);
    }
    case Reading::Timestamp: {
      SQL_TIMESTAMP_STRUCT value{};
      if (!get_fixed(statement, index, SQL_C_TYPE_TIMESTAMP, value)) return Variant::null();
      return Variant(Date::from_parts(value.year, value.month, value.day, value.hour, value.minute,
                                      value.second));
    }
    case Reading::Time: {
      SQL_TIME_STRUCT value{};
      if (!get_fixed(statement, index, SQL_C_TYPE_TIME, value)) return Variant::null();
      // A time alone is a date of day zero, as the value layer reads "08:10".
      return Variant(Date::from_parts(1899, 12, 30, value.hour, value.minute, value.second));
    }
    case Reading::Binary:
      return get_bytes(statement, index, SQL_C_BINARY);
    case Reading::Text:
      // UTF-8: the driver's client character set (see docs/production.md).
      return get_bytes(statement, index, SQL_C_CHAR);
  }
  return Variant::null();
}

std::vector<Column> describe_columns(SQLHSTMT statement, SQLSMALLINT count) {
  std::vector<Column> columns;
  for (SQLUSMALLINT index = 1; index <= static_cast<SQLUSMALLINT>(count); ++index) {
    std::vector<SQLCHAR> name(256);
    SQLSMALLINT name_length = 0, sql_type = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    check(SQLDescribeCol(statement, index, name.data(), static_cast<SQLSMALLINT>(name.size()),
                         &name_length, &sql_type, &size, &digits, &nullable),
          SQL_HANDLE_STMT, statement);
    if (static_cast<std::size_t>(name_length) >= name.size()) {
      name.resize(static_cast<std::size_t>(name_length) + 1);
      check(SQLDescribeCol(statement, index, name.data(), static_cast<SQLSMALLINT>(name.size()),
                           &name_length, &sql_type, &size, &digits, &nullable),
            SQL_HANDLE_STMT, statement);
    }
    columns.push_back({std::string(reinterpret_cast<const char*>(name.data()),
                                   static_cast<std::size_t>(std::max<SQLSMALLINT>(name_length, 0))),
                       reading_for(sql_type), digits});
  }
  return columns;
}

RowSet read_rows(SQLHSTMT statement, SQLSMALLINT count) {
  const std::vector<Column> columns = describe_columns(statement, count);
  std::vector<std::vector<Variant>> rows;
  for (;;) {
    const SQLRETURN rc = SQLFetch(statement);
    if (rc == SQL_NO_DATA) break;
    check(rc, SQL_HANDLE_STMT, statement);
    std::vector<Variant> row;
    row.reserve(columns.size());
    for (std::size_t i = 0; i < columns.size(); ++i)
      row.push_back(column_value(statement, static_cast<SQLUSMALLINT>(i + 1), columns[i]));
    rows.push_back(std::move(row));
  }
  std::vector<std::string> names;
  names.reserve(columns.size());
  for (const auto& column : columns) names.push_back(column.name);
  return RowSet(std::move(names), std::move(rows));
}

// The next result of the statement; false when there is none left.
bool next_result(SQLHSTMT statement) {
  const SQLRETURN rc = SQLMoreResults(statement);
  if (rc == SQL_NO_DATA) return false;
  check(rc, SQL_HANDLE_STMT, statement);
  return true;
}

}  // namespace

Variant whole_number(std::int64_t value) {
  if (value >= std::numeric_limits<std::int32_t>::min() &&
      value <= std::numeric_limits<std::int32_t>::max())
    return Variant(static_cast<std::int32_t>(value));
  return Variant(static_cast<double>(value));
}

Variant decimal_value(double value, SQLSMALLINT decimal_digits) {
  if (decimal_digits <= 0 && std::trunc(value) == value && std::abs(value) < 0x1p53)
    return whole_number(static_cast<std::int64_t>(value));
  return Variant(value);
}

RowSet read_answer(SQLHSTMT statement) {
  // A procedure of SQL Server without SET NOCOUNT ON answers a row count for
  // each statement before its rows; those results have no columns.
  RowSet answer;
  bool more = true;
  while (more && !answer.is_open()) {
    SQLSMALLINT count = 0;
    check(SQLNumResultCols(statement, &count), SQL_HANDLE_STMT, statement);
    if (count > 0) answer = read_rows(statement, count);
    more = next_result(statement);
  }
  while (more) more = next_result(statement);
  return answer;
}

}  // namespace qrnmvl::data::odbc
