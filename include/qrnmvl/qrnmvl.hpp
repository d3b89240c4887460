// QrnMvl: the component that closes container-transport service orders.
// Every parameter is a variant passed by reference; each operation answers
// the integer 0 on success and 10 on failure, and never raises to its caller.
#pragma once

#include <qrnmvl/container_rules.hpp>
#include <qrnmvl/export.hpp>
#include <qrnmvl/variant.hpp>
#include <string>
#include <vector>

namespace qrnmvl {

// One object serves one thread at a time; objects on different threads are
// independent.
class QRNMVL_EXPORT QrnMvl {
 public:
  // With the default container rules (make_default_container_rules).
  QrnMvl();
  // With the host's container rules: the closing makes its rules through
  // `container_rules` (see container_rules.hpp). Throws std::invalid_argument
  // when the factory is empty.
  explicit QrnMvl(ContainerRulesFactory container_rules);
  ~QrnMvl();
  QrnMvl(const QrnMvl&) = delete;
  QrnMvl& operator=(const QrnMvl&) = delete;

  // 1. The incident types of a service-order type record.
  Variant gMonta_Lista_Tab_Tipo_Incidente(
      Variant& invntConecta_db, Variant& invntBase_dados, Variant& invntUsuario_internet_id,
      Variant& outvntTam_arr, Variant& outarrvntTab_Tipo_Incidente_id,
      Variant& outarrvntDesc_Tipo_Incidente, Variant& outarrvntFlag_Selecionado,
      Variant& invntOrdem_Servico_Tipo_Ident, Variant& OUTarrJustificativa,
      Variant& OUTarrFlag_contr_canhoto, Variant& outvntMsg_Ret, Variant& outarrflag_tipo_cadastro);

  // 2. Records the incidents chosen for a service-order type record.
  Variant gGrava_Incidente(Variant& invntConecta_db, Variant& invntBase_dados,
                           Variant& invntUsuario_internet_id,
                           Variant& invntOrdem_Servico_Tipo_Ident,
                           Variant& InarrvntTab_Tipo_Incidente_id,
                           Variant& inarrvntFlag_Selecionado, Variant& invntFlag_Grava_Observacao,
                           Variant& invntTam_Arr, Variant& invntObservacao,
                           Variant& INarrJustificativa, Variant& outvntMsg_Ret,
                           Variant& inTAB_TIPO_ORDEM_SERVICO_iD, Variant& INarrflag_tipo_cadastro);

  // 3. The ports and operation point linked to the user.
  Variant gConsulta_Porto_Ponto(Variant& invntUsuario_internet_id, Variant& invntConecta_db,
                                Variant& invntBase_dados, Variant& outvntPONTO_OPERACAO_ID,
                                Variant& outvntTam_arr, Variant& outarrvntPORTO_ID,
                                Variant& outvntMsg_Ret, Variant& outarrvntnome_porto);

  // 4. Loads a service order with its containers for closing.
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
      Variant& outvnttab_tipo_docto_id, Variant& outvntnum_documento,
      Variant& outvntflag_num_docto);

  // 5. Validates and saves the closing of a service order.
  Variant gGrava_Fechamento(
      Variant& invntConecta_db, Variant& invntUsuario_internet_id, Variant& invntEmpresa_id,
      Variant& inVntBanco_Dados, Variant& invntNome_Produto, Variant& invntOrdem_Servico_Tipo_ID,
      Variant& invntData_Ini_Execucao, Variant& invntHora_Ini_Execucao,
      Variant& invntData_Fim_Execucao, Variant& invntHora_Fim_Execucao,
      Variant& INvntOrdem_Servico_ID, Variant& inarrvntSolicit_Embarque_Container_ID,
      Variant& inarrvntNum_Container, Variant& inarrvntNum_Lacre_Cia_Maritima,
      Variant& inarrvntNum_Lacre_Receita_Federal, Variant& inarrvntNum_Lacre_Min_Saude,
      Variant& inarrvntTara, Variant& inarrvntAgend_Container_ID, Variant& invntvntQtde_Sol_Cont,
      Variant& invntObserv, Variant& INvntTab_Tipo_Ordem_Servico_ID,
      Variant& arrTab_Tipo_Container_ID, Variant& outvntMsg_Ret, Variant& invntData_Retirada,
      Variant& invntHora_Retirada, Variant& invntData_Entrega, Variant& invntHora_Entrega,
      Variant& invntTab_Tipo_Servico_ID, Variant& invntIndic_Mostra_Campo_Terminal,
      Variant& invntFornecedor_ID, Variant& invntterminal_vazio_id, Variant& invntterminal_cheio_id,
      Variant& arrPeso, Variant& arrValorNF, Variant& INvntPlaca_Cavalo,
      Variant& invnttab_tipo_docto_id, Variant& invntnum_documento, Variant& invntflag_num_docto);

  // Number of QrnMvl objects alive in the process.
  static long objects_alive() noexcept;

 private:
  ContainerRulesFactory container_rules_;
};

// The library's version, "MAJOR.MINOR.PATCH": the project version it was built from.
QRNMVL_EXPORT const char* version() noexcept;

// The operations by name, with their parameter names in call order; the JSON
// adapter, the C interface and the tool are built on this table.
struct OperationInfo {
  const char* name;
  std::vector<std::string> parameters;
};
QRNMVL_EXPORT const std::vector<OperationInfo>& operations();
QRNMVL_EXPORT const OperationInfo* find_operation(const std::string& name);

// Calls an operation by name with its parameters in order (size must match).
QRNMVL_EXPORT Variant invoke(QrnMvl& object, const std::string& operation,
                             std::vector<Variant>& parameters);

// The JSON contract: a call is an object of parameter values keyed by name;
// the answer is {"result": 0|10, "parameters": {...every parameter, in order}},
// laid out with two-space indentation as every answer of the project is.
// A usage error throws std::invalid_argument with a one-line description: an
// unknown operation or parameter, malformed JSON, a value the contract does
// not know, nesting deeper than 64 levels, a number out of range (1e400), a
// text holding a NUL character. Whatever the database does (missing, busy,
// read-only, corrupt, too slow) is the operation's own failure, result 10.
// Safe from several threads, each with its own object.
QRNMVL_EXPORT std::string invoke_json(QrnMvl& object, const std::string& operation,
                                      const std::string& json_call);

}  // namespace qrnmvl
