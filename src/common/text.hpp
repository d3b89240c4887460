// Small ASCII text helpers for names, keywords and command texts. (The
// classic Trim and the character-counting text functions are in values.hpp.)
#pragma once

#include <string>
#include <string_view>

namespace qrnmvl {

// Space, tab, carriage return and line feed.
constexpr bool is_blank(char c) noexcept { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
constexpr bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }
constexpr char ascii_lower(char c) noexcept {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
constexpr char ascii_upper(char c) noexcept {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string lower(std::string_view text);
std::string upper(std::string_view text);
// Equal without regard to ASCII case (names of columns, keys, procedures).
bool same_name(std::string_view a, std::string_view b) noexcept;
// True when text begins with prefix, without regard to ASCII case.
bool starts_with_name(std::string_view text, std::string_view prefix) noexcept;
// Without blanks at either end.
std::string_view trimmed(std::string_view text) noexcept;

}  // namespace qrnmvl
