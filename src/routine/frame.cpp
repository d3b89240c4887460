#include "routine/frame.hpp"

#include <exception>
#include <new>

#include "common/values.hpp"
#include "routine/message_log.hpp"

namespace qrnmvl {

Error current_error() noexcept {
  try {
    throw;
  } catch (const Error& e) {
    return e;
  } catch (const std::bad_alloc&) {
    return Error(err::out_of_memory, "Out of memory");
  } catch (const std::exception& e) {
    return Error(err::invalid_procedure_call, e.what());
  } catch (...) {
    return Error(err::invalid_procedure_call, "Invalid procedure call or argument");
  }
}

bool is_user_one(const Variant& user_id) noexcept {
  try {
    return equals(user_id, 1.0);
  } catch (...) {
    // A user id that is not a number is not user 1.
    return false;
  }
}

void report_failure(const FailureTarget& target, std::string_view user_message,
                    const std::string& context) noexcept {
  try {
    target.message = Variant(std::string(user_message));
    gGrava_LOG_MSG(target.database_kind, target.connection, target.user_id, Variant(1),
                   Variant(std::string(user_message) + context));
    if (is_user_one(target.user_id)) target.message = Variant(std::string(user_message) + context);
  } catch (...) {
    // Only memory can fail here; the message written so far stands.
  }
}

std::string number_text(long number) { return std::to_string(number); }

std::string numbered_context(std::string_view opening, const Error& error, long line) {
  return std::string(opening) + error.description() + " : " + number_text(error.number()) + ")  " +
         " No Nº " + number_text(line);
}

std::string line_context(std::string_view opening, std::string_view description, long line) {
  return std::string(opening) + std::string(description) + " : " + " No Nº " + number_text(line) +
         ")";
}

}  // namespace qrnmvl
