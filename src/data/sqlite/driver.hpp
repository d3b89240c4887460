// The embedded engine: makes a SQLite file behave like the application
// database, stored procedures included (docs/data-access.md).
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "data/connection.hpp"

namespace qrnmvl::data::sqlite {

// Opens "Provider=SQLite;Data Source=<file>[;Trace=<file>][;Busy
// Timeout=<ms>][;Synchronous=<mode>]". The file must exist (it is created by
// create_reference_database). Error -2147217900 when it cannot be opened or
// the text is malformed.
std::shared_ptr<Connection> open(const std::string& connection_text);

// Registers the engine as the "sqlite" driver (done once, on first use of the registry).
void register_engine();

// Rewrites the dialect a plain statement may use (SYSDATE); GETDATE() and
// TO_DATE(text, format) are functions of the engine.
std::string apply_dialect(std::string_view statement);

}  // namespace qrnmvl::data::sqlite
