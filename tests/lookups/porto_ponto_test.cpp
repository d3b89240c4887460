#include <gtest/gtest.h>

#include <qrnmvl/qrnmvl.hpp>

#include "common/values.hpp"
#include "support/test_database.hpp"

namespace qrnmvl {
namespace {

using testing::LocaleScope;
using testing::TestDatabase;

const char* const kEmptyMessage =
    "Problemas ao identificar os Portos relacionado à Filial do Usuário.Contacte o Administrador "
    "do Sistema.";
const char* const kFailureMessage =
    "Problema na Consulta do Porto e Agente relacionados ao Usuário. Contacte o Administrador do "
    "Sistema.";

struct Call {
  Call(Variant user_id, Variant connection_value)
      : user(std::move(user_id)), connection(std::move(connection_value)) {}

  Variant user, connection, kind{"SQLSERVER"}, point{"keep"}, count{"keep"}, ports{"keep"},
      message{"caller's"}, names{"keep"};
  Variant result;

  void run() {
    QrnMvl component;
    result = component.gConsulta_Porto_Ponto(user, connection, kind, point, count, ports, message,
                                             names);
  }
};

std::vector<std::vector<Variant>> log_texts(const TestDatabase& db) {
  return db.query("SELECT USUARIO_INTERNET_ID, MSG01 FROM LOG_MSG ORDER BY LOG_MSG_ID");
}

TEST(PortLookup, AnswersTheDemoUsersPorts) {
  TestDatabase db(true);
  Call call{Variant(25), db.connection()};
  call.run();

  EXPECT_EQ(call.result, Variant(std::int16_t{0}));
  EXPECT_EQ(call.point, Variant(10));
  EXPECT_EQ(call.count, Variant(3));
  EXPECT_EQ(call.ports, Variant(Variant::Array{Variant(103), Variant(102), Variant(101)}));
  EXPECT_EQ(call.names, Variant(Variant::Array{Variant("Itajaí"), Variant("Rio de Janeiro"),
                                               Variant("Santos")}));
  EXPECT_EQ(call.message, Variant("caller's"));
  EXPECT_EQ(db.commands(), std::vector<std::string>{"EXEC SP_QRN_CON_PORTO_PONTO3   25"});
  EXPECT_TRUE(log_texts(db).empty());
}

TEST(PortLookup, NormalisesEveryColumnUnderEitherSeparator) {
  struct Case {
    const char* locale;
    Variant name;
  };
  const Case cases[] = {{"pt_BR", Variant("Porto 1,5")}, {"en_US", Variant("Porto 1.5")}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.locale);
    LocaleScope locale(c.locale);
    TestDatabase db;
    db.redefine("SP_QRN_CON_PORTO_PONTO3", "USUARIO_INTERNET_ID",
                "SELECT 7 AS PONTO_OPERACAO_ID, NULL AS PORTO_ID, 'Porto 1.5' AS nome_porto");
    Call call{Variant(25), db.connection()};
    call.run();
    EXPECT_EQ(call.result, Variant(std::int16_t{0}));
    EXPECT_EQ(call.count, Variant(1));
    EXPECT_EQ(call.ports, Variant(Variant::Array{Variant(std::int16_t{0})}));
    EXPECT_EQ(call.names, Variant(Variant::Array{c.name}));
  }
}

TEST(PortLookup, NoRowsIsRefusedAndLogged) {
  struct Case {
    Variant user;
    const char* command;
    std::string message;
    Variant logged_user;
  };
  const std::string context1 =
      " - M036CA.mConsulta_Porto_Ponto -( State = 0:  No Nº 2)EXEC SP_QRN_CON_PORTO_PONTO3   1";
  const Case cases[] = {
      {Variant(999), "EXEC SP_QRN_CON_PORTO_PONTO3   999", kEmptyMessage, Variant(999)},
      {Variant(0), "EXEC SP_QRN_CON_PORTO_PONTO3   null", kEmptyMessage, Variant::null()},
      {Variant(), "EXEC SP_QRN_CON_PORTO_PONTO3   null", kEmptyMessage, Variant::null()},
      {Variant(1), "EXEC SP_QRN_CON_PORTO_PONTO3   1", kEmptyMessage + context1, Variant(1)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    TestDatabase db;  // no demo data: nobody has ports
    Call call{c.user, db.connection()};
    call.run();
    EXPECT_EQ(call.result, Variant(std::int16_t{10}));
    EXPECT_EQ(call.message, Variant(c.message));
    EXPECT_EQ(call.count, Variant("keep"));
    EXPECT_EQ(call.ports, Variant("keep"));
    EXPECT_EQ(db.commands().front(), c.command);
    const auto logged = log_texts(db);
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0][0], c.logged_user);
    // The log keeps the message and the context, without the characters it strips.
    const std::string stripped_context =
        std::string(" - M036CA.mConsulta_Porto_Ponto - State = 0:  No Nº 2") + c.command;
    EXPECT_EQ(logged[0][1], Variant(kEmptyMessage + stripped_context));
  }
}

TEST(PortLookup, FailuresReachTheFrame) {
  struct Case {
    const char* body;  // nullptr: the database file is missing
    const char* context;
    std::size_t logged;  // 0: nowhere to look (the log table or the file is gone)
  };
  const std::string missing =
      "Item cannot be found in the collection corresponding to the requested name or ordinal. :  ";
  const Case cases[] = {
      {"SELECT 7 AS PONTO_OPERACAO_ID, 1 AS PORTO_ID", "No Nº 6)", 1},
      {"SELECT 1 AS PORTO_ID", "No Nº 4)", 1},
      {"UPDATE PORTO SET SIGLA = SIGLA",
       "Operation is not allowed when the object is closed. :  No Nº 2)", 1},
      {"SELECT * FROM NO_SUCH_TABLE", "no such table: NO_SUCH_TABLE :  No Nº 1)", 1},
      {"DROP TABLE LOG_MSG", "Operation is not allowed when the object is closed. :  No Nº 2)", 0},
      {nullptr, "unable to open database file :  No Nº 1)", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body ? c.body : "missing file");
    for (const int user : {1, 25}) {
      TestDatabase db;
      if (c.body) db.redefine("SP_QRN_CON_PORTO_PONTO3", "USUARIO_INTERNET_ID", c.body);
      const Variant connection =
          c.body ? db.connection() : Variant("Provider=SQLite;Data Source=/nonexistent/app.db");
      Call call{Variant(user), connection};
      call.run();
      EXPECT_EQ(call.result, Variant(std::int16_t{10}));
      const std::string context = " - QRNMVL.gConsulta_Porto_Ponto -(" +
                                  (std::string(c.context).rfind("No", 0) == 0 ? missing : "") +
                                  c.context + "EXEC SP_QRN_CON_PORTO_PONTO3   " +
                                  std::to_string(user);
      EXPECT_EQ(to_text(call.message), kFailureMessage + (user == 1 ? context : std::string()));
      if (c.logged) {
        EXPECT_EQ(log_texts(db).size(), c.logged);
      }
    }
  }
}

}  // namespace
}  // namespace qrnmvl
