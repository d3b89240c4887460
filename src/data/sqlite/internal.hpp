// What the pieces of the embedded engine share; not seen outside src/data/sqlite.
#pragma once

#include <sqlite3.h>

#include <memory>
#include <qrnmvl/variant.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "data/command.hpp"
#include "data/rowset.hpp"

namespace qrnmvl::data::sqlite {

// --- errors.cpp
// Error -2147217900 with the connection's last message; Error -2147217871 when
// the statement was stopped by its time limit.
[[noreturn]] void raise_sqlite(sqlite3* db);
// Runs SQL that answers nothing the caller needs (transaction control, pragmas).
void run_sql(sqlite3* db, const char* sql);

struct StatementDeleter {
  void operator()(sqlite3_stmt* statement) const noexcept { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

// --- rowset.cpp
// The rows of the last statement that returned columns.
struct Answer {
  bool present = false;
  std::vector<std::string> columns;
  std::vector<std::vector<Variant>> rows;

  RowSet row_set() && {
    if (!present) return RowSet();
    return RowSet(std::move(columns), std::move(rows));
  }
};
// Steps a statement to its end; its rows, when it has columns, replace the answer's.
void read_answer(sqlite3* db, sqlite3_stmt* statement, Answer& answer);

// --- binding.cpp
// Binds one value: Empty and Null as NULL, numbers as integers or reals, the
// rest as its text.
void bind_value(sqlite3* db, sqlite3_stmt* statement, int index, const Variant& value);
// A typed parameter as the value the database stores.
Variant parameter_value(const Parameter& parameter);

// --- dialect.cpp
// GETDATE() and TO_DATE(text, format) on a connection.
void register_dialect_functions(sqlite3* db);
// The first keyword of a statement, upper case, past blanks and comments.
std::string first_keyword(std::string_view sql);

}  // namespace qrnmvl::data::sqlite
