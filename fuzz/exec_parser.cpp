// Command texts: an EXEC call is parsed into literals, never run as SQL, and a
// plain statement leaves the dialect layer without a NUL that would cut it.
#include "data/exec_parser.hpp"

#include <cstdint>
#include <string_view>

#include "data/sqlite/driver.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using qrnmvl::VarType;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    if (const auto call = qrnmvl::data::parse_exec(text)) {
      if (call->procedure.empty()) __builtin_trap();
      for (const auto& argument : call->arguments) {
        const VarType type = argument.type();
        if (type != VarType::Long && type != VarType::Double && type != VarType::String &&
            type != VarType::Null)
          __builtin_trap();
      }
    }
  } catch (const qrnmvl::Error& error) {
    if (error.number() != qrnmvl::err::database) __builtin_trap();
  }
  try {
    if (qrnmvl::data::sqlite::apply_dialect(text).find('\0') != std::string::npos) __builtin_trap();
  } catch (const qrnmvl::Error& error) {
    if (error.number() != qrnmvl::err::database) __builtin_trap();
  }
  return 0;
}
