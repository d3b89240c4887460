#include "data/odbc/driver.hpp"

#include "data/connection_text.hpp"
#include "data/odbc/connection.hpp"

namespace qrnmvl::data::odbc {

std::shared_ptr<Connection> open(const std::string& connection_text) {
  const auto keys = parse_connection_text(connection_text);
  const auto trace = keys.find("trace");
  // The keys that are the component's own never reach the driver.
  return std::make_shared<OdbcConnection>(
      connection_text,
      without_connection_key(without_connection_key(connection_text, "trace"), "command timeout"),
      Trace::requested(trace == keys.end() ? std::string() : trace->second),
      command_timeout_seconds(keys));
}

void register_driver_manager() {
  register_driver("odbc", [](const std::string& text) { return open(text); });
}

}  // namespace qrnmvl::data::odbc
