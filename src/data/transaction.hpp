// A write transaction as an object: it begins when constructed, commit() ends
// it, and the destructor rolls back whatever was not committed, so an
// exception can never leave a transaction open on a thread's cached connection.
//
// Transactions nest on a thread: one begun while the thread already has one
// open joins it (its begin and commit do nothing; the outermost decides). What
// must be written whatever happens to the transaction — the message log — is
// deferred with after() until the outermost one has ended.
#pragma once

#include <functional>
#include <memory>

#include "data/connection.hpp"

namespace qrnmvl::data {

class Transaction {
 public:
  // Errors of the connection's begin reach the caller (nothing is then open).
  explicit Transaction(std::shared_ptr<Connection> connection,
                       Isolation isolation = Isolation::Default);
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  ~Transaction();

  // Errors of the commit reach the caller; the transaction is then rolled back
  // by the destructor.
  void commit();

  // True when a command of the thread's transaction failed on a conflict with
  // another writer (a serialization failure, a deadlock, a busy database): the
  // same work tried again may succeed.
  bool conflicted() const noexcept;
  // Drops what after() deferred so far: the try is going to be made again.
  void forget_deferred() noexcept;

  // Runs action at once when the calling thread has no transaction open, and
  // otherwise once the outermost one has ended, committed or rolled back. An
  // action that throws is dropped.
  static void after(std::function<void()> action);

 private:
  void finish() noexcept;

  std::shared_ptr<Connection> connection_;
  bool outermost_;
  bool committed_ = false;
};

// Drivers mark a failure that a new try may not meet (see conflicted()).
void note_conflict() noexcept;

}  // namespace qrnmvl::data
