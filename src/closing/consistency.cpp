// The consistency lookups of the closing validation.
#include "closing/consistency.hpp"

#include <string>

#include "common/helpers.hpp"
#include "common/values.hpp"
#include "data/connection.hpp"
#include "routine/frame.hpp"

namespace qrnmvl::closing {
namespace {

constexpr const char* kContainerRequestMessage =
    "Problema na Consulta da Associação Container/Nf. Contacte o Administrador do Sistema.";

// The answer of a check procedure: a "retorno" above 0 is the database's
// refusal, and its reason goes to the user as it stands.
bool accepted(data::RowSet& rs, Variant& message) {
  const auto retorno = compare(gNormaliza_Valor(rs.field("retorno")), 0.0);
  if (retorno.has_value() && *retorno > 0) {
    message = gTrata_Nulo(rs.field("Msg_Ret"));
    return false;
  }
  rs.close();
  return true;
}

}  // namespace

bool mConsiste_Dupl_Solicit(Variant& user_id, Variant& database_kind, Variant& connection_text,
                            Variant& container_number, Variant& container_type_id,
                            Variant& container_request_id, Variant& order_id, Variant& message) {
  int line = 0;
  std::string sql;
  const FailureTarget target{database_kind, connection_text, user_id, message};

  auto body = [&] {
    line = 1;
    sql = "EXECUTE SP_036_DUP_SOLICIT8 " + std::string("NULL ,") +
          to_text(gMonta_Texto_SQL(container_number)) + "," +
          to_text(gMonta_Texto_SQL(container_type_id)) + "," +
          to_text(gMonta_Numero_SQL(container_request_id)) + "," +
          to_text(gMonta_Numero_SQL(order_id));
    data::RowSet rs = data::open_rowset(sql, connection_text, data::kStaticReadOnly);

    line = 2;
    if (rs.eof()) return true;

    line = 3;
    return accepted(rs, message);
  };

  auto context = [&](const Error& error) {
    return line_context(" - QRNMVL.mConsiste_Dupl_Solicit -(", error.description(), line) + sql;
  };

  return run_guarded(target, kContainerRequestMessage, body, context);
}

bool mConsiste_SEC_Agend_Container(Variant& user_id, Variant& database_kind,
                                   Variant& connection_text, Variant& schedule_id,
                                   Variant& second_key, Variant& container_request_id,
                                   Variant& message) {
  int line = 0;
  std::string sql;
  const FailureTarget target{database_kind, connection_text, user_id, message};

  auto body = [&] {
    line = 1;
    sql = "EXECUTE SP_036_CONSISTE_SEC_AGEND_CONT " + to_text(gMonta_Numero_SQL(schedule_id)) +
          "," + to_text(gMonta_Numero_SQL(second_key)) + ", " +
          to_text(gMonta_Numero_SQL(container_request_id));
    data::RowSet rs = data::open_rowset(sql, connection_text, data::kStaticReadOnly);

    // No test for the end of the answer: a procedure that answers no row is
    // broken, and is reported as such.
    line = 2;
    return accepted(rs, message);
  };

  auto context = [&](const Error& error) {
    return line_context(" - QRNMVL.mConsiste_SEC_Agend_Container -(", error.description(), line) +
           sql;
  };

  return run_guarded(target, kContainerRequestMessage, body, context);
}

bool mConsulta_DT_OS(Variant& database_kind, Variant& order_id, Variant& issue_date,
                     Variant& days_allowed, Variant& permitted_date, Variant& issue_date_shown,
                     Variant& current_date, Variant& user_id, Variant& connection_text,
                     Variant& message) {
  int line = 0;
  const FailureTarget target{database_kind, connection_text, user_id, message};

  auto body = [&] {
    line = 1;
    const std::string sql = "EXEC SP_VLM_CON_DT_OS02   " + to_text(gMonta_Numero_SQL(order_id));
    data::RowSet rs = data::open_rowset(sql, connection_text, data::kStaticReadOnly);

    line = 2;
    if (rs.eof()) return false;

    line = 3;
    // Texts, so that the dates compare as the validation compares them.
    issue_date = Variant(to_text(gTrata_Nulo(rs.field("data_emissao"))));
    days_allowed = Variant(to_text(gNormaliza_Valor(rs.field("DIAS"))));
    permitted_date = Variant(to_text(gTrata_Nulo(rs.field("DATA_PERMITIDA"))));
    issue_date_shown = Variant(to_text(gTrata_Nulo(rs.field("data_emissao_tela"))));
    current_date = Variant(to_text(gTrata_Nulo(rs.field("DATA_ATUAL"))));
    rs.close();
    return true;
  };

  auto context = [&](const Error& error) {
    return numbered_context(" - QrnMvl.mConsulta_DT_OS (", error, line);
  };

  return run_guarded(target,
                     "Erro na consulta da Ordem de Serviço. Contacte o Administrador do sistema.",
                     body, context);
}

}  // namespace qrnmvl::closing
