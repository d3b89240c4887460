// Row sets: the answer to a command, read whole on the client.
#pragma once

#include <qrnmvl/variant.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace qrnmvl::data {

// What a caller asks of a row set. Row sets are always read whole on the client,
// so these only document intent; drivers may ignore them.
struct CursorOptions {
  bool static_cursor = false;
  bool read_only = false;
};
inline constexpr CursorOptions kStaticReadOnly{true, true};

// A client-side answer: every row is read when the command runs, so the record
// count is exact and moving first or last is free. Not safe to share between
// threads; a copy is independent.
class RowSet {
 public:
  RowSet() = default;  // closed: the command produced no row set
  RowSet(std::vector<std::string> columns, std::vector<std::vector<Variant>> rows);

  bool is_open() const noexcept { return open_; }
  int state() const noexcept { return open_ ? 1 : 0; }
  // Navigation and field access raise Error 3704 on a closed row set.
  // End of data: no rows, or moved past the last.
  bool eof() const;
  long record_count() const;
  void move_first();
  void move_last();
  void move_next();  // Error 3021 at end of data
  // The current row's value of a column, by name without regard to case.
  // Error 3265 when there is no such column; Error 3021 at end of data.
  Variant field(std::string_view name) const;
  void close() noexcept;

  const std::vector<std::string>& columns() const noexcept { return columns_; }
  const std::vector<std::vector<Variant>>& rows() const noexcept { return rows_; }

 private:
  bool open_ = false;
  std::vector<std::string> columns_;
  std::vector<std::vector<Variant>> rows_;
  std::size_t position_ = 0;
};

}  // namespace qrnmvl::data
