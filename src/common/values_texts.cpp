// Left, Right, Mid, InStr, Len and Trim over UTF-8 texts: positions and
// lengths count code points, so a letter such as "ç" is never cut in two.
#include <string>
#include <string_view>

#include "common/values.hpp"

namespace qrnmvl {
namespace {

bool is_continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Byte offset of character index `chars` (0-based); the size when past the end.
std::size_t byte_offset(std::string_view text, std::size_t chars) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (!is_continuation(text[pos])) {
      if (chars == 0) return pos;
      --chars;
    }
    ++pos;
  }
  return text.size();
}

std::size_t count_chars(std::string_view text) {
  std::size_t n = 0;
  for (char c : text)
    if (!is_continuation(c)) ++n;
  return n;
}

}  // namespace

std::size_t text_length(std::string_view text) { return count_chars(text); }

std::string left(std::string_view text, std::size_t count) {
  return std::string(text.substr(0, byte_offset(text, count)));
}

std::string right(std::string_view text, std::size_t count) {
  const std::size_t length = count_chars(text);
  if (count >= length) return std::string(text);
  return std::string(text.substr(byte_offset(text, length - count)));
}

std::string mid(std::string_view text, std::size_t start) {
  if (start == 0) raise(err::invalid_procedure_call);
  return std::string(text.substr(byte_offset(text, start - 1)));
}

std::string mid(std::string_view text, std::size_t start, std::size_t count) {
  if (start == 0) raise(err::invalid_procedure_call);
  const std::string_view rest = text.substr(byte_offset(text, start - 1));
  return std::string(rest.substr(0, byte_offset(rest, count)));
}

std::size_t instr(std::string_view text, std::string_view what, std::size_t start) {
  if (start == 0) raise(err::invalid_procedure_call);
  if (start > count_chars(text)) return 0;
  if (what.empty()) return start;
  const std::size_t from = byte_offset(text, start - 1);
  const std::size_t found = text.find(what, from);
  if (found == std::string_view::npos) return 0;
  return count_chars(text.substr(0, found)) + 1;
}

std::string trim(std::string_view text) { return ltrim(rtrim(text)); }

std::string ltrim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  return first == std::string_view::npos ? std::string() : std::string(text.substr(first));
}

std::string rtrim(std::string_view text) {
  const std::size_t last = text.find_last_not_of(' ');
  return last == std::string_view::npos ? std::string() : std::string(text.substr(0, last + 1));
}

}  // namespace qrnmvl
