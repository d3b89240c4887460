// One in-process port lookup against the same SELECT run directly through
// SQLite on the same database, and the ratio of the two.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <filesystem>
#include <iostream>
#include <map>
#include <qrnmvl/qrnmvl.hpp>
#include <stdexcept>

#include "data/connection.hpp"
#include "data/sqlite/reference.hpp"

namespace {

using qrnmvl::Variant;

const std::string& database_path() {
  static const std::string path = [] {
    const auto file = std::filesystem::temp_directory_path() / "qrnmvl-bench.db";
    qrnmvl::data::sqlite::create_reference_database(file.string(), true, true);
    return file.string();
  }();
  return path;
}

void BM_gConsulta_Porto_Ponto(benchmark::State& state) {
  qrnmvl::QrnMvl component;
  Variant connection("Provider=SQLite;Data Source=" + database_path());
  Variant user(25), kind("SQLSERVER");
  for (auto _ : state) {
    Variant point, count, ports, message, names;
    const Variant result = component.gConsulta_Porto_Ponto(user, connection, kind, point, count,
                                                           ports, message, names);
    if (!(result == Variant(std::int16_t{0}))) state.SkipWithError("the lookup failed");
    benchmark::DoNotOptimize(names);
  }
}
BENCHMARK(BM_gConsulta_Porto_Ponto);

const char* const kSelect =
    "SELECT f.PONTO_OPERACAO_ID, p.PORTO_ID, p.NOME_PORTO FROM USUARIO_INTERNET u "
    "JOIN FILIAL f ON f.FILIAL_ID = u.FILIAL_ID JOIN FILIAL_PORTO fp ON fp.FILIAL_ID = "
    "f.FILIAL_ID JOIN PORTO p ON p.PORTO_ID = fp.PORTO_ID WHERE u.USUARIO_INTERNET_ID = ? "
    "ORDER BY p.NOME_PORTO";

// Runs the procedure's own SELECT for user 25 and reads its three rows.
void read_ports(benchmark::State& state, sqlite3_stmt* stmt) {
  sqlite3_bind_int(stmt, 1, 25);
  std::vector<std::pair<int, std::string>> rows;
  int point = 0;
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    point = sqlite3_column_int(stmt, 0);
    rows.emplace_back(sqlite3_column_int(stmt, 1),
                      reinterpret_cast<const char*>(sqlite3_column_text(stmt, 2)));
  }
  if (rows.size() != 3) state.SkipWithError("unexpected rows");
  benchmark::DoNotOptimize(point);
  benchmark::DoNotOptimize(rows);
}

sqlite3* open_direct() {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(database_path().c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
    throw std::runtime_error("cannot open the benchmark database");
  return db;
}

// The SELECT prepared and read each time, on a connection kept open.
void BM_direct_select(benchmark::State& state) {
  sqlite3* db = open_direct();
  for (auto _ : state) {
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db, kSelect, -1, &stmt, nullptr);
    read_ports(state, stmt);
    sqlite3_finalize(stmt);
  }
  sqlite3_close(db);
}
BENCHMARK(BM_direct_select);

// The best a hand-written client can do: the SELECT prepared once and reused.
void BM_direct_select_prepared_once(benchmark::State& state) {
  sqlite3* db = open_direct();
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db, kSelect, -1, &stmt, nullptr);
  for (auto _ : state) {
    read_ports(state, stmt);
    sqlite3_reset(stmt);
  }
  sqlite3_finalize(stmt);
  sqlite3_close(db);
}
BENCHMARK(BM_direct_select_prepared_once);

// Keeps each benchmark's time per iteration so the ratio can be printed.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (run.run_type == Run::RT_Iteration && !run.error_occurred)
        times[run.benchmark_name()] = run.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const auto component = reporter.times.find("BM_gConsulta_Porto_Ponto");
  for (const char* direct_name : {"BM_direct_select", "BM_direct_select_prepared_once"}) {
    const auto direct = reporter.times.find(direct_name);
    if (component != reporter.times.end() && direct != reporter.times.end() && direct->second > 0)
      std::cout << "Port lookup, component call / " << direct_name << ": "
                << component->second / direct->second << "\n";
  }
  qrnmvl::data::close_cached_connections();
  benchmark::Shutdown();
  return 0;
}
