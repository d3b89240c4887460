// `qrnmvl log`: the message log (LOG_MSG), where every failure of an operation
// is written with its context, read back with filters.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "reports.hpp"

namespace qrnmvl::tool {

struct LogOptions {
  std::string db, connection;
  std::optional<long> user;   // USUARIO_INTERNET_ID
  std::optional<long> level;  // TAB_TIPO_MSG_ID (the component writes 1)
  std::string since;          // a date, with or without its hour
  long limit = 50;            // the last rows; 0 for all
  bool json = false;
  std::string time_zone;
};

CLI::App* add_log_command(CLI::App& app, LogOptions& options);

// Exit codes: 0 listed (an empty list too); 1 the database cannot be read; 2 a usage error.
int run_log(const LogOptions& options, std::ostream& out, std::ostream& err);

// The stored form ("yyyy/mm/dd hh:mm:ss") of a date an operator types:
// "yyyy-mm-dd", "yyyy/mm/dd" or "dd/mm/yyyy", optionally followed by " hh:mm[:ss]"
// (or "Thh:mm[:ss]"). std::invalid_argument otherwise.
std::string stored_moment(const std::string& typed);

// The message-log rows that pass a condition (SQL, or empty for all), the last
// `limit` of them (0: all), oldest first. Columns: id, when, level, user, message
// (the five pieces of the row joined).
Report message_log(const std::string& connection_text, const std::string& condition, long limit);

// The rows of the message log that name one of the numbers as a whole number
// (not within a longer one), e.g. an order's or a record's id in the command a
// failing stage was running.
Report message_log_naming(const std::string& connection_text, const std::vector<long>& numbers);

}  // namespace qrnmvl::tool
