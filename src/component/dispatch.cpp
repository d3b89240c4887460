// The dispatch table: each operation's name and parameter names in call order.
// The JSON adapter, the C interface and the tool are all built on it.
#include <qrnmvl/qrnmvl.hpp>

#include <stdexcept>
#include <utility>

namespace qrnmvl {
namespace {

using Invoker = Variant (*)(QrnMvl&, std::vector<Variant>&);

struct Entry {
  OperationInfo info;
  Invoker invoke;
};

// Calls a member operation with the parameter vector spread over its by-reference arguments.
template <std::size_t N, class Method>
Variant spread(QrnMvl& object, Method method, std::vector<Variant>& p) {
  return [&]<std::size_t... I>(std::index_sequence<I...>) {
    return (object.*method)(p[I]...);
  }(std::make_index_sequence<N>{});
}

const std::vector<Entry>& table() {
  static const std::vector<Entry> entries{
      {{"gMonta_Lista_Tab_Tipo_Incidente",
        {"invntConecta_db", "invntBase_dados", "invntUsuario_internet_id", "outvntTam_arr",
         "outarrvntTab_Tipo_Incidente_id", "outarrvntDesc_Tipo_Incidente",
         "outarrvntFlag_Selecionado", "invntOrdem_Servico_Tipo_Ident", "OUTarrJustificativa",
         "OUTarrFlag_contr_canhoto", "outvntMsg_Ret", "outarrflag_tipo_cadastro"}},
       [](QrnMvl& o, std::vector<Variant>& p) {
         return spread<12>(o, &QrnMvl::gMonta_Lista_Tab_Tipo_Incidente, p);
       }},
      {{"gGrava_Incidente",
        {"invntConecta_db", "invntBase_dados", "invntUsuario_internet_id",
         "invntOrdem_Servico_Tipo_Ident", "InarrvntTab_Tipo_Incidente_id",
         "inarrvntFlag_Selecionado", "invntFlag_Grava_Observacao", "invntTam_Arr",
         "invntObservacao", "INarrJustificativa", "outvntMsg_Ret", "inTAB_TIPO_ORDEM_SERVICO_iD",
         "INarrflag_tipo_cadastro"}},
       [](QrnMvl& o, std::vector<Variant>& p) {
         return spread<13>(o, &QrnMvl::gGrava_Incidente, p);
       }},
      {{"gConsulta_Porto_Ponto",
        {"invntUsuario_internet_id", "invntConecta_db", "invntBase_dados",
         "outvntPONTO_OPERACAO_ID", "outvntTam_arr", "outarrvntPORTO_ID", "outvntMsg_Ret",
         "outarrvntnome_porto"}},
       [](QrnMvl& o, std::vector<Variant>& p) {
         return spread<8>(o, &QrnMvl::gConsulta_Porto_Ponto, p);
       }},
      {{"gConsulta_Ordem_Servico_Tipo",
        {"invntConecta_db",
         "invntUsuario_internet_id",
         "invntEmpresa_id",
         "inVntBanco_Dados",
         "invntNome_Produto",
         "invntOrdem_Servico_Tipo_ID",
         "outvntordem_servico_id",
         "outvntDESCR_TIPO_SERVICO",
         "outvntFORNECEDOR",
         "outvntdata_servico",
         "outvntnum_os",
         "OUTvntData_Ini_Execucao",
         "outvntHORA_INI_EXECUCAO",
         "OUTvntData_Fim_Execucao",
         "outvntHORA_FIM_EXECUCAO",
         "outvntDESC_TAB_STATUS_PAGTO_OS",
         "outarrvntSOLICIT_EMBARQUE_CONTAINER_ID",
         "outarrvntNUM_CONTAINER",
         "outarrvntnum_lacre_cia_maritima",
         "outarrvntnum_lacre_receita_federal",
         "outarrvntnum_lacre_min_saude",
         "outarrvntTara",
         "outarrvntAGEND_CONTAINER_ID",
         "outvntQtde_Sol_Cont",
         "ouvntObserv",
         "outvntTAB_TIPO_ORDEM_SERVICO_iD",
         "arrTab_Tipo_Container_ID",
         "outvntMsg_Ret",
         "outvntIndic_OS_Em_Pagamento",
         "outvntIndic_Mostra_Campo_Terminal",
         "outvntTAB_TIPO_SERVICO_ID",
         "OUTvntData_Retirada_Terminal",
         "outvntHora_Retirada_Terminal",
         "OUTvntData_Entrega_Terminal",
         "outvntHora_Entrega_Terminal",
         "outvntfornecedor_id",
         "outvntterminal_vazio_id",
         "outvntterminal_cheio_id",
         "outvntflag_ctac_os",
         "OUTarrPeso_Carga",
         "OUTarrValor_NF",
         "OUTvntPlaca_Cavalo",
         "outvntflag_contr_canhoto",
         "outvnttab_tipo_docto_id",
         "outvntnum_documento",
         "outvntflag_num_docto"}},
       [](QrnMvl& o, std::vector<Variant>& p) {
         return spread<46>(o, &QrnMvl::gConsulta_Ordem_Servico_Tipo, p);
       }},
      {{"gGrava_Fechamento",
        {"invntConecta_db",
         "invntUsuario_internet_id",
         "invntEmpresa_id",
         "inVntBanco_Dados",
         "invntNome_Produto",
         "invntOrdem_Servico_Tipo_ID",
         "invntData_Ini_Execucao",
         "invntHora_Ini_Execucao",
         "invntData_Fim_Execucao",
         "invntHora_Fim_Execucao",
         "INvntOrdem_Servico_ID",
         "inarrvntSolicit_Embarque_Container_ID",
         "inarrvntNum_Container",
         "inarrvntNum_Lacre_Cia_Maritima",
         "inarrvntNum_Lacre_Receita_Federal",
         "inarrvntNum_Lacre_Min_Saude",
         "inarrvntTara",
         "inarrvntAgend_Container_ID",
         "invntvntQtde_Sol_Cont",
         "invntObserv",
         "INvntTab_Tipo_Ordem_Servico_ID",
         "arrTab_Tipo_Container_ID",
         "outvntMsg_Ret",
         "invntData_Retirada",
         "invntHora_Retirada",
         "invntData_Entrega",
         "invntHora_Entrega",
         "invntTab_Tipo_Servico_ID",
         "invntIndic_Mostra_Campo_Terminal",
         "invntFornecedor_ID",
         "invntterminal_vazio_id",
         "invntterminal_cheio_id",
         "arrPeso",
         "arrValorNF",
         "INvntPlaca_Cavalo",
         "invnttab_tipo_docto_id",
         "invntnum_documento",
         "invntflag_num_docto"}},
       [](QrnMvl& o, std::vector<Variant>& p) {
         return spread<38>(o, &QrnMvl::gGrava_Fechamento, p);
       }},
  };
  return entries;
}

const Entry* find_entry(const std::string& name) {
  for (const Entry& entry : table())
    if (name == entry.info.name) return &entry;
  return nullptr;
}

}  // namespace

const std::vector<OperationInfo>& operations() {
  static const std::vector<OperationInfo> infos = [] {
    std::vector<OperationInfo> result;
    for (const Entry& entry : table()) result.push_back(entry.info);
    return result;
  }();
  return infos;
}

const OperationInfo* find_operation(const std::string& name) {
  for (const OperationInfo& info : operations())
    if (name == info.name) return &info;
  return nullptr;
}

Variant invoke(QrnMvl& object, const std::string& operation, std::vector<Variant>& parameters) {
  const Entry* entry = find_entry(operation);
  if (!entry) throw std::invalid_argument("unknown operation '" + operation + "'");
  if (parameters.size() != entry->info.parameters.size())
    throw std::invalid_argument(operation + " takes " +
                                std::to_string(entry->info.parameters.size()) + " parameters, not " +
                                std::to_string(parameters.size()));
  return entry->invoke(object, parameters);
}

}  // namespace qrnmvl
