// A fresh reference database in a temporary file for one test, with a trace
// file, and the means to script procedures and look at what was sent and stored.
#pragma once

#include <functional>
#include <nlohmann/json.hpp>
#include <qrnmvl/variant.hpp>
#include <string>
#include <vector>

struct sqlite3_stmt;

namespace qrnmvl::data {
class Connection;
}

namespace qrnmvl::testing {

// The connection text a test's component uses for the database file and the
// trace file: the embedded engine by default; a driver's own tests give a text
// that reaches the same file through that driver.
using ConnectionTextFor =
    std::function<std::string(const std::string& database_path, const std::string& trace_path)>;
// "Provider=SQLite;Data Source=<database>;Trace=<trace>"
std::string embedded_connection_text(const std::string& database_path,
                                     const std::string& trace_path);

// The same file through the SQLite ODBC driver that scripts/setup registers with
// unixODBC as "SQLite3": "Driver=SQLite3;Database=<database>;Trace=<trace>".
std::string odbc_connection_text(const std::string& database_path, const std::string& trace_path);
// The name of the data source odbc_dsn_connection_text writes.
inline constexpr const char* kTestDataSource = "qrnmvl_test";
// "DSN=qrnmvl_test;Trace=<trace>", after writing the data source (the SQLite3
// driver on the database file) to an odbc.ini beside the database and pointing
// ODBCINI at it for the rest of the process: system files are never touched.
std::string odbc_dsn_connection_text(const std::string& database_path,
                                     const std::string& trace_path);

// Which engine holds a test's database: the embedded file, or a fresh database
// on the tested server (MariaDB through ODBC), installed by the same code as
// `qrnmvl init --connection`.
enum class Engine { Embedded, MariaDB };
const char* engine_name(Engine engine);

// The server the MariaDB databases are made on: the connection text scripts/mariadb
// prints, from QRNMVL_MARIADB. Empty when none was given, and then why, in one line.
std::string server_connection_text();
std::string server_unavailable_reason();

// What a test sets up or looks at goes to the database directly (the file, or
// the server through its own client library), never through the code under
// test, whichever driver the component uses. Creating one allows the trace in
// its folder (QRNMVL_TRACE_DIR), for this process and the tools it runs.
class TestDatabase {
 public:
  explicit TestDatabase(bool with_demo = false,
                        const ConnectionTextFor& text_for = embedded_connection_text);
  // On the server: a fresh database of its own, dropped afterwards. The
  // connection text ends with init_statement as InitStmt when one is given.
  TestDatabase(Engine engine, bool with_demo, const std::string& init_statement = {});
  ~TestDatabase();
  TestDatabase(const TestDatabase&) = delete;
  TestDatabase& operator=(const TestDatabase&) = delete;
  TestDatabase& operator=(TestDatabase&& other) noexcept;

  const std::string& path() const { return path_; }
  const std::string& connection_text() const { return connection_text_; }
  Variant connection() const { return Variant(connection_text_); }
  const std::string& trace_path() const { return trace_path_; }

  // Runs SQL directly on the file, outside the component (setting up, looking); query() binds
  // the texts given to ?1, ?2...
  void exec(const std::string& sql) const;
  std::vector<std::vector<Variant>> query(const std::string& sql,
                                          const std::vector<std::string>& bound = {}) const;
  // Redefines (or defines) a procedure of the catalog (embedded engine only).
  void redefine(const std::string& procedure, const std::string& params,
                const std::string& body) const;
  // Removes a procedure, on either engine.
  void drop_procedure(const std::string& procedure) const;
  // The database's tables with their columns in order, "TABLE(COLUMN,...)", upper
  // case, sorted by table.
  std::vector<std::string> tables() const;
  Engine engine() const { return engine_; }

  // Every line of the trace, parsed; and only the texts of {"command": ...} lines.
  std::vector<nlohmann::json> trace() const;
  std::vector<std::string> commands() const;
  void clear_trace() const;

 private:
  Engine engine_ = Engine::Embedded;
  std::string server_database_;  // the server's database, for Engine::MariaDB
  std::string dir_;
  std::string path_;
  std::string trace_path_;
  std::string connection_text_;
};

// A column of a row read through a test's own SQLite handle, as the component's reads give
// it: an integer beyond 32 bits is a Double.
Variant column_value(sqlite3_stmt* statement, int column);

// What a command answers on a connection, in one text a table of cases can
// hold: "closed", or the column names joined by ",", "=" and the rows in JSON;
// for the database Error it raises (-2147217900), its description.
std::string answer_text(data::Connection& connection, const std::string& command_text);

// Sets the regional settings for the life of the object and restores them after.
class LocaleScope {
 public:
  explicit LocaleScope(const char* locale_name);
  ~LocaleScope();

 private:
  RegionalSettings saved_;
};

}  // namespace qrnmvl::testing
