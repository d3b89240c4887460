#include "data/sqlite/driver.hpp"

#include <charconv>

#include "common/text.hpp"
#include "data/connection_text.hpp"
#include "data/sqlite/connection.hpp"
#include "data/sqlite/internal.hpp"

namespace qrnmvl::data::sqlite {
namespace {

constexpr int kDefaultBusyTimeoutMs = 5000;

int busy_timeout_of(const std::map<std::string, std::string>& keys) {
  const auto found = keys.find("busy timeout");
  if (found == keys.end() || found->second.empty()) return kDefaultBusyTimeoutMs;
  const std::string& text = found->second;
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 0)
    throw Error(err::database, "Invalid Busy Timeout '" + text + "' in the connection text.");
  return value;
}

const char* synchronous_pragma(const std::map<std::string, std::string>& keys) {
  const auto found = keys.find("synchronous");
  // NORMAL loses no committed transaction on a crash of the process under WAL;
  // only a power loss may undo the last ones.
  if (found == keys.end() || found->second.empty() || ascii::same_name(found->second, "normal"))
    return "PRAGMA synchronous = NORMAL";
  if (ascii::same_name(found->second, "full")) return "PRAGMA synchronous = FULL";
  if (ascii::same_name(found->second, "off")) return "PRAGMA synchronous = OFF";
  throw Error(err::database, "Invalid Synchronous '" + found->second +
                                 "' in the connection text: use Full, Normal or Off.");
}

}  // namespace

std::shared_ptr<Connection> open(const std::string& connection_text) {
  const auto keys = parse_connection_text(connection_text);
  const auto source = keys.find("data source");
  if (source == keys.end() || source->second.empty())
    throw Error(err::database, "The connection text names no Data Source.");
  const int busy_timeout = busy_timeout_of(keys);
  const char* synchronous = synchronous_pragma(keys);

  // Without CREATE: a mistyped path must fail, not answer from an empty file.
  sqlite3* raw = nullptr;
  if (sqlite3_open_v2(source->second.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    const Error error(err::database, raw != nullptr ? sqlite3_errmsg(raw) : "out of memory");
    sqlite3_close_v2(raw);
    throw error;
  }
  const auto trace = keys.find("trace");
  auto connection = std::make_shared<SqliteConnection>(
      connection_text, raw, Trace(trace == keys.end() ? std::string() : trace->second));
  sqlite3_busy_timeout(raw, busy_timeout);
  run_sql(raw, "PRAGMA journal_mode = WAL");
  run_sql(raw, "PRAGMA foreign_keys = ON");
  run_sql(raw, synchronous);
  register_dialect_functions(raw);
  return connection;
}

void register_engine() {
  register_driver("sqlite", [](const std::string& text) { return open(text); });
}

}  // namespace qrnmvl::data::sqlite
