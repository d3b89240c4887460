// The entry points a host loads the component through; every operation's answer, parameter by
// parameter in call order, is in the golden scenarios.
#include <gtest/gtest.h>
#include <qrnmvl/qrnmvl.h>

#include <nlohmann/json.hpp>
#include <qrnmvl/qrnmvl.hpp>

#include "common/values.hpp"
#include "support/test_database.hpp"

namespace qrnmvl {
namespace {

using testing::TestDatabase;

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
