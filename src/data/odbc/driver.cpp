#include "data/odbc/driver.hpp"

#include "data/connection_text.hpp"
#include "data/odbc/connection.hpp"

namespace qrnmvl::data::odbc {

std::shared_ptr<Connection> open(const std::string& connection_text) {
  const auto keys = parse_connection_text(connection_text);
  const auto trace = keys.find("trace");
  return std::make_shared<OdbcConnection>(
      connection_text, without_connection_key(connection_text, "trace"),
      Trace(trace == keys.end() ? std::string() : trace->second));
}

void register_driver_manager() {
  register_driver("odbc", [](const std::string& text) { return open(text); });
}

}  // namespace qrnmvl::data::odbc
