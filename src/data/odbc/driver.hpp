// Production databases through the ODBC driver manager (docs/production.md).
#pragma once

#include <memory>
#include <string>

#include "data/connection.hpp"

namespace qrnmvl::data::odbc {

// Connects with a connection text as the driver manager takes it ("DSN=...;UID=...;PWD=..." or
// "Driver={...};Server=...;..."). The component's own key Trace=<file> is taken out of the
// text and honoured as the embedded engine honours it; everything else reaches the driver
// manager as written. Error -2147217900 with the driver manager's or driver's diagnostics when
// the connection cannot be made.
std::shared_ptr<Connection> open(const std::string& connection_text);

// Registers the driver manager as the "odbc" driver (done once, on first use of the registry).
void register_driver_manager();

}  // namespace qrnmvl::data::odbc
