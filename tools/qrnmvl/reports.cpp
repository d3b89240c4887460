#include "reports.hpp"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <regex>

#include "common/json_value.hpp"
#include "common/values.hpp"
#include "data/connection.hpp"
#include "data/connection_text.hpp"
#include "demo.hpp"

namespace qrnmvl::tool {
namespace {

struct WallClock {
  int year, month, day, hour, minute, second;
};

std::optional<WallClock> parse_stored(std::string_view text) {
  static const std::regex pattern(
      R"(^\s*(\d{4})[/-](\d{2})[/-](\d{2})(?:[ T](\d{2}):(\d{2})(?::(\d{2})(?:\.\d+)?)?)?\s*$)");
  std::cmatch m;
  if (!std::regex_match(text.begin(), text.end(), m, pattern)) return std::nullopt;
  const auto number = [&](int i) { return m[i].matched ? std::atoi(m[i].str().c_str()) : 0; };
  const WallClock clock{number(1), number(2), number(3), number(4), number(5), number(6)};
  if (clock.month < 1 || clock.month > 12 || clock.day < 1 || clock.day > 31 || clock.hour > 23 ||
      clock.minute > 59 || clock.second > 60)
    return std::nullopt;
  return clock;
}

// The offset east of UTC, in minutes, that the zone the process reads now (TZ)
// has at a wall-clock moment.
int local_offset_minutes(const WallClock& clock) {
  std::tm moment{};
  moment.tm_year = clock.year - 1900;
  moment.tm_mon = clock.month - 1;
  moment.tm_mday = clock.day;
  moment.tm_hour = clock.hour;
  moment.tm_min = clock.minute;
  moment.tm_sec = clock.second;
  moment.tm_isdst = -1;
  const std::time_t when = std::mktime(&moment);
  std::tm local{};
  localtime_r(&when, &local);
  return static_cast<int>(local.tm_gmtoff / 60);
}

std::string offset_text(int minutes) {
  char text[16];
  const int magnitude = std::abs(minutes);
  std::snprintf(text, sizeof text, "%c%02d:%02d", minutes < 0 ? '-' : '+', magnitude / 60,
                magnitude % 60);
  return text;
}

}  // namespace

// A stored value as a person reads it: nothing for Null, an amount in the tables' one form, a
// "yyyy/mm/dd hh:mm[:ss]" date as "dd/mm/yyyy hh:mm".
std::string cell_text(const Variant& stored) {
  if (stored.is_null() || stored.is_empty()) return "";
  if (stored.type() == VarType::Double || stored.type() == VarType::Currency)
    return amount_cell(stored);
  const std::string text = display(stored);
  if (!stored.is_string() || text.size() < 10 || text[4] != '/' || text[7] != '/') return text;
  std::string out = text.substr(8, 2) + "/" + text.substr(5, 2) + "/" + text.substr(0, 4);
  if (text.size() >= 16) out += " " + text.substr(11, 5);
  return out;
}

int run_command(std::ostream& err, const std::function<int()>& body) {
  try {
    return body();
  } catch (const std::invalid_argument& e) {
    err << "qrnmvl: " << one_line(e.what()) << "\n";
    return kExitUsage;
  } catch (const NotFound& e) {
    err << "qrnmvl: " << one_line(e.what()) << "\n";
    return kExitMissing;
  } catch (const Error& e) {
    err << "qrnmvl: the database answered: " << one_line(e.description()) << "\n";
    return kExitFailure;
  } catch (const std::exception& e) {
    err << "qrnmvl: " << one_line(e.what()) << "\n";
    return kExitFailure;
  }
}

std::string database_text(const std::string& db, const std::string& connection, bool read_only) {
  if (!db.empty() && !connection.empty())
    throw std::invalid_argument("give --db FILE or --connection TEXT, not both");
  std::string text = connection;
  if (!db.empty()) {
    if (!std::filesystem::is_regular_file(db))
      throw std::invalid_argument("cannot open the database: no such file " + db);
    text = data::with_connection_key("Provider=SQLite", "Data Source", db);
  }
  if (text.empty()) throw std::invalid_argument("give --db FILE or --connection TEXT");
  return read_only ? data::with_connection_key(text, "Mode", "ReadOnly") : text;
}

void add_database_options(CLI::App* command, std::string& db, std::string& connection) {
  auto* db_option = command->add_option("--db", db, "Embedded database file");
  command
      ->add_option("--connection", connection,
                   "Connection text instead of --db, e.g. \"DSN=closing;UID=qrnmvl;PWD=...\"")
      ->excludes(db_option);
}

void add_time_zone_option(CLI::App* command, std::string& time_zone) {
  command->add_option("--time-zone", time_zone,
                      "Zone of the database's dates in JSON moments: an offset (-03:00, +00:00, Z)\n"
                      "or a zone name (America/Sao_Paulo); default the host's");
}

TimeZone TimeZone::named(const std::string& name) {
  TimeZone zone;
  if (name.empty()) return zone;
  static const std::regex fixed(R"(^([+-])(\d{2}):?(\d{2})$)");
  std::smatch m;
  if (name == "Z" || name == "UTC") {
    zone.how_ = How::Fixed;
  } else if (std::regex_match(name, m, fixed)) {
    const int hours = std::stoi(m[2].str()), minutes = std::stoi(m[3].str());
    if (hours > 23 || minutes > 59)
      throw std::invalid_argument("'" + name + "' is not a UTC offset (-23:59 to +23:59)");
    zone.how_ = How::Fixed;
    zone.fixed_minutes_ = (m[1].str() == "-" ? -1 : 1) * (hours * 60 + minutes);
  } else {
    // The C library takes any name and falls back to UTC silently: only a zone
    // the system's zone database holds is taken.
    const char* folder = std::getenv("TZDIR");
    const std::filesystem::path file =
        std::filesystem::path(folder != nullptr ? folder : "/usr/share/zoneinfo") / name;
    if (name.find("..") != std::string::npos || name.front() == '/' ||
        !std::filesystem::is_regular_file(file))
      throw std::invalid_argument("unknown time zone '" + name +
                                  "': give an offset such as -03:00 or a zone such as "
                                  "America/Sao_Paulo");
    zone.how_ = How::Named;
    zone.name_ = name;
  }
  return zone;
}

std::optional<std::string> TimeZone::iso(std::string_view stored) const {
  const auto clock = parse_stored(stored);
  if (!clock) return std::nullopt;
  int offset = fixed_minutes_;
  if (how_ == How::Host) {
    offset = local_offset_minutes(*clock);
  } else if (how_ == How::Named) {
    static std::mutex switching;
    const std::lock_guard lock(switching);
    const char* before = std::getenv("TZ");
    const std::optional<std::string> saved =
        before != nullptr ? std::optional<std::string>(before) : std::nullopt;
    ::setenv("TZ", name_.c_str(), 1);
    ::tzset();
    offset = local_offset_minutes(*clock);
    if (saved)
      ::setenv("TZ", saved->c_str(), 1);
    else
      ::unsetenv("TZ");
    ::tzset();
  }
  char text[80];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", clock->year, clock->month,
                clock->day, clock->hour, clock->minute, clock->second);
  return std::string(text) + offset_text(offset);
}

nlohmann::ordered_json json_value(const Variant& value, Kind kind, const TimeZone& zone) {
  if (value.is_null() || value.is_empty()) return nullptr;
  switch (kind) {
    case Kind::Integer:
      if (value.is_number()) return static_cast<std::int64_t>(std::llround(to_double(value)));
      if (is_numeric(value)) return static_cast<std::int64_t>(std::llround(val(to_text(value))));
      break;
    case Kind::Number:
      if (value.is_number()) return to_double(value);
      if (is_numeric(value)) return val(to_text(value));
      break;
    case Kind::Moment:
      if (const auto moment = zone.iso(to_text(value))) return *moment;
      break;
    case Kind::Text:
      break;
  }
  return to_text(value);
}

const Variant& Report::at(std::size_t row, std::string_view heading) const {
  for (std::size_t i = 0; i < columns.size(); ++i)
    if (columns[i].heading == heading) return rows.at(row).at(i);
  throw std::out_of_range("no column '" + std::string(heading) + "'");
}

nlohmann::ordered_json Report::to_json(const TimeZone& zone) const {
  auto list = nlohmann::ordered_json::array();
  for (const auto& row : rows) {
    auto item = nlohmann::ordered_json::object();
    for (std::size_t i = 0; i < columns.size() && i < row.size(); ++i)
      item[columns[i].heading] = json_value(row[i], columns[i].kind, zone);
    list.push_back(std::move(item));
  }
  return list;
}

Report query_report(const std::string& connection_text, const std::string& sql,
                    std::vector<Column> columns) {
  Report report{std::move(columns), {}};
  data::RowSet rs = data::open_rowset(sql, Variant(connection_text));
  for (const auto& row : rs.rows()) report.rows.push_back(row);
  return report;
}

Report query_report(const std::string& connection_text, const std::string& sql,
                    const std::vector<std::string>& headings) {
  std::vector<Column> columns;
  for (const auto& heading : headings) columns.push_back({heading});
  return query_report(connection_text, sql, std::move(columns));
}

void require_order(const std::string& connection_text, long order_id) {
  data::RowSet rs =
      data::open_rowset("SELECT ORDEM_SERVICO_ID FROM ORDEM_SERVICO WHERE ORDEM_SERVICO_ID = " +
                            std::to_string(order_id),
                        Variant(connection_text));
  if (rs.eof()) throw NotFound("no service order " + std::to_string(order_id));
}

Report tracking_events(const std::string& connection_text, long order_id) {
  return query_report(
      connection_text,
      "SELECT t.TRACKING_ID, t.DATA_EVENTO, e.DESCRICAO, tm.SIGLA, d.NUM_DOCTO, c.NUM_CONTAINER, "
      "       n.NUM_NOTA, t.AGENDAMENTO_FRAC_ID, t.DATA_INCLUSAO, t.USUARIO_INTERNET_ID, "
      "       t.TAB_EVENTO_TRACKING_ID, t.SOLICIT_EMBARQUE_CONTAINER_ID, t.DOCTO_TRANSPORTE_ID, "
      "       t.NOTA_FISCAL_ID, t.TERMINAL_ID "
      "  FROM TRACKING t "
      "  JOIN TAB_EVENTO_TRACKING e ON e.TAB_EVENTO_TRACKING_ID = t.TAB_EVENTO_TRACKING_ID "
      "  LEFT JOIN TERMINAL tm ON tm.FORNECEDOR_ID = t.TERMINAL_ID "
      "  LEFT JOIN DOCTO_TRANSPORTE d ON d.DOCTO_TRANSPORTE_ID = t.DOCTO_TRANSPORTE_ID "
      "  LEFT JOIN SOLICIT_EMBARQUE_CONTAINER s "
      "         ON s.SOLICIT_EMBARQUE_CONTAINER_ID = t.SOLICIT_EMBARQUE_CONTAINER_ID "
      "  LEFT JOIN CONTAINER c ON c.CONTAINER_ID = s.CONTAINER_ID "
      "  LEFT JOIN NOTA_FISCAL n ON n.NOTA_FISCAL_ID = t.NOTA_FISCAL_ID "
      " WHERE t.ORDEM_SERVICO_ID = " +
          std::to_string(order_id) + " ORDER BY t.DATA_EVENTO, t.TRACKING_ID",
      {{"id", Kind::Integer, Show::Detail},
       {"when", Kind::Moment},
       {"event", Kind::Text},
       {"terminal", Kind::Text},
       {"CTAC", Kind::Text},
       {"container", Kind::Text},
       {"invoice", Kind::Text},
       {"pickup", Kind::Integer},
       {"recorded", Kind::Moment, Show::Detail},
       {"user", Kind::Integer, Show::Detail},
       {"event_code", Kind::Integer, Show::JsonOnly},
       {"request", Kind::Integer, Show::JsonOnly},
       {"document", Kind::Integer, Show::JsonOnly},
       {"invoice_id", Kind::Integer, Show::JsonOnly},
       {"terminal_id", Kind::Integer, Show::JsonOnly}});
}

namespace {

const char* const kJobColumnsSql =
    "SELECT g.Data_Inicio, g.LOG_GERADOR_ID, g.FUNCAO_ID, g.USUARIO_INTERNET_ID, "
    "       g.Tab_Status_JOB_ID, g.TXT_QUERY FROM LOG_GERADOR g ";

std::vector<Column> job_columns() {
  return {{"start", Kind::Moment}, {"job", Kind::Integer},    {"function", Kind::Integer},
          {"user", Kind::Integer}, {"status", Kind::Integer}, {"parameters", Kind::Text}};
}

// The event a tracking job's parameter text names: "__JOB__<job>__<event>__...".
std::optional<long> job_event(const Variant& parameters) {
  static const std::regex pattern(R"(^__JOB__\d+__(\d+)__)");
  std::smatch m;
  const std::string text = parameters.is_string() ? parameters.as_string() : "";
  if (!std::regex_search(text, m, pattern)) return std::nullopt;
  return std::stol(m[1].str());
}

}  // namespace

Report job_requests(const std::string& connection_text, long after_job_id) {
  return query_report(connection_text,
                      std::string(kJobColumnsSql) + " WHERE g.LOG_GERADOR_ID > " +
                          std::to_string(after_job_id) + " ORDER BY g.LOG_GERADOR_ID",
                      job_columns());
}

Report jobs_of_events(const std::string& connection_text, const std::vector<long>& event_ids) {
  Report jobs{job_columns(), {}};
  // The database narrows with LIKE ('_' escaped, as both engines read it); the
  // parameter text, read whole, decides.
  constexpr std::size_t kPerQuery = 50;
  for (std::size_t first = 0; first < event_ids.size(); first += kPerQuery) {
    std::string any;
    for (std::size_t i = first; i < event_ids.size() && i < first + kPerQuery; ++i)
      any += std::string(any.empty() ? "" : " OR ") + "g.TXT_QUERY LIKE '!_!_JOB!_!_%!_!_" +
             std::to_string(event_ids[i]) + "!_!_%' ESCAPE '!'";
    const Report some = query_report(
        connection_text,
        std::string(kJobColumnsSql) + " WHERE g.FUNCAO_ID = 2266 AND (" + any + ")", job_columns());
    for (const auto& row : some.rows) {
      const auto event = job_event(row[5]);
      if (event && std::find(event_ids.begin(), event_ids.end(), *event) != event_ids.end())
        jobs.rows.push_back(row);
    }
  }
  std::sort(jobs.rows.begin(), jobs.rows.end(),
            [](const auto& a, const auto& b) { return to_double(a[1]) < to_double(b[1]); });
  return jobs;
}

void print_report(std::ostream& out, const Report& report, bool detail) {
  if (report.rows.empty()) {
    out << "  (none)\n";
    return;
  }
  // Columns that are empty on every row say nothing.
  std::vector<std::size_t> shown;
  for (std::size_t i = 0; i < report.columns.size(); ++i) {
    const Show show = report.columns[i].show;
    if (show == Show::JsonOnly || (show == Show::Detail && !detail)) continue;
    for (const auto& row : report.rows)
      if (i < row.size() && !cell_text(row[i]).empty()) {
        shown.push_back(i);
        break;
      }
  }
  std::vector<std::string> headings;
  for (std::size_t i : shown) headings.push_back(report.columns[i].heading);
  std::vector<std::vector<std::string>> rows;
  for (const auto& row : report.rows) {
    std::vector<std::string> cells;
    for (std::size_t i : shown) cells.push_back(cell_text(row[i]));
    rows.push_back(std::move(cells));
  }
  print_table(out, headings, rows);
}

}  // namespace qrnmvl::tool
