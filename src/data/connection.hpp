// Connections and the driver registry. Routines see connections only through
// this interface; which driver runs a connection text is decided here, and
// nothing above data/ knows which one it is.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <qrnmvl/variant.hpp>
#include <string>
#include <vector>

#include "data/command.hpp"
#include "data/connection_text.hpp"
#include "data/exec_parser.hpp"
#include "data/rowset.hpp"
#include "data/trace.hpp"

namespace qrnmvl::data {

enum class Isolation { Default, Serializable };

// The database product and the driver of a connection, as they name themselves
// (what an operator needs to see which server a text reaches).
struct ServerInfo {
  std::string dbms_name;
  std::string dbms_version;
  std::string driver_name;
  std::string driver_version;
};

// An open connection to one database. It is also what an Object variant holds
// when a caller passes an open connection: its default text is its connection
// text. One connection serves one thread at a time (the per-thread cache below
// hands each thread its own).
class Connection : public VariantObject {
 public:
  std::string kind() const override { return "Connection"; }
  std::string default_text() const override { return text(); }

  virtual const std::string& text() const noexcept = 0;
  virtual bool is_open() const noexcept = 0;
  int state() const noexcept { return is_open() ? 1 : 0; }

  // Runs a command text. An EXEC/EXECUTE call is parsed here, whatever the
  // driver: its arguments must be literals, and the driver receives the
  // procedure name and the literal values, never the text. Anything else is
  // one plain statement. Each command commits on its own. Errors reported by
  // the database are Error -2147217900; Error 3704 on a closed connection;
  // Error -2147217871 when the command runs longer than the connection's
  // Command Timeout (a whole procedure counts as one command).
  RowSet execute(const std::string& command_text, CursorOptions options = {});
  // Runs a stored procedure with typed, positional parameters, within
  // timeout_seconds (0: no limit), or within the connection's Command Timeout
  // when none is given.
  RowSet call(const std::string& procedure, const std::vector<Parameter>& parameters,
              std::optional<int> timeout_seconds = std::nullopt);

  // One write transaction across commands; use it through data::Transaction.
  // Serializable runs it at the strictest isolation the server has, whatever
  // the connection's default (restored when it ends); the embedded engine's
  // write transactions are always so.
  virtual void begin(Isolation isolation = Isolation::Default) = 0;
  virtual void commit() = 0;
  // Does nothing when no transaction is open.
  virtual void rollback() = 0;
  virtual void close() noexcept = 0;

  // What the database holds, for checking it before use (qrnmvl ping). Names
  // match without regard to case. Error 3704 on a closed connection; errors
  // reported by the database are Error -2147217900.
  virtual ServerInfo server_info() = 0;
  virtual bool has_procedure(const std::string& name) = 0;
  // A table or a view.
  virtual bool has_table(const std::string& name) = 0;

  // False once the database the connection was opened on is no longer the one
  // its text names (the file was deleted or replaced), where a command would
  // write into a file nobody reads. The per-thread cache asks at every use and
  // opens the text again. Costs one stat of the file.
  virtual bool still_valid() const noexcept { return true; }
  // False when the server is known to have dropped the connection (it was
  // restarted, or the link broke while idle). The cache asks once at the start
  // of each operation, so an operation never begins on a dead link; within an
  // operation a lost link fails the command. May cost a round trip.
  virtual bool alive() noexcept { return true; }

 protected:
  // Where the commands are traced (the host's choice, see trace.hpp).
  void set_trace(Trace trace) { trace_ = std::move(trace); }
  void set_command_timeout(int seconds) noexcept { command_timeout_ = seconds; }

  // Each runs one command within timeout_seconds (0: no limit).
  virtual RowSet run_procedure(const ExecCall& call, int timeout_seconds) = 0;
  virtual RowSet run_prepared(const std::string& procedure,
                              const std::vector<Parameter>& parameters, int timeout_seconds) = 0;
  virtual RowSet run_statement(const std::string& statement, int timeout_seconds) = 0;

 private:
  Trace trace_;
  int command_timeout_ = kDefaultCommandTimeoutSeconds;
};

// Drivers: Provider=SQLite selects the embedded engine ("sqlite"); any other
// text goes to the driver registered as "odbc". A missing driver is Error
// -2147217900. Safe from several threads.
using DriverFactory = std::function<std::shared_ptr<Connection>(const std::string& text)>;
// An empty factory removes the driver.
void register_driver(const std::string& name, DriverFactory factory);

// A new connection for a text, opened (not cached).
std::shared_ptr<Connection> open_connection(const std::string& text);
// The calling thread's open connection for a text, opened on first use and
// reopened when it was closed or its database file was deleted or replaced, so
// a routine that reopens a text sees its own earlier writes and threads never
// share a physical connection. A thread keeps at most kConnectionsPerThread
// open; the least recently used is closed to make room.
inline constexpr std::size_t kConnectionsPerThread = 16;
std::shared_ptr<Connection> cached_connection(const std::string& text);
// One operation of the component on the calling thread, for as long as the
// object lives (nested scopes belong to the outermost). Within it, a cached
// connection that it has used and whose database file was replaced or removed
// is not reopened: that command and every later one on the same text fail with
// Error -2147217900,
// so an operation never writes part of its work into one database and the rest
// into another. The next operation opens the text again.
class OperationScope {
 public:
  OperationScope();
  ~OperationScope();
  OperationScope(const OperationScope&) = delete;
  OperationScope& operator=(const OperationScope&) = delete;

 private:
  bool outermost_;
};

// A flag a host raises to stop the calling thread's operation (a request past
// its deadline): while the scope lives, every command run on the thread checks
// it first and, once it is raised, fails with Error -2147217871 "Query timeout
// expired" without reaching the database, as a command past its own time limit
// does. What the operation committed before stays. Scopes do not nest: the
// innermost flag is the one checked.
class CancellationScope {
 public:
  explicit CancellationScope(const std::atomic<bool>& cancelled) noexcept;
  ~CancellationScope();
  CancellationScope(const CancellationScope&) = delete;
  CancellationScope& operator=(const CancellationScope&) = delete;

 private:
  const std::atomic<bool>* previous_;
};

// Closes and forgets the calling thread's cached connections.
void close_cached_connections() noexcept;

// The connection a caller's value names: an Object holding a Connection is used
// as it is; any other value is taken as a connection text (its text form).
std::shared_ptr<Connection> connection_for(const Variant& connection);

// Opens a row set with a command text on a connection value (an open connection
// or a connection text), as the routines do for every command.
RowSet open_rowset(const std::string& command_text, const Variant& connection,
                   CursorOptions options = {});

}  // namespace qrnmvl::data
