// What routines need on top of data access: the readable text of a prepared
// command, for their failure contexts.
#pragma once

#include <qrnmvl/variant.hpp>
#include <string>

#include "data/command.hpp"

namespace qrnmvl {

// "EXEC NAME v1, v2, ...": texts and dates between apostrophes, Null as "Null".
// Error 5 for a command without parameters.
bool gMonta_EXEC(const data::Command& command, const std::string& procedure, Variant& output_text);

}  // namespace qrnmvl
