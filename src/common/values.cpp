// The classic conversions and comparisons. Nothing here touches the C
// library's locales: the separators come from RegionalSettings at each call,
// and numbers are read and written with from_chars / to_chars.
#include "common/values.hpp"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <system_error>

namespace qrnmvl {
namespace {

// ---------------------------------------------------------------------------
// Small helpers

bool is_digit(char c) { return c >= '0' && c <= '9'; }

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

int sign_of(double a, double b) { return a < b ? -1 : (a > b ? 1 : 0); }

int sign_of(std::string_view a, std::string_view b) {
  const int c = a.compare(b);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// Ties go to the even neighbour, whatever the floating-point rounding mode is.
double round_half_even(double x) {
  const double lower_value = std::floor(x);
  const double diff = x - lower_value;
  if (diff < 0.5) return lower_value;
  if (diff > 0.5) return lower_value + 1.0;
  return std::fmod(lower_value, 2.0) == 0.0 ? lower_value : lower_value + 1.0;
}

std::string two_digits(int n) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02d", n);
  return buf;
}

// ---------------------------------------------------------------------------
// Text forms of numbers

// Up to 15 significant digits, as the classic text form of a Double: plain
// notation for 1E-04 <= |x| < 1E+15, the exponent form ("1E+15", "1.5E-05")
// outside it.
std::string double_text(double x, char decimal) {
  if (!std::isfinite(x)) raise(err::overflow);
  if (x == 0) return "0";
  char buf[64];
  const auto result = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific, 14);
  const std::string_view sci(buf, static_cast<std::size_t>(result.ptr - buf));
  // sci is "[-]d.ddddddddddddde[+-]xx"
  const bool negative = sci.front() == '-';
  const std::size_t e_pos = sci.find('e');
  std::string digits;
  for (char c : sci.substr(0, e_pos))
    if (is_digit(c)) digits += c;
  int exponent = 0;
  std::string_view exp_text = sci.substr(e_pos + 1);
  if (exp_text.front() == '+') exp_text.remove_prefix(1);
  std::from_chars(exp_text.data(), exp_text.data() + exp_text.size(), exponent);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string out = negative ? "-" : "";
  if (exponent >= -4 && exponent < 15) {
    if (exponent < 0) {
      out += '0';
      out += decimal;
      out.append(static_cast<std::size_t>(-exponent - 1), '0');
      out += digits;
    } else {
      const auto int_len = static_cast<std::size_t>(exponent) + 1;
      if (digits.size() <= int_len) {
        out += digits;
        out.append(int_len - digits.size(), '0');
      } else {
        out += digits.substr(0, int_len);
        out += decimal;
        out += digits.substr(int_len);
      }
    }
    return out;
  }
  out += digits[0];
  if (digits.size() > 1) {
    out += decimal;
    out += digits.substr(1);
  }
  out += exponent < 0 ? "E-" : "E+";
  const int magnitude = exponent < 0 ? -exponent : exponent;
  out += magnitude < 10 ? "0" + std::to_string(magnitude) : std::to_string(magnitude);
  return out;
}

// Up to four decimals, trailing zeros removed.
std::string currency_text(Currency c, char decimal) {
  const bool negative = c.scaled < 0;
  const std::uint64_t magnitude =
      negative ? 0 - static_cast<std::uint64_t>(c.scaled) : static_cast<std::uint64_t>(c.scaled);
  std::string out = negative ? "-" : "";
  out += std::to_string(magnitude / 10000);
  std::string fraction = std::to_string(magnitude % 10000 + 10000).substr(1);
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  if (!fraction.empty()) {
    out += decimal;
    out += fraction;
  }
  return out;
}

// ---------------------------------------------------------------------------
// Reading numbers

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
  if (is_digit(c))
    d = c - '0';
  else if (lower(c) >= 'a' && lower(c) <= 'f')
    d = lower(c) - 'a' + 10;
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
  switch (lower(marker)) {
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
  while (pos < text.size() && is_digit(text[pos])) {
    if (value < 100000) value = value * 10 + (text[pos] - '0');
    ++pos;
  }
  return value;
}

bool is_exponent_marker(char c) { return c == 'e' || c == 'E' || c == 'd' || c == 'D'; }

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// A whole text as a number under the given separators: blanks around, a
// sign, digits with thousands separators anywhere after the first digit (the
// classic reading: "12.5" is 125 under a decimal comma), a decimal part, an
// exponent; or &H / &O. thousands == '\0' allows none.
Reading read_number(std::string_view text, char decimal, char thousands, Decimal& out) {
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
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
    while (pos < text.size() && is_blank(text[pos])) ++pos;
  }
  std::string digits;
  long fraction_digits = 0;
  bool any_digit = false;
  for (; pos < text.size(); ++pos) {
    if (is_digit(text[pos])) {
      digits += text[pos];
      any_digit = true;
    } else if (thousands != '\0' && text[pos] == thousands && any_digit) {
      continue;
    } else {
      break;
    }
  }
  if (pos < text.size() && text[pos] == decimal) {
    for (++pos; pos < text.size() && is_digit(text[pos]); ++pos) {
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
    if (pos >= text.size() || !is_digit(text[pos])) return Reading::not_number;
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

// The text a String or Object variant reads as; nothing for other types.
std::optional<std::string> text_of(const Variant& v) {
  if (v.is_string()) return v.as_string();
  if (v.is_object()) return v.as_object()->default_text();
  return std::nullopt;
}

// A String that reads as a Double under the regional settings.
std::optional<double> regional_double(std::string_view text) {
  Decimal d;
  double value;
  if (read_regional(text, d) != Reading::number || !decimal_to_double(d, value))
    return std::nullopt;
  return value;
}

// Numbers, Dates and Booleans: the kinds that compare as numbers.
bool counts_as_number(const Variant& v) {
  return v.is_number() || v.type() == VarType::Date || v.type() == VarType::Boolean;
}

double number_of(const Variant& v) {
  switch (v.type()) {
    case VarType::Integer:
      return v.as_integer();
    case VarType::Long:
      return v.as_long();
    case VarType::Double:
      return v.as_double();
    case VarType::Currency:
      return v.as_currency().to_double();
    case VarType::Date:
      return v.as_date().serial;
    case VarType::Boolean:
      return v.as_boolean() ? -1.0 : 0.0;
    default:
      raise(err::type_mismatch);
  }
}

// ---------------------------------------------------------------------------
// Dates

// Serials of 0100-01-01 and of the day after 9999-12-31.
constexpr double kFirstSerial = -657434.0;
constexpr double kEndSerial = 2958466.0;

Date checked_date(double serial) {
  if (!std::isfinite(serial) || serial < kFirstSerial || serial >= kEndSerial) raise(err::overflow);
  return Date{serial};
}

bool is_leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int days_in_month(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && is_leap(y) ? 29 : kDays[m - 1];
}

bool valid_date(int y, int m, int d) {
  return y >= 100 && y <= 9999 && m >= 1 && m <= 12 && d >= 1 && d <= days_in_month(y, m);
}

// A run of digits (at most 9 counted into the value).
bool read_group(std::string_view text, std::size_t& pos, int& value, int& count) {
  value = 0;
  count = 0;
  while (pos < text.size() && is_digit(text[pos])) {
    if (count < 9) value = value * 10 + (text[pos] - '0');
    ++count;
    ++pos;
  }
  return count > 0;
}

bool is_date_separator(char c) { return c == '/' || c == '-' || c == '.'; }

// h:mm[:ss] up to the end of the text, as seconds since midnight.
std::optional<int> read_time(std::string_view text, std::size_t pos) {
  int hour, minute, second = 0, count;
  if (!read_group(text, pos, hour, count) || count > 2) return std::nullopt;
  if (pos >= text.size() || text[pos] != ':') return std::nullopt;
  ++pos;
  if (!read_group(text, pos, minute, count) || count > 2) return std::nullopt;
  if (pos < text.size() && text[pos] == ':') {
    ++pos;
    if (!read_group(text, pos, second, count) || count > 2) return std::nullopt;
  }
  if (pos != text.size() || hour > 23 || minute > 59 || second > 59) return std::nullopt;
  return hour * 3600 + minute * 60 + second;
}

// The date texts the component accepts: day first (d/m/yyyy, dd/mm/yyyy,
// d/m/yy; "/", "-" or "."), year first (yyyy/mm/dd), month first when that is
// the only reading (10/13/2001); each with an optional time; or a time alone.
std::optional<Date> read_date(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  std::size_t pos = 0;
  int a, b, c, count_a, count_b, count_c;
  if (!read_group(text, pos, a, count_a)) return std::nullopt;
  if (pos < text.size() && text[pos] == ':') {
    const auto seconds = read_time(text, 0);
    if (!seconds) return std::nullopt;
    return Date::from_parts(1899, 12, 30, 0, 0, *seconds);
  }
  if (pos >= text.size() || !is_date_separator(text[pos])) return std::nullopt;
  ++pos;
  if (!read_group(text, pos, b, count_b) || count_b > 2) return std::nullopt;
  if (pos >= text.size() || !is_date_separator(text[pos])) return std::nullopt;
  ++pos;
  if (!read_group(text, pos, c, count_c)) return std::nullopt;

  int year, month, day;
  if (count_a >= 3) {
    if (count_a > 4 || count_c > 2 || !valid_date(a, b, c)) return std::nullopt;
    year = a, month = b, day = c;
  } else {
    if (count_c > 4) return std::nullopt;
    year = count_c <= 2 ? (c < 30 ? 2000 + c : 1900 + c) : c;
    if (valid_date(year, b, a)) {
      day = a, month = b;
    } else if (valid_date(year, a, b)) {
      day = b, month = a;
    } else {
      return std::nullopt;
    }
  }
  int seconds = 0;
  if (pos < text.size()) {
    if (text[pos] != ' ' && text[pos] != '\t') return std::nullopt;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
    const auto time = read_time(text, pos);
    if (!time) return std::nullopt;
    seconds = *time;
  }
  return Date::from_parts(year, month, day, 0, 0, seconds);
}

// Pattern formatting of date parts: yyyy yy mm m dd d hh h nn n ss s, any
// case; "m"/"mm" after an hour token or before a seconds token is minutes;
// "..." and \x are literal.
std::string format_parts(const DateParts& p, std::string_view pattern) {
  std::string out;
  char last_token = '\0';
  const auto next_token = [&](std::size_t from) {
    for (std::size_t k = from; k < pattern.size(); ++k) {
      const char t = lower(pattern[k]);
      if (t == 'y' || t == 'm' || t == 'd' || t == 'h' || t == 'n' || t == 's') return t;
    }
    return '\0';
  };
  const auto number = [&](int value, std::size_t width) {
    out += width == 2 ? two_digits(value) : std::to_string(value);
  };
  for (std::size_t i = 0; i < pattern.size();) {
    const char raw = pattern[i];
    if (raw == '"') {
      const std::size_t close = pattern.find('"', i + 1);
      const std::size_t end = close == std::string_view::npos ? pattern.size() : close;
      out.append(pattern.substr(i + 1, end - i - 1));
      i = end + 1;
      continue;
    }
    if (raw == '\\' && i + 1 < pattern.size()) {
      out += pattern[i + 1];
      i += 2;
      continue;
    }
    const char c = lower(raw);
    std::size_t run = 1;
    while (i + run < pattern.size() && lower(pattern[i + run]) == c) ++run;
    std::size_t used = run >= 2 ? 2 : 1;
    switch (c) {
      case 'y':
        if (run >= 4) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "%04d", p.year);
          out += buf;
          used = 4;
        } else if (run >= 2) {
          out += two_digits(p.year % 100);
        } else {
          out += raw;
        }
        break;
      case 'm': {
        const bool minutes = last_token == 'h' || next_token(i + used) == 's';
        number(minutes ? p.minute : p.month, used);
        break;
      }
      case 'd':
        number(p.day, used);
        break;
      case 'h':
        number(p.hour, used);
        break;
      case 'n':
        number(p.minute, used);
        break;
      case 's':
        number(p.second, used);
        break;
      default:
        out += raw;
        used = 1;
        break;
    }
    if (c == 'y' || c == 'm' || c == 'd' || c == 'h' || c == 'n' || c == 's') last_token = c;
    i += used;
  }
  return out;
}

std::string date_text(Date d) {
  const RegionalSettings settings = regional_settings();
  const DateParts p = date_parts(d);
  const bool day_zero = p.year == 1899 && p.month == 12 && p.day == 30;
  const bool midnight = p.hour == 0 && p.minute == 0 && p.second == 0;
  if (day_zero) return format_parts(p, settings.time_format);
  if (midnight) return format_parts(p, settings.short_date);
  return format_parts(p, settings.short_date) + " " + format_parts(p, settings.time_format);
}

// ---------------------------------------------------------------------------
// UTF-8

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

// ---------------------------------------------------------------------------
// Text form

std::string to_text(const Variant& v) {
  switch (v.type()) {
    case VarType::Empty:
      return "";
    case VarType::Null:
      raise(err::invalid_use_of_null);
    case VarType::Integer:
      return std::to_string(v.as_integer());
    case VarType::Long:
      return std::to_string(v.as_long());
    case VarType::Double:
      return double_text(v.as_double(), regional_decimal_separator());
    case VarType::Currency:
      return currency_text(v.as_currency(), regional_decimal_separator());
    case VarType::Date:
      return date_text(v.as_date());
    case VarType::String:
      return v.as_string();
    case VarType::Boolean:
      return v.as_boolean() ? "True" : "False";
    case VarType::Object:
      return v.as_object()->default_text();
    case VarType::Array:
      break;
  }
  raise(err::type_mismatch);
}

// ---------------------------------------------------------------------------
// Numbers

double val(std::string_view text) {
  std::string s;
  s.reserve(text.size());
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
  while (pos < s.size() && is_digit(s[pos])) digits += s[pos++];
  if (pos < s.size() && s[pos] == '.') {
    for (++pos; pos < s.size() && is_digit(s[pos]); ++pos) {
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
    if (e < s.size() && is_digit(s[e])) {
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
    std::string word;
    for (char c : trim(*text)) word += lower(c);
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

// ---------------------------------------------------------------------------
// Dates

bool is_date(const Variant& v) {
  if (v.type() == VarType::Date) return true;
  // Numbers convert to dates but, as in the classic IsDate, are not dates.
  if (const auto text = text_of(v)) return read_date(*text).has_value();
  return false;
}

Date to_date(const Variant& v) {
  if (v.type() == VarType::Date) return v.as_date();
  if (v.is_empty()) return Date{};
  if (v.is_null()) raise(err::invalid_use_of_null);
  if (counts_as_number(v)) return checked_date(number_of(v));
  if (const auto text = text_of(v)) {
    if (const auto date = read_date(*text)) return *date;
  }
  raise(err::type_mismatch);
}

std::string format_date(const Variant& v, std::string_view pattern) {
  return format_parts(date_parts(to_date(v)), pattern);
}

DateParts date_parts(Date d) {
  if (!std::isfinite(d.serial)) raise(err::overflow);
  // The integer part names the day, the fraction is the time of day on
  // either side of day zero.
  const double whole = std::trunc(d.serial);
  auto days = static_cast<std::int64_t>(whole);
  auto seconds = static_cast<std::int64_t>(std::llround(std::fabs(d.serial - whole) * 86400.0));
  if (seconds >= 86400) {
    ++days;
    seconds -= 86400;
  }
  // Civil date of the day, counted from 1970-01-01 (day zero is 25569 days before it).
  const std::int64_t z = days - 25569 + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const auto day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const auto month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  const auto year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
  return DateParts{year,
                   month,
                   day,
                   static_cast<int>(seconds / 3600),
                   static_cast<int>(seconds / 60 % 60),
                   static_cast<int>(seconds % 60)};
}

// ---------------------------------------------------------------------------
// Comparisons

std::optional<int> compare(const Variant& v, double number_literal) {
  if (v.is_null()) return std::nullopt;
  if (v.is_empty()) return sign_of(0.0, number_literal);
  if (counts_as_number(v)) return sign_of(number_of(v), number_literal);
  if (const auto text = text_of(v)) {
    if (const auto number = regional_double(*text)) return sign_of(*number, number_literal);
  }
  raise(err::type_mismatch);
}

std::optional<int> compare(const Variant& v, std::string_view text_literal) {
  if (v.is_null()) return std::nullopt;
  return sign_of(to_text(v), text_literal);
}

std::optional<int> compare(const Variant& v, const char* text_literal) {
  return compare(v, std::string_view(text_literal));
}

std::optional<int> compare_values(const Variant& a, const Variant& b) {
  if (a.is_null() || b.is_null()) return std::nullopt;
  if (a.is_array() || b.is_array()) raise(err::type_mismatch);
  // An Object takes part through its default text.
  const Variant left_value = a.is_object() ? Variant(a.as_object()->default_text()) : a;
  const Variant right_value = b.is_object() ? Variant(b.as_object()->default_text()) : b;
  const Variant& x = left_value;
  const Variant& y = right_value;

  if (x.is_empty() && y.is_empty()) return 0;
  if (x.is_empty()) return y.is_string() ? sign_of("", y.as_string()) : sign_of(0.0, number_of(y));
  if (y.is_empty()) return x.is_string() ? sign_of(x.as_string(), "") : sign_of(number_of(x), 0.0);
  if (x.is_string() && y.is_string()) return sign_of(x.as_string(), y.as_string());
  if (!x.is_string() && !y.is_string()) return sign_of(number_of(x), number_of(y));
  // A number against a String: as numbers when the String reads as one,
  // otherwise the number's text form against the String.
  const Variant& number = x.is_string() ? y : x;
  const std::string& text = x.is_string() ? x.as_string() : y.as_string();
  if (const auto read = regional_double(text)) {
    return x.is_string() ? sign_of(*read, number_of(number)) : sign_of(number_of(number), *read);
  }
  const std::string number_text = to_text(number);
  return x.is_string() ? sign_of(text, number_text) : sign_of(number_text, text);
}

// ---------------------------------------------------------------------------
// Texts

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
