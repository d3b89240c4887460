// Dates: reading date texts (IsDate, CDate), the parts of a serial, and the
// pattern formatting behind Format and the regional date text.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "common/text.hpp"
#include "common/values.hpp"
#include "common/values_internal.hpp"

namespace qrnmvl {

using detail::counts_as_number;
using detail::kSerialEpoch;
using detail::number_of;
using detail::text_of;

namespace {

std::string two_digits(int n) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02d", n);
  return buf;
}

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
  while (pos < text.size() && ascii::is_digit(text[pos])) {
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
      const char t = ascii::lower(pattern[k]);
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
    const char c = ascii::lower(raw);
    std::size_t run = 1;
    while (i + run < pattern.size() && ascii::lower(pattern[i + run]) == c) ++run;
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

}  // namespace

std::string detail::date_text(Date d) {
  const RegionalSettings settings = regional_settings();
  const DateParts p = date_parts(d);
  const bool day_zero = p.year == 1899 && p.month == 12 && p.day == 30;
  const bool midnight = p.hour == 0 && p.minute == 0 && p.second == 0;
  if (day_zero) return format_parts(p, settings.time_format);
  if (midnight) return format_parts(p, settings.short_date);
  return format_parts(p, settings.short_date) + " " + format_parts(p, settings.time_format);
}

// ---------------------------------------------------------------------------

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
  // A Date a host builds itself may hold any serial; past the years 100 to
  // 9999 it is an overflow, as converting to it would have been. (A day
  // before day zero keeps its time as a negative fraction.)
  if (!std::isfinite(d.serial) || d.serial <= kFirstSerial - 1 || d.serial >= kEndSerial)
    raise(err::overflow);
  // The integer part names the day, the fraction is the time of day on
  // either side of day zero.
  const double whole = std::trunc(d.serial);
  auto days = static_cast<std::int64_t>(whole);
  auto seconds = static_cast<std::int64_t>(std::llround(std::fabs(d.serial - whole) * 86400.0));
  if (seconds >= 86400) {
    ++days;
    seconds -= 86400;
  }
  // Civil date of the day, counted from 1970-01-01.
  const std::int64_t z = days + kSerialEpoch + 719468;
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

}  // namespace qrnmvl
