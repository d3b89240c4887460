#include "closing/consistency.hpp"

#include <gtest/gtest.h>

#include <functional>
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
const char* const kContainerRequest =
    "Problema na Consulta da Associação Container/Nf. Contacte o Administrador do Sistema.";
const char* const kOrder =
    "Erro na consulta da Ordem de Serviço. Contacte o Administrador do sistema.";
const char* const kNoRow =
    "Either BOF or EOF is True, or the current record has been deleted. Requested operation "
    "requires a current record.";

// A lookup, its procedure, and how to run it with a connection, a user and a message output.
struct Lookup {
  const char* procedure;
  std::function<bool(Variant& connection, Variant& user, Variant& message)> run;
};

// What the procedure answers, and what the lookup then answers, writes and logs.
struct Answer {
  std::string body;
  bool passed;
  Variant message;     // "caller's" when left alone
  std::string logged;  // the context after the message in the log row; "" when nothing is logged
};

// Each answer on a fresh database, for user 1 and for another user, with the one command sent.
void expect_answers(const Lookup& lookup, const std::vector<Answer>& answers,
                    const std::string& command) {
  for (const Answer& answer : answers) {
    for (const int user : {1, 25}) {
      SCOPED_TRACE(answer.body + " for user " + std::to_string(user));
      TestDatabase db;
      db.redefine(lookup.procedure, "a, b, c, d, e", answer.body);
      Variant connection = db.connection(), user_id(user), message("caller's");
      EXPECT_EQ(lookup.run(connection, user_id, message), answer.passed);
      const std::string failure = to_text(answer.message);
      EXPECT_EQ(message, answer.logged.empty() || user != 1 ? answer.message
                                                            : Variant(failure + answer.logged));
      EXPECT_EQ(db.commands().front(), command);
      // The log keeps the text without the characters a command text cannot hold.
      const Variant logged = gRetira_Caracteres_Especiais(Variant(failure + answer.logged));
      EXPECT_EQ(db.query("SELECT USUARIO_INTERNET_ID, MSG01 || ifnull(MSG02, '') FROM LOG_MSG"),
                (answer.logged.empty() ? Table{} : Table{{user, logged}}));
    }
  }
}

TEST(ConsistencyLookups, DuplicateCheck) {
  Variant number("TGHU8731457"), type("1"), request("7001"), order(501), kind("SQLSERVER");
  const Lookup lookup{"SP_036_DUP_SOLICIT8", [&](Variant& connection, Variant& user, Variant& m) {
                        return mConsiste_Dupl_Solicit(user, kind, connection, number, type, request,
                                                      order, m);
                      }};
  const std::string sent = "EXECUTE SP_036_DUP_SOLICIT8 NULL ,'TGHU8731457','1',7001,501";
  expect_answers(lookup,
                 {{"SELECT 1 AS retorno WHERE 0", true, "caller's", ""},
                  {"SELECT 0 AS retorno", true, "caller's", ""},
                  {"SELECT '-1' AS retorno", true, "caller's", ""},
                  {"SELECT 1 AS retorno, 'X' AS Msg_Ret", false, "X", ""},
                  {"SELECT '0,5' AS retorno, NULL AS Msg_Ret", false, "", ""},
                  {"SELECT 1 AS retorno", false, kContainerRequest,
                   " - QRNMVL.mConsiste_Dupl_Solicit -(Item cannot be found in the collection "
                   "corresponding to the requested name or ordinal. :  No Nº 3)" +
                       sent},
                  {"UPDATE LOG_MSG SET MSG01 = MSG01 WHERE 0", false, kContainerRequest,
                   " - QRNMVL.mConsiste_Dupl_Solicit -(Operation is not allowed when the object "
                   "is closed. :  No Nº 2)" +
                       sent}},
                 sent);
  number = type = request = order = Variant("");
  expect_answers(lookup, {{"SELECT 0 AS retorno", true, "caller's", ""}},
                 "EXECUTE SP_036_DUP_SOLICIT8 NULL ,null,null,null,null");
}

TEST(ConsistencyLookups, ScheduleCheck) {
  Variant schedule("6001"), second_key(""), request(7001), kind("SQLSERVER");
  const Lookup lookup{"SP_036_CONSISTE_SEC_AGEND_CONT",
                      [&](Variant& connection, Variant& user, Variant& m) {
                        return mConsiste_SEC_Agend_Container(user, kind, connection, schedule,
                                                             second_key, request, m);
                      }};
  const std::string sent = "EXECUTE SP_036_CONSISTE_SEC_AGEND_CONT 6001,null, 7001";
  expect_answers(lookup,
                 {{"SELECT 0 AS retorno", true, "caller's", ""},
                  {"SELECT 2 AS retorno, 'Agendamento de outra solicitação' AS Msg_Ret", false,
                   "Agendamento de outra solicitação", ""},
                  {"SELECT 1 AS retorno WHERE 0", false, kContainerRequest,
                   " - QRNMVL.mConsiste_SEC_Agend_Container -(" + std::string(kNoRow) +
                       " :  No Nº 2)" + sent}},
                 sent);
  schedule = Variant(0);
  expect_answers(lookup, {{"SELECT 0 AS retorno", true, "caller's", ""}},
                 "EXECUTE SP_036_CONSISTE_SEC_AGEND_CONT null,null, 7001");
}

TEST(ConsistencyLookups, OrderDates) {
  Variant kind("SQLSERVER"), order("501");
  std::vector<Variant> dates(5, Variant("keep"));
  const Lookup lookup{"SP_VLM_CON_DT_OS02", [&](Variant& connection, Variant& user, Variant& m) {
                        dates.assign(5, Variant("keep"));
                        return mConsulta_DT_OS(kind, order, dates[0], dates[1], dates[2], dates[3],
                                               dates[4], user, connection, m);
                      }};
  const std::string row =
      "SELECT '2025/10/13' AS data_emissao, 2 AS DIAS, '2025/10/11' AS DATA_PERMITIDA, "
      "'13/10/2025' AS data_emissao_tela, '20/10/2025' AS DATA_ATUAL";
  const std::string sent = "EXEC SP_VLM_CON_DT_OS02   501";
  expect_answers(lookup, {{row, true, "caller's", ""}}, sent);
  EXPECT_EQ(dates,
            (std::vector<Variant>{"2025/10/13", "2", "2025/10/11", "13/10/2025", "20/10/2025"}));
  expect_answers(lookup,
                 {{"SELECT NULL AS data_emissao, NULL AS DIAS, NULL AS DATA_PERMITIDA, 20101013 "
                   "AS data_emissao_tela, NULL AS DATA_ATUAL",
                   true, "caller's", ""}},
                 sent);
  EXPECT_EQ(dates, (std::vector<Variant>{"", "0", "", "20101013", ""}));
  expect_answers(lookup,
                 {{row + " WHERE 0", false, "caller's", ""},
                  {"SELECT 1 AS data_emissao, 2 AS DIAS", false, kOrder,
                   " - QrnMvl.mConsulta_DT_OS (Item cannot be found in the collection "
                   "corresponding to the requested name or ordinal. : 3265)   No Nº 3"}},
                 sent);
  for (const Variant& none : {Variant(0), Variant(""), Variant()}) {
    order = none;
    expect_answers(lookup, {{row, true, "caller's", ""}}, "EXEC SP_VLM_CON_DT_OS02   null");
  }
}

}  // namespace
}  // namespace qrnmvl::closing
