// The shared failure frame of routines and operations: the routine's user
// message, one message-log row with the context text, the context appended
// for user id 1, and the failure value. Nothing escapes it.
#pragma once

#include <qrnmvl/variant.hpp>
#include <string>
#include <string_view>

namespace qrnmvl {

// Where a failure is reported: the log's database kind, connection and user,
// and the caller's message output.
struct FailureTarget {
  const Variant& database_kind;
  const Variant& connection;
  const Variant& user_id;
  Variant& message;
};

// What the user reads when a step of the closing (its lookups, saves and
// tracking included) fails unexpectedly.
inline constexpr const char* kClosingUnavailable =
    "Acesso ao Fechamento da OS não disponível. Favor tentar mais tarde.";

// The exception in flight as an Error: an Error as it is, out of memory as 7,
// anything else as 5 with its own text.
Error current_error() noexcept;

// True when the user id equals 1 (the user who receives technical detail).
bool is_user_one(const Variant& user_id) noexcept;

// message = user_message; one log row of type 1 with message + context;
// message += context for user id 1.
void report_failure(const FailureTarget& target, std::string_view user_message,
                    const std::string& context) noexcept;

// Runs a routine body that answers true or false. Any exception is reported
// with the context built from the error, and the routine answers false.
template <class Body, class Context>
bool run_guarded(const FailureTarget& target, std::string_view user_message, Body&& body,
                 Context&& context) noexcept {
  try {
    return body();
  } catch (...) {
    try {
      const Error error = current_error();
      report_failure(target, user_message, context(error));
    } catch (...) {
      // Nothing is left to report with.
    }
    return false;
  }
}

// The operation frame: the result is emptied, set to 10, and set to 0 only
// when the body answers true.
template <class Body, class Context>
Variant run_operation(const FailureTarget& target, std::string_view user_message, Body&& body,
                      Context&& context) noexcept {
  Variant result;
  result = Variant(std::int16_t{10});
  if (run_guarded(target, user_message, std::forward<Body>(body), std::forward<Context>(context)))
    result = Variant(std::int16_t{0});
  return result;
}

// Decimal text of a number in a context text.
std::string number_text(long number);

// The two shapes of a failure context text. The opening is the routine's own
// (" - QrnMvl.mConsulta_DT_OS (", " - QRNMVL.mConsiste_Dupl_Solicit -(" ...),
// written where the routine reports, so the full text can be read there.
//   opening + description + " : " + number + ")  " + " No Nº " + line
std::string numbered_context(std::string_view opening, const Error& error, long line);
//   opening + description + " : " + " No Nº " + line + ")"
std::string line_context(std::string_view opening, std::string_view description, long line);

}  // namespace qrnmvl
