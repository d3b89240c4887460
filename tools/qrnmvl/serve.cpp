#include "serve.hpp"

#include <httplib.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <deque>
#include <fstream>
#include <functional>
#include <future>
#include <iostream>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <qrnmvl/qrnmvl.hpp>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "common/json_value.hpp"
#include "common/text.hpp"
#include "data/connection.hpp"

namespace qrnmvl::tool {
namespace {

using Clock = std::chrono::steady_clock;

// A secret (connection text, token) from a file only its owner can read, so it
// never shows in the process list and no other account on the host reads it.
std::string read_secret(const std::string& path, const char* what) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
    throw std::invalid_argument(std::string("cannot read the ") + what + " file " + path);
  if ((info.st_mode & 077) != 0)
    throw std::invalid_argument(std::string("the ") + what + " file " + path +
                                " can be read by others: chmod 600 it");
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  if (!in) throw std::invalid_argument(std::string("cannot read the ") + what + " file " + path);
  const std::string secret(ascii::trim_blanks(text.str()));
  if (secret.empty())
    throw std::invalid_argument(std::string("the ") + what + " file " + path + " is empty");
  return secret;
}

// Compares every byte whatever the first difference, so the time taken says
// nothing of how much of a guessed token was right.
bool same_secret(std::string_view given, std::string_view expected) {
  unsigned char difference = given.size() == expected.size() ? 0 : 1;
  for (std::size_t i = 0; i < given.size(); ++i)
    difference |= static_cast<unsigned char>(given[i]) ^
                  static_cast<unsigned char>(expected[expected.empty() ? 0 : i % expected.size()]);
  return difference == 0;
}

// The threads that run operations. Each keeps one component and, through the
// data layer's per-thread cache, one open connection from request to request.
// The threads that read and write HTTP never touch the database, so a client
// that is slow to send or to read holds no connection.
class Workers {
 public:
  explicit Workers(unsigned count) {
    for (unsigned i = 0; i < count; ++i) threads_.emplace_back([this] { loop(); });
  }
  ~Workers() {
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    ready_.notify_all();
    for (auto& thread : threads_) thread.join();
  }
  Workers(const Workers&) = delete;
  Workers& operator=(const Workers&) = delete;

  // Runs job on a worker and waits for it; what it throws is thrown here.
  template <class Job>
  auto run(Job job) -> decltype(job()) {
    std::packaged_task<decltype(job())()> task(std::move(job));
    auto done = task.get_future();
    {
      const std::lock_guard lock(mutex_);
      jobs_.emplace_back([&task] { task(); });
    }
    ready_.notify_one();
    return done.get();
  }

 private:
  void loop() {
    for (;;) {
      std::function<void()> job;
      {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
        if (jobs_.empty()) break;
        job = std::move(jobs_.front());
        jobs_.pop_front();
      }
      job();
    }
    data::close_cached_connections();
  }

  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::function<void()>> jobs_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

// Requests and their latency, by operation, in the Prometheus text format.
class Metrics {
 public:
  void record(const std::string& operation, int status, const std::string& result, double seconds) {
    const std::lock_guard lock(mutex_);
    ++requests_[{operation, std::to_string(status), result}];
    Histogram& h = latency_[operation];
    for (std::size_t i = 0; i < kBuckets.size(); ++i)
      if (seconds <= kBuckets[i]) ++h.buckets[i];
    h.sum += seconds;
    ++h.count;
  }

  std::string text() const {
    const std::lock_guard lock(mutex_);
    std::ostringstream out;
    out << "# HELP qrnmvl_requests_total Requests answered, by operation, HTTP status and "
           "operation result.\n# TYPE qrnmvl_requests_total counter\n";
    for (const auto& [key, count] : requests_)
      out << "qrnmvl_requests_total{operation=\"" << key[0] << "\",status=\"" << key[1]
          << "\",result=\"" << key[2] << "\"} " << count << "\n";
    out << "# HELP qrnmvl_request_duration_seconds Time to answer a request, by operation.\n"
           "# TYPE qrnmvl_request_duration_seconds histogram\n";
    for (const auto& [operation, h] : latency_) {
      const std::string label = "operation=\"" + operation + "\"";
      for (std::size_t i = 0; i < kBuckets.size(); ++i)
        out << "qrnmvl_request_duration_seconds_bucket{" << label << ",le=\"" << kBuckets[i]
            << "\"} " << h.buckets[i] << "\n";
      out << "qrnmvl_request_duration_seconds_bucket{" << label << ",le=\"+Inf\"} " << h.count
          << "\n"
          << "qrnmvl_request_duration_seconds_sum{" << label << "} " << h.sum << "\n"
          << "qrnmvl_request_duration_seconds_count{" << label << "} " << h.count << "\n";
    }
    return out.str();
  }

 private:
  static constexpr std::array<double, 10> kBuckets{0.001, 0.0025, 0.005, 0.01, 0.025,
                                                   0.05,  0.1,    0.25,  1,    5};
  struct Histogram {
    std::array<unsigned long, kBuckets.size()> buckets{};
    double sum = 0;
    unsigned long count = 0;
  };
  mutable std::mutex mutex_;
  std::map<std::array<std::string, 3>, unsigned long> requests_;
  std::map<std::string, Histogram> latency_;
};

// One JSON line per request, never a parameter value: they may carry personal data.
class AccessLog {
 public:
  explicit AccessLog(const std::string& path) {
    if (path.empty()) return;
    file_.open(path, std::ios::app);
    if (!file_) throw std::invalid_argument("cannot write the access log " + path);
  }

  void write(const nlohmann::ordered_json& line) {
    const std::string text = line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    const std::lock_guard lock(mutex_);
    std::ostream& out = file_.is_open() ? static_cast<std::ostream&>(file_) : std::cerr;
    out << text << "\n" << std::flush;
  }

 private:
  std::mutex mutex_;
  std::ofstream file_;
};

std::string utc_now() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char date[24];
  std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &utc);
  std::string text(date);
  text += "." + std::string(millis < 100 ? (millis < 10 ? "00" : "0") : "") +
          std::to_string(millis) + "Z";
  return text;
}

// What the handlers leave for the access log and the metrics of their request.
struct RequestNote {
  bool fresh = false;  // set by the routing of this request; a refused read never routes
  Clock::time_point start;
  std::string id;
  std::string operation;
  std::string result;
};
thread_local RequestNote t_note;

// A caller's request id is echoed back when it is a short plain word; anything
// else is replaced, so the log never holds what a caller made up freely.
std::string request_id_of(const httplib::Request& request) {
  static std::atomic<unsigned long> next{1};
  const std::string given = request.get_header_value("X-Request-Id");
  const bool plain =
      !given.empty() && given.size() <= 64 && std::all_of(given.begin(), given.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_';
      });
  return plain ? given : "r" + std::to_string(next++);
}

void answer_error(httplib::Response& response, int status, const std::string& message) {
  response.status = status;
  response.set_content(nlohmann::json{{"error", message}}.dump(
                           -1, ' ', false, nlohmann::json::error_handler_t::replace),
                       "application/json");
}

std::pair<std::string, int> split_listen(const std::string& listen) {
  const std::size_t colon = listen.rfind(':');
  if (colon == std::string::npos || colon == 0)
    throw std::invalid_argument("--listen takes HOST:PORT, not '" + listen + "'");
  const std::string port = listen.substr(colon + 1);
  if (port.empty() || port.size() > 5 ||
      !std::all_of(port.begin(), port.end(), [](char c) { return ascii::is_digit(c); }) ||
      std::stoi(port) > 65535)
    throw std::invalid_argument("--listen takes HOST:PORT, not '" + listen + "'");
  return {listen.substr(0, colon), std::stoi(port)};
}

}  // namespace

int serve(const ServeOptions& options) {
  if (options.db.empty() == options.connection_file.empty())
    throw std::invalid_argument("give the database with --db FILE or --connection-file FILE");
  std::string connection_text;
  if (!options.db.empty()) {
    struct stat info {};
    if (::stat(options.db.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
      throw std::invalid_argument("cannot open the database: no such file " + options.db);
    connection_text = "Provider=SQLite;Data Source=" + options.db;
  } else {
    connection_text = read_secret(options.connection_file, "connection");
  }
  const std::string token = read_secret(options.token_file, "token");
  const auto [host, port] = split_listen(options.listen);
  const unsigned threads =
      options.threads != 0 ? options.threads : std::max(1u, std::thread::hardware_concurrency());

  // The signals are taken by one thread of our own; every other thread,
  // the workers included, inherits the blocked mask.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

  AccessLog access_log(options.access_log);
  Metrics metrics;
  Workers workers(threads);
  httplib::Server server;
  // Threads for the client connections, apart from the workers: a client that
  // keeps its connection open holds one of these for the keep-alive time, no more.
  const unsigned connections = std::max(options.connections, 1u);
  server.new_task_queue = [connections] { return new httplib::ThreadPool(connections); };
  server.set_payload_max_length(options.max_body);
  server.set_keep_alive_max_count(100);
  // An answer goes out in two writes (head, body): without this the second
  // waits for the client's delayed acknowledgement, some 40 ms.
  server.set_tcp_nodelay(true);

  server.set_pre_routing_handler([](const httplib::Request& request, httplib::Response& response) {
    t_note = RequestNote{true, Clock::now(), request_id_of(request), "", ""};
    response.set_header("X-Request-Id", t_note.id);
    return httplib::Server::HandlerResponse::Unhandled;
  });

  const auto authorised = [&token](const httplib::Request& request, httplib::Response& response) {
    const std::string header = request.get_header_value("Authorization");
    constexpr std::string_view kBearer = "Bearer ";
    if (header.size() > kBearer.size() && header.compare(0, kBearer.size(), kBearer) == 0 &&
        same_secret(std::string_view(header).substr(kBearer.size()), token))
      return true;
    response.set_header("WWW-Authenticate", "Bearer");
    answer_error(response, 401, "a valid bearer token is required");
    return false;
  };

  server.Post(R"(/v1/operations/([A-Za-z_]+))", [&](const httplib::Request& request,
                                                    httplib::Response& response) {
    const std::string operation = request.matches[1];
    const OperationInfo* info = find_operation(operation);
    t_note.operation = info ? operation : "other";
    if (!authorised(request, response)) return;
    if (!info) return answer_error(response, 404, "unknown operation '" + operation + "'");

    // Read as the tool reads a call (the same limits, the same one-line
    // refusals), then the connection is set: the server's, and only the server's.
    nlohmann::json call;
    try {
      call = parse_json_call(request.body.empty() ? std::string_view("{}") : request.body);
    } catch (const std::invalid_argument& e) {
      return answer_error(response, 400, e.what());
    }
    if (!call.is_object()) return answer_error(response, 400, "the JSON call must be an object");
    if (call.contains("invntConecta_db"))
      return answer_error(response, 400,
                          "invntConecta_db is the server's: a request cannot name a connection");
    call["invntConecta_db"] = connection_text;

    std::string answer;
    try {
      answer = workers.run([&operation, text = call.dump()] {
        // One component per worker: an instance serves one thread at a time.
        thread_local QrnMvl component;
        return invoke_json(component, operation, text);
      });
    } catch (const std::invalid_argument& e) {
      return answer_error(response, 400, e.what());
    }
    // The connection text may hold a password: the answer gives it back Empty,
    // as the caller left it.
    auto parsed = nlohmann::ordered_json::parse(answer);
    parsed["parameters"]["invntConecta_db"] = {{"$empty", true}};
    t_note.result = parsed["result"].dump();
    answer = parsed.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    response.set_content(answer, "application/json");
  });

  server.Get("/v1/operations", [&](const httplib::Request& request, httplib::Response& response) {
    t_note.operation = "list";
    if (!authorised(request, response)) return;
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const auto& op : operations())
      list.push_back({{"name", op.name}, {"parameters", op.parameters}});
    response.set_content(list.dump(), "application/json");
  });

  server.Get("/healthz", [&](const httplib::Request&, httplib::Response& response) {
    t_note.operation = "healthz";
    // On a worker, through the connection the operations use.
    const bool reachable = workers.run([&connection_text] {
      try {
        data::cached_connection(connection_text)->execute("SELECT 1");
        return true;
      } catch (const std::exception&) {
        data::close_cached_connections();
        return false;
      }
    });
    // Why not may name the database's location: whoever asked is not told.
    if (reachable)
      response.set_content(R"({"status": "ok"})", "application/json");
    else
      answer_error(response, 503, "the database is not reachable");
  });

  server.Get("/metrics", [&](const httplib::Request&, httplib::Response& response) {
    t_note.operation = "metrics";
    response.set_content(metrics.text(), "text/plain; version=0.0.4");
  });

  // Statuses the library sets on its own (a body over the limit, a request it
  // cannot read) get the same kind of answer as ours.
  server.set_error_handler([&options](const httplib::Request&, httplib::Response& response) {
    if (!response.body.empty()) return;
    if (response.status == 413)
      answer_error(
          response, 413,
          "the request body is larger than " + std::to_string(options.max_body) + " bytes");
    else if (response.status == 404)
      answer_error(response, 404,
                   "no such endpoint: POST /v1/operations/<name>, GET /v1/operations, "
                   "/healthz or /metrics");
    else
      answer_error(response, response.status, "the request cannot be served");
  });

  server.set_exception_handler(
      [](const httplib::Request&, httplib::Response& response, std::exception_ptr) {
        answer_error(response, 500, "internal error");
      });

  server.set_logger([&](const httplib::Request& request, const httplib::Response& response) {
    if (!t_note.fresh) t_note = RequestNote{false, Clock::now(), request_id_of(request), "", ""};
    t_note.fresh = false;
    const double seconds = std::chrono::duration<double>(Clock::now() - t_note.start).count();
    const std::string operation = t_note.operation.empty() ? "other" : t_note.operation;
    metrics.record(operation, response.status, t_note.result, seconds);
    nlohmann::ordered_json line;
    line["time"] = utc_now();
    line["request_id"] = t_note.id;
    line["method"] = request.method;
    line["operation"] = operation;
    line["status"] = response.status;
    if (!t_note.result.empty()) line["result"] = std::stoi(t_note.result);
    line["duration_ms"] = std::round(seconds * 100000.0) / 100.0;
    access_log.write(line);
  });

  const int bound =
      port == 0 ? server.bind_to_any_port(host) : (server.bind_to_port(host, port) ? port : -1);
  if (bound < 0) throw std::invalid_argument("cannot listen on " + options.listen);
  std::cout << "listening on http://" << host << ":" << bound << std::endl;

  std::thread stopper([&] {
    int signal_number = 0;
    sigwait(&stop_signals, &signal_number);
    server.stop();
  });
  server.listen_after_bind();
  // A stop that did not come from a signal (the socket failed) still releases the waiter.
  if (stopper.joinable()) {
    pthread_kill(stopper.native_handle(), SIGTERM);
    stopper.join();
  }
  data::close_cached_connections();
  return 0;
}

}  // namespace qrnmvl::tool
