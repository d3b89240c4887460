// The HTTP layer on GNU libmicrohttpd: one event-loop thread for every
// connection, a connection suspended while its request is worked on elsewhere
// and resumed with the answer.
//
// The library keeps no deadline for a whole request, refuses a connection
// over its overall limit by leaving it unaccepted (the client waits), and
// cannot queue an answer while a body is arriving. So this file keeps its own
// table of the open connections: it refuses connections over the limits as
// they are accepted, a thread of its own cuts requests that take too long to
// arrive, and an answer given while a body arrives (413, 408, 503 at the
// stop) is written to the socket directly and the connection closed.
#include "http_server.hpp"

#include <arpa/inet.h>
#include <microhttpd.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <unordered_map>

#include "common/text.hpp"

namespace qrnmvl::tool::http {

using Clock = std::chrono::steady_clock;

std::string_view Request::header(std::string_view name) const {
  for (const Header& field : headers)
    if (ascii::same_name(field.name, name)) return field.value;
  return {};
}

namespace {

enum class Phase {
  Idle,       // between requests, or before the first request line
  Receiving,  // the request line is in, the rest of the request not yet
  Working,    // read whole, waiting for its answer
  Sending,    // its answer is queued
};

struct Call;

struct Conn {
  MHD_Connection* mhd = nullptr;
  int fd = -1;
  std::string address;
  Phase phase = Phase::Idle;
  Clock::time_point since;
  std::shared_ptr<Call> call;
  // Answered (or not) and shut down from off the event loop: the loop must not
  // answer it again.
  bool cut = false;
};

// One request, from its request line to its end.
struct Call : std::enable_shared_from_this<Call> {
  std::unique_ptr<Exchange> exchange;
  MHD_Connection* mhd = nullptr;
  Request request;
  bool head_done = false;
  bool has_body = false;  // a length above 0, or chunked
  bool working = false;   // whole() was called
  bool finished = false;  // Exchange::finished was called
  // What was sent; set on the event loop, or by the deadline thread under the
  // table's mutex for a request it cut.
  int status = 0;
  std::string outcome;

  // The deferred answer, given from any thread.
  std::mutex mutex;
  bool replied = false;
  std::optional<Response> reply;
};

std::string address_text(const sockaddr* address) {
  char text[INET6_ADDRSTRLEN] = "";
  if (address && address->sa_family == AF_INET)
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text,
              sizeof text);
  else if (address && address->sa_family == AF_INET6)
    inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr, text,
              sizeof text);
  return text;
}

// An answer written straight to the socket, for a request the library cannot
// answer in its state (its body is still arriving, or it is not read at all).
// The connection is closed after it, so it says so.
void write_directly(int fd, const Response& response) {
  const char* reason = MHD_get_reason_phrase_for(static_cast<unsigned>(response.status));
  std::string text = "HTTP/1.1 " + std::to_string(response.status) + " " +
                     (reason ? reason : "") + "\r\nConnection: close\r\nContent-Type: " +
                     response.content_type +
                     "\r\nContent-Length: " + std::to_string(response.body.size()) + "\r\n";
  for (const Header& field : response.headers) text += field.name + ": " + field.value + "\r\n";
  text += "\r\n" + response.body;
  // A fresh answer of a few hundred bytes fits the socket's buffer; a client
  // that has not read what it was sent before gets what fits.
  [[maybe_unused]] const ssize_t sent =
      ::send(fd, text.data(), text.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
}

std::string seconds_text(std::chrono::milliseconds duration) {
  const auto millis = duration.count();
  if (millis % 1000 == 0) return std::to_string(millis / 1000) + " s";
  return std::to_string(millis / 1000) + "." + std::to_string(millis % 1000 / 100) + " s";
}

}  // namespace

struct Server::Core : std::enable_shared_from_this<Core> {
  Limits limits;
  Service* service = nullptr;
  int listen_fd = -1;
  int port = 0;
  MHD_Daemon* daemon = nullptr;
  bool quiesced = false;
  bool stop_begun = false;  // only stop() and the destructor, on the owner's thread

  // The open connections, their phases, the counts by address.
  mutable std::mutex mutex;
  std::unordered_map<MHD_Connection*, std::unique_ptr<Conn>> conns;
  std::unordered_map<std::string, unsigned> per_address;
  Refusals refused;
  bool draining = false;

  // A connection is resumed only while the library runs.
  std::mutex resume_mutex;
  bool stopped = false;

  std::thread deadlines;
  std::mutex deadlines_mutex;
  std::condition_variable deadlines_wake;
  bool deadlines_stop = false;

  // ---- the library's callbacks, on its event loop ----

  // Nothing may be thrown back into the library: a callback that cannot do
  // its work refuses the connection or lets it go untracked (and so unserved).
  static MHD_Result on_accept(void* cls, const sockaddr* address, socklen_t) try {
    Core& core = *static_cast<Core*>(cls);
    const std::string text = address_text(address);
    const std::lock_guard lock(core.mutex);
    if (core.draining) return MHD_NO;
    if (core.conns.size() >= core.limits.connections) {
      ++core.refused.connections;
      return MHD_NO;
    }
    const auto same = core.per_address.find(text);
    if (same != core.per_address.end() && same->second >= core.limits.connections_per_address) {
      ++core.refused.per_address;
      return MHD_NO;
    }
    return MHD_YES;
  } catch (const std::exception&) {
    return MHD_NO;
  }

  static void on_connection(void* cls, MHD_Connection* mhd, void**,
                            MHD_ConnectionNotificationCode code) try {
    Core& core = *static_cast<Core*>(cls);
    if (code == MHD_CONNECTION_NOTIFY_STARTED) {
      auto conn = std::make_unique<Conn>();
      conn->mhd = mhd;
      if (const auto* info = MHD_get_connection_info(mhd, MHD_CONNECTION_INFO_CONNECTION_FD))
        conn->fd = info->connect_fd;
      if (const auto* info = MHD_get_connection_info(mhd, MHD_CONNECTION_INFO_CLIENT_ADDRESS))
        conn->address = address_text(info->client_addr);
      conn->since = Clock::now();
      const std::lock_guard lock(core.mutex);
      ++core.per_address[conn->address];
      core.conns.emplace(mhd, std::move(conn));
      return;
    }
    std::shared_ptr<Call> left;
    {
      const std::lock_guard lock(core.mutex);
      const auto found = core.conns.find(mhd);
      if (found == core.conns.end()) return;
      left = std::move(found->second->call);
      const auto count = core.per_address.find(found->second->address);
      if (count != core.per_address.end() && --count->second == 0) core.per_address.erase(count);
      core.conns.erase(found);
    }
    // A request whose head never came in whole is not the library's to end.
    if (left) core.finish(*left);
  } catch (const std::exception&) {
  }

  static void* on_request_line(void* cls, const char*, MHD_Connection* mhd) {
    Core& core = *static_cast<Core*>(cls);
    try {
      auto call = std::make_shared<Call>();
      call->mhd = mhd;
      call->exchange = core.service->open();
      std::shared_ptr<Call> earlier;
      {
        const std::lock_guard lock(core.mutex);
        const auto found = core.conns.find(mhd);
        if (found == core.conns.end()) return nullptr;
        Conn& conn = *found->second;
        earlier = std::move(conn.call);
        conn.call = call;
        if (!conn.cut) {
          conn.phase = Phase::Receiving;
          conn.since = Clock::now();
        }
      }
      if (earlier) core.finish(*earlier);
      return call.get();
    } catch (const std::exception&) {
      return nullptr;
    }
  }

  static MHD_Result on_request(void* cls, MHD_Connection*, const char* url, const char* method,
                               const char* version, const char* data, std::size_t* size,
                               void** request_context) {
    Core& core = *static_cast<Core*>(cls);
    Call* call = static_cast<Call*>(*request_context);
    if (!call) return MHD_NO;
    try {
      if (!call->head_done) return core.on_head(*call, url, method, version);
      if (*size != 0) return core.on_body(*call, data, size);
      return core.on_whole(*call);
    } catch (const std::exception&) {
      // Nothing is known to have been sent: the connection goes.
      return MHD_NO;
    }
  }

  static void on_completed(void* cls, MHD_Connection* mhd, void** request_context,
                           MHD_RequestTerminationCode) {
    Core& core = *static_cast<Core*>(cls);
    Call* call = static_cast<Call*>(*request_context);
    if (!call) return;
    std::shared_ptr<Call> done;
    {
      const std::lock_guard lock(core.mutex);
      const auto found = core.conns.find(mhd);
      if (found == core.conns.end() || found->second->call.get() != call) return;
      Conn& conn = *found->second;
      done = std::move(conn.call);
      if (!conn.cut) {
        conn.phase = Phase::Idle;
        conn.since = Clock::now();
      }
    }
    core.finish(*done);
  }

  // ---- one request ----

  void finish(Call& call) {
    int status;
    std::string outcome;
    {
      const std::lock_guard lock(mutex);
      if (call.finished) return;
      call.finished = true;
      status = call.status;
      outcome = call.outcome;
    }
    try {
      call.exchange->finished(status, outcome);
    } catch (const std::exception&) {
      // The log is the service's; a request is over whatever it does.
    }
  }

  Conn* conn_of(MHD_Connection* mhd) {
    const auto found = conns.find(mhd);
    return found == conns.end() ? nullptr : found->second.get();
  }

  MHD_Result on_head(Call& call, const char* url, const char* method, const char* version) {
    call.head_done = true;
    Request& request = call.request;
    request.method = method;
    request.path = url;
    {
      const std::lock_guard lock(mutex);
      if (Conn* conn = conn_of(call.mhd)) request.client = conn->address;
    }
    MHD_get_connection_values_n(
        call.mhd, MHD_HEADER_KIND,
        [](void* into, MHD_ValueKind, const char* name, std::size_t name_size, const char* value,
           std::size_t value_size) {
          static_cast<std::vector<Header>*>(into)->push_back(
              {std::string(name, name_size), value ? std::string(value, value_size) : ""});
          return MHD_YES;
        },
        &request.headers);

    std::size_t head_bytes = std::strlen(method) + std::strlen(url) + std::strlen(version) + 4;
    for (const Header& field : request.headers) head_bytes += field.name.size() + field.value.size() + 4;
    if (head_bytes > limits.max_header_bytes)
      return refuse(call, 431,
                    "the request head is larger than " + std::to_string(limits.max_header_bytes) +
                        " bytes");
    if (request.headers.size() > limits.max_headers)
      return refuse(call, 431,
                    "the request has more than " + std::to_string(limits.max_headers) +
                        " header fields");

    const std::string_view transfer = ascii::trim_blanks(request.header("Transfer-Encoding"));
    const std::string_view length_text = ascii::trim_blanks(request.header("Content-Length"));
    const std::string_view encoding = ascii::trim_blanks(request.header("Content-Encoding"));
    // Only chunked is read as chunked, and a body announced two ways is how
    // requests are smuggled past a proxy: both are refused unread.
    if (!transfer.empty() && !ascii::same_name(transfer, "chunked"))
      return refuse(call, 501,
                    "Transfer-Encoding '" + std::string(transfer) +
                        "' is not taken: send the body with a Content-Length, or chunked");
    if (!transfer.empty() && !length_text.empty())
      return refuse(call, 400, "a request cannot carry both Content-Length and Transfer-Encoding");
    // An encoded body would be inflated to read it: whatever it would become, it is not read.
    if (!encoding.empty() && !ascii::same_name(encoding, "identity"))
      return refuse(call, 415,
                    "Content-Encoding '" + std::string(encoding) +
                        "' is not taken: send the JSON call unencoded");
    std::size_t length = 0;
    if (!length_text.empty()) {
      const auto [end, error] =
          std::from_chars(length_text.data(), length_text.data() + length_text.size(), length);
      if (error != std::errc() || end != length_text.data() + length_text.size())
        length = limits.max_body + 1;
    }
    call.has_body = !transfer.empty() || length > 0;
    if (length > limits.max_body)
      return refuse(call, 413,
                    "the request body is larger than " + std::to_string(limits.max_body) +
                        " bytes");
    {
      const std::lock_guard lock(mutex);
      if (draining) {
        Conn* conn = conn_of(call.mhd);
        if (conn && !conn->cut) {
          const Response response = service->error(503, "the service is stopping");
          return queue(call, response, true);
        }
      }
    }
    request.body.reserve(length);
    if (auto answer = call.exchange->head(request)) return queue(call, *answer, call.has_body);
    return MHD_YES;
  }

  MHD_Result on_body(Call& call, const char* data, std::size_t* size) {
    if (call.request.body.size() + *size > limits.max_body) {
      // Over the limit while it arrives: answered now, the rest never read.
      const Response response = call.exchange->refused(
          call.request, 413,
          "the request body is larger than " + std::to_string(limits.max_body) + " bytes");
      const std::lock_guard lock(mutex);
      Conn* conn = conn_of(call.mhd);
      if (!conn || conn->cut) return MHD_NO;
      conn->cut = true;
      call.status = response.status;
      call.outcome = response.outcome;
      write_directly(conn->fd, response);
      return MHD_NO;
    }
    call.request.body.append(data, *size);
    *size = 0;
    return MHD_YES;
  }

  MHD_Result on_whole(Call& call) {
    if (call.working) {
      // Resumed: the answer is in.
      std::optional<Response> answer;
      {
        const std::lock_guard lock(call.mutex);
        answer = std::move(call.reply);
      }
      if (!answer) return MHD_NO;
      return queue(call, *answer, false);
    }
    {
      const std::lock_guard lock(mutex);
      Conn* conn = conn_of(call.mhd);
      // Cut by its deadline or by the stop: it has had its answer.
      if (!conn || conn->cut) return MHD_NO;
      conn->phase = Phase::Working;
    }
    call.working = true;
    Request request = std::move(call.request);
    call.request.method = request.method;
    call.request.path = request.path;
    auto next = call.exchange->whole(std::move(request));
    if (auto* now = std::get_if<Response>(&next)) return queue(call, *now, false);
    // Suspended before the work starts, so the work may answer at once.
    MHD_suspend_connection(call.mhd);
    const Reply reply = reply_for(call.shared_from_this());
    try {
      std::get<Deferred>(next)(reply);
    } catch (const std::exception&) {
      reply(call.exchange->refused(call.request, 500, "internal error"));
    }
    return MHD_YES;
  }

  Reply reply_for(std::shared_ptr<Call> call) {
    return [core = shared_from_this(), call = std::move(call)](Response response) {
      {
        const std::lock_guard lock(call->mutex);
        if (call->replied) return;
        call->replied = true;
        call->reply = std::move(response);
      }
      const std::lock_guard lock(core->resume_mutex);
      if (!core->stopped) MHD_resume_connection(call->mhd);
    };
  }

  MHD_Result refuse(Call& call, int status, const std::string& message) {
    // A request refused by a limit is never followed on its connection: what
    // it sent next cannot be told from its body.
    return queue(call, call.exchange->refused(call.request, status, message), true);
  }

  MHD_Result queue(Call& call, const Response& response, bool last) {
    {
      const std::lock_guard lock(mutex);
      Conn* conn = conn_of(call.mhd);
      if (!conn || conn->cut) return MHD_NO;
      conn->phase = Phase::Sending;
      last = last || draining;
      call.status = response.status;
      call.outcome = response.outcome;
    }
    MHD_Response* answer = MHD_create_response_from_buffer(
        response.body.size(), const_cast<char*>(response.body.data()), MHD_RESPMEM_MUST_COPY);
    if (!answer) return MHD_NO;
    MHD_add_response_header(answer, "Content-Type", response.content_type.c_str());
    for (const Header& field : response.headers)
      MHD_add_response_header(answer, field.name.c_str(), field.value.c_str());
    // The client learns when its connection ends, before it sends on it again.
    if (last)
      MHD_add_response_header(answer, "Connection", "close");
    else
      MHD_add_response_header(answer, "Keep-Alive",
                              ("timeout=" + std::to_string(limits.idle_timeout.count())).c_str());
    const MHD_Result queued =
        MHD_queue_response(call.mhd, static_cast<unsigned>(response.status), answer);
    MHD_destroy_response(answer);
    return queued;
  }

  // ---- off the event loop ----

  // Shuts a connection down under the table's mutex (so its socket is still
  // open: the library closes it only after telling on_connection), answering
  // its request first when it has one.
  void cut(Conn& conn, int status, const std::string& message) {
    conn.cut = true;
    if (conn.call && status != 0) {
      const Response response = service->error(status, message);
      conn.call->status = response.status;
      conn.call->outcome = response.outcome;
      write_directly(conn.fd, response);
    }
    ::shutdown(conn.fd, SHUT_RDWR);
  }

  void watch_deadlines() {
    const auto receive = limits.receive_timeout;
    // A connection that drips a request line is not silent, so the library's
    // idle timeout never ends it: this does.
    const auto before_request_line = std::chrono::duration_cast<std::chrono::milliseconds>(
                                         limits.idle_timeout) + receive;
    std::unique_lock wait(deadlines_mutex);
    while (!deadlines_wake.wait_for(wait, std::chrono::milliseconds(100),
                                    [this] { return deadlines_stop; })) {
      const auto now = Clock::now();
      const std::lock_guard lock(mutex);
      for (auto& [mhd, conn] : conns) {
        if (conn->cut) continue;
        if (conn->phase == Phase::Receiving && now - conn->since > receive)
          cut(*conn, 408, "the request did not arrive whole within " + seconds_text(receive));
        else if (conn->phase == Phase::Idle && now - conn->since > before_request_line)
          cut(*conn, 0, "");
      }
    }
  }
};

namespace {

// The listening socket, bound here rather than by the library so that its
// options are known: SO_REUSEADDR (a restart need not wait for the old
// connections to time out) and never SO_REUSEPORT, so a second server on the
// same address fails to bind instead of sharing the connections.
int listen_on(const std::string& host, int port, int& family, int& bound_port) {
  const std::string where = host + ":" + std::to_string(port);
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  if (const int error = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found); error != 0)
    throw std::invalid_argument("cannot listen on " + where + ": " + ::gai_strerror(error));
  const addrinfo address = *found;
  sockaddr_storage storage{};
  std::memcpy(&storage, found->ai_addr, found->ai_addrlen);
  ::freeaddrinfo(found);

  const int fd = ::socket(address.ai_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0)
    throw std::invalid_argument("cannot listen on " + where + ": " + std::strerror(errno));
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (address.ai_family == AF_INET6) ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&storage), address.ai_addrlen) != 0 ||
      ::listen(fd, SOMAXCONN) != 0) {
    const int error = errno;
    ::close(fd);
    throw std::invalid_argument("cannot listen on " + where + ": " + std::strerror(error));
  }
  sockaddr_storage local{};
  socklen_t local_size = sizeof local;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &local_size);
  bound_port = ntohs(local.ss_family == AF_INET6
                         ? reinterpret_cast<const sockaddr_in6*>(&local)->sin6_port
                         : reinterpret_cast<const sockaddr_in*>(&local)->sin_port);
  family = address.ai_family;
  return fd;
}

}  // namespace

Server::Server(const std::string& host, int port, const Limits& limits, Service& service)
    : core_(std::make_shared<Core>()) {
  Core& core = *core_;
  core.limits = limits;
  core.service = &service;
  int family = AF_INET;
  core.listen_fd = listen_on(host, port, family, core.port);

  unsigned flags = MHD_USE_EPOLL_INTERNAL_THREAD | MHD_ALLOW_SUSPEND_RESUME;
  if (family == AF_INET6) flags |= MHD_USE_IPv6;
  // The library keeps a head and the buffer its body arrives through in one
  // block per connection; a head larger than the block is refused by it (431),
  // so the block leaves room for a head just over the limit, which is refused
  // here with the service's own answer.
  const std::size_t memory = std::max<std::size_t>(32 * 1024, 2 * limits.max_header_bytes + 16 * 1024);
  // Its own limit is above ours: at its limit it stops accepting and clients
  // wait, at ours they are refused at once.
  const unsigned library_limit = limits.connections + 16;
  core.daemon = MHD_start_daemon(
      flags, 0, &Core::on_accept, &core, &Core::on_request, &core, MHD_OPTION_LISTEN_SOCKET,
      static_cast<MHD_socket>(core.listen_fd), MHD_OPTION_CONNECTION_LIMIT, library_limit,
      MHD_OPTION_CONNECTION_TIMEOUT, static_cast<unsigned>(limits.idle_timeout.count()),
      MHD_OPTION_CONNECTION_MEMORY_LIMIT, memory, MHD_OPTION_NOTIFY_COMPLETED,
      &Core::on_completed, &core, MHD_OPTION_NOTIFY_CONNECTION, &Core::on_connection, &core,
      MHD_OPTION_URI_LOG_CALLBACK, &Core::on_request_line, &core, MHD_OPTION_END);
  if (!core.daemon) {
    ::close(core.listen_fd);
    throw std::invalid_argument("cannot serve on " + host + ":" + std::to_string(port) +
                                ": the HTTP library did not start");
  }
  core.deadlines = std::thread([&core] { core.watch_deadlines(); });
}

Server::~Server() { stop(); }

int Server::port() const { return core_->port; }

void Server::drain() {
  Core& core = *core_;
  if (!core.daemon || core.quiesced) return;
  // The listening socket stays open until the library stops, but shut: a
  // client connecting now is refused instead of waiting in the backlog.
  if (MHD_quiesce_daemon(core.daemon) != MHD_INVALID_SOCKET) {
    core.quiesced = true;
    ::shutdown(core.listen_fd, SHUT_RDWR);
  }
  const std::lock_guard lock(core.mutex);
  core.draining = true;
  for (auto& [mhd, conn] : core.conns) {
    if (conn->cut) continue;
    if (conn->phase == Phase::Idle)
      core.cut(*conn, 0, "");
    else if (conn->phase == Phase::Receiving)
      core.cut(*conn, 503, "the service is stopping");
  }
}

std::size_t Server::in_flight() const {
  const std::lock_guard lock(core_->mutex);
  return static_cast<std::size_t>(
      std::count_if(core_->conns.begin(), core_->conns.end(), [](const auto& entry) {
        return !entry.second->cut &&
               (entry.second->phase == Phase::Working || entry.second->phase == Phase::Sending);
      }));
}

std::size_t Server::open_connections() const {
  const std::lock_guard lock(core_->mutex);
  return core_->conns.size();
}

Refusals Server::refusals() const {
  const std::lock_guard lock(core_->mutex);
  return core_->refused;
}

void Server::stop() {
  Core& core = *core_;
  if (core.stop_begun) return;
  core.stop_begun = true;
  drain();

  // The library must not stop with a connection suspended: what still waits
  // for its work is answered now.
  std::vector<std::shared_ptr<Call>> waiting;
  {
    const std::lock_guard lock(core.mutex);
    for (auto& [mhd, conn] : core.conns)
      if (conn->phase == Phase::Working && conn->call && conn->call->working)
        waiting.push_back(conn->call);
  }
  for (auto& call : waiting)
    core.reply_for(call)(core.service->error(503, "the service is stopping"));
  const auto until = Clock::now() + std::chrono::milliseconds(500);
  while (!waiting.empty() && in_flight() > 0 && Clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));

  {
    const std::lock_guard lock(core.deadlines_mutex);
    core.deadlines_stop = true;
  }
  core.deadlines_wake.notify_all();
  if (core.deadlines.joinable()) core.deadlines.join();
  {
    const std::lock_guard lock(core.resume_mutex);
    core.stopped = true;
  }
  if (core.daemon) MHD_stop_daemon(core.daemon);
  core.daemon = nullptr;
  // Once quiesced the socket is ours to close; otherwise the library closed it.
  if (core.quiesced) ::close(core.listen_fd);
  core.listen_fd = -1;
}

}  // namespace qrnmvl::tool::http
