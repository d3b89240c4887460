// The reference database on a server reached through a connection (the tested
// server, MariaDB): its tables, functions and procedures from db/mariadb/, and
// the demo data of db/demo.sql.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "data/connection.hpp"

namespace qrnmvl::data {

// The statements of a script, in order: a statement ends with a ';' that ends
// a line outside quotes; the ';' is dropped, and pieces that hold nothing but
// blanks and "--" comments are skipped. Never fails.
std::vector<std::string> script_statements(std::string_view script);

// The names the script creates with CREATE TABLE (or CREATE FUNCTION), in order.
std::vector<std::string> created_names(std::string_view script, std::string_view kind);

// Installs the reference database on the connection's database: tables and
// functions, every procedure, and the demo data when asked. A database that
// already holds one of the tables is refused (Error -2147217900 naming it)
// unless force, which drops the reference objects first. Reports each stage to
// progress. Errors of the connection reach the caller; what was installed
// before a failure stays.
void install_reference_database(Connection& connection, bool with_demo, bool force,
                                const std::function<void(const std::string&)>& progress = {});

}  // namespace qrnmvl::data
