// qrnmvl ping: opens a connection and checks that the database holds what the
// component calls, for an operator setting up a production database.
#pragma once

#include <CLI/CLI.hpp>
#include <ostream>
#include <string>

namespace qrnmvl::tool {

struct PingOptions {
  std::string db;          // an embedded database file
  std::string connection;  // or any connection text
  std::string kind = "SQLSERVER";
};

// Adds the command and its options (one of --db and --connection; --kind).
CLI::App* add_ping_command(CLI::App& app, PingOptions& options);

// Prints the server, the driver and what is missing. Exit code: 0 when the
// database holds everything the kind needs; 1 when something is missing or
// the database cannot be reached; 2 when --db names no file.
int run_ping(const PingOptions& options, std::ostream& out, std::ostream& err);

}  // namespace qrnmvl::tool
