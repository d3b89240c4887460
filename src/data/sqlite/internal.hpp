// What the pieces of the embedded engine share; not seen outside src/data/sqlite.
#pragma once

#include <sqlite3.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <qrnmvl/variant.hpp>
#include <string>
#include <string_view>

namespace qrnmvl::data::sqlite {

struct StatementDeleter {
  void operator()(sqlite3_stmt* statement) const noexcept { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

// Error -2147217900 with the connection's last message.
[[noreturn]] void raise_sqlite(sqlite3* db);
// Runs SQL that answers nothing the caller needs (transaction control, pragmas).
void run_sql(sqlite3* db, const char* sql);

// GETDATE() and TO_DATE(text, format) on a connection.
void register_dialect_functions(sqlite3* db);

// The first keyword of a statement, upper case, past blanks and comments.
std::string first_keyword(std::string_view sql);

// One line of the trace file; a trace that cannot be written is skipped.
void append_trace(const std::string& path, const nlohmann::ordered_json& line) noexcept;

}  // namespace qrnmvl::data::sqlite
