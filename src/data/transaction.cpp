#include "data/transaction.hpp"

#include <utility>
#include <vector>

namespace qrnmvl::data {
namespace {

struct ThreadTransaction {
  const Transaction* outermost = nullptr;
  bool conflicted = false;
  std::vector<std::function<void()>> deferred;
};

thread_local ThreadTransaction current;

}  // namespace

void note_conflict() noexcept { current.conflicted = true; }

Transaction::Transaction(std::shared_ptr<Connection> connection, Isolation isolation)
    : connection_(std::move(connection)), outermost_(current.outermost == nullptr) {
  if (!outermost_) return;
  current.conflicted = false;
  current.deferred.clear();
  connection_->begin(isolation);
  current.outermost = this;
}

Transaction::~Transaction() {
  if (!outermost_) return;
  if (!committed_) {
    try {
      connection_->rollback();
    } catch (...) {
      // The failure that brought us here is the one to report; a connection
      // that cannot even roll back is closed, which ends the transaction too.
      connection_->close();
    }
  }
  finish();
}

void Transaction::commit() {
  if (!outermost_) return;
  connection_->commit();
  committed_ = true;
}

bool Transaction::conflicted() const noexcept { return current.conflicted; }

void Transaction::forget_deferred() noexcept {
  if (outermost_) current.deferred.clear();
}

void Transaction::finish() noexcept {
  current.outermost = nullptr;
  std::vector<std::function<void()>> deferred = std::exchange(current.deferred, {});
  for (auto& action : deferred) {
    try {
      action();
    } catch (...) {
    }
  }
}

void Transaction::after(std::function<void()> action) {
  if (current.outermost != nullptr) {
    current.deferred.push_back(std::move(action));
    return;
  }
  action();
}

}  // namespace qrnmvl::data
