#include "close.hpp"

#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <utility>

#include "closing/validation.hpp"
#include "common/json_value.hpp"
#include "common/values.hpp"
#include "data/connection.hpp"
#include "data/connection_text.hpp"
#include "routine/frame.hpp"

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

template <std::size_t... I>
closing::Closing bind_closing(std::vector<Variant>& values, std::index_sequence<I...>) {
  return closing::Closing{values[I]...};
}

// The first stage of gGrava_Fechamento alone: the form is checked and its texts
// cleaned as the closing would, and nothing is written but the message-log row
// of an unexpected failure.
bool validate(Call& form) {
  const auto& names = form.names();
  if (names.size() != closing::Closing::count)
    throw std::logic_error("the closing's parameters are not the validation's");
  for (std::size_t i = 0; i < names.size(); ++i)
    if (names[i] != closing::Closing::names[i])
      throw std::logic_error("the closing's parameters are not the validation's");
  const data::OperationScope scope;
  closing::Closing p =
      bind_closing(form.values(), std::make_index_sequence<closing::Closing::count>{});
  ContainerRulesFactory rules = make_default_container_rules;
  Variant connection_text(to_text(p.invntConecta_db));
  Variant start, end, withdrawal, delivery;
  if (closing::mConsiste_Campos(connection_text, p, rules, start, end, withdrawal, delivery))
    return true;
  if (is_user_one(p.invntUsuario_internet_id))
    p.outvntMsg_Ret = Variant(piece(p.outvntMsg_Ret) + "(mConsiste_Campos)");
  return false;
}

// The answer as printed: a password in the connection text is not shown.
void print_answer(std::ostream& out, const std::string& answer_json,
                  std::optional<int> result = std::nullopt) {
  auto answer = nlohmann::ordered_json::parse(answer_json);
  if (result) answer["result"] = *result;
  auto& connection = answer["parameters"]["invntConecta_db"];
  if (connection.is_string())
    connection = data::masked_connection_text(connection.get<std::string>());
  out << answer.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
}

}  // namespace

int close_order(QrnMvl& component, const CloseOptions& options, std::ostream& out) {
  const Call loaded =
      load_order(component, options.session, Variant(static_cast<std::int32_t>(options.record_id)));
  if (!equals(loaded.result(), 0.0)) {
    print_answer(out, loaded.answer_json());
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

  if (options.validate_only) {
    const int result = validate(form) ? 0 : 10;
    print_answer(out, form.answer_json(), result);
    return result;
  }
  form.run(component);
  print_answer(out, form.answer_json());
  return equals(form.result(), 0.0) ? 0 : 10;
}

}  // namespace qrnmvl::tool
