// The text form of every kind of value (CStr), with the regional decimal
// separator read at each call and numbers written with to_chars.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

#include "common/text.hpp"
#include "common/values.hpp"
#include "common/values_internal.hpp"

namespace qrnmvl {

using detail::currency_text;
using detail::date_text;

namespace {

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
    if (ascii::is_digit(c)) digits += c;
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

}  // namespace

std::string detail::currency_text(Currency c, char decimal) {
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

}  // namespace qrnmvl
