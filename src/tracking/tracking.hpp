// Tracking events of a closing: which events a container request gets (the
// plan), recording each one (and, for order types 2, 7 and 8, queueing the job
// that processes it), and replacing the events of a fractional order's
// schedule rows.
//
// Every routine runs on the caller's thread, inside one closing call, and
// opens its row sets on the connection text (the thread's cached connection).
// Routines with a failure frame never raise: a refusal or a failure answers
// false with the user message in the message output, and user id 1 also gets
// the technical text and command. The routines marked "no frame" let
// failures propagate to the closing operation's frame.
#pragma once

#include <cstdint>
#include <qrnmvl/variant.hpp>
#include <string>
#include <vector>

namespace qrnmvl::tracking {

// --- The plan of a full-container order ---------------------------------------

// Records the tracking events of one container request, chosen by the order
// type (1, 2, 7 or 8), the service type (1, 2 or 3), the show-terminal
// indicator and the terminal, order-kind and transport-document lookups; any
// other order or service type records nothing and answers true. Before
// choosing, stores the order type in closing::tracking_order_type for the
// insert to read. Each date-time is the closing's "yyyy/mm/dd hh:mm" text and
// each hour the form's "hh:mm". The supplier id is not used. Events already
// recorded stay when a later one fails.
bool mGera_Tracking_FCL(Variant& order_type, Variant& service_type, Variant& database_kind,
                        Variant& container_request_id, Variant& order_id, Variant& user_id,
                        Variant& connection_text, Variant& message, Variant& company_id,
                        Variant& show_terminal, Variant& product_name,
                        Variant& withdrawal_date_time, Variant& withdrawal_hour,
                        Variant& start_date_time, Variant& start_hour, Variant& end_date_time,
                        Variant& end_hour, Variant& delivery_date_time, Variant& delivery_hour,
                        std::int32_t supplier_id, std::int32_t container_id,
                        std::int32_t empty_terminal_id, std::int32_t full_terminal_id);

// The value of one system parameter (the event's code); the empty text when
// the parameter is null. Company id and product name are not used.
bool mVerifica_Tab_Parametro_Sistema(const Variant& connection_text, const Variant& user_id,
                                     const Variant& company_id, const Variant& database_kind,
                                     const Variant& product_name, const Variant& parameter_code,
                                     Variant& parameter_value, Variant& message);
// Whether the order goes through a distribution centre ("S" or "N") and its
// direct-delivery flag. Company id and product name are not used.
bool mConsulta_Campos_Tipo_OS(const Variant& connection_text, const Variant& user_id,
                              const Variant& company_id, const Variant& database_kind,
                              const Variant& product_name, const Variant& order_id,
                              Variant& distribution_centre, Variant& message,
                              Variant& direct_delivery);
// Whether the order's terminal is an inland terminal (the indicator as stored).
bool mVerifica_Tipo_Terminal_OS(const Variant& database_kind, const Variant& order_id,
                                const Variant& user_id, const Variant& connection_text,
                                Variant& message, Variant& inland_terminal);

// --- Tracking writes ------------------------------------------------------------

// Records one event; a terminal or CTAC id of 0 travels as null. When
// closing::tracking_order_type is 2, 7 or 8, queues job function 2266 with the
// parameters (tracking id, 3, "", CTAC id, container id, tracking id). The
// label is only used in the refusal message. An event stays recorded when its
// job request fails.
bool mInclui_Campos_TRACKING(const Variant& database_kind, const Variant& container_request_id,
                             const Variant& company_id, const Variant& event_date,
                             const Variant& event_time, const Variant& order_id,
                             const Variant& user_id, const Variant& connection_text,
                             const Variant& parameter_value, Variant& message,
                             const std::string& label, std::int32_t terminal_id,
                             std::int32_t ctac_id, std::int32_t container_id);

// The transport documents (CTAC ids) of a container request, in the order the
// database gives them: `ctacs` gets exactly `count` elements; a count of 0
// leaves it untouched.
bool mVerifica_CTACs_Container(const Variant& database_kind, const Variant& container_request_id,
                               const Variant& user_id, const Variant& connection_text,
                               Variant& message, std::int32_t& count,
                               std::vector<std::int32_t>& ctacs);
// The same within the order, by order type.
bool mVerifica_CTACs_Container_OS_TB(const Variant& database_kind,
                                     const Variant& container_request_id, const Variant& user_id,
                                     const Variant& connection_text, const Variant& order_id,
                                     const Variant& order_type, std::int32_t& count,
                                     std::vector<std::int32_t>& ctacs, Variant& message);

// --- Fractional orders (order type 9) -------------------------------------------

// The schedule rows of a fractional order, as parallel arrays of `count`
// elements. No frame: a failure propagates. No row is count 0 and true.
bool mConsulta_Campos_AGENDAMENTO_FRAC(const Variant& order_id,
                                       std::vector<std::int32_t>& schedule_ids,
                                       std::vector<Variant>& indicators,
                                       std::vector<std::int32_t>& invoice_ids, std::int32_t& count,
                                       const Variant& user_id, const Variant& connection_text,
                                       Variant& message, const Variant& database_kind);
// The terminal of the order's collection centre; 0 when the database answers
// no row set at all.
bool mBusca_Terminal_VAS(const Variant& connection_text, const Variant& user_id,
                         const Variant& company_id, const Variant& database_kind,
                         const Variant& product_name, const Variant& order_id,
                         std::int32_t& terminal_id, Variant& message);
// Removes the earlier events of one parameter for an invoice or a schedule
// entry (the other id is 0).
bool mExclui_Campos_Tracking_Frac(const Variant& database_kind, const Variant& parameter_value,
                                  std::int32_t invoice_id, std::int32_t schedule_id,
                                  const Variant& user_id, const Variant& connection_text,
                                  Variant& message);
// Records the event of a schedule entry, or of an invoice.
bool mInclui_Campos_Tracking_Frac(const Variant& database_kind, std::int32_t schedule_id,
                                  const Variant& company_id, const Variant& event_date,
                                  const Variant& event_time, const Variant& user_id,
                                  const Variant& connection_text, const Variant& parameter_value,
                                  Variant& message, const std::string& label,
                                  std::int32_t terminal_id);
bool mInclui_Campos_Tracking_Frac_Nota(const Variant& database_kind, std::int32_t invoice_id,
                                       const Variant& company_id, const Variant& event_date,
                                       const Variant& event_time, const Variant& user_id,
                                       const Variant& connection_text,
                                       const Variant& parameter_value, Variant& message,
                                       const std::string& label, std::int32_t terminal_id);

// The closing's step for an order of type 9: each schedule row's earlier event
// is removed and its event recorded again, a collection-centre arrival for a
// pickup (indicator "C", exactly) and a completed delivery for anything else,
// at the start of execution. `supplier_id` is set per row to the collection
// centre's terminal, or to 0. No frame: a failure of the schedule lookup
// propagates; any other refusal answers false with its message.
bool mGera_Tracking_Frac(Variant& order_id, Variant& connection_text, Variant& user_id,
                         Variant& database_kind, Variant& company_id, Variant& product_name,
                         Variant start_date_time, Variant& start_hour, std::int32_t& supplier_id,
                         Variant& message);

}  // namespace qrnmvl::tracking
