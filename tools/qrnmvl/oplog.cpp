#include "oplog.hpp"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <regex>

#include "common/values.hpp"
#include "data/connection.hpp"

namespace qrnmvl::tool {
namespace {

constexpr const char* kLogExitCodes =
    "Exit codes: 0 listed (an empty list too); 1 the database cannot be read, or an internal\n"
    "error; 2 a usage error (bad arguments, neither --db nor --connection, a --db file that\n"
    "does not exist, a date that is not one).";
constexpr const char* kPieces[] = {"MSG01", "MSG02", "MSG03", "MSG04", "MSG05"};

std::vector<Column> log_columns() {
  return {{"id", Kind::Integer},
          {"when", Kind::Moment},
          {"level", Kind::Integer},
          {"user", Kind::Integer},
          {"message", Kind::Text}};
}

bool names_number(const std::string& text, const std::string& number) {
  for (std::size_t at = text.find(number); at != std::string::npos;
       at = text.find(number, at + 1)) {
    const auto digit_at = [&](std::size_t i) {
      return std::isdigit(static_cast<unsigned char>(text[i])) != 0;
    };
    if ((at == 0 || !digit_at(at - 1)) &&
        (at + number.size() == text.size() || !digit_at(at + number.size())))
      return true;
  }
  return false;
}

}  // namespace

CLI::App* add_log_command(CLI::App& app, LogOptions& options) {
  auto* log = app.add_subcommand(
      "log",
      "List the message log (LOG_MSG), where every failure of an operation is written with\n"
      "its context: the last rows, oldest first.");
  add_database_options(log, options.db, options.connection);
  log->add_option("--user", options.user, "Only the rows of this user (USUARIO_INTERNET_ID)");
  log->add_option("--level", options.level,
                  "Only the rows of this message type (TAB_TIPO_MSG_ID; the component writes 1)");
  log->add_option("--since", options.since,
                  "Only the rows written from this date on: yyyy-mm-dd, dd/mm/yyyy, either with\n"
                  "an hour (\"yyyy-mm-dd hh:mm\")");
  log->add_option("--limit", options.limit, "How many of the last rows (default 50; 0 for all)")
      ->check(CLI::NonNegativeNumber);
  log->add_flag("--json", options.json, "Print JSON instead of a table");
  add_time_zone_option(log, options.time_zone);
  log->footer(kLogExitCodes);
  return log;
}

std::string stored_moment(const std::string& typed) {
  static const std::regex year_first(
      R"(^\s*(\d{4})[-/](\d{2})[-/](\d{2})(?:[ T](\d{2}):(\d{2})(?::(\d{2}))?)?\s*$)");
  static const std::regex day_first(
      R"(^\s*(\d{2})/(\d{2})/(\d{4})(?: (\d{2}):(\d{2})(?::(\d{2}))?)?\s*$)");
  std::smatch m;
  int year = 0, month = 0, day = 0;
  if (std::regex_match(typed, m, year_first)) {
    year = std::stoi(m[1]), month = std::stoi(m[2]), day = std::stoi(m[3]);
  } else if (std::regex_match(typed, m, day_first)) {
    day = std::stoi(m[1]), month = std::stoi(m[2]), year = std::stoi(m[3]);
  } else {
    throw std::invalid_argument(
        "'" + typed + "' is not a date (yyyy-mm-dd or dd/mm/yyyy, with or without hh:mm)");
  }
  const auto part = [&](int i) { return m[i].matched ? std::stoi(m[i]) : 0; };
  const int hour = part(4), minute = part(5), second = part(6);
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59)
    throw std::invalid_argument("'" + typed + "' is not a date");
  char text[80];
  std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", year, month, day, hour, minute,
                second);
  return text;
}

Report message_log(const std::string& connection_text, const std::string& condition, long limit) {
  std::string sql =
      "SELECT LOG_MSG_ID, DATA_LOG, TAB_TIPO_MSG_ID, USUARIO_INTERNET_ID, MSG01, MSG02, MSG03, "
      "       MSG04, MSG05 FROM LOG_MSG";
  if (!condition.empty()) sql += " WHERE " + condition;
  sql += " ORDER BY LOG_MSG_ID DESC";
  if (limit > 0) sql += " LIMIT " + std::to_string(limit);
  data::RowSet rs = data::open_rowset(sql, Variant(connection_text));
  Report log{log_columns(), {}};
  for (const auto& row : rs.rows()) {
    // The message is cut into pieces of 255 characters when it is written.
    std::string message;
    for (std::size_t piece = 4; piece < row.size(); ++piece)
      if (!row[piece].is_null() && !row[piece].is_empty()) message += to_text(row[piece]);
    log.rows.push_back({row[0], row[1], row[2], row[3], Variant(message)});
  }
  std::reverse(log.rows.begin(), log.rows.end());
  return log;
}

Report message_log_naming(const std::string& connection_text, const std::vector<long>& numbers) {
  if (numbers.empty()) return Report{log_columns(), {}};
  // The database narrows by piece; a number cut between two pieces escapes it.
  std::string condition;
  for (const long number : numbers)
    for (const char* piece : kPieces)
      condition += std::string(condition.empty() ? "" : " OR ") + piece + " LIKE '%" +
                   std::to_string(number) + "%'";
  Report found = message_log(connection_text, condition, 0);
  std::erase_if(found.rows, [&](const std::vector<Variant>& row) {
    const std::string message = to_text(row[4]);
    return std::none_of(numbers.begin(), numbers.end(),
                        [&](long number) { return names_number(message, std::to_string(number)); });
  });
  return found;
}

int run_log(const LogOptions& options, std::ostream& out, std::ostream& err) {
  return run_command(err, [&] {
    const TimeZone zone = TimeZone::named(options.time_zone);
    std::vector<std::string> conditions;
    if (options.user)
      conditions.push_back("USUARIO_INTERNET_ID = " + std::to_string(*options.user));
    if (options.level) conditions.push_back("TAB_TIPO_MSG_ID = " + std::to_string(*options.level));
    if (!options.since.empty())
      conditions.push_back("DATA_LOG >= '" + stored_moment(options.since) + "'");
    std::string condition;
    for (const auto& one : conditions) condition += (condition.empty() ? "" : " AND ") + one;
    const Report log =
        message_log(database_text(options.db, options.connection, true), condition, options.limit);
    if (options.json)
      out << log.to_json(zone).dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
          << "\n";
    else
      print_report(out, log);
    return 0;
  });
}

}  // namespace qrnmvl::tool
