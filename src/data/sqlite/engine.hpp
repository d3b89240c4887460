// The embedded engine: makes a SQLite file behave like the application database.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/data.hpp"

namespace qrnmvl::data::sqlite {

// Opens "Provider=SQLite;Data Source=<file>[;Trace=<file>][;Busy
// Timeout=<ms>][;Synchronous=<mode>]". The file must exist (it is created by
// create_reference_database).
std::shared_ptr<Connection> open(const std::string& connection_text);

// Registers the engine as the "sqlite" driver (done once, on first use of the registry).
void register_engine();

// An EXEC/EXECUTE call parsed from a command text. Each argument is a literal:
// a number, a quoted text ('' for one apostrophe, N'...' allowed) or NULL.
struct ExecCall {
  std::string procedure;
  std::vector<Variant> arguments;  // Long or Double for numbers, String, Null
};
// Empty when the text is not an EXEC/EXECUTE call; Error -2147217900 with a
// syntax-error description when it is one whose arguments are not all literals.
std::optional<ExecCall> parse_exec(std::string_view command_text);

// Rewrites the dialect a plain statement may use (SYSDATE); GETDATE() and
// TO_DATE(text, format) are functions of the engine.
std::string apply_dialect(std::string_view statement);

}  // namespace qrnmvl::data::sqlite
