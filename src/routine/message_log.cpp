#include "routine/message_log.hpp"

#include <cmath>
#include <ctime>
#include <string>

#include "common/helpers.hpp"
#include "common/values.hpp"
#include "data/connection.hpp"
#include "data/transaction.hpp"

namespace qrnmvl {
namespace {

constexpr std::size_t kPieceLength = 255;
constexpr int kPieces = 5;

// The number at the start of a numeric value's text, as a 32-bit integer
// (ties to even); 0 for anything that is not numeric.
Variant log_number(const Variant& value) {
  if (!is_numeric(value)) return Variant(0);
  return Variant(to_long(Variant(val(to_text(value)))));
}

std::string now_for_oracle() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y/%m/%d %H:%M:%S", &local);
  return text;
}

}  // namespace

void gGrava_LOG_MSG(const Variant& database_kind, const Variant& connection, const Variant& user_id,
                    const Variant& message_type, const Variant& text) noexcept {
  try {
    // Every step stands alone: a value that cannot be read leaves its default.
    auto blank = [](const Variant& v) {
      try {
        return !v.is_null() && trim(to_text(v)).empty();
      } catch (...) {
        return false;
      }
    };
    if (blank(database_kind) || blank(connection)) return;

    Variant user(0);
    Variant type(0);
    try {
      user = log_number(user_id);
    } catch (...) {
    }
    try {
      type = log_number(message_type);
    } catch (...) {
    }

    std::string stripped;
    try {
      stripped = to_text(gRetira_Caracteres_Especiais(Variant(to_text(text))));
    } catch (...) {
    }
    if (stripped.empty()) return;

    std::string date_part;
    if (equals(database_kind, "SQLSERVER"))
      date_part = " GETDATE() , ";
    else if (equals(database_kind, "ORACLE"))
      date_part = " TO_DATE('" + now_for_oracle() + "' , 'YYYY/MM/DD hh24:mi:ss') , ";
    else
      date_part = " '2002/01/01' , ";

    std::string statement = "INSERT INTO LOG_MSG ";
    statement += "( TAB_TIPO_MSG_ID,";
    statement += " USUARIO_INTERNET_ID , ";
    statement += " DATA_LOG    , ";
    statement += " MSG01       , ";
    statement += " MSG02       , ";
    statement += " MSG03       , ";
    statement += " MSG04       , ";
    statement += " MSG05       ) ";
    statement += " VALUES ( ";
    statement += to_text(gMonta_Numero_SQL(type)) + " , ";
    statement += to_text(gMonta_Numero_SQL(user)) + " , ";
    statement += date_part;
    for (int piece = 0; piece < kPieces; ++piece) {
      const std::string part = mid(stripped, 1 + piece * kPieceLength, kPieceLength);
      statement += to_text(gMonta_Texto_SQL(Variant(part)));
      statement += piece + 1 < kPieces ? " , " : " ) ";
    }
    // Written whatever becomes of a transaction the thread has open: a job
    // request rolled back keeps the row that says why.
    data::Transaction::after(
        [statement, connection] { data::open_rowset(statement, connection); });
  } catch (...) {
    // The log never disturbs its caller.
  }
}

}  // namespace qrnmvl
