// Helpers every test program shares for values and errors.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <qrnmvl/variant.hpp>

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

}  // namespace qrnmvl
