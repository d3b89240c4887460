#include "data/sqlite/driver.hpp"

#include <mutex>
#include <vector>

#include "common/text.hpp"
#include "data/connection_text.hpp"
#include "data/sqlite/connection.hpp"
#include "data/sqlite/internal.hpp"

namespace qrnmvl::data::sqlite {
namespace {

const char* synchronous_pragma(const std::map<std::string, std::string>& keys) {
  const auto found = keys.find("synchronous");
  // FULL by default: a closing answered 0 is on the disk before the answer, so
  // even a power loss keeps it. NORMAL (under WAL) loses nothing when the
  // process dies, but a power loss may undo the last commits; a host chooses
  // it knowingly for the speed.
  if (found == keys.end() || found->second.empty() || ascii::same_name(found->second, "full"))
    return "PRAGMA synchronous = FULL";
  if (ascii::same_name(found->second, "normal")) return "PRAGMA synchronous = NORMAL";
  if (ascii::same_name(found->second, "off")) return "PRAGMA synchronous = OFF";
  throw Error(err::database, "Invalid Synchronous '" + found->second +
                                 "' in the connection text: use Full, Normal or Off.");
}

// Reading the schema changes nothing; a file that is not a database at all
// fails here with SQLite's own words.
bool holds_catalog(sqlite3* db) {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v2(db,
                         "SELECT 1 FROM sqlite_schema WHERE type = 'table' AND name = "
                         "'qrn_procedure'",
                         -1, &raw, nullptr) != SQLITE_OK)
    raise_sqlite(db);
  const Statement statement(raw);
  const int rc = sqlite3_step(raw);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) raise_sqlite(db);
  return rc == SQLITE_ROW;
}

// Mode=ReadOnly or ReadWrite (the default).
bool read_only(const std::map<std::string, std::string>& keys) {
  const auto found = keys.find("mode");
  if (found == keys.end() || found->second.empty() || ascii::same_name(found->second, "readwrite"))
    return false;
  if (ascii::same_name(found->second, "readonly")) return true;
  throw Error(err::database,
              "Invalid Mode '" + found->second + "' in the connection text: use ReadOnly or ReadWrite.");
}

}  // namespace

Options read_options(const std::string& connection_text) {
  const auto keys = parse_connection_text(connection_text);
  Options options;
  const auto source = keys.find("data source");
  if (source == keys.end() || source->second.empty())
    throw Error(err::database, "The connection text names no Data Source.");
  options.data_source = source->second;
  if (const auto trace = keys.find("trace"); trace != keys.end()) options.trace = trace->second;
  options.busy_timeout_ms =
      non_negative_option(keys, "busy timeout", "Busy Timeout", kDefaultBusyTimeoutMs);
  options.command_timeout_seconds = command_timeout_seconds(keys);
  options.synchronous_pragma = synchronous_pragma(keys);
  options.read_only = read_only(keys);
  return options;
}

namespace {

// Every connection of the process, so that those whose file was replaced are
// closed before the path is opened again: an old connection's write-ahead log
// must be gone before a new one reads the file now at the path.
std::mutex& registry_mutex() {
  static std::mutex mutex;
  return mutex;
}
std::vector<std::weak_ptr<SqliteConnection>>& registry() {
  static std::vector<std::weak_ptr<SqliteConnection>> connections;
  return connections;
}

void close_replaced_connections() {
  const std::lock_guard lock(registry_mutex());
  auto& connections = registry();
  for (auto& weak : connections)
    if (const auto connection = weak.lock(); connection && !connection->still_valid())
      connection->close();
  std::erase_if(connections, [](const auto& weak) { return weak.expired(); });
  remove_orphaned_logs();
}

void remember(const std::shared_ptr<SqliteConnection>& connection) {
  const std::lock_guard lock(registry_mutex());
  registry().push_back(connection);
}

}  // namespace

std::shared_ptr<Connection> open(const std::string& connection_text) {
  const Options options = read_options(connection_text);
  close_replaced_connections();

  // Without CREATE: a mistyped path must fail, not answer from an empty file.
  // A path holding a NUL would name another file.
  sqlite3* raw = nullptr;
  if (options.data_source.find('\0') != std::string::npos)
    throw Error(err::database, "unable to open database file");
  if (sqlite3_open_v2(options.data_source.c_str(), &raw,
                      options.read_only ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE,
                      nullptr) != SQLITE_OK) {
    const Error error(err::database, raw != nullptr ? sqlite3_errmsg(raw) : "out of memory");
    sqlite3_close_v2(raw);
    throw error;
  }
  auto connection = std::make_shared<SqliteConnection>(
      connection_text, raw, Trace::requested(options.trace), options.command_timeout_seconds);
  connection->set_busy_timeout(options.busy_timeout_ms);
  // Nothing is changed in a file that is not this system's database, its
  // journal mode included: the catalog of procedures is what makes it one.
  if (!holds_catalog(raw))
    throw Error(err::database, "The file '" + options.data_source +
                                   "' is not a qrnmvl database: it holds no procedure catalog.");
  // A reader takes the file's journal as it is.
  if (!options.read_only) run_sql(raw, "PRAGMA journal_mode = WAL");
  run_sql(raw, "PRAGMA foreign_keys = ON");
  run_sql(raw, options.synchronous_pragma);
  register_dialect_functions(raw);
  connection->remember_wal();
  remember(connection);
  return connection;
}

void register_engine() {
  register_driver("sqlite", [](const std::string& text) { return open(text); });
}

}  // namespace qrnmvl::data::sqlite
