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
  unsigned connections = 64;              // client connections served at once
  std::size_t max_body = 1 << 20;         // bytes; larger bodies get 413
  std::string access_log;                 // a file; empty: standard error
  std::string locale;                     // regional settings, as for `call`
};

// Serves until SIGTERM or SIGINT, then lets the requests in flight finish.
// Prints "listening on http://HOST:PORT" once the socket is bound.
// std::invalid_argument for options that cannot work (unreadable or
// world-readable secrets, a bad address); returns 0 after a clean shutdown.
int serve(const ServeOptions& options);

}  // namespace qrnmvl::tool
