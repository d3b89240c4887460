// Loading a service order for closing: the header of its service-type record,
// its container lines, its transport-document flag and whether the closing
// form shows the terminal fields.
#include "lookups/ordem_servico.hpp"

#include "common/helpers.hpp"
#include "common/values.hpp"
#include "data/connection.hpp"
#include "lookups/lookups.hpp"
#include "routine/commands.hpp"
#include "routine/frame.hpp"

namespace qrnmvl::lookups {

Variant gConsulta_Ordem_Servico_Tipo(OrderQuery& p) {
  int line = 0;
  // Every step, and the log row of a failure, works from the text of the
  // connection; it stays empty (and the log silent) when taking it fails.
  Variant connection_text;
  const FailureTarget target{p.inVntBanco_Dados, connection_text, p.invntUsuario_internet_id,
                             p.outvntMsg_Ret};

  auto body = [&] {
    connection_text = Variant(to_text(p.invntConecta_db));

    line = 1;
    if (equals(gNormaliza_Valor(p.invntOrdem_Servico_Tipo_ID), 0.0)) {
      p.outvntMsg_Ret = "Ordem Serviço Tipo não Informado. Contacte o Administrador.";
      return false;
    }

    line = 2;
    if (!mConsulta_Campos_ORDEM_SERVICO_TIPO(connection_text, p)) return false;

    line = 3;
    if (!mConsulta_Campos_SOLICIT_EMBARQUE_CONTAINER(connection_text, p)) return false;

    line = 4;
    if (!mVerifica_CTAC_OS(connection_text, p)) return false;

    line = 5;
    p.outvntIndic_Mostra_Campo_Terminal = "N";
    // Both sides are judged before they are combined, so an order type that is
    // not a number fails the load even when the service type already rules "N".
    const bool container_service = equals(p.outvntTAB_TIPO_SERVICO_ID, 1.0);
    const bool terminal_order = equals(p.outvntTAB_TIPO_ORDEM_SERVICO_iD, 1.0) ||
                                equals(p.outvntTAB_TIPO_ORDEM_SERVICO_iD, 2.0);
    if (container_service && terminal_order) p.outvntIndic_Mostra_Campo_Terminal = "S";

    line = 6;
    return true;
  };

  auto context = [&](const Error& error) {
    return numbered_context(" - QrnMvl.gConsulta_Ordem_Servico_Tipo (", error, line);
  };

  return run_operation(target, kClosingUnavailable, body, context);
}

bool mConsulta_Campos_ORDEM_SERVICO_TIPO(const Variant& connection_text, OrderQuery& p) {
  int line = 0;
  Variant strsq;  // the call as a text, for the failure context only
  const FailureTarget target{p.inVntBanco_Dados, connection_text, p.invntUsuario_internet_id,
                             p.outvntMsg_Ret};

  auto body = [&] {
    line = 2;
    const std::shared_ptr<data::Connection> connection =
        data::cached_connection(to_text(connection_text));

    line = 3;
    data::Command command;
    command.connection = connection;
    command.timeout_seconds = 30;
    command.command_text = "SP_VLM_CON_OS_FECHAMENTO13";
    command.append({"Ordem_Servico_Tipo_ID", data::DataType::Integer, data::Direction::Input, 10,
                    gValor_Padrao(p.invntOrdem_Servico_Tipo_ID)});

    line = 4;
    gMonta_EXEC(command, "SP_VLM_CON_OS_FECHAMENTO13", strsq);

    line = 5;
    data::RowSet rs = command.execute();

    line = 6;
    if (rs.eof()) return true;

    line = 7;
    p.outvntTAB_TIPO_ORDEM_SERVICO_iD = gTrata_Nulo(rs.field("TAB_TIPO_ORDEM_SERVICO_iD"));
    p.outvntordem_servico_id = gTrata_Nulo(rs.field("Ordem_Servico_id"));
    p.outvntDESCR_TIPO_SERVICO = gTrata_Nulo(rs.field("DESCR_TIPO_SERVICO"));
    p.outvntFORNECEDOR = gTrata_Nulo(rs.field("FORNECEDOR"));
    p.outvntdata_servico = gTrata_Nulo(rs.field("data_servico"));
    p.outvntnum_os = gTrata_Nulo(rs.field("num_os"));
    p.OUTvntData_Ini_Execucao = gTrata_Nulo(rs.field("DATA_INI_EXECUCAO"));
    p.outvntHORA_INI_EXECUCAO = gTrata_Nulo(rs.field("HORA_INI_EXECUCAO"));
    p.OUTvntData_Fim_Execucao = gTrata_Nulo(rs.field("DATA_FIM_EXECUCAO"));
    p.outvntHORA_FIM_EXECUCAO = gTrata_Nulo(rs.field("HORA_FIM_EXECUCAO"));
    p.outvntDESC_TAB_STATUS_PAGTO_OS = gTrata_Nulo(rs.field("DESC_TAB_STATUS_PAGTO_OS"));
    p.outvntIndic_OS_Em_Pagamento = gTrata_Nulo(rs.field("indic_os_em_pagamento"));
    p.outvntTAB_TIPO_SERVICO_ID = gTrata_Nulo(rs.field("TAB_TIPO_SERVICO_ID"));
    p.OUTvntData_Retirada_Terminal = gTrata_Nulo(rs.field("data_retirada_terminal"));
    p.outvntHora_Retirada_Terminal = gTrata_Nulo(rs.field("HORA_retirada_terminal"));
    p.OUTvntData_Entrega_Terminal = gTrata_Nulo(rs.field("data_entrega_terminal"));
    p.outvntHora_Entrega_Terminal = gTrata_Nulo(rs.field("HORA_ENTREGA_TERMINAL"));
    p.outvntfornecedor_id = gNormaliza_Valor(rs.field("FORNECEDOR_ID"));
    p.outvntterminal_vazio_id = gNormaliza_Valor(rs.field("terminal_vazio_id"));
    p.outvntterminal_cheio_id = gNormaliza_Valor(rs.field("terminal_cheio_id"));
    p.OUTvntPlaca_Cavalo = gTrata_Nulo(rs.field("placa"));
    p.outvntflag_contr_canhoto = gTrata_Nulo(rs.field("flag_contr_canhoto"));
    p.outvnttab_tipo_docto_id = gNormaliza_Valor(rs.field("tab_tipo_docto_id"));
    p.outvntnum_documento = gTrata_Nulo(rs.field("ID_SISTEMA_EXTERNO"));
    p.outvntflag_num_docto = gTrata_Nulo(rs.field("flag_num_docto"));

    line = 8;
    rs.close();
    return true;
  };

  auto context = [&](const Error& error) {
    return numbered_context(" - QrnMvl.mConsulta_Campos_ORDEM_SERVICO_TIPO (", error, line) +
           "strsq: " + to_text(strsq);
  };

  return run_guarded(target, kClosingUnavailable, body, context);
}

}  // namespace qrnmvl::lookups
