// The load program: many threads or processes running a realistic mix of the
// component's operations on one embedded database file, with a progress line;
// then throughput, latency per operation, the busy answers that reached a
// user, the memory and descriptors in use, and a check that nothing was lost
// or doubled.
#include <pthread.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "closing_form.hpp"
#include "common/values.hpp"
#include "data/connection.hpp"
#include "data/sqlite/reference.hpp"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace qrnmvl;

enum Kind : std::uint8_t { kPorts, kLoad, kIncidents, kClosing, kKinds };
const char* const kKindNames[kKinds] = {"port lookup", "order load", "incident recording",
                                        "closing"};

// The demo records a closing can be sent for, again and again, and the
// shipping-line seals the records of types 1 and 2 need on each line.
struct Closable {
  int record;
  int seals;  // 0: the line keeps the seals it has
};
constexpr Closable kClosable[] = {{1001, 3}, {1003, 1}, {1004, 0}, {1005, 0}, {1006, 0}};

struct Sample {
  std::uint8_t kind;
  std::uint8_t result;
  std::uint8_t record_index;  // the closing's record, in kClosable
  std::uint32_t micros;
};

struct Settings {
  std::string db;
  int threads = 8;
  int processes = 0;
  long operations = 200;
  double duration = 0;
  std::string synchronous = "Full";
  int busy_timeout = -1;
  double sample_every = 10;
};

// Ctrl-C or a kill must not leave a run's files behind. The stop signals are
// blocked in every thread and every worker process; one thread of ours waits
// for them, kills the worker processes, removes what the run made and ends the
// process by the same signal, so the shell still sees it interrupted.
class Leftovers {
 public:
  // Call first thing in main, before any thread or process is started.
  void watch() {
    sigemptyset(&signals_);
    for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&signals_, signal_number);
    pthread_sigmask(SIG_BLOCK, &signals_, nullptr);
    watcher_ = std::thread([this] { wait_for_signal(); });
  }
  void add(const fs::path& path) {
    const std::lock_guard lock(mutex_);
    paths_.push_back(path);
  }
  void add_worker(pid_t pid) {
    const std::lock_guard lock(mutex_);
    workers_.push_back(pid);
  }
  // The run ended on its own: what it made is the caller's again.
  void finish() {
    {
      const std::lock_guard lock(mutex_);
      finished_ = true;
    }
    pthread_kill(watcher_.native_handle(), SIGTERM);
    watcher_.join();
  }

 private:
  void wait_for_signal() {
    int signal_number = 0;
    sigwait(&signals_, &signal_number);
    const std::lock_guard lock(mutex_);
    if (finished_) return;
    // Only a worker not yet reaped is still ours: its pid cannot have been reused.
    for (const pid_t pid : workers_) {
      if (waitpid(pid, nullptr, WNOHANG) != 0) continue;
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    std::error_code ignored;
    for (const fs::path& path : paths_) fs::remove_all(path, ignored);
    std::fprintf(stderr, "\nload: interrupted by %s; its temporary files are removed\n",
                 strsignal(signal_number));
    signal(signal_number, SIG_DFL);
    pthread_sigmask(SIG_UNBLOCK, &signals_, nullptr);
    raise(signal_number);
  }

  sigset_t signals_{};
  std::thread watcher_;
  std::mutex mutex_;
  std::vector<fs::path> paths_;
  std::vector<pid_t> workers_;
  bool finished_ = false;
};
Leftovers leftovers;

// Counters every worker of every process sees: mapped shared before the fork.
struct Shared {
  std::atomic<long> done{0};
  std::atomic<bool> stop{false};
};

std::string connection_text(const Settings& settings) {
  std::string text = "Provider=SQLite;Data Source=" + settings.db +
                     ";Synchronous=" + settings.synchronous;
  if (settings.busy_timeout >= 0) text += ";Busy Timeout=" + std::to_string(settings.busy_timeout);
  return text;
}

// One operation of the mix, as a front end calls it.
std::uint8_t run_one(QrnMvl& component, const tool::Session& session, Kind kind,
                     std::size_t closable) {
  const auto ok = [](const Variant& result) -> std::uint8_t { return equals(result, 0.0) ? 0 : 10; };
  switch (kind) {
    case kPorts: {
      tool::Call call("gConsulta_Porto_Ponto");
      call["invntUsuario_internet_id"] = session.user_id;
      call["invntConecta_db"] = Variant(session.connection_text);
      call["invntBase_dados"] = session.database_kind;
      return ok(call.run(component));
    }
    case kLoad:
      return ok(tool::load_order(component, session, Variant(kClosable[closable].record)).result());
    case kIncidents: {
      tool::Call call("gGrava_Incidente");
      call["invntConecta_db"] = Variant(session.connection_text);
      call["invntBase_dados"] = session.database_kind;
      call["invntUsuario_internet_id"] = session.user_id;
      call["invntOrdem_Servico_Tipo_Ident"] = Variant(1001);
      call["InarrvntTab_Tipo_Incidente_id"] = Variant(Variant::Array{Variant(3), Variant(5)});
      call["inarrvntFlag_Selecionado"] = Variant(Variant::Array{Variant("S"), Variant("S")});
      call["invntFlag_Grava_Observacao"] = Variant("S");
      call["invntTam_Arr"] = Variant(2);
      call["invntObservacao"] = Variant("Conferido no terminal");
      call["INarrJustificativa"] =
          Variant(Variant::Array{Variant("Lacre trocado no gate"), Variant("")});
      call["inTAB_TIPO_ORDEM_SERVICO_iD"] = Variant(2);
      call["INarrflag_tipo_cadastro"] = Variant(Variant::Array{Variant("M"), Variant("M")});
      return ok(call.run(component));
    }
    default: {
      const tool::Call loaded =
          tool::load_order(component, session, Variant(kClosable[closable].record));
      if (!equals(loaded.result(), 0.0)) return 10;
      tool::Call form = tool::closing_form(session, loaded);
      for (const char* field :
           {"invntData_Ini_Execucao", "invntData_Fim_Execucao", "invntData_Retirada",
            "invntData_Entrega"})
        form[field] = Variant("17/10/2025");
      form["invntHora_Ini_Execucao"] = Variant("13:00");
      form["invntHora_Fim_Execucao"] = Variant("15:00");
      form["invntHora_Retirada"] = Variant("12:00");
      form["invntHora_Entrega"] = Variant("16:00");
      form["invntnum_documento"] = Variant("123456");
      if (kClosable[closable].seals > 0) {
        Variant::Array seals;
        for (int i = 0; i < kClosable[closable].seals; ++i)
          seals.emplace_back("L" + std::to_string(i + 1));
        form["inarrvntNum_Lacre_Cia_Maritima"] = Variant(seals);
      }
      return ok(form.run(component));
    }
  }
}

void worker(const Settings& settings, Shared& shared, unsigned seed, std::vector<Sample>& out) {
  QrnMvl component;
  tool::Session session;
  session.connection_text = connection_text(settings);
  std::mt19937 random(seed);
  // The mix a carrier's day gives: lookups and loads dominate, one in four
  // calls saves a closing.
  std::discrete_distribution<int> pick({30, 30, 15, 25});
  std::uniform_int_distribution<std::size_t> record(0, std::size(kClosable) - 1);
  const auto until = Clock::now() + std::chrono::duration<double>(settings.duration);
  for (long i = 0; settings.duration > 0 ? Clock::now() < until : i < settings.operations; ++i) {
    if (shared.stop) break;
    const auto kind = static_cast<Kind>(pick(random));
    const std::size_t closable = record(random);
    const auto start = Clock::now();
    const std::uint8_t result = run_one(component, session, kind, closable);
    const auto micros =
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
    out.push_back({kind, result, static_cast<std::uint8_t>(closable),
                   static_cast<std::uint32_t>(micros)});
    ++shared.done;
  }
  data::close_cached_connections();
}

std::vector<Sample> run_threads(const Settings& settings, Shared& shared, unsigned seed) {
  std::vector<std::vector<Sample>> per_thread(static_cast<std::size_t>(settings.threads));
  std::vector<std::thread> threads;
  for (int t = 0; t < settings.threads; ++t)
    threads.emplace_back(worker, std::cref(settings), std::ref(shared), seed + t,
                         std::ref(per_thread[static_cast<std::size_t>(t)]));
  for (auto& thread : threads) thread.join();
  std::vector<Sample> all;
  for (const auto& samples : per_thread) all.insert(all.end(), samples.begin(), samples.end());
  return all;
}

// Resident memory (kB) and open descriptors of a process.
std::pair<long, long> resources(pid_t pid) {
  const std::string proc = "/proc/" + std::to_string(pid);
  long pages = 0, resident = 0;
  std::ifstream(proc + "/statm") >> pages >> resident;
  long fds = 0;
  std::error_code ignored;
  for (auto it = fs::directory_iterator(proc + "/fd", ignored); it != fs::directory_iterator();
       it.increment(ignored))
    ++fds;
  return {resident * (sysconf(_SC_PAGESIZE) / 1024), fds};
}

long scalar(sqlite3* db, const std::string& sql) {
  sqlite3_stmt* statement = nullptr;
  long value = -1;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
      sqlite3_step(statement) == SQLITE_ROW)
    value = sqlite3_column_int64(statement, 0);
  sqlite3_finalize(statement);
  return value;
}

struct Counts {
  long tracking, jobs, job_ids, records, lines, containers, container_numbers, incidents, busy,
      logged;
};
Counts counts(const std::string& path) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_busy_timeout(db, 10000);
  Counts c{scalar(db, "SELECT count(*) FROM TRACKING"),
           scalar(db, "SELECT count(*) FROM LOG_GERADOR"),
           scalar(db, "SELECT count(DISTINCT LOG_GERADOR_ID) FROM LOG_GERADOR"),
           scalar(db, "SELECT count(*) FROM ORDEM_SERVICO_TIPO"),
           scalar(db, "SELECT count(*) FROM SOLICIT_EMBARQUE_CONTAINER"),
           scalar(db, "SELECT count(*) FROM CONTAINER"),
           scalar(db, "SELECT count(DISTINCT upper(NUM_CONTAINER)) FROM CONTAINER"),
           scalar(db, "SELECT count(*) FROM INCIDENTE_OS"),
           scalar(db, "SELECT count(*) FROM LOG_MSG WHERE MSG01 || ifnull(MSG02, '') || "
                      "ifnull(MSG03, '') LIKE '%locked%' OR MSG01 || ifnull(MSG02, '') LIKE "
                      "'%busy%'"),
           scalar(db, "SELECT count(*) FROM LOG_MSG")};
  sqlite3_close(db);
  return c;
}

// Tracking events and jobs one more closing of each record adds, measured
// before the load on a second closing (a first one may add what later ones
// replace); the incidents are recorded once, so the load only sets them again.
std::vector<std::pair<long, long>> calibrate(const Settings& settings) {
  std::vector<std::pair<long, long>> added;
  QrnMvl component;
  tool::Session session;
  session.connection_text = connection_text(settings);
  if (run_one(component, session, kIncidents, 0) != 0)
    throw std::runtime_error("the incidents of record 1001 cannot be recorded on this database");
  for (std::size_t i = 0; i < std::size(kClosable); ++i) {
    Counts before{}, after{};
    for (int time = 0; time < 2; ++time) {
      before = counts(settings.db);
      if (run_one(component, session, kClosing, i) != 0)
        throw std::runtime_error("record " + std::to_string(kClosable[i].record) +
                                 " does not close on this database");
      after = counts(settings.db);
    }
    added.emplace_back(after.tracking - before.tracking, after.jobs - before.jobs);
  }
  data::close_cached_connections();
  return added;
}

double percentile(std::vector<std::uint32_t>& values, double p) {
  if (values.empty()) return 0;
  const auto at = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1));
  std::nth_element(values.begin(), values.begin() + static_cast<long>(at), values.end());
  return values[at] / 1000.0;
}

int run(const Settings& settings) {
  if (!fs::exists(settings.db)) {
    data::sqlite::create_reference_database(settings.db, true, false);
    std::cerr << "Created " << settings.db << " with the demo data\n";
  }
  const auto added = calibrate(settings);
  const Counts before = counts(settings.db);

  auto* shared = new (mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE,
                           MAP_SHARED | MAP_ANONYMOUS, -1, 0)) Shared;
  const long total =
      settings.duration > 0 ? 0 : settings.operations * settings.threads *
                                      std::max(1, settings.processes);
  const auto started = Clock::now();

  std::vector<pid_t> children;
  std::vector<Sample> samples;
  std::atomic<bool> threads_done{false};
  std::thread runner;
  const fs::path spool = fs::path(settings.db).string() + ".load";
  if (settings.processes > 0) {
    fs::create_directories(spool);
    leftovers.add(spool);
    const pid_t parent = getpid();
    for (int p = 0; p < settings.processes; ++p) {
      const pid_t pid = fork();
      if (pid == 0) {
        // A worker forked while the parent was being killed would run on alone.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) std::_Exit(1);
        const auto mine = run_threads(settings, *shared, 1000u * static_cast<unsigned>(p) + 7);
        std::ofstream out(spool / std::to_string(p), std::ios::binary);
        out.write(reinterpret_cast<const char*>(mine.data()),
                  static_cast<std::streamsize>(mine.size() * sizeof(Sample)));
        out.close();
        std::_Exit(out ? 0 : 1);
      }
      children.push_back(pid);
      leftovers.add_worker(pid);
    }
  } else {
    runner = std::thread([&] {
      samples = run_threads(settings, *shared, 7);
      threads_done = true;
    });
  }

  // Progress, and the resources in use, until every worker is done.
  std::vector<std::pair<long, long>> usage;  // resident kB, descriptors
  auto next_sample = Clock::now();
  const auto running = [&] {
    if (settings.processes == 0) return !threads_done.load();
    for (const pid_t pid : children)
      if (waitpid(pid, nullptr, WNOHANG) == 0) return true;
    return false;
  };
  bool finished = false;
  while (!finished) {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const double elapsed = std::chrono::duration<double>(Clock::now() - started).count();
    if (Clock::now() >= next_sample) {
      long kb = 0, fds = 0;
      if (settings.processes == 0) {
        std::tie(kb, fds) = resources(getpid());
      } else {
        for (const pid_t pid : children) {
          const auto [k, f] = resources(pid);
          kb += k;
          fds += f;
        }
      }
      usage.emplace_back(kb, fds);
      next_sample += std::chrono::duration_cast<Clock::duration>(
          std::chrono::duration<double>(settings.sample_every));
    }
    std::fprintf(stderr, "\r%ld operations", shared->done.load());
    if (total > 0) std::fprintf(stderr, " of %ld", total);
    std::fprintf(stderr, ", %.0f s, %.0f/s   ", elapsed, shared->done / std::max(elapsed, 1e-9));
    finished = !running();
  }
  std::fprintf(stderr, "\n");
  if (runner.joinable()) runner.join();
  for (const pid_t pid : children) waitpid(pid, nullptr, 0);
  const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
  if (settings.processes > 0) {
    for (int p = 0; p < settings.processes; ++p) {
      std::ifstream in(spool / std::to_string(p), std::ios::binary);
      Sample sample{};
      while (in.read(reinterpret_cast<char*>(&sample), sizeof sample)) samples.push_back(sample);
    }
    fs::remove_all(spool);
  }

  // The figures.
  std::printf("%s: %d %s x %s, Synchronous=%s\n", settings.db.c_str(),
              settings.processes > 0 ? settings.processes : settings.threads,
              settings.processes > 0 ? "processes" : "threads",
              settings.duration > 0 ? (std::to_string(std::lround(settings.duration)) + " s").c_str()
                                    : (std::to_string(settings.operations) + " operations").c_str(),
              settings.synchronous.c_str());
  if (settings.processes > 0 && settings.threads > 1)
    std::printf("  (%d threads in each process)\n", settings.threads);
  std::printf("%zu operations in %.1f s: %.0f operations/s\n\n", samples.size(), seconds,
              static_cast<double>(samples.size()) / seconds);
  std::printf("%-20s %8s %8s %10s %10s %10s\n", "operation", "count", "failed", "p50 ms",
              "p99 ms", "max ms");
  // Closings answered 0, and closings that failed: a failed one keeps the
  // stages it committed, so it may have added some of its events and jobs.
  std::vector<long> closed(std::size(kClosable), 0), cut(std::size(kClosable), 0);
  long failed_total = 0;
  for (int kind = 0; kind < kKinds; ++kind) {
    std::vector<std::uint32_t> micros;
    long failed = 0;
    for (const Sample& s : samples) {
      if (s.kind != kind) continue;
      micros.push_back(s.micros);
      if (s.result != 0) ++failed;
      if (s.kind == kClosing) ++(s.result == 0 ? closed : cut)[s.record_index];
    }
    failed_total += failed;
    const double max = micros.empty() ? 0 : *std::max_element(micros.begin(), micros.end()) / 1e3;
    const double p50 = percentile(micros, 0.50), p99 = percentile(micros, 0.99);
    std::printf("%-20s %8zu %8ld %10.2f %10.2f %10.2f\n", kKindNames[kind], micros.size(), failed,
                p50, p99, max);
  }

  const Counts after = counts(settings.db);
  long tracking_expected = before.tracking, jobs_expected = before.jobs;
  long tracking_cut = 0, jobs_cut = 0;
  for (std::size_t i = 0; i < std::size(kClosable); ++i) {
    tracking_expected += closed[i] * added[i].first;
    jobs_expected += closed[i] * added[i].second;
    tracking_cut += cut[i] * added[i].first;
    jobs_cut += cut[i] * added[i].second;
  }
  std::printf("\nbusy answers that reached a user: %ld (failed operations: %ld, new log rows: %ld)\n",
              after.busy - before.busy, failed_total, after.logged - before.logged);
  if (!usage.empty()) {
    std::printf("resident memory and descriptors, sampled every %.0f s:", settings.sample_every);
    for (const auto& [kb, fds] : usage) std::printf(" %ld kB/%ld", kb, fds);
    std::printf("\n");
  }

  bool sound = true;
  const auto check = [&](const char* what, long got, long want, long or_up_to_more = 0) {
    const bool good = got >= want && got <= want + or_up_to_more;
    sound = sound && good;
    std::string verdict = good ? "ok" : "expected " + std::to_string(want);
    if (or_up_to_more > 0) verdict += " (up to " + std::to_string(or_up_to_more) +
                                      " more from closings that failed part-way)";
    std::printf("  %-52s %8ld %s\n", what, got, verdict.c_str());
  };
  std::printf("\nafterwards:\n");
  check("tracking events (one set per closing answered 0)", after.tracking, tracking_expected,
        tracking_cut);
  check("jobs (one set per closing answered 0)", after.jobs, jobs_expected, jobs_cut);
  check("distinct job ids", after.job_ids, after.jobs);
  check("service-order type records", after.records, before.records);
  check("container lines", after.lines, before.lines);
  check("containers", after.containers, before.containers);
  check("distinct container numbers", after.container_numbers, after.containers);
  check("incidents recorded (set, not added)", after.incidents, before.incidents);
  return sound ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Runs a mix of the component's operations (port lookups 30%, order loads 30%, incident\n"
      "recordings 15%, closings of the demo orders of types 1, 2, 7, 8 and 9 25%) from many\n"
      "threads or processes on one embedded database file, then reports throughput, latency\n"
      "per operation, the busy answers that reached a user, and checks that no row was lost\n"
      "or doubled. Exit code 0 when every check holds, 1 when one does not, 2 for a usage error."};
  Settings settings;
  app.add_option("--db", settings.db,
                 "Database file; created with the demo data when missing (default: a new file "
                 "in the temporary folder)");
  app.add_option("--threads", settings.threads, "Threads (in each process)")
      ->check(CLI::Range(1, 256))
      ->capture_default_str();
  app.add_option("--processes", settings.processes,
                 "Processes, each with --threads threads; 0 runs the threads in this process")
      ->check(CLI::Range(0, 64))
      ->capture_default_str();
  app.add_option("--operations", settings.operations, "Operations per thread")
      ->check(CLI::Range(1L, 100000000L))
      ->capture_default_str();
  app.add_option("--duration", settings.duration,
                 "Seconds to run instead of a number of operations")
      ->check(CLI::Range(0.0, 86400.0));
  app.add_option("--synchronous", settings.synchronous, "Synchronous level: Full, Normal or Off")
      ->check(CLI::IsMember({"Full", "Normal", "Off"}, CLI::ignore_case))
      ->capture_default_str();
  app.add_option("--busy-timeout", settings.busy_timeout,
                 "Busy Timeout in milliseconds (default: the engine's, 5000)")
      ->check(CLI::Range(0, 600000));
  app.add_option("--sample", settings.sample_every,
                 "Seconds between samples of memory and descriptors")
      ->check(CLI::Range(0.5, 3600.0))
      ->capture_default_str();
  CLI11_PARSE(app, argc, argv);

  leftovers.watch();
  std::string created;
  if (settings.db.empty()) {
    created = (fs::temp_directory_path() / ("qrnmvl-load-" + std::to_string(getpid()))).string();
    leftovers.add(created);
    fs::create_directories(created);
    settings.db = created + "/load.db";
  }
  int code = 1;
  try {
    code = run(settings);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "load: %s\n", e.what());
  }
  leftovers.finish();
  if (!created.empty()) fs::remove_all(created);
  return code;
}
