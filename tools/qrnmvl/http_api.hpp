// What the service tells and checks of the operations' calls, derived from the
// dispatch table (qrnmvl::operations()) so that it follows every change of it:
// which parameters are arrays, which count the rows of a call, the size
// limits of a call, and the OpenAPI description served at /v1/openapi.json.
#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace qrnmvl::tool::http {

// By the naming of the operations' parameters, an array parameter's name
// begins with "arr", "inarr" or "outarr", in any case.
bool is_array_parameter(std::string_view name);

// The parameter that says how many rows of the arrays an operation visits
// (the containers of a closing, the incidents of a checklist): the operation
// follows that count, not the arrays' size. Empty for the other operations.
std::optional<std::string> row_count_parameter(std::string_view operation);

// Why a call is larger than the service takes: an array anywhere in it with
// more than max_array elements, or a row count above max_array. Empty when it
// is within the limits. call is an object of parameters.
std::optional<std::string> oversized(const nlohmann::json& call, std::string_view operation,
                                     std::size_t max_array);

struct ApiFacts {
  std::size_t max_body = 0;   // bytes
  std::size_t max_array = 0;  // elements
  double receive_timeout = 0, request_timeout = 0;  // seconds
};

// The OpenAPI 3.1 description of the service: every operation with its
// parameters, its answer, the refusals and their statuses, the bearer scheme.
nlohmann::ordered_json openapi_description(const ApiFacts& facts);

}  // namespace qrnmvl::tool::http
