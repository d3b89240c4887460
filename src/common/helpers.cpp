#include "common/helpers.hpp"

#include <cmath>

#include "common/values.hpp"

namespace qrnmvl {
namespace {

bool is_null_or_empty(const Variant& v) { return v.is_null() || v.is_empty(); }

// "Equals the empty text": the value's text form is "". Null never equals.
bool equals_empty_text(const Variant& v) { return equals(v, ""); }

Variant integer_zero() { return Variant(std::int16_t{0}); }

char foreign_separator(char local) { return local == '.' ? ',' : '.'; }

}  // namespace

char local_decimal_separator() { return regional_decimal_separator(); }

Variant gNormaliza_Valor(const Variant& value) noexcept {
  try {
    const char local = local_decimal_separator();
    const char foreign = foreign_separator(local);
    if (is_null_or_empty(value) || equals_empty_text(value)) return integer_zero();
    const std::string text = to_text(value);
    const auto first = text.find(foreign);
    if (first == std::string::npos) return value;
    if (text.find(foreign, first + 1) != std::string::npos) return value;
    return Variant(text.substr(0, first) + local + text.substr(first + 1));
  } catch (...) {
    return integer_zero();
  }
}

Variant gFormata_Valor(const Variant& value, const Variant& default_value) noexcept {
  try {
    if (is_null_or_empty(value) || equals_empty_text(value)) return default_value;
    if (equals(value, 0.0)) return default_value;
    const char local = local_decimal_separator();

    std::string text;
    if (compare(value, -1.0) > 0 && compare(value, 1.0) < 0) {
      // Amounts below one unit are rounded to the cent instead of cut, so 0.999 shows as 1,00.
      const double rounded = std::nearbyint(to_double(value) * 100.0) / 100.0;
      if (rounded == 0.0) return default_value;
      text = to_text(Variant(rounded));
    } else {
      text = to_text(value);
    }

    std::string integer_part;
    std::string decimal_part;
    const std::size_t p = instr(text, std::string(1, local));
    if (p > 0) {
      const std::size_t decimals = text_length(text) - p;
      integer_part = left(text, p - 1);
      decimal_part = decimals == 1 ? mid(text, p + 1) + "0" : mid(text, p + 1, 2);
    } else {
      integer_part = text;
      decimal_part = "00";
    }
    // The integer part lives in a fixed field of ten characters.
    integer_part = trim(left(integer_part, 10));
    return Variant(integer_part + "," + decimal_part);
  } catch (...) {
    return integer_zero();
  }
}

Variant gMonta_Data_SQL(const Variant& value) {
  if (!is_null_or_empty(value) && !equals_empty_text(value))
    return Variant("'" + format_date(value, "yyyy/mm/dd hh:mm") + "'");
  return Variant("null");
}

Variant gTrata_Nulo(const Variant& value) noexcept {
  try {
    if (value.is_null()) return Variant("");
    return value;
  } catch (...) {
    return Variant("");
  }
}

Variant gMonta_Numero_SQL(const Variant& value) {
  if (val(to_text(value)) == 0.0) return Variant("null");
  return value;
}

Variant gMonta_Texto_SQL(const Variant& value) {
  if (!is_null_or_empty(value) && !equals_empty_text(value))
    return Variant("'" + to_text(value) + "'");
  return Variant("null");
}

Variant gRetira_Caracteres_Especiais(const Variant& text) {
  const std::string original = to_text(text);
  if (trim(original).empty()) return Variant("");
  std::string cleaned;
  cleaned.reserve(original.size());
  for (const char c : original) {
    switch (c) {
      case '\'':
      case '<':
      case '>':
      case '(':
      case ')':
      case ';':
      case '%':
      case '&':
      case '+':
      case '"':
        break;
      default:
        cleaned.push_back(c);
    }
  }
  return Variant(std::move(cleaned));
}

Variant gValor_Padrao(const Variant& value, const std::optional<Variant>& default_value) {
  if (!value.is_null() && !to_text(value).empty()) return value;
  return default_value ? *default_value : Variant::null();
}

}  // namespace qrnmvl
