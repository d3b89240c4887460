// The cost of the component around a closing: one closing of a type-2 order
// with three container lines, in process, against the raw replay of the exact
// commands that closing sent (read from its trace), run straight through the
// SQLite API on an identical database with the same transaction boundaries:
// a procedure that writes or has several statements in one transaction, each
// statement prepared once. What is left between the two is the component's own
// work: building the commands, reading the answers, the values, the frames.
#include <sqlite3.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <qrnmvl/qrnmvl.hpp>
#include <string>
#include <vector>

#include "closing_form.hpp"
#include "common/text.hpp"
#include "common/values.hpp"
#include "data/connection.hpp"
#include "data/exec_parser.hpp"
#include "data/sqlite/internal.hpp"
#include "data/sqlite/reference.hpp"

namespace {

namespace fs = std::filesystem;
using qrnmvl::Variant;
using Clock = std::chrono::steady_clock;

// The closing of the demo record 1001 (order 501, type 2, three container lines) as the front
// end sends it: the form filled from the order, with what the carrier reports.
std::vector<Variant> closing_values(qrnmvl::QrnMvl& component, const std::string& connection_text) {
  qrnmvl::tool::Session session;
  session.connection_text = connection_text;
  const auto loaded = qrnmvl::tool::load_order(component, session, Variant(1001));
  auto form = qrnmvl::tool::closing_form(session, loaded);
  for (const auto& [name, value] : {std::pair{"invntData_Ini_Execucao", "15/10/2025"},
                                    {"invntHora_Ini_Execucao", "08:00"},
                                    {"invntData_Fim_Execucao", "15/10/2025"},
                                    {"invntHora_Fim_Execucao", "17:30"},
                                    {"invntData_Retirada", "15/10/2025"},
                                    {"invntHora_Retirada", "07:40"},
                                    {"invntData_Entrega", "15/10/2025"},
                                    {"invntHora_Entrega", "18:00"},
                                    {"invntnum_documento", "004512"}})
    form[name] = Variant(value);
  form["inarrvntNum_Lacre_Cia_Maritima"] =
      Variant(Variant::Array{Variant("ML4471203"), Variant("ML4471204"), Variant("ML4471205")});
  return form.values();
}

bool close_once(qrnmvl::QrnMvl& component, const std::vector<Variant>& request) {
  std::vector<Variant> values = request;
  return qrnmvl::equals(qrnmvl::invoke(component, "gGrava_Fechamento", values), 0.0);
}

// --- The raw replay ------------------------------------------------------------

struct Statement {
  sqlite3_stmt* handle;
  std::vector<int> argument_of_marker;  // per marker (1-based index - 1): the argument, or -1
};

struct Call {
  std::vector<Statement> statements;
  std::vector<Variant> arguments;
  bool transaction = false;
  bool writes = false;
};

void check(sqlite3* db, int rc) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
    std::cerr << "closing: " << sqlite3_errmsg(db) << "\n";
    std::exit(1);
  }
}

std::vector<std::string> params_of(const std::string& list) {
  std::vector<std::string> names;
  std::string name;
  for (const char c : list + ",") {
    if (c == ',') {
      if (!name.empty()) names.push_back(name);
      name.clear();
    } else if (c != ' ' && c != ':' && c != '@' && c != '$' && c != '\n' && c != '\t') {
      name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
  }
  return names;
}

// A value of a prepared call as the trace writes it, of the parameter's type.
Variant traced_value(const nlohmann::json& parameter) {
  const auto& value = parameter["value"];
  if (value.is_null()) return Variant::null();
  const std::string type = parameter["type"];
  const std::string text = value.is_string() ? value.get<std::string>() : value.dump();
  if (type == "integer" || type == "smallint")
    return Variant(static_cast<std::int32_t>(std::stol(text)));
  if (type == "double" || type == "currency") return Variant(std::stod(text));
  return Variant(text);
}

class Replay {
 public:
  Replay(const std::string& path, const char* synchronous, const std::string& trace_path) {
    check(db_, sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr));
    sqlite3_busy_timeout(db_, 5000);
    qrnmvl::data::sqlite::run_sql(db_, "PRAGMA journal_mode = WAL");
    qrnmvl::data::sqlite::run_sql(db_, "PRAGMA foreign_keys = ON");
    qrnmvl::data::sqlite::run_sql(db_,
                                  (std::string("PRAGMA synchronous = ") + synchronous).c_str());
    qrnmvl::data::sqlite::register_dialect_functions(db_);
    std::ifstream trace(trace_path);
    for (std::string line; std::getline(trace, line);) add(nlohmann::json::parse(line));
  }
  ~Replay() {
    for (auto& call : calls_)
      for (auto& statement : call.statements) sqlite3_finalize(statement.handle);
    sqlite3_close_v2(db_);
  }
  Replay(const Replay&) = delete;
  Replay& operator=(const Replay&) = delete;

  std::size_t commands() const { return calls_.size(); }

  void run() {
    for (auto& call : calls_) {
      if (call.transaction)
        check(db_, sqlite3_exec(db_, call.writes ? "BEGIN IMMEDIATE" : "BEGIN", nullptr, nullptr,
                                nullptr));
      for (auto& statement : call.statements) {
        for (std::size_t m = 0; m < statement.argument_of_marker.size(); ++m) {
          const int k = statement.argument_of_marker[m];
          if (k >= 0 && static_cast<std::size_t>(k) < call.arguments.size())
            bind(statement.handle, static_cast<int>(m + 1), call.arguments[k]);
        }
        int rc;
        while ((rc = sqlite3_step(statement.handle)) == SQLITE_ROW)
          for (int c = 0; c < sqlite3_column_count(statement.handle); ++c)
            (void)sqlite3_column_value(statement.handle, c);
        check(db_, rc);
        sqlite3_reset(statement.handle);
        sqlite3_clear_bindings(statement.handle);
      }
      if (call.transaction) check(db_, sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr));
    }
  }

 private:
  void add(const nlohmann::json& line) {
    std::string procedure;
    Call call;
    if (line.contains("command")) {
      const auto exec = qrnmvl::data::parse_exec(line["command"].get<std::string>());
      if (!exec) {
        std::cerr << "closing: the closing sent a plain statement; the replay expects calls\n";
        std::exit(1);
      }
      procedure = exec->procedure;
      call.arguments = exec->arguments;
    } else {
      procedure = line["procedure"];
      for (const auto& parameter : line["parameters"])
        call.arguments.push_back(traced_value(parameter));
    }
    sqlite3_stmt* lookup = nullptr;
    check(db_, sqlite3_prepare_v2(db_, "SELECT params, body FROM qrn_procedure WHERE name = ?1", -1,
                                  &lookup, nullptr));
    sqlite3_bind_text(lookup, 1, procedure.c_str(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(lookup) != SQLITE_ROW) {
      std::cerr << "closing: no procedure " << procedure << "\n";
      std::exit(1);
    }
    const auto params = params_of(reinterpret_cast<const char*>(sqlite3_column_text(lookup, 0)));
    const std::string body = reinterpret_cast<const char*>(sqlite3_column_text(lookup, 1));
    sqlite3_finalize(lookup);

    const char* rest = body.c_str();
    while (*rest != '\0') {
      sqlite3_stmt* handle = nullptr;
      const char* tail = nullptr;
      check(db_, sqlite3_prepare_v3(db_, rest, -1, SQLITE_PREPARE_PERSISTENT, &handle, &tail));
      rest = tail;
      if (handle == nullptr) continue;
      Statement statement{handle, {}};
      for (int m = 1; m <= sqlite3_bind_parameter_count(handle); ++m) {
        const char* marker = sqlite3_bind_parameter_name(handle, m);
        std::string name = marker == nullptr ? "" : marker + 1;
        for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        const auto found = std::find(params.begin(), params.end(), name);
        statement.argument_of_marker.push_back(
            found == params.end() ? -1 : static_cast<int>(found - params.begin()));
      }
      if (sqlite3_stmt_readonly(handle) == 0) call.writes = true;
      call.statements.push_back(statement);
    }
    call.transaction = call.writes || call.statements.size() > 1;
    calls_.push_back(std::move(call));
  }

  static void bind(sqlite3_stmt* statement, int index, const Variant& value) {
    if (value.is_null() || value.is_empty()) {
      sqlite3_bind_null(statement, index);
    } else if (value.type() == qrnmvl::VarType::Double) {
      sqlite3_bind_double(statement, index, value.as_double());
    } else if (value.is_number()) {
      sqlite3_bind_int64(statement, index, qrnmvl::to_long(value));
    } else {
      const std::string& text = value.as_string();
      sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()),
                        SQLITE_TRANSIENT);
    }
  }

  sqlite3* db_ = nullptr;
  std::vector<Call> calls_;
};

// --- Measuring -------------------------------------------------------------------

template <class Work>
double seconds_per_closing(int closings, Work work) {
  const auto start = Clock::now();
  for (int i = 0; i < closings; ++i) work();
  return std::chrono::duration<double>(Clock::now() - start).count() / closings;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void measure(const fs::path& folder, const char* synchronous, int closings, int rounds) {
  const std::string component_db = (folder / "component.db").string();
  const std::string replay_db = (folder / "replay.db").string();
  const std::string trace = (folder / "closing.jsonl").string();
  qrnmvl::data::sqlite::create_reference_database(component_db, true, true);
  qrnmvl::data::sqlite::create_reference_database(replay_db, true, true);
  fs::remove(trace);

  const std::string text =
      "Provider=SQLite;Data Source=" + component_db + ";Synchronous=" + synchronous;
  qrnmvl::QrnMvl component;
  const std::vector<Variant> request = closing_values(component, text);
  // The first closing settles the rows; the second, traced, is what every later one sends.
  std::vector<Variant> traced = request;
  traced[0] = Variant(text + ";Trace=" + trace);
  if (!close_once(component, request) || !close_once(component, traced)) {
    std::cerr << "closing: the demo closing was refused\n";
    std::exit(1);
  }
  // Only the connection the timed closings use stays open.
  qrnmvl::data::close_cached_connections();
  Replay replay(replay_db, synchronous, trace);
  replay.run();  // the same first state as the component's database

  std::vector<double> component_times, replay_times;
  for (int round = 0; round < rounds; ++round) {
    std::cerr << "\r  Synchronous=" << synchronous << ": round " << round + 1 << " of " << rounds
              << std::flush;
    component_times.push_back(seconds_per_closing(closings, [&] {
      if (!close_once(component, request)) {
        std::cerr << "\nclosing: a closing was refused\n";
        std::exit(1);
      }
    }));
    replay_times.push_back(seconds_per_closing(closings, [&] { replay.run(); }));
  }
  std::cerr << "\r" << std::string(60, ' ') << "\r";
  qrnmvl::data::close_cached_connections();

  const double c = median(component_times), r = median(replay_times);
  std::printf("%-8s  %8zu  %12.3f  %12.3f  %6.2f  %10.0f  %10.0f\n", synchronous, replay.commands(),
              c * 1e3, r * 1e3, c / r, 1 / c, 1 / r);
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "closing: one closing of a type-2 order with three container lines, through the component\n"
      "and as the raw replay of the commands it sent; the median of several rounds."};
  int closings = 200, rounds = 5;
  std::string synchronous = "both", folder;
  app.add_option("--closings", closings, "Closings per round")
      ->capture_default_str()
      ->check(CLI::PositiveNumber);
  app.add_option("--rounds", rounds, "Rounds; the median is reported")
      ->capture_default_str()
      ->check(CLI::PositiveNumber);
  app.add_option("--synchronous", synchronous, "Full, Normal, Off or both (Full and Normal)")
      ->capture_default_str()
      ->check(CLI::IsMember({"Full", "Normal", "Off", "both"}, CLI::ignore_case));
  app.add_option("--dir", folder, "Folder for the databases (default: a temporary one)");
  CLI11_PARSE(app, argc, argv);

  const fs::path where =
      folder.empty() ? fs::temp_directory_path() / "qrnmvl-closing-bench" : fs::path(folder);
  fs::create_directories(where);
  // The bench is the host: the trace that captures the commands goes in its own folder.
  ::setenv("QRNMVL_TRACE_DIR", where.c_str(), 1);

  std::printf("%-8s  %8s  %12s  %12s  %6s  %10s  %10s\n", "sync", "commands", "component ms",
              "replay ms", "ratio", "closings/s", "replays/s");
  const bool both = qrnmvl::ascii::same_name(synchronous, "both");
  if (both || qrnmvl::ascii::same_name(synchronous, "full"))
    measure(where, "FULL", closings, rounds);
  if (both || qrnmvl::ascii::same_name(synchronous, "normal"))
    measure(where, "NORMAL", closings, rounds);
  if (qrnmvl::ascii::same_name(synchronous, "off")) measure(where, "OFF", closings, rounds);
  return 0;
}
