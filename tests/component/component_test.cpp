#include <gtest/gtest.h>
#include <qrnmvl/qrnmvl.h>

#include <iterator>
#include <nlohmann/json.hpp>
#include <qrnmvl/qrnmvl.hpp>
#include <sstream>

#include "common/values.hpp"
#include "support/test_database.hpp"

namespace qrnmvl {
namespace {

using testing::TestDatabase;

// The documented parameter lists, written here independently of the one list
// the code is built from: two names swapped there fail this test.
TEST(Dispatch, OperationsAndParametersAreTheDocumentedOnes) {
  const std::pair<const char*, const char*> documented[] = {
      {"gMonta_Lista_Tab_Tipo_Incidente",
       "invntConecta_db invntBase_dados invntUsuario_internet_id outvntTam_arr "
       "outarrvntTab_Tipo_Incidente_id outarrvntDesc_Tipo_Incidente outarrvntFlag_Selecionado "
       "invntOrdem_Servico_Tipo_Ident OUTarrJustificativa OUTarrFlag_contr_canhoto outvntMsg_Ret "
       "outarrflag_tipo_cadastro"},
      {"gGrava_Incidente",
       "invntConecta_db invntBase_dados invntUsuario_internet_id invntOrdem_Servico_Tipo_Ident "
       "InarrvntTab_Tipo_Incidente_id inarrvntFlag_Selecionado invntFlag_Grava_Observacao "
       "invntTam_Arr invntObservacao INarrJustificativa outvntMsg_Ret "
       "inTAB_TIPO_ORDEM_SERVICO_iD INarrflag_tipo_cadastro"},
      {"gConsulta_Porto_Ponto",
       "invntUsuario_internet_id invntConecta_db invntBase_dados outvntPONTO_OPERACAO_ID "
       "outvntTam_arr outarrvntPORTO_ID outvntMsg_Ret outarrvntnome_porto"},
      {"gConsulta_Ordem_Servico_Tipo",
       "invntConecta_db invntUsuario_internet_id invntEmpresa_id inVntBanco_Dados "
       "invntNome_Produto invntOrdem_Servico_Tipo_ID outvntordem_servico_id "
       "outvntDESCR_TIPO_SERVICO outvntFORNECEDOR outvntdata_servico outvntnum_os "
       "OUTvntData_Ini_Execucao outvntHORA_INI_EXECUCAO OUTvntData_Fim_Execucao "
       "outvntHORA_FIM_EXECUCAO outvntDESC_TAB_STATUS_PAGTO_OS "
       "outarrvntSOLICIT_EMBARQUE_CONTAINER_ID outarrvntNUM_CONTAINER "
       "outarrvntnum_lacre_cia_maritima outarrvntnum_lacre_receita_federal "
       "outarrvntnum_lacre_min_saude outarrvntTara outarrvntAGEND_CONTAINER_ID "
       "outvntQtde_Sol_Cont ouvntObserv outvntTAB_TIPO_ORDEM_SERVICO_iD arrTab_Tipo_Container_ID "
       "outvntMsg_Ret outvntIndic_OS_Em_Pagamento outvntIndic_Mostra_Campo_Terminal "
       "outvntTAB_TIPO_SERVICO_ID OUTvntData_Retirada_Terminal outvntHora_Retirada_Terminal "
       "OUTvntData_Entrega_Terminal outvntHora_Entrega_Terminal outvntfornecedor_id "
       "outvntterminal_vazio_id outvntterminal_cheio_id outvntflag_ctac_os OUTarrPeso_Carga "
       "OUTarrValor_NF OUTvntPlaca_Cavalo outvntflag_contr_canhoto outvnttab_tipo_docto_id "
       "outvntnum_documento outvntflag_num_docto"},
      {"gGrava_Fechamento",
       "invntConecta_db invntUsuario_internet_id invntEmpresa_id inVntBanco_Dados "
       "invntNome_Produto invntOrdem_Servico_Tipo_ID invntData_Ini_Execucao "
       "invntHora_Ini_Execucao invntData_Fim_Execucao invntHora_Fim_Execucao "
       "INvntOrdem_Servico_ID inarrvntSolicit_Embarque_Container_ID inarrvntNum_Container "
       "inarrvntNum_Lacre_Cia_Maritima inarrvntNum_Lacre_Receita_Federal "
       "inarrvntNum_Lacre_Min_Saude inarrvntTara inarrvntAgend_Container_ID "
       "invntvntQtde_Sol_Cont invntObserv INvntTab_Tipo_Ordem_Servico_ID "
       "arrTab_Tipo_Container_ID outvntMsg_Ret invntData_Retirada invntHora_Retirada "
       "invntData_Entrega invntHora_Entrega invntTab_Tipo_Servico_ID "
       "invntIndic_Mostra_Campo_Terminal invntFornecedor_ID invntterminal_vazio_id "
       "invntterminal_cheio_id arrPeso arrValorNF INvntPlaca_Cavalo invnttab_tipo_docto_id "
       "invntnum_documento invntflag_num_docto"},
  };
  ASSERT_EQ(operations().size(), std::size(documented));
  for (std::size_t i = 0; i < std::size(documented); ++i) {
    const auto& [name, parameters] = documented[i];
    EXPECT_EQ(operations()[i].name, std::string(name));
    std::istringstream words(parameters);
    const std::vector<std::string> expected{std::istream_iterator<std::string>(words), {}};
    EXPECT_EQ(operations()[i].parameters, expected) << name;
    EXPECT_EQ(find_operation(name), &operations()[i]);
  }
  EXPECT_EQ(find_operation("gconsulta_porto_ponto"), nullptr);
}

// The demo user's ports through the JSON contract: every parameter in call order, the message
// as the caller left it, and nothing logged.
TEST(JsonCall, AnswersEveryParameterInOrder) {
  TestDatabase db(true);
  QrnMvl component;
  const nlohmann::json call{{"invntUsuario_internet_id", 25},
                            {"invntConecta_db", db.connection_text()},
                            {"invntBase_dados", "SQLSERVER"},
                            {"outvntMsg_Ret", "caller's"}};
  const auto answer =
      nlohmann::ordered_json::parse(invoke_json(component, "gConsulta_Porto_Ponto", call.dump()));
  EXPECT_EQ(answer["result"], 0);
  EXPECT_EQ(answer["parameters"], nlohmann::ordered_json::parse(
                                      R"({"invntUsuario_internet_id": 25, "invntConecta_db": )" +
                                      nlohmann::json(db.connection_text()).dump() + R"(,
                "invntBase_dados": "SQLSERVER", "outvntPONTO_OPERACAO_ID": 10, "outvntTam_arr": 3,
                "outarrvntPORTO_ID": [103, 102, 101], "outvntMsg_Ret": "caller's",
                "outarrvntnome_porto": ["Itajaí", "Rio de Janeiro", "Santos"]})"));
  EXPECT_EQ(db.commands(), std::vector<std::string>{"EXEC SP_QRN_CON_PORTO_PONTO3   25"});
  EXPECT_TRUE(db.query("SELECT * FROM LOG_MSG").empty());
}

TEST(CInterface, FactoryObjectsCallOperationsByName) {
  TestDatabase db(true);
  // The class factory hands out working objects, and the library knows they are alive.
  const qrnmvl_class_factory* factory = nullptr;
  EXPECT_EQ(DllGetClassObject("Other.Class", &factory), QRNMVL_CLASS_E_CLASSNOTAVAILABLE);
  ASSERT_EQ(DllGetClassObject("QrnMvla61.QrnMvl", &factory), QRNMVL_S_OK);
  qrnmvl_object* object = factory->create_instance();
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(DllCanUnloadNow(), QRNMVL_S_FALSE);

  const nlohmann::json call{{"invntUsuario_internet_id", 26},
                            {"invntConecta_db", db.connection_text()},
                            {"invntBase_dados", "SQLSERVER"}};
  char* answer = nullptr;
  ASSERT_EQ(qrnmvl_invoke(object, "gConsulta_Porto_Ponto", call.dump().c_str(), &answer), 0);
  const auto parsed = nlohmann::json::parse(answer);
  qrnmvl_free(answer);
  EXPECT_EQ(parsed["result"], 0);
  EXPECT_EQ(parsed["parameters"]["outvntPONTO_OPERACAO_ID"], 20);

  qrnmvl_release(object);
  EXPECT_EQ(DllCanUnloadNow(), QRNMVL_S_OK);
}

}  // namespace
}  // namespace qrnmvl
