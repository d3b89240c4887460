#include "support/test_database.hpp"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <system_error>

#include "common/json_value.hpp"
#include "data/connection.hpp"
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

}  // namespace

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

TestDatabase::~TestDatabase() {
  data::close_cached_connections();
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

void TestDatabase::exec(const std::string& sql) const {
  const Handle db = open_direct(path_);
  if (sqlite3_exec(db.get(), sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
    fail(db.get(), sql);
}

std::vector<std::vector<Variant>> TestDatabase::query(const std::string& sql,
                                                      const std::vector<std::string>& bound) const {
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

std::vector<std::string> TestDatabase::procedure_calls() const {
  std::vector<std::string> calls;
  for (std::string& text : commands())
    if (text.rfind("EXEC", 0) == 0) calls.push_back(std::move(text));
  return calls;
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
