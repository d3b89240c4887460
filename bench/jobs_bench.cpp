// Job requests per second on the plain-SQL path, on one database file: one
// thread alone, and several threads whose id allocations contend for the write
// lock of infra_ids.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "data/connection.hpp"
#include "data/sqlite/reference.hpp"
#include "jobs/jobs.hpp"

namespace {

using qrnmvl::Variant;

const std::string& jobs_database() {
  static const std::string path = [] {
    const auto file = std::filesystem::temp_directory_path() / "qrnmvl-jobs-bench.db";
    qrnmvl::data::sqlite::create_reference_database(file.string(), false, true);
    return file.string();
  }();
  return path;
}

// The request a tracking event makes: function 2266, six parameters, no e-mail.
void BM_gInclui_JOB_oracle(benchmark::State& state) {
  const std::string connection_text = "Provider=SQLite;Data Source=" + jobs_database();
  for (auto _ : state) {
    Variant kind("ORACLE"), connection(connection_text), user(25), message, function(2266),
        title(""), send_email("N"), job_id, count(6), text(""), address(""),
        start("16/09/2010 17:05"), sender(""), attachment("");
    Variant parameters(Variant::Array{10, 3, "", 0, 7, 10});
    if (!qrnmvl::jobs::gInclui_JOB(kind, connection, user, message, function, title, send_email,
                                   job_id, parameters, count, text, address, start, sender,
                                   attachment))
      state.SkipWithError("the job request failed");
    benchmark::DoNotOptimize(job_id);
  }
  state.SetItemsProcessed(state.iterations());
  qrnmvl::data::close_cached_connections();
}
BENCHMARK(BM_gInclui_JOB_oracle)->Threads(1)->Threads(2)->Threads(8)->UseRealTime();

}  // namespace
