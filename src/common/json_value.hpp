// Variant <-> JSON, as the call contract and the trace write values:
// null <-> Null; {"$empty": true} <-> Empty; integers in as Long, Integer and
// Long out as integers; other numbers <-> Double; strings <-> String;
// true/false <-> Boolean; arrays <-> Array; {"$date": "yyyy-mm-dd hh:mm:ss"}
// <-> Date; {"$currency": "1234.5"} <-> Currency; an Object answers as
// {"$object": "<kind>"}.
#pragma once

#include <nlohmann/json.hpp>
#include <qrnmvl/variant.hpp>
#include <string>
#include <string_view>

namespace qrnmvl {

// How deep a JSON call may nest: arrays and objects inside each other, the
// call object itself included.
inline constexpr int kMaxJsonDepth = 64;

// Reads a JSON call as a caller wrote it, refusing before it is built (so no
// input can exhaust the stack) a value nested deeper than kMaxJsonDepth, a
// number beyond the range of a double (1e400), and a text or name holding a NUL
// character. std::invalid_argument with a one-line description for those and
// for malformed JSON.
nlohmann::json parse_json_call(std::string_view text);

// A caller's text as it may stand inside a one-line message: control
// characters written as JSON escapes them (a line feed as \n).
std::string one_line(std::string_view text);

nlohmann::json to_json(const Variant& v);
// Error 13 with a description of what was wrong for a value the contract does
// not know (an unknown "$" object, an integer out of the 32-bit range becomes a Double).
Variant from_json(const nlohmann::json& j);

}  // namespace qrnmvl
