#include "routine/commands.hpp"

#include "common/values.hpp"

namespace qrnmvl {

bool gMonta_EXEC(const data::Command& command, const std::string& procedure, Variant& output_text) {
  std::string list;
  for (const data::Parameter& parameter : command.parameters()) {
    if (parameter.value.is_null()) {
      list += "Null, ";
      continue;
    }
    switch (parameter.type) {
      case data::DataType::Date:
      case data::DataType::Char:
      case data::DataType::WChar:
      case data::DataType::VarChar:
      case data::DataType::LongVarChar:
      case data::DataType::VarWChar:
      case data::DataType::LongVarWChar:
        list += "'" + to_text(parameter.value) + "', ";
        break;
      default:
        list += to_text(parameter.value) + ", ";
    }
  }
  // A command without parameters has no separator to remove.
  if (list.size() < 2) raise(err::invalid_procedure_call);
  list.resize(list.size() - 2);
  output_text = Variant("EXEC " + procedure + " " + list);
  return true;
}

}  // namespace qrnmvl
