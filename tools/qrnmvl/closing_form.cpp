#include "closing_form.hpp"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "common/json_value.hpp"
#include "common/values.hpp"

namespace qrnmvl::tool {

std::string two_decimals(double amount, char separator) {
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", amount);
  std::string out = text;
  if (const auto dot = out.find('.'); dot != std::string::npos) out[dot] = separator;
  return out;
}

Call::Call(const std::string& operation) : operation_(operation) {
  const OperationInfo* info = find_operation(operation);
  if (!info) throw std::invalid_argument("unknown operation '" + operation + "'");
  names_ = &info->parameters;
  values_.resize(names_->size());
}

std::size_t Call::index_of(std::string_view name) const {
  for (std::size_t i = 0; i < names_->size(); ++i)
    if ((*names_)[i] == name) return i;
  throw std::invalid_argument("unknown parameter '" + std::string(name) + "' for " + operation_);
}

Variant& Call::operator[](std::string_view name) { return values_[index_of(name)]; }
const Variant& Call::operator[](std::string_view name) const { return values_[index_of(name)]; }

Variant Call::run(QrnMvl& component) {
  result_ = invoke(component, operation_, values_);
  return result_;
}

std::string Call::answer_json() const {
  nlohmann::ordered_json answer;
  answer["result"] = to_json(result_);
  auto& parameters = answer["parameters"] = nlohmann::ordered_json::object();
  for (std::size_t i = 0; i < names_->size(); ++i)
    parameters[(*names_)[i]] = nlohmann::ordered_json(to_json(values_[i]));
  return answer.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

namespace {

// A call of the road with the session's values in their places (the two
// operations name them alike).
Call session_call(const char* operation, const Session& session) {
  Call call(operation);
  call["invntConecta_db"] = Variant(session.connection_text);
  call["invntUsuario_internet_id"] = session.user_id;
  call["invntEmpresa_id"] = session.company_id;
  call["inVntBanco_Dados"] = session.database_kind;
  call["invntNome_Produto"] = session.product_name;
  return call;
}

}  // namespace

Call load_order(QrnMvl& component, const Session& session, const Variant& record_id) {
  Call load = session_call("gConsulta_Ordem_Servico_Tipo", session);
  load["invntOrdem_Servico_Tipo_ID"] = record_id;
  load.run(component);
  return load;
}

Call closing_form(const Session& session, const Call& loaded) {
  Call close = session_call("gGrava_Fechamento", session);
  close["invntOrdem_Servico_Tipo_ID"] = loaded["invntOrdem_Servico_Tipo_ID"];
  close["outvntMsg_Ret"] = Variant("");

  // The closing field each answer of the order query fills on the form.
  static const std::pair<const char*, const char*> kFilledFrom[] = {
      {"invntData_Ini_Execucao", "OUTvntData_Ini_Execucao"},
      {"invntHora_Ini_Execucao", "outvntHORA_INI_EXECUCAO"},
      {"invntData_Fim_Execucao", "OUTvntData_Fim_Execucao"},
      {"invntHora_Fim_Execucao", "outvntHORA_FIM_EXECUCAO"},
      {"INvntOrdem_Servico_ID", "outvntordem_servico_id"},
      {"inarrvntSolicit_Embarque_Container_ID", "outarrvntSOLICIT_EMBARQUE_CONTAINER_ID"},
      {"inarrvntNum_Container", "outarrvntNUM_CONTAINER"},
      {"inarrvntNum_Lacre_Cia_Maritima", "outarrvntnum_lacre_cia_maritima"},
      {"inarrvntNum_Lacre_Receita_Federal", "outarrvntnum_lacre_receita_federal"},
      {"inarrvntNum_Lacre_Min_Saude", "outarrvntnum_lacre_min_saude"},
      {"inarrvntTara", "outarrvntTara"},
      {"inarrvntAgend_Container_ID", "outarrvntAGEND_CONTAINER_ID"},
      {"invntvntQtde_Sol_Cont", "outvntQtde_Sol_Cont"},
      {"invntObserv", "ouvntObserv"},
      {"INvntTab_Tipo_Ordem_Servico_ID", "outvntTAB_TIPO_ORDEM_SERVICO_iD"},
      {"arrTab_Tipo_Container_ID", "arrTab_Tipo_Container_ID"},
      {"invntData_Retirada", "OUTvntData_Retirada_Terminal"},
      {"invntHora_Retirada", "outvntHora_Retirada_Terminal"},
      {"invntData_Entrega", "OUTvntData_Entrega_Terminal"},
      {"invntHora_Entrega", "outvntHora_Entrega_Terminal"},
      {"invntTab_Tipo_Servico_ID", "outvntTAB_TIPO_SERVICO_ID"},
      {"invntIndic_Mostra_Campo_Terminal", "outvntIndic_Mostra_Campo_Terminal"},
      {"invntFornecedor_ID", "outvntfornecedor_id"},
      {"invntterminal_vazio_id", "outvntterminal_vazio_id"},
      {"invntterminal_cheio_id", "outvntterminal_cheio_id"},
      {"arrPeso", "OUTarrPeso_Carga"},
      {"arrValorNF", "OUTarrValor_NF"},
      {"INvntPlaca_Cavalo", "OUTvntPlaca_Cavalo"},
      {"invnttab_tipo_docto_id", "outvnttab_tipo_docto_id"},
      {"invntnum_documento", "outvntnum_documento"},
      {"invntflag_num_docto", "outvntflag_num_docto"},
  };
  for (const auto& [field, answer] : kFilledFrom) close[field] = loaded[answer];
  // The amounts come back as numbers; the form's fields hold texts with the
  // decimal comma, which is what the closing reads whatever the locale.
  for (const char* field : {"inarrvntTara", "arrPeso", "arrValorNF"}) {
    Variant& amounts = close[field];
    if (!amounts.is_array()) continue;
    for (Variant& amount : amounts.elements())
      if (amount.is_number()) amount = Variant(two_decimals(to_double(amount), ','));
  }
  return close;
}

}  // namespace qrnmvl::tool
