#include <limits>

#include "data/sqlite/internal.hpp"

namespace qrnmvl::data::sqlite {
namespace {

Variant column_value(sqlite3_stmt* statement, int column) {
  switch (sqlite3_column_type(statement, column)) {
    case SQLITE_NULL:
      return Variant::null();
    case SQLITE_INTEGER: {
      const sqlite3_int64 value = sqlite3_column_int64(statement, column);
      if (value >= std::numeric_limits<std::int32_t>::min() &&
          value <= std::numeric_limits<std::int32_t>::max())
        return Variant(static_cast<std::int32_t>(value));
      return Variant(static_cast<double>(value));
    }
    case SQLITE_FLOAT:
      return Variant(sqlite3_column_double(statement, column));
    case SQLITE_TEXT:
      return Variant(
          std::string(reinterpret_cast<const char*>(sqlite3_column_text(statement, column)),
                      static_cast<std::size_t>(sqlite3_column_bytes(statement, column))));
    default: {
      const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement, column));
      const auto size = static_cast<std::size_t>(sqlite3_column_bytes(statement, column));
      return Variant(bytes == nullptr ? std::string() : std::string(bytes, size));
    }
  }
}

}  // namespace

void read_answer(sqlite3* db, sqlite3_stmt* statement, Answer& answer) {
  bool first = true;
  int columns = 0;
  for (;;) {
    const int rc = sqlite3_step(statement);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) raise_sqlite(db);
    if (first) {
      // Read after the first step: a statement re-prepared after a schema
      // change may answer other columns than when it was prepared.
      first = false;
      columns = sqlite3_column_count(statement);
      if (columns > 0) {
        answer.present = true;
        answer.columns.clear();
        answer.rows.clear();
        for (int i = 0; i < columns; ++i)
          answer.columns.emplace_back(sqlite3_column_name(statement, i));
      }
    }
    if (rc == SQLITE_DONE) return;
    if (columns == 0) continue;
    std::vector<Variant> row;
    row.reserve(static_cast<std::size_t>(columns));
    for (int i = 0; i < columns; ++i) row.push_back(column_value(statement, i));
    answer.rows.push_back(std::move(row));
  }
}

}  // namespace qrnmvl::data::sqlite
