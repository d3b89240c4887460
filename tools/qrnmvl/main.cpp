// qrnmvl: creates the reference database, calls any operation with JSON,
// closes orders, serves them over HTTP, checks a database, and runs the demo.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <qrnmvl/qrnmvl.hpp>
#include <sstream>

#include "close.hpp"
#include "common/json_value.hpp"
#include "common/text.hpp"
#include "data/sqlite/reference.hpp"
#include "demo.hpp"
#include "ping.hpp"
#include "reports.hpp"
#include "serve.hpp"

namespace {

// The exit codes, as --help states them.
constexpr int kInternalError = 1;
constexpr int kUsageError = 2;
constexpr const char* kExitCodes =
    "Exit codes: 0 the command ran (a call, whatever its result: a database that is missing,\n"
    "busy, read-only or corrupt is the operation's failure, result 10); 1 an internal error;\n"
    "2 a usage error (bad arguments, malformed or refused JSON, a --db file that does not exist).";

struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A value of a connection text, quoted when it holds what would end or open one.
std::string connection_value(const std::string& value) {
  if (value.find_first_of(";\"'{") == std::string::npos &&
      qrnmvl::ascii::trim_blanks(value) == value)
    return value;
  std::string quoted = "\"";
  for (const char c : value) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

std::string sqlite_text(const std::string& path) {
  return "Provider=SQLite;Data Source=" + connection_value(path);
}

void apply_locale(const std::string& locale) {
  if (!locale.empty()) qrnmvl::set_regional_settings(qrnmvl::regional_settings_for(locale));
}

// The tool is the host here: --trace allows the trace in the file's folder
// for this process, and asks for it in the connection text.
void enable_trace(const std::string& file, nlohmann::json& call) {
  const std::filesystem::path folder = std::filesystem::absolute(file).parent_path();
  ::setenv("QRNMVL_TRACE_DIR", folder.c_str(), 1);
  const auto connection = call.find("invntConecta_db");
  if (connection != call.end() && connection->is_string())
    *connection = connection->get<std::string>() + ";Trace=" + connection_value(file);
}

std::string read_all(std::istream& in) {
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Every operation with its parameters in call order, wrapped for an
// 100-column terminal: what a caller needs to write a JSON call.
std::string operations_help() {
  std::string help = "Operations and their parameters, in call order:";
  for (const auto& op : qrnmvl::operations()) {
    help += "\n  " + std::string(op.name) + "\n   ";
    std::size_t column = 3;
    for (const auto& name : op.parameters) {
      if (column + 1 + name.size() > 98) {
        help += "\n   ";
        column = 3;
      }
      help += " " + name;
      column += 1 + name.size();
    }
  }
  return help;
}

int run_init(const std::string& path, bool demo, bool force) {
  try {
    qrnmvl::data::sqlite::create_reference_database(path, demo, force);
  } catch (const qrnmvl::Error& e) {
    throw UsageError(e.description());
  }
  std::cout << "Created " << path << (demo ? " with the demo data" : "") << "\n";
  return 0;
}

int run_call(const std::string& operation, const std::string& db, const std::string& connection,
             const std::string& params, const std::string& locale, const std::string& trace) {
  apply_locale(locale);
  if (!qrnmvl::find_operation(operation)) {
    std::string known;
    for (const auto& op : qrnmvl::operations())
      known += std::string(known.empty() ? "" : ", ") + op.name;
    throw UsageError("unknown operation '" + qrnmvl::one_line(operation) + "' (known: " + known +
                     ")");
  }

  std::string text;
  if (params.empty() || params == "-") {
    text = read_all(std::cin);
  } else {
    std::ifstream in(params);
    if (!in) throw UsageError("cannot read " + params);
    text = read_all(in);
  }
  if (qrnmvl::ascii::trim_blanks(text).empty()) text = "{}";

  nlohmann::json call;
  try {
    call = qrnmvl::parse_json_call(text);
  } catch (const std::invalid_argument& e) {
    throw UsageError(e.what());
  }
  if (!call.is_object()) throw UsageError("the JSON call must be an object");

  // Only a --db file that is not there is told here: everything else about the
  // database (busy, read-only, corrupt) is the operation's own failure, with
  // its message and its log row, as any host would see it.
  if (!db.empty() && !std::filesystem::is_regular_file(db))
    throw UsageError("cannot open the database: no such file " + db);
  const std::string connection_text = !db.empty() ? sqlite_text(db) : connection;
  if (!connection_text.empty() && !call.contains("invntConecta_db"))
    call["invntConecta_db"] = connection_text;
  if (!trace.empty()) enable_trace(trace, call);

  qrnmvl::QrnMvl component;
  std::string answer;
  try {
    answer = qrnmvl::invoke_json(component, operation, call.dump());
  } catch (const std::invalid_argument& e) {
    throw UsageError(e.what());
  }
  std::cout << nlohmann::ordered_json::parse(answer).dump(2) << "\n";
  return 0;
}

// The database a command reads: a --db file that must exist, or a connection text.
std::string database_text(const std::string& db, const std::string& connection) {
  if (!db.empty() && !std::filesystem::is_regular_file(db))
    throw UsageError("cannot open the database: no such file " + db);
  if (db.empty() && connection.empty()) throw UsageError("give --db FILE or --connection TEXT");
  return !db.empty() ? sqlite_text(db) : connection;
}

int run_close(qrnmvl::tool::CloseOptions options, const std::string& db,
              const std::string& connection, const std::string& params_file,
              const std::string& locale) {
  apply_locale(locale);
  options.session.connection_text = database_text(db, connection);
  if (!params_file.empty()) {
    std::ifstream in(params_file);
    if (!in) throw UsageError("cannot read " + params_file);
    options.params_json = read_all(in);
  }
  qrnmvl::QrnMvl component;
  try {
    qrnmvl::tool::close_order(component, options, std::cout);
  } catch (const std::invalid_argument& e) {
    throw UsageError(e.what());
  }
  return 0;
}

int run_report(const qrnmvl::tool::Report& report, bool json) {
  if (json)
    std::cout << report.to_json().dump(2) << "\n";
  else
    qrnmvl::tool::print_report(std::cout, report);
  return 0;
}

int run_demo(std::string db, const std::string& locale) {
  apply_locale(locale);
  if (db.empty()) db = (std::filesystem::temp_directory_path() / "qrnmvl-demo.db").string();
  qrnmvl::data::sqlite::create_reference_database(db, true, true);

  std::cout << "qrnmvl demo: the road of a closing on a fresh demo database\n"
            << "Database: " << db << "\n";
  qrnmvl::QrnMvl component;
  qrnmvl::tool::DemoContext demo{component, sqlite_text(db), std::cout};
  qrnmvl::tool::demo_ports(demo);
  qrnmvl::tool::demo_order(demo);
  qrnmvl::tool::demo_incidents(demo);
  qrnmvl::tool::demo_closings(demo);
  std::cout << "\nDone. Look around with: sqlite3 " << db << "\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "qrnmvl: closes container-transport service orders.\n"
      "Creates the reference database, calls any operation with JSON, closes orders from the "
      "shell,\n"
      "serves the operations over HTTP, checks a production database, and runs the demo."};
  app.require_subcommand(1);
  app.footer(kExitCodes);
  app.set_help_all_flag("--help-all", "Show the help of every command");

  std::string init_db;
  bool init_demo = false, init_force = false;
  auto* init = app.add_subcommand("init", "Create the reference database (tables and procedures)");
  init->add_option("db", init_db, "Database file to create")->required();
  init->add_flag("--demo", init_demo, "Also load the demo data");
  init->add_flag("--force", init_force, "Replace an existing file");

  std::string operation, call_db, call_connection, call_params, call_locale, call_trace;
  auto* call = app.add_subcommand(
      "call",
      "Call an operation with a JSON object of parameters (stdin by default) and print the\n"
      "JSON answer {\"result\": 0|10, \"parameters\": {...}}.");
  call->add_option("operation", operation, "Operation name, e.g. gConsulta_Porto_Ponto")
      ->required();
  auto* db_option =
      call->add_option("--db", call_db, "Embedded database file (fills invntConecta_db)");
  call->add_option(
          "--connection", call_connection,
          "Connection text, e.g. \"Provider=SQLite;Data Source=app.db;Command Timeout=10\"\n"
          "or an ODBC connection text (fills invntConecta_db)")
      ->excludes(db_option);
  call->add_option("--trace", call_trace,
                   "Append every command sent to FILE, one JSON object a line (allows the\n"
                   "trace in FILE's folder and adds Trace=FILE to the connection text)");
  call->add_option("--params", call_params, "File with the JSON call, or - for stdin");
  call->add_option("--locale", call_locale, "Regional settings, e.g. pt_BR or en_US");
  call->footer(operations_help() + "\n\n" + kExitCodes);

  qrnmvl::tool::CloseOptions close_options;
  std::string close_db, close_connection, close_params, close_locale;
  auto* close = app.add_subcommand(
      "close",
      "Close a service order from the shell: load it with gConsulta_Ordem_Servico_Tipo, change\n"
      "what the flags and --params say, save it with gGrava_Fechamento and print the JSON answer.");
  close
      ->add_option("record", close_options.record_id,
                   "Service-order type record id (ORDEM_SERVICO_TIPO_ID)")
      ->required();
  auto* close_db_option = close->add_option("--db", close_db, "Embedded database file");
  close->add_option("--connection", close_connection, "Connection text")->excludes(close_db_option);
  close->add_option("--start", close_options.start, "Start of execution, \"dd/mm/yyyy hh:mm\"");
  close->add_option("--end", close_options.end, "End of execution, \"dd/mm/yyyy hh:mm\"");
  close->add_option("--withdrawal", close_options.withdrawal,
                    "Withdrawal from the terminal, \"dd/mm/yyyy hh:mm\"");
  close->add_option("--delivery", close_options.delivery,
                    "Delivery at the terminal, \"dd/mm/yyyy hh:mm\"");
  close->add_option("--plate", close_options.plate, "Tractor plate");
  close->add_option("--document", close_options.document_number, "Transport document number");
  close->add_option("--observation", close_options.observation, "Observation");
  close->add_option("--params", close_params,
                    "File with a JSON object of gGrava_Fechamento parameters, applied after the\n"
                    "flags (arrays replace the loaded rows whole)");
  close->add_option("--set", close_options.sets,
                    "NAME=VALUE for one parameter, VALUE read as JSON when it is JSON (a number,\n"
                    "an array) and as a text otherwise; applied last; repeatable");
  close->add_option("--user", close_options.session.user_id, "User id (default 25)");
  close->add_option("--database-kind", close_options.session.database_kind,
                    "SQLSERVER (default) or ORACLE");
  close->add_option("--locale", close_locale, "Regional settings, e.g. pt_BR or en_US");
  close->footer(
      "Example: qrnmvl close 1004 --db demo.db --start \"17/10/2025 08:00\" --end \"17/10/2025 "
      "17:30\" --document 004530 --set 'inarrvntTara=[\"3870,40\", \"2230,25\"]'\n\n" +
      std::string(kExitCodes));

  std::string report_db, report_connection;
  long events_order = 0;
  bool report_json = false;
  long jobs_after = 0;
  auto* events =
      app.add_subcommand("events", "List the tracking events of a service order, oldest first");
  auto* events_db = events->add_option("--db", report_db, "Embedded database file");
  events->add_option("--connection", report_connection, "Connection text")->excludes(events_db);
  events->add_option("--order", events_order, "Service order id (ORDEM_SERVICO_ID)")->required();
  events->add_flag("--json", report_json, "Print JSON instead of a table");
  auto* jobs = app.add_subcommand("jobs", "List the queued job requests, oldest first");
  auto* jobs_db = jobs->add_option("--db", report_db, "Embedded database file");
  jobs->add_option("--connection", report_connection, "Connection text")->excludes(jobs_db);
  jobs->add_option("--after", jobs_after, "Only the jobs after this job id");
  jobs->add_flag("--json", report_json, "Print JSON instead of a table");

  std::string demo_db, demo_locale;
  auto* demo = app.add_subcommand(
      "demo",
      "Run the demo on a fresh demo database: the road of a closing, closings of every kind");
  demo->add_option("--db", demo_db, "Where to create the demo database (replaced if present)");
  demo->add_option("--locale", demo_locale, "Regional settings, e.g. pt_BR or en_US");

  qrnmvl::tool::ServeOptions serve_options;
  std::string serve_locale;
  auto* serve = app.add_subcommand(
      "serve",
      "Serve the operations over HTTP (POST /v1/operations/<name> with the JSON call; GET\n"
      "/v1/operations, /healthz, /metrics) until SIGTERM or SIGINT. The connection is the\n"
      "server's: a request that names invntConecta_db is refused.");
  auto* serve_db = serve->add_option("--db", serve_options.db, "Embedded database file");
  serve
      ->add_option("--connection-file", serve_options.connection_file,
                   "File holding the connection text, readable by its owner only")
      ->excludes(serve_db);
  serve
      ->add_option("--token-file", serve_options.token_file,
                   "File holding the bearer token every operation request must carry,\n"
                   "readable by its owner only")
      ->required();
  serve->add_option("--listen", serve_options.listen, "HOST:PORT to listen on (port 0: any free)")
      ->capture_default_str();
  serve->add_option("--threads", serve_options.threads,
                    "Workers that run operations, each with its own database connection\n"
                    "(default: the cores)");
  serve
      ->add_option("--connections", serve_options.connections,
                   "Client connections served at once; more wait to be accepted")
      ->capture_default_str()
      ->check(CLI::Range(1, 4096));
  serve->add_option("--max-body", serve_options.max_body, "Largest request body in bytes")
      ->capture_default_str();
  serve->add_option("--access-log", serve_options.access_log,
                    "File for the JSON access log (default: standard error)");
  serve->add_option("--locale", serve_locale, "Regional settings, e.g. pt_BR or en_US");
  qrnmvl::tool::PingOptions ping_options;
  auto* ping = qrnmvl::tool::add_ping_command(app, ping_options);

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::cerr << "qrnmvl: " << e.what() << " (see --help)\n";
    return kUsageError;
  }

  try {
    if (*init) return run_init(init_db, init_demo, init_force);
    if (*ping) return qrnmvl::tool::run_ping(ping_options, std::cout, std::cerr);
    if (*call)
      return run_call(operation, call_db, call_connection, call_params, call_locale, call_trace);
    if (*close)
      return run_close(close_options, close_db, close_connection, close_params, close_locale);
    if (*events)
      return run_report(
          qrnmvl::tool::tracking_events(database_text(report_db, report_connection), events_order),
          report_json);
    if (*jobs)
      return run_report(
          qrnmvl::tool::job_requests(database_text(report_db, report_connection), jobs_after),
          report_json);
    if (*serve) {
      apply_locale(serve_locale);
      try {
        return qrnmvl::tool::serve(serve_options);
      } catch (const std::invalid_argument& e) {
        throw UsageError(e.what());
      }
    }
    return run_demo(demo_db, demo_locale);
  } catch (const UsageError& e) {
    std::cerr << "qrnmvl: " << qrnmvl::one_line(e.what()) << "\n";
    return kUsageError;
  } catch (const qrnmvl::Error& e) {
    std::cerr << "qrnmvl: " << qrnmvl::one_line(e.description()) << "\n";
    return kInternalError;
  } catch (const std::exception& e) {
    std::cerr << "qrnmvl: " << qrnmvl::one_line(e.what()) << "\n";
    return kInternalError;
  } catch (...) {
    std::cerr << "qrnmvl: internal error\n";
    return kInternalError;
  }
}
