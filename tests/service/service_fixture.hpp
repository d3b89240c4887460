// The HTTP service run as an operator runs it: the tool started on a free
// loopback port on a fresh demo database, driven by clients, stopped with
// SIGTERM. Besides an ordinary HTTP client, a raw one that writes what a
// hostile client writes, byte by byte if need be.
#pragma once

#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/test_database.hpp"

namespace qrnmvl::service_test {

inline const char* const kToken = "s3cret-t0ken";
inline const char* const kPorts = R"({"invntUsuario_internet_id": 25, "invntBase_dados": "SQLSERVER"})";

// An answer as it came over the wire.
struct Answer {
  int status = 0;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  // The header's value, whatever the case of its name; empty when absent.
  std::string header(std::string_view name) const;
  // The "error" of a JSON error body, empty when there is none.
  std::string error() const;
};

// One connection to the service, written to and read from directly.
class RawClient {
 public:
  explicit RawClient(int port);
  ~RawClient();
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;

  bool connected() const { return fd_ >= 0; }
  // False once the service has closed or reset the connection.
  bool send(std::string_view bytes);
  // The next answer on the connection, if one comes whole within `seconds`.
  std::optional<Answer> answer(double seconds = 10);
  // Whether the service closes the connection within `seconds`, reading and
  // dropping whatever it sends first.
  bool closed_within(double seconds);
  // Something to read (an answer, or the close) right now, without waiting.
  bool readable();

 private:
  // Reads what is there within the deadline into buffer_; false at the end
  // of the connection or of the time.
  bool fill(double seconds);

  int fd_ = -1;
  bool ended_ = false;
  std::string buffer_;
};

// The text of a request: the token is added unless `with_token` is false;
// `headers` are whole lines without their line end.
std::string request_text(const std::string& method, const std::string& path,
                         const std::string& body, const std::vector<std::string>& headers = {},
                         bool with_token = true);

// Whether text is laid out as every answer of the project is: two-space
// indentation, members in order, a line end at the end.
bool in_the_one_layout(const std::string& text);

class ServiceTest : public ::testing::Test {
 protected:
  // Options given to `serve` besides the database, the token, the address,
  // the workers and the access log.
  virtual std::vector<std::string> options() const { return {}; }
  // The demo database with what a test needs of it before the service starts.
  virtual void prepare(testing::TestDatabase&) {}

  void SetUp() override;
  void TearDown() override;

  void start(std::vector<std::string> args);
  // SIGTERM, then the exit code (-1 for a signal).
  int stop();
  // SIGTERM, and the exit code if the process ended within `seconds`; if it
  // did not, it is killed and nullopt returned.
  std::optional<int> stop_within(double seconds);
  // Waits for the process to end within `seconds`: its exit code, nullopt if it is still there.
  std::optional<int> ended_within(double seconds);

  // Runs the tool to its end: its exit code, with what it printed on its
  // standard output in out and on its standard error in err.
  int run_tool(const std::string& args, std::string& out, std::string& err) const;

  httplib::Result post(const std::string& operation, const std::string& body,
                       const std::string& token = kToken) const;
  // A request on a fresh connection of its own.
  std::optional<Answer> exchange(const std::string& text, double seconds = 10) const;
  // Whether GET /healthz is answered 200 within a second, from a fresh
  // connection (retried while a connection limit still refuses one).
  bool healthy_within_a_second() const;
  std::string access_log() const;

  testing::TestDatabase db_{true};
  std::string dir_, token_file_;
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace qrnmvl::service_test
