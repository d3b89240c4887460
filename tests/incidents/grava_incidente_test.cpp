#include <qrnmvl/qrnmvl.hpp>
#include <tuple>

#include "support/test_database.hpp"
#include "support/test_values.hpp"

namespace qrnmvl {
namespace {

using testing::TestDatabase;

const char* const kProcedure = "SP_036_INC_INCIDENTE3";
const char* const kParams = "a, b, c, d, e, f, g, h";  // the scripted bodies read none

// One checklist row as the front end sends it back.
struct Row {
  Variant id, flag, justification, kind;
};

// One call of the recording; run() builds the arrays from the rows, and they keep what it left.
struct Recording {
  std::vector<Row> rows{};
  Variant count{}, order{1001}, store_observation{"S"}, observation{"Obs"}, user{25}, order_type{2};
  Variant message{"(message)"}, ids{}, selected{}, justifications{}, kinds{};

  Variant run(const TestDatabase& db) {
    ids = selected = justifications = kinds = Variant::array(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
      std::tie(ids.at(i), selected.at(i), justifications.at(i), kinds.at(i)) =
          std::tie(rows[i].id, rows[i].flag, rows[i].justification, rows[i].kind);
    if (count.is_empty()) count = static_cast<std::int32_t>(rows.size());
    Variant connection = db.connection(), kind("SQLSERVER");
    return QrnMvl().gGrava_Incidente(connection, kind, user, order, ids, selected,
                                     store_observation, count, observation, justifications, message,
                                     order_type, kinds);
  }
};

std::string command(const std::string& arguments) {
  return std::string("EXECUTE ") + kProcedure + " " + arguments + " ";
}

// A database whose recording procedure accepts anything.
struct AcceptingDatabase : TestDatabase {
  AcceptingDatabase() { redefine(kProcedure, kParams, "SELECT 0 AS retorno"); }
};

TEST(IncidentRecording, PacksTheChosenRowsIntoFourLists) {
  const Row ticked{5, "S", "", "M"};
  const std::tuple<const char*, Recording, std::string> cases[] = {
      {"ticked, justified, neither, flag N with text",
       {.rows = {ticked, {7, "", "chuva", "A"}, {9, "N", "", ""}, {11, "N", "granizo", " A "}}},
       "1001, 'S', '5,7,11', 'Obs', '|chuva|granizo', 'S,N,S', 25, 'M,A,A'"},
      {"one row, empty justification and kind",
       {.rows = {{" 5 ", " S ", Variant::null(), ""}}},
       "1001, 'S', '5', 'Obs', null, 'S', 25, null"},
      {"count as text, below the arrays",
       {.rows = {ticked, ticked, ticked}, .count = "2"},
       "1001, 'S', '5,5', 'Obs', '|', 'S,S', 25, 'M,M'"},
      {"no rows, empty scalars",
       {.order = 0, .store_observation = "", .observation = Variant::null(), .user = "abc"},
       "null, null, null, null, null, null, null, null"},
  };
  for (auto [name, call, sent] : cases) {
    SCOPED_TRACE(name);
    AcceptingDatabase db;
    EXPECT_EQ(call.run(db), kSuccess);
    EXPECT_EQ(db.commands(), std::vector<std::string>{command(sent)});
  }
}

TEST(IncidentRecording, ChosenRowsAreValidatedBeforeAnythingIsSent) {
  // One two-byte character: counting bytes would refuse texts right at the limits.
  auto text = [](std::size_t characters) { return "ç" + std::string(characters - 1, 'x'); };
  const std::string required = "Preencha Observação Indicador (Linha 3)";
  // Order type, id, kind, justification, message (empty: accepted) and observation.
  const std::tuple<Variant, Variant, Variant, Variant, std::string, Variant> cases[] = {
      // Incident 18 registered by hand on an order of type 2 must say why; the comma of "18,0"
      // is foreign to the locale, so the id is read only once normalised.
      {"2", "18,0", "M", "", required, "Obs"},
      {2, 18, "M ", "", "", "Obs"},
      {1, 18, "M", "", "", "Obs"},
      {2, 17, "M", "", "", "Obs"},
      {2, 18, "M", "Chuva", "", "Obs"},
      // Lengths are counted in characters.
      {2, 5, "M", text(255), "", text(300)},
      {2, 5, "M", text(256), required + " com, no máximo, 255 caracteres.", "Obs"},
      {2, 5, "M", text(255), "Preencha Observação com, no máximo, 300 caracteres.", text(301)},
  };
  testing::LocaleScope point("en_US");
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const auto& [order_type, id, kind, justification, message, observation] = cases[i];
    SCOPED_TRACE("case " + std::to_string(i));
    AcceptingDatabase db;
    // Two rows nobody chose come first: the label counts checklist rows.
    Recording call{.rows = {{1, "", "", "M"}, {2, "N", "", "M"}, {id, "S", justification, kind}},
                   .observation = observation,
                   .order_type = order_type};
    const bool accepted = message.empty();
    EXPECT_EQ(call.run(db), accepted ? kSuccess : kFailure);
    EXPECT_EQ(call.message, Variant(accepted ? "(message)" : message));
    // The message log writes through the same traced connection: nothing logged either.
    EXPECT_EQ(db.commands().size(), accepted ? 1u : 0u);
  }
}

TEST(IncidentRecording, EachFailurePathIsReportedAndLogged) {
  const std::string inclusion =
      "Problemas na inclusão do Incidente. Contacte o Administrador do Sistema.";
  const std::string in = " - M036MVL.mInclui_Incidente", sql = "SQL: EXECUTE";
  const std::string called = "SQL: " + command("1001, 'S', '5', 'Obs', 'motivo', 'S', 1, 'M'");
  // Procedure body, count, message, context (shown to user 1 only) and start of the logged text.
  const std::tuple<std::string, Variant, std::string, std::string, std::string> cases[] = {
      {"DELETE FROM INCIDENTE_OS WHERE 0", 1, inclusion, in + "( State = 0 :  No Nº 0)" + called,
       in + " State = 0 :  No Nº 0" + sql + " SP_036_INC_INCIDENTE3 1001, S, 5, Obs, motivo, S, "},
      {"SELECT 0 AS retorno WHERE 0", 1, inclusion, in + "( Fim de Arquivo :  No Nº 0)" + called,
       in + " Fim de Arquivo :  No Nº 0" + sql},
      {"SELECT 1 AS retorno, 'Recusado' AS Msg_Ret", 1, inclusion,
       in + "( Retorno > 0  :  No Nº 0)" + called, in + " Retorno  0  :  No Nº 0" + sql},
      {"SELECT * FROM NO_SUCH_TABLE", 1, inclusion,
       in + "( no such table: NO_SUCH_TABLE :  No Nº 1)" + called,
       in + " no such table: NO_SUCH_TABLE :  No Nº 1" + sql},
      // A count beyond the arrays fails in the operation itself, before the call.
      {"SELECT 0 AS retorno", 2,
       "Problemas na Gravação do Incidente. Contacte o Administrador do Sistema.",
       " - M036MVL.gGrava_Incidente( Subscript out of range :  No Nº 2)SQL: ",
       " - M036MVL.gGrava_Incidente Subscript out of range :  No Nº 2SQL: "},
  };
  for (const auto& [body, count, message, context, logged] : cases) {
    for (const int user : {1, 25}) {
      SCOPED_TRACE(body + ", user " + std::to_string(user));
      TestDatabase db;
      db.redefine(kProcedure, kParams, body);
      Recording call{.rows = {{5, "S", "motivo", "M"}}, .count = count, .user = user};
      EXPECT_EQ(call.run(db), kFailure);
      EXPECT_EQ(call.message.as_string(), user == 1 ? message + context : message);
      const auto log = db.query("SELECT TAB_TIPO_MSG_ID, USUARIO_INTERNET_ID, MSG01 FROM LOG_MSG");
      ASSERT_EQ(log.size(), 1u);
      EXPECT_EQ((std::vector<Variant>{log[0][0], log[0][1]}), (std::vector<Variant>{1, user}));
      EXPECT_EQ(log[0][2].as_string().rfind(message + logged, 0), 0u) << log[0][2].as_string();
    }
  }
}

TEST(IncidentRecording, StatementsInIdsOrKindsNeverRunAsCode) {
  const std::string statement = "1'); DROP TABLE LOG_MSG; --";
  // Name, row, order type, result and what travels quoted in the procedure call ("": no call).
  const std::tuple<const char*, Row, int, Variant, std::string> cases[] = {
      // Ids and kinds travel unchanged; the engine's parser refuses them or reads them as data.
      {"statement as id", {statement, "S", "", "M"}, 1, kFailure, statement},
      {"statement as kind", {5, "S", "", statement}, 1, kFailure, statement},
      {"doubled apostrophe as kind", {5, "S", "", "O''Brien"}, 1, kSuccess, "O''Brien"},
      // On an order of type 2 the id is read as a number first: a text that is no number stops
      // the operation before anything is sent.
      {"statement as id, type 2", {statement, "S", "", "M"}, 2, kFailure, ""},
  };
  for (const auto& [name, row, order_type, result, travelling] : cases) {
    SCOPED_TRACE(name);
    TestDatabase db(true);
    Recording call{.rows = {row}, .order_type = order_type};
    EXPECT_EQ(call.run(db), result) << call.message.as_string();
    const std::vector<std::string> sent = db.procedure_calls();
    ASSERT_EQ(sent.size(), travelling.empty() ? 0u : 1u);
    for (const std::string& text : sent)
      EXPECT_NE(text.find("'" + travelling + "'"), std::string::npos) << text;
    EXPECT_EQ(db.query("SELECT count(*) FROM sqlite_master WHERE name = 'LOG_MSG'"), Rows{{1}});
  }
}

TEST(IncidentRecording, RecordingThenListingShowsTheChoices) {
  TestDatabase db(true);
  auto list = [&] {
    Variant connection = db.connection(), kind("SQLSERVER"), user(25), order(1001), count, ids,
            descriptions, selected, justifications, stubs, message, kinds;
    EXPECT_EQ(QrnMvl().gMonta_Lista_Tab_Tipo_Incidente(connection, kind, user, count, ids,
                                                       descriptions, selected, order,
                                                       justifications, stubs, message, kinds),
              kSuccess);
    Rows rows;
    for (std::size_t i = 0; i < ids.size(); ++i)
      rows.push_back({ids.at(i), selected.at(i), justifications.at(i), kinds.at(i)});
    return rows;
  };
  const std::string observation =
      "SELECT OBSERVACAO FROM OBSERVACAO_INCIDENTE_OS WHERE ORDEM_SERVICO_TIPO_ID = 1001";
  // The types of order type 2 that are still offered.
  Rows expected;
  for (int id : {1, 2, 3, 4, 5, 18}) expected.push_back({id, "", "", "M"});
  EXPECT_EQ(list(), expected);

  // The texts are cleaned in the caller's variables, and what travels is the cleaned text.
  Recording call{.rows = {{3, "S", "Lacre trocado", "M"},
                          {18, "S", "Cliente d'Ávila pediu (nova) janela", "M"}},
                 .observation = "Entrega \"reagendada\" <hoje>"};
  ASSERT_EQ(call.run(db), kSuccess) << call.message.as_string();
  EXPECT_EQ(call.justifications.at(1), Variant("Cliente dÁvila pediu nova janela"));
  EXPECT_EQ(call.observation, Variant("Entrega reagendada hoje"));
  expected[2] = {3, "S", "Lacre trocado", "M"};
  expected[5] = {18, "S", "Cliente dÁvila pediu nova janela", "M"};
  EXPECT_EQ(list(), expected);
  EXPECT_EQ(db.query(observation), Rows{{"Entrega reagendada hoje"}});

  // Recording again replaces the choices; the observation stays unless asked.
  Recording again{
      .rows = {{2, "", "Amassado", "M"}}, .store_observation = "N", .observation = "Ignorada"};
  ASSERT_EQ(again.run(db), kSuccess) << again.message.as_string();
  EXPECT_EQ(list()[1], (std::vector<Variant>{2, "N", "Amassado", "M"}));
  EXPECT_EQ(db.query("SELECT count(*) FROM INCIDENTE_OS WHERE ORDEM_SERVICO_TIPO_ID = 1001"),
            Rows{{1}});
  EXPECT_EQ(db.query(observation), Rows{{"Entrega reagendada hoje"}});
}

}  // namespace
}  // namespace qrnmvl
