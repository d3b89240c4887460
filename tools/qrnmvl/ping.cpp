#include "ping.hpp"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "data/connection.hpp"
#include "data/requirements.hpp"

namespace qrnmvl::tool {
namespace {

void print_list(std::ostream& out, const char* what, const std::vector<std::string>& needed,
                const std::vector<std::string>& missing) {
  out << what << ": " << needed.size() - missing.size() << " of " << needed.size() << " present";
  if (missing.empty()) {
    out << "\n";
    return;
  }
  out << "; missing:\n";
  for (const auto& name : missing) out << "  " << name << "\n";
}

std::string count_of(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

CLI::App* add_ping_command(CLI::App& app, PingOptions& options) {
  auto* ping = app.add_subcommand(
      "ping",
      "Open a connection, show the server and the driver, and check that the database holds\n"
      "the stored procedures and tables the component uses.");
  auto* database = ping->add_option_group("database", "The database to check (one of):");
  database->add_option("--db", options.db, "Embedded database file");
  database->add_option("--connection", options.connection,
                       "Connection text instead of --db, e.g. \"DSN=closing;UID=qrnmvl;PWD=...\"");
  database->require_option(1);
  ping->add_option("--kind", options.kind,
                   "Database kind the calls name: SQLSERVER (default) or ORACLE")
      ->check(CLI::IsMember({"SQLSERVER", "ORACLE"}));
  return ping;
}

int run_ping(const PingOptions& options, std::ostream& out, std::ostream& err) {
  if (!options.db.empty() && !std::filesystem::is_regular_file(options.db)) {
    err << "qrnmvl: cannot open the database: no such file " << options.db << "\n";
    return 2;
  }
  const std::string text =
      options.db.empty() ? options.connection : "Provider=SQLite;Data Source=" + options.db;
  try {
    const std::shared_ptr<data::Connection> connection = data::open_connection(text);
    const data::DatabaseCheck check = data::check_database(*connection, options.kind);
    connection->close();

    out << "Server: " << check.server.dbms_name << " " << check.server.dbms_version << "\n"
        << "Driver: " << check.server.driver_name << " " << check.server.driver_version << "\n"
        << "Kind: " << options.kind << "\n";
    print_list(out, "Stored procedures", check.needed_procedures, check.missing_procedures);
    print_list(out, "Tables", check.needed_tables, check.missing_tables);
    if (check.ready()) {
      out << "Ready.\n";
      return 0;
    }
    std::vector<std::string> missing;
    if (!check.missing_procedures.empty())
      missing.push_back(
          count_of(check.missing_procedures.size(), "stored procedure", "stored procedures"));
    if (!check.missing_tables.empty())
      missing.push_back(count_of(check.missing_tables.size(), "table", "tables"));
    out << "Not ready: missing " << missing.front()
        << (missing.size() > 1 ? " and " + missing.back() : "") << ".\n";
    return 1;
  } catch (const Error& e) {
    err << "qrnmvl: cannot check the database: " << e.description() << "\n";
    return 1;
  }
}

}  // namespace qrnmvl::tool
