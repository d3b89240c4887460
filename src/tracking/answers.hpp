// How the tracking routines judge the answers of their procedures and word
// their refusals.
#pragma once

#include <qrnmvl/variant.hpp>
#include <string>
#include <string_view>

#include "data/rowset.hpp"

namespace qrnmvl::tracking {

// A value as a number literal of a command (gMonta_Numero_SQL).
std::string number(const Variant& value);

// True when the value, read as a number, is above 0 (Null is not).
bool greater_than_zero(const Variant& value);

// The message of a refused answer: the user message, followed for user id 1
// by the technical text and the command.
void refuse(Variant& message, std::string user_message, const Variant& user_id,
            std::string_view technical, const std::string& sql);

// An answer is accepted when it is open, has a row and its retorno is 0.
// Otherwise the refusal names the routine in its technical text:
// " - oRS.State = 0 na ", " - oRS.EOF na " or " - oRS!retorno > 0 na "
// followed by the routine and ", sql: ".
bool answer_accepted(data::RowSet& rs, Variant& message, const std::string& user_message,
                     const Variant& user_id, std::string_view routine, const std::string& sql);

// The answer of a tracking event's insert, judged as above; a refusal names
// the event by its label.
bool event_recorded(data::RowSet& rs, Variant& message, const std::string& label,
                    const Variant& user_id, std::string_view routine, const std::string& sql);

}  // namespace qrnmvl::tracking
