// ASCII character helpers for names, keywords and number texts. They never
// consult the C library's locale, so a host that calls setlocale cannot change
// how a keyword or a digit is recognised; bytes outside ASCII (the pieces of a
// UTF-8 letter) pass through unchanged.
#pragma once

#include <string>
#include <string_view>

namespace qrnmvl::ascii {

constexpr bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }

// Space, tab, carriage return and line feed.
constexpr bool is_blank(char c) noexcept { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

constexpr char lower(char c) noexcept {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr char upper(char c) noexcept {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

inline std::string lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = lower(c);
  return out;
}

inline std::string upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = upper(c);
  return out;
}

// Names of procedures, parameters, columns and connection keys match without
// regard to ASCII case.
constexpr bool same_name(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

// True when text begins with prefix, without regard to ASCII case.
constexpr bool starts_with_name(std::string_view text, std::string_view prefix) noexcept {
  return text.size() >= prefix.size() && same_name(text.substr(0, prefix.size()), prefix);
}

// The text without the blanks (is_blank) around it.
constexpr std::string_view trim_blanks(std::string_view text) noexcept {
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace qrnmvl::ascii
