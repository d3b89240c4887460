// Helpers every test program shares for values and errors.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <ostream>
#include <qrnmvl/variant.hpp>
#include <string>
#include <thread>
#include <vector>

#include "common/json_value.hpp"

namespace qrnmvl {

// Readable values in failure messages.
inline void PrintTo(const Variant& value, std::ostream* out) { *out << to_json(value).dump(); }

// The results of an operation, and rows as a query answers them.
inline const Variant kSuccess(std::int16_t{0}), kFailure(std::int16_t{10});
using Rows = std::vector<std::vector<Variant>>;

// The Error an action raises; a test failure when it raises none.
inline Error error_of(const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& error) {
    return error;
  }
  ADD_FAILURE() << "no Error was raised";
  return Error(0, "");
}
inline long error_number(const std::function<void()>& action) { return error_of(action).number(); }

// An object whose default text is a connection text, as a connection's is.
inline Variant connection_object() {
  struct Connection : VariantObject {
    std::string kind() const override { return "connection"; }
    std::string default_text() const override { return "Provider=SQLite;Data Source=x.db"; }
  };
  return Variant::object(std::make_shared<Connection>());
}

// Runs an action on a thread of its own and waits for it at most `limit`: true
// when it returned in time. An action that never returns is left running, so
// that the test fails instead of hanging; it must therefore own (capture by
// value) everything it uses.
inline bool returns_within(std::chrono::seconds limit, std::function<void()> action) {
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> finished = done->get_future();
  std::thread([done, action = std::move(action)] {
    try {
      action();
    } catch (...) {
    }
    done->set_value();
  }).detach();
  return finished.wait_for(limit) == std::future_status::ready;
}

}  // namespace qrnmvl
