// What a closing leaves in the database, read back: the tracking events of an
// order as a timeline and the queued job requests, for a person (aligned
// tables) and for scripts (JSON with typed values and ISO 8601 moments).
// Used by `qrnmvl events`, `jobs`, `order`, `log` and the demo. Everything is
// read through data::open_rowset with SQL that the embedded engine and the
// server databases reached through ODBC both accept.
#pragma once

#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <qrnmvl/variant.hpp>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace CLI {
class App;
}

namespace qrnmvl::tool {

// The exit codes of the operator's commands: 2 is a usage error everywhere;
// 3 says that what was asked for does not exist (an unknown order) or was
// refused (an operation answered 10 under --fail-on-refusal).
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitMissing = 3;

// What was asked for is not in the database (exit code 3).
struct NotFound : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Runs a command's body and turns what it raises into a one-line message on err
// and an exit code: std::invalid_argument 2, NotFound 3, anything else 1.
int run_command(std::ostream& err, const std::function<int()>& body);

// The connection text a command reads: a --db file (which must exist) or a
// connection text. std::invalid_argument when neither is given or the file is missing.
// With read_only, Mode=ReadOnly: a view opens the database for reading only.
std::string database_text(const std::string& db, const std::string& connection,
                          bool read_only = false);

// The options of a command that reads a database: --db FILE or --connection TEXT,
// not both; and --time-zone, the zone of its JSON moments (see TimeZone below).
void add_database_options(CLI::App* command, std::string& db, std::string& connection);
void add_time_zone_option(CLI::App* command, std::string& time_zone);

// The dates of this schema are texts without a zone ("yyyy/mm/dd hh:mm:ss"),
// written in the local time of the host that wrote them. A zone gives each its
// offset, so scripts read moments in ISO 8601 ("2025-10-17T17:30:00-03:00").
class TimeZone {
 public:
  // The host's zone (TZ, or the system's).
  static TimeZone host() { return TimeZone(); }
  // "+hh:mm", "-hh:mm", "Z", "UTC" or a name of the zone database
  // ("America/Sao_Paulo"); an empty text is the host's. std::invalid_argument otherwise.
  // A named zone is applied by switching the process's TZ while a moment is
  // converted: fine for the tool, not for a process whose other threads read
  // the local time (a service passes a fixed offset or the host's zone).
  static TimeZone named(const std::string& name);

  // A stored date ("yyyy/mm/dd[ hh:mm[:ss]]", '/' or '-') in ISO 8601 with the
  // zone's offset at that moment; std::nullopt for a text that is no such date.
  std::optional<std::string> iso(std::string_view stored) const;

 private:
  enum class How { Host, Fixed, Named };
  How how_ = How::Host;
  int fixed_minutes_ = 0;
  std::string name_;
};

// How a column goes into JSON.
enum class Kind { Text, Integer, Number, Moment };
// Where a column is shown: always, in the table only with --detail, or in JSON only.
enum class Show { Always, Detail, JsonOnly };

struct Column {
  std::string heading;  // the table's heading and the JSON key
  Kind kind = Kind::Text;
  Show show = Show::Always;
};

// A small report: its columns and its rows as the database answered them.
struct Report {
  std::vector<Column> columns;
  std::vector<std::vector<Variant>> rows;

  // The value of a column of a row, by heading; std::out_of_range for a heading it does not have.
  const Variant& at(std::size_t row, std::string_view heading) const;
  // The rows as JSON objects keyed by heading, every column included: Null as
  // null, ids as integers, amounts as numbers, dates as ISO 8601 moments.
  nlohmann::ordered_json to_json(const TimeZone& zone = TimeZone::host()) const;
};

// One value as its column's kind puts it in JSON.
nlohmann::ordered_json json_value(const Variant& value, Kind kind, const TimeZone& zone);

// A stored value as a table shows it: nothing for Null, an amount in the
// tables' one form, a "yyyy/mm/dd hh:mm[:ss]" date as "dd/mm/yyyy hh:mm".
std::string cell_text(const Variant& stored);

// Any query's rows as a report: one column per selected column, in order.
Report query_report(const std::string& connection_text, const std::string& sql,
                    std::vector<Column> columns);
// The same with text columns, as the demo shows them.
Report query_report(const std::string& connection_text, const std::string& sql,
                    const std::vector<std::string>& headings);

// NotFound unless the service order exists.
void require_order(const std::string& connection_text, long order_id);

// The tracking events of a service order (ORDEM_SERVICO_ID), oldest first.
// Columns: id, when, event, terminal, CTAC, container, invoice, pickup,
// recorded, user, and for JSON the ids behind them: event_code, request
// (the container line), document (the CTAC), invoice_id, terminal_id.
Report tracking_events(const std::string& connection_text, long order_id);
// The job requests, oldest first; only those after a job id when given.
Report job_requests(const std::string& connection_text, long after_job_id = 0);
// The jobs queued for tracking events (function 2266: their parameter text
// names the event as "__JOB__<job>__<event>__..."), oldest first.
Report jobs_of_events(const std::string& connection_text, const std::vector<long>& event_ids);

// Prints a report as an aligned table (or "(none)"): the columns shown always,
// and with detail those shown on request; columns empty on every row are left out.
void print_report(std::ostream& out, const Report& report, bool detail = false);

}  // namespace qrnmvl::tool
