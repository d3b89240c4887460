#include "data/data.hpp"

#include <algorithm>
#include <mutex>

#include "common/values.hpp"
#include "data/sqlite/engine.hpp"

namespace qrnmvl::data {

namespace {

constexpr long kNoCurrentRecord = 3021;
constexpr long kObjectClosed = 3704;

[[noreturn]] void raise_closed() {
  throw Error(kObjectClosed, "Operation is not allowed when the object is closed.");
}

[[noreturn]] void raise_no_current_record() {
  throw Error(kNoCurrentRecord,
              "Either BOF or EOF is True, or the current record has been deleted. Requested "
              "operation requires a current record.");
}

char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), ascii_lower);
  return out;
}

bool same_name(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return ascii_lower(x) == ascii_lower(y);
         });
}

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

// --- RowSet -----------------------------------------------------------------

RowSet::RowSet(std::vector<std::string> columns, std::vector<std::vector<Variant>> rows)
    : open_(true), columns_(std::move(columns)), rows_(std::move(rows)) {}

bool RowSet::eof() const {
  if (!open_) raise_closed();
  return position_ >= rows_.size();
}

long RowSet::record_count() const {
  if (!open_) raise_closed();
  return static_cast<long>(rows_.size());
}

void RowSet::move_first() {
  if (!open_) raise_closed();
  position_ = 0;
}

void RowSet::move_last() {
  if (!open_) raise_closed();
  position_ = rows_.empty() ? 0 : rows_.size() - 1;
}

void RowSet::move_next() {
  if (!open_) raise_closed();
  if (position_ >= rows_.size()) raise_no_current_record();
  ++position_;
}

Variant RowSet::field(std::string_view name) const {
  if (!open_) raise_closed();
  // The column is looked up before the position, so a misspelt name is
  // reported as such even on an empty answer.
  const auto column = std::find_if(columns_.begin(), columns_.end(),
                                   [&](const std::string& c) { return same_name(c, name); });
  if (column == columns_.end())
    throw Error(err::item_not_found,
                "Item cannot be found in the collection corresponding to the requested name or "
                "ordinal.");
  if (position_ >= rows_.size()) raise_no_current_record();
  return rows_[position_][static_cast<std::size_t>(column - columns_.begin())];
}

void RowSet::close() noexcept {
  open_ = false;
  columns_.clear();
  rows_.clear();
  position_ = 0;
}

// --- Parameters and commands ------------------------------------------------

const char* data_type_name(DataType type) noexcept {
  switch (type) {
    case DataType::SmallInt:
      return "smallint";
    case DataType::Integer:
      return "integer";
    case DataType::Double:
      return "double";
    case DataType::Currency:
      return "currency";
    case DataType::Date:
      return "date";
    case DataType::Char:
      return "char";
    case DataType::WChar:
      return "wchar";
    case DataType::VarChar:
      return "varchar";
    case DataType::LongVarChar:
      return "longvarchar";
    case DataType::VarWChar:
      return "varwchar";
    case DataType::LongVarWChar:
      return "longvarwchar";
  }
  return "unknown";
}

std::string Command::text() const {
  std::string out = "{ call " + command_text;
  if (!parameters_.empty()) {
    out += "(";
    for (std::size_t i = 0; i < parameters_.size(); ++i) out += i == 0 ? "?" : ", ?";
    out += ")";
  }
  return out + " }";
}

RowSet Command::execute() {
  if (!connection) raise(err::object_not_set);
  return connection->call(command_text, parameters_);
}

// --- Connection texts ---------------------------------------------------------

std::map<std::string, std::string> parse_connection_text(std::string_view text) {
  std::map<std::string, std::string> out;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t equals = text.find_first_of("=;", i);
    if (equals == std::string_view::npos || text[equals] == ';') {
      // A segment without '=' names nothing; skip it.
      i = equals == std::string_view::npos ? text.size() : equals + 1;
      continue;
    }
    const std::string key = lower(trimmed(text.substr(i, equals - i)));
    i = equals + 1;
    while (i < text.size() && is_blank(text[i])) ++i;

    std::string value;
    const char open = i < text.size() ? text[i] : '\0';
    if (open == '"' || open == '\'' || open == '{') {
      // Quoted and braced values may hold ';'. The closing mark is escaped by
      // doubling it, as the driver managers do.
      const char close = open == '{' ? '}' : open;
      ++i;
      while (i < text.size()) {
        if (text[i] == close) {
          if (i + 1 < text.size() && text[i + 1] == close) {
            value += close;
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        value += text[i++];
      }
      // Whatever stands between the closing mark and the next ';' is ignored.
      const std::size_t semicolon = text.find(';', i);
      i = semicolon == std::string_view::npos ? text.size() : semicolon + 1;
    } else {
      const std::size_t semicolon = text.find(';', i);
      const std::size_t end = semicolon == std::string_view::npos ? text.size() : semicolon;
      value = std::string(trimmed(text.substr(i, end - i)));
      i = semicolon == std::string_view::npos ? text.size() : semicolon + 1;
    }
    if (!key.empty()) out[key] = std::move(value);
  }
  return out;
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

// Done before any lookup or registration, so a driver registered by the host
// is never replaced by a built-in one afterwards.
void register_builtin_drivers() {
  static std::once_flag once;
  static thread_local bool registering = false;
  if (registering) return;  // the built-in registrations themselves
  std::call_once(once, [] {
    registering = true;
    sqlite::register_engine();
    registering = false;
  });
}

DriverFactory driver_for(const std::string& text) {
  register_builtin_drivers();
  const auto keys = parse_connection_text(text);
  const auto provider = keys.find("provider");
  const bool embedded = provider != keys.end() && same_name(trimmed(provider->second), "sqlite");
  const std::lock_guard lock(registry_mutex());
  const auto found = registry().find(embedded ? "sqlite" : "odbc");
  if (found == registry().end())
    throw Error(err::database, "Data source name not found and no default driver specified");
  return found->second;
}

struct CachedConnection {
  std::string text;
  std::shared_ptr<Connection> connection;
};

// Each thread keeps its own connections, so a routine that reopens a text sees
// its own earlier writes and threads never share a physical connection.
thread_local std::vector<CachedConnection> thread_cache;

}  // namespace

void register_driver(const std::string& name, DriverFactory factory) {
  register_builtin_drivers();
  const std::lock_guard lock(registry_mutex());
  if (factory)
    registry()[lower(name)] = std::move(factory);
  else
    registry().erase(lower(name));
}

std::shared_ptr<Connection> open_connection(const std::string& text) {
  const DriverFactory factory = driver_for(text);
  return factory(text);
}

std::shared_ptr<Connection> cached_connection(const std::string& text) {
  for (auto& cached : thread_cache) {
    if (cached.text != text) continue;
    if (!cached.connection || !cached.connection->is_open())
      cached.connection = open_connection(text);
    return cached.connection;
  }
  auto connection = open_connection(text);
  thread_cache.push_back({text, connection});
  return connection;
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
