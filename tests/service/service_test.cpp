// The HTTP service doing its work: the operations over HTTP as the tool runs
// them, to concurrent clients, logged, stopped without losing an answer.
#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "closing_form.hpp"
#include "common/json_value.hpp"
#include "service_fixture.hpp"
#include "support/test_database.hpp"

namespace qrnmvl {
namespace {

using service_test::in_the_one_layout;
using service_test::kPorts;
using service_test::kToken;
using Service = service_test::ServiceTest;

// What a caller may not do, and what the service answers it, is in tests/cli/service.md.

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
  for (const auto& [operation, body] : kReads) {
    expected.push_back(post(operation, body)->body);
    EXPECT_TRUE(in_the_one_layout(expected.back())) << expected.back();
  }
  const auto ports = nlohmann::json::parse(expected[0])["parameters"];
  EXPECT_EQ(ports["outarrvntPORTO_ID"], nlohmann::json({103, 102, 101}));
  // The server's connection is never given back.
  EXPECT_EQ(ports["invntConecta_db"], nlohmann::json::parse(R"({"$empty": true})"));
  EXPECT_NE(expected[2], expected[3]);

  // Each client on one keep-alive connection: no answer is lost when it is reused.
  std::vector<std::thread> clients;
  std::atomic<int> right{0};
  for (int t = 0; t < kClients; ++t)
    clients.emplace_back([&, t] {
      httplib::Client client("127.0.0.1", port_);
      client.set_keep_alive(true);
      // Its head and body in one packet, not held back for an acknowledgement.
      client.set_tcp_nodelay(true);
      client.set_read_timeout(20);
      const httplib::Headers headers{{"Authorization", std::string("Bearer ") + kToken}};
      for (int i = 0; i < kRequestsEach; ++i) {
        const std::size_t which = static_cast<std::size_t>(t + i) % std::size(kReads);
        const auto response =
            client.Post((std::string("/v1/operations/") + kReads[which].first).c_str(), headers,
                        kReads[which].second, "application/json");
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
  std::istringstream log(access_log());
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

    const std::string answer = post("gGrava_Fechamento", call.dump())->body;
    EXPECT_TRUE(in_the_one_layout(answer)) << answer;
    auto over_http = nlohmann::json::parse(answer);
    const std::string call_file = dir_ + "/closing.json";
    std::ofstream(call_file) << call.dump();
    std::string printed, errors;
    ASSERT_EQ(run_tool("call gGrava_Fechamento --db '" + by_tool.path() + "' --params '" +
                           call_file + "'",
                       printed, errors),
              0)
        << errors;
    auto by_the_tool = nlohmann::json::parse(printed);
    EXPECT_EQ(over_http["result"], 0) << over_http.dump();
    // Each names its own database; the service gives its connection back Empty.
    over_http["parameters"].erase("invntConecta_db");
    by_the_tool["parameters"].erase("invntConecta_db");
    EXPECT_EQ(over_http, by_the_tool);
  }
  EXPECT_EQ(all_rows(db_), all_rows(by_tool));

  // The events a closing recorded, as DCSA equipment events: what `qrnmvl events --format
  // dcsa` prints for the same order, moments of recording aside.
  const auto events_of = [](nlohmann::json events) {
    for (auto& event : events) event.erase("eventCreatedDateTime");
    return events;
  };
  const auto served = exchange(service_test::request_text("GET", "/v1/orders/503/events", ""));
  ASSERT_TRUE(served);
  ASSERT_EQ(served->status, 200) << served->body;
  std::string printed, errors;
  ASSERT_EQ(run_tool("events --order 503 --format dcsa --db '" + by_tool.path() + "'", printed,
                     errors),
            0)
      << errors;
  EXPECT_EQ(events_of(nlohmann::json::parse(served->body)),
            events_of(nlohmann::json::parse(printed)));
  EXPECT_FALSE(nlohmann::json::parse(served->body).empty());
  for (const auto& [path, status] : {std::pair{"/v1/orders/999999/events", 404},
                                     {"/v1/orders/abc/events", 400}}) {
    const auto refused = exchange(service_test::request_text("GET", path, ""));
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, status) << path;
  }
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
    std::string out, printed;
    EXPECT_EQ(run_tool("serve " + args, out, printed), 2);
    EXPECT_NE(printed.find(error), std::string::npos) << printed;
  }

  start({"--connection-file", connection_file, "--token-file", token_file_});
  const std::string answer = post("gConsulta_Porto_Ponto", kPorts)->body;
  EXPECT_EQ(nlohmann::json::parse(answer)["result"], 0);
  EXPECT_EQ(answer.find("Data Source"), std::string::npos) << answer;
}

}  // namespace
}  // namespace qrnmvl
