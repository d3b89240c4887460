// What the values_*.cpp files (and the Currency and Date builders of
// variant.cpp) share. Not for callers outside src/common/: they use values.hpp.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/values.hpp"

namespace qrnmvl::detail {

// 1899-12-30, day zero of the serials, counted in days from 1970-01-01.
inline constexpr std::int64_t kSerialEpoch = -25569;

// Ties go to the even neighbour, whatever the floating-point rounding mode is.
inline double round_half_even(double x) {
  const double lower_value = std::floor(x);
  const double diff = x - lower_value;
  if (diff < 0.5) return lower_value;
  if (diff > 0.5) return lower_value + 1.0;
  return std::fmod(lower_value, 2.0) == 0.0 ? lower_value : lower_value + 1.0;
}

// The text a String or Object variant reads as; nothing for other types.
inline std::optional<std::string> text_of(const Variant& v) {
  if (v.is_string()) return v.as_string();
  if (v.is_object()) return v.as_object()->default_text();
  return std::nullopt;
}

// Numbers, Dates and Booleans: the kinds that compare as numbers.
inline bool counts_as_number(const Variant& v) {
  return v.is_number() || v.type() == VarType::Date || v.type() == VarType::Boolean;
}

// The number of a kind that counts_as_number; Error 13 for any other.
inline double number_of(const Variant& v) {
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

// A text that reads as a Double under the regional settings (values_numbers.cpp).
std::optional<double> regional_double(std::string_view text);

// Up to four decimals, trailing zeros removed (values_format.cpp).
std::string currency_text(Currency c, char decimal);

// The regional short date and time of a Date (values_dates.cpp).
std::string date_text(Date d);

}  // namespace qrnmvl::detail
