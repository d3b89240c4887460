// Recording one tracking event of a full-container closing, with the job that
// processes it for order types 2, 7 and 8, and the transport documents (CTACs)
// of a container request.
#include <ctime>
#include <string>

#include "closing/closing_state.hpp"
#include "common/helpers.hpp"
#include "common/values.hpp"
#include "data/connection.hpp"
#include "jobs/jobs.hpp"
#include "routine/frame.hpp"
#include "tracking/answers.hpp"
#include "tracking/tracking.hpp"

namespace qrnmvl::tracking {
namespace {

Date now() {
  const std::time_t seconds = std::time(nullptr);
  std::tm local{};
  localtime_r(&seconds, &local);
  return Date::from_parts(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                          local.tm_min, local.tm_sec);
}

// The job that processes a new event: function 2266, no e-mail, to start now.
bool queue_tracking_job(const Variant& database_kind, const Variant& connection_text,
                        const Variant& user_id, Variant& message, std::int32_t tracking_id,
                        std::int32_t ctac_id, std::int32_t container_id) {
  Variant kind = database_kind, connection = connection_text, user = user_id;
  Variant function(std::int16_t{2266}), title(""), send_email("N"), job_id, count(6),
      email_text(""), email_address(""), start(now()), sender(""), attachment("");
  Variant parameters(Variant::Array{Variant(tracking_id), Variant(3), Variant(""), Variant(ctac_id),
                                    Variant(container_id), Variant(tracking_id)});
  return jobs::gInclui_JOB(kind, connection, user, message, function, title, send_email, job_id,
                           parameters, count, email_text, email_address, start, sender, attachment);
}

// Both lookups answer the same columns; only the command differs.
bool read_ctacs(const std::string& sql, const Variant& user_id, const Variant& connection_text,
                Variant& message, std::int32_t& count, std::vector<std::int32_t>& ctacs,
                int& line) {
  line = 2;
  data::RowSet rs = data::open_rowset(sql, connection_text);

  line = 3;
  if (!rs.is_open()) {
    refuse(message, "Acesso aos CTACs do container não disponível. ", user_id,
           " - oRS.State = 0 na mInclui_Campos_Tracking, sql: ", sql);
    return false;
  }

  line = 4;
  if (rs.eof()) {
    count = 0;
    return true;
  }

  line = 5;
  rs.move_last();
  rs.move_first();
  count = to_long(gNormaliza_Valor(Variant(static_cast<std::int32_t>(rs.record_count()))));
  ctacs.assign(static_cast<std::size_t>(count), 0);
  for (std::int32_t& ctac : ctacs) {
    ctac = to_long(gNormaliza_Valor(rs.field("DOCTO_TRANSPORTE_ID")));
    rs.move_next();
  }
  rs.close();
  return true;
}

constexpr const char* kCtacsUnavailable = "Acesso aos CTACs do container não disponível.";

}  // namespace

bool mInclui_Campos_TRACKING(const Variant& database_kind, const Variant& container_request_id,
                             const Variant& company_id, const Variant& event_date,
                             const Variant& event_time, const Variant& order_id,
                             const Variant& user_id, const Variant& connection_text,
                             const Variant& parameter_value, Variant& message,
                             const std::string& label, std::int32_t terminal_id,
                             std::int32_t ctac_id, std::int32_t container_id) {
  int line = 0;
  const FailureTarget target{database_kind, connection_text, user_id, message};

  auto body = [&] {
    line = 1;
    const std::string sql = "EXECUTE SP_VLM_INC_TRACKING7 " + number(container_request_id) + ", " +
                            number(company_id) + ", " + to_text(gMonta_Data_SQL(event_date)) +
                            ", " + to_text(gMonta_Texto_SQL(event_time)) + ", " + number(order_id) +
                            ", " + number(user_id) + ", " + number(parameter_value) + ", " +
                            number(Variant(terminal_id)) + " , " + number(Variant(ctac_id));

    line = 2;
    data::RowSet rs = data::open_rowset(sql, connection_text);

    line = 3;
    if (!event_recorded(rs, message, label, user_id, "mInclui_Campos_Tracking", sql)) return false;

    line = 6;
    const std::int32_t tracking_id = to_long(gNormaliza_Valor(rs.field("tracking_id")));
    rs.close();

    line = 7;
    const std::int16_t order_type = closing::tracking_order_type;
    if (order_type == 2 || order_type == 7 || order_type == 8) {
      if (!queue_tracking_job(database_kind, connection_text, user_id, message, tracking_id,
                              ctac_id, container_id))
        return false;
    }

    line = 8;
    return true;
  };

  auto context = [&](const Error& error) {
    return numbered_context(" - QrnMvl.mInclui_Campos_TRACKING (", error, line);
  };
  return run_guarded(target, "Erro na inclusão do Tracking. Contacte o Administrador do sistema.",
                     body, context);
}

bool mVerifica_CTACs_Container(const Variant& database_kind, const Variant& container_request_id,
                               const Variant& user_id, const Variant& connection_text,
                               Variant& message, std::int32_t& count,
                               std::vector<std::int32_t>& ctacs) {
  int line = 0;
  const FailureTarget target{database_kind, connection_text, user_id, message};

  auto body = [&] {
    line = 1;
    const std::string sql =
        "EXEC SP_VLM_CON_CTACS_CONT_FECHA_OS " + number(container_request_id) + "  ";
    return read_ctacs(sql, user_id, connection_text, message, count, ctacs, line);
  };

  auto context = [&](const Error& error) {
    return numbered_context(" - QrnMvl.mVerifica_CTACs_Container (", error, line);
  };
  return run_guarded(target, kCtacsUnavailable, body, context);
}

bool mVerifica_CTACs_Container_OS_TB(const Variant& database_kind,
                                     const Variant& container_request_id, const Variant& user_id,
                                     const Variant& connection_text, const Variant& order_id,
                                     const Variant& order_type, std::int32_t& count,
                                     std::vector<std::int32_t>& ctacs, Variant& message) {
  int line = 0;
  const FailureTarget target{database_kind, connection_text, user_id, message};

  auto body = [&] {
    line = 1;
    const std::string sql = "EXECUTE SP_VLM_CON_CTACS_CONT_FECHA_OS_TB " + number(order_id) + ", " +
                            number(container_request_id) + ", " + number(order_type);
    return read_ctacs(sql, user_id, connection_text, message, count, ctacs, line);
  };

  auto context = [&](const Error& error) {
    return numbered_context(" - QrnMvl.mVerifica_CTACs_Container_OS_TB (", error, line);
  };
  return run_guarded(target, kCtacsUnavailable, body, context);
}

}  // namespace qrnmvl::tracking
