// The embedded engine's connection: stored procedures from the catalog table,
// plain statements one at a time, each command in its own transaction.
#pragma once

#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "data/connection.hpp"
#include "data/sqlite/internal.hpp"

namespace qrnmvl::data::sqlite {

// A procedure as the catalog holds it.
struct Procedure {
  std::string name;
  std::vector<std::string> params;  // in call order
  std::string body;
};

// A procedure body prepared once and kept with the connection.
struct PreparedBody {
  std::vector<Statement> statements;
  bool writes = false;
};

class SqliteConnection final : public Connection {
 public:
  // Takes ownership of an open handle.
  SqliteConnection(std::string text, sqlite3* db, Trace trace);
  ~SqliteConnection() override;
  SqliteConnection(const SqliteConnection&) = delete;
  SqliteConnection& operator=(const SqliteConnection&) = delete;

  const std::string& text() const noexcept override { return text_; }
  bool is_open() const noexcept override;
  void begin() override;
  void commit() override;
  void rollback() override;
  void close() noexcept override;
  ServerInfo server_info() override;
  bool has_procedure(const std::string& name) override;
  bool has_table(const std::string& name) override;

 protected:
  RowSet run_procedure(const ExecCall& call) override;
  RowSet run_prepared(const std::string& procedure,
                      const std::vector<Parameter>& parameters) override;
  RowSet run_statement(const std::string& statement) override;

 private:
  void require_open() const;
  Statement prepare(std::string_view sql, const char** tail = nullptr, unsigned flags = 0) const;
  Procedure find_procedure(const std::string& name);
  void bind_arguments(sqlite3_stmt* statement, const Procedure& procedure,
                      const std::vector<Variant>& arguments) const;
  PreparedBody* prepared_body(const std::string& body);
  RowSet call_procedure(const std::string& name, const std::vector<Variant>& arguments);
  bool answers_a_row(const char* sql, const std::string& argument);

  const std::string text_;
  mutable std::mutex mutex_;
  sqlite3* db_;
  Statement lookup_;                                      // the catalog lookup, prepared once
  std::unordered_map<std::string, PreparedBody> bodies_;  // by body text
};

}  // namespace qrnmvl::data::sqlite
