#include "data/odbc/driver.hpp"

#include "common/text.hpp"
#include "data/connection_text.hpp"
#include "data/odbc/connection.hpp"

namespace qrnmvl::data::odbc {

std::shared_ptr<Connection> open(const std::string& connection_text) {
  const auto keys = parse_connection_text(connection_text);
  const auto trace = keys.find("trace");
  // The keys that are the component's own never reach the driver.
  std::string driver_text = connection_text;
  for (const char* own : {"trace", "command timeout", "mode"})
    driver_text = without_connection_key(driver_text, own);
  auto connection = std::make_shared<OdbcConnection>(
      connection_text, driver_text,
      Trace::requested(trace == keys.end() ? std::string() : trace->second),
      command_timeout_seconds(keys));
  const auto mode = keys.find("mode");
  if (mode != keys.end() && ascii::same_name(mode->second, "readonly")) connection->read_only();
  return connection;
}

void register_driver_manager() {
  register_driver("odbc", [](const std::string& text) { return open(text); });
}

}  // namespace qrnmvl::data::odbc
