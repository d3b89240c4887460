// The steps of loading a service order for closing: the header of the
// service-type record, the order's container lines and its transport-document
// flag. Every step takes the connection as its text form.
#pragma once

#include <qrnmvl/variant.hpp>

namespace qrnmvl::lookups {

// The header; a record the database does not know leaves the outputs as they were.
// Has its own failure handler: answers false with the message written.
bool mConsulta_Campos_ORDEM_SERVICO_TIPO(
    const Variant& connection_text, const Variant& invntUsuario_internet_id,
    const Variant& invntEmpresa_id, const Variant& inVntBanco_Dados,
    const Variant& invntNome_Produto, const Variant& invntOrdem_Servico_Tipo_ID,
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
    Variant& outvntnum_documento, Variant& outvntflag_num_docto);

// The container lines as parallel arrays. No handler: errors reach the caller's frame.
bool mConsulta_Campos_SOLICIT_EMBARQUE_CONTAINER(
    const Variant& connection_text, const Variant& invntUsuario_internet_id,
    const Variant& invntEmpresa_id, const Variant& inVntBanco_Dados,
    const Variant& invntNome_Produto, const Variant& outvntordem_servico_id,
    Variant& outarrvntSOLICIT_EMBARQUE_CONTAINER_ID, Variant& outarrvntNUM_CONTAINER,
    Variant& outarrvntnum_lacre_cia_maritima, Variant& outarrvntnum_lacre_receita_federal,
    Variant& outarrvntnum_lacre_min_saude, Variant& outarrvntTara,
    Variant& outarrvntAGEND_CONTAINER_ID, Variant& outvntQtde_Sol_Cont, Variant& ouvntObserv,
    Variant& arrTab_Tipo_Container_ID, Variant& OUTarrPeso_Carga, Variant& OUTarrValor_NF,
    Variant& outvntMsg_Ret);

// The order's transport-document flag ("N" when the order answers no row).
// No handler: errors reach the caller's frame.
bool mVerifica_CTAC_OS(const Variant& connection_text, const Variant& invntUsuario_internet_id,
                       const Variant& invntEmpresa_id, const Variant& inVntBanco_Dados,
                       const Variant& invntNome_Produto, const Variant& outvntordem_servico_id,
                       Variant& outvntflag_ctac_os, Variant& outvntMsg_Ret);

}  // namespace qrnmvl::lookups
