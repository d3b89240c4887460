// Background job requests: one job-generator row (LOG_GERADOR) with the
// function to run, optional e-mail data and a start date, plus the job's
// parameters as one text, "__JOB__<id>__<p0>__<p1>...". On "ORACLE" the rows
// are written with plain SQL, with ids allocated from infra_ids and each write
// recorded in the change log (LOG_SISTEMA); on any other database kind the
// procedures SP_QRN_INC_JOB2 and SP_QRN_INCLUI_PARAMETRO_JOB do the work.
//
// Every routine runs on the caller's thread and reaches the database through
// the thread's cached connection for the connection text. Routines answering
// bool never raise: a refusal or a failure answers false with the user message
// in the message output (failures also write a message-log row).
#pragma once

#include <cstdint>
#include <qrnmvl/variant.hpp>
#include <string>
#include <string_view>

#include "routine/frame.hpp"

namespace qrnmvl::jobs {

// Queues one job. The database kind and connection text must not be blank and
// the user id must be numeric. Arguments 5, 6, 7, 10 to 15 and the first
// `parameter_count` elements of `parameters` are replaced by their cleaned
// texts; `job_id` receives the new LOG_GERADOR_ID. Any refusal is also written
// to the message log as "ZEL_JOB.gInclui_JOB - " and the message. A job row
// and its parameters are written whole or not at all.
bool gInclui_JOB(Variant& database_kind, Variant& connection_text, Variant& user_id,
                 Variant& message, Variant& function_id, Variant& email_title, Variant& send_email,
                 Variant& job_id, Variant& parameters, Variant& parameter_count,
                 Variant& email_text, Variant& email_address, Variant& start_date,
                 Variant& sender_address, Variant& attachment_address);

// The steps of gInclui_JOB. `request` holds the request's database kind,
// connection text and user id (as a 32-bit integer), and the caller's message
// output, which receives every refusal and failure.

// Checks the function code and the e-mail fields (cleaned in place). A blank
// start date becomes the empty text; without e-mail the title, address and
// text become empty texts.
bool mConsiste_Inclui_JOB(const FailureTarget& request, Variant& function_id, Variant& send_email,
                          Variant& email_title, Variant& email_address, Variant& email_text,
                          Variant& start_date);
// Writes the job row and reads its id back.
bool mInclui_JOB(const FailureTarget& request, const Variant& function_id,
                 const Variant& email_title, const Variant& send_email, const Variant& email_text,
                 const Variant& email_address, const Variant& sender_address,
                 const Variant& attachment_address, const Variant& start_date, Variant& job_id);
// "__JOB__" + job id, then "__" + each of the first `parameter_count` parameters.
bool mMonta_Parametro(const FailureTarget& request, const Variant& job_id,
                      const Variant& parameters, const Variant& parameter_count,
                      Variant& parameter_text);
// Stores the parameter text on the job row.
bool mInclui_Parametros_JOB(const FailureTarget& request, const Variant& job_id,
                            const Variant& parameter_text);

// The "ORACLE" path. Each writes with plain SQL and records the write in
// LOG_SISTEMA, then gives the command text that answers like the procedure
// would (retorno 0, an empty message and, for the job row, its id).
bool mTrataSP_QRN_INC_JOB(const FailureTarget& request, const Variant& function_id,
                          const Variant& email_title, const Variant& send_email,
                          const Variant& email_text, const Variant& email_address,
                          const Variant& sender_address, const Variant& attachment_address,
                          const Variant& start_date, std::string& answer_text);
bool mTrataSP_QRN_INCLUI_PARAMETRO_JOB(const FailureTarget& request, const Variant& job_id,
                                       const Variant& parameter_text, std::string& answer_text);

// The next id of one column of infra_ids: the counter is read and written back
// inside one write transaction on the thread's connection for the request's
// connection text, so concurrent requests always get distinct ids. The system
// name is accepted and not used. Answers 0, with the message set, when the
// table has no row or the allocation failed.
std::int32_t gAtualiza_infra_ids(const Variant& column_name, const Variant& system_name,
                                 const FailureTarget& request);

// Records one change in LOG_SISTEMA (the request's user, now) under an id
// allocated like gAtualiza_infra_ids. It never stops the request that writes
// it: a failure leaves the change unrecorded and nothing else.
void mInclui_LOG_SISTEMA(const FailureTarget& request, const Variant& table_code,
                         const Variant& action_code, const Variant& record_id) noexcept;

// The literals of the plain-SQL path, each with a leading blank. With an empty
// operator: "  " + the value; with one, " " + operator + " " + the value. A
// missing value (a number that reads as 0 or is not numeric; an empty text or
// date) is " null", " is null" for "=", " is not null" for "<>". Texts come
// out wholly in upper case (" NULL" included); dates as
// to_date('yyyy/mm/dd hh:mm:ss', 'yyyy/mm/dd hh24:mi:ss').
std::string plain_number(const Variant& value, std::string_view comparison = {});
std::string plain_text(const Variant& value, std::string_view comparison = {});
std::string plain_date(const Variant& value, std::string_view comparison = {});

}  // namespace qrnmvl::jobs
