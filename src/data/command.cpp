#include "data/command.hpp"

#include "data/connection.hpp"

namespace qrnmvl::data {

const char* data_type_name(DataType type) noexcept {
  switch (type) {
    case DataType::SmallInt:
      return "smallint";
    case DataType::Integer:
      return "integer";
    case DataType::Double:
      return "double";
    case DataType::Currency:
      return "currency";
    case DataType::Date:
      return "date";
    case DataType::Char:
      return "char";
    case DataType::WChar:
      return "wchar";
    case DataType::VarChar:
      return "varchar";
    case DataType::LongVarChar:
      return "longvarchar";
    case DataType::VarWChar:
      return "varwchar";
    case DataType::LongVarWChar:
      return "longvarwchar";
  }
  return "unknown";
}

std::string call_text(std::string_view procedure, std::size_t arguments) {
  std::string out = "{ call " + std::string(procedure);
  if (arguments > 0) {
    out += "(";
    for (std::size_t i = 0; i < arguments; ++i) out += i == 0 ? "?" : ", ?";
    out += ")";
  }
  return out + " }";
}

std::string Command::text() const { return call_text(command_text, parameters_.size()); }

RowSet Command::execute() {
  if (!connection) raise(err::object_not_set);
  return connection->call(command_text, parameters_);
}

}  // namespace qrnmvl::data
