// Variant <-> JSON, as the call contract and the trace write values:
// null <-> Null; {"$empty": true} <-> Empty; integers in as Long, Integer and
// Long out as integers; other numbers <-> Double; strings <-> String;
// true/false <-> Boolean; arrays <-> Array; {"$date": "yyyy-mm-dd hh:mm:ss"}
// <-> Date; {"$currency": "1234.5"} <-> Currency; an Object answers as
// {"$object": "<kind>"}.
#pragma once

#include <qrnmvl/variant.hpp>

#include <nlohmann/json.hpp>

namespace qrnmvl {

nlohmann::json to_json(const Variant& v);
// Error 13 with a description of what was wrong for a value the contract does
// not know (an unknown "$" object, an integer out of the 32-bit range becomes a Double).
Variant from_json(const nlohmann::json& j);

}  // namespace qrnmvl
