// Tracking of a fractional order (order type 9): each schedule row gets its
// earlier event removed and its event recorded again, so closing an order a
// second time replaces its events instead of adding to them.
#include <string>
#include <vector>

#include "common/helpers.hpp"
#include "common/values.hpp"
#include "data/connection.hpp"
#include "routine/frame.hpp"
#include "tracking/answers.hpp"
#include "tracking/tracking.hpp"

namespace qrnmvl::tracking {
namespace {

// The event of a schedule entry and that of an invoice differ only in the
// procedure and in the routine their texts name.
bool include_fractional(const char* procedure, const char* routine, const Variant& database_kind,
                        std::int32_t id, const Variant& company_id, const Variant& event_date,
                        const Variant& event_time, const Variant& user_id,
                        const Variant& connection_text, const Variant& parameter_value,
                        Variant& message, const std::string& label, std::int32_t terminal_id) {
  int line = 0;
  const FailureTarget target{database_kind, connection_text, user_id, message};

  auto body = [&] {
    line = 1;
    const std::string sql = std::string(procedure) + number(Variant(id)) + ", " +
                            number(company_id) + ", " + to_text(gMonta_Data_SQL(event_date)) +
                            ", " + to_text(gMonta_Texto_SQL(event_time)) + ", " + number(user_id) +
                            ", " + number(parameter_value) + " , " + number(Variant(terminal_id));

    line = 2;
    data::RowSet rs = data::open_rowset(sql, connection_text);

    line = 3;
    if (!event_recorded(rs, message, label, user_id, routine, sql)) return false;

    line = 4;
    rs.close();
    return true;
  };

  auto context = [&](const Error& error) {
    return numbered_context(" - QrnMvl." + std::string(routine) + " (", error, line);
  };
  return run_guarded(target, "Erro na inclusão do Tracking. Contacte o Administrador do sistema.",
                     body, context);
}

}  // namespace

bool mConsulta_Campos_AGENDAMENTO_FRAC(const Variant& order_id,
                                       std::vector<std::int32_t>& schedule_ids,
                                       std::vector<Variant>& indicators,
                                       std::vector<std::int32_t>& invoice_ids, std::int32_t& count,
                                       const Variant& /*user_id*/, const Variant& connection_text,
                                       Variant& /*message*/, const Variant& /*database_kind*/) {
  const std::string sql = "EXEC SP_VLM_CONS_TIPO_OS_FRAC2   " + number(order_id);
  data::RowSet rs = data::open_rowset(sql, connection_text, data::kStaticReadOnly);

  if (rs.eof()) {
    count = 0;
    return true;
  }

  rs.move_last();
  rs.move_first();
  count = static_cast<std::int32_t>(rs.record_count());
  const auto rows = static_cast<std::size_t>(count);
  schedule_ids.assign(rows, 0);
  indicators.assign(rows, Variant());
  invoice_ids.assign(rows, 0);
  for (std::size_t i = 0; i < rows; ++i) {
    schedule_ids[i] = to_long(gNormaliza_Valor(rs.field("AGENDAMENTO_FRAC_ID")));
    indicators[i] = gTrata_Nulo(rs.field("indic_coleta_entrega"));
    invoice_ids[i] = to_long(gNormaliza_Valor(rs.field("NOTA_FISCAL_ID")));
    rs.move_next();
  }
  rs.close();
  return true;
}

bool mBusca_Terminal_VAS(const Variant& connection_text, const Variant& user_id,
                         const Variant& /*company_id*/, const Variant& database_kind,
                         const Variant& /*product_name*/, const Variant& order_id,
                         std::int32_t& terminal_id, Variant& message) {
  int line = 0;
  std::string sql;
  const FailureTarget target{database_kind, connection_text, user_id, message};

  auto body = [&] {
    line = 1;
    sql = "EXEC SP_VLM_CONS_TERMINAL_VAS_OS " + number(order_id);

    line = 2;
    data::RowSet rs = data::open_rowset(sql, connection_text);

    // An order without a collection-centre terminal answers no row set at all.
    line = 3;
    if (!rs.is_open()) {
      terminal_id = 0;
      return true;
    }

    line = 4;
    if (rs.eof()) {
      refuse(message,
             "Acesso aos dados do terminal VAS não disponível. Contacte o Administrador do "
             "Sistema.",
             user_id, " - ORS.EOF na rotina mBusca_Terminal_VAS, sql: ", sql);
      return false;
    }

    line = 5;
    terminal_id = to_long(gNormaliza_Valor(rs.field("FORNECEDOR_ID")));
    rs.close();
    return true;
  };

  auto context = [&](const Error& error) {
    return numbered_context(" - QrnMvl.mBusca_Terminal_VAS (", error, line) + "strsq: " + sql;
  };
  return run_guarded(target,
                     "Acesso aos dados do terminal VAS não disponível. Favor tentar mais tarde.",
                     body, context);
}

bool mExclui_Campos_Tracking_Frac(const Variant& database_kind, const Variant& parameter_value,
                                  std::int32_t invoice_id, std::int32_t schedule_id,
                                  const Variant& user_id, const Variant& connection_text,
                                  Variant& message) {
  int line = 0;
  const FailureTarget target{database_kind, connection_text, user_id, message};

  auto body = [&] {
    line = 1;
    const std::string sql = "EXEC SP_QRN_EXC_TRACKING_FRAC2 " + number(parameter_value) + ", " +
                            number(Variant(invoice_id)) + ", " + number(Variant(schedule_id));

    line = 2;
    data::RowSet rs = data::open_rowset(sql, connection_text);

    line = 3;
    if (!answer_accepted(rs, message,
                         "Problemas na exclusão dos trackings das notas fiscais. Contacte o "
                         "Administrador do Sistema.",
                         user_id, "mExclui_Campos_Tracking_Frac", sql))
      return false;

    line = 4;
    rs.close();
    return true;
  };

  auto context = [&](const Error& error) {
    return numbered_context(" - QrnMvl.mExclui_Campos_Tracking_Frac (", error, line);
  };
  return run_guarded(target, "Erro na exclusão do tracking. Contacte o Administrador do sistema.",
                     body, context);
}

bool mInclui_Campos_Tracking_Frac(const Variant& database_kind, std::int32_t schedule_id,
                                  const Variant& company_id, const Variant& event_date,
                                  const Variant& event_time, const Variant& user_id,
                                  const Variant& connection_text, const Variant& parameter_value,
                                  Variant& message, const std::string& label,
                                  std::int32_t terminal_id) {
  return include_fractional("EXEC SP_VLM_INC_TRACKING_FRAC2 ", "mInclui_Campos_Tracking_Frac",
                            database_kind, schedule_id, company_id, event_date, event_time, user_id,
                            connection_text, parameter_value, message, label, terminal_id);
}

bool mInclui_Campos_Tracking_Frac_Nota(const Variant& database_kind, std::int32_t invoice_id,
                                       const Variant& company_id, const Variant& event_date,
                                       const Variant& event_time, const Variant& user_id,
                                       const Variant& connection_text,
                                       const Variant& parameter_value, Variant& message,
                                       const std::string& label, std::int32_t terminal_id) {
  return include_fractional("EXEC SP_VLM_INC_TRACKING_FRAC_NOTA ",
                            "mInclui_Campos_Tracking_Frac_Nota", database_kind, invoice_id,
                            company_id, event_date, event_time, user_id, connection_text,
                            parameter_value, message, label, terminal_id);
}

bool mGera_Tracking_Frac(Variant& order_id, Variant& connection_text, Variant& user_id,
                         Variant& database_kind, Variant& company_id, Variant& product_name,
                         Variant start_date_time, Variant& start_hour, std::int32_t& supplier_id,
                         Variant& message) {
  std::vector<std::int32_t> schedule_ids, invoice_ids;
  std::vector<Variant> indicators;
  std::int32_t count = 0;
  if (!mConsulta_Campos_AGENDAMENTO_FRAC(order_id, schedule_ids, indicators, invoice_ids, count,
                                         user_id, connection_text, message, database_kind))
    return false;

  for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i) {
    Variant parameter_value;
    if (equals(indicators[i], "C")) {
      if (!mVerifica_Tab_Parametro_Sistema(connection_text, user_id, company_id, database_kind,
                                           product_name, Variant(1334), parameter_value, message))
        return false;
      if (!mBusca_Terminal_VAS(connection_text, user_id, company_id, database_kind, product_name,
                               order_id, supplier_id, message))
        return false;
      if (!mExclui_Campos_Tracking_Frac(database_kind, parameter_value, 0, schedule_ids[i], user_id,
                                        connection_text, message))
        return false;
      if (!mInclui_Campos_Tracking_Frac(database_kind, schedule_ids[i], company_id, start_date_time,
                                        start_hour, user_id, connection_text, parameter_value,
                                        message, " Tracking Chegada no CD de coleta", supplier_id))
        return false;
    } else {
      supplier_id = 0;
      if (!mVerifica_Tab_Parametro_Sistema(connection_text, user_id, company_id, database_kind,
                                           product_name, Variant(1332), parameter_value, message))
        return false;
      if (!mExclui_Campos_Tracking_Frac(database_kind, parameter_value, invoice_ids[i], 0, user_id,
                                        connection_text, message))
        return false;
      if (!mInclui_Campos_Tracking_Frac_Nota(
              database_kind, invoice_ids[i], company_id, start_date_time, start_hour, user_id,
              connection_text, parameter_value, message, " Tracking Entrega Realizada", 0))
        return false;
    }
  }
  return true;
}

}  // namespace qrnmvl::tracking
