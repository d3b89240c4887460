// What the routines of this folder share: reading the database's answer,
// preparing the ids and parameters they send, and the frame of the routines
// whose failure context ends in their command text. Not seen outside
// src/persistence.
#pragma once

#include <memory>
#include <qrnmvl/variant.hpp>
#include <string>
#include <string_view>

#include "common/helpers.hpp"
#include "common/values.hpp"
#include "data/command.hpp"
#include "data/rowset.hpp"
#include "routine/frame.hpp"

namespace qrnmvl::persistence {

// The procedure accepted the call: "retorno" of the current row reads as 0.
// A "retorno" that is no number raises Error 13, a missing one Error 3265.
inline bool retorno_zero(const data::RowSet& rs) {
  return equals(gNormaliza_Valor(rs.field("retorno")), 0.0);
}

// An id that reads as 0 is no id: the caller's value becomes the empty text,
// which gValor_Padrao then sends as NULL.
inline void empty_when_zero(Variant& id) {
  if (equals(gNormaliza_Valor(id), 0.0)) id = Variant("");
}

// A prepared call of a stored procedure on a connection.
inline data::Command procedure_command(std::shared_ptr<data::Connection> connection,
                                       const char* procedure) {
  data::Command command;
  command.connection = std::move(connection);
  command.command_text = procedure;
  return command;
}

// An input parameter whose value goes through gValor_Padrao: an empty text or
// Null is sent as NULL, anything else as it is.
inline void append_input(data::Command& command, const char* name, data::DataType type, long size,
                         const Variant& value) {
  command.append({name, type, data::Direction::Input, size, gValor_Padrao(value)});
}

// run_guarded with the context
//   opening + description + " : " + number + ")  " + " No Nº " + line + "strsq: " + command text
// where line and the command text are read as they stand when the failure
// happens (the text is empty when it was not complete).
template <class Body>
bool run_guarded_with_command(const FailureTarget& target, std::string_view user_message,
                              std::string_view opening, const int& line, const std::string& strsq,
                              Body&& body) noexcept {
  return run_guarded(target, user_message, std::forward<Body>(body), [&](const Error& error) {
    return numbered_context(opening, error, line) + "strsq: " + strsq;
  });
}

}  // namespace qrnmvl::persistence
