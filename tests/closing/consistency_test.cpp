#include "closing/consistency.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/helpers.hpp"
#include "common/values.hpp"
#include "support/test_database.hpp"
#include "support/test_values.hpp"

namespace qrnmvl::closing {
namespace {

using testing::TestDatabase;
using Table = std::vector<std::vector<Variant>>;
const char* const kDup = "SP_036_DUP_SOLICIT8";
const char* const kSchedule = "SP_036_CONSISTE_SEC_AGEND_CONT";
const char* const kDates = "SP_VLM_CON_DT_OS02";

// One lookup with a container row of the demo order 501 (or with every value empty), as user
// `user`; the order's dates land in `dates`.
bool run(const std::string& procedure, const TestDatabase& db, int user, Variant& message,
         std::vector<Variant>& dates, bool empty = false) {
  const auto value = [empty](Variant v) { return empty ? Variant("") : v; };
  Variant connection = db.connection(), user_id(user), kind("SQLSERVER"), second_key("");
  Variant number = value("TGHU8731457"), type = value("1"), request = value("7001"),
          schedule = value(6001), order = value(501);
  dates.assign(5, Variant("keep"));
  if (procedure == kDup)
    return mConsiste_Dupl_Solicit(user_id, kind, connection, number, type, request, order, message);
  if (procedure == kSchedule)
    return mConsiste_SEC_Agend_Container(user_id, kind, connection, schedule, second_key, request,
                                         message);
  return mConsulta_DT_OS(kind, order, dates[0], dates[1], dates[2], dates[3], dates[4], user_id,
                         connection, message);
}

TEST(ConsistencyLookups, AnswersRefusalsAndFailures) {
  const std::string container_request =
      "Problema na Consulta da Associação Container/Nf. Contacte o Administrador do Sistema.";
  const std::string order =
      "Erro na consulta da Ordem de Serviço. Contacte o Administrador do sistema.";
  const std::string missing =
      "Item cannot be found in the collection corresponding to the requested name or ordinal. : ";
  const std::string dates_row =
      "SELECT '2025/10/13' AS data_emissao, 2 AS DIAS, '2025/10/11' AS DATA_PERMITIDA, "
      "'13/10/2025' AS data_emissao_tela, '20/10/2025' AS DATA_ATUAL";
  struct Case {
    const char* procedure;
    std::string body;
    bool passed;
    std::string message;  // "caller's" when left alone
    std::string context;  // what follows the message in the log row; empty when nothing is logged
  };
  const Case cases[] = {
      {kDup, "SELECT 1 AS retorno WHERE 0", true, "caller's", ""},
      {kDup, "SELECT '-1' AS retorno", true, "caller's", ""},
      {kDup, "SELECT 1 AS retorno, 'X' AS Msg_Ret", false, "X", ""},
      {kDup, "SELECT '0,5' AS retorno, NULL AS Msg_Ret", false, "", ""},
      {kDup, "SELECT 1 AS retorno", false, container_request,
       " - QRNMVL.mConsiste_Dupl_Solicit -(" + missing +
           " No Nº 3)EXECUTE SP_036_DUP_SOLICIT8 NULL ,'TGHU8731457','1',7001,501"},
      {kDup, "UPDATE LOG_MSG SET MSG01 = MSG01 WHERE 0", false, container_request,
       " - QRNMVL.mConsiste_Dupl_Solicit -(Operation is not allowed when the object is closed. : "
       " No Nº 2)EXECUTE SP_036_DUP_SOLICIT8 NULL ,'TGHU8731457','1',7001,501"},
      {kSchedule, "SELECT 0 AS retorno", true, "caller's", ""},
      {kSchedule, "SELECT 2 AS retorno, 'Y' AS Msg_Ret", false, "Y", ""},
      {kSchedule, "SELECT 0 AS retorno WHERE 0", false, container_request,
       " - QRNMVL.mConsiste_SEC_Agend_Container -(Either BOF or EOF is True, or the current "
       "record has been deleted. Requested operation requires a current record. :  No Nº "
       "2)EXECUTE SP_036_CONSISTE_SEC_AGEND_CONT 6001,null, 7001"},
      {kDates, dates_row, true, "caller's", ""},
      {kDates, dates_row + " WHERE 0", false, "caller's", ""},
      {kDates, "SELECT 1 AS data_emissao, 2 AS DIAS", false, order,
       " - QrnMvl.mConsulta_DT_OS (" + missing + "3265)   No Nº 3"},
  };
  for (const Case& c : cases) {
    for (const int user : {1, 25}) {
      SCOPED_TRACE(c.body + " for user " + std::to_string(user));
      TestDatabase db;
      db.redefine(c.procedure, "a, b, c, d, e", c.body);
      Variant message("caller's");
      std::vector<Variant> dates;
      EXPECT_EQ(run(c.procedure, db, user, message, dates), c.passed);
      EXPECT_EQ(message, Variant(c.message + (user == 1 ? c.context : "")));
      const Variant logged = gRetira_Caracteres_Especiais(Variant(c.message + c.context));
      EXPECT_EQ(db.query("SELECT USUARIO_INTERNET_ID, MSG01 || ifnull(MSG02, '') FROM LOG_MSG"),
                (c.context.empty() ? Table{} : Table{{user, logged}}));
      if (c.body == dates_row) {
        EXPECT_EQ(dates, (std::vector<Variant>{"2025/10/13", "2", "2025/10/11", "13/10/2025",
                                               "20/10/2025"}));
      }
    }
  }
}

TEST(ConsistencyLookups, EmptyValuesAreSentAsNullAndNullsReadAsText) {
  const std::pair<const char*, const char*> sent[] = {
      {kDup, "EXECUTE SP_036_DUP_SOLICIT8 NULL ,null,null,null,null"},
      {kSchedule, "EXECUTE SP_036_CONSISTE_SEC_AGEND_CONT null,null, null"},
      {kDates, "EXEC SP_VLM_CON_DT_OS02   null"}};
  for (const auto& [procedure, command] : sent) {
    TestDatabase db;
    db.redefine(procedure, "a, b, c, d, e",
                "SELECT 0 AS retorno, NULL AS data_emissao, NULL AS DIAS, NULL AS DATA_PERMITIDA, "
                "20251013 AS data_emissao_tela, NULL AS DATA_ATUAL");
    Variant message("caller's");
    std::vector<Variant> dates;
    EXPECT_TRUE(run(procedure, db, 25, message, dates, true));
    EXPECT_EQ(db.commands(), std::vector<std::string>{command});
    if (procedure == kDates) {
      EXPECT_EQ(dates, (std::vector<Variant>{"", "0", "", "20251013", ""}));
    }
  }
}

}  // namespace
}  // namespace qrnmvl::closing
