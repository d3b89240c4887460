// The field validators of the shared check module (ZELCCA).
//
// They answer the user, not the administrator: a failure is a message in the
// caller's message output and never a message-log row. Every conversion goes
// through the value layer so that the regional settings decide what a number,
// a date or a time is.
#include "validators/validators.hpp"

#include <optional>
#include <string>
#include <string_view>

#include "common/helpers.hpp"
#include "common/values.hpp"
#include "routine/frame.hpp"

namespace qrnmvl {
namespace {

bool is_blank(const Variant& value) { return equals(gTrata_Nulo(value), ""); }

// The opening every check shares. Answers the check's result when the opening
// decides it, and nothing when the check's own rules must run.
std::optional<bool> opening(const Variant& label, Variant& value, Variant& message,
                            const Variant& required) {
  // The caller's variable is cleaned too, so what is later sent is what was checked.
  if (!is_blank(value)) value = gRetira_Caracteres_Especiais(value);
  if (equals(required, "N") && is_blank(value)) return true;
  if (is_blank(value)) {
    message = Variant("Preencha " + piece(label));
    return false;
  }
  return std::nullopt;
}

// An unexpected failure inside a check: the check's unavailability text, with
// the technical detail only for user 1.
bool unavailable(std::string_view text, std::string_view check, const Variant& user_id, int line,
                 Variant& message) noexcept {
  try {
    std::string answer(text);
    if (is_user_one(user_id)) {
      const Error error = current_error();
      answer += numbered_context(" - ZELCCA." + std::string(check) + " (", error, line);
    }
    message = Variant(std::move(answer));
  } catch (...) {
    // Only memory can fail here; the check still answers false.
  }
  return false;
}

// dd/mm/yyyy rewritten as yyyy/mm/dd, which orders correctly as plain text.
std::string year_first(const Variant& date) {
  const std::string text = to_text(date);
  return mid(text, 7, 4) + "/" + mid(text, 4, 2) + "/" + mid(text, 1, 2);
}

bool is_less(const std::optional<int>& comparison) {
  return comparison.has_value() && *comparison < 0;
}
bool is_greater(const std::optional<int>& comparison) {
  return comparison.has_value() && *comparison > 0;
}

// The text of one hour form message; the example hour tells which rule refused.
std::string hour_form(const Variant& label, std::string_view example) {
  return "Preencha " + piece(label) +
         " com uma hora válida, com 5 dígitos, no formato hh:mm (Exemplo: " + std::string(example) +
         ")";
}

}  // namespace

bool gConsiste_Data(const Variant& label, Variant& value, const Variant& minimum,
                    const Variant& maximum, const Variant& user_id, Variant& message,
                    Variant& converted, const Variant& required) {
  int line = 0;
  try {
    line = 1;
    if (const auto decided = opening(label, value, message, required)) return *decided;

    line = 4;
    const std::string trimmed = trim(to_text(value));
    if (text_length(trimmed) != 10) {
      message = Variant("Preencha " + piece(label) +
                        " com uma data válida, com 10 dígitos, no formato dd/mm/aaaa (Exemplo: "
                        "13/10/2001)");
      return false;
    }

    line = 5;
    if (!is_date(value)) {
      message = Variant("Preencha " + piece(label) +
                        " com uma data válida, no formato dd/mm/aaaa (Exemplo: 13/10/2001)");
      return false;
    }

    line = 6;
    // A date that only reads month first (10/13/2001) got this far.
    if (is_greater(compare(Variant(mid(to_text(value), 4, 2)), 12.0))) {
      message = Variant("O mês da data do campo " + piece(label) + " deve ser menor ou igual a 12");
      return false;
    }

    line = 7;
    converted = Variant(year_first(value));

    line = 8;
    if (!is_blank(minimum) && to_text(converted) < year_first(minimum)) {
      message = Variant(piece(label) + " deve ser igual ou maior que " + piece(minimum));
      return false;
    }

    line = 9;
    if (!is_blank(maximum) && to_text(converted) > year_first(maximum)) {
      message = Variant(piece(label) + " deve ser igual ou menor que " + piece(maximum));
      return false;
    }

    line = 10;
    return true;
  } catch (...) {
    return unavailable("Acesso a consistência de datas não disponível. Favor tentar mais tarde. ",
                       "gConsiste_Data", user_id, line, message);
  }
}

bool gConsiste_Hora(const Variant& label, Variant& value, const Variant& minimum,
                    const Variant& maximum, const Variant& user_id, Variant& message,
                    Variant& converted, const Variant& required) {
  int line = 0;
  try {
    line = 1;
    if (const auto decided = opening(label, value, message, required)) return *decided;

    line = 4;
    const std::string trimmed = trim(to_text(value));
    if (text_length(trimmed) != 5) {
      message = Variant(hour_form(label, "08:10"));
      return false;
    }

    line = 5;
    if (mid(trimmed, 3, 1) != ":") {
      message = Variant(hour_form(label, "08:15"));
      return false;
    }

    line = 6;
    const Variant hour(mid(trimmed, 1, 2));
    if (!is_numeric(hour)) {
      message = Variant(hour_form(label, "08:20"));
      return false;
    }

    line = 7;
    const Variant minutes(mid(trimmed, 4, 2));
    if (!is_numeric(minutes)) {
      message = Variant(hour_form(label, "08:25"));
      return false;
    }

    line = 8;
    if (is_greater(compare(hour, 23.0)) || is_less(compare(hour, 0.0))) {
      message = Variant(hour_form(label, "08:30"));
      return false;
    }

    line = 9;
    if (is_greater(compare(minutes, 59.0)) || is_less(compare(minutes, 0.0))) {
      message = Variant(hour_form(label, "08:35"));
      return false;
    }

    line = 10;
    if (!is_date(value)) {
      message = Variant("Preencha " + piece(label) +
                        " com uma hora válida, no formato hh:mm (Exemplo: 08:40)");
      return false;
    }

    line = 11;
    converted = value;

    line = 12;
    if (!is_blank(minimum) && to_text(value) < to_text(minimum)) {
      message = Variant(piece(label) + " deve ser igual ou maior que " + piece(minimum) + ".");
      return false;
    }

    line = 13;
    if (!is_blank(maximum) && to_text(value) > to_text(maximum)) {
      message = Variant(piece(label) + " deve ser igual ou menor que " + piece(maximum) + ".");
      return false;
    }

    line = 14;
    return true;
  } catch (...) {
    return unavailable("Acesso a consistência de Hora não disponível. Favor tentar mais tarde. ",
                       "gConsiste_Hora", user_id, line, message);
  }
}

namespace {

// gConsiste_Inteiro and gConsiste_Numero are one check: the number form
// accepts the decimal comma the integer form refuses.
bool check_number(const Variant& label, Variant& value, const Variant& minimum,
                  const Variant& maximum, const Variant& user_id, Variant& message,
                  const Variant& required, bool decimal_comma, std::string_view unavailable_text,
                  std::string_view check_name) {
  int line = 0;
  try {
    line = 1;
    if (const auto decided = opening(label, value, message, required)) return *decided;

    line = 4;
    // Both separators are refused before the numeric test: under a decimal
    // comma "1.000" would otherwise pass as one thousand.
    if (instr(to_text(value), ".") > 0) {
      message = Variant("O campo " + piece(label) +
                        " não permite a digitação de números com uso de separador de milhar(.)");
      return false;
    }

    line = 5;
    if (!decimal_comma && instr(to_text(value), ",") > 0) {
      message = Variant("O campo " + piece(label) +
                        " não permite a digitação de números com casas decimais(,)");
      return false;
    }

    line = 6;
    if (!is_numeric(value)) {
      message = Variant("Preencha " + piece(label) + " com valor numérico");
      return false;
    }

    line = 7;
    if (!is_blank(minimum) &&
        to_double(gNormaliza_Valor(value)) < to_double(gNormaliza_Valor(minimum))) {
      message = Variant(piece(label) + " deve ser igual ou maior que " + piece(minimum));
      return false;
    }

    line = 8;
    if (!is_blank(maximum) &&
        to_double(gNormaliza_Valor(value)) > to_double(gNormaliza_Valor(maximum))) {
      message = Variant(piece(label) + " deve ser igual ou menor que " + piece(maximum));
      return false;
    }

    line = 9;
    return true;
  } catch (...) {
    return unavailable(unavailable_text, check_name, user_id, line, message);
  }
}

}  // namespace

bool gConsiste_Inteiro(const Variant& label, Variant& value, const Variant& minimum,
                       const Variant& maximum, const Variant& user_id, Variant& message,
                       const Variant& required) {
  return check_number(
      label, value, minimum, maximum, user_id, message, required, false,
      "Acesso a consistência de campo inteiro não disponível. Favor tentar mais tarde. ",
      "gConsiste_Inteiro");
}

bool gConsiste_Numero(const Variant& label, Variant& value, const Variant& minimum,
                      const Variant& maximum, const Variant& user_id, Variant& message,
                      const Variant& required) {
  return check_number(
      label, value, minimum, maximum, user_id, message, required, true,
      "Acesso a consistência de campo numérico não disponível. Favor tentar mais tarde. ",
      "gConsiste_Numero");
}

bool gConsiste_String(const Variant& label, Variant& value, const Variant& maximum_length,
                      const Variant& user_id, Variant& message, const Variant& required) {
  int line = 0;
  try {
    line = 1;
    if (const auto decided = opening(label, value, message, required)) return *decided;

    line = 4;
    // No maximum (0 or an empty text) means any length.
    const Variant limit = gNormaliza_Valor(maximum_length);
    if (is_greater(compare(limit, 0.0)) &&
        static_cast<double>(text_length(to_text(value))) > to_double(limit)) {
      message = Variant("Preencha " + piece(label) + " com, no máximo, " + piece(maximum_length) +
                        " caracteres.");
      return false;
    }

    line = 5;
    return true;
  } catch (...) {
    return unavailable(
        "Acesso a consistência de campos alfanuméricos não disponível. Favor tentar mais tarde. ",
        "gConsiste_String", user_id, line, message);
  }
}

}  // namespace qrnmvl
