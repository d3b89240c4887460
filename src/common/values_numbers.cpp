// Reading numbers: Val, IsNumeric, the regional reader behind CDbl, CLng,
// CInt, CCur and CBool, and the exact decimal texts of Currency. Nothing here
// touches the C library's locales: the separators come from RegionalSettings at
// each call, and digits are read with from_chars.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <system_error>

#include "common/text.hpp"
#include "common/values.hpp"
#include "common/values_internal.hpp"

namespace qrnmvl {

using detail::counts_as_number;
using detail::currency_text;
using detail::number_of;
using detail::regional_double;
using detail::round_half_even;
using detail::text_of;

namespace {

// digits x 10^exponent; digits carry no leading zeros (empty is zero).
struct Decimal {
  bool negative = false;
  std::string digits;
  long exponent = 0;
};

enum class Reading { number, not_number, overflow };

Decimal make_decimal(bool negative, std::string digits, long exponent) {
  const std::size_t first = digits.find_first_not_of('0');
  digits.erase(0, first == std::string::npos ? digits.size() : first);
  return Decimal{negative, std::move(digits), exponent};
}

// The classic width rule of &H and &O numbers: up to 16 bits they are a signed
// 16-bit value (&HFFFF is -1), up to 32 bits a signed 32-bit value.
Reading radix_decimal(std::uint64_t n, Decimal& out) {
  std::int64_t value;
  if (n <= 0xFFFF)
    value = static_cast<std::int16_t>(static_cast<std::uint16_t>(n));
  else if (n <= 0xFFFFFFFF)
    value = static_cast<std::int32_t>(static_cast<std::uint32_t>(n));
  else
    return Reading::overflow;
  const bool negative = value < 0;
  out = make_decimal(negative, std::to_string(negative ? -value : value), 0);
  return Reading::number;
}

int radix_digit(char c, int radix) {
  int d = -1;
  if (ascii::is_digit(c))
    d = c - '0';
  else if (ascii::lower(c) >= 'a' && ascii::lower(c) <= 'f')
    d = ascii::lower(c) - 'a' + 10;
  return d < radix ? d : -1;
}

// Reads "&H..." / "&O..." digits from text[pos]; stops at the first
// character that is not a digit of the radix. Answers how many digits it read.
std::size_t read_radix(std::string_view text, std::size_t pos, int radix, std::uint64_t& value,
                       bool& too_big) {
  std::size_t count = 0;
  value = 0;
  too_big = false;
  for (; pos < text.size(); ++pos, ++count) {
    const int d = radix_digit(text[pos], radix);
    if (d < 0) break;
    // Once past 32 bits the value is lost anyway; keep it from wrapping.
    if (!too_big) value = value * static_cast<std::uint64_t>(radix) + static_cast<std::uint64_t>(d);
    if (value > 0xFFFFFFFF) too_big = true;
  }
  return count;
}

int radix_of(char marker) {
  switch (ascii::lower(marker)) {
    case 'h':
      return 16;
    case 'o':
      return 8;
    default:
      return 0;
  }
}

// Reads an exponent's digits, saturating far beyond any representable power.
long read_exponent_digits(std::string_view text, std::size_t& pos) {
  long value = 0;
  while (pos < text.size() && ascii::is_digit(text[pos])) {
    if (value < 100000) value = value * 10 + (text[pos] - '0');
    ++pos;
  }
  return value;
}

bool is_exponent_marker(char c) { return c == 'e' || c == 'E' || c == 'd' || c == 'D'; }

// A whole text as a number under the given separators: blanks around, a
// sign, digits with thousands separators anywhere after the first digit (the
// classic reading: "12.5" is 125 under a decimal comma), a decimal part, an
// exponent; or &H / &O. thousands == '\0' allows none.
Reading read_number(std::string_view text, char decimal, char thousands, Decimal& out) {
  text = ascii::trim_blanks(text);
  if (text.empty()) return Reading::not_number;
  if (thousands == decimal) thousands = '\0';

  if (text.size() >= 3 && text[0] == '&' && radix_of(text[1]) != 0) {
    std::uint64_t value;
    bool too_big;
    const std::size_t count = read_radix(text, 2, radix_of(text[1]), value, too_big);
    if (count != text.size() - 2) return Reading::not_number;
    if (too_big) return Reading::overflow;
    return radix_decimal(value, out);
  }

  std::size_t pos = 0;
  bool negative = false;
  if (text[pos] == '+' || text[pos] == '-') {
    negative = text[pos] == '-';
    ++pos;
    while (pos < text.size() && ascii::is_blank(text[pos])) ++pos;
  }
  std::string digits;
  long fraction_digits = 0;
  bool any_digit = false;
  for (; pos < text.size(); ++pos) {
    if (ascii::is_digit(text[pos])) {
      digits += text[pos];
      any_digit = true;
    } else if (thousands != '\0' && text[pos] == thousands && any_digit) {
      continue;
    } else {
      break;
    }
  }
  if (pos < text.size() && text[pos] == decimal) {
    for (++pos; pos < text.size() && ascii::is_digit(text[pos]); ++pos) {
      digits += text[pos];
      ++fraction_digits;
      any_digit = true;
    }
  }
  if (!any_digit) return Reading::not_number;
  long exponent = 0;
  if (pos < text.size() && is_exponent_marker(text[pos])) {
    ++pos;
    bool exponent_negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
      exponent_negative = text[pos++] == '-';
    if (pos >= text.size() || !ascii::is_digit(text[pos])) return Reading::not_number;
    exponent = read_exponent_digits(text, pos);
    if (exponent_negative) exponent = -exponent;
  }
  if (pos != text.size()) return Reading::not_number;
  out = make_decimal(negative, std::move(digits), exponent - fraction_digits);
  return Reading::number;
}

// The Double nearest a decimal; false beyond the Double range (a value too
// small to hold reads as 0).
bool decimal_to_double(const Decimal& d, double& out) {
  if (d.digits.empty()) {
    out = 0;
    return true;
  }
  const long magnitude = static_cast<long>(d.digits.size()) + d.exponent;
  if (magnitude > 310) return false;
  if (magnitude < -330) {
    out = 0;
    return true;
  }
  const std::string text = d.digits + "e" + std::to_string(d.exponent);
  double value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    if (magnitude > 0) return false;
    value = 0;
  }
  if (!std::isfinite(value)) return false;
  out = d.negative ? -value : value;
  return true;
}

double decimal_to_double(const Decimal& d) {
  double value;
  if (!decimal_to_double(d, value)) raise(err::overflow);
  return value;
}

// Exact: the decimal scaled by 10^4, rounded half to even; Error 6 out of range.
Currency decimal_to_currency(const Decimal& d) {
  if (d.digits.empty()) return Currency{};
  const long shift = d.exponent + 4;
  std::string kept = d.digits;
  bool round_up = false;
  if (shift < 0) {
    const auto drop = static_cast<std::size_t>(-shift);
    std::string dropped;
    if (drop >= kept.size()) {
      dropped = std::string(drop - kept.size(), '0') + kept;
      kept.clear();
    } else {
      dropped = kept.substr(kept.size() - drop);
      kept.resize(kept.size() - drop);
    }
    const bool rest_nonzero = dropped.find_first_not_of('0', 1) != std::string::npos;
    const bool kept_odd = !kept.empty() && (kept.back() - '0') % 2 == 1;
    round_up = dropped[0] > '5' || (dropped[0] == '5' && (rest_nonzero || kept_odd));
  } else {
    if (kept.size() + static_cast<std::size_t>(shift) > 20) raise(err::overflow);
    kept.append(static_cast<std::size_t>(shift), '0');
  }
  std::uint64_t magnitude = 0;
  for (char c : kept) {
    if (__builtin_mul_overflow(magnitude, std::uint64_t{10}, &magnitude) ||
        __builtin_add_overflow(magnitude, static_cast<std::uint64_t>(c - '0'), &magnitude))
      raise(err::overflow);
  }
  if (round_up && __builtin_add_overflow(magnitude, std::uint64_t{1}, &magnitude))
    raise(err::overflow);
  const std::uint64_t limit = std::uint64_t{1} << 63;
  if (d.negative) {
    if (magnitude > limit) raise(err::overflow);
    return Currency{static_cast<std::int64_t>(0 - magnitude)};
  }
  if (magnitude >= limit) raise(err::overflow);
  return Currency{static_cast<std::int64_t>(magnitude)};
}

// A String (or an Object's default text) under the regional settings.
Reading read_regional(std::string_view text, Decimal& out) {
  const RegionalSettings settings = regional_settings();
  return read_number(text, settings.decimal_separator, settings.thousands_separator, out);
}

}  // namespace

std::optional<double> detail::regional_double(std::string_view text) {
  Decimal d;
  double value;
  if (read_regional(text, d) != Reading::number || !decimal_to_double(d, value))
    return std::nullopt;
  return value;
}

double val(std::string_view text) {
  std::string s;
  s.reserve(text.size());
  // Spaces, tabs and line feeds only: a carriage return ends the number, as
  // in the classic Val.
  for (char c : text)
    if (c != ' ' && c != '\t' && c != '\n') s += c;

  if (s.size() >= 2 && s[0] == '&' && radix_of(s[1]) != 0) {
    std::uint64_t value;
    bool too_big;
    read_radix(s, 2, radix_of(s[1]), value, too_big);
    Decimal d;
    if (too_big || radix_decimal(value, d) != Reading::number) raise(err::overflow);
    return decimal_to_double(d);
  }

  std::size_t pos = 0;
  bool negative = false;
  if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) negative = s[pos++] == '-';
  std::string digits;
  long fraction_digits = 0;
  while (pos < s.size() && ascii::is_digit(s[pos])) digits += s[pos++];
  if (pos < s.size() && s[pos] == '.') {
    for (++pos; pos < s.size() && ascii::is_digit(s[pos]); ++pos) {
      digits += s[pos];
      ++fraction_digits;
    }
  }
  long exponent = 0;
  if (!digits.empty() && pos < s.size() && is_exponent_marker(s[pos])) {
    std::size_t e = pos + 1;
    bool exponent_negative = false;
    if (e < s.size() && (s[e] == '+' || s[e] == '-')) exponent_negative = s[e++] == '-';
    // An exponent marker without digits ends the number before it.
    if (e < s.size() && ascii::is_digit(s[e])) {
      exponent = read_exponent_digits(s, e);
      if (exponent_negative) exponent = -exponent;
    }
  }
  return decimal_to_double(make_decimal(negative, std::move(digits), exponent - fraction_digits));
}

bool is_numeric(const Variant& v) {
  switch (v.type()) {
    case VarType::Empty:
    case VarType::Integer:
    case VarType::Long:
    case VarType::Double:
    case VarType::Currency:
    case VarType::Boolean:
      return true;
    case VarType::String:
      return regional_double(v.as_string()).has_value();
    default:
      return false;
  }
}

double to_double(const Variant& v) {
  if (v.is_empty()) return 0;
  if (v.is_null()) raise(err::invalid_use_of_null);
  if (counts_as_number(v)) return number_of(v);
  if (const auto text = text_of(v)) {
    Decimal d;
    switch (read_regional(*text, d)) {
      case Reading::number:
        return decimal_to_double(d);
      case Reading::overflow:
        raise(err::overflow);
      case Reading::not_number:
        break;
    }
  }
  raise(err::type_mismatch);
}

namespace {

double rounded_within(const Variant& v, double low, double high) {
  const double r = round_half_even(to_double(v));
  if (!(r >= low && r <= high)) raise(err::overflow);
  return r;
}

}  // namespace

std::int32_t to_long(const Variant& v) {
  return static_cast<std::int32_t>(rounded_within(v, -2147483648.0, 2147483647.0));
}

std::int16_t to_integer(const Variant& v) {
  return static_cast<std::int16_t>(rounded_within(v, -32768.0, 32767.0));
}

Currency to_currency(const Variant& v) {
  switch (v.type()) {
    case VarType::Empty:
      return Currency{};
    case VarType::Null:
      raise(err::invalid_use_of_null);
    case VarType::Currency:
      return v.as_currency();
    case VarType::Integer:
      return Currency{std::int64_t{v.as_integer()} * 10000};
    case VarType::Long:
      return Currency{std::int64_t{v.as_long()} * 10000};
    case VarType::Boolean:
      return Currency{v.as_boolean() ? -10000 : 0};
    case VarType::Double:
    case VarType::Date:
      return Currency::from_double(number_of(v));
    default:
      break;
  }
  if (const auto text = text_of(v)) {
    Decimal d;
    switch (read_regional(*text, d)) {
      case Reading::number:
        return decimal_to_currency(d);
      case Reading::overflow:
        raise(err::overflow);
      case Reading::not_number:
        break;
    }
  }
  raise(err::type_mismatch);
}

bool to_boolean(const Variant& v) {
  if (v.is_empty()) return false;
  if (v.is_null()) raise(err::invalid_use_of_null);
  if (v.type() == VarType::Boolean) return v.as_boolean();
  if (counts_as_number(v)) return number_of(v) != 0;
  if (const auto text = text_of(v)) {
    const std::string word = ascii::lower(trim(*text));
    if (word == "true") return true;
    if (word == "false") return false;
    return to_double(Variant(*text)) != 0;
  }
  raise(err::type_mismatch);
}

std::string decimal_text(Currency c) { return currency_text(c, '.'); }

Currency currency_from_decimal_text(std::string_view text) {
  Decimal d;
  // No blanks, exponent, radix prefix or thousands separator belong in it.
  const bool plain =
      !text.empty() && text.find_first_not_of("+-0123456789.") == std::string_view::npos;
  if (!plain || read_number(text, '.', '\0', d) != Reading::number)
    throw Error(err::type_mismatch,
                "Type mismatch: \"" + std::string(text) + "\" is not a decimal number");
  return decimal_to_currency(d);
}

}  // namespace qrnmvl
