#include "data/sqlite/internal.hpp"
#include "data/transaction.hpp"

namespace qrnmvl::data::sqlite {

[[noreturn]] void raise_sqlite(sqlite3* db) {
  // Nothing but a command's time limit interrupts a statement.
  if (db != nullptr && sqlite3_errcode(db) == SQLITE_INTERRUPT) raise(err::query_timeout);
  // Another writer held the file past the busy timeout: a new try may pass.
  if (db != nullptr && (sqlite3_errcode(db) & 0xff) == SQLITE_BUSY) note_conflict();
  throw Error(err::database, db != nullptr ? sqlite3_errmsg(db) : "out of memory");
}

void run_sql(sqlite3* db, const char* sql) {
  if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) raise_sqlite(db);
}

}  // namespace qrnmvl::data::sqlite
