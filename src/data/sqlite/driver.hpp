// The embedded engine: makes a SQLite file behave like the application
// database, stored procedures included (docs/data-access.md).
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "data/connection.hpp"
#include "data/connection_text.hpp"

namespace qrnmvl::data::sqlite {

inline constexpr int kDefaultBusyTimeoutMs = 5000;

// What a connection text sets of the engine:
// "Provider=SQLite;Data Source=<file>[;Trace=<file>][;Busy Timeout=<ms>]
// [;Command Timeout=<seconds>][;Synchronous=<mode>]".
// Error -2147217900 when the text names no Data Source or a value is malformed.
struct Options {
  std::string data_source;
  std::string trace;  // as written; honoured only where the host allows (trace.hpp)
  int busy_timeout_ms = kDefaultBusyTimeoutMs;
  int command_timeout_seconds = kDefaultCommandTimeoutSeconds;
  const char* synchronous_pragma = "PRAGMA synchronous = FULL";
  bool read_only = false;  // Mode=ReadOnly: opened for reading, nothing in the file changed
};
Options read_options(const std::string& connection_text);

// Opens a connection text of the engine. The file must exist (it is created by
// create_reference_database). Error -2147217900 when it cannot be opened or
// the text is malformed.
std::shared_ptr<Connection> open(const std::string& connection_text);

// Registers the engine as the "sqlite" driver (done once, on first use of the registry).
void register_engine();

// Rewrites the dialect a plain statement may use (SYSDATE); GETDATE() and
// TO_DATE(text, format) are functions of the engine. A quoted text holding a
// NUL character is rewritten around char(0), so the whole value is stored; a
// NUL anywhere else is Error -2147217900.
std::string apply_dialect(std::string_view statement);

}  // namespace qrnmvl::data::sqlite
