// The closing of a service-type record: the whole request is validated, then
// the order-level data is stored, then each container row with data is
// registered, saved and its type set on the order, and at the last row of each
// container request the request's tracking events are recorded; an order of
// type 9 then gets its fractional tracking. Every stage commits on its own:
// nothing written before a failing stage is undone.
#include <cstdint>
#include <string>

#include "closing/closing.hpp"
#include "closing/validation.hpp"
#include "common/helpers.hpp"
#include "common/values.hpp"
#include "persistence/persistence.hpp"
#include "routine/frame.hpp"
#include "tracking/tracking.hpp"

namespace qrnmvl::closing {
namespace {

bool above(const Variant& value, double literal) {
  const auto comparison = compare(value, literal);
  return comparison.has_value() && *comparison > 0;
}

// The row decoration a stage's refusal gets: " (Linha n)." and, for user 1,
// the stage that refused.
void decorate_row(Closing& p, std::size_t row, const char* stage) {
  std::string message = piece(p.outvntMsg_Ret);
  message += " (Linha " + number_text(static_cast<long>(row) + 1) + ").";
  if (is_user_one(p.invntUsuario_internet_id)) message += stage;
  p.outvntMsg_Ret = Variant(std::move(message));
}

}  // namespace

Variant gGrava_Fechamento(Closing& p, ContainerRulesFactory& rules) {
  int line = 0;
  Variant connection_text;
  const FailureTarget target{p.inVntBanco_Dados, connection_text, p.invntUsuario_internet_id,
                             p.outvntMsg_Ret};

  auto body = [&]() -> bool {
    line = 1;
    connection_text = Variant(to_text(p.invntConecta_db));

    line = 2;
    Variant start, end, withdrawal, delivery;
    if (!mConsiste_Campos(connection_text, p, rules, start, end, withdrawal, delivery)) {
      if (is_user_one(p.invntUsuario_internet_id))
        p.outvntMsg_Ret = Variant(piece(p.outvntMsg_Ret) + "(mConsiste_Campos)");
      return false;
    }

    line = 3;
    // All three conditions are judged before they are combined, as the
    // classic "And" does.
    const bool terminal_fields = equals(p.invntIndic_Mostra_Campo_Terminal, "S");
    const bool numeric_supplier = is_numeric(p.invntFornecedor_ID);
    const bool some_supplier = above(gNormaliza_Valor(p.invntFornecedor_ID), 0);
    std::int32_t supplier_id = 0;
    if (terminal_fields && numeric_supplier && some_supplier)
      supplier_id = to_long(p.invntFornecedor_ID);

    line = 4;
    Variant closed_state(std::int16_t{2});
    if (!persistence::mAltera_Campos_ORDEM_SERVICO_TIPO(
            connection_text, p.invntUsuario_internet_id, p.invntEmpresa_id, p.inVntBanco_Dados,
            p.invntNome_Produto, p.invntOrdem_Servico_Tipo_ID, start, end, closed_state,
            p.outvntMsg_Ret, withdrawal, delivery, p.INvntPlaca_Cavalo, p.invnttab_tipo_docto_id,
            p.invntnum_documento))
      return false;

    line = 5;
    const std::int32_t rows = closing::container_rows(p);
    for (std::int32_t r = 0; r < rows; ++r) {
      const auto i = static_cast<std::size_t>(r);

      line = 51;
      if (!row_carries_data(p, i)) continue;

      line = 52;
      std::int32_t container_id = 0;
      if (!persistence::gConsulta_Ordem_Servico(
              connection_text, p.invntUsuario_internet_id, p.invntEmpresa_id, p.inVntBanco_Dados,
              p.invntNome_Produto, p.inarrvntNum_Container.at(i), container_id,
              p.arrTab_Tipo_Container_ID.at(i), p.outvntMsg_Ret)) {
        decorate_row(p, i, "(mVerifica_Container_Id)");
        return false;
      }

      line = 53;
      // The order type as the caller sent it: a text holding the digit 2 is 2.
      const bool schedule_only = equals(p.INvntTab_Tipo_Ordem_Servico_ID, 2) ||
                                 equals(p.INvntTab_Tipo_Ordem_Servico_ID, 7) ||
                                 equals(p.INvntTab_Tipo_Ordem_Servico_ID, 8);
      bool saved = false;
      if (!schedule_only) {
        Variant container_text(number_text(container_id));
        saved = persistence::mGrava_Campos_SOLICIT_EMBARQUE_CONTAINER(
            connection_text, p.invntUsuario_internet_id, p.invntEmpresa_id, p.inVntBanco_Dados,
            p.invntNome_Produto, p.inarrvntSolicit_Embarque_Container_ID.at(i), container_text,
            p.inarrvntNum_Lacre_Cia_Maritima.at(i), p.inarrvntNum_Lacre_Receita_Federal.at(i),
            p.inarrvntNum_Lacre_Min_Saude.at(i), p.inarrvntTara.at(i),
            p.inarrvntAgend_Container_ID.at(i), p.INvntOrdem_Servico_ID, p.invntObserv,
            p.arrPeso.at(i), p.arrValorNF.at(i), p.outvntMsg_Ret);
      } else {
        saved = persistence::mGrava_Obs_Agend_CONTAINER(
            connection_text, p.invntUsuario_internet_id, p.invntEmpresa_id, p.inVntBanco_Dados,
            p.invntNome_Produto, p.inarrvntAgend_Container_ID.at(i), p.INvntOrdem_Servico_ID,
            p.invntObserv, p.outvntMsg_Ret);
      }
      if (!saved) {
        decorate_row(p, i, "(mGrava_Campos_SOLICIT_EMBARQUE_CONTAINER)");
        return false;
      }

      line = 54;
      if (above(gNormaliza_Valor(p.INvntOrdem_Servico_ID), 0)) {
        Variant no_schedule("");
        if (!persistence::mAltera_Tab_Tipo_Container_ID_OSAC(
                p.invntUsuario_internet_id, p.inVntBanco_Dados, connection_text,
                p.INvntOrdem_Servico_ID, no_schedule, p.arrTab_Tipo_Container_ID.at(i),
                p.outvntMsg_Ret))
          return false;
      }

      line = 55;
      // The request ids as they stand now: the save above wrote the database's
      // id into this row, while the next row still holds what the caller sent.
      const std::size_t last = p.inarrvntSolicit_Embarque_Container_ID.size() - 1;
      const std::size_t next = i + 1 <= last ? i + 1 : i;
      const auto differs = compare_values(p.inarrvntSolicit_Embarque_Container_ID.at(i),
                                          p.inarrvntSolicit_Embarque_Container_ID.at(next));
      if (i == last || (differs.has_value() && *differs != 0)) {
        if (!tracking::mGera_Tracking_FCL(
                p.INvntTab_Tipo_Ordem_Servico_ID, p.invntTab_Tipo_Servico_ID, p.inVntBanco_Dados,
                p.inarrvntSolicit_Embarque_Container_ID.at(i), p.INvntOrdem_Servico_ID,
                p.invntUsuario_internet_id, connection_text, p.outvntMsg_Ret, p.invntEmpresa_id,
                p.invntIndic_Mostra_Campo_Terminal, p.invntNome_Produto, withdrawal,
                p.invntHora_Retirada, start, p.invntHora_Ini_Execucao, end,
                p.invntHora_Fim_Execucao, delivery, p.invntHora_Entrega, supplier_id, container_id,
                to_long(gNormaliza_Valor(p.invntterminal_vazio_id)),
                to_long(gNormaliza_Valor(p.invntterminal_cheio_id))))
          return false;
      }
    }

    line = 6;
    if (equals(gNormaliza_Valor(p.INvntTab_Tipo_Ordem_Servico_ID), 9)) {
      if (!tracking::mGera_Tracking_Frac(p.INvntOrdem_Servico_ID, connection_text,
                                         p.invntUsuario_internet_id, p.inVntBanco_Dados,
                                         p.invntEmpresa_id, p.invntNome_Produto, start,
                                         p.invntHora_Ini_Execucao, supplier_id, p.outvntMsg_Ret))
        return false;
    }

    line = 7;
    return true;
  };

  auto context = [&](const Error& error) {
    return numbered_context(" - QrnMvl.gGrava_Fechamento (", error, line);
  };
  return run_operation(target, kClosingUnavailable, body, context);
}

}  // namespace qrnmvl::closing
