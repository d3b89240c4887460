#include "data/odbc/connection.hpp"

#include <algorithm>
#include <limits>
#include <utility>

#include "common/text.hpp"
#include "data/transaction.hpp"

namespace qrnmvl::data::odbc {
namespace {

// A procedure name goes into the call text itself, so it may hold nothing but
// the characters of a name (an owner may come before it with a '.').
void require_plain_name(std::string_view name) {
  const bool plain = !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x80 || ascii::is_digit(c) ||
           (ascii::lower(c) >= 'a' && ascii::lower(c) <= 'z') || c == '_' || c == '.' || c == '@' ||
           c == '#' || c == '$';
  });
  if (!plain)
    throw Error(err::database, "Invalid stored procedure name '" + std::string(name) + "'.");
}

SQLCHAR* sql_text(const std::string& text) {
  return reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.c_str()));
}

// A catalog name as the catalog lists it: SQL Server adds the procedure's
// group number (";1").
std::string_view listed_name(const Variant& value) {
  if (!value.is_string()) return {};
  std::string_view name = value.as_string();
  return name.substr(0, name.find(';'));
}

}  // namespace

OdbcConnection::OdbcConnection(std::string text, const std::string& driver_text, Trace trace,
                               int command_timeout_seconds)
    : text_(std::move(text)), environment_(SQL_NULL_HANDLE) {
  check(SQLSetEnvAttr(environment_.get(), SQL_ATTR_ODBC_VERSION,
                      reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_OV_ODBC3)), 0),
        SQL_HANDLE_ENV, environment_.get());
  ConnectionHandle connection(environment_.get());
  if (driver_text.size() > static_cast<std::size_t>(std::numeric_limits<SQLSMALLINT>::max()))
    throw Error(err::database, "The connection text is too long.");
  const SQLRETURN rc = SQLDriverConnect(connection.get(), nullptr, sql_text(driver_text),
                                        static_cast<SQLSMALLINT>(driver_text.size()), nullptr, 0,
                                        nullptr, SQL_DRIVER_NOPROMPT);
  if (!SQL_SUCCEEDED(rc))
    raise_odbc(SQL_HANDLE_DBC, connection.get(), "The driver manager refused the connection text.");
  connection_ = std::move(connection);
  set_trace(std::move(trace));
  set_command_timeout(command_timeout_seconds);
}

OdbcConnection::~OdbcConnection() { close(); }

bool OdbcConnection::is_open() const noexcept {
  const std::lock_guard lock(mutex_);
  return static_cast<bool>(connection_);
}

void OdbcConnection::require_open() const {
  if (!connection_) raise(err::object_closed);
}

bool OdbcConnection::connection_dead() const noexcept {
  SQLUINTEGER dead = SQL_CD_FALSE;
  const SQLRETURN rc =
      SQLGetConnectAttr(connection_.get(), SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr);
  return SQL_SUCCEEDED(rc) && dead == SQL_CD_TRUE;
}

void OdbcConnection::read_only() noexcept {
  const std::lock_guard lock(mutex_);
  if (connection_)
    SQLSetConnectAttr(connection_.get(), SQL_ATTR_ACCESS_MODE,
                      reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(SQL_MODE_READ_ONLY)),
                      SQL_IS_UINTEGER);
}

bool OdbcConnection::alive() noexcept {
  const std::lock_guard lock(mutex_);
  if (!connection_) return false;
  // Drivers that check the link for this attribute (MariaDB's pings the
  // server) tell a restarted server here; others tell only what they saw.
  if (!connection_dead()) return true;
  disconnect();
  return false;
}

template <class Action>
auto OdbcConnection::on_link(Action action) -> decltype(action()) {
  try {
    return action();
  } catch (const DriverError& error) {
    if (error.conflicted()) note_conflict();
    if (error.connection_lost() || connection_dead()) disconnect();
    throw;
  }
}

void OdbcConnection::disconnect() noexcept {
  if (!connection_) return;
  // Whatever the server still holds of an open transaction is rolled back by
  // the server when the session ends; these calls may fail on a lost link.
  if (in_transaction_) SQLEndTran(SQL_HANDLE_DBC, connection_.get(), SQL_ROLLBACK);
  SQLDisconnect(connection_.get());
  connection_.reset();
  environment_.reset();
  in_transaction_ = false;
}

void OdbcConnection::close() noexcept {
  const std::lock_guard lock(mutex_);
  disconnect();
}

RowSet OdbcConnection::run(const std::string& text, std::vector<BoundValue> values,
                           int timeout_seconds) {
  return on_link([&] {
    StatementHandle statement(connection_.get());
    // A driver that cannot limit a statement says so with a warning or an
    // error here; the command still runs, as it would without the option.
    SQLSetStmtAttr(statement.get(), SQL_ATTR_QUERY_TIMEOUT,
                   reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(std::max(timeout_seconds, 0))),
                   SQL_IS_UINTEGER);
    return run_bound(statement.get(), text, values);
  });
}

RowSet OdbcConnection::run_procedure(const ExecCall& call, int timeout_seconds) {
  std::vector<BoundValue> values;
  values.reserve(call.arguments.size());
  for (const auto& argument : call.arguments) values.push_back(literal_value(argument));
  // The call text is written before the values are handed over: an argument
  // that is moved is never read in the same call.
  const std::string text = call_text(call.procedure, values.size());
  const std::lock_guard lock(mutex_);
  require_open();
  return run(text, std::move(values), timeout_seconds);
}

RowSet OdbcConnection::run_prepared(const std::string& procedure,
                                    const std::vector<Parameter>& parameters,
                                    int timeout_seconds) {
  require_plain_name(procedure);
  std::vector<BoundValue> values;
  values.reserve(parameters.size());
  for (const auto& parameter : parameters) values.push_back(bound_value(parameter));
  const std::string text = call_text(procedure, values.size());
  const std::lock_guard lock(mutex_);
  require_open();
  return run(text, std::move(values), timeout_seconds);
}

RowSet OdbcConnection::run_statement(const std::string& statement, int timeout_seconds) {
  const std::lock_guard lock(mutex_);
  require_open();
  return run(statement, {}, timeout_seconds);
}

// --- Transactions --------------------------------------------------------------------

void OdbcConnection::set_autocommit(bool on) {
  check(SQLSetConnectAttr(connection_.get(), SQL_ATTR_AUTOCOMMIT,
                          reinterpret_cast<SQLPOINTER>(
                              static_cast<SQLULEN>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF)),
                          SQL_IS_UINTEGER),
        SQL_HANDLE_DBC, connection_.get());
}

void OdbcConnection::begin(Isolation isolation) {
  const std::lock_guard lock(mutex_);
  require_open();
  if (in_transaction_)
    throw Error(err::database, "A transaction is already open on this connection.");
  on_link([&] {
    if (isolation == Isolation::Serializable) {
      // Set while no transaction is open, as drivers require; the command
      // texts stay as they are, the server's isolation makes them safe.
      SQLUINTEGER current = 0;
      check(SQLGetConnectAttr(connection_.get(), SQL_ATTR_TXN_ISOLATION, &current, 0, nullptr),
            SQL_HANDLE_DBC, connection_.get());
      if (current != SQL_TXN_SERIALIZABLE) {
        check(SQLSetConnectAttr(connection_.get(), SQL_ATTR_TXN_ISOLATION,
                                reinterpret_cast<SQLPOINTER>(
                                    static_cast<SQLULEN>(SQL_TXN_SERIALIZABLE)),
                                SQL_IS_UINTEGER),
              SQL_HANDLE_DBC, connection_.get());
        restore_isolation_ = current;
      }
    }
    set_autocommit(false);
  });
  in_transaction_ = true;
}

void OdbcConnection::end_transaction() {
  in_transaction_ = false;
  set_autocommit(true);
  if (restore_isolation_ != 0) {
    const SQLUINTEGER isolation = std::exchange(restore_isolation_, 0);
    check(SQLSetConnectAttr(connection_.get(), SQL_ATTR_TXN_ISOLATION,
                            reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(isolation)),
                            SQL_IS_UINTEGER),
          SQL_HANDLE_DBC, connection_.get());
  }
}

void OdbcConnection::commit() {
  const std::lock_guard lock(mutex_);
  require_open();
  if (!in_transaction_) throw Error(err::database, "No transaction is open on this connection.");
  on_link([&] {
    check(SQLEndTran(SQL_HANDLE_DBC, connection_.get(), SQL_COMMIT), SQL_HANDLE_DBC,
          connection_.get());
    end_transaction();
  });
}

void OdbcConnection::rollback() {
  const std::lock_guard lock(mutex_);
  require_open();
  if (!in_transaction_) return;
  on_link([&] {
    check(SQLEndTran(SQL_HANDLE_DBC, connection_.get(), SQL_ROLLBACK), SQL_HANDLE_DBC,
          connection_.get());
    end_transaction();
  });
}

// --- What the database holds ---------------------------------------------------------

std::string OdbcConnection::info_text(SQLUSMALLINT info) const {
  std::vector<char> value(256);
  SQLSMALLINT length = 0;
  for (;;) {
    check(SQLGetInfo(connection_.get(), info, value.data(), static_cast<SQLSMALLINT>(value.size()),
                     &length),
          SQL_HANDLE_DBC, connection_.get());
    if (static_cast<std::size_t>(length) < value.size()) break;
    value.resize(static_cast<std::size_t>(length) + 1);
  }
  return std::string(value.data(), static_cast<std::size_t>(std::max<SQLSMALLINT>(length, 0)));
}

ServerInfo OdbcConnection::server_info() {
  const std::lock_guard lock(mutex_);
  require_open();
  return on_link([&] {
    return ServerInfo{info_text(SQL_DBMS_NAME), info_text(SQL_DBMS_VER), info_text(SQL_DRIVER_NAME),
                      info_text(SQL_DRIVER_VER)};
  });
}

template <class List>
bool OdbcConnection::catalog_lists(const std::string& name, SQLUSMALLINT name_column, List list) {
  const std::lock_guard lock(mutex_);
  require_open();
  if (name.size() > static_cast<std::size_t>(std::numeric_limits<SQLSMALLINT>::max())) return false;
  std::vector<std::string> patterns{name};
  for (const std::string& other : {ascii::upper(name), ascii::lower(name)})
    if (std::find(patterns.begin(), patterns.end(), other) == patterns.end())
      patterns.push_back(other);
  // The name is a search pattern, where '_' stands for any character: each
  // listed name is compared whole.
  return on_link([&] {
    // Only the database the connection works in counts: a server lists the
    // objects of every database it holds when no catalog is named.
    std::string catalog;
    if (info_text(SQL_CATALOG_NAME) == "Y") catalog = current_catalog();
    for (const std::string& pattern : patterns) {
      StatementHandle statement(connection_.get());
      check(list(statement.get(), catalog.empty() ? nullptr : sql_text(catalog),
                 static_cast<SQLSMALLINT>(catalog.size()), sql_text(pattern),
                 static_cast<SQLSMALLINT>(pattern.size())),
            SQL_HANDLE_STMT, statement.get());
      const RowSet listed = read_answer(statement.get());
      if (!listed.is_open()) continue;
      for (const auto& row : listed.rows())
        if (row.size() >= name_column && ascii::same_name(listed_name(row[name_column - 1]), name))
          return true;
    }
    return false;
  });
}

std::string OdbcConnection::current_catalog() const {
  std::vector<char> value(256);
  SQLINTEGER length = 0;
  for (;;) {
    const SQLRETURN rc =
        SQLGetConnectAttr(connection_.get(), SQL_ATTR_CURRENT_CATALOG, value.data(),
                          static_cast<SQLINTEGER>(value.size()), &length);
    // A driver without the attribute lists what its login reaches.
    if (!SQL_SUCCEEDED(rc) || length < 0) return {};
    if (static_cast<std::size_t>(length) < value.size()) break;
    value.resize(static_cast<std::size_t>(length) + 1);
  }
  return std::string(value.data(), static_cast<std::size_t>(length));
}

bool OdbcConnection::has_procedure(const std::string& name) {
  // PROCEDURE_NAME is the third column of SQLProcedures.
  return catalog_lists(name, 3,
                       [](SQLHSTMT statement, SQLCHAR* catalog, SQLSMALLINT catalog_length,
                          SQLCHAR* pattern, SQLSMALLINT length) {
                         return SQLProcedures(statement, catalog, catalog_length, nullptr, 0,
                                              pattern, length);
                       });
}

bool OdbcConnection::has_table(const std::string& name) {
  // TABLE_NAME is the third column of SQLTables; every table type counts, so a
  // synonym or view the application reaches its table through does too.
  return catalog_lists(name, 3,
                       [](SQLHSTMT statement, SQLCHAR* catalog, SQLSMALLINT catalog_length,
                          SQLCHAR* pattern, SQLSMALLINT length) {
                         return SQLTables(statement, catalog, catalog_length, nullptr, 0, pattern,
                                          length, nullptr, 0);
                       });
}

}  // namespace qrnmvl::data::odbc
