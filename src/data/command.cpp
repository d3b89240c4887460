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

std::string Command::text() const {
  std::string out = "{ call " + command_text;
  if (!parameters_.empty()) {
    out += "(";
    for (std::size_t i = 0; i < parameters_.size(); ++i) out += i == 0 ? "?" : ", ?";
    out += ")";
  }
  return out + " }";
}

RowSet Command::execute() {
  if (!connection) raise(err::object_not_set);
  return connection->call(command_text, parameters_, timeout_seconds);
}

}  // namespace qrnmvl::data
