// Stopping the service and bounding an operation's time: SIGTERM lets what it
// has read finish within the grace and nothing holds it longer; an operation
// that outlives --request-timeout is answered 503 while it runs on.
#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "service_fixture.hpp"

namespace qrnmvl::service_test {
namespace {

using Clock = std::chrono::steady_clock;

// A port lookup made slow: the rows of an n-fold self join counted first,
// with no allocation per row (so no slower under a sanitizer's allocator).
// 250: about a second; 400: about five.
void make_port_lookup_slow(testing::TestDatabase& db, int n) {
  db.redefine("SP_QRN_CON_PORTO_PONTO3", "USUARIO_INTERNET_ID",
              "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                  std::to_string(n) +
                  ") SELECT 10 AS PONTO_OPERACAO_ID, (SELECT sum(a.i + b.i * c.i) FROM n a, n b, "
                  "n c) AS PORTO_ID, 'Longe' AS nome_porto");
}

const std::string kLookup = "/v1/operations/gConsulta_Porto_Ponto";

class Stopping : public ServiceTest {
 protected:
  void prepare(testing::TestDatabase& db) override { make_port_lookup_slow(db, 250); }
  std::vector<std::string> options() const override { return {"--grace", "60"}; }
};

TEST_F(Stopping, AnswersTheRequestsInFlightBeforeStopping) {
  std::vector<std::unique_ptr<RawClient>> clients;
  for (int i = 0; i < 4; ++i) {
    clients.push_back(std::make_unique<RawClient>(port_));
    ASSERT_TRUE(clients.back()->send(request_text("POST", kLookup, kPorts)));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ::kill(pid_, SIGTERM);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  // A new client is refused, or closed unanswered: never left waiting.
  RawClient late(port_);
  if (late.connected()) {
    late.send(request_text("GET", "/healthz", "", {}, false));
    EXPECT_FALSE(late.answer(2));
  }
  for (auto& client : clients) {
    const auto answer = client->answer(60);
    ASSERT_TRUE(answer);
    EXPECT_EQ(nlohmann::json::parse(answer->body)["parameters"]["outarrvntPORTO_ID"],
              nlohmann::json({248058593750}));
    // The last answer on its connection says so.
    EXPECT_EQ(answer->header("Connection"), "close");
    EXPECT_TRUE(client->closed_within(2));
  }
  EXPECT_EQ(ended_within(30), 0);
}

// Slow clients of every kind attached, and one that sends nothing at all:
// none of them holds the stop.
class StoppingWithSlowClients : public ServiceTest {
 protected:
  std::vector<std::string> options() const override {
    return {"--grace", "2", "--receive-timeout", "60", "--idle-timeout", "60"};
  }
};

TEST_F(StoppingWithSlowClients, IsGoneWithinTheGrace) {
  std::vector<std::unique_ptr<RawClient>> slow;
  const std::string partial[] = {
      "POST /v1/operations/gConsulta_Porto_Ponto HTTP/1.1\r\nHost: x\r\n",
      request_text("POST", kLookup, "", {"Content-Length: 1000"}) + "{\"inv",
      request_text("POST", kLookup, "", {"Transfer-Encoding: chunked"}) + "4\r\n{\"in\r\n",
      "",
  };
  for (int i = 0; i < 48; ++i) {
    slow.push_back(std::make_unique<RawClient>(port_));
    slow.back()->send(partial[i % std::size(partial)]);
  }
  // And a keep-alive connection that had its answer and stays.
  RawClient idle(port_);
  ASSERT_TRUE(idle.send(request_text("GET", "/healthz", "", {}, false)));
  ASSERT_TRUE(idle.answer(5));

  const auto start = Clock::now();
  ::kill(pid_, SIGTERM);
  const auto code = ended_within(2 + 2);
  ASSERT_TRUE(code) << "still running " << std::chrono::duration<double>(Clock::now() - start).count()
                    << " s after SIGTERM";
  // Nothing was read whole, so nothing went unanswered.
  EXPECT_EQ(*code, 0);
  for (auto& client : slow) EXPECT_TRUE(client->closed_within(1));
  EXPECT_TRUE(idle.closed_within(1));
}

// Operations that take about five seconds, stopped before their end.
class StoppingLongOperations : public ServiceTest {
 protected:
  void prepare(testing::TestDatabase& db) override { make_port_lookup_slow(db, 400); }
  std::vector<std::string> options() const override {
    return {"--grace", grace_, "--request-timeout", "60"};
  }
  std::string grace_ = "1";
};

TEST_F(StoppingLongOperations, AnswersWhatOutlivesTheGrace503AndEnds) {
  RawClient client(port_);
  ASSERT_TRUE(client.send(request_text("POST", kLookup, kPorts)));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ::kill(pid_, SIGTERM);
  const auto answer = client.answer(1 + 2);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 503);
  EXPECT_EQ(answer->error(), "the service is stopping");
  EXPECT_EQ(answer->header("Connection"), "close");
  // Cut short: it says so.
  EXPECT_EQ(ended_within(2), 1);
}

class StoppingTwice : public StoppingLongOperations {
 protected:
  StoppingTwice() { grace_ = "60"; }
};

TEST_F(StoppingTwice, EndsAtOnceAtTheSecondSignal) {
  RawClient client(port_);
  ASSERT_TRUE(client.send(request_text("POST", kLookup, kPorts)));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ::kill(pid_, SIGTERM);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ::kill(pid_, SIGTERM);
  EXPECT_EQ(ended_within(2), 1);
}

class RequestTimeout : public ServiceTest {
 protected:
  void prepare(testing::TestDatabase& db) override { make_port_lookup_slow(db, 400); }
  std::vector<std::string> options() const override {
    return {"--request-timeout", "1", "--grace", "60"};
  }
};

TEST_F(RequestTimeout, AnswersAnOperationThatTakesTooLong503) {
  const auto start = Clock::now();
  const auto answer = exchange(request_text("POST", kLookup, kPorts, {"X-Request-Id: slow1"}), 30);
  const double took = std::chrono::duration<double>(Clock::now() - start).count();
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 503);
  EXPECT_EQ(answer->error(), "the operation did not answer within 1 s");
  EXPECT_TRUE(in_the_one_layout(answer->body)) << answer->body;
  // Well before the operation's end.
  EXPECT_LT(took, 1 + 3.0);
  // The health check does not queue behind the operation still running.
  EXPECT_TRUE(healthy_within_a_second());

  EXPECT_EQ(stop(), 0);
  std::istringstream log(access_log());
  bool logged = false;
  for (std::string line; std::getline(log, line);) {
    const auto entry = nlohmann::json::parse(line);
    if (entry["request_id"] != "slow1") continue;
    logged = true;
    EXPECT_EQ(entry["status"], 503) << line;
    EXPECT_EQ(entry["timed_out"], true) << line;
    EXPECT_FALSE(entry.contains("result")) << line;
  }
  EXPECT_TRUE(logged);
}

}  // namespace
}  // namespace qrnmvl::service_test
