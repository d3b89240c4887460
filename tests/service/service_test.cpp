// The HTTP service, run as an operator runs it: the tool started on a free
// loopback port, driven by a client, stopped with SIGTERM.
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "closing_form.hpp"
#include "common/json_value.hpp"
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

  // Runs the tool to its end: its exit code, with what it printed in out.
  int run_tool(const std::string& args, std::string& out) const {
    const std::string out_file = dir_ + "/tool.out";
    const int status = std::system(
        ("'" + std::string(std::getenv("QRNMVL_TOOL")) + "' " + args + " >'" + out_file + "' 2>&1")
            .c_str());
    out = slurp(out_file);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  httplib::Result post(const std::string& operation, const std::string& body,
                       const std::string& token = kToken) const {
    httplib::Client client("127.0.0.1", port_);
    client.set_read_timeout(20);
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
      {"gConsulta_Porto_Ponto", kPorts, std::string(kToken) + "0", 401, "a valid bearer token"},
      {"gConsulta_Porto_Ponto", R"({"invntConecta\u005fdb": "x"})", kToken, 400,
       "invntConecta_db is the server's"},
      {"gConsulta_Porto_Ponto", "[1]", kToken, 400, "the JSON call must be an object"},
      {"gConsulta_Porto_Ponto", R"({"invntUsuario_internet_id": 1e999})", kToken, 400,
       "a number in the JSON call is out of range"},
      {"gConsulta_Porto_Ponto", R"({"invntBase_dados": {"$date": "yesterday"}})", kToken, 400,
       "parameter 'invntBase_dados'"},
      {"gConsulta_Porto_Ponto", std::string(5 << 20, ' '), kToken, 413,
       "the request body is larger"},
      {"gNoSuchOperation", "{}", kToken, 404, "unknown operation"},
      {"no-such-path", "{}", kToken, 404, "no such endpoint"},
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

// Reads whose answers do not change, so each answer can be checked against
// the one given to a single client.
const std::pair<const char*, const char*> kReads[] = {
    {"gConsulta_Porto_Ponto", kPorts},
    {"gConsulta_Porto_Ponto", R"({"invntUsuario_internet_id": 26, "invntBase_dados": "ORACLE"})"},
    {"gConsulta_Ordem_Servico_Tipo",
     R"({"invntUsuario_internet_id": 25, "invntOrdem_Servico_Tipo_ID": 1004})"},
    {"gMonta_Lista_Tab_Tipo_Incidente",
     R"({"invntUsuario_internet_id": 25, "invntOrdem_Servico_Tipo_Ident": 1005})"},
};
constexpr int kClients = 8, kRequestsEach = 25;

TEST_F(Service, AnswersTheContractToConcurrentClientsAndLogsEachRequest) {
  std::vector<std::string> expected;
  for (const auto& [operation, body] : kReads) expected.push_back(post(operation, body)->body);
  const auto ports = nlohmann::json::parse(expected[0])["parameters"];
  EXPECT_EQ(ports["outarrvntPORTO_ID"], nlohmann::json({103, 102, 101}));
  // The server's connection is never given back.
  EXPECT_EQ(ports["invntConecta_db"], nlohmann::json::parse(R"({"$empty": true})"));
  EXPECT_NE(expected[2], expected[3]);

  std::vector<std::thread> clients;
  std::atomic<int> right{0};
  for (int t = 0; t < kClients; ++t)
    clients.emplace_back([&, t] {
      for (int i = 0; i < kRequestsEach; ++i) {
        const std::size_t which = static_cast<std::size_t>(t + i) % std::size(kReads);
        const auto response = post(kReads[which].first, kReads[which].second);
        if (response && response->status == 200 && response->body == expected[which]) ++right;
      }
    });
  for (auto& client : clients) client.join();
  EXPECT_EQ(right.load(), kClients * kRequestsEach);

  httplib::Client client("127.0.0.1", port_);
  EXPECT_EQ(client.Get("/healthz")->status, 200);
  const std::string metrics = client.Get("/metrics")->body;
  EXPECT_NE(metrics.find("qrnmvl_requests_total{operation=\"gConsulta_Porto_Ponto\",status=\"200\","
                         "result=\"0\"} 102"),
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
  EXPECT_EQ(lines, 4 + kClients * kRequestsEach + 3);
}

// Every row of every table; the moments written by the closings themselves (the demo data ends
// in 2025) read "(now)", since two closings need not fall in the same second.
std::string all_rows(const testing::TestDatabase& db) {
  const auto written_now = [](const Variant& field) {
    return field.is_string() && field.as_string().size() >= 16 && field.as_string()[4] == '/' &&
           field.as_string() > "2025/12/31 23:59:59";
  };
  std::string rows;
  for (const auto& table :
       db.query("SELECT name FROM sqlite_master WHERE type = 'table' AND name <> 'qrn_procedure' "
                "ORDER BY name")) {
    const std::string name = table[0].as_string();
    rows += name + ":\n";
    for (const auto& row : db.query("SELECT * FROM \"" + name + "\" ORDER BY 1")) {
      for (const auto& field : row)
        rows += (written_now(field) ? std::string("(now)") : to_json(field).dump()) + " ";
      rows += "\n";
    }
  }
  return rows;
}

TEST_F(Service, ClosesAnOrderAsTheToolDoesWithTheSameCall) {
  testing::TestDatabase by_tool(true);
  // One record of each order type the demo holds: 7, 8 and 9 (fractional).
  for (const int record : {1004, 1005, 1006}) {
    SCOPED_TRACE(record);
    const auto load = nlohmann::json::parse(
        post("gConsulta_Ordem_Servico_Tipo", nlohmann::json{{"invntUsuario_internet_id", 25},
                                                            {"invntEmpresa_id", 1},
                                                            {"inVntBanco_Dados", "SQLSERVER"},
                                                            {"invntNome_Produto", "QRNMVL"},
                                                            {"invntOrdem_Servico_Tipo_ID", record}}
                                                 .dump())
            ->body);
    ASSERT_EQ(load["result"], 0) << load.dump();
    // The form filled from the answer as the tool fills it, then what the carrier reports.
    tool::Call loaded("gConsulta_Ordem_Servico_Tipo");
    for (const auto& name : loaded.names()) loaded[name] = from_json(load["parameters"][name]);
    tool::Call form = tool::closing_form(tool::Session{}, loaded);
    for (const auto& [name, value] : {std::pair{"invntData_Ini_Execucao", "20/10/2025"},
                                      {"invntHora_Ini_Execucao", "08:00"},
                                      {"invntData_Fim_Execucao", "20/10/2025"},
                                      {"invntHora_Fim_Execucao", "17:30"},
                                      {"invntData_Retirada", "20/10/2025"},
                                      {"invntHora_Retirada", "09:15"},
                                      {"invntData_Entrega", "20/10/2025"},
                                      {"invntHora_Entrega", "16:40"},
                                      {"invntnum_documento", "123456"}})
      form[name] = Variant(value);
    nlohmann::json call = nlohmann::json::object();
    for (const auto& name : form.names())
      if (name != "invntConecta_db") call[name] = to_json(form[name]);

    auto over_http = nlohmann::json::parse(post("gGrava_Fechamento", call.dump())->body);
    const std::string call_file = dir_ + "/closing.json";
    std::ofstream(call_file) << call.dump();
    std::string printed;
    ASSERT_EQ(run_tool("call gGrava_Fechamento --db '" + by_tool.path() + "' --params '" +
                           call_file + "'",
                       printed),
              0)
        << printed;
    auto by_the_tool = nlohmann::json::parse(printed);
    EXPECT_EQ(over_http["result"], 0) << over_http.dump();
    // Each names its own database; the service gives its connection back Empty.
    over_http["parameters"].erase("invntConecta_db");
    by_the_tool["parameters"].erase("invntConecta_db");
    EXPECT_EQ(over_http, by_the_tool);
  }
  EXPECT_EQ(all_rows(db_), all_rows(by_tool));
}

// A client that opens a connection and sends half a request waits on a
// connection thread, not on a worker: the others are still answered.
TEST_F(Service, ClientsThatSendHalfARequestHoldUpNoOne) {
  std::vector<int> stalled;
  for (int i = 0; i < 16; ++i) {
    const int sock = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port_));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const std::string half = "POST /v1/operations/gConsulta_Porto_Ponto HTTP/1.1\r\nHost: x\r\n";
    ASSERT_EQ(::write(sock, half.data(), half.size()), static_cast<ssize_t>(half.size()));
    stalled.push_back(sock);
  }
  httplib::Client client("127.0.0.1", port_);
  // Shorter than the time the service waits for the rest of a request.
  client.set_read_timeout(3);
  const auto response =
      client.Post("/v1/operations/gConsulta_Porto_Ponto",
                  httplib::Headers{{"Authorization", std::string("Bearer ") + kToken}}, kPorts,
                  "application/json");
  ASSERT_TRUE(response);
  EXPECT_EQ(nlohmann::json::parse(response->body)["result"], 0);
  for (const int sock : stalled) ::close(sock);
}

TEST_F(Service, AnswersTheRequestsInFlightBeforeStopping) {
  // A port lookup that takes a while: a few million rows of a join first, with no allocation
  // per row (so it is no slower under a sanitizer's allocator).
  db_.redefine("SP_QRN_CON_PORTO_PONTO3", "USUARIO_INTERNET_ID",
               "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 250) "
               "SELECT 10 AS PONTO_OPERACAO_ID, (SELECT sum(a.i + b.i * c.i) FROM n a, n b, n c) "
               "AS PORTO_ID, 'Longe' AS nome_porto");
  std::vector<std::thread> clients;
  std::atomic<int> answered{0};
  for (int i = 0; i < 4; ++i)
    clients.emplace_back([&] {
      const auto response = post("gConsulta_Porto_Ponto", kPorts);
      if (response && nlohmann::json::parse(response->body)["parameters"]["outarrvntPORTO_ID"] ==
                          nlohmann::json({248058593750}))
        ++answered;
    });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(stop(), 0);
  for (auto& client : clients) client.join();
  EXPECT_EQ(answered.load(), 4);
}

TEST_F(Service, StartsOnlyWithSecretsItsOwnerAloneCanRead) {
  stop();
  const std::string connection_file = dir_ + "/connection";
  std::ofstream(connection_file) << "Provider=SQLite;Data Source=" << db_.path() << "\n";
  const std::string open_file = dir_ + "/open";
  std::ofstream(open_file) << kToken;
  ::chmod(connection_file.c_str(), 0600);
  ::chmod(open_file.c_str(), 0644);
  const std::pair<std::string, const char*> refused[] = {
      {"--db '" + db_.path() + "' --token-file '" + open_file + "'", "can be read by others"},
      {"--connection-file '" + open_file + "' --token-file '" + token_file_ + "'",
       "can be read by others"},
      {"--db '" + dir_ + "/none.db' --token-file '" + token_file_ + "'",
       "cannot open the database"},
      {"--db '" + db_.path() + "' --token-file '" + dir_ + "/none'", "cannot read the token file"},
      {"--db '" + db_.path() + "' --token-file '" + token_file_ + "' --listen 8080",
       "--listen takes HOST:PORT"},
  };
  for (const auto& [args, error] : refused) {
    SCOPED_TRACE(args);
    std::string printed;
    EXPECT_EQ(run_tool("serve " + args, printed), 2);
    EXPECT_NE(printed.find(error), std::string::npos) << printed;
  }

  start(std::getenv("QRNMVL_TOOL"),
        {"--connection-file", connection_file, "--token-file", token_file_});
  const std::string answer = post("gConsulta_Porto_Ponto", kPorts)->body;
  EXPECT_EQ(nlohmann::json::parse(answer)["result"], 0);
  EXPECT_EQ(answer.find("Data Source"), std::string::npos) << answer;
}

}  // namespace
}  // namespace qrnmvl
