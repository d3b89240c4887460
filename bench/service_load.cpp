// service_load: requests per second, latency and lost answers of `qrnmvl
// serve` on loopback, for a port lookup and for a closing, from 16, 64 and 256
// keep-alive clients (by default). Starts the service on a fresh demo
// database, or targets one already running. Answers are read as JSON: a right
// one is 200 with result 0, whatever its layout.
#include <fcntl.h>
#include <httplib.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <latch>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "../tools/qrnmvl/closing_form.hpp"
#include "common/json_value.hpp"
#include "common/text.hpp"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
  std::string tool;        // start this qrnmvl, or
  int port = 0;            // target the service on 127.0.0.1:port
  std::string token_file;  // with this token
  std::vector<unsigned> clients{16, 64, 256};
  unsigned threads = 2;           // the started service's workers
  unsigned long lookups = 20000;  // port lookups for each number of clients
  unsigned long closings = 500;   // closings for each number of clients
  double seconds = 20;            // at most, for each part
  int record = 1004;
};

std::string slurp(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The service started on a fresh demo database in a folder of its own,
// stopped with SIGTERM and its folder removed at the end.
class StartedService {
 public:
  StartedService(const std::string& tool, unsigned threads) {
    char folder[] = "/tmp/qrnmvl-load-XXXXXX";
    if (!::mkdtemp(folder)) throw std::runtime_error("cannot create a temporary folder");
    dir_ = folder;
    const std::string db = dir_ + "/demo.db";
    run({tool, "init", db, "--demo"}, nullptr);
    token = "load-test-token";
    std::ofstream(dir_ + "/token") << token << "\n";
    ::chmod((dir_ + "/token").c_str(), 0600);
    int out[2];
    if (::pipe(out) != 0) throw std::runtime_error("cannot create a pipe");
    // Every client comes from loopback: the limits leave room for all of them.
    run({tool, "serve", "--db", db, "--token-file", dir_ + "/token", "--listen", "127.0.0.1:0",
         "--threads", std::to_string(threads), "--access-log", dir_ + "/access.log",
         "--connections", "1024", "--connections-per-address", "1024"},
        out);
    std::string line;
    char c;
    while (::read(out[0], &c, 1) == 1 && c != '\n') line += c;
    ::close(out[0]);
    if (line.rfind("listening on http://127.0.0.1:", 0) != 0)
      throw std::runtime_error("the service did not start: " + line);
    port = std::stoi(line.substr(line.rfind(':') + 1));
  }
  ~StartedService() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  StartedService(const StartedService&) = delete;
  StartedService& operator=(const StartedService&) = delete;

  int port = 0;
  std::string token;

 private:
  // Runs args; with out, in the background with its standard output on out[1].
  void run(std::vector<std::string> args, int* out) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (out) {
      posix_spawn_file_actions_adddup2(&actions, out[1], 1);
      posix_spawn_file_actions_addclose(&actions, out[0]);
    } else {
      posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    }
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int failed = posix_spawn(&pid, args[0].c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed) throw std::runtime_error("cannot run " + args[0]);
    if (out) {
      ::close(out[1]);
      pid_ = pid;
      return;
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
      throw std::runtime_error(args[0] + " " + args[1] + " failed");
  }

  std::string dir_;
  pid_t pid_ = -1;
};

struct Figures {
  unsigned long answered = 0;  // 200 with result 0
  unsigned long failed = 0;    // answered otherwise
  unsigned long lost = 0;      // sent, and no answer came
  double seconds = 0, p50_ms = 0, p99_ms = 0;
};

// Sends body to the operation from `clients` threads, each on its own
// keep-alive connection, until `requests` have been sent or the time runs
// out. Each client's first request opens its connection and is not counted.
// An answer is right when it is 200 and its JSON says result 0.
Figures measure(const Options& options, unsigned clients, unsigned long requests, int port,
                const std::string& token, const std::string& operation, const std::string& body) {
  std::atomic<unsigned long> issued{0}, failed{0}, lost{0};
  std::vector<std::vector<double>> latencies(clients);
  std::latch ready(static_cast<std::ptrdiff_t>(clients) + 1), go(1);
  Clock::time_point deadline;
  std::vector<std::thread> threads;
  for (unsigned t = 0; t < clients; ++t)
    threads.emplace_back([&, t] {
      httplib::Client client("127.0.0.1", port);
      client.set_keep_alive(true);
      client.set_tcp_nodelay(true);
      client.set_read_timeout(60);
      const httplib::Headers headers{{"Authorization", "Bearer " + token}};
      const std::string path = "/v1/operations/" + operation;
      const auto send = [&] { return client.Post(path.c_str(), headers, body, "application/json"); };
      send();
      ready.count_down();
      go.wait();
      latencies[t].reserve(requests / clients + 1);
      while (issued++ < requests && Clock::now() < deadline) {
        const auto sent = Clock::now();
        const auto response = send();
        latencies[t].push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
        if (!response) {
          if (lost++ == 0)
            std::cerr << operation << ": no answer: " << httplib::to_string(response.error()) << "\n";
          continue;
        }
        const auto answer = nlohmann::json::parse(response->body, nullptr, false);
        const bool right = response->status == 200 && answer.is_object() &&
                           answer.contains("result") && answer["result"] == 0;
        // The first failure says why; the count says how many.
        if (!right && failed++ == 0)
          std::cerr << operation << ": " << response->status << " "
                    << response->body.substr(0, 200) << "\n";
      }
    });
  ready.arrive_and_wait();
  const auto start = Clock::now();
  deadline = start + std::chrono::duration_cast<Clock::duration>(
                         std::chrono::duration<double>(options.seconds));
  go.count_down();
  for (auto& thread : threads) thread.join();
  Figures figures;
  figures.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::vector<double> all;
  for (const auto& each : latencies) all.insert(all.end(), each.begin(), each.end());
  std::sort(all.begin(), all.end());
  figures.failed = failed;
  figures.lost = lost;
  figures.answered = all.size() - figures.failed - figures.lost;
  if (!all.empty()) {
    figures.p50_ms = all[all.size() / 2];
    figures.p99_ms = all[std::min(all.size() - 1, all.size() * 99 / 100)];
  }
  return figures;
}

// The closing of a record as a front end sends it: the order loaded over
// HTTP, the form filled from it, the carrier's dates and document number.
std::string closing_call(int port, const std::string& token, int record) {
  httplib::Client client("127.0.0.1", port);
  const nlohmann::json load_call = {{"invntUsuario_internet_id", 25},
                                    {"invntEmpresa_id", 1},
                                    {"inVntBanco_Dados", "SQLSERVER"},
                                    {"invntNome_Produto", "QRNMVL"},
                                    {"invntOrdem_Servico_Tipo_ID", record}};
  const auto response =
      client.Post("/v1/operations/gConsulta_Ordem_Servico_Tipo",
                  httplib::Headers{{"Authorization", "Bearer " + token}}, load_call.dump(),
                  "application/json");
  if (!response || response->status != 200)
    throw std::runtime_error("the order load was refused: " +
                             (response ? response->body : httplib::to_string(response.error())));
  const auto answer = nlohmann::json::parse(response->body);
  if (answer["result"] != 0) throw std::runtime_error("record " + std::to_string(record) +
                                                      " cannot be loaded: " + response->body);
  qrnmvl::tool::Call loaded("gConsulta_Ordem_Servico_Tipo");
  for (const auto& [name, value] : answer["parameters"].items())
    loaded[name] = qrnmvl::from_json(value);
  qrnmvl::tool::Call form = qrnmvl::tool::closing_form({}, loaded);
  for (const auto& [field, value] :
       {std::pair{"invntData_Ini_Execucao", "20/10/2025"}, {"invntHora_Ini_Execucao", "08:00"},
        {"invntData_Fim_Execucao", "20/10/2025"}, {"invntHora_Fim_Execucao", "17:30"},
        {"invntData_Retirada", "20/10/2025"}, {"invntHora_Retirada", "09:15"},
        {"invntData_Entrega", "20/10/2025"}, {"invntHora_Entrega", "16:40"},
        {"invntnum_documento", "123456"}})
    form[field] = qrnmvl::Variant(value);
  nlohmann::json call = nlohmann::json::object();
  for (std::size_t i = 0; i < form.names().size(); ++i)
    if (form.names()[i] != "invntConecta_db") call[form.names()[i]] = qrnmvl::to_json(form.values()[i]);
  return call.dump();
}

void report(unsigned clients, const char* what, const Figures& f) {
  const unsigned long sent = f.answered + f.failed + f.lost;
  std::printf("%7u  %-11s %8lu %6lu %6lu %7.1f %8.0f %8.2f %8.2f\n", clients, what, sent, f.lost,
              f.failed, f.seconds, sent / f.seconds, f.p50_ms, f.p99_ms);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  CLI::App app(
      "Load `qrnmvl serve` on loopback and report, for each number of clients (each a thread\n"
      "with its own keep-alive connection), requests per second, the p50 and p99 latency and\n"
      "the answers lost (sent, never answered) of a port lookup and of a closing. Each part\n"
      "stops after its count of requests or --seconds, whichever comes first.");
  auto* tool = app.add_option("--tool", options.tool,
                              "Start this qrnmvl on a fresh demo database (removed after)");
  auto* port = app.add_option("--port", options.port, "Or load the service on 127.0.0.1:PORT")
                   ->excludes(tool)
                   ->check(CLI::Range(1, 65535));
  app.add_option("--token-file", options.token_file, "The token of the service given by --port")
      ->needs(port)
      ->check(CLI::ExistingFile);
  app.add_option("--clients", options.clients, "Numbers of clients, one part each")
      ->delimiter(',')
      ->capture_default_str()
      ->check(CLI::Range(1, 1000));
  app.add_option("--threads", options.threads, "Workers of the service --tool starts")
      ->capture_default_str()
      ->check(CLI::Range(1, 256));
  app.add_option("--lookups", options.lookups, "Port lookups for each number of clients, at most")
      ->capture_default_str()
      ->check(CLI::Range(1ul, 10000000ul));
  app.add_option("--closings", options.closings, "Closings for each number of clients, at most")
      ->capture_default_str()
      ->check(CLI::Range(1ul, 10000000ul));
  app.add_option("--seconds", options.seconds, "Time for each part, at most")
      ->capture_default_str()
      ->check(CLI::Range(0.1, 600.0));
  app.add_option("--record", options.record,
                 "The demo service-order type record the closing part closes again and again")
      ->capture_default_str();
  app.footer("Example: service_load --tool build/qrnmvl --clients 16,64,256 --lookups 20000");
  CLI11_PARSE(app, argc, argv);
  if (options.tool.empty() && options.port == 0) {
    std::cerr << "service_load: give --tool PATH or --port PORT (see --help)\n";
    return 2;
  }

  try {
    std::unique_ptr<StartedService> started;
    std::string token;
    int target = options.port;
    if (!options.tool.empty()) {
      started = std::make_unique<StartedService>(options.tool, options.threads);
      target = started->port;
      token = started->token;
    } else {
      if (options.token_file.empty()) throw std::runtime_error("--port needs --token-file");
      token = std::string(qrnmvl::ascii::trim_blanks(slurp(options.token_file)));
    }
    const std::string closing = closing_call(target, token, options.record);
    std::printf("127.0.0.1:%d, at most %lu port lookups and %lu closings or %.0f s a part\n",
                target, options.lookups, options.closings, options.seconds);
    std::printf("clients  part        requests   lost failed       s    req/s   p50 ms   p99 ms\n");
    unsigned long lost = 0;
    for (const unsigned clients : options.clients) {
      const Figures lookup =
          measure(options, clients, options.lookups, target, token, "gConsulta_Porto_Ponto",
                  R"({"invntUsuario_internet_id": 25, "invntBase_dados": "SQLSERVER"})");
      report(clients, "port lookup", lookup);
      const Figures closed =
          measure(options, clients, options.closings, target, token, "gGrava_Fechamento", closing);
      report(clients, "closing", closed);
      lost += lookup.lost + closed.lost;
    }
    // An answer lost is a fault of the service, not a figure.
    return lost == 0 ? 0 : 1;
  } catch (const std::exception& e) {
    std::cerr << "service_load: " << e.what() << "\n";
    return 1;
  }
}
