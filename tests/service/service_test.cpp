// The HTTP service, run as an operator runs it: the tool started on a free
// loopback port, driven by a client, stopped with SIGTERM.
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/test_database.hpp"

extern char** environ;

namespace qrnmvl {
namespace {

const char* const kToken = "s3cret-t0ken";

std::string slurp(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class Service : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tool = std::getenv("QRNMVL_TOOL");
    if (!tool) GTEST_SKIP() << "QRNMVL_TOOL is not set";
    dir_ = db_.path().substr(0, db_.path().rfind('/'));
    token_file_ = dir_ + "/token";
    std::ofstream(token_file_) << kToken << "\n";
    ::chmod(token_file_.c_str(), 0600);
    start(tool, {"--db", db_.path(), "--token-file", token_file_});
  }

  void TearDown() override {
    if (pid_ > 0) stop();
  }

  void start(const std::string& tool, std::vector<std::string> args) {
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    args.insert(args.begin(), {tool, "serve", "--listen", "127.0.0.1:0", "--threads", "4",
                               "--access-log", dir_ + "/access.log"});
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    ASSERT_EQ(posix_spawn(&pid_, tool.c_str(), &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    // The first line says where it listens: "listening on http://127.0.0.1:<port>".
    std::string line;
    char c;
    while (::read(out[0], &c, 1) == 1 && c != '\n') line += c;
    ::close(out[0]);
    ASSERT_NE(line.rfind("listening on http://127.0.0.1:", 0), std::string::npos) << line;
    port_ = std::stoi(line.substr(line.rfind(':') + 1));
  }

  int stop() {
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  httplib::Result post(const std::string& operation, const std::string& body,
                       const std::string& token = kToken) const {
    httplib::Client client("127.0.0.1", port_);
    httplib::Headers headers;
    if (!token.empty()) headers.emplace("Authorization", "Bearer " + token);
    return client.Post(("/v1/operations/" + operation).c_str(), headers, body, "application/json");
  }

  testing::TestDatabase db_{true};
  std::string dir_, token_file_;
  pid_t pid_ = -1;
  int port_ = 0;
};

const char* const kPorts = R"({"invntUsuario_internet_id": 25, "invntBase_dados": "SQLSERVER"})";

TEST_F(Service, RefusesWhatACallerMayNotDo) {
  struct Case {
    std::string operation, body, token;
    int status;
    const char* error;  // the start of the error text
  };
  const Case cases[] = {
      {"gConsulta_Porto_Ponto", kPorts, "", 401, "a valid bearer token"},
      {"gConsulta_Porto_Ponto", kPorts, "s3cret-t0keN", 401, "a valid bearer token"},
      {"gConsulta_Porto_Ponto", R"({"invntConecta_db": "Provider=SQLite;Data Source=/etc/x"})",
       kToken, 400, "invntConecta_db is the server's"},
      {"gConsulta_Porto_Ponto", "{not json", kToken, 400, "malformed JSON call"},
      {"gConsulta_Porto_Ponto", std::string(100000, '['), kToken, 400, "the JSON call nests"},
      {"gConsulta_Porto_Ponto", R"({"no_such_parameter": 1})", kToken, 400, "unknown parameter"},
      {"gConsulta_Porto_Ponto", "{\"x\": \"" + std::string(2 << 20, 'a') + "\"}", kToken, 413,
       "the request body is larger"},
      {"gNoSuchOperation", "{}", kToken, 404, "unknown operation"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body.substr(0, 60));
    const auto response = post(c.operation, c.body, c.token);
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, c.status);
    EXPECT_EQ(nlohmann::json::parse(response->body)["error"].get<std::string>().rfind(c.error, 0),
              0u)
        << response->body;
  }
  // Nothing of it reached the database, and the service still answers.
  EXPECT_TRUE(db_.query("SELECT * FROM LOG_MSG").empty());
  EXPECT_EQ(post("gConsulta_Porto_Ponto", kPorts)->status, 200);
}

TEST_F(Service, AnswersTheContractToConcurrentClientsAndLogsEachRequest) {
  const auto expected =
      nlohmann::json::parse(post("gConsulta_Porto_Ponto", kPorts)->body)["parameters"];
  EXPECT_EQ(expected["outarrvntPORTO_ID"], nlohmann::json({103, 102, 101}));
  // The server's connection is never given back.
  EXPECT_EQ(expected["invntConecta_db"], nlohmann::json::parse(R"({"$empty": true})"));

  std::vector<std::thread> clients;
  std::atomic<int> right{0};
  for (int t = 0; t < 8; ++t)
    clients.emplace_back([&] {
      for (int i = 0; i < 25; ++i) {
        const auto response = post("gConsulta_Porto_Ponto", kPorts);
        if (response && response->status == 200 &&
            nlohmann::json::parse(response->body)["parameters"] == expected)
          ++right;
      }
    });
  for (auto& client : clients) client.join();
  EXPECT_EQ(right.load(), 200);

  httplib::Client client("127.0.0.1", port_);
  EXPECT_EQ(client.Get("/healthz")->status, 200);
  const std::string metrics = client.Get("/metrics")->body;
  EXPECT_NE(metrics.find("qrnmvl_requests_total{operation=\"gConsulta_Porto_Ponto\",status=\"200\","
                         "result=\"0\"} 201"),
            std::string::npos)
      << metrics;
  EXPECT_EQ(client.Get("/v1/operations")->status, 401);

  EXPECT_EQ(stop(), 0);
  std::istringstream log(slurp(dir_ + "/access.log"));
  int lines = 0;
  for (std::string line; std::getline(log, line); ++lines) {
    const auto entry = nlohmann::json::parse(line);
    for (const char* key : {"time", "request_id", "operation", "status", "duration_ms"})
      EXPECT_TRUE(entry.contains(key)) << line;
    // No parameter value is ever logged.
    EXPECT_EQ(line.find("SQLSERVER"), std::string::npos) << line;
  }
  EXPECT_EQ(lines, 204);
}

}  // namespace
}  // namespace qrnmvl
