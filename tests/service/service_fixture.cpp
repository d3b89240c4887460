#include "service_fixture.hpp"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "common/text.hpp"

extern char** environ;

namespace qrnmvl::service_test {
namespace {

using Clock = std::chrono::steady_clock;

std::string slurp(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

Clock::time_point after(double seconds) {
  return Clock::now() + std::chrono::duration_cast<Clock::duration>(
                            std::chrono::duration<double>(seconds));
}

}  // namespace

std::string Answer::header(std::string_view name) const {
  for (const auto& [key, value] : headers)
    if (ascii::same_name(key, name)) return value;
  return {};
}

std::string Answer::error() const {
  const auto parsed = nlohmann::json::parse(body, nullptr, false);
  if (!parsed.is_object() || !parsed.contains("error") || !parsed["error"].is_string()) return {};
  return parsed["error"].get<std::string>();
}

RawClient::RawClient(int port) {
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd_);
    fd_ = -1;
    return;
  }
  const int on = 1;
  ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

RawClient::~RawClient() {
  if (fd_ >= 0) ::close(fd_);
}

bool RawClient::send(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

bool RawClient::fill(double seconds) {
  if (ended_ || fd_ < 0) return false;
  const auto deadline = after(seconds);
  pollfd ready{fd_, POLLIN, 0};
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  if (left.count() < 0 || ::poll(&ready, 1, static_cast<int>(left.count())) <= 0) return false;
  char chunk[16384];
  const ssize_t got = ::recv(fd_, chunk, sizeof chunk, 0);
  if (got <= 0) {
    ended_ = true;
    return false;
  }
  buffer_.append(chunk, static_cast<std::size_t>(got));
  return true;
}

std::optional<Answer> RawClient::answer(double seconds) {
  const auto deadline = after(seconds);
  const auto left = [&] { return std::chrono::duration<double>(deadline - Clock::now()).count(); };
  std::size_t head_end;
  while ((head_end = buffer_.find("\r\n\r\n")) == std::string::npos)
    if (!fill(left())) return std::nullopt;
  Answer answer;
  std::istringstream head(buffer_.substr(0, head_end));
  std::string line;
  std::getline(head, line);
  if (line.rfind("HTTP/1.", 0) != 0 || line.size() < 12) return std::nullopt;
  answer.status = std::stoi(line.substr(9, 3));
  std::size_t length = 0;
  while (std::getline(head, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string value(ascii::trim_blanks(std::string_view(line).substr(colon + 1)));
    if (ascii::same_name(line.substr(0, colon), "Content-Length")) length = std::stoul(value);
    answer.headers.emplace_back(line.substr(0, colon), std::move(value));
  }
  while (buffer_.size() < head_end + 4 + length)
    if (!fill(left())) return std::nullopt;
  answer.body = buffer_.substr(head_end + 4, length);
  buffer_.erase(0, head_end + 4 + length);
  return answer;
}

bool RawClient::closed_within(double seconds) {
  const auto deadline = after(seconds);
  while (!ended_) {
    const double left = std::chrono::duration<double>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    if (!fill(left) && !ended_) return false;
  }
  return true;
}

bool RawClient::readable() {
  pollfd ready{fd_, POLLIN, 0};
  return !buffer_.empty() || ::poll(&ready, 1, 0) > 0;
}

std::string request_text(const std::string& method, const std::string& path,
                         const std::string& body, const std::vector<std::string>& headers,
                         bool with_token) {
  std::string text = method + " " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n";
  if (with_token) text += "Authorization: Bearer " + std::string(kToken) + "\r\n";
  bool sized = false;
  for (const std::string& header : headers) {
    text += header + "\r\n";
    sized = sized || ascii::starts_with_name(header, "Content-Length:") ||
            ascii::starts_with_name(header, "Transfer-Encoding:");
  }
  if (!sized && (method == "POST" || !body.empty()))
    text += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  return text + "\r\n" + body;
}

bool in_the_one_layout(const std::string& text) {
  const auto parsed = nlohmann::ordered_json::parse(text, nullptr, false);
  return !parsed.is_discarded() && text == parsed.dump(2) + "\n";
}

void ServiceTest::SetUp() {
  const char* tool = std::getenv("QRNMVL_TOOL");
  if (!tool) GTEST_SKIP() << "QRNMVL_TOOL is not set";
  dir_ = db_.path().substr(0, db_.path().rfind('/'));
  token_file_ = dir_ + "/token";
  std::ofstream(token_file_) << kToken << "\n";
  ::chmod(token_file_.c_str(), 0600);
  prepare(db_);
  std::vector<std::string> args{"--db", db_.path(), "--token-file", token_file_};
  for (const auto& option : options()) args.push_back(option);
  start(args);
}

void ServiceTest::TearDown() {
  if (pid_ > 0) {
    if (!stop_within(30)) ADD_FAILURE() << "the service did not stop within 30 s of SIGTERM";
  }
}

void ServiceTest::start(std::vector<std::string> args) {
  const std::string tool = std::getenv("QRNMVL_TOOL");
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
  ASSERT_EQ(line.rfind("listening on http://127.0.0.1:", 0), 0u) << line;
  port_ = std::stoi(line.substr(line.rfind(':') + 1));
}

std::optional<int> ServiceTest::ended_within(double seconds) {
  const auto deadline = after(seconds);
  int status = 0;
  for (;;) {
    const pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_) break;
    if (Clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::optional<int> ServiceTest::stop_within(double seconds) {
  ::kill(pid_, SIGTERM);
  auto code = ended_within(seconds);
  if (!code) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  return code;
}

int ServiceTest::stop() {
  ::kill(pid_, SIGTERM);
  int status = 0;
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int ServiceTest::run_tool(const std::string& args, std::string& out, std::string& err) const {
  const std::string out_file = dir_ + "/tool.out", err_file = dir_ + "/tool.err";
  const int status = std::system(("'" + std::string(std::getenv("QRNMVL_TOOL")) + "' " + args +
                                  " >'" + out_file + "' 2>'" + err_file + "'")
                                     .c_str());
  out = slurp(out_file);
  err = slurp(err_file);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

httplib::Result ServiceTest::post(const std::string& operation, const std::string& body,
                                  const std::string& token) const {
  httplib::Client client("127.0.0.1", port_);
  client.set_read_timeout(20);
  httplib::Headers headers;
  if (!token.empty()) headers.emplace("Authorization", "Bearer " + token);
  return client.Post(("/v1/operations/" + operation).c_str(), headers, body, "application/json");
}

std::optional<Answer> ServiceTest::exchange(const std::string& text, double seconds) const {
  RawClient client(port_);
  if (!client.send(text)) return std::nullopt;
  return client.answer(seconds);
}

bool ServiceTest::healthy_within_a_second() const {
  const auto deadline = after(1);
  while (Clock::now() < deadline) {
    RawClient client(port_);
    const double left = std::chrono::duration<double>(deadline - Clock::now()).count();
    if (client.connected() && client.send(request_text("GET", "/healthz", "", {}, false))) {
      const auto answer = client.answer(left);
      if (answer) return answer->status == 200 && in_the_one_layout(answer->body);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

std::string ServiceTest::access_log() const { return slurp(dir_ + "/access.log"); }

}  // namespace qrnmvl::service_test
