#include <gtest/gtest.h>
#include <qrnmvl/qrnmvl.h>

#include <nlohmann/json.hpp>
#include <qrnmvl/qrnmvl.hpp>
#include <set>
#include <stdexcept>

#include "common/values.hpp"
#include "support/test_database.hpp"

namespace qrnmvl {
namespace {

using testing::TestDatabase;

TEST(Dispatch, ListsTheFiveOperationsInInterfaceOrder) {
  const std::vector<std::pair<std::string, std::size_t>> expected{
      {"gMonta_Lista_Tab_Tipo_Incidente", 12},
      {"gGrava_Incidente", 13},
      {"gConsulta_Porto_Ponto", 8},
      {"gConsulta_Ordem_Servico_Tipo", 46},
      {"gGrava_Fechamento", 38}};
  ASSERT_EQ(operations().size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(operations()[i].name, expected[i].first);
    const std::set<std::string> unique(operations()[i].parameters.begin(),
                                       operations()[i].parameters.end());
    EXPECT_EQ(unique.size(), expected[i].second);  // the count, with no name twice
    EXPECT_EQ(find_operation(expected[i].first), &operations()[i]);
  }
  EXPECT_EQ(find_operation("gconsulta_porto_ponto"), nullptr);
}

TEST(JsonCall, AnswersEveryParameterInOrder) {
  TestDatabase db(true);
  QrnMvl component;
  const nlohmann::json call{{"invntUsuario_internet_id", 25},
                            {"invntConecta_db", db.connection_text()},
                            {"invntBase_dados", "SQLSERVER"},
                            {"outvntMsg_Ret", {{"$empty", true}}}};
  const std::string answer = invoke_json(component, "gConsulta_Porto_Ponto", call.dump());
  const auto parsed = nlohmann::ordered_json::parse(answer);

  EXPECT_EQ(parsed["result"], 0);
  std::vector<std::string> keys;
  for (const auto& [key, value] : parsed["parameters"].items()) keys.push_back(key);
  EXPECT_EQ(keys, operations()[2].parameters);
  const auto& p = parsed["parameters"];
  EXPECT_EQ(p["outvntPONTO_OPERACAO_ID"], 10);
  EXPECT_EQ(p["outvntTam_arr"], 3);
  EXPECT_EQ(p["outarrvntPORTO_ID"], nlohmann::json({103, 102, 101}));
  EXPECT_EQ(p["outarrvntnome_porto"][0], "Itajaí");
  EXPECT_EQ(p["outvntMsg_Ret"], nlohmann::json({{"$empty", true}}));
}

TEST(JsonCall, RefusesWhatTheContractDoesNotKnow) {
  QrnMvl component;
  const std::pair<const char*, const char*> cases[] = {
      {"gNoSuchOperation", "{}"},
      {"gConsulta_Porto_Ponto", "{not json"},
      {"gConsulta_Porto_Ponto", "[1, 2]"},
      {"gConsulta_Porto_Ponto", R"({"invntusuario_internet_id": 1})"},
      {"gConsulta_Porto_Ponto", R"({"outvntMsg_Ret": {"$unknown": 1}})"},
  };
  for (const auto& [operation, call] : cases) {
    SCOPED_TRACE(call);
    EXPECT_THROW(invoke_json(component, operation, call), std::invalid_argument);
  }
}

TEST(Frame, TheClosingAnswersThroughItsFrame) {
  TestDatabase db;
  for (const int user : {1, 25}) {
    QrnMvl component;
    std::vector<Variant> p(38);
    p[0] = db.connection();
    p[1] = Variant(user);
    p[3] = Variant("SQLSERVER");
    p[22] = Variant("caller's");
    const Variant result = invoke(component, "gGrava_Fechamento", p);
    EXPECT_EQ(result, Variant(std::int16_t{10}));
    const std::string message =
        "Acesso ao Fechamento da OS não disponível. Favor tentar mais tarde.";
    const std::string context =
        " - QrnMvl.gGrava_Fechamento (The closing workflow is not available : 5)   No Nº 1";
    EXPECT_EQ(p[22], Variant(user == 1 ? message + context : message));
  }
  EXPECT_EQ(db.query("SELECT COUNT(*) FROM LOG_MSG")[0][0], Variant(2));
}

TEST(CInterface, CallsByNameAndReportsUsageErrors) {
  TestDatabase db(true);
  qrnmvl_object* object = qrnmvl_create();
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(DllCanUnloadNow(), QRNMVL_S_FALSE);

  const std::string call = nlohmann::json{
      {"invntUsuario_internet_id", 26},
      {"invntConecta_db", db.connection_text()},
      {"invntBase_dados",
       "SQLSERVER"}}.dump();
  char* answer = nullptr;
  ASSERT_EQ(qrnmvl_invoke(object, "gConsulta_Porto_Ponto", call.c_str(), &answer), 0);
  const auto parsed = nlohmann::json::parse(answer);
  qrnmvl_free(answer);
  EXPECT_EQ(parsed["result"], 0);
  EXPECT_EQ(parsed["parameters"]["outvntPONTO_OPERACAO_ID"], 20);

  ASSERT_EQ(qrnmvl_invoke(object, "gConsulta_Porto_Ponto", "{", &answer), 2);
  EXPECT_TRUE(nlohmann::json::parse(answer).contains("error"));
  qrnmvl_free(answer);
  EXPECT_EQ(qrnmvl_invoke(object, nullptr, "{}", &answer), 2);
  qrnmvl_free(answer);

  qrnmvl_release(object);
  EXPECT_EQ(DllCanUnloadNow(), QRNMVL_S_OK);
}

TEST(CInterface, StandardEntryPoints) {
  const qrnmvl_class_factory* factory = nullptr;
  EXPECT_EQ(DllGetClassObject("Other.Class", &factory), QRNMVL_CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(factory, nullptr);
  ASSERT_EQ(DllGetClassObject("QrnMvla61.QrnMvl", &factory), QRNMVL_S_OK);
  qrnmvl_release(factory->create_instance());
  EXPECT_EQ(DllRegisterServer(), QRNMVL_S_OK);
  EXPECT_EQ(DllUnregisterServer(), QRNMVL_S_OK);
}

}  // namespace
}  // namespace qrnmvl
