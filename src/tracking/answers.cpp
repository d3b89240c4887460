#include "tracking/answers.hpp"

#include "common/helpers.hpp"
#include "common/values.hpp"
#include "routine/frame.hpp"

namespace qrnmvl::tracking {

std::string number(const Variant& value) { return to_text(gMonta_Numero_SQL(value)); }

bool greater_than_zero(const Variant& value) {
  const auto comparison = compare(value, 0);
  return comparison.has_value() && *comparison > 0;
}

void refuse(Variant& message, std::string user_message, const Variant& user_id,
            std::string_view technical, const std::string& sql) {
  if (is_user_one(user_id)) user_message += std::string(technical) + sql;
  message = Variant(std::move(user_message));
}

bool answer_accepted(data::RowSet& rs, Variant& message, const std::string& user_message,
                     const Variant& user_id, std::string_view routine, const std::string& sql) {
  const auto technical = [&](std::string_view opening) {
    return std::string(opening) + std::string(routine) + ", sql: ";
  };
  if (!rs.is_open()) {
    refuse(message, user_message, user_id, technical(" - oRS.State = 0 na "), sql);
    return false;
  }
  if (rs.eof()) {
    refuse(message, user_message, user_id, technical(" - oRS.EOF na "), sql);
    return false;
  }
  if (!equals(gNormaliza_Valor(rs.field("retorno")), 0)) {
    refuse(message, user_message, user_id, technical(" - oRS!retorno > 0 na "), sql);
    rs.close();
    return false;
  }
  return true;
}

bool event_recorded(data::RowSet& rs, Variant& message, const std::string& label,
                    const Variant& user_id, std::string_view routine, const std::string& sql) {
  return answer_accepted(
      rs, message,
      "Problemas na inclusão de trackings no sistema. Contacte o Administrador do Sistema. " +
          label,
      user_id, routine, sql);
}

}  // namespace qrnmvl::tracking
