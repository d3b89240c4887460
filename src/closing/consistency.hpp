// The database checks the closing validation makes before anything is
// written. Each sends one stored-procedure call on the connection text and
// only reads; each answers true when the check passed (or the data was found)
// and leaves any message for the user in `message`. Each has its own failure
// handler: an unexpected failure writes its message, one log row and, for user
// id 1, its context, and answers false. Nothing is raised.
#pragma once

#include <qrnmvl/variant.hpp>

namespace qrnmvl::closing {

// Whether a container of the closing is already tied to another container
// request. A refusal of the database copies its reason into `message`.
bool mConsiste_Dupl_Solicit(Variant& user_id, Variant& database_kind, Variant& connection_text,
                            Variant& container_number, Variant& container_type_id,
                            Variant& container_request_id, Variant& order_id, Variant& message);

// Whether a container's schedule is consistent with its container request. An
// answer without a row is an unexpected failure.
bool mConsiste_SEC_Agend_Container(Variant& user_id, Variant& database_kind,
                                   Variant& connection_text, Variant& schedule_id,
                                   Variant& second_key, Variant& container_request_id,
                                   Variant& message);

// The dates an order allows, all written as texts: its issue date and the
// earliest permitted date as yyyy/mm/dd, the number of days allowed, the issue
// date as shown on screen and the database's current date as dd/mm/yyyy. An
// order the database does not know answers false with the outputs and the
// message untouched, and is not logged.
bool mConsulta_DT_OS(Variant& database_kind, Variant& order_id, Variant& issue_date,
                     Variant& days_allowed, Variant& permitted_date, Variant& issue_date_shown,
                     Variant& current_date, Variant& user_id, Variant& connection_text,
                     Variant& message);

}  // namespace qrnmvl::closing
