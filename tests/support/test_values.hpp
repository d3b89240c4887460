// Helpers every test program shares for values and errors.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <ostream>
#include <qrnmvl/variant.hpp>
#include <thread>

#include "common/json_value.hpp"

namespace qrnmvl {

// Readable values in failure messages.
inline void PrintTo(const Variant& value, std::ostream* out) { *out << to_json(value).dump(); }

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
