// The service facing clients that do not play fair: every limit is met with
// the request that passes it, and the service must refuse it as soon as it is
// passed and still answer /healthz within a second afterwards.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "service_fixture.hpp"

namespace qrnmvl::service_test {
namespace {

using Clock = std::chrono::steady_clock;

// Small limits, so that passing them is quick.
class Hostile : public ServiceTest {
 protected:
  std::vector<std::string> options() const override {
    return {"--max-body",        "65536", "--max-header-bytes", "4096", "--max-headers", "32",
            "--receive-timeout", "1",     "--idle-timeout",     "2"};
  }
};

std::string many_headers(int count) {
  std::string lines;
  for (int i = 0; i < count; ++i) lines += "X-Field-" + std::to_string(i) + ": x\r\n";
  return lines;
}

TEST_F(Hostile, RefusesAtTheHeadWhatItWillNotRead) {
  struct Case {
    const char* what;
    std::string head;  // sent alone: a body it announces never comes
    int status;
    const char* error;  // the start of the error text; empty: not a JSON refusal
  };
  const std::string post = "POST /v1/operations/gConsulta_Porto_Ponto HTTP/1.1\r\nHost: x\r\n";
  const std::string token = "Authorization: Bearer " + std::string(kToken) + "\r\n";
  const Case cases[] = {
      // A compressed body would be inflated to be read: none is, token or not.
      {"gzip, no token", post + "Content-Encoding: gzip\r\nContent-Length: 1048576\r\n\r\n", 415,
       "Content-Encoding 'gzip' is not taken"},
      {"deflate", post + token + "Content-Encoding: deflate\r\nContent-Length: 60000\r\n\r\n",
       415, "Content-Encoding 'deflate' is not taken"},
      {"gzip, chunked", post + token + "Content-Encoding: gzip\r\nTransfer-Encoding: chunked\r\n\r\n",
       415, "Content-Encoding 'gzip' is not taken"},
      {"transfer coding", post + token + "Transfer-Encoding: gzip, chunked\r\n\r\n", 501,
       "Transfer-Encoding 'gzip, chunked' is not taken"},
      {"two lengths",
       post + token + "Content-Length: 10\r\nTransfer-Encoding: chunked\r\n\r\n", 400,
       "a request cannot carry both Content-Length and Transfer-Encoding"},
      {"announced too large", post + token + "Content-Length: 65537\r\n\r\n", 413,
       "the request body is larger than 65536 bytes"},
      {"no token, body pending", post + "Content-Length: 60000\r\n\r\n", 401,
       "a valid bearer token is required"},
      {"wrong scheme", post + "Authorization: Basic " + kToken + "\r\nContent-Length: 100\r\n\r\n",
       401, "a valid bearer token is required"},
      {"head too large", post + token + "X-Big: " + std::string(5000, 'a') + "\r\n\r\n", 431,
       "the request head is larger than 4096 bytes"},
      {"too many fields", post + token + many_headers(40) + "\r\n", 431,
       "the request has more than 32 header fields"},
      // Larger than a connection's memory: refused by the HTTP library itself.
      {"head far too large", post + token + "X-Big: " + std::string(200000, 'a') + "\r\n\r\n",
       431, ""},
      {"unknown path", "GET /v1/nothing HTTP/1.1\r\nHost: x\r\n\r\n", 404,
       "no such endpoint"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RawClient client(port_);
    client.send(c.head);
    const auto answer = client.answer(5);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, c.status);
    if (*c.error) {
      EXPECT_EQ(answer->error().rfind(c.error, 0), 0u) << answer->body;
      EXPECT_TRUE(in_the_one_layout(answer->body)) << answer->body;
    }
    // What follows the head cannot be told from a body: the connection ends,
    // and says so.
    if (c.status != 404) {
      EXPECT_EQ(answer->header("Connection"), "close");
      EXPECT_TRUE(client.closed_within(2));
    }
    EXPECT_TRUE(healthy_within_a_second());
  }
}

TEST_F(Hostile, RefusesABodyTheMomentItPassesTheLimit) {
  // Chunked: no length to refuse it by, only the bytes as they come. The
  // body is left unfinished, so only counting can have refused it.
  RawClient client(port_);
  ASSERT_TRUE(client.send(request_text("POST", "/v1/operations/gConsulta_Porto_Ponto", "",
                                       {"Transfer-Encoding: chunked"})));
  const std::string chunk = "2000\r\n" + std::string(0x2000, ' ') + "\r\n";
  for (int i = 0; i < 9 && client.send(chunk); ++i) {
  }
  const auto answer = client.answer(5);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 413);
  EXPECT_EQ(answer->error(), "the request body is larger than 65536 bytes");
  EXPECT_TRUE(in_the_one_layout(answer->body)) << answer->body;
  EXPECT_TRUE(client.closed_within(2));
  EXPECT_TRUE(healthy_within_a_second());

  // Within the limit, chunked is read like any body.
  RawClient fair(port_);
  const std::string body = kPorts;
  ASSERT_TRUE(fair.send(request_text(
      "POST", "/v1/operations/gConsulta_Porto_Ponto",
      "10\r\n" + body.substr(0, 16) + "\r\n" + [&] {
        char size[16];
        std::snprintf(size, sizeof size, "%zx", body.size() - 16);
        return std::string(size);
      }() + "\r\n" + body.substr(16) + "\r\n0\r\n\r\n",
      {"Transfer-Encoding: chunked"})));
  const auto read = fair.answer(10);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->status, 200) << read->body;
  EXPECT_EQ(nlohmann::json::parse(read->body)["result"], 0);
}

// Clients that send a request too slowly, or stop in the middle of one: each
// costs the service a connection for --receive-timeout (1 s) at most, then
// gets 408 and its connection closed; one that never finishes its request
// line is closed after the idle and receive timeouts (3 s). Meanwhile the
// others are answered.
TEST_F(Hostile, CutsRequestsThatDoNotArriveInTime) {
  struct Slow {
    const char* what;
    std::string start;  // sent at once
    std::string drip;   // then every 200 ms
    int status;         // 0: closed without an answer
  };
  const std::string post = "POST /v1/operations/gConsulta_Porto_Ponto HTTP/1.1\r\nHost: x\r\n";
  const std::string whole_head = request_text("POST", "/v1/operations/gConsulta_Porto_Ponto", "",
                                              {"Content-Length: 1000"});
  std::vector<Slow> kinds = {
      {"silent head", post, "", 408},
      {"slow head", post, "X-A: b\r\n", 408},
      {"silent body", whole_head + "{", "", 408},
      {"slow body", whole_head + "{", "          ", 408},
      {"slow request line", "P", "O", 0},
  };
  struct Client {
    const Slow* kind;
    std::unique_ptr<RawClient> connection;
    std::optional<Answer> answer;
    bool closed = false;
  };
  std::vector<Client> clients;
  for (const Slow& kind : kinds)
    for (int i = 0; i < 6; ++i) {
      clients.push_back({&kind, std::make_unique<RawClient>(port_), std::nullopt, false});
      clients.back().connection->send(kind.start);
    }
  // While they hold their connections, a fair client is answered.
  EXPECT_TRUE(healthy_within_a_second());

  const auto start = Clock::now();
  bool all_done = false;
  while (!all_done && Clock::now() - start < std::chrono::seconds(8)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    all_done = true;
    for (Client& client : clients) {
      if (client.closed) continue;
      if (client.connection->readable()) {
        if (!client.answer) client.answer = client.connection->answer(1);
        client.closed = client.connection->closed_within(1);
      } else if (!client.kind->drip.empty()) {
        client.connection->send(client.kind->drip);
      }
      all_done = all_done && client.closed;
    }
  }
  for (const Client& client : clients) {
    SCOPED_TRACE(client.kind->what);
    EXPECT_TRUE(client.closed);
    if (client.kind->status == 0) {
      EXPECT_FALSE(client.answer);
      continue;
    }
    ASSERT_TRUE(client.answer);
    EXPECT_EQ(client.answer->status, 408);
    EXPECT_EQ(client.answer->error(), "the request did not arrive whole within 1 s");
  }
  EXPECT_TRUE(healthy_within_a_second());
}

TEST_F(Hostile, ClosesAKeepAliveConnectionLeftSilent) {
  RawClient client(port_);
  ASSERT_TRUE(client.send(request_text("GET", "/healthz", "", {}, false)));
  const auto answer = client.answer(5);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->header("Keep-Alive"), "timeout=2");
  EXPECT_FALSE(client.closed_within(0.5));
  EXPECT_TRUE(client.closed_within(4));
  EXPECT_TRUE(healthy_within_a_second());
}

TEST_F(Hostile, AnswersPipelinedRequestsInOrder) {
  RawClient client(port_);
  const std::string incidents =
      R"({"invntUsuario_internet_id": 25, "invntOrdem_Servico_Tipo_Ident": 1004})";
  // Three requests in one write, the first two of them operations whose work
  // is done elsewhere, so an answer could overtake another.
  ASSERT_TRUE(client.send(
      request_text("POST", "/v1/operations/gConsulta_Porto_Ponto", kPorts, {"X-Request-Id: p1"}) +
      request_text("POST", "/v1/operations/gMonta_Lista_Tab_Tipo_Incidente", incidents,
                   {"X-Request-Id: p2"}) +
      request_text("GET", "/healthz", "", {"X-Request-Id: p3"}, false)));
  std::vector<Answer> answers;
  for (int i = 0; i < 3; ++i) {
    auto answer = client.answer(10);
    ASSERT_TRUE(answer) << "answer " << i + 1;
    answers.push_back(*answer);
  }
  EXPECT_EQ(answers[0].header("X-Request-Id"), "p1");
  EXPECT_EQ(nlohmann::json::parse(answers[0].body)["parameters"]["outarrvntPORTO_ID"],
            nlohmann::json({103, 102, 101}));
  EXPECT_EQ(answers[1].header("X-Request-Id"), "p2");
  EXPECT_EQ(nlohmann::json::parse(answers[1].body)["parameters"]["outvntTam_arr"], 5);
  EXPECT_EQ(answers[2].header("X-Request-Id"), "p3");
  EXPECT_EQ(nlohmann::json::parse(answers[2].body)["status"], "ok");
  // The connection goes on serving.
  ASSERT_TRUE(client.send(request_text("GET", "/healthz", "", {"X-Request-Id: p4"}, false)));
  const auto fourth = client.answer(5);
  ASSERT_TRUE(fourth);
  EXPECT_EQ(fourth->header("X-Request-Id"), "p4");
  EXPECT_TRUE(healthy_within_a_second());
}

TEST_F(Hostile, RefusesToShareItsAddressWithASecondInstance) {
  std::string out, printed;
  EXPECT_EQ(run_tool("serve --db '" + db_.path() + "' --token-file '" + token_file_ +
                         "' --listen 127.0.0.1:" + std::to_string(port_),
                     out, printed),
            2);
  EXPECT_NE(printed.find("cannot listen on 127.0.0.1:" + std::to_string(port_) +
                         ": Address already in use"),
            std::string::npos)
      << printed;
  // The first instance has every connection still.
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(healthy_within_a_second());
}

// A connection over a limit is closed as it is accepted: the client learns at
// once, rather than waiting unanswered.
class ConnectionLimit : public ServiceTest,
                        public ::testing::WithParamInterface<std::pair<const char*, const char*>> {
 protected:
  std::vector<std::string> options() const override { return {GetParam().first, "4"}; }
};

TEST_P(ConnectionLimit, RefusesAConnectionOverItAtOnce) {
  std::vector<std::unique_ptr<RawClient>> held;
  for (int i = 0; i < 4; ++i) {
    held.push_back(std::make_unique<RawClient>(port_));
    ASSERT_TRUE(held.back()->send(request_text("GET", "/healthz", "", {}, false)));
    ASSERT_TRUE(held.back()->answer(5));
  }
  RawClient over(port_);
  over.send(request_text("GET", "/healthz", "", {}, false));
  EXPECT_FALSE(over.answer(2));
  EXPECT_TRUE(over.closed_within(1));

  // On a connection it holds, the metrics count the refusal under its limit
  // (and any of the retries below, made while the close is being noticed).
  ASSERT_TRUE(held[0]->send(request_text("GET", "/metrics", "", {}, false)));
  const auto metrics = held[0]->answer(5);
  ASSERT_TRUE(metrics);
  const std::string counted =
      std::string("qrnmvl_connections_refused_total{limit=\"") + GetParam().second + "\"} ";
  const std::size_t at = metrics->body.find(counted);
  ASSERT_NE(at, std::string::npos) << metrics->body;
  EXPECT_EQ(metrics->body.substr(at + counted.size(), 2), "1\n") << metrics->body;

  held.pop_back();
  EXPECT_TRUE(healthy_within_a_second());
}

INSTANTIATE_TEST_SUITE_P(Limits, ConnectionLimit,
                         ::testing::Values(std::pair{"--connections", "connections"},
                                           std::pair{"--connections-per-address",
                                                     "connections_per_address"}));

}  // namespace
}  // namespace qrnmvl::service_test
