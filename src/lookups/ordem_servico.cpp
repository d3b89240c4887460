// Loading a service order for closing: the header of its service-type record,
// its container lines, its transport-document flag and whether the closing
// form shows the terminal fields.
#include "lookups/ordem_servico.hpp"

#include "common/frame.hpp"
#include "common/helpers.hpp"
#include "common/values.hpp"
#include "data/data.hpp"
#include "lookups/lookups.hpp"

namespace qrnmvl::lookups {

Variant gConsulta_Ordem_Servico_Tipo(
    Variant& invntConecta_db, Variant& invntUsuario_internet_id, Variant& invntEmpresa_id,
    Variant& inVntBanco_Dados, Variant& invntNome_Produto, Variant& invntOrdem_Servico_Tipo_ID,
    Variant& outvntordem_servico_id, Variant& outvntDESCR_TIPO_SERVICO, Variant& outvntFORNECEDOR,
    Variant& outvntdata_servico, Variant& outvntnum_os, Variant& OUTvntData_Ini_Execucao,
    Variant& outvntHORA_INI_EXECUCAO, Variant& OUTvntData_Fim_Execucao,
    Variant& outvntHORA_FIM_EXECUCAO, Variant& outvntDESC_TAB_STATUS_PAGTO_OS,
    Variant& outarrvntSOLICIT_EMBARQUE_CONTAINER_ID, Variant& outarrvntNUM_CONTAINER,
    Variant& outarrvntnum_lacre_cia_maritima, Variant& outarrvntnum_lacre_receita_federal,
    Variant& outarrvntnum_lacre_min_saude, Variant& outarrvntTara,
    Variant& outarrvntAGEND_CONTAINER_ID, Variant& outvntQtde_Sol_Cont, Variant& ouvntObserv,
    Variant& outvntTAB_TIPO_ORDEM_SERVICO_iD, Variant& arrTab_Tipo_Container_ID,
    Variant& outvntMsg_Ret, Variant& outvntIndic_OS_Em_Pagamento,
    Variant& outvntIndic_Mostra_Campo_Terminal, Variant& outvntTAB_TIPO_SERVICO_ID,
    Variant& OUTvntData_Retirada_Terminal, Variant& outvntHora_Retirada_Terminal,
    Variant& OUTvntData_Entrega_Terminal, Variant& outvntHora_Entrega_Terminal,
    Variant& outvntfornecedor_id, Variant& outvntterminal_vazio_id,
    Variant& outvntterminal_cheio_id, Variant& outvntflag_ctac_os, Variant& OUTarrPeso_Carga,
    Variant& OUTarrValor_NF, Variant& OUTvntPlaca_Cavalo, Variant& outvntflag_contr_canhoto,
    Variant& outvnttab_tipo_docto_id, Variant& outvntnum_documento, Variant& outvntflag_num_docto) {
  int line = 0;
  // Every step, and the log row of a failure, works from the text of the
  // connection; it stays empty (and the log silent) when taking it fails.
  Variant connection_text;
  const FailureTarget target{inVntBanco_Dados, connection_text, invntUsuario_internet_id,
                             outvntMsg_Ret};

  auto body = [&] {
    connection_text = Variant(to_text(invntConecta_db));

    line = 1;
    if (equals(gNormaliza_Valor(invntOrdem_Servico_Tipo_ID), 0.0)) {
      outvntMsg_Ret = "Ordem Serviço Tipo não Informado. Contacte o Administrador.";
      return false;
    }

    line = 2;
    if (!mConsulta_Campos_ORDEM_SERVICO_TIPO(
            connection_text, invntUsuario_internet_id, invntEmpresa_id, inVntBanco_Dados,
            invntNome_Produto, invntOrdem_Servico_Tipo_ID, outvntordem_servico_id,
            outvntDESCR_TIPO_SERVICO, outvntFORNECEDOR, outvntdata_servico, outvntnum_os,
            OUTvntData_Ini_Execucao, outvntHORA_INI_EXECUCAO, OUTvntData_Fim_Execucao,
            outvntHORA_FIM_EXECUCAO, outvntDESC_TAB_STATUS_PAGTO_OS,
            outvntTAB_TIPO_ORDEM_SERVICO_iD, outvntMsg_Ret, outvntIndic_OS_Em_Pagamento,
            outvntTAB_TIPO_SERVICO_ID, OUTvntData_Retirada_Terminal, outvntHora_Retirada_Terminal,
            OUTvntData_Entrega_Terminal, outvntHora_Entrega_Terminal, outvntfornecedor_id,
            outvntterminal_vazio_id, outvntterminal_cheio_id, OUTvntPlaca_Cavalo,
            outvntflag_contr_canhoto, outvnttab_tipo_docto_id, outvntnum_documento,
            outvntflag_num_docto))
      return false;

    line = 3;
    if (!mConsulta_Campos_SOLICIT_EMBARQUE_CONTAINER(
            connection_text, invntUsuario_internet_id, invntEmpresa_id, inVntBanco_Dados,
            invntNome_Produto, outvntordem_servico_id, outarrvntSOLICIT_EMBARQUE_CONTAINER_ID,
            outarrvntNUM_CONTAINER, outarrvntnum_lacre_cia_maritima,
            outarrvntnum_lacre_receita_federal, outarrvntnum_lacre_min_saude, outarrvntTara,
            outarrvntAGEND_CONTAINER_ID, outvntQtde_Sol_Cont, ouvntObserv, arrTab_Tipo_Container_ID,
            OUTarrPeso_Carga, OUTarrValor_NF, outvntMsg_Ret))
      return false;

    line = 4;
    if (!mVerifica_CTAC_OS(connection_text, invntUsuario_internet_id, invntEmpresa_id,
                           inVntBanco_Dados, invntNome_Produto, outvntordem_servico_id,
                           outvntflag_ctac_os, outvntMsg_Ret))
      return false;

    line = 5;
    outvntIndic_Mostra_Campo_Terminal = "N";
    // Both sides are judged before they are combined, so an order type that is
    // not a number fails the load even when the service type already rules "N".
    const bool container_service = equals(outvntTAB_TIPO_SERVICO_ID, 1.0);
    const bool terminal_order = equals(outvntTAB_TIPO_ORDEM_SERVICO_iD, 1.0) ||
                                equals(outvntTAB_TIPO_ORDEM_SERVICO_iD, 2.0);
    if (container_service && terminal_order) outvntIndic_Mostra_Campo_Terminal = "S";

    line = 6;
    return true;
  };

  auto context = [&](const Error& error) {
    return " - QrnMvl.gConsulta_Ordem_Servico_Tipo (" + error.description() + " : " +
           number_text(error.number()) + ")  " + " No Nº " + number_text(line);
  };

  return run_operation(
      target, "Acesso ao Fechamento da OS não disponível. Favor tentar mais tarde.", body, context);
}

bool mConsulta_Campos_ORDEM_SERVICO_TIPO(
    const Variant& connection_text, const Variant& invntUsuario_internet_id,
    [[maybe_unused]] const Variant& invntEmpresa_id, const Variant& inVntBanco_Dados,
    [[maybe_unused]] const Variant& invntNome_Produto, const Variant& invntOrdem_Servico_Tipo_ID,
    Variant& outvntordem_servico_id, Variant& outvntDESCR_TIPO_SERVICO, Variant& outvntFORNECEDOR,
    Variant& outvntdata_servico, Variant& outvntnum_os, Variant& OUTvntData_Ini_Execucao,
    Variant& outvntHORA_INI_EXECUCAO, Variant& OUTvntData_Fim_Execucao,
    Variant& outvntHORA_FIM_EXECUCAO, Variant& outvntDESC_TAB_STATUS_PAGTO_OS,
    Variant& outvntTAB_TIPO_ORDEM_SERVICO_iD, Variant& outvntMsg_Ret,
    Variant& outvntIndic_OS_Em_Pagamento, Variant& outvntTAB_TIPO_SERVICO_ID,
    Variant& OUTvntData_Retirada_Terminal, Variant& outvntHora_Retirada_Terminal,
    Variant& OUTvntData_Entrega_Terminal, Variant& outvntHora_Entrega_Terminal,
    Variant& outvntfornecedor_id, Variant& outvntterminal_vazio_id,
    Variant& outvntterminal_cheio_id, Variant& OUTvntPlaca_Cavalo,
    Variant& outvntflag_contr_canhoto, Variant& outvnttab_tipo_docto_id,
    Variant& outvntnum_documento, Variant& outvntflag_num_docto) {
  int line = 0;
  Variant strsq;  // the call as a text, for the failure context only
  const FailureTarget target{inVntBanco_Dados, connection_text, invntUsuario_internet_id,
                             outvntMsg_Ret};

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
                    gValor_Padrao(invntOrdem_Servico_Tipo_ID)});

    line = 4;
    gMonta_EXEC(command, "SP_VLM_CON_OS_FECHAMENTO13", strsq);

    line = 5;
    data::RowSet rs = command.execute();

    line = 6;
    if (rs.eof()) return true;

    line = 7;
    outvntTAB_TIPO_ORDEM_SERVICO_iD = gTrata_Nulo(rs.field("TAB_TIPO_ORDEM_SERVICO_iD"));
    outvntordem_servico_id = gTrata_Nulo(rs.field("Ordem_Servico_id"));
    outvntDESCR_TIPO_SERVICO = gTrata_Nulo(rs.field("DESCR_TIPO_SERVICO"));
    outvntFORNECEDOR = gTrata_Nulo(rs.field("FORNECEDOR"));
    outvntdata_servico = gTrata_Nulo(rs.field("data_servico"));
    outvntnum_os = gTrata_Nulo(rs.field("num_os"));
    OUTvntData_Ini_Execucao = gTrata_Nulo(rs.field("DATA_INI_EXECUCAO"));
    outvntHORA_INI_EXECUCAO = gTrata_Nulo(rs.field("HORA_INI_EXECUCAO"));
    OUTvntData_Fim_Execucao = gTrata_Nulo(rs.field("DATA_FIM_EXECUCAO"));
    outvntHORA_FIM_EXECUCAO = gTrata_Nulo(rs.field("HORA_FIM_EXECUCAO"));
    outvntDESC_TAB_STATUS_PAGTO_OS = gTrata_Nulo(rs.field("DESC_TAB_STATUS_PAGTO_OS"));
    outvntIndic_OS_Em_Pagamento = gTrata_Nulo(rs.field("indic_os_em_pagamento"));
    outvntTAB_TIPO_SERVICO_ID = gTrata_Nulo(rs.field("TAB_TIPO_SERVICO_ID"));
    OUTvntData_Retirada_Terminal = gTrata_Nulo(rs.field("data_retirada_terminal"));
    outvntHora_Retirada_Terminal = gTrata_Nulo(rs.field("HORA_retirada_terminal"));
    OUTvntData_Entrega_Terminal = gTrata_Nulo(rs.field("data_entrega_terminal"));
    outvntHora_Entrega_Terminal = gTrata_Nulo(rs.field("HORA_ENTREGA_TERMINAL"));
    outvntfornecedor_id = gNormaliza_Valor(rs.field("FORNECEDOR_ID"));
    outvntterminal_vazio_id = gNormaliza_Valor(rs.field("terminal_vazio_id"));
    outvntterminal_cheio_id = gNormaliza_Valor(rs.field("terminal_cheio_id"));
    OUTvntPlaca_Cavalo = gTrata_Nulo(rs.field("placa"));
    outvntflag_contr_canhoto = gTrata_Nulo(rs.field("flag_contr_canhoto"));
    outvnttab_tipo_docto_id = gNormaliza_Valor(rs.field("tab_tipo_docto_id"));
    outvntnum_documento = gTrata_Nulo(rs.field("ID_SISTEMA_EXTERNO"));
    outvntflag_num_docto = gTrata_Nulo(rs.field("flag_num_docto"));

    line = 8;
    rs.close();
    return true;
  };

  auto context = [&](const Error& error) {
    return " - QrnMvl.mConsulta_Campos_ORDEM_SERVICO_TIPO (" + error.description() + " : " +
           number_text(error.number()) + ")  " + " No Nº " + number_text(line) +
           "strsq: " + to_text(strsq);
  };

  return run_guarded(target, "Acesso ao Fechamento da OS não disponível. Favor tentar mais tarde.",
                     body, context);
}

}  // namespace qrnmvl::lookups
