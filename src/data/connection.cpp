#include "data/connection.hpp"

#include <algorithm>
#include <cstdint>
#include <mutex>

#include "common/text.hpp"
#include "common/values.hpp"
#include "data/connection_text.hpp"
#include "data/odbc/driver.hpp"
#include "data/sqlite/driver.hpp"

namespace qrnmvl::data {

namespace {

thread_local const std::atomic<bool>* cancellation = nullptr;

void stop_when_cancelled() {
  if (cancellation != nullptr && cancellation->load()) raise(err::query_timeout);
}

}  // namespace

CancellationScope::CancellationScope(const std::atomic<bool>& cancelled) noexcept
    : previous_(cancellation) {
  cancellation = &cancelled;
}

CancellationScope::~CancellationScope() { cancellation = previous_; }

RowSet Connection::execute(const std::string& command_text, CursorOptions) {
  stop_when_cancelled();
  trace_.command(command_text);
  if (!is_open()) raise(err::object_closed);
  if (auto call = parse_exec(command_text)) return run_procedure(*call, command_timeout_);
  return run_statement(command_text, command_timeout_);
}

RowSet Connection::call(const std::string& procedure, const std::vector<Parameter>& parameters,
                        std::optional<int> timeout_seconds) {
  stop_when_cancelled();
  trace_.procedure(procedure, parameters);
  if (!is_open()) raise(err::object_closed);
  // Every driver receives values already of their parameters' types, and a
  // value that does not fit is refused the same way whichever driver runs.
  std::vector<Parameter> typed = parameters;
  for (Parameter& parameter : typed) parameter.value = typed_value(parameter);
  return run_prepared(procedure, typed, timeout_seconds.value_or(command_timeout_));
}

// --- Driver registry ------------------------------------------------------------

namespace {

std::mutex& registry_mutex() {
  static std::mutex mutex;
  return mutex;
}

std::map<std::string, DriverFactory>& registry() {
  static std::map<std::string, DriverFactory> drivers;
  return drivers;
}

// The embedded engine and the ODBC driver manager. Done before any lookup or
// registration, so a driver registered by the host is never replaced by a
// built-in one afterwards.
void register_builtin_drivers() {
  static std::once_flag once;
  static thread_local bool registering = false;
  if (registering) return;  // the built-in registrations themselves
  std::call_once(once, [] {
    registering = true;
    sqlite::register_engine();
    odbc::register_driver_manager();
    registering = false;
  });
}

DriverFactory driver_for(const std::string& text) {
  register_builtin_drivers();
  const std::lock_guard lock(registry_mutex());
  const auto found = registry().find(names_embedded_engine(text) ? "sqlite" : "odbc");
  if (found == registry().end())
    throw Error(err::database, "Data source name not found and no default driver specified");
  return found->second;
}

struct CachedConnection {
  std::string text;
  std::shared_ptr<Connection> connection;
  std::uint64_t used_in = 0;      // the operation that last used it
  std::uint64_t poisoned_in = 0;  // the operation whose database went away under it
};

// The thread's current operation (0: none) and the number of the next one.
thread_local std::uint64_t current_operation = 0;
thread_local std::uint64_t operations_begun = 0;

// Each thread keeps its own connections, so a routine that reopens a text sees
// its own earlier writes and threads never share a physical connection. The
// most recently used comes first; beyond kConnectionsPerThread the least
// recently used is closed, so a host that meets many connection texts keeps
// its descriptors bounded.
thread_local std::vector<CachedConnection> thread_cache;

[[noreturn]] void raise_database_gone(const std::string& text) {
  throw Error(err::database,
              "The database of this operation was replaced or removed while the "
              "operation was using it (" + masked_connection_text(text) +
                  "); nothing more of the operation is written. Run it again.");
}

}  // namespace

void register_driver(const std::string& name, DriverFactory factory) {
  register_builtin_drivers();
  const std::lock_guard lock(registry_mutex());
  if (factory)
    registry()[ascii::lower(name)] = std::move(factory);
  else
    registry().erase(ascii::lower(name));
}

std::shared_ptr<Connection> open_connection(const std::string& text) {
  check_connection_text(text);
  const DriverFactory factory = driver_for(text);
  return factory(text);
}

std::shared_ptr<Connection> cached_connection(const std::string& text) {
  const auto found = std::find_if(thread_cache.begin(), thread_cache.end(),
                                  [&](const CachedConnection& cached) { return cached.text == text; });
  if (found != thread_cache.end()) {
    std::rotate(thread_cache.begin(), found, found + 1);
    CachedConnection& cached = thread_cache.front();
    const bool in_operation = current_operation != 0;
    if (in_operation && cached.poisoned_in == current_operation) raise_database_gone(text);
    const bool replaced = cached.connection && !cached.connection->still_valid();
    // A new operation never begins on a link the server has dropped.
    const bool starting = !in_operation || cached.used_in != current_operation;
    const bool dropped = !replaced && starting && cached.connection && !cached.connection->alive();
    if (!cached.connection || !cached.connection->is_open() || replaced || dropped) {
      // Forgotten first: when the text no longer opens, the next use tries again.
      if (cached.connection) cached.connection->close();
      cached.connection = nullptr;
      // Within one operation the database must stay the one it began on: part of
      // its work in one file and the rest in another is never an answer. (A
      // connection that was only closed, a lost link, reopens on the same one.)
      if (replaced && in_operation && cached.used_in == current_operation) {
        cached.poisoned_in = current_operation;
        raise_database_gone(text);
      }
      cached.connection = open_connection(text);
    }
    cached.used_in = current_operation;
    return cached.connection;
  }
  auto connection = open_connection(text);
  while (thread_cache.size() >= kConnectionsPerThread) {
    // A row set or command still holding the connection keeps it alive; it is
    // closed here all the same, as its text would be reopened on next use.
    if (thread_cache.back().connection) thread_cache.back().connection->close();
    thread_cache.pop_back();
  }
  thread_cache.insert(thread_cache.begin(), {text, connection, current_operation, 0});
  return connection;
}

OperationScope::OperationScope() : outermost_(current_operation == 0) {
  if (outermost_) current_operation = ++operations_begun;
}

OperationScope::~OperationScope() {
  if (outermost_) current_operation = 0;
}

void close_cached_connections() noexcept {
  for (auto& cached : thread_cache)
    if (cached.connection) cached.connection->close();
  thread_cache.clear();
}

std::shared_ptr<Connection> connection_for(const Variant& connection) {
  if (connection.is_object()) {
    if (auto open = std::dynamic_pointer_cast<Connection>(connection.as_object())) return open;
  }
  return cached_connection(to_text(connection));
}

RowSet open_rowset(const std::string& command_text, const Variant& connection,
                   CursorOptions options) {
  return connection_for(connection)->execute(command_text, options);
}

}  // namespace qrnmvl::data
