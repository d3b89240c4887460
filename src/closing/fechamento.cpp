// The closing operation. The closing workflow is not part of this version:
// the operation answers through its frame, with its failure message and result 10.
#include "closing/closing.hpp"
#include "common/frame.hpp"
#include "common/values.hpp"

namespace qrnmvl::closing {

Variant gGrava_Fechamento(
    Variant& invntConecta_db, Variant& invntUsuario_internet_id, Variant& /*invntEmpresa_id*/,
    Variant& inVntBanco_Dados, Variant& /*invntNome_Produto*/,
    Variant& /*invntOrdem_Servico_Tipo_ID*/, Variant& /*invntData_Ini_Execucao*/,
    Variant& /*invntHora_Ini_Execucao*/, Variant& /*invntData_Fim_Execucao*/,
    Variant& /*invntHora_Fim_Execucao*/, Variant& /*INvntOrdem_Servico_ID*/,
    Variant& /*inarrvntSolicit_Embarque_Container_ID*/, Variant& /*inarrvntNum_Container*/,
    Variant& /*inarrvntNum_Lacre_Cia_Maritima*/, Variant& /*inarrvntNum_Lacre_Receita_Federal*/,
    Variant& /*inarrvntNum_Lacre_Min_Saude*/, Variant& /*inarrvntTara*/,
    Variant& /*inarrvntAgend_Container_ID*/, Variant& /*invntvntQtde_Sol_Cont*/,
    Variant& /*invntObserv*/, Variant& /*INvntTab_Tipo_Ordem_Servico_ID*/,
    Variant& /*arrTab_Tipo_Container_ID*/, Variant& outvntMsg_Ret, Variant& /*invntData_Retirada*/,
    Variant& /*invntHora_Retirada*/, Variant& /*invntData_Entrega*/,
    Variant& /*invntHora_Entrega*/, Variant& /*invntTab_Tipo_Servico_ID*/,
    Variant& /*invntIndic_Mostra_Campo_Terminal*/, Variant& /*invntFornecedor_ID*/,
    Variant& /*invntterminal_vazio_id*/, Variant& /*invntterminal_cheio_id*/,
    Variant& /*arrPeso*/, Variant& /*arrValorNF*/, Variant& /*INvntPlaca_Cavalo*/,
    Variant& /*invnttab_tipo_docto_id*/, Variant& /*invntnum_documento*/,
    Variant& /*invntflag_num_docto*/) {
  int line = 0;
  // Everything after the frame works on the connection's text form.
  Variant connection;
  const FailureTarget target{inVntBanco_Dados, connection, invntUsuario_internet_id,
                             outvntMsg_Ret};
  auto body = [&]() -> bool {
    connection = Variant(to_text(invntConecta_db));
    line = 1;
    throw Error(err::invalid_procedure_call, "The closing workflow is not available");
  };
  auto context = [&](const Error& error) {
    return " - QrnMvl.gGrava_Fechamento (" + error.description() + " : " +
           number_text(error.number()) + ")  " + " No Nº " + number_text(line);
  };
  return run_operation(target,
                       "Acesso ao Fechamento da OS não disponível. Favor tentar mais tarde.", body,
                       context);
}

}  // namespace qrnmvl::closing
