// service_load: requests per second and latency of `qrnmvl serve` on
// loopback, for a port lookup and for a closing, from several client threads.
// Starts the service on a fresh demo database, or targets one already running.
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
  unsigned clients = 4;
  unsigned threads = 2;    // the started service's workers
  unsigned requests = 2000;
  double seconds = 10;
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
    run({tool, "serve", "--db", db, "--token-file", dir_ + "/token", "--listen", "127.0.0.1:0",
         "--threads", std::to_string(threads), "--access-log", dir_ + "/access.log"},
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
  unsigned long done = 0, failed = 0;
  double seconds = 0, p50_ms = 0, p99_ms = 0;
};

// Sends body to the operation from every client until the count or the time
// runs out; an answer is right when it is 200 with result 0.
Figures measure(const Options& options, int port, const std::string& token,
                const std::string& operation, const std::string& body) {
  std::atomic<unsigned> issued{0};
  std::atomic<unsigned long> failed{0};
  std::vector<std::vector<double>> latencies(options.clients);
  const auto deadline = Clock::now() + std::chrono::duration<double>(options.seconds);
  const auto start = Clock::now();
  std::vector<std::thread> clients;
  for (unsigned t = 0; t < options.clients; ++t)
    clients.emplace_back([&, t] {
      httplib::Client client("127.0.0.1", port);
      client.set_keep_alive(true);
      client.set_tcp_nodelay(true);
      const httplib::Headers headers{{"Authorization", "Bearer " + token}};
      const std::string path = "/v1/operations/" + operation;
      while (issued++ < options.requests && Clock::now() < deadline) {
        const auto sent = Clock::now();
        const auto response = client.Post(path.c_str(), headers, body, "application/json");
        latencies[t].push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
        if (!response || response->status != 200 ||
            response->body.rfind("{\"result\": 0,", 0) != 0) {
          // The first failure says why; the count says how many.
          if (failed++ == 0)
            std::cerr << operation << ": "
                      << (response ? std::to_string(response->status) + " " + response->body.substr(0, 200)
                                   : "no answer: " + httplib::to_string(response.error()))
                      << "\n";
        }
      }
    });
  for (auto& client : clients) client.join();
  Figures figures;
  figures.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::vector<double> all;
  for (const auto& each : latencies) all.insert(all.end(), each.begin(), each.end());
  std::sort(all.begin(), all.end());
  figures.done = all.size();
  figures.failed = failed;
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

void report(const char* what, const Figures& f) {
  std::printf("%-12s %8lu requests %6lu failed %8.1f s %10.0f req/s   p50 %7.3f ms   p99 %7.3f ms\n",
              what, f.done, f.failed, f.seconds, f.done / f.seconds, f.p50_ms, f.p99_ms);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  CLI::App app(
      "Load `qrnmvl serve` on loopback from several client threads and report requests per\n"
      "second and the p50 and p99 latency of a port lookup and of a closing. Each part stops\n"
      "after --requests or --seconds, whichever comes first.");
  auto* tool = app.add_option("--tool", options.tool,
                              "Start this qrnmvl on a fresh demo database (removed after)");
  auto* port = app.add_option("--port", options.port, "Or load the service on 127.0.0.1:PORT")
                   ->excludes(tool)
                   ->check(CLI::Range(1, 65535));
  app.add_option("--token-file", options.token_file, "The token of the service given by --port")
      ->needs(port)
      ->check(CLI::ExistingFile);
  app.add_option("--clients", options.clients, "Client threads, each with its own connection")
      ->capture_default_str()
      ->check(CLI::Range(1, 256));
  app.add_option("--threads", options.threads, "Workers of the service --tool starts")
      ->capture_default_str()
      ->check(CLI::Range(1, 256));
  app.add_option("--requests", options.requests, "Requests for each part, at most")
      ->capture_default_str()
      ->check(CLI::Range(1u, 10000000u));
  app.add_option("--seconds", options.seconds, "Time for each part, at most")
      ->capture_default_str()
      ->check(CLI::Range(0.1, 600.0));
  app.add_option("--record", options.record,
                 "The demo service-order type record the closing part closes again and again")
      ->capture_default_str();
  app.footer("Example: service_load --tool build/qrnmvl --clients 4 --requests 5000");
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
    std::printf("127.0.0.1:%d, %u clients, at most %u requests or %.0f s a part\n", target,
                options.clients, options.requests, options.seconds);
    report("port lookup", measure(options, target, token, "gConsulta_Porto_Ponto",
                                  R"({"invntUsuario_internet_id": 25, "invntBase_dados": "SQLSERVER"})"));
    report("closing", measure(options, target, token, "gGrava_Fechamento",
                              closing_call(target, token, options.record)));
    return 0;
  } catch (const std::exception& e) {
    std::cerr << "service_load: " << e.what() << "\n";
    return 1;
  }
}
