// Comparisons of a value with a number literal, a text literal or another
// value, each answering -1, 0, 1 or Null.
#include <optional>
#include <string>
#include <string_view>

#include "common/values.hpp"
#include "common/values_internal.hpp"

namespace qrnmvl {

using detail::counts_as_number;
using detail::number_of;
using detail::regional_double;
using detail::text_of;

namespace {

int sign_of(double a, double b) { return a < b ? -1 : (a > b ? 1 : 0); }

int sign_of(std::string_view a, std::string_view b) {
  const int c = a.compare(b);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

}  // namespace

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

}  // namespace qrnmvl
