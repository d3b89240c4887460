#include "common/text.hpp"

#include <algorithm>

namespace qrnmvl {

std::string lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), ascii_lower);
  return out;
}

std::string upper(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), ascii_upper);
  return out;
}

bool same_name(std::string_view a, std::string_view b) noexcept {
  return a.size() == b.size() && starts_with_name(a, b);
}

bool starts_with_name(std::string_view text, std::string_view prefix) noexcept {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (ascii_lower(text[i]) != ascii_lower(prefix[i])) return false;
  return true;
}

std::string_view trimmed(std::string_view text) noexcept {
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace qrnmvl
