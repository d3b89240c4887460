// A connection through the ODBC driver manager: procedure calls as "{ call }"
// with bound arguments, plain statements as text, each command committed on
// its own.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "data/connection.hpp"
#include "data/odbc/internal.hpp"

namespace qrnmvl::data::odbc {

class OdbcConnection final : public Connection {
 public:
  // Connects with driver_text (the connection text without the component's own
  // keys). Error -2147217900 with the driver manager's diagnostics when it cannot.
  OdbcConnection(std::string text, const std::string& driver_text, Trace trace,
                 int command_timeout_seconds = kDefaultCommandTimeoutSeconds);
  ~OdbcConnection() override;
  OdbcConnection(const OdbcConnection&) = delete;
  OdbcConnection& operator=(const OdbcConnection&) = delete;

  const std::string& text() const noexcept override { return text_; }
  bool is_open() const noexcept override;
  void begin(Isolation isolation) override;
  void commit() override;
  void rollback() override;
  void close() noexcept override;
  ServerInfo server_info() override;
  bool has_procedure(const std::string& name) override;
  bool has_table(const std::string& name) override;
  bool alive() noexcept override;
  // Tells the driver the connection only reads (SQL_MODE_READ_ONLY): a hint a
  // driver may act on; one that cannot is left as it is.
  void read_only() noexcept;

  // The connection handle while open (null once closed), for the driver's own
  // tests; nothing else reaches past this class.
  SQLHDBC native_handle() const noexcept { return connection_.get(); }

 protected:
  RowSet run_procedure(const ExecCall& call, int timeout_seconds) override;
  RowSet run_prepared(const std::string& procedure, const std::vector<Parameter>& parameters,
                      int timeout_seconds) override;
  RowSet run_statement(const std::string& statement, int timeout_seconds) override;

 private:
  void require_open() const;
  // Runs an action that talks to the server. A failure that shows the server
  // has dropped the connection closes it, so the next command reopens it
  // rather than failing too; the error still reaches the caller.
  template <class Action>
  auto on_link(Action action) -> decltype(action());
  // Runs text with the values bound, on a statement of its own whose query
  // time limit is timeout_seconds (0: none).
  RowSet run(const std::string& text, std::vector<BoundValue> values, int timeout_seconds);
  bool connection_dead() const noexcept;
  void disconnect() noexcept;
  void set_autocommit(bool on);
  // Ends the transaction's own settings: autocommit back on, the isolation
  // it replaced put back.
  void end_transaction();
  std::string info_text(SQLUSMALLINT info) const;
  // The database the connection works in; empty when the driver cannot say.
  std::string current_catalog() const;
  // True when a catalog function (SQLProcedures, SQLTables) lists name in the
  // column name_column, trying the name as written, upper and lower case: the
  // catalogs of Oracle hold unquoted names in upper case.
  template <class List>
  bool catalog_lists(const std::string& name, SQLUSMALLINT name_column, List list);

  const std::string text_;
  mutable std::mutex mutex_;
  EnvironmentHandle environment_;
  ConnectionHandle connection_;
  bool in_transaction_ = false;
  // The isolation to put back when a serializable transaction ends (0: none).
  SQLUINTEGER restore_isolation_ = 0;
};

}  // namespace qrnmvl::data::odbc
