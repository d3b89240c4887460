// The JSON contract shared by the tool, the C interface and any later service.
#include <qrnmvl/qrnmvl.hpp>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "common/json_value.hpp"

namespace qrnmvl {

std::string invoke_json(QrnMvl& object, const std::string& operation,
                        const std::string& json_call) {
  const OperationInfo* info = find_operation(operation);
  if (!info) throw std::invalid_argument("unknown operation '" + one_line(operation) + "'");

  const nlohmann::json call = parse_json_call(json_call);
  if (!call.is_object()) throw std::invalid_argument("the JSON call must be an object");

  std::vector<Variant> parameters(info->parameters.size());
  for (const auto& [name, value] : call.items()) {
    std::size_t index = 0;
    while (index < info->parameters.size() && info->parameters[index] != name) ++index;
    if (index == info->parameters.size())
      throw std::invalid_argument("unknown parameter '" + one_line(name) + "' for " + operation);
    try {
      parameters[index] = from_json(value);
    } catch (const Error& e) {
      throw std::invalid_argument("parameter '" + name + "': " + e.description());
    }
  }

  const Variant result = invoke(object, operation, parameters);

  // Parameters answer in call order, in the one layout every answer of the
  // project has (two-space indentation), whoever prints or serves it.
  nlohmann::ordered_json answer;
  answer["result"] = to_json(result);
  nlohmann::ordered_json& given = answer["parameters"] = nlohmann::ordered_json::object();
  for (std::size_t i = 0; i < parameters.size(); ++i)
    given[info->parameters[i]] = to_json(parameters[i]);
  return answer.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace qrnmvl
