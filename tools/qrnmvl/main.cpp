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
#include <utility>

#include "close.hpp"
#include "common/json_value.hpp"
#include "common/text.hpp"
#include "data/connection.hpp"
#include "data/connection_text.hpp"
#include "data/server_reference.hpp"
#include "data/sqlite/reference.hpp"
#include "demo.hpp"
#include "events.hpp"
#include "oplog.hpp"
#include "order.hpp"
#include "ping.hpp"
#include "reports.hpp"
#include "serve.hpp"

namespace {

// The exit codes, as each command's --help states them: 2 is a usage error
// everywhere; what 0 and 1 mean depends on what the command does.
constexpr int kInternalError = 1;
constexpr int kUsageError = 2;
constexpr const char* kToolExitCodes =
    "Exit codes: 0 success; 2 a usage error (no command, an unknown command or option).\n"
    "Each command's --help gives the codes of that command.";
constexpr const char* kInitExitCodes =
    "Exit codes: 0 the database was created; 1 an internal error; 2 a usage error, or the\n"
    "database cannot be created (the file exists and --force is not given, its folder is\n"
    "missing, the server refuses).";
constexpr const char* kCallExitCodes =
    "Exit codes: 0 the call ran, whatever its result (a database that is missing, busy,\n"
    "read-only or corrupt is the operation's failure, result 10); 1 an internal error; 2 a\n"
    "usage error (bad arguments, an unknown operation or parameter, malformed or refused\n"
    "JSON, a --db file that does not exist); 3 with --fail-on-refusal, the result was 10.";
constexpr const char* kCloseExitCodes =
    "Exit codes: 0 the closing ran, whatever its result (a record that does not load prints\n"
    "the load's answer, result 10; a database that is missing, busy or corrupt is the\n"
    "operation's failure); 1 an internal error; 2 a usage error (bad arguments, a parameter\n"
    "the closing does not have, a moment without its hour, a --db file that does not exist);\n"
    "3 with --fail-on-refusal, the result was 10.";
// An operation that answered 10, when the caller asked to be told by the exit code.
constexpr int kRefused = 3;
constexpr const char* kPingExitCodes =
    "Exit codes: 0 the database holds everything the kind needs; 1 something is missing or\n"
    "the database cannot be reached; 2 a usage error (bad arguments, a --db file that does\n"
    "not exist).";
constexpr const char* kServeExitCodes =
    "Exit codes: 0 stopped by SIGTERM or SIGINT after answering every request it had read; 1\n"
    "an internal error, or stopped with requests or operations cut (the grace ran out, or a\n"
    "second signal came); 2 it cannot start (bad arguments, a token or connection file that\n"
    "is missing, empty or readable by others, a --db file that does not exist, an address\n"
    "it cannot listen on, one already in use included).";
constexpr const char* kDemoExitCodes =
    "Exit codes: 0 the demo ran; 1 the database cannot be created or reached, or an internal\n"
    "error; 2 a usage error.";

constexpr const char* kKindHelp = "Database kind the calls name: SQLSERVER (default) or ORACLE";

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
  // Set on the parsed text, braced: no quoting in the text can swallow it.
  if (connection != call.end() && connection->is_string())
    *connection = qrnmvl::data::with_connection_key(connection->get<std::string>(), "Trace",
                                                    std::filesystem::absolute(file).string());
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

int run_init(const std::string& path, const std::string& connection, bool demo, bool force) {
  const char* with_demo = demo ? " with the demo data" : "";
  try {
    if (!connection.empty()) {
      const auto server = qrnmvl::data::open_connection(connection);
      qrnmvl::data::install_reference_database(
          *server, demo, force, [](const std::string& stage) { std::cerr << stage << "\n"; });
      server->close();
      std::cout << "Installed the reference database" << with_demo << " on "
                << qrnmvl::data::masked_connection_text(connection) << "\n";
      return 0;
    }
    qrnmvl::data::sqlite::create_reference_database(path, demo, force);
  } catch (const qrnmvl::Error& e) {
    throw UsageError(e.description());
  }
  std::cout << "Created " << path << with_demo << "\n";
  return 0;
}

int run_call(const std::string& operation, const std::string& db, const std::string& connection,
             const std::string& params, const std::string& locale, const std::string& trace,
             bool fail_on_refusal) {
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
  // The tool's options name the database, or the call does: never both, so an
  // option is never silently overridden.
  if (!connection_text.empty() && call.contains("invntConecta_db"))
    throw UsageError(std::string(!db.empty() ? "--db" : "--connection") +
                     " and the call's invntConecta_db both name the database: give one");
  if (!connection_text.empty()) call["invntConecta_db"] = connection_text;
  // A text the component would refuse is the tool's usage error, with the reason.
  if (const auto given = call.find("invntConecta_db"); given != call.end() && given->is_string()) {
    try {
      qrnmvl::data::check_connection_text(given->get<std::string>());
    } catch (const qrnmvl::Error& e) {
      throw UsageError(e.description());
    }
  }
  if (!trace.empty()) enable_trace(trace, call);

  qrnmvl::QrnMvl component;
  std::string answer;
  try {
    answer = qrnmvl::invoke_json(component, operation, call.dump());
  } catch (const std::invalid_argument& e) {
    throw UsageError(e.what());
  }
  auto printed = nlohmann::ordered_json::parse(answer);
  // The answer gives every parameter back; a password in the connection is not shown.
  auto& given = printed["parameters"]["invntConecta_db"];
  if (given.is_string())
    given = qrnmvl::data::masked_connection_text(given.get<std::string>());
  std::cout << printed.dump(2) << "\n";
  return fail_on_refusal && printed["result"] == 10 ? kRefused : 0;
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
  int result = 0;
  try {
    result = qrnmvl::tool::close_order(component, options, std::cout);
  } catch (const std::invalid_argument& e) {
    throw UsageError(e.what());
  }
  return options.fail_on_refusal && result == 10 ? kRefused : 0;
}

int run_demo(std::string db, const std::string& connection, const std::string& kind,
             const std::string& locale) {
  apply_locale(locale);
  std::string text;
  if (!connection.empty()) {
    const auto server = qrnmvl::data::open_connection(connection);
    qrnmvl::data::install_reference_database(*server, true, true);
    server->close();
    text = connection;
    db = qrnmvl::data::masked_connection_text(connection);
  } else {
    if (db.empty()) db = (std::filesystem::temp_directory_path() / "qrnmvl-demo.db").string();
    qrnmvl::data::sqlite::create_reference_database(db, true, true);
    text = sqlite_text(db);
  }

  std::cout << "qrnmvl demo: the road of a closing on a fresh demo database\n"
            << "Database: " << db << "\n";
  qrnmvl::QrnMvl component;
  qrnmvl::tool::DemoContext demo{component, text, std::cout, kind};
  qrnmvl::tool::run_demo(demo);
  if (connection.empty())
    std::cout << "\nDone. Look around with: sqlite3 " << db << "\n";
  else
    std::cout << "\nDone.\n";
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
  app.footer(kToolExitCodes);
  app.set_version_flag("--version", std::string("qrnmvl ") + qrnmvl::version(),
                       "Print the version and exit");
  app.set_help_all_flag("--help-all", "Show the help of every command");

  std::string init_db;
  bool init_demo = false, init_force = false;
  std::string init_connection;
  auto* init = app.add_subcommand(
      "init",
      "Create the reference database (tables and procedures): an embedded database file,\n"
      "or on a server database through ODBC with --connection.");
  auto* init_target = init->add_option_group("database", "The database to create (one of):");
  init_target->add_option("db", init_db, "Embedded database file to create");
  init_target->add_option("--connection", init_connection,
                          "Connection text of a server database (the tested server: MariaDB)");
  init_target->require_option(1);
  init->add_flag("--demo", init_demo, "Also load the demo data");
  init->add_flag("--force", init_force,
                 "Replace an existing file, or the reference tables a server database holds");

  std::string operation, call_db, call_connection, call_params, call_locale, call_trace;
  bool call_fail_on_refusal = false;
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
          "Connection text instead of --db, e.g. \"DSN=closing;UID=qrnmvl;PWD=...\" or\n"
          "\"Provider=SQLite;Data Source=app.db;Command Timeout=10\" (fills invntConecta_db)")
      ->excludes(db_option);
  call->add_option("--trace", call_trace,
                   "Append every command sent to FILE, one JSON object a line (allows the\n"
                   "trace in FILE's folder and adds Trace=FILE to the connection text)");
  call->add_option("--params", call_params, "File with the JSON call, or - for stdin");
  call->add_option("--locale", call_locale, "Regional settings, e.g. pt_BR or en_US");
  call->add_flag("--fail-on-refusal", call_fail_on_refusal,
                 "Exit with code 3 when the operation answers 10");
  call->footer(operations_help() + "\n\n" + kCallExitCodes);

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
  qrnmvl::tool::add_database_options(close, close_db, close_connection);
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
  close->add_option("--kind", close_options.session.database_kind, kKindHelp)
      ->check(CLI::IsMember({"SQLSERVER", "ORACLE"}));
  close->add_option("--locale", close_locale, "Regional settings, e.g. pt_BR or en_US");
  close->add_flag("--validate-only", close_options.validate_only,
                  "Only run the closing's validation and answer as the closing would: nothing\n"
                  "is saved (a failure of the validation itself writes its message-log row)");
  close->add_flag("--fail-on-refusal", close_options.fail_on_refusal,
                  "Exit with code 3 when the answer's result is 10");
  close->footer(
      "Example: qrnmvl close 1004 --db demo.db --start \"17/10/2025 08:00\" --end \"17/10/2025 "
      "17:30\" --document 004530 --set 'inarrvntTara=[\"3870,40\", \"2230,25\"]'\n\n" +
      std::string(kCloseExitCodes));

  qrnmvl::tool::EventsOptions events_options;
  auto* events = qrnmvl::tool::add_events_command(app, events_options);
  qrnmvl::tool::JobsOptions jobs_options;
  auto* jobs = qrnmvl::tool::add_jobs_command(app, jobs_options);
  qrnmvl::tool::OrderOptions order_options;
  auto* order = qrnmvl::tool::add_order_command(app, order_options);
  qrnmvl::tool::LogOptions log_options;
  auto* log = qrnmvl::tool::add_log_command(app, log_options);

  std::string demo_db, demo_connection, demo_locale, demo_kind = "SQLSERVER";
  auto* demo = app.add_subcommand(
      "demo",
      "Run the demo on a fresh demo database: the road of a closing, closings of every kind");
  auto* demo_db_option =
      demo->add_option("--db", demo_db, "Where to create the demo database (replaced if present)");
  demo->add_option("--connection", demo_connection,
                   "A server database to run it on instead: its reference tables are replaced")
      ->excludes(demo_db_option);
  demo->add_option("--kind", demo_kind, "Database kind the calls name (default SQLSERVER)")
      ->check(CLI::IsMember({"SQLSERVER", "ORACLE"}));
  demo->add_option("--locale", demo_locale, "Regional settings, e.g. pt_BR or en_US");

  qrnmvl::tool::ServeOptions serve_options;
  std::string serve_locale;
  auto* serve = app.add_subcommand(
      "serve",
      "Serve the operations over HTTP (POST /v1/operations/<name> with the JSON call; GET\n"
      "/v1/operations, /v1/openapi.json, /healthz, /metrics) until SIGTERM or SIGINT. The\n"
      "connection is the server's: a request that names invntConecta_db is refused. Every\n"
      "limit below is refused as soon as it is passed (see docs/service.md).");
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
  serve->add_option("--access-log", serve_options.access_log,
                    "File for the JSON access log (default: standard error)");
  serve
      ->add_option("--connections", serve_options.connections,
                   "Client connections open at once; more are refused as they come")
      ->capture_default_str()
      ->check(CLI::Range(1, 65536));
  serve
      ->add_option("--connections-per-address", serve_options.connections_per_address,
                   "Client connections open at once from one address")
      ->capture_default_str()
      ->check(CLI::Range(1, 65536));
  serve
      ->add_option("--max-body", serve_options.max_body,
                   "Largest request body in bytes, counted as it arrives (413)")
      ->capture_default_str()
      ->check(CLI::Range(std::size_t{1}, std::size_t{1} << 30));
  serve
      ->add_option("--max-header-bytes", serve_options.max_header_bytes,
                   "Largest request line and header fields together, in bytes (431)")
      ->capture_default_str()
      ->check(CLI::Range(std::size_t{256}, std::size_t{1} << 20));
  serve
      ->add_option("--max-headers", serve_options.max_headers,
                   "Most header fields in a request (431)")
      ->capture_default_str()
      ->check(CLI::Range(1, 10000));
  serve
      ->add_option("--max-array", serve_options.max_array,
                   "Most elements of any array in a call, and most rows of a closing or\n"
                   "an incident list (400)")
      ->capture_default_str()
      ->check(CLI::Range(std::size_t{1}, std::size_t{1} << 24));
  serve
      ->add_option("--receive-timeout", serve_options.receive_timeout,
                   "Seconds to receive a whole request from its first line (408)")
      ->capture_default_str()
      ->check(CLI::Range(0.1, 3600.0));
  serve
      ->add_option("--idle-timeout", serve_options.idle_timeout,
                   "Seconds a connection may stay silent before it is closed")
      ->capture_default_str()
      ->check(CLI::Range(1, 3600));
  serve
      ->add_option("--request-timeout", serve_options.request_timeout,
                   "Seconds an operation may take before its request is answered 503")
      ->capture_default_str()
      ->check(CLI::Range(0.1, 86400.0));
  serve
      ->add_option("--grace", serve_options.grace,
                   "Seconds the requests in flight get to finish at SIGTERM or SIGINT")
      ->capture_default_str()
      ->check(CLI::Range(0.0, 3600.0));
  serve->add_option("--locale", serve_locale, "Regional settings, e.g. pt_BR or en_US");
  qrnmvl::tool::PingOptions ping_options;
  auto* ping = qrnmvl::tool::add_ping_command(app, ping_options);

  // A command without a footer of its own would show the tool's.
  const std::pair<CLI::App*, const char*> exit_codes[] = {{init, kInitExitCodes},
                                                          {demo, kDemoExitCodes},
                                                          {serve, kServeExitCodes},
                                                          {ping, kPingExitCodes}};
  for (const auto& [command, codes] : exit_codes) command->footer(codes);

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    // A first word that names no command says so, rather than that a command is missing.
    const std::string first = argc > 1 ? argv[1] : "";
    const auto named = app.get_subcommands([&](CLI::App* command) {
      return command->get_name() == first;
    });
    if (!first.empty() && first[0] != '-' && named.empty())
      std::cerr << "qrnmvl: unknown command '" << qrnmvl::one_line(first) << "' (see --help)\n";
    else
      std::cerr << "qrnmvl: " << e.what() << " (see --help)\n";
    return kUsageError;
  }

  try {
    if (*init) return run_init(init_db, init_connection, init_demo, init_force);
    if (*ping) return qrnmvl::tool::run_ping(ping_options, std::cout, std::cerr);
    if (*call)
      return run_call(operation, call_db, call_connection, call_params, call_locale, call_trace,
                      call_fail_on_refusal);
    if (*close)
      return run_close(close_options, close_db, close_connection, close_params, close_locale);
    if (*events) return qrnmvl::tool::run_events(events_options, std::cin, std::cout, std::cerr);
    if (*jobs) return qrnmvl::tool::run_jobs(jobs_options, std::cout, std::cerr);
    if (*order) return qrnmvl::tool::run_order(order_options, std::cout, std::cerr);
    if (*log) return qrnmvl::tool::run_log(log_options, std::cout, std::cerr);
    if (*serve) {
      apply_locale(serve_locale);
      try {
        return qrnmvl::tool::serve(serve_options);
      } catch (const std::invalid_argument& e) {
        throw UsageError(e.what());
      }
    }
    return run_demo(demo_db, demo_connection, demo_kind, demo_locale);
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
