#include "data/command.hpp"

#include <new>

#include "common/values.hpp"
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
    case DataType::DBTimeStamp:
      return "timestamp";
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

namespace {

Variant converted(const Parameter& parameter) {
  const Variant& value = parameter.value;
  switch (parameter.type) {
    case DataType::SmallInt:
      return Variant(to_integer(value));
    case DataType::Integer:
      return Variant(to_long(value));
    case DataType::Double:
      return Variant(to_double(value));
    case DataType::Currency:
      return Variant(to_currency(value));
    case DataType::Date:
    case DataType::DBTimeStamp:
      return Variant(to_date(value));
    default:
      break;  // the text types
  }
  std::string text = to_text(value);
  if (parameter.size > 0 && text_length(text) > static_cast<std::size_t>(parameter.size))
    raise(err::data_conversion);
  return Variant(std::move(text));
}

}  // namespace

Variant typed_value(const Parameter& parameter) {
  if (parameter.value.is_empty() || parameter.value.is_null()) return Variant::null();
  try {
    return converted(parameter);
  } catch (const std::bad_alloc&) {
    throw;
  } catch (...) {
    // Whatever stopped the conversion (a text that is no number, an overflow,
    // an array), the caller is told what the data-access layer says.
    raise(err::data_conversion);
  }
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
  return connection->call(command_text, parameters_, timeout_seconds);
}

}  // namespace qrnmvl::data
