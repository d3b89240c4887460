#include <qrnmvl/qrnmvl.hpp>

#include "common/values.hpp"
#include "support/test_database.hpp"
#include "support/test_values.hpp"

namespace qrnmvl {
namespace {

using testing::TestDatabase;

const char* const kProcedure = "SP_QRN_CON_PORTO_PONTO3";
const std::string kEmptyMessage =
    "Problemas ao identificar os Portos relacionado à Filial do Usuário.Contacte o Administrador "
    "do Sistema.";
const std::string kFailureMessage =
    "Problema na Consulta do Porto e Agente relacionados ao Usuário. Contacte o Administrador do "
    "Sistema.";

// One call; the outputs start as "keep", so a test sees which ones were written.
struct Call {
  Call(Variant user_id, Variant connection_value)
      : user(std::move(user_id)), connection(std::move(connection_value)) {
    result =
        QrnMvl().gConsulta_Porto_Ponto(user, connection, kind, point, count, ports, message, names);
  }
  Variant user, connection, kind{"SQLSERVER"}, point{"keep"}, count{"keep"}, ports{"keep"},
      message{"caller's"}, names{"keep"}, result;
};

Rows log_texts(const TestDatabase& db) {
  return db.query("SELECT USUARIO_INTERNET_ID, MSG01 FROM LOG_MSG ORDER BY LOG_MSG_ID");
}

TEST(PortLookup, NormalisesEveryColumnUnderEitherSeparator) {
  for (const auto& [locale, name] : {std::pair{"pt_BR", "Porto 1,5"}, {"en_US", "Porto 1.5"}}) {
    SCOPED_TRACE(locale);
    testing::LocaleScope scope(locale);
    TestDatabase db;
    db.redefine(kProcedure, "USUARIO_INTERNET_ID",
                "SELECT 7 AS PONTO_OPERACAO_ID, NULL AS PORTO_ID, 'Porto 1.5' AS nome_porto "
                "UNION ALL SELECT 8, 103, 'Santos'");
    Call call{25, db.connection()};
    EXPECT_EQ(call.result, kSuccess);
    EXPECT_EQ(call.point, Variant(7));  // from the first row
    EXPECT_EQ(call.count, Variant(2));
    EXPECT_EQ(call.ports, Variant(Variant::Array{std::int16_t{0}, 103}));
    EXPECT_EQ(call.names, Variant(Variant::Array{name, "Santos"}));
  }
}

// A user without ports: the context goes to user 1 only, and the log keeps it without the
// characters the log strips.
TEST(PortLookup, NoRowsIsRefusedAndLogged) {
  const std::pair<Variant, const char*> cases[] = {
      {999, "999"}, {0, "null"}, {Variant(), "null"}, {1, "1"}};
  for (const auto& [user, sent] : cases) {
    SCOPED_TRACE(sent);
    TestDatabase db;  // no demo data: nobody has ports
    Call call{user, db.connection()};
    const std::string command = "EXEC SP_QRN_CON_PORTO_PONTO3   " + std::string(sent);
    const std::string context = " - M036CA.mConsulta_Porto_Ponto -( State = 0:  No Nº 2)" + command;
    EXPECT_EQ(call.result, kFailure);
    EXPECT_EQ(call.message, Variant(kEmptyMessage + (user == 1 ? context : "")));
    EXPECT_EQ(call.count, Variant("keep"));
    EXPECT_EQ(call.ports, Variant("keep"));
    EXPECT_EQ(db.commands().front(), command);
    EXPECT_EQ(log_texts(db),
              (Rows{{std::string(sent) == "null" ? Variant::null() : user,
                     kEmptyMessage + " - M036CA.mConsulta_Porto_Ponto - State = 0:  No Nº 2" +
                         command}}));
  }
}

TEST(PortLookup, FailuresReachTheFrame) {
  const std::string missing =
      "Item cannot be found in the collection corresponding to the requested name or ordinal. :  ";
  const std::string closed = "Operation is not allowed when the object is closed. :  No Nº 2)";
  // Body (nullptr: the database file is missing), context, log rows (0: the log cannot be read).
  const std::tuple<const char*, std::string, std::size_t> cases[] = {
      {"SELECT 7 AS PONTO_OPERACAO_ID, 1 AS PORTO_ID", missing + "No Nº 6)", 1},
      {"SELECT 1 AS PORTO_ID", missing + "No Nº 4)", 1},
      {"UPDATE PORTO SET SIGLA = SIGLA", closed, 1},
      {"SELECT * FROM NO_SUCH_TABLE", "no such table: NO_SUCH_TABLE :  No Nº 1)", 1},
      {"DROP TABLE LOG_MSG", closed, 0},
      {nullptr, "unable to open database file :  No Nº 1)", 0}};
  for (const auto& [body, context, logged] : cases) {
    for (const int user : {1, 25}) {
      SCOPED_TRACE(std::string(body ? body : "missing file") + ", user " + std::to_string(user));
      TestDatabase db;
      if (body) db.redefine(kProcedure, "USUARIO_INTERNET_ID", body);
      Call call{user, body ? db.connection() : "Provider=SQLite;Data Source=/nonexistent/app.db"};
      EXPECT_EQ(call.result, kFailure);
      const std::string shown = " - QRNMVL.gConsulta_Porto_Ponto -(" + context +
                                "EXEC SP_QRN_CON_PORTO_PONTO3   " + std::to_string(user);
      EXPECT_EQ(call.message, Variant(kFailureMessage + (user == 1 ? shown : "")));
      if (logged) {
        EXPECT_EQ(log_texts(db).size(), logged);
      }
    }
  }
}

}  // namespace
}  // namespace qrnmvl
