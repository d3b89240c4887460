// The embedded engine's connection: stored procedures from the catalog table,
// plain statements one at a time, each command in its own transaction.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "data/connection.hpp"
#include "data/sqlite/internal.hpp"

namespace qrnmvl::data::sqlite {

// A procedure as the catalog holds it.
struct Procedure {
  std::string name;
  std::vector<std::string> params;  // in call order
  std::string body;
};

// A procedure body prepared once and kept with the connection.
struct PreparedBody {
  std::vector<Statement> statements;
  bool writes = false;
};

// When the command running on a connection must stop: SQLite's progress
// handler asks it while a statement runs.
class Deadline {
 public:
  bool passed() const noexcept { return limited_ && std::chrono::steady_clock::now() >= at_; }

  // The limit of one command, from construction to destruction (0: none).
  class Scope {
   public:
    Scope(Deadline& deadline, int seconds) noexcept : deadline_(deadline) {
      deadline_.limited_ = seconds > 0;
      deadline_.at_ = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
    ~Scope() { deadline_.limited_ = false; }

   private:
    Deadline& deadline_;
  };

 private:
  bool limited_ = false;
  std::chrono::steady_clock::time_point at_;
};

// Writers of one file in this process take turns here, first come first
// served, before they ask SQLite for its write lock: SQLite's own busy wait
// polls with growing sleeps and lets a late writer overtake one that has
// waited long, so that under many writers some waited their whole busy timeout
// out. Writers in other processes still meet SQLite's busy timeout.
struct WriteTurn {
  std::shared_ptr<std::timed_mutex> writers;  // shared by the file's connections
  std::chrono::milliseconds wait{5000};       // the connection's busy timeout
  // Error -2147217900 "database is locked" after waiting `wait`; an empty lock
  // for a database without a file.
  std::unique_lock<std::timed_mutex> take() const;
  static std::shared_ptr<std::timed_mutex> for_file(dev_t device, ino_t inode);
};

// The write-ahead log of a replaced file, left at the path by its last
// connection (SQLite neither applies nor deletes the log of a file that moved).
struct OrphanedLog {
  std::string path;
  dev_t device;
  ino_t inode;
};
void note_orphaned_log(OrphanedLog log);
// Removes each orphaned log (and its -shm) that is still the file at its path,
// once no connection of the process is left on the replaced file.
void remove_orphaned_logs() noexcept;

class SqliteConnection final : public Connection {
 public:
  // Takes ownership of an open handle; commands run by execute stop after
  // command_timeout_seconds (0: never).
  SqliteConnection(std::string text, sqlite3* db, Trace trace, int command_timeout_seconds);
  ~SqliteConnection() override;
  SqliteConnection(const SqliteConnection&) = delete;
  SqliteConnection& operator=(const SqliteConnection&) = delete;

  const std::string& text() const noexcept override { return text_; }
  bool is_open() const noexcept override;
  void begin(Isolation isolation) override;
  void commit() override;
  void rollback() override;
  void close() noexcept override;
  ServerInfo server_info() override;
  bool has_procedure(const std::string& name) override;
  bool has_table(const std::string& name) override;
  // The file opened is still the one at its path (same device and inode).
  bool still_valid() const noexcept override;
  // Notes which write-ahead log at the path is this connection's, once the
  // database is in WAL mode: when the file is replaced, closing deletes that
  // log only if it is still ours, never one of the file that replaced it.
  void remember_wal() noexcept;
  // SQLite's busy timeout, and the longest a writer waits for its turn.
  void set_busy_timeout(int milliseconds) noexcept;

 protected:
  RowSet run_procedure(const ExecCall& call, int timeout_seconds) override;
  RowSet run_prepared(const std::string& procedure, const std::vector<Parameter>& parameters,
                      int timeout_seconds) override;
  RowSet run_statement(const std::string& statement, int timeout_seconds) override;

 private:
  void require_open() const;
  Statement prepare(std::string_view sql, const char** tail = nullptr, unsigned flags = 0) const;
  const Procedure& find_procedure(const std::string& name);
  void bind_arguments(sqlite3_stmt* statement, const Procedure& procedure,
                      const std::vector<Variant>& arguments) const;
  PreparedBody* prepared_body(const std::string& body);
  RowSet call_procedure(const std::string& name, const std::vector<Variant>& arguments);
  bool answers_a_row(const char* sql, const std::string& argument);

  const std::string text_;
  mutable std::mutex mutex_;
  sqlite3* db_;
  Deadline deadline_;
  // The file as it was when opened; empty for a database without a file.
  std::string file_;
  dev_t device_ = 0;
  ino_t inode_ = 0;
  dev_t wal_device_ = 0;
  ino_t wal_inode_ = 0;
  bool wal_known_ = false;
  WriteTurn write_turn_;
  std::unique_lock<std::timed_mutex> transaction_turn_;  // held from begin() to its end
  Statement lookup_;                                      // the catalog lookup, prepared once
  Statement version_;                                     // PRAGMA data_version, prepared once
  // The procedures looked up, by upper-case name, while the database's data
  // version (which another connection's commit changes) stays what it was.
  std::unordered_map<std::string, Procedure> procedures_;
  long long catalog_version_ = -1;
  std::unordered_map<std::string, PreparedBody> bodies_;  // by body text
};

}  // namespace qrnmvl::data::sqlite
