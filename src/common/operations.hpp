// The five operations and their parameters, in call order: the one list the
// public member functions, the operation bodies, the dispatch table, the JSON
// contract, the C interface and the tool are all built from.
//
// Each QRNMVL_PARAMETERS_<operation>(FIRST, NEXT) names the first parameter
// with FIRST and every later one with NEXT, so a list can be expanded into a
// comma-separated parameter list as well as into struct members. The order is
// the documented call order of the public interface; a test compares it with
// the documented lists.
#pragma once

#include <cstddef>
#include <iterator>
#include <qrnmvl/variant.hpp>

// The operations, in the order of the public interface.
#define QRNMVL_OPERATIONS(OP)         \
  OP(gMonta_Lista_Tab_Tipo_Incidente) \
  OP(gGrava_Incidente)                \
  OP(gConsulta_Porto_Ponto)           \
  OP(gConsulta_Ordem_Servico_Tipo)    \
  OP(gGrava_Fechamento)

#define QRNMVL_PARAMETERS_gMonta_Lista_Tab_Tipo_Incidente(FIRST, NEXT) \
  FIRST(invntConecta_db)                                               \
  NEXT(invntBase_dados)                                                \
  NEXT(invntUsuario_internet_id)                                       \
  NEXT(outvntTam_arr)                                                  \
  NEXT(outarrvntTab_Tipo_Incidente_id)                                 \
  NEXT(outarrvntDesc_Tipo_Incidente)                                   \
  NEXT(outarrvntFlag_Selecionado)                                      \
  NEXT(invntOrdem_Servico_Tipo_Ident)                                  \
  NEXT(OUTarrJustificativa)                                            \
  NEXT(OUTarrFlag_contr_canhoto)                                       \
  NEXT(outvntMsg_Ret)                                                  \
  NEXT(outarrflag_tipo_cadastro)

#define QRNMVL_PARAMETERS_gGrava_Incidente(FIRST, NEXT) \
  FIRST(invntConecta_db)                                \
  NEXT(invntBase_dados)                                 \
  NEXT(invntUsuario_internet_id)                        \
  NEXT(invntOrdem_Servico_Tipo_Ident)                   \
  NEXT(InarrvntTab_Tipo_Incidente_id)                   \
  NEXT(inarrvntFlag_Selecionado)                        \
  NEXT(invntFlag_Grava_Observacao)                      \
  NEXT(invntTam_Arr)                                    \
  NEXT(invntObservacao)                                 \
  NEXT(INarrJustificativa)                              \
  NEXT(outvntMsg_Ret)                                   \
  NEXT(inTAB_TIPO_ORDEM_SERVICO_iD)                     \
  NEXT(INarrflag_tipo_cadastro)

#define QRNMVL_PARAMETERS_gConsulta_Porto_Ponto(FIRST, NEXT) \
  FIRST(invntUsuario_internet_id)                            \
  NEXT(invntConecta_db)                                      \
  NEXT(invntBase_dados)                                      \
  NEXT(outvntPONTO_OPERACAO_ID)                              \
  NEXT(outvntTam_arr)                                        \
  NEXT(outarrvntPORTO_ID)                                    \
  NEXT(outvntMsg_Ret)                                        \
  NEXT(outarrvntnome_porto)

#define QRNMVL_PARAMETERS_gConsulta_Ordem_Servico_Tipo(FIRST, NEXT) \
  FIRST(invntConecta_db)                                            \
  NEXT(invntUsuario_internet_id)                                    \
  NEXT(invntEmpresa_id)                                             \
  NEXT(inVntBanco_Dados)                                            \
  NEXT(invntNome_Produto)                                           \
  NEXT(invntOrdem_Servico_Tipo_ID)                                  \
  NEXT(outvntordem_servico_id)                                      \
  NEXT(outvntDESCR_TIPO_SERVICO)                                    \
  NEXT(outvntFORNECEDOR)                                            \
  NEXT(outvntdata_servico)                                          \
  NEXT(outvntnum_os)                                                \
  NEXT(OUTvntData_Ini_Execucao)                                     \
  NEXT(outvntHORA_INI_EXECUCAO)                                     \
  NEXT(OUTvntData_Fim_Execucao)                                     \
  NEXT(outvntHORA_FIM_EXECUCAO)                                     \
  NEXT(outvntDESC_TAB_STATUS_PAGTO_OS)                              \
  NEXT(outarrvntSOLICIT_EMBARQUE_CONTAINER_ID)                      \
  NEXT(outarrvntNUM_CONTAINER)                                      \
  NEXT(outarrvntnum_lacre_cia_maritima)                             \
  NEXT(outarrvntnum_lacre_receita_federal)                          \
  NEXT(outarrvntnum_lacre_min_saude)                                \
  NEXT(outarrvntTara)                                               \
  NEXT(outarrvntAGEND_CONTAINER_ID)                                 \
  NEXT(outvntQtde_Sol_Cont)                                         \
  NEXT(ouvntObserv)                                                 \
  NEXT(outvntTAB_TIPO_ORDEM_SERVICO_iD)                             \
  NEXT(arrTab_Tipo_Container_ID)                                    \
  NEXT(outvntMsg_Ret)                                               \
  NEXT(outvntIndic_OS_Em_Pagamento)                                 \
  NEXT(outvntIndic_Mostra_Campo_Terminal)                           \
  NEXT(outvntTAB_TIPO_SERVICO_ID)                                   \
  NEXT(OUTvntData_Retirada_Terminal)                                \
  NEXT(outvntHora_Retirada_Terminal)                                \
  NEXT(OUTvntData_Entrega_Terminal)                                 \
  NEXT(outvntHora_Entrega_Terminal)                                 \
  NEXT(outvntfornecedor_id)                                         \
  NEXT(outvntterminal_vazio_id)                                     \
  NEXT(outvntterminal_cheio_id)                                     \
  NEXT(outvntflag_ctac_os)                                          \
  NEXT(OUTarrPeso_Carga)                                            \
  NEXT(OUTarrValor_NF)                                              \
  NEXT(OUTvntPlaca_Cavalo)                                          \
  NEXT(outvntflag_contr_canhoto)                                    \
  NEXT(outvnttab_tipo_docto_id)                                     \
  NEXT(outvntnum_documento)                                         \
  NEXT(outvntflag_num_docto)

#define QRNMVL_PARAMETERS_gGrava_Fechamento(FIRST, NEXT) \
  FIRST(invntConecta_db)                                 \
  NEXT(invntUsuario_internet_id)                         \
  NEXT(invntEmpresa_id)                                  \
  NEXT(inVntBanco_Dados)                                 \
  NEXT(invntNome_Produto)                                \
  NEXT(invntOrdem_Servico_Tipo_ID)                       \
  NEXT(invntData_Ini_Execucao)                           \
  NEXT(invntHora_Ini_Execucao)                           \
  NEXT(invntData_Fim_Execucao)                           \
  NEXT(invntHora_Fim_Execucao)                           \
  NEXT(INvntOrdem_Servico_ID)                            \
  NEXT(inarrvntSolicit_Embarque_Container_ID)            \
  NEXT(inarrvntNum_Container)                            \
  NEXT(inarrvntNum_Lacre_Cia_Maritima)                   \
  NEXT(inarrvntNum_Lacre_Receita_Federal)                \
  NEXT(inarrvntNum_Lacre_Min_Saude)                      \
  NEXT(inarrvntTara)                                     \
  NEXT(inarrvntAgend_Container_ID)                       \
  NEXT(invntvntQtde_Sol_Cont)                            \
  NEXT(invntObserv)                                      \
  NEXT(INvntTab_Tipo_Ordem_Servico_ID)                   \
  NEXT(arrTab_Tipo_Container_ID)                         \
  NEXT(outvntMsg_Ret)                                    \
  NEXT(invntData_Retirada)                               \
  NEXT(invntHora_Retirada)                               \
  NEXT(invntData_Entrega)                                \
  NEXT(invntHora_Entrega)                                \
  NEXT(invntTab_Tipo_Servico_ID)                         \
  NEXT(invntIndic_Mostra_Campo_Terminal)                 \
  NEXT(invntFornecedor_ID)                               \
  NEXT(invntterminal_vazio_id)                           \
  NEXT(invntterminal_cheio_id)                           \
  NEXT(arrPeso)                                          \
  NEXT(arrValorNF)                                       \
  NEXT(INvntPlaca_Cavalo)                                \
  NEXT(invnttab_tipo_docto_id)                           \
  NEXT(invntnum_documento)                               \
  NEXT(invntflag_num_docto)

// Expansions shared by everything built on the lists.
#define QRNMVL_PARAMETER_MEMBER(name) Variant& name;
#define QRNMVL_PARAMETER_DECLARATION_FIRST(name) Variant& name
#define QRNMVL_PARAMETER_DECLARATION_NEXT(name) , Variant& name
#define QRNMVL_PARAMETER_NAME_FIRST(name) name
#define QRNMVL_PARAMETER_NAME_NEXT(name) , name
#define QRNMVL_PARAMETER_TEXT_FIRST(name) #name
#define QRNMVL_PARAMETER_TEXT_NEXT(name) , #name

namespace qrnmvl::args {

// One struct per operation: its parameters by name, each a reference to the
// caller's value, so a body reads and writes them as the caller passed them.
#define QRNMVL_DECLARE_ARGS(operation)                                               \
  struct operation {                                                                 \
    QRNMVL_PARAMETERS_##operation(QRNMVL_PARAMETER_MEMBER,                           \
                                  QRNMVL_PARAMETER_MEMBER) static constexpr const    \
        char* names[] = {QRNMVL_PARAMETERS_##operation(QRNMVL_PARAMETER_TEXT_FIRST,  \
                                                       QRNMVL_PARAMETER_TEXT_NEXT)}; \
    static constexpr std::size_t count = std::size(names);                           \
  };
QRNMVL_OPERATIONS(QRNMVL_DECLARE_ARGS)
#undef QRNMVL_DECLARE_ARGS

}  // namespace qrnmvl::args
