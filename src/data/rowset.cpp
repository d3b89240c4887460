#include "data/rowset.hpp"

#include <algorithm>

#include "common/text.hpp"

namespace qrnmvl::data {

RowSet::RowSet(std::vector<std::string> columns, std::vector<std::vector<Variant>> rows)
    : open_(true), columns_(std::move(columns)), rows_(std::move(rows)) {}

bool RowSet::eof() const {
  if (!open_) raise(err::object_closed);
  return position_ >= rows_.size();
}

long RowSet::record_count() const {
  if (!open_) raise(err::object_closed);
  return static_cast<long>(rows_.size());
}

void RowSet::move_first() {
  if (!open_) raise(err::object_closed);
  position_ = 0;
}

void RowSet::move_last() {
  if (!open_) raise(err::object_closed);
  position_ = rows_.empty() ? 0 : rows_.size() - 1;
}

void RowSet::move_next() {
  if (!open_) raise(err::object_closed);
  if (position_ >= rows_.size()) raise(err::no_current_record);
  ++position_;
}

Variant RowSet::field(std::string_view name) const {
  if (!open_) raise(err::object_closed);
  // The column is looked up before the position, so a misspelt name is
  // reported as such even on an empty answer.
  const auto column = std::find_if(columns_.begin(), columns_.end(),
                                   [&](const std::string& c) { return ascii::same_name(c, name); });
  if (column == columns_.end()) raise(err::item_not_found);
  if (position_ >= rows_.size()) raise(err::no_current_record);
  return rows_[position_][static_cast<std::size_t>(column - columns_.begin())];
}

void RowSet::close() noexcept {
  open_ = false;
  columns_.clear();
  rows_.clear();
  position_ = 0;
}

}  // namespace qrnmvl::data
