// The tracking plan of a full-container order: which events the closing of one
// container request records, in which order, with which date, terminal and
// transport document, and the three lookups only the tracking code uses.
#include <string>
#include <vector>

#include "closing/closing_state.hpp"
#include "common/helpers.hpp"
#include "common/values.hpp"
#include "data/connection.hpp"
#include "routine/frame.hpp"
#include "tracking/answers.hpp"
#include "tracking/tracking.hpp"

namespace qrnmvl::tracking {

bool mGera_Tracking_FCL(Variant& order_type, Variant& service_type, Variant& database_kind,
                        Variant& container_request_id, Variant& order_id, Variant& user_id,
                        Variant& connection_text, Variant& message, Variant& company_id,
                        Variant& show_terminal, Variant& product_name,
                        Variant& withdrawal_date_time, Variant& withdrawal_hour,
                        Variant& start_date_time, Variant& start_hour, Variant& end_date_time,
                        Variant& end_hour, Variant& delivery_date_time, Variant& delivery_hour,
                        std::int32_t /*supplier_id*/, std::int32_t container_id,
                        std::int32_t empty_terminal_id, std::int32_t full_terminal_id) {
  int line = 0;
  const FailureTarget target{database_kind, connection_text, user_id, message};

  // One event: the value of its system parameter, then the event itself.
  auto record = [&](int parameter_code, const std::string& label, const Variant& date,
                    const Variant& time, std::int32_t terminal_id, std::int32_t ctac_id) {
    Variant parameter_value;
    if (!mVerifica_Tab_Parametro_Sistema(connection_text, user_id, company_id, database_kind,
                                         product_name, Variant(parameter_code), parameter_value,
                                         message))
      return false;
    return mInclui_Campos_TRACKING(database_kind, container_request_id, company_id, date, time,
                                   order_id, user_id, connection_text, parameter_value, message,
                                   label, terminal_id, ctac_id, container_id);
  };
  auto inland_terminal = [&](Variant& indicator) {
    return mVerifica_Tipo_Terminal_OS(database_kind, order_id, user_id, connection_text, message,
                                      indicator);
  };

  auto body = [&] {
    line = 2;
    const Variant type = gNormaliza_Valor(order_type);
    if (!equals(type, 1) && !equals(type, 2) && !equals(type, 7) && !equals(type, 8)) return true;

    line = 3;
    const Variant service = gNormaliza_Valor(service_type);
    if (!equals(service, 1) && !equals(service, 2) && !equals(service, 3)) return true;

    line = 4;
    closing::tracking_order_type = to_integer(type);

    line = 5;
    const bool terminal_events = equals(show_terminal, "S");
    std::int32_t count = 0;
    std::vector<std::int32_t> ctacs;

    if (equals(type, 1)) {
      line = 11;
      if (terminal_events && !record(1324, " Tracking Retirada Vazio CY", withdrawal_date_time,
                                     withdrawal_hour, empty_terminal_id, 0))
        return false;
      line = 12;
      if (!record(1325, " Tracking Chegada Embarcador", start_date_time, start_hour, 0, 0))
        return false;
      line = 13;
      if (!record(1326, " Tracking Saída do Embarcador", end_date_time, end_hour, 0, 0))
        return false;
      line = 14;
      if (terminal_events) {
        Variant inland;
        if (!inland_terminal(inland)) return false;
        const bool recorded = equals(inland, "S")
                                  ? record(1327, " Tracking Entrega no ICT - Coleta",
                                           delivery_date_time, delivery_hour, full_terminal_id, 0)
                                  : record(1328, " Tracking Entrega no Porto", delivery_date_time,
                                           delivery_hour, full_terminal_id, 0);
        if (!recorded) return false;
      }
    } else if (equals(type, 2)) {
      line = 20;
      if (!mVerifica_CTACs_Container(database_kind, container_request_id, user_id, connection_text,
                                     message, count, ctacs))
        return false;
      for (std::int32_t i = 0; i < count; ++i) {
        const std::int32_t ctac = ctacs.at(static_cast<std::size_t>(i));

        line = 21;
        if (terminal_events) {
          Variant inland;
          if (!inland_terminal(inland)) return false;
          const bool recorded =
              equals(inland, "N")
                  ? record(1329, " Tracking Retirada Vazio CY", withdrawal_date_time,
                           withdrawal_hour, full_terminal_id, ctac)
                  : record(5202, " Saida do ICT", withdrawal_date_time, withdrawal_hour,
                           full_terminal_id, ctac);
          if (!recorded) return false;
        }

        line = 22;
        Variant distribution_centre, direct_delivery;
        if (!mConsulta_Campos_Tipo_OS(connection_text, user_id, company_id, database_kind,
                                      product_name, order_id, distribution_centre, message,
                                      direct_delivery))
          return false;
        const bool through_centre = equals(distribution_centre, "S");
        if (through_centre) {
          const bool direct = equals(direct_delivery, "S");
          if (!record(direct ? 1390 : 1335, " Tracking Chegada CD - Entrega", start_date_time,
                      start_hour, 0, ctac))
            return false;
          if (!record(direct ? 1391 : 1336, " Tracking Saída do CD - Carga Desconsolidada",
                      end_date_time, end_hour, 0, ctac))
            return false;
        } else {
          if (!record(1331, " Tracking Chegada Recebedor", start_date_time, start_hour, 0, ctac))
            return false;
          if (!record(1332, " Tracking Entrega Realizada", end_date_time, end_hour, 0, ctac))
            return false;
        }

        line = 23;
        if (terminal_events && !record(through_centre ? 1333 : 2144, " Tracking Entrega Vazio CY",
                                       delivery_date_time, delivery_hour, empty_terminal_id, ctac))
          return false;
      }
    } else {
      line = 70;
      if (!mVerifica_CTACs_Container_OS_TB(database_kind, container_request_id, user_id,
                                           connection_text, order_id, order_type, count, ctacs,
                                           message))
        return false;
      const bool port_delivery = equals(type, 7);
      for (std::int32_t i = 0; i < count; ++i) {
        const std::int32_t ctac = ctacs.at(static_cast<std::size_t>(i));
        if (port_delivery) {
          line = 71;
          if (!record(1328, " Tracking Entrega no Porto", end_date_time, end_hour, full_terminal_id,
                      ctac))
            return false;
        } else {
          line = 81;
          if (!record(1329, " Tracking Saída do Porto", start_date_time, start_hour,
                      empty_terminal_id, ctac))
            return false;
          line = 82;
          if (!record(1330, " Tracking Chegada no ICT", end_date_time, end_hour, full_terminal_id,
                      ctac))
            return false;
        }
      }
    }

    line = 6;
    return true;
  };

  auto context = [&](const Error& error) {
    return numbered_context(" - QrnMvl.mGera_Tracking_FCL (", error, line);
  };
  return run_guarded(target, kClosingUnavailable, body, context);
}

bool mVerifica_Tab_Parametro_Sistema(const Variant& connection_text, const Variant& user_id,
                                     const Variant& /*company_id*/, const Variant& database_kind,
                                     const Variant& /*product_name*/, const Variant& parameter_code,
                                     Variant& parameter_value, Variant& message) {
  int line = 0;
  std::string sql;
  const FailureTarget target{database_kind, connection_text, user_id, message};
  constexpr const char* kRefused =
      "Problemas na determinação do Parâmetros do sistema. Contacte o Administrador do Sistema.";

  auto body = [&] {
    line = 1;
    sql = "EXEC SP_VLM_CON_PARAMETRO_SISTEMA " + number(parameter_code);

    line = 2;
    data::RowSet rs = data::open_rowset(sql, connection_text);

    line = 3;
    if (!rs.is_open()) {
      refuse(message, kRefused, user_id,
             " - oRS.State = 0 na mVerifica_Tab_Parametro_Sistema mConsulta_Campos_Tipo_OS, sql: ",
             sql);
      return false;
    }

    line = 4;
    if (rs.eof()) {
      refuse(message, kRefused, user_id,
             " - ORS.EOF na rotina mVerifica_Tab_Parametro_Sistema, sql: ", sql);
      return false;
    }

    line = 5;
    parameter_value = gTrata_Nulo(rs.field("PARAMETRO"));
    rs.close();
    return true;
  };

  auto context = [&](const Error& error) {
    return numbered_context(" - QrnMvl.mVerifica_Tab_Parametro_Sistema (", error, line) +
           "strsq: " + sql;
  };
  return run_guarded(target, kClosingUnavailable, body, context);
}

bool mConsulta_Campos_Tipo_OS(const Variant& connection_text, const Variant& user_id,
                              const Variant& /*company_id*/, const Variant& database_kind,
                              const Variant& /*product_name*/, const Variant& order_id,
                              Variant& distribution_centre, Variant& message,
                              Variant& direct_delivery) {
  int line = 0;
  std::string sql;
  const FailureTarget target{database_kind, connection_text, user_id, message};
  constexpr const char* kRefused =
      "Problemas na determinação do tipo de OS (carga cheia / carga fracionada). Contacte o "
      "Administrador do Sistema.";

  auto body = [&] {
    line = 1;
    sql = "EXEC SP_VLM_SELECT_TIPO_OS6 " + number(order_id);

    line = 2;
    data::RowSet rs = data::open_rowset(sql, connection_text, data::kStaticReadOnly);

    // No check of the state: an answer without a row set is a failure of the lookup.
    line = 3;
    if (rs.eof()) {
      refuse(message, kRefused, user_id,
             " - ORS.EOF na rotina mConsulta_Campos_Tipo_OS, sql: ", sql);
      return false;
    }

    line = 4;
    if (greater_than_zero(gNormaliza_Valor(rs.field("retorno")))) {
      refuse(message, kRefused, user_id,
             " - ORS!RETORNO > 0 na rotina mConsulta_Campos_Tipo_OS, sql: ", sql);
      rs.close();
      return false;
    }

    line = 5;
    distribution_centre = greater_than_zero(gNormaliza_Valor(rs.field("contador"))) ? "S" : "N";
    direct_delivery = gTrata_Nulo(rs.field("flag_entrega_direta"));
    rs.close();
    return true;
  };

  auto context = [&](const Error& error) {
    return numbered_context(" - QrnMvl.mConsulta_Campos_Tipo_OS (", error, line) + "strsq: " + sql;
  };
  return run_guarded(target,
                     "Acesso a determinação do tipo de OS (carga cheia / carga fracionada) não "
                     "disponível. Favor tentar mais tarde.",
                     body, context);
}

bool mVerifica_Tipo_Terminal_OS(const Variant& database_kind, const Variant& order_id,
                                const Variant& user_id, const Variant& connection_text,
                                Variant& message, Variant& inland_terminal) {
  int line = 0;
  const FailureTarget target{database_kind, connection_text, user_id, message};
  constexpr const char* kRefused =
      "Problemas na verificação do tipo de terminal, para inclusão de trackings no sistema. "
      "Contacte o Administrador do Sistema. ";

  auto body = [&] {
    line = 1;
    const std::string sql = "EXEC SP_VLM_CONS_TIPO_TERMINAL_OS " + number(order_id);

    line = 2;
    data::RowSet rs = data::open_rowset(sql, connection_text);

    line = 3;
    if (!rs.is_open()) {
      refuse(message, kRefused, user_id,
             " - oRS.State = 0 na mVerifica_Tipo_Terminal_OS, sql: ", sql);
      return false;
    }

    line = 4;
    if (rs.eof()) {
      refuse(message, kRefused, user_id, " - oRS.EOF na mVerifica_Tipo_Terminal_OS, sql: ", sql);
      return false;
    }

    line = 5;
    if (!equals(gNormaliza_Valor(rs.field("retorno")), 0)) {
      refuse(message,
             "Problemas na verificação do tipo de terminal, para inclusão de trackings no "
             "sistema. "
             "Contacte o Administrador do Sistema. " +
                 to_text(gTrata_Nulo(rs.field("Msg_Ret"))),
             user_id, " - oRS!retorno > 0 na mVerifica_Tipo_Terminal_OS, sql: ", sql);
      rs.close();
      return false;
    }

    line = 6;
    inland_terminal = gTrata_Nulo(rs.field("INDIC_TERMINAL_INTERIOR"));
    rs.close();
    return true;
  };

  auto context = [&](const Error& error) {
    return numbered_context(" - QrnMvl.mVerifica_Tipo_Terminal_OS (", error, line);
  };
  return run_guarded(target, "Erro na inclusão do Tracking. Contacte o Administrador do sistema.",
                     body, context);
}

}  // namespace qrnmvl::tracking
