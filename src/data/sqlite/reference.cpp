#include "data/sqlite/reference.hpp"

#include <filesystem>
#include <system_error>

#include "common/text.hpp"
#include "data/sqlite/internal.hpp"

namespace qrnmvl::data::sqlite {

namespace {

constexpr const char* kCatalog = R"(CREATE TABLE qrn_procedure (
  name   TEXT PRIMARY KEY COLLATE NOCASE,
  params TEXT NOT NULL DEFAULT '',   -- parameter names in call order, comma-separated
  body   TEXT NOT NULL               -- SQL statements separated by ';', using :param
))";

constexpr std::string_view kParamsHeader = "-- params:";

void remove_database_files(const std::string& path) {
  std::error_code ignored;
  for (const char* suffix : {"", "-wal", "-shm", "-journal"})
    std::filesystem::remove(path + suffix, ignored);
}

struct ProcedureFile {
  std::string params;  // "a, b, c"
  std::string_view body;
};

// The first line names the parameters in call order; the rest is the body.
ProcedureFile read_procedure_file(const EmbeddedFile& file) {
  const std::size_t newline = file.text.find('\n');
  const std::string_view header = ascii::trim_blanks(file.text.substr(0, newline));
  if (header.substr(0, kParamsHeader.size()) != kParamsHeader)
    throw Error(err::database, "procedures/" + std::string(file.name) +
                                   ".sql: the first line must be '-- params: ...'.");
  ProcedureFile out;
  std::string_view names = header.substr(kParamsHeader.size());
  while (!ascii::trim_blanks(names).empty()) {
    const std::size_t comma = names.find(',');
    const std::string_view name = ascii::trim_blanks(names.substr(0, comma));
    if (!out.params.empty()) out.params += ", ";
    out.params += name;
    if (comma == std::string_view::npos) break;
    names.remove_prefix(comma + 1);
  }
  out.body = newline == std::string_view::npos ? std::string_view() : file.text.substr(newline + 1);
  return out;
}

void run_file(sqlite3* db, const EmbeddedFile& file) {
  const std::string sql(file.text);
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
    throw Error(err::database, std::string(file.name) + ": " + sqlite3_errmsg(db));
}

void fill(sqlite3* db, bool with_demo) {
  run_sql(db, "PRAGMA journal_mode = WAL");
  run_sql(db, "PRAGMA foreign_keys = ON");
  run_sql(db, "BEGIN IMMEDIATE");
  run_sql(db, kCatalog);
  run_file(db, embedded_schema());

  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db, "INSERT INTO qrn_procedure (name, params, body) VALUES (?1, ?2, ?3)",
                         -1, &raw, nullptr) != SQLITE_OK)
    raise_sqlite(db);
  const Statement insert(raw);
  for (const EmbeddedFile& file : embedded_procedures()) {
    const ProcedureFile procedure = read_procedure_file(file);
    sqlite3_reset(insert.get());
    sqlite3_bind_text(insert.get(), 1, file.name.data(), static_cast<int>(file.name.size()),
                      SQLITE_TRANSIENT);
    sqlite3_bind_text(insert.get(), 2, procedure.params.data(),
                      static_cast<int>(procedure.params.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(insert.get(), 3, procedure.body.data(),
                      static_cast<int>(procedure.body.size()), SQLITE_TRANSIENT);
    if (sqlite3_step(insert.get()) != SQLITE_DONE)
      throw Error(err::database,
                  "procedures/" + std::string(file.name) + ".sql: " + sqlite3_errmsg(db));
  }
  if (with_demo) run_file(db, embedded_demo());
  run_sql(db, "COMMIT");
}

}  // namespace

void create_reference_database(const std::string& path, bool with_demo, bool force) {
  std::error_code error;
  if (std::filesystem::exists(path, error)) {
    if (!force)
      throw Error(err::database,
                  "The database file '" + path + "' already exists; --force replaces it.");
    remove_database_files(path);
  }
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
      SQLITE_OK) {
    const Error failure(err::database, db != nullptr ? sqlite3_errmsg(db) : "out of memory");
    sqlite3_close_v2(db);
    throw failure;
  }
  try {
    fill(db, with_demo);
  } catch (...) {
    // A half-built database would pass for a good one later.
    sqlite3_close_v2(db);
    remove_database_files(path);
    throw;
  }
  sqlite3_close_v2(db);
}

}  // namespace qrnmvl::data::sqlite
