#include "data/exec_parser.hpp"

#include <charconv>
#include <cmath>
#include <limits>

#include "common/text.hpp"

namespace qrnmvl::data {

namespace {

bool is_word(char c) {
  return ascii::is_digit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  bool at_end() const { return pos_ >= text_.size(); }
  char peek(std::size_t ahead = 0) const {
    return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0';
  }
  void skip_blanks() {
    while (!at_end() && ascii::is_blank(text_[pos_])) ++pos_;
  }
  std::string_view word() {
    const std::size_t start = pos_;
    while (!at_end() && is_word(text_[pos_])) ++pos_;
    return text_.substr(start, pos_ - start);
  }

  [[noreturn]] void fail_here() const { fail_at(pos_); }

  [[noreturn]] void fail_at(std::size_t at) const {
    if (at >= text_.size())
      throw Error(err::database, "Incorrect syntax near the end of the command at character " +
                                     std::to_string(character(text_.size())) + ".");
    throw Error(err::database, "Incorrect syntax near '" + std::string(token_at(at)) +
                                   "' at character " + std::to_string(character(at)) + ".");
  }

  [[noreturn]] void fail_unclosed(std::size_t quote) const {
    throw Error(err::database,
                "Unclosed quotation mark after the character string starting at "
                "character " +
                    std::to_string(character(quote)) + ".");
  }

  ExecCall read_call() {
    ExecCall call;
    skip_blanks();
    word();  // EXEC or EXECUTE, already recognised
    if (!at_end() && !ascii::is_blank(peek())) fail_here();
    skip_blanks();
    call.procedure = read_name();
    if (!at_end() && !ascii::is_blank(peek())) fail_here();
    skip_blanks();
    if (at_end()) return call;
    for (;;) {
      call.arguments.push_back(read_literal());
      skip_blanks();
      if (at_end()) return call;
      if (peek() != ',') fail_here();
      ++pos_;
      skip_blanks();
    }
  }

 private:
  // 1-based position in characters (UTF-8 continuation bytes do not count).
  std::size_t character(std::size_t byte) const {
    std::size_t count = 0;
    for (std::size_t i = 0; i < byte && i < text_.size(); ++i)
      if ((static_cast<unsigned char>(text_[i]) & 0xC0) != 0x80) ++count;
    return count + 1;
  }

  std::string_view token_at(std::size_t at) const {
    std::size_t end = at + 1;
    if (is_word(text_[at])) {
      while (end < text_.size() && is_word(text_[end])) ++end;
    } else {
      while (end < text_.size() && (static_cast<unsigned char>(text_[end]) & 0xC0) == 0x80) ++end;
    }
    return text_.substr(at, end - at);
  }

  // NAME or owner.NAME; the owner means nothing to a single catalog.
  std::string read_name() {
    std::string_view part = word();
    if (part.empty()) fail_here();
    while (peek() == '.') {
      ++pos_;
      part = word();
      if (part.empty()) fail_here();
    }
    return std::string(part);
  }

  Variant read_literal() {
    const char c = peek();
    if (c == '\'') return Variant(read_text());
    if ((c == 'N' || c == 'n') && peek(1) == '\'') {
      ++pos_;
      return Variant(read_text());
    }
    if (ascii::is_digit(c) || c == '.' || c == '+' || c == '-') return read_number();
    const std::size_t start = pos_;
    if (ascii::same_name(word(), "NULL")) return Variant::null();
    fail_at(start);
  }

  std::string read_text() {
    const std::size_t quote = pos_++;
    std::string out;
    for (;;) {
      if (at_end()) fail_unclosed(quote);
      const char c = text_[pos_++];
      if (c != '\'') {
        out += c;
      } else if (peek() == '\'') {
        out += '\'';
        ++pos_;
      } else {
        return out;
      }
    }
  }

  Variant read_number() {
    const std::size_t start = pos_;
    if (peek() == '+' || peek() == '-') ++pos_;
    std::size_t digits = 0;
    while (ascii::is_digit(peek())) ++pos_, ++digits;
    if (peek() == '.') {
      ++pos_;
      while (ascii::is_digit(peek())) ++pos_, ++digits;
    }
    if (digits == 0) fail_at(start);
    if (peek() == 'e' || peek() == 'E') {
      ++pos_;
      if (peek() == '+' || peek() == '-') ++pos_;
      if (!ascii::is_digit(peek())) fail_here();
      while (ascii::is_digit(peek())) ++pos_;
    }
    if (!at_end() && (is_word(peek()) || peek() == '.')) fail_here();

    std::string_view literal = text_.substr(start, pos_ - start);
    if (literal.front() == '+') literal.remove_prefix(1);  // from_chars takes no '+'
    double value = 0;
    const auto [end, error] =
        std::from_chars(literal.data(), literal.data() + literal.size(), value);
    if (error != std::errc() || end != literal.data() + literal.size() || !std::isfinite(value))
      fail_at(start);
    if (value == std::trunc(value) && value >= std::numeric_limits<std::int32_t>::min() &&
        value <= std::numeric_limits<std::int32_t>::max())
      return Variant(static_cast<std::int32_t>(value));
    return Variant(value);
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace

std::optional<ExecCall> parse_exec(std::string_view command_text) {
  Reader probe(command_text);
  probe.skip_blanks();
  const std::string_view first = probe.word();
  if (!ascii::same_name(first, "EXEC") && !ascii::same_name(first, "EXECUTE")) return std::nullopt;
  return Reader(command_text).read_call();
}

}  // namespace qrnmvl::data
