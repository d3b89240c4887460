// The HTTP side of `qrnmvl serve`: connections, their limits and timeouts, on
// one event loop, so an open connection costs memory and no thread. The service
// sees plain requests and answers; the HTTP library stays inside
// http_server.cpp.
//
// Every limit is applied before the service sees the request, or, for the
// body, as its bytes arrive: a client can make the service read no more than
// Limits allow and hold no connection longer than its timeouts.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace qrnmvl::tool::http {

struct Limits {
  std::size_t max_body = 1 << 20;  // bytes as they arrive, with a length or chunked: 413
  std::size_t max_header_bytes = 8192;  // the request line and the header fields: 431
  unsigned max_headers = 64;            // header fields: 431
  // From the request line to the last byte of the body: 408.
  std::chrono::milliseconds receive_timeout{10'000};
  // A connection silent this long is closed, between requests or within one.
  std::chrono::seconds idle_timeout{5};
  unsigned connections = 512;             // open at once; more are closed as they are accepted
  unsigned connections_per_address = 64;  // open at once from one client address
};

struct Header {
  std::string name, value;
};

struct Request {
  std::string method;
  std::string path;    // without the query
  std::string client;  // the peer's address
  std::vector<Header> headers;
  std::string body;

  // The first header field of that name, whatever its case; empty when there is none.
  std::string_view header(std::string_view name) const;
};

struct Response {
  int status = 200;
  std::string content_type = "application/json";
  std::vector<Header> headers;
  std::string body;
  // Never sent: handed back to Exchange::finished with the status, so the
  // service can log what it decided (an operation's result, a timeout).
  std::string outcome;
};

// Gives the answer of a request whose work was deferred. Any thread; the
// first call wins and later ones are dropped, so a deadline and the work it
// guards may both answer.
using Reply = std::function<void(Response)>;
// Work that answers later through the Reply, started once the connection
// waits for it (and never before, so it may answer at once).
using Deferred = std::function<void(Reply)>;

// One request's course through the service. The server calls it on its event
// loop, one call at a time: nothing here may block.
class Exchange {
 public:
  virtual ~Exchange() = default;
  // The head is in and within the limits, the body not read yet. An answer
  // here refuses the request before a byte of its body is read; the connection
  // closes after it when a body was on its way.
  virtual std::optional<Response> head(const Request& request) = 0;
  // The whole request: an answer now, or work that answers later.
  virtual std::variant<Response, Deferred> whole(Request request) = 0;
  // The answer for a limit the request passed (status and a one-line why),
  // perhaps before head() was called: the request has its method, path and
  // header fields.
  virtual Response refused(const Request& request, int status, const std::string& message) = 0;
  // The request is over: the status sent (0 when no answer went out) and the
  // outcome of the response that carried it.
  virtual void finished(int status, const std::string& outcome) = 0;
};

class Service {
 public:
  virtual ~Service() = default;
  // A request has begun (its request line is in).
  virtual std::unique_ptr<Exchange> open() = 0;
  // The answer for a limit passed where no exchange can be asked (a request
  // cut by its deadline or by the stop). Any thread.
  virtual Response error(int status, const std::string& message) const = 0;
};

// How many connections were closed as they were accepted, and why.
struct Refusals {
  unsigned long connections = 0;  // Limits::connections were open
  unsigned long per_address = 0;  // Limits::connections_per_address were open from that address
};

class Server {
 public:
  // Binds host:port (port 0: a free one) and serves at once. The address is
  // taken by this process alone: a second server on it is refused.
  // std::invalid_argument with the reason when it cannot listen.
  Server(const std::string& host, int port, const Limits& limits, Service& service);
  // Stops, as stop() does.
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  int port() const;

  // Takes no new connection (a client trying is refused at once), closes the
  // idle connections and those still sending a request, and marks every later
  // answer as the last of its connection. Requests read whole go on.
  void drain();
  // Requests read whole whose answer has not gone out yet.
  std::size_t in_flight() const;
  std::size_t open_connections() const;
  Refusals refusals() const;
  // Answers what is still waiting for its work with 503 (the work's own reply
  // is then dropped), gives those answers a moment to go out, and closes
  // every connection. Safe to call more than once.
  void stop();

 private:
  struct Core;
  std::shared_ptr<Core> core_;
};

}  // namespace qrnmvl::tool::http
