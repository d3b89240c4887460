// What the pieces of the ODBC driver share; not seen outside src/data/odbc.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <qrnmvl/variant.hpp>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/command.hpp"
#include "data/rowset.hpp"

namespace qrnmvl::data::odbc {

// --- errors.cpp
// One diagnostic record of a handle.
struct Diagnostic {
  std::string state;  // SQLSTATE, five characters
  long native = 0;    // the server's or driver's own error number
  std::string message;
};

// Error -2147217900 raised from ODBC diagnostics. The description has every
// record, the driver's message first: "<message> (SQLSTATE 42S02, native 208)",
// records joined by "; ". The records stay with it so the connection can tell
// a lost link from a refused command.
class DriverError : public Error {
 public:
  explicit DriverError(std::vector<Diagnostic> records, std::string_view fallback = {});
  const std::vector<Diagnostic>& records() const noexcept { return records_; }
  // SQLSTATE 08S01 (link failure), 08003 (connection not open) or 08007
  // (connection failed during the transaction).
  bool connection_lost() const noexcept;
  // A conflict with another transaction that a new try may not meet: a
  // serialization failure or a deadlock (SQLSTATE 40001, 40P01; native 1205,
  // 1213 of MariaDB and MySQL; ORA-08177 of Oracle).
  bool conflicted() const noexcept;

 private:
  std::vector<Diagnostic> records_;
};

std::vector<Diagnostic> diagnostics(SQLSMALLINT handle_type, SQLHANDLE handle);
// Raises a DriverError with the handle's records, or the fallback text when the
// handle has none.
[[noreturn]] void raise_odbc(SQLSMALLINT handle_type, SQLHANDLE handle,
                             std::string_view fallback = "The ODBC call failed.");
// SQL_SUCCESS and SQL_SUCCESS_WITH_INFO pass; anything else raises.
void check(SQLRETURN rc, SQLSMALLINT handle_type, SQLHANDLE handle);

// An ODBC handle of one type, freed when it goes. A statement handle is
// allocated on a connection handle, a connection handle on an environment.
template <SQLSMALLINT Type>
class Handle {
 public:
  Handle() = default;
  // Allocates a handle under parent (SQL_NULL_HANDLE for an environment).
  // Error -2147217900 with the parent's diagnostics when it cannot.
  explicit Handle(SQLHANDLE parent) {
    const SQLRETURN rc = SQLAllocHandle(Type, parent, &handle_);
    if (!SQL_SUCCEEDED(rc)) {
      handle_ = SQL_NULL_HANDLE;
      if (parent == SQL_NULL_HANDLE) raise_odbc(Type, SQL_NULL_HANDLE, "Out of memory.");
      raise_odbc(Type == SQL_HANDLE_DBC ? SQL_HANDLE_ENV : SQL_HANDLE_DBC, parent);
    }
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  Handle(Handle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  Handle& operator=(Handle&& other) noexcept {
    if (this != &other) {
      reset();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  ~Handle() { reset(); }

  SQLHANDLE get() const noexcept { return handle_; }
  explicit operator bool() const noexcept { return handle_ != SQL_NULL_HANDLE; }
  void reset() noexcept {
    if (handle_ != SQL_NULL_HANDLE) SQLFreeHandle(Type, handle_);
    handle_ = SQL_NULL_HANDLE;
  }

 private:
  SQLHANDLE handle_ = SQL_NULL_HANDLE;
};
using EnvironmentHandle = Handle<SQL_HANDLE_ENV>;
using ConnectionHandle = Handle<SQL_HANDLE_DBC>;
using StatementHandle = Handle<SQL_HANDLE_STMT>;

// --- rowset.cpp
// A whole number as the embedded engine answers it: Long within 32 bits,
// Double beyond.
Variant whole_number(std::int64_t value);
// A DECIMAL or NUMERIC value. Variant has no decimal type: one of scale 0
// holds a whole number (Oracle's NUMBER(10), SQL Server's DECIMAL(18, 0)) and
// reads as one; any other reads as a Double, as a REAL column of the engine.
Variant decimal_value(double value, SQLSMALLINT decimal_digits);
// The answer of an executed statement: the first result that has columns, read
// whole (a closed RowSet when none has). The results after it are read to the
// end, so a failure later in a procedure is raised rather than lost.
RowSet read_answer(SQLHSTMT statement);

// --- binding.cpp
// A value bound to one "?" of a statement; it owns its buffer, which must stay
// where it is until the statement has run.
struct BoundValue {
  SQLSMALLINT direction = SQL_PARAM_INPUT;
  SQLSMALLINT c_type = SQL_C_CHAR;
  SQLSMALLINT sql_type = SQL_VARCHAR;
  SQLULEN column_size = 1;
  SQLSMALLINT decimal_digits = 0;
  std::vector<char> buffer;
  SQLLEN indicator = SQL_NULL_DATA;
};
// A literal of an EXEC text: Long as an integer, Double as a double, String as a
// text, Null as a null.
BoundValue literal_value(const Variant& literal);
// A typed parameter of a prepared command: its type, direction and size, the
// value converted to the type (Currency as an exact decimal, Date as a
// timestamp), Empty and Null as a null. Errors of the conversion (13, 6) as
// the value layer raises them.
BoundValue bound_value(const Parameter& parameter);
// Runs text on the statement with the values bound to its markers, in order.
// The values must outlive the answer's reading, which this does too.
RowSet run_bound(SQLHSTMT statement, const std::string& text, std::vector<BoundValue>& values);

}  // namespace qrnmvl::data::odbc
