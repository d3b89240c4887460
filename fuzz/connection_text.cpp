// Connection texts and what the engine reads from them, the trace request
// included. Nothing is opened: a text could name any file of the machine.
#include "data/connection_text.hpp"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "data/sqlite/driver.hpp"
#include "data/trace.hpp"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // A folder the trace may use, so the path checks run; no line is written.
  ::setenv("QRNMVL_TRACE_DIR", std::filesystem::temp_directory_path().c_str(), 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto keys = qrnmvl::data::parse_connection_text(text);
  for (const auto& [key, value] : keys)
    for (const char c : key)
      if (std::isupper(static_cast<unsigned char>(c))) __builtin_trap();
  qrnmvl::data::names_embedded_engine(text);
  try {
    const auto options = qrnmvl::data::sqlite::read_options(text);
    if (options.busy_timeout_ms < 0 || options.command_timeout_seconds < 0) __builtin_trap();
    qrnmvl::data::Trace::requested(options.trace);
  } catch (const qrnmvl::Error& error) {
    if (error.number() != qrnmvl::err::database) __builtin_trap();
  }
  return 0;
}
