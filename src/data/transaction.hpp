// A write transaction as an object: it begins when constructed, commit() ends
// it, and the destructor rolls back whatever was not committed, so an
// exception can never leave a transaction open on a thread's cached connection.
#pragma once

#include <memory>

#include "data/connection.hpp"

namespace qrnmvl::data {

class Transaction {
 public:
  explicit Transaction(std::shared_ptr<Connection> connection)
      : connection_(std::move(connection)) {
    connection_->begin();
  }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  ~Transaction() {
    if (committed_) return;
    try {
      connection_->rollback();
    } catch (...) {
      // The failure that brought us here is the one to report; a connection
      // that cannot even roll back is closed, which ends the transaction too.
      connection_->close();
    }
  }

  void commit() {
    connection_->commit();
    committed_ = true;
  }

 private:
  std::shared_ptr<Connection> connection_;
  bool committed_ = false;
};

}  // namespace qrnmvl::data
