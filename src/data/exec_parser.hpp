// EXEC/EXECUTE command texts are read, never run: every argument must be a
// literal, so nothing typed into a field can reach a database as SQL. Every
// driver receives the parsed call.
#pragma once

#include <optional>
#include <qrnmvl/variant.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace qrnmvl::data {

// A stored-procedure call parsed from a command text. Each argument is a
// literal: a number, a quoted text ('' for one apostrophe, N'...' allowed) or NULL.
struct ExecCall {
  std::string procedure;
  std::vector<Variant> arguments;  // Long or Double for numbers, String, Null
};

// Empty when the text is not an EXEC/EXECUTE call; Error -2147217900 with a
// syntax-error description when it is one whose arguments are not all literals.
std::optional<ExecCall> parse_exec(std::string_view command_text);

}  // namespace qrnmvl::data
