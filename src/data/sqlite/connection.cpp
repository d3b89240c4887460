#include "data/sqlite/connection.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <optional>
#include <utility>

#include "common/text.hpp"
#include "data/sqlite/driver.hpp"
#include "data/transaction.hpp"

namespace qrnmvl::data::sqlite {
namespace {

// "a, b, c" in call order. A name may be written with its marker (":a", "@a").
std::vector<std::string> split_params(std::string_view params) {
  std::vector<std::string> names;
  if (ascii::trim_blanks(params).empty()) return names;
  for (;;) {
    const std::size_t comma = params.find(',');
    std::string_view name = ascii::trim_blanks(params.substr(0, comma));
    if (!name.empty() && (name.front() == ':' || name.front() == '@' || name.front() == '$'))
      name.remove_prefix(1);
    names.emplace_back(name);
    if (comma == std::string_view::npos) return names;
    params.remove_prefix(comma + 1);
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

// One command's transaction. Writers take the write lock up front (BEGIN
// IMMEDIATE) so two connections never both read and then fight to write;
// inside a transaction the caller opened with begin(), a savepoint.
class CommandTransaction {
 public:
  CommandTransaction(sqlite3* db, bool writes, WriteTurn& turn)
      : db_(db), savepoint_(sqlite3_get_autocommit(db) == 0) {
    if (!savepoint_ && writes) turn_ = turn.take();
    run_sql(db_, savepoint_ ? "SAVEPOINT qrn_command" : writes ? "BEGIN IMMEDIATE" : "BEGIN");
  }
  CommandTransaction(const CommandTransaction&) = delete;
  CommandTransaction& operator=(const CommandTransaction&) = delete;
  ~CommandTransaction() {
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
  std::unique_lock<std::timed_mutex> turn_;  // released after the transaction ends
  bool done_ = false;
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

constexpr std::size_t kMaxCachedBodies = 128;

// Enough steps that asking the clock costs nothing, few enough that a runaway
// statement stops within a fraction of a second of its limit.
constexpr int kStepsBetweenDeadlineChecks = 10000;

int stop_when_passed(void* deadline) {
  return static_cast<const Deadline*>(deadline)->passed() ? 1 : 0;
}

}  // namespace

SqliteConnection::SqliteConnection(std::string text, sqlite3* db, Trace trace,
                                   int command_timeout_seconds)
    : text_(std::move(text)), db_(db) {
  set_trace(std::move(trace));
  set_command_timeout(command_timeout_seconds);
  sqlite3_progress_handler(db_, kStepsBetweenDeadlineChecks, stop_when_passed, &deadline_);
  // SQLite gives the full path, so a later change of the working folder does
  // not change which file is checked.
  const char* file = sqlite3_db_filename(db_, "main");
  struct stat status {};
  if (file != nullptr && *file != '\0' && ::stat(file, &status) == 0) {
    file_ = file;
    device_ = status.st_dev;
    inode_ = status.st_ino;
    write_turn_.writers = WriteTurn::for_file(device_, inode_);
  }
}

SqliteConnection::~SqliteConnection() { close(); }

namespace {

std::mutex orphans_mutex;
std::vector<OrphanedLog> orphans;

}  // namespace

void note_orphaned_log(OrphanedLog log) {
  const std::lock_guard lock(orphans_mutex);
  orphans.push_back(std::move(log));
}

void remove_orphaned_logs() noexcept {
  const std::lock_guard lock(orphans_mutex);
  for (const OrphanedLog& log : std::exchange(orphans, {})) {
    struct stat status {};
    if (::stat(log.path.c_str(), &status) != 0 || status.st_dev != log.device ||
        status.st_ino != log.inode)
      continue;
    const std::string shm = log.path.substr(0, log.path.size() - 4) + "-shm";
    ::unlink(log.path.c_str());
    ::unlink(shm.c_str());
  }
}

void SqliteConnection::remember_wal() noexcept {
  struct stat status {};
  if (file_.empty() || ::stat((file_ + "-wal").c_str(), &status) != 0) return;
  wal_device_ = status.st_dev;
  wal_inode_ = status.st_ino;
  wal_known_ = true;
}

bool SqliteConnection::is_open() const noexcept {
  const std::lock_guard lock(mutex_);
  return db_ != nullptr;
}

bool SqliteConnection::still_valid() const noexcept {
  if (file_.empty()) return true;
  struct stat status {};
  return ::stat(file_.c_str(), &status) == 0 && status.st_dev == device_ && status.st_ino == inode_;
}

RowSet SqliteConnection::run_procedure(const ExecCall& call, int timeout_seconds) {
  const std::lock_guard lock(mutex_);
  require_open();
  const Deadline::Scope limit(deadline_, timeout_seconds);
  return call_procedure(call.procedure, call.arguments);
}

RowSet SqliteConnection::run_prepared(const std::string& procedure,
                                      const std::vector<Parameter>& parameters,
                                      int timeout_seconds) {
  std::vector<Variant> arguments;
  arguments.reserve(parameters.size());
  for (const auto& parameter : parameters) arguments.push_back(parameter_value(parameter));
  const std::lock_guard lock(mutex_);
  require_open();
  const Deadline::Scope limit(deadline_, timeout_seconds);
  return call_procedure(procedure, arguments);
}

void SqliteConnection::begin(Isolation) {
  const std::lock_guard lock(mutex_);
  require_open();
  auto turn = write_turn_.take();
  run_sql(db_, "BEGIN IMMEDIATE");
  transaction_turn_ = std::move(turn);
}

void SqliteConnection::commit() {
  const std::lock_guard lock(mutex_);
  require_open();
  run_sql(db_, "COMMIT");
  transaction_turn_ = {};
}

void SqliteConnection::rollback() {
  const std::lock_guard lock(mutex_);
  require_open();
  if (sqlite3_get_autocommit(db_) == 0) run_sql(db_, "ROLLBACK");
  transaction_turn_ = {};
}

void SqliteConnection::set_busy_timeout(int milliseconds) noexcept {
  sqlite3_busy_timeout(db_, milliseconds);
  write_turn_.wait = std::chrono::milliseconds(milliseconds);
}

std::unique_lock<std::timed_mutex> WriteTurn::take() const {
  if (!writers) return {};
  std::unique_lock lock(*writers, std::defer_lock);
  // As SQLite answers a writer that waited its busy timeout out.
  if (!lock.try_lock_for(wait)) {
    note_conflict();
    throw Error(err::database, "database is locked");
  }
  return lock;
}

std::shared_ptr<std::timed_mutex> WriteTurn::for_file(dev_t device, ino_t inode) {
  static std::mutex mutex;
  static std::map<std::pair<dev_t, ino_t>, std::weak_ptr<std::timed_mutex>> turns;
  const std::lock_guard lock(mutex);
  auto& weak = turns[{device, inode}];
  auto turn = weak.lock();
  if (!turn) {
    turn = std::make_shared<std::timed_mutex>();
    weak = turn;
  }
  return turn;
}

void SqliteConnection::close() noexcept {
  const std::lock_guard lock(mutex_);
  if (db_ == nullptr) return;
  bodies_.clear();
  procedures_.clear();
  lookup_.reset();
  version_.reset();
  if (sqlite3_get_autocommit(db_) == 0) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  transaction_turn_ = {};
  if (!still_valid()) {
    // The file was replaced. SQLite leaves the write-ahead log of a file that
    // moved where it is, unapplied; if the log at the path is still ours it is
    // an orphan that must never meet the file that took the name (a backup
    // moved into place): it is removed before the path is opened again. A log
    // that is not ours belongs to that file and is left alone.
    struct stat status {};
    const std::string wal = file_ + "-wal";
    if (wal_known_ && ::stat(wal.c_str(), &status) == 0 && status.st_dev == wal_device_ &&
        status.st_ino == wal_inode_)
      note_orphaned_log({wal, wal_device_, wal_inode_});
    int persist = 1;
    sqlite3_file_control(db_, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
  }
  sqlite3_close_v2(db_);
  db_ = nullptr;
}

void SqliteConnection::require_open() const {
  if (db_ == nullptr) raise(err::object_closed);
}

Statement SqliteConnection::prepare(std::string_view sql, const char** tail, unsigned flags) const {
  sqlite3_stmt* raw = nullptr;
  if (sqlite3_prepare_v3(db_, sql.data(), static_cast<int>(sql.size()), flags, &raw, tail) !=
      SQLITE_OK)
    raise_sqlite(db_);
  return Statement(raw);
}

// The catalog is read once per procedure and kept while no other connection
// has committed: this connection never writes the catalog, and an operator who
// redefines a procedure does so from another connection, which changes the
// data version. The check costs one step of a prepared pragma.
const Procedure& SqliteConnection::find_procedure(const std::string& name) {
  if (!version_)
    version_ = prepare("PRAGMA data_version", nullptr, SQLITE_PREPARE_PERSISTENT);
  long long version = -1;
  {
    const StatementUse use(version_.get());
    if (sqlite3_step(version_.get()) != SQLITE_ROW) raise_sqlite(db_);
    version = sqlite3_column_int64(version_.get(), 0);
  }
  if (version != catalog_version_) {
    procedures_.clear();
    catalog_version_ = version;
  }
  std::string key = name;
  for (char& c : key) c = ascii::upper(c);
  if (const auto found = procedures_.find(key); found != procedures_.end()) return found->second;

  if (!lookup_)
    lookup_ = prepare("SELECT name, params, body FROM qrn_procedure WHERE name = ?1", nullptr,
                      SQLITE_PREPARE_PERSISTENT);
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
  if (procedures_.size() >= kMaxCachedBodies) procedures_.clear();
  return procedures_.emplace(std::move(key), Procedure{text(0), split_params(text(1)), text(2)})
      .first->second;
}

void SqliteConnection::bind_arguments(sqlite3_stmt* statement, const Procedure& procedure,
                                      const std::vector<Variant>& arguments) const {
  const int count = sqlite3_bind_parameter_count(statement);
  for (int index = 1; index <= count; ++index) {
    const char* marker = sqlite3_bind_parameter_name(statement, index);
    if (marker == nullptr || marker[0] == '?') continue;
    const std::string_view name(marker + 1);
    for (std::size_t k = 0; k < procedure.params.size(); ++k) {
      if (!ascii::same_name(procedure.params[k], name)) continue;
      if (k < arguments.size()) bind_value(db_, statement, index, arguments[k]);
      break;
    }
  }
}

// The body's statements prepared once, or null when a statement cannot be
// prepared before the ones ahead of it have run.
PreparedBody* SqliteConnection::prepared_body(const std::string& body) {
  if (const auto found = bodies_.find(body); found != bodies_.end()) return &found->second;
  PreparedBody prepared;
  std::string_view rest = body;
  while (!ascii::trim_blanks(rest).empty()) {
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

RowSet SqliteConnection::call_procedure(const std::string& name,
                                        const std::vector<Variant>& arguments) {
  const Procedure& procedure = find_procedure(name);
  if (arguments.size() > procedure.params.size())
    throw Error(err::database,
                "Procedure or function " + procedure.name + " has too many arguments specified.");

  if (PreparedBody* body = prepared_body(procedure.body)) {
    // One statement that only reads is consistent on its own; anything
    // more runs in one transaction.
    std::optional<CommandTransaction> transaction;
    if (body->writes || body->statements.size() > 1)
      transaction.emplace(db_, body->writes, write_turn_);
    Answer answer;
    for (const auto& statement : body->statements) {
      const StatementUse use(statement.get());
      bind_arguments(statement.get(), procedure, arguments);
      read_answer(db_, statement.get(), answer);
    }
    if (transaction) transaction->commit();
    return std::move(answer).row_set();
  }

  // A statement that cannot be prepared yet may need a table an earlier one
  // creates: such a body is prepared as it runs, and counted as writing.
  CommandTransaction transaction(db_, true, write_turn_);
  Answer answer;
  std::string_view rest = procedure.body;
  while (!ascii::trim_blanks(rest).empty()) {
    const char* tail = nullptr;
    Statement statement = prepare(rest, &tail);
    rest.remove_prefix(static_cast<std::size_t>(tail - rest.data()));
    if (!statement) continue;
    refuse_transaction_control(statement.get());
    bind_arguments(statement.get(), procedure, arguments);
    read_answer(db_, statement.get(), answer);
  }
  transaction.commit();
  return std::move(answer).row_set();
}

// Exactly one statement per text: a text glued together from user input
// cannot carry a second one.
RowSet SqliteConnection::run_statement(const std::string& command_text, int timeout_seconds) {
  const std::lock_guard lock(mutex_);
  require_open();
  const Deadline::Scope limit(deadline_, timeout_seconds);
  const std::string sql = apply_dialect(command_text);
  const char* tail = nullptr;
  Statement statement = prepare(sql, &tail);
  if (!statement) throw Error(err::database, "The command text holds no statement.");
  const std::string_view rest(tail, static_cast<std::size_t>(sql.data() + sql.size() - tail));
  if (!ascii::trim_blanks(rest).empty()) {
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
    CommandTransaction transaction(db_, true, write_turn_);
    read_answer(db_, statement.get(), answer);
    transaction.commit();
  } else {
    read_answer(db_, statement.get(), answer);
  }
  return std::move(answer).row_set();
}

// --- What the database holds ------------------------------------------------------

ServerInfo SqliteConnection::server_info() {
  const std::lock_guard lock(mutex_);
  require_open();
  return {"SQLite", sqlite3_libversion(), "qrnmvl embedded engine", QRNMVL_VERSION};
}

bool SqliteConnection::answers_a_row(const char* sql, const std::string& argument) {
  const std::lock_guard lock(mutex_);
  require_open();
  const Statement statement = prepare(sql);
  sqlite3_bind_text(statement.get(), 1, argument.data(), static_cast<int>(argument.size()),
                    SQLITE_TRANSIENT);
  const int rc = sqlite3_step(statement.get());
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) raise_sqlite(db_);
  return rc == SQLITE_ROW;
}

bool SqliteConnection::has_procedure(const std::string& name) {
  // A database without the catalog holds no procedures at all.
  return has_table("qrn_procedure") &&
         answers_a_row("SELECT 1 FROM qrn_procedure WHERE name = ?1", name);
}

bool SqliteConnection::has_table(const std::string& name) {
  return answers_a_row(
      "SELECT 1 FROM sqlite_master WHERE type IN ('table', 'view') AND name = ?1 COLLATE NOCASE",
      name);
}

}  // namespace qrnmvl::data::sqlite
