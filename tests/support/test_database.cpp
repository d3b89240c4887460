#include "support/test_database.hpp"

#include <gtest/gtest.h>
#include <mysql.h>
#include <sqlite3.h>
#include <unistd.h>

#include <atomic>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <memory>
#include <system_error>

#include "common/json_value.hpp"
#include "common/text.hpp"
#include "common/values.hpp"
#include "data/connection.hpp"
#include "data/connection_text.hpp"
#include "data/server_reference.hpp"
#include "data/sqlite/reference.hpp"

namespace qrnmvl::testing {

namespace {

using Handle = std::unique_ptr<sqlite3, decltype(&sqlite3_close_v2)>;
using Statement = std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)>;

[[noreturn]] void fail(sqlite3* db, const std::string& sql) {
  throw Error(err::database, std::string(sqlite3_errmsg(db)) + " in: " + sql);
}

// A handle of the test's own, so what a test sets up or looks at never goes
// through the code under test.
Handle open_direct(const std::string& path) {
  sqlite3* raw = nullptr;
  const int rc = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
  Handle db(raw, &sqlite3_close_v2);
  if (rc != SQLITE_OK) fail(raw, "open " + path);
  sqlite3_busy_timeout(raw, 5000);
  return db;
}

// The tested server through its own client library, so that what a test sets
// up or looks at never goes through the ODBC driver under test.
class ServerClient {
 public:
  explicit ServerClient(const std::string& database = {}) : handle_(mysql_init(nullptr)) {
    const auto keys = data::parse_connection_text(server_connection_text());
    const auto key = [&](const char* name) {
      const auto found = keys.find(name);
      return found == keys.end() ? std::string() : found->second;
    };
    const std::string port = key("port");
    mysql_options(handle_, MYSQL_SET_CHARSET_NAME, "utf8mb4");
    if (mysql_real_connect(handle_, key("server").c_str(), key("uid").c_str(), key("pwd").c_str(),
                           database.empty() ? nullptr : database.c_str(),
                           port.empty() ? 0 : static_cast<unsigned>(std::stoul(port)), nullptr,
                           CLIENT_MULTI_STATEMENTS) == nullptr)
      fail("connect");
  }
  ~ServerClient() { mysql_close(handle_); }
  ServerClient(const ServerClient&) = delete;
  ServerClient& operator=(const ServerClient&) = delete;

  std::vector<std::vector<Variant>> query(const std::string& sql) {
    if (mysql_query(handle_, sql.c_str()) != 0) fail(sql);
    std::vector<std::vector<Variant>> rows;
    // Every result of a multi-statement text is read; the rows are the last one's.
    do {
      MYSQL_RES* result = mysql_store_result(handle_);
      if (result == nullptr) {
        if (mysql_field_count(handle_) != 0) fail(sql);
        continue;
      }
      rows.clear();
      const unsigned columns = mysql_num_fields(result);
      const MYSQL_FIELD* fields = mysql_fetch_fields(result);
      while (MYSQL_ROW row = mysql_fetch_row(result)) {
        const unsigned long* lengths = mysql_fetch_lengths(result);
        std::vector<Variant> values;
        for (unsigned i = 0; i < columns; ++i)
          values.push_back(row[i] == nullptr ? Variant::null()
                                             : value_of(fields[i], std::string(row[i], lengths[i])));
        rows.push_back(std::move(values));
      }
      mysql_free_result(result);
    } while (next_result(sql));
    return rows;
  }

 private:
  // The same Variant types the embedded engine's file gives for the value.
  static Variant value_of(const MYSQL_FIELD& field, const std::string& text) {
    switch (field.type) {
      case MYSQL_TYPE_TINY:
      case MYSQL_TYPE_SHORT:
      case MYSQL_TYPE_LONG:
      case MYSQL_TYPE_INT24:
      case MYSQL_TYPE_LONGLONG: {
        const long long value = std::stoll(text);
        if (value >= std::numeric_limits<std::int32_t>::min() &&
            value <= std::numeric_limits<std::int32_t>::max())
          return Variant(static_cast<std::int32_t>(value));
        return Variant(static_cast<double>(value));
      }
      case MYSQL_TYPE_FLOAT:
      case MYSQL_TYPE_DOUBLE:
      case MYSQL_TYPE_DECIMAL:
      case MYSQL_TYPE_NEWDECIMAL:
        return Variant(std::stod(text));
      default:
        return Variant(text);
    }
  }

  bool next_result(const std::string& sql) {
    const int rc = mysql_next_result(handle_);
    if (rc > 0) fail(sql);
    return rc == 0;
  }

  [[noreturn]] void fail(const std::string& what) {
    throw Error(err::database, std::string(mysql_error(handle_)) + " in: " + what);
  }

  MYSQL* handle_;
};

}  // namespace

Variant column_value(sqlite3_stmt* statement, int column) {
  switch (sqlite3_column_type(statement, column)) {
    case SQLITE_NULL:
      return Variant::null();
    case SQLITE_INTEGER: {
      const auto value = sqlite3_column_int64(statement, column);
      if (value >= std::numeric_limits<std::int32_t>::min() &&
          value <= std::numeric_limits<std::int32_t>::max())
        return Variant(static_cast<std::int32_t>(value));
      return Variant(static_cast<double>(value));
    }
    case SQLITE_FLOAT:
      return Variant(sqlite3_column_double(statement, column));
    default:
      return Variant(
          std::string(reinterpret_cast<const char*>(sqlite3_column_text(statement, column)),
                      static_cast<std::size_t>(sqlite3_column_bytes(statement, column))));
  }
}

const char* engine_name(Engine engine) {
  return engine == Engine::Embedded ? "embedded" : "MariaDB";
}

std::string server_connection_text() {
  const char* text = std::getenv("QRNMVL_MARIADB");
  return text == nullptr ? std::string() : std::string(text);
}

std::string server_unavailable_reason() {
  if (!server_connection_text().empty()) return {};
  return "no MariaDB server for these tests: QRNMVL_MARIADB is not set (scripts/test starts one "
         "with scripts/mariadb and sets it)";
}

std::string embedded_connection_text(const std::string& database_path,
                                     const std::string& trace_path) {
  return "Provider=SQLite;Data Source=" + database_path + ";Trace=" + trace_path;
}

std::string odbc_connection_text(const std::string& database_path, const std::string& trace_path) {
  return "Driver=SQLite3;Database=" + database_path + ";Trace=" + trace_path;
}

std::string odbc_dsn_connection_text(const std::string& database_path,
                                     const std::string& trace_path) {
  const std::string ini =
      (std::filesystem::path(database_path).parent_path() / "odbc.ini").string();
  std::ofstream(ini) << "[" << kTestDataSource << "]\nDriver=SQLite3\nDatabase=" << database_path
                     << "\n";
  ::setenv("ODBCINI", ini.c_str(), 1);
  return std::string("DSN=") + kTestDataSource + ";Trace=" + trace_path;
}

namespace {

// One folder per test process holds every test database's folder, and is the
// folder the trace is allowed in: the host here is the test, and several
// databases of one test (an embedded one beside an ODBC one) all trace.
const std::string& process_folder() {
  // Never destroyed: the exit handler below runs after static destructors.
  static const std::string* const folder = new std::string([] {
    std::string pattern = (std::filesystem::temp_directory_path() / "qrnmvl-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
      throw std::runtime_error("cannot create a temporary folder for the test databases");
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(process_folder(), ignored);
    });
    return pattern;
  }());
  return *folder;
}

}  // namespace

TestDatabase::TestDatabase(bool with_demo, const ConnectionTextFor& text_for) {
  std::string pattern = process_folder() + "/db-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr)
    throw std::runtime_error("cannot create a temporary folder for the test database");
  dir_ = pattern;
  path_ = dir_ + "/app.db";
  trace_path_ = dir_ + "/trace.jsonl";
  connection_text_ = text_for(path_, trace_path_);
  ::setenv("QRNMVL_TRACE_DIR", process_folder().c_str(), 1);
  data::sqlite::create_reference_database(path_, with_demo, false);
}

TestDatabase::TestDatabase(Engine engine, bool with_demo, const std::string& init_statement)
    : engine_(engine) {
  if (engine == Engine::Embedded) {
    *this = TestDatabase(with_demo);
    return;
  }
  if (server_connection_text().empty()) throw std::runtime_error(server_unavailable_reason());
  std::string pattern = process_folder() + "/db-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr)
    throw std::runtime_error("cannot create a temporary folder for the test database");
  dir_ = pattern;
  trace_path_ = dir_ + "/trace.jsonl";
  ::setenv("QRNMVL_TRACE_DIR", process_folder().c_str(), 1);
  static std::atomic<int> sequence{0};
  server_database_ =
      "qrnmvl_t" + std::to_string(::getpid()) + "_" + std::to_string(sequence.fetch_add(1));
  path_ = server_database_;
  ServerClient().query("CREATE DATABASE " + server_database_ +
                       " CHARACTER SET utf8mb4 COLLATE utf8mb4_bin");
  const std::string text =
      data::without_connection_key(server_connection_text(), "database") +
      ";Database=" + server_database_ +
      (init_statement.empty() ? std::string() : ";InitStmt={" + init_statement + "}");
  {
    const auto connection = data::open_connection(text);
    data::install_reference_database(*connection, with_demo, false);
  }
  connection_text_ = text + ";Trace=" + trace_path_;
}

TestDatabase& TestDatabase::operator=(TestDatabase&& other) noexcept {
  std::swap(engine_, other.engine_);
  std::swap(server_database_, other.server_database_);
  std::swap(dir_, other.dir_);
  std::swap(path_, other.path_);
  std::swap(trace_path_, other.trace_path_);
  std::swap(connection_text_, other.connection_text_);
  return *this;
}

TestDatabase::~TestDatabase() {
  data::close_cached_connections();
  if (!server_database_.empty()) {
    try {
      ServerClient().query("DROP DATABASE IF EXISTS " + server_database_);
    } catch (const std::exception& e) {
      ADD_FAILURE() << e.what();
    }
  }
  std::error_code ignored;
  if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
}

void TestDatabase::exec(const std::string& sql) const {
  if (engine_ == Engine::MariaDB) {
    ServerClient(server_database_).query(sql);
    return;
  }
  const Handle db = open_direct(path_);
  if (sqlite3_exec(db.get(), sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
    fail(db.get(), sql);
}

std::vector<std::vector<Variant>> TestDatabase::query(const std::string& sql,
                                                      const std::vector<std::string>& bound) const {
  if (engine_ == Engine::MariaDB) {
    if (!bound.empty()) throw std::logic_error("bound values are for the embedded engine");
    return ServerClient(server_database_).query(sql);
  }
  const Handle db = open_direct(path_);
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
    fail(db.get(), sql);
  const Statement statement(raw, &sqlite3_finalize);
  for (std::size_t i = 0; i < bound.size(); ++i)
    sqlite3_bind_text(raw, static_cast<int>(i + 1), bound[i].c_str(), -1, SQLITE_TRANSIENT);
  std::vector<std::vector<Variant>> rows;
  int rc = SQLITE_OK;
  while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
    std::vector<Variant> row;
    for (int i = 0; i < sqlite3_column_count(raw); ++i) row.push_back(column_value(raw, i));
    rows.push_back(std::move(row));
  }
  if (rc != SQLITE_DONE) fail(db.get(), sql);
  return rows;
}

void TestDatabase::redefine(const std::string& procedure, const std::string& params,
                            const std::string& body) const {
  query("INSERT OR REPLACE INTO qrn_procedure (name, params, body) VALUES (?1, ?2, ?3)",
        {procedure, params, body});
}

void TestDatabase::drop_procedure(const std::string& procedure) const {
  if (engine_ == Engine::MariaDB)
    exec("DROP PROCEDURE " + procedure);
  else
    query("DELETE FROM qrn_procedure WHERE name = ?1", {procedure});
}

std::vector<std::string> TestDatabase::tables() const {
  const auto rows =
      engine_ == Engine::MariaDB
          ? query("SELECT table_name, column_name FROM information_schema.columns WHERE "
                  "table_schema = '" + server_database_ + "' ORDER BY table_name, ordinal_position")
          : query("SELECT m.name, p.name FROM sqlite_schema m, pragma_table_info(m.name) p "
                  "WHERE m.type = 'table' AND m.name NOT LIKE 'sqlite%' AND m.name <> "
                  "'qrn_procedure' ORDER BY m.name, p.cid");
  std::map<std::string, std::string> columns;
  for (const auto& row : rows) {
    std::string& line = columns[ascii::upper(to_text(row.at(0)))];
    line += (line.empty() ? "" : ",") + ascii::upper(to_text(row.at(1)));
  }
  std::vector<std::string> tables;
  for (const auto& [table, names] : columns) tables.push_back(table + "(" + names + ")");
  return tables;
}

std::vector<nlohmann::json> TestDatabase::trace() const {
  std::vector<nlohmann::json> lines;
  std::ifstream in(trace_path_);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) lines.push_back(nlohmann::json::parse(line));
  return lines;
}

std::vector<std::string> TestDatabase::commands() const {
  std::vector<std::string> texts;
  for (const auto& line : trace())
    if (line.contains("command")) texts.push_back(line["command"].get<std::string>());
  return texts;
}

void TestDatabase::clear_trace() const {
  std::error_code ignored;
  std::filesystem::remove(trace_path_, ignored);
}

std::string answer_text(data::Connection& connection, const std::string& command_text) {
  try {
    const data::RowSet rows = connection.execute(command_text);
    if (!rows.is_open()) return "closed";
    std::string columns;
    for (const auto& name : rows.columns()) columns += (columns.empty() ? "" : ",") + name;
    nlohmann::json values = nlohmann::json::array();
    for (const auto& row : rows.rows()) values.push_back(to_json(Variant(row)));
    return columns + "=" + values.dump();
  } catch (const Error& error) {
    EXPECT_EQ(error.number(), err::database) << command_text;
    return error.description();
  }
}

LocaleScope::LocaleScope(const char* locale_name) : saved_(regional_settings()) {
  set_regional_settings(regional_settings_for(locale_name));
}

LocaleScope::~LocaleScope() { set_regional_settings(saved_); }

}  // namespace qrnmvl::testing
