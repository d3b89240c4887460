#include "close.hpp"

#include <stdexcept>

#include "common/json_value.hpp"
#include "common/values.hpp"

namespace qrnmvl::tool {
namespace {

// "dd/mm/yyyy hh:mm" into the form's date and hour fields.
void set_moment(Call& form, const std::string& text, const char* date_field,
                const char* hour_field) {
  if (text.empty()) return;
  const std::size_t blank = text.find(' ');
  if (blank == std::string::npos)
    throw std::invalid_argument("'" + text + "' is not a date and hour (dd/mm/yyyy hh:mm)");
  form[date_field] = Variant(text.substr(0, blank));
  form[hour_field] = Variant(trim(text.substr(blank + 1)));
}

Variant json_or_text(const std::string& text) {
  try {
    return from_json(parse_json_call(text));
  } catch (const std::invalid_argument&) {
    return Variant(text);
  } catch (const Error& e) {
    throw std::invalid_argument("'" + text + "': " + e.description());
  }
}

}  // namespace

int close_order(QrnMvl& component, const CloseOptions& options, std::ostream& out) {
  const Call loaded =
      load_order(component, options.session, Variant(static_cast<std::int32_t>(options.record_id)));
  if (!equals(loaded.result(), 0.0)) {
    out << loaded.answer_json() << "\n";
    return 10;
  }

  Call form = closing_form(options.session, loaded);
  set_moment(form, options.start, "invntData_Ini_Execucao", "invntHora_Ini_Execucao");
  set_moment(form, options.end, "invntData_Fim_Execucao", "invntHora_Fim_Execucao");
  set_moment(form, options.withdrawal, "invntData_Retirada", "invntHora_Retirada");
  set_moment(form, options.delivery, "invntData_Entrega", "invntHora_Entrega");
  if (!options.plate.empty()) form["INvntPlaca_Cavalo"] = Variant(options.plate);
  if (!options.document_number.empty())
    form["invntnum_documento"] = Variant(options.document_number);
  if (!options.observation.empty()) form["invntObserv"] = Variant(options.observation);

  if (!options.params_json.empty()) {
    nlohmann::json params;
    try {
      params = parse_json_call(options.params_json);
    } catch (const std::invalid_argument& e) {
      throw std::invalid_argument(std::string("JSON parameters refused: ") + e.what());
    }
    if (!params.is_object()) throw std::invalid_argument("the JSON parameters must be an object");
    for (const auto& [name, value] : params.items()) {
      try {
        form[name] = from_json(value);
      } catch (const Error& e) {
        throw std::invalid_argument("parameter '" + name + "': " + e.description());
      }
    }
  }
  for (const std::string& set : options.sets) {
    const std::size_t equals_sign = set.find('=');
    if (equals_sign == std::string::npos)
      throw std::invalid_argument("--set takes NAME=VALUE, not '" + set + "'");
    form[set.substr(0, equals_sign)] = json_or_text(set.substr(equals_sign + 1));
  }

  form.run(component);
  out << form.answer_json() << "\n";
  return equals(form.result(), 0.0) ? 0 : 10;
}

}  // namespace qrnmvl::tool
