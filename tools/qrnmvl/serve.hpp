// `qrnmvl serve`: the five operations over HTTP for a front end, on top of the
// JSON contract. The connection is the server's: a caller sets parameter
// values only, and never the database, a file or the trace.
#pragma once

#include <cstddef>
#include <string>

namespace qrnmvl::tool {

struct ServeOptions {
  std::string db;                         // an embedded database file, or
  std::string connection_file;            // a file holding the connection text (owner-only)
  std::string token_file;                 // the bearer token (owner-only), required
  std::string listen = "127.0.0.1:8080";  // HOST:PORT; port 0 takes a free one
  unsigned threads = 0;                   // operation workers, each with its connection; 0: the cores
  std::string access_log;                 // a file; empty: standard error
  std::string locale;                     // regional settings, as for `call`

  // What one client may make the service hold, each refused as soon as it is passed.
  unsigned connections = 512;             // open connections; more are refused as they come
  unsigned connections_per_address = 64;  // open connections from one client address
  std::size_t max_body = 1 << 20;         // body bytes as they arrive: 413
  std::size_t max_header_bytes = 8192;    // request line and header fields: 431
  unsigned max_headers = 64;              // header fields: 431
  std::size_t max_array = 500;            // elements of any array, rows of a closing: 400
  double receive_timeout = 10;            // seconds to receive a whole request: 408
  unsigned idle_timeout = 5;              // seconds a connection may stay silent
  double request_timeout = 30;            // seconds an operation may take: 503
  double grace = 10;                      // seconds the requests in flight get at a stop
};

// Serves until SIGTERM or SIGINT. Prints "listening on http://HOST:PORT" once
// the socket is bound. At the signal it takes no new connection, closes the
// idle and half-sent ones, and lets the requests in flight finish within
// the grace; a second signal ends it at once.
// std::invalid_argument for options that cannot work (unreadable or
// world-readable secrets, a bad or busy address). Returns 0 when every request
// read was answered, 1 when the grace ran out first.
int serve(const ServeOptions& options);

}  // namespace qrnmvl::tool
