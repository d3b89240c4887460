#include "serve.hpp"

#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <fstream>
#include <functional>
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
#include "dcsa.hpp"
#include "http_api.hpp"
#include "http_server.hpp"

namespace qrnmvl::tool {
namespace {

using Clock = std::chrono::steady_clock;
using Json = nlohmann::ordered_json;

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

// The one layout of every JSON answer the project gives: the one `qrnmvl
// call` prints (two-space indentation, members in their order, UTF-8 as it
// is), ended by a line end.
std::string json_text(const Json& value) {
  return value.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

http::Response json_response(int status, const Json& value) {
  http::Response response;
  response.status = status;
  response.body = json_text(value);
  return response;
}

http::Response error_response(int status, const std::string& message) {
  return json_response(status, Json{{"error", message}});
}

std::string seconds_text(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%g s", seconds);
  return text;
}

// A request that outlived --request-timeout is answered 503 on the deadline
// thread with `cancelled` already set. A worker that had not started it skips
// it; an operation already running stops at its next command (the worker runs
// it under a data::CancellationScope of the flag), keeping what it committed,
// as a refusal part-way does. A command already running ends within its own
// time limit (Command Timeout).

// A request handed to a worker: answered once, by the work or by its deadline.
struct Pending {
  http::Reply reply;
  std::string operation;
  std::atomic<bool> cancelled{false};
  std::atomic<bool> settled{false};

  void settle(http::Response response) {
    if (!settled.exchange(true)) reply(std::move(response));
  }
};

// Answers 503 for each request whose work has not answered within the
// request timeout. One timeout for all, so the deadlines come in the order
// the requests were handed over.
class Deadlines {
 public:
  explicit Deadlines(double seconds)
      : timeout_(std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds))),
        message_("the operation did not answer within " + seconds_text(seconds)),
        thread_([this] { loop(); }) {}
  ~Deadlines() {
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  Deadlines(const Deadlines&) = delete;
  Deadlines& operator=(const Deadlines&) = delete;

  void watch(const std::shared_ptr<Pending>& pending) {
    const std::lock_guard lock(mutex_);
    due_.emplace_back(Clock::now() + timeout_, pending);
    if (due_.size() == 1) wake_.notify_all();
  }

 private:
  void loop() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
      if (due_.empty()) {
        wake_.wait(lock);
        continue;
      }
      const auto [when, which] = due_.front();
      if (Clock::now() < when) {
        wake_.wait_until(lock, when);
        continue;
      }
      due_.pop_front();
      const auto pending = which.lock();
      if (!pending || pending->settled) continue;
      lock.unlock();
      pending->cancelled = true;
      http::Response response = error_response(503, message_);
      response.outcome = "timeout";
      pending->settle(std::move(response));
      lock.lock();
    }
  }

  const Clock::duration timeout_;
  const std::string message_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::pair<Clock::time_point, std::weak_ptr<Pending>>> due_;
  bool stopping_ = false;
  std::thread thread_;
};

// Threads that run the work of requests. The event loop that reads and writes
// HTTP never touches the database, so a client slow to send or to read holds
// no database connection.
class Pool {
 public:
  explicit Pool(unsigned count) : running_(count) {
    for (unsigned i = 0; i < count; ++i) threads_.emplace_back([this] { loop(); });
  }
  ~Pool() {
    {
      const std::lock_guard lock(mutex_);
      stopping_ = true;
      jobs_.clear();
    }
    ready_.notify_all();
    for (auto& thread : threads_)
      if (thread.joinable()) thread.join();
  }
  Pool(const Pool&) = delete;
  Pool& operator=(const Pool&) = delete;

  void submit(std::function<void()> job) {
    {
      const std::lock_guard lock(mutex_);
      if (stopping_) return;
      jobs_.push_back(std::move(job));
    }
    ready_.notify_one();
  }

  // Jobs running now.
  unsigned busy() const { return busy_; }

  // Drops the jobs not started and waits for the running ones until `until`:
  // false when one is still running then (its thread cannot be stopped).
  bool stop(Clock::time_point until) {
    std::unique_lock lock(mutex_);
    stopping_ = true;
    jobs_.clear();
    ready_.notify_all();
    if (!ended_.wait_until(lock, until, [this] { return running_ == 0; })) return false;
    lock.unlock();
    for (auto& thread : threads_)
      if (thread.joinable()) thread.join();
    return true;
  }

 private:
  void loop() {
    for (;;) {
      std::function<void()> job;
      {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
        if (stopping_) break;
        job = std::move(jobs_.front());
        jobs_.pop_front();
      }
      ++busy_;
      job();
      --busy_;
    }
    data::close_cached_connections();
    const std::lock_guard lock(mutex_);
    if (--running_ == 0) ended_.notify_all();
  }

  std::mutex mutex_;
  std::condition_variable ready_, ended_;
  std::deque<std::function<void()>> jobs_;
  bool stopping_ = false;
  unsigned running_;
  std::atomic<unsigned> busy_{0};
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

  std::string text(const http::Server* server) const {
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
    if (server) {
      const http::Refusals refused = server->refusals();
      out << "# HELP qrnmvl_connections_open Client connections open.\n"
             "# TYPE qrnmvl_connections_open gauge\nqrnmvl_connections_open "
          << server->open_connections()
          << "\n# HELP qrnmvl_connections_refused_total Connections closed as they were "
             "accepted, by the limit they passed.\n"
             "# TYPE qrnmvl_connections_refused_total counter\n"
             "qrnmvl_connections_refused_total{limit=\"connections\"} "
          << refused.connections
          << "\nqrnmvl_connections_refused_total{limit=\"connections_per_address\"} "
          << refused.per_address << "\n";
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

// One JSON line per request, never a parameter value: they may carry personal
// data. A log line is a record, not an answer: it stays on one line.
class AccessLog {
 public:
  explicit AccessLog(const std::string& path) {
    if (path.empty()) return;
    file_.open(path, std::ios::app);
    if (!file_) throw std::invalid_argument("cannot write the access log " + path);
  }

  void write(const Json& line) {
    const std::string text = line.dump(-1, ' ', false, Json::error_handler_t::replace);
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
  char text[32];
  std::snprintf(text, sizeof text, "%s.%03dZ", date, static_cast<int>(millis));
  return text;
}

std::string fresh_request_id() {
  static std::atomic<unsigned long> next{1};
  return "r" + std::to_string(next++);
}

// A caller's request id is echoed back when it is a short plain word; anything
// else is replaced, so the log never holds what a caller made up freely.
std::string request_id_of(const http::Request& request) {
  const std::string_view given = request.header("X-Request-Id");
  const bool plain =
      !given.empty() && given.size() <= 64 && std::all_of(given.begin(), given.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_';
      });
  return plain ? std::string(given) : fresh_request_id();
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
  std::string host = listen.substr(0, colon);
  // [::1]:8080
  if (host.size() > 2 && host.front() == '[' && host.back() == ']')
    host = host.substr(1, host.size() - 2);
  return {host, std::stoi(port)};
}

enum class Route { None, Operation, List, Describe, Health, Metrics, Events };

// What every request shares: the secrets, the limits, the workers, the log.
class Service final : public http::Service {
 public:
  Service(const ServeOptions& options, std::string connection_text, std::string token,
          unsigned threads)
      : connection_text_(std::move(connection_text)),
        token_(std::move(token)),
        max_array_(options.max_array),
        access_log_(options.access_log),
        description_(json_text(http::openapi_description({options.max_body, options.max_array,
                                                            options.receive_timeout,
                                                            options.request_timeout}))),
        workers_(threads),
        probe_(1),
        deadlines_(options.request_timeout) {}

  std::unique_ptr<http::Exchange> open() override;

  http::Response error(int status, const std::string& message) const override {
    http::Response response = error_response(status, message);
    if (status == 503) response.outcome = "stopping";
    return response;
  }

  void attach(const http::Server* server) { server_ = server; }

  // Operations (and health checks) running now, answered or not.
  unsigned busy() const { return workers_.busy() + probe_.busy(); }

  // The worker threads, when they could not be stopped by `until`: false.
  bool stop_work(Clock::time_point until) {
    const bool workers = workers_.stop(until);
    const bool probe = probe_.stop(until);
    return workers && probe;
  }

  bool authorised(const http::Request& request) const {
    const std::string_view header = request.header("Authorization");
    constexpr std::string_view kBearer = "Bearer ";
    return header.size() > kBearer.size() && ascii::starts_with_name(header, kBearer) &&
           same_secret(header.substr(kBearer.size()), token_);
  }

  http::Response operation_list() const {
    Json list = Json::array();
    for (const auto& op : operations())
      list.push_back({{"name", op.name}, {"parameters", op.parameters}});
    return json_response(200, list);
  }

  http::Response description() const {
    http::Response response;
    response.body = description_;
    return response;
  }

  http::Response metrics() const {
    http::Response response;
    response.content_type = "text/plain; version=0.0.4";
    response.body = metrics_.text(server_);
    return response;
  }

  // Hands work to a pool, answered by it or by the request's deadline.
  http::Deferred later(bool on_probe, std::string operation,
                       std::function<http::Response()> work) {
    return [this, on_probe, operation = std::move(operation),
            work = std::move(work)](http::Reply reply) mutable {
      auto pending = std::make_shared<Pending>();
      pending->reply = std::move(reply);
      pending->operation = std::move(operation);
      deadlines_.watch(pending);
      (on_probe ? probe_ : workers_).submit([pending, work = std::move(work)] {
        // Its deadline passed while it waited: it has been answered.
        if (pending->cancelled) return;
        http::Response response;
        try {
          const data::CancellationScope stop_when(pending->cancelled);
          response = work();
        } catch (const std::exception&) {
          response = error_response(500, "internal error");
        }
        pending->settle(std::move(response));
      });
    };
  }

  // On a worker: the call read as the tool reads it (the same limits, the
  // same one-line refusals), checked for its size, given the server's
  // connection, run.
  http::Response run_operation(const std::string& operation, const std::string& body) const {
    if (ascii::trim_blanks(body).empty())
      return error_response(400, "the request body is empty: send the JSON call, {} for none");
    nlohmann::json call;
    try {
      call = parse_json_call(body);
    } catch (const std::invalid_argument& e) {
      return error_response(400, e.what());
    }
    if (!call.is_object()) return error_response(400, "the JSON call must be an object");
    if (call.contains("invntConecta_db"))
      return error_response(400,
                            "invntConecta_db is the server's: a request cannot name a connection");
    if (auto why = http::oversized(call, operation, max_array_)) return error_response(400, *why);
    call["invntConecta_db"] = connection_text_;

    std::string answer;
    try {
      // One component per worker: an instance serves one thread at a time.
      thread_local QrnMvl component;
      answer = invoke_json(component, operation, call.dump());
    } catch (const std::invalid_argument& e) {
      return error_response(400, e.what());
    }
    // The connection text may hold a password: the answer gives it back
    // Empty, as the caller left it.
    auto parsed = Json::parse(answer);
    parsed["parameters"]["invntConecta_db"] = {{"$empty", true}};
    http::Response response = json_response(200, parsed);
    response.outcome = parsed["result"].dump();
    return response;
  }

  // On the probe thread, through a connection of its own: a health check
  // never waits behind the operations.
  // On a worker: an order's tracking events as DCSA equipment events.
  http::Response order_events(const std::string& order) const {
    long order_id = 0;
    const auto [end, error] = std::from_chars(order.data(), order.data() + order.size(), order_id);
    if (error != std::errc() || end != order.data() + order.size() || order_id <= 0)
      return error_response(400, "the order id must be a whole number above 0");
    try {
      http::Response response;
      response.content_type = "application/json";
      response.body = dcsa_events_json(connection_text_, order_id) + "\n";
      return response;
    } catch (const NotFound& e) {
      return error_response(404, e.what());
    } catch (const Error&) {
      return error_response(503, "the database cannot be read now");
    }
  }

  http::Response health() const {
    bool reachable = false;
    try {
      data::cached_connection(connection_text_)->execute("SELECT 1");
      reachable = true;
    } catch (const std::exception&) {
      data::close_cached_connections();
    }
    // Why not may name the database's location: whoever asked is not told.
    if (!reachable) return error_response(503, "the database is not reachable");
    return json_response(200, Json{{"status", "ok"}});
  }

  void finished(const std::string& id, const std::string& method, const std::string& operation,
                int status, const std::string& outcome, Clock::time_point start) {
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const bool ran = !outcome.empty() && ascii::is_digit(outcome.front());
    metrics_.record(operation, status, ran ? outcome : "", seconds);
    Json line;
    line["time"] = utc_now();
    line["request_id"] = id;
    if (!method.empty()) line["method"] = method;
    line["operation"] = operation;
    line["status"] = status;
    if (ran) line["result"] = std::stoi(outcome);
    if (outcome == "timeout") line["timed_out"] = true;
    line["duration_ms"] = std::round(seconds * 100000.0) / 100.0;
    access_log_.write(line);
  }

 private:
  const std::string connection_text_;
  const std::string token_;
  const std::size_t max_array_;
  AccessLog access_log_;
  Metrics metrics_;
  const std::string description_;
  std::atomic<const http::Server*> server_{nullptr};
  Pool workers_;
  Pool probe_;
  Deadlines deadlines_;
};

// One request: routed at its head (the token checked before any of the body
// is read), answered when it is whole, logged at its end.
class Exchange final : public http::Exchange {
 public:
  explicit Exchange(Service& service) : service_(service), start_(Clock::now()) {}

  std::optional<http::Response> head(const http::Request& request) override {
    id_ = request_id_of(request);
    note(request);
    if (route_ == Route::None)
      return refused(request, 404,
                     "no such endpoint: POST /v1/operations/<name>, GET /v1/operations, "
                     "/v1/orders/<id>/events, /v1/openapi.json, /healthz or /metrics");
    // Everything but the health check and the metrics is the token holder's.
    if (route_ != Route::Health && route_ != Route::Metrics && !service_.authorised(request)) {
      http::Response response = refused(request, 401, "a valid bearer token is required");
      response.headers.push_back({"WWW-Authenticate", "Bearer"});
      return response;
    }
    if (route_ == Route::Operation && label_ == "other")
      return refused(request, 404, "unknown operation '" + one_line(operation_) + "'");
    return std::nullopt;
  }

  std::variant<http::Response, http::Deferred> whole(http::Request request) override {
    switch (route_) {
      case Route::List:
        return tagged(service_.operation_list());
      case Route::Describe:
        return tagged(service_.description());
      case Route::Metrics:
        return tagged(service_.metrics());
      case Route::Health:
        return tagged_later(true, "healthz", [&service = service_] { return service.health(); });
      case Route::Events:
        return tagged_later(false, "events", [&service = service_, order = operation_] {
          return service.order_events(order);
        });
      case Route::Operation:
        return tagged_later(false, operation_,
                            [&service = service_, operation = operation_,
                             body = std::move(request.body)] {
                              return service.run_operation(operation, body);
                            });
      case Route::None:
        break;
    }
    return refused(request, 500, "internal error");
  }

  http::Response refused(const http::Request& request, int status,
                         const std::string& message) override {
    note(request);
    return tagged(error_response(status, message));
  }

  void finished(int status, const std::string& outcome) override {
    service_.finished(id_.empty() ? fresh_request_id() : id_, method_,
                      label_.empty() ? "other" : label_, status, outcome, start_);
  }

 private:
  // Where the request goes, and what the log and the metrics call it.
  void note(const http::Request& request) {
    if (!method_.empty()) return;
    method_ = request.method;
    const std::string& path = request.path;
    constexpr std::string_view kOperations = "/v1/operations/";
    const bool get = request.method == "GET";
    if (path.compare(0, kOperations.size(), kOperations) == 0 && request.method == "POST") {
      operation_ = path.substr(kOperations.size());
      label_ = find_operation(operation_) ? operation_ : "other";
      route_ = Route::Operation;
    } else if (constexpr std::string_view kOrders = "/v1/orders/", kEvents = "/events";
               get && path.size() > kOrders.size() + kEvents.size() &&
               path.compare(0, kOrders.size(), kOrders) == 0 &&
               path.compare(path.size() - kEvents.size(), kEvents.size(), kEvents) == 0) {
      operation_ = path.substr(kOrders.size(), path.size() - kOrders.size() - kEvents.size());
      label_ = "events";
      route_ = Route::Events;
    } else if (get && path == "/v1/operations") {
      label_ = "list";
      route_ = Route::List;
    } else if (get && path == "/v1/openapi.json") {
      label_ = "openapi";
      route_ = Route::Describe;
    } else if (get && path == "/healthz") {
      label_ = "healthz";
      route_ = Route::Health;
    } else if (get && path == "/metrics") {
      label_ = "metrics";
      route_ = Route::Metrics;
    } else {
      label_ = "other";
    }
  }

  http::Response tagged(http::Response response) {
    if (id_.empty()) id_ = fresh_request_id();
    response.headers.push_back({"X-Request-Id", id_});
    return response;
  }

  http::Deferred tagged_later(bool on_probe, std::string operation,
                              std::function<http::Response()> work) {
    if (id_.empty()) id_ = fresh_request_id();
    return service_.later(on_probe, std::move(operation),
                          [work = std::move(work), id = id_] {
                            http::Response response = work();
                            response.headers.push_back({"X-Request-Id", id});
                            return response;
                          });
  }

  Service& service_;
  const Clock::time_point start_;
  std::string id_, method_, label_, operation_;
  Route route_ = Route::None;
};

std::unique_ptr<http::Exchange> Service::open() { return std::make_unique<Exchange>(*this); }

std::chrono::milliseconds millis(double seconds) {
  return std::chrono::milliseconds(static_cast<long long>(std::ceil(seconds * 1000)));
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
  std::string token = read_secret(options.token_file, "token");
  const auto [host, port] = split_listen(options.listen);
  const unsigned threads =
      options.threads != 0 ? options.threads : std::max(1u, std::thread::hardware_concurrency());

  // The signals are taken by this thread alone; every other thread, the
  // workers and the HTTP library's included, inherits the blocked mask.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGTERM);
  sigaddset(&stop_signals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

  http::Limits limits;
  limits.max_body = options.max_body;
  limits.max_header_bytes = options.max_header_bytes;
  limits.max_headers = options.max_headers;
  limits.receive_timeout = millis(options.receive_timeout);
  limits.idle_timeout = std::chrono::seconds(std::max(1u, options.idle_timeout));
  limits.connections = std::max(1u, options.connections);
  limits.connections_per_address = std::max(1u, options.connections_per_address);

  Service service(options, std::move(connection_text), std::move(token), threads);
  http::Server server(host, port, limits, service);
  service.attach(&server);
  std::cout << "listening on http://" << (host.find(':') != std::string::npos ? "[" + host + "]" : host)
            << ":" << server.port() << std::endl;

  int signal_number = 0;
  sigwait(&stop_signals, &signal_number);

  // Stopping: nothing new comes in, the idle and the half-sent go, what was
  // read whole gets the grace to be answered. A second signal does not wait.
  server.drain();
  const auto grace_end = Clock::now() + millis(options.grace);
  const timespec tick{0, 20'000'000};
  // An operation whose request was answered at its deadline is waited for
  // too: cut off, its work would be rolled back.
  while ((server.in_flight() > 0 || service.busy() > 0) && Clock::now() < grace_end) {
    if (sigtimedwait(&stop_signals, nullptr, &tick) > 0) {
      std::cerr << "qrnmvl: stopped at a second signal, " << server.in_flight()
                << " request(s) unanswered" << std::endl;
      std::_Exit(1);
    }
  }
  const std::size_t unanswered = server.in_flight();
  // What is still running is answered 503 now, and the connections closed.
  server.stop();
  // A worker inside an operation cannot be stopped from here: the process
  // ends without it (the database rolls back what it left open).
  if (!service.stop_work(Clock::now() + std::chrono::milliseconds(200))) {
    std::cerr << "qrnmvl: stopped after the grace with an operation still running" << std::endl;
    std::_Exit(1);
  }
  if (unanswered > 0) {
    std::cerr << "qrnmvl: stopped after the grace, " << unanswered
              << " request(s) answered 503" << std::endl;
    return 1;
  }
  data::close_cached_connections();
  return 0;
}

}  // namespace qrnmvl::tool
