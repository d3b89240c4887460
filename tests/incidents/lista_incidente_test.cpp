#include <qrnmvl/qrnmvl.hpp>
#include <tuple>

#include "support/test_database.hpp"
#include "support/test_values.hpp"

namespace qrnmvl {
namespace {

using testing::TestDatabase;

const char* const kProcedure = "SP_036_CON_LISTA_TIPO_INCIDENTE_OS4";
const std::string kMessage =
    "Problemas na Montagem da Lista de Indicadores. Contacte o Administrador do Sistema.";
const char* const kUntouched = "(untouched)";

// One call of the operation against a procedure answering `body`, with every output primed so
// that untouched ones show.
struct Listing {
  Listing(const std::string& body, const Variant& record = 27, const Variant& user_id = 25)
      : connection(db.connection()), user(user_id), order(record) {
    db.redefine(kProcedure, "ORDEM_SERVICO_TIPO_ID", body);
    result = QrnMvl().gMonta_Lista_Tab_Tipo_Incidente(connection, kind, user, count, ids,
                                                      descriptions, selected, order, justifications,
                                                      stubs, message, kinds);
  }

  TestDatabase db;
  Variant connection, kind{"SQLSERVER"}, user, order, result, message{kUntouched},
      count{kUntouched}, ids{kUntouched}, descriptions{kUntouched}, selected{kUntouched},
      justifications{kUntouched}, stubs{kUntouched}, kinds{kUntouched};
};

TEST(IncidentList, CopiesTheRowsIntoParallelArrays) {
  Listing call(
      "SELECT 5 AS tab_tipo_incidente_id, 'Avaria' AS descricao, 'S' AS Flag_Selecionado, "
      "'Porta amassada' AS justificativa, 'N' AS flag_contr_canhoto, 'M' AS flag_tipo_cadastro "
      "UNION ALL SELECT 18, 'Atraso', NULL, NULL, 'S', 'A' "
      "UNION ALL SELECT NULL, NULL, NULL, NULL, NULL, NULL");
  using Lines = Variant::Array;
  EXPECT_EQ(call.result, kSuccess);
  EXPECT_EQ(call.message, Variant(kUntouched));
  EXPECT_EQ(call.count, Variant(3));
  EXPECT_EQ(call.ids, Variant(Lines{5, 18, std::int16_t{0}}));
  EXPECT_EQ(call.descriptions, Variant(Lines{"Avaria", "Atraso", ""}));
  EXPECT_EQ(call.selected, Variant(Lines{"S", "", ""}));
  EXPECT_EQ(call.justifications, Variant(Lines{"Porta amassada", "", ""}));
  EXPECT_EQ(call.stubs, Variant(Lines{"N", "S", ""}));
  EXPECT_EQ(call.kinds, Variant(Lines{"M", "A", ""}));
}

TEST(IncidentList, SendsTheRecordIdOrNullAndWithoutRowsTouchesNothing) {
  const std::pair<Variant, const char*> cases[] = {
      {27, "27"},   {"27", "27"},        {27.0, "27"},   {0, "null"},
      {"", "null"}, {Variant(), "null"}, {"abc", "null"}};
  for (const auto& [order, sent] : cases) {
    SCOPED_TRACE(sent);
    Listing call("SELECT 1 AS tab_tipo_incidente_id WHERE 0", order);
    EXPECT_EQ(call.result, kSuccess);
    EXPECT_EQ(call.db.commands(),
              std::vector<std::string>{std::string("EXECUTE ") + kProcedure + " " + sent + " "});
    for (const Variant* output : {&call.message, &call.count, &call.ids, &call.descriptions,
                                  &call.selected, &call.justifications, &call.stubs, &call.kinds})
      EXPECT_EQ(*output, Variant(kUntouched));
  }
}

TEST(IncidentList, AFailureIsLoggedWithDetailOnlyForUserOne) {
  const std::string where = " - M036TTI.mMonta_Lista_Tab_Tipo_Incidente";
  const std::string sql = std::string("SQL: EXECUTE ") + kProcedure + " 27 ";
  const std::tuple<std::string, Variant, std::string> cases[] = {
      {"SELECT * FROM NO_SUCH_TABLE", 27,
       where + "( no such table: NO_SUCH_TABLE :  No Nº 1)" + sql},
      {"SELECT 5 AS tab_tipo_incidente_id", 27,
       where +
           "( Item cannot be found in the collection corresponding to the requested name or "
           "ordinal. :  No Nº 5)" +
           sql},
      {"SELECT 1", Variant::null(), where + "( Invalid use of Null :  No Nº 1)SQL: "},
  };
  for (const auto& [body, order, context] : cases) {
    for (const int user : {1, 25}) {
      SCOPED_TRACE(body + ", user " + std::to_string(user));
      Listing call(body, order, user);
      EXPECT_EQ(call.result, kFailure);
      EXPECT_EQ(call.message, Variant(user == 1 ? kMessage + context : kMessage));
      const auto log = call.db.query("SELECT USUARIO_INTERNET_ID, MSG01 FROM LOG_MSG");
      ASSERT_EQ(log.size(), 1u);
      EXPECT_EQ(log[0][0], Variant(user));
      EXPECT_EQ(log[0][1].as_string().rfind(kMessage + where + " ", 0), 0u);
    }
  }
}

}  // namespace
}  // namespace qrnmvl
