// The embedded engine's connection: stored procedures from the catalog table,
// plain statements one at a time, each command in its own transaction.
#include "data/sqlite/engine.hpp"

#include <charconv>
#include <limits>
#include <mutex>
#include <optional>
#include <unordered_map>

#include "common/json_value.hpp"
#include "common/values.hpp"
#include "data/sqlite/internal.hpp"

namespace qrnmvl::data::sqlite {

[[noreturn]] void raise_sqlite(sqlite3* db) {
  throw Error(err::database, db != nullptr ? sqlite3_errmsg(db) : "out of memory");
}

void run_sql(sqlite3* db, const char* sql) {
  if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) raise_sqlite(db);
}

namespace {

constexpr int kDefaultBusyTimeoutMs = 5000;
constexpr long kObjectClosed = 3704;

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  return text;
}

// "a, b, c" in call order. A name may be written with its marker (":a", "@a").
std::vector<std::string> split_params(std::string_view params) {
  std::vector<std::string> names;
  if (trimmed(params).empty()) return names;
  for (;;) {
    const std::size_t comma = params.find(',');
    std::string_view name = trimmed(params.substr(0, comma));
    if (!name.empty() && (name.front() == ':' || name.front() == '@' || name.front() == '$'))
      name.remove_prefix(1);
    names.emplace_back(name);
    if (comma == std::string_view::npos) return names;
    params.remove_prefix(comma + 1);
  }
}

Variant column_value(sqlite3_stmt* statement, int column) {
  switch (sqlite3_column_type(statement, column)) {
    case SQLITE_NULL:
      return Variant::null();
    case SQLITE_INTEGER: {
      const sqlite3_int64 value = sqlite3_column_int64(statement, column);
      if (value >= std::numeric_limits<std::int32_t>::min() &&
          value <= std::numeric_limits<std::int32_t>::max())
        return Variant(static_cast<std::int32_t>(value));
      return Variant(static_cast<double>(value));
    }
    case SQLITE_FLOAT:
      return Variant(sqlite3_column_double(statement, column));
    case SQLITE_TEXT:
      return Variant(
          std::string(reinterpret_cast<const char*>(sqlite3_column_text(statement, column)),
                      static_cast<std::size_t>(sqlite3_column_bytes(statement, column))));
    default: {
      const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement, column));
      const auto size = static_cast<std::size_t>(sqlite3_column_bytes(statement, column));
      return Variant(bytes == nullptr ? std::string() : std::string(bytes, size));
    }
  }
}

void bind_value(sqlite3* db, sqlite3_stmt* statement, int index, const Variant& value) {
  int rc = SQLITE_OK;
  switch (value.type()) {
    case VarType::Empty:
    case VarType::Null:
      rc = sqlite3_bind_null(statement, index);
      break;
    case VarType::Integer:
    case VarType::Long:
      rc = sqlite3_bind_int64(statement, index, to_long(value));
      break;
    case VarType::Double:
    case VarType::Currency:
      rc = sqlite3_bind_double(statement, index, to_double(value));
      break;
    default: {
      const std::string text = value.is_string() ? value.as_string() : to_text(value);
      rc = sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()),
                             SQLITE_TRANSIENT);
    }
  }
  if (rc != SQLITE_OK) raise_sqlite(db);
}

// A typed parameter as the value the database stores.
Variant parameter_value(const Parameter& parameter) {
  const Variant& value = parameter.value;
  if (value.is_empty() || value.is_null()) return Variant::null();
  switch (parameter.type) {
    case DataType::SmallInt:
    case DataType::Integer:
      return Variant(to_long(value));
    case DataType::Double:
    case DataType::Currency:
      return Variant(to_double(value));
    case DataType::Date:
      return Variant(format_date(value, "yyyy/mm/dd hh:mm:ss"));
    default:
      return Variant(to_text(value));
  }
}

// Each command is its own transaction; a command text that opened or ended one
// would break that for every later command on the cached connection.
void refuse_transaction_control(sqlite3_stmt* statement) {
  const std::string keyword = first_keyword(sqlite3_sql(statement));
  if (keyword == "BEGIN" || keyword == "COMMIT" || keyword == "END" || keyword == "ROLLBACK" ||
      keyword == "SAVEPOINT" || keyword == "RELEASE")
    throw Error(err::database,
                "Transaction statements are not allowed in a command text (" + keyword + ").");
}

// The rows of the last statement that returned columns.
struct Answer {
  bool present = false;
  std::vector<std::string> columns;
  std::vector<std::vector<Variant>> rows;

  RowSet row_set() && {
    if (!present) return RowSet();
    return RowSet(std::move(columns), std::move(rows));
  }
};

void run_statement(sqlite3* db, sqlite3_stmt* statement, Answer& answer) {
  bool first = true;
  int columns = 0;
  for (;;) {
    const int rc = sqlite3_step(statement);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) raise_sqlite(db);
    if (first) {
      // Read after the first step: a statement re-prepared after a schema
      // change may answer other columns than when it was prepared.
      first = false;
      columns = sqlite3_column_count(statement);
      if (columns > 0) {
        answer.present = true;
        answer.columns.clear();
        answer.rows.clear();
        for (int i = 0; i < columns; ++i)
          answer.columns.emplace_back(sqlite3_column_name(statement, i));
      }
    }
    if (rc == SQLITE_DONE) return;
    if (columns == 0) continue;
    std::vector<Variant> row;
    row.reserve(static_cast<std::size_t>(columns));
    for (int i = 0; i < columns; ++i) row.push_back(column_value(statement, i));
    answer.rows.push_back(std::move(row));
  }
}

// One command's transaction. Writers take the write lock up front (BEGIN
// IMMEDIATE) so two connections never both read and then fight to write;
// inside a transaction the caller opened with begin(), a savepoint.
class Transaction {
 public:
  Transaction(sqlite3* db, bool writes) : db_(db), savepoint_(sqlite3_get_autocommit(db) == 0) {
    run_sql(db_, savepoint_ ? "SAVEPOINT qrn_command" : writes ? "BEGIN IMMEDIATE" : "BEGIN");
  }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  ~Transaction() {
    if (done_) return;
    // The error being raised was read before; these may fail when SQLite has
    // already rolled back on its own.
    if (savepoint_)
      sqlite3_exec(db_, "ROLLBACK TO qrn_command; RELEASE qrn_command", nullptr, nullptr, nullptr);
    else if (sqlite3_get_autocommit(db_) == 0)
      sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  }
  void commit() {
    run_sql(db_, savepoint_ ? "RELEASE qrn_command" : "COMMIT");
    done_ = true;
  }

 private:
  sqlite3* db_;
  bool savepoint_;
  bool done_ = false;
};

struct Procedure {
  std::string name;
  std::vector<std::string> params;
  std::string body;
};

// A cached statement is reset and its bindings cleared after every use, so it
// holds no lock between commands and an argument left out binds as NULL.
class StatementUse {
 public:
  explicit StatementUse(sqlite3_stmt* statement) : statement_(statement) {}
  StatementUse(const StatementUse&) = delete;
  StatementUse& operator=(const StatementUse&) = delete;
  ~StatementUse() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
  }

 private:
  sqlite3_stmt* statement_;
};

// A procedure body prepared once and kept with the connection.
struct PreparedBody {
  std::vector<Statement> statements;
  bool writes = false;
};
constexpr std::size_t kMaxCachedBodies = 128;

class SqliteConnection final : public Connection {
 public:
  SqliteConnection(std::string text, sqlite3* db, std::string trace_path)
      : text_(std::move(text)), trace_path_(std::move(trace_path)), db_(db) {}
  ~SqliteConnection() override { close(); }
  SqliteConnection(const SqliteConnection&) = delete;
  SqliteConnection& operator=(const SqliteConnection&) = delete;

  const std::string& text() const noexcept override { return text_; }

  bool is_open() const noexcept override {
    const std::lock_guard lock(mutex_);
    return db_ != nullptr;
  }

  RowSet execute(const std::string& command_text, CursorOptions) override {
    if (!trace_path_.empty()) {
      nlohmann::ordered_json line;
      line["command"] = command_text;
      append_trace(trace_path_, line);
    }
    const std::lock_guard lock(mutex_);
    require_open();
    if (auto call = parse_exec(command_text))
      return run_procedure(call->procedure, call->arguments);
    return run_plain(command_text);
  }

  RowSet call(const std::string& procedure, const std::vector<Parameter>& parameters) override {
    if (!trace_path_.empty()) trace_call(procedure, parameters);
    const std::lock_guard lock(mutex_);
    require_open();
    std::vector<Variant> arguments;
    arguments.reserve(parameters.size());
    for (const auto& parameter : parameters) arguments.push_back(parameter_value(parameter));
    return run_procedure(procedure, arguments);
  }

  void begin() override {
    const std::lock_guard lock(mutex_);
    require_open();
    run_sql(db_, "BEGIN IMMEDIATE");
  }

  void commit() override {
    const std::lock_guard lock(mutex_);
    require_open();
    run_sql(db_, "COMMIT");
  }

  void rollback() override {
    const std::lock_guard lock(mutex_);
    require_open();
    if (sqlite3_get_autocommit(db_) == 0) run_sql(db_, "ROLLBACK");
  }

  void close() noexcept override {
    const std::lock_guard lock(mutex_);
    if (db_ == nullptr) return;
    bodies_.clear();
    lookup_.reset();
    if (sqlite3_get_autocommit(db_) == 0) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close_v2(db_);
    db_ = nullptr;
  }

 private:
  void require_open() const {
    if (db_ == nullptr)
      throw Error(kObjectClosed, "Operation is not allowed when the object is closed.");
  }

  void trace_call(const std::string& procedure, const std::vector<Parameter>& parameters) const {
    try {
      nlohmann::ordered_json line;
      line["procedure"] = procedure;
      auto list = nlohmann::ordered_json::array();
      for (const auto& parameter : parameters) {
        nlohmann::ordered_json item;
        item["name"] = parameter.name;
        item["type"] = data_type_name(parameter.type);
        item["value"] = nlohmann::ordered_json(to_json(parameter.value));
        list.push_back(std::move(item));
      }
      line["parameters"] = std::move(list);
      append_trace(trace_path_, line);
    } catch (...) {
      // A value the trace cannot show never stops the call.
    }
  }

  Statement prepare(std::string_view sql, const char** tail = nullptr) const {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &raw, tail) != SQLITE_OK)
      raise_sqlite(db_);
    return Statement(raw);
  }

  Statement prepare_persistent(std::string_view sql, const char** tail) const {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v3(db_, sql.data(), static_cast<int>(sql.size()),
                           SQLITE_PREPARE_PERSISTENT, &raw, tail) != SQLITE_OK)
      raise_sqlite(db_);
    return Statement(raw);
  }

  Procedure find_procedure(const std::string& name) {
    if (!lookup_)
      lookup_ = prepare_persistent("SELECT name, params, body FROM qrn_procedure WHERE name = ?1",
                                   nullptr);
    sqlite3_stmt* statement = lookup_.get();
    const StatementUse use(statement);
    sqlite3_bind_text(statement, 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
    const int rc = sqlite3_step(statement);
    if (rc == SQLITE_DONE)
      throw Error(err::database, "Could not find stored procedure '" + name + "'.");
    if (rc != SQLITE_ROW) raise_sqlite(db_);
    const auto text = [&](int column) {
      const auto* value = sqlite3_column_text(statement, column);
      return value == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(value));
    };
    return {text(0), split_params(text(1)), text(2)};
  }

  void bind_arguments(sqlite3_stmt* statement, const Procedure& procedure,
                      const std::vector<Variant>& arguments) const {
    const int count = sqlite3_bind_parameter_count(statement);
    for (int index = 1; index <= count; ++index) {
      const char* marker = sqlite3_bind_parameter_name(statement, index);
      if (marker == nullptr || marker[0] == '?') continue;
      const std::string_view name(marker + 1);
      for (std::size_t k = 0; k < procedure.params.size(); ++k) {
        if (!same_name(procedure.params[k], name)) continue;
        if (k < arguments.size()) bind_value(db_, statement, index, arguments[k]);
        break;
      }
    }
  }

  // The body's statements prepared once, or null when a statement cannot be
  // prepared before the ones ahead of it have run.
  PreparedBody* prepared_body(const std::string& body) {
    if (const auto found = bodies_.find(body); found != bodies_.end()) return &found->second;
    PreparedBody prepared;
    std::string_view rest = body;
    while (!trimmed(rest).empty()) {
      sqlite3_stmt* raw = nullptr;
      const char* tail = nullptr;
      if (sqlite3_prepare_v3(db_, rest.data(), static_cast<int>(rest.size()),
                             SQLITE_PREPARE_PERSISTENT, &raw, &tail) != SQLITE_OK)
        return nullptr;
      rest.remove_prefix(static_cast<std::size_t>(tail - rest.data()));
      if (raw == nullptr) continue;
      Statement statement(raw);
      refuse_transaction_control(raw);
      if (sqlite3_stmt_readonly(raw) == 0) prepared.writes = true;
      prepared.statements.push_back(std::move(statement));
    }
    if (bodies_.size() >= kMaxCachedBodies) bodies_.clear();
    return &bodies_.emplace(body, std::move(prepared)).first->second;
  }

  RowSet run_procedure(const std::string& name, const std::vector<Variant>& arguments) {
    const Procedure procedure = find_procedure(name);
    if (arguments.size() > procedure.params.size())
      throw Error(err::database,
                  "Procedure or function " + procedure.name + " has too many arguments specified.");

    if (PreparedBody* body = prepared_body(procedure.body)) {
      // One statement that only reads is consistent on its own; anything
      // more runs in one transaction.
      std::optional<Transaction> transaction;
      if (body->writes || body->statements.size() > 1) transaction.emplace(db_, body->writes);
      Answer answer;
      for (const auto& statement : body->statements) {
        const StatementUse use(statement.get());
        bind_arguments(statement.get(), procedure, arguments);
        run_statement(db_, statement.get(), answer);
      }
      if (transaction) transaction->commit();
      return std::move(answer).row_set();
    }

    // A statement that cannot be prepared yet may need a table an earlier one
    // creates: such a body is prepared as it runs, and counted as writing.
    Transaction transaction(db_, true);
    Answer answer;
    std::string_view rest = procedure.body;
    while (!trimmed(rest).empty()) {
      const char* tail = nullptr;
      Statement statement = prepare(rest, &tail);
      rest.remove_prefix(static_cast<std::size_t>(tail - rest.data()));
      if (!statement) continue;
      refuse_transaction_control(statement.get());
      bind_arguments(statement.get(), procedure, arguments);
      run_statement(db_, statement.get(), answer);
    }
    transaction.commit();
    return std::move(answer).row_set();
  }

  // Exactly one statement per text: a text glued together from user input
  // cannot carry a second one.
  RowSet run_plain(const std::string& command_text) {
    const std::string sql = apply_dialect(command_text);
    const char* tail = nullptr;
    Statement statement = prepare(sql, &tail);
    if (!statement) throw Error(err::database, "The command text holds no statement.");
    const std::string_view rest(tail, static_cast<std::size_t>(sql.data() + sql.size() - tail));
    if (!trimmed(rest).empty()) {
      sqlite3_stmt* extra = nullptr;
      const int rc =
          sqlite3_prepare_v2(db_, rest.data(), static_cast<int>(rest.size()), &extra, nullptr);
      const Statement guard(extra);
      if (rc != SQLITE_OK || extra != nullptr)
        throw Error(err::database, "Only one statement is allowed in a command text.");
    }
    refuse_transaction_control(statement.get());

    Answer answer;
    if (sqlite3_stmt_readonly(statement.get()) == 0 && sqlite3_get_autocommit(db_) != 0) {
      Transaction transaction(db_, true);
      run_statement(db_, statement.get(), answer);
      transaction.commit();
    } else {
      run_statement(db_, statement.get(), answer);
    }
    return std::move(answer).row_set();
  }

  const std::string text_;
  const std::string trace_path_;
  mutable std::mutex mutex_;
  sqlite3* db_;
  Statement lookup_;  // the catalog lookup, prepared once
  std::unordered_map<std::string, PreparedBody> bodies_;  // by body text
};

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
  if (found == keys.end() || found->second.empty() || same_name(found->second, "normal"))
    return "PRAGMA synchronous = NORMAL";
  if (same_name(found->second, "full")) return "PRAGMA synchronous = FULL";
  if (same_name(found->second, "off")) return "PRAGMA synchronous = OFF";
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
      connection_text, raw, trace == keys.end() ? std::string() : trace->second);
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
