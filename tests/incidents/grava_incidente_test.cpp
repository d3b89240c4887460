#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "common/json_value.hpp"
#include "data/data.hpp"
#include "incidents/incidents.hpp"
#include "support/test_database.hpp"

namespace qrnmvl {

// Readable values in failure messages.
[[maybe_unused]] static void PrintTo(const Variant& value, std::ostream* out) {
  *out << to_json(value).dump();
}

namespace {

using testing::LocaleScope;
using testing::TestDatabase;

const char* const kProcedure = "SP_036_INC_INCIDENTE3";
const char* const kParams =
    "ORDEM_SERVICO_TIPO_ID, FLAG_GRAVA_OBSERVACAO, LISTA_INCIDENTE_ID, OBSERVACAO, "
    "LISTA_JUSTIFICATIVA, LISTA_FLAG_SELECIONADO, USUARIO_INTERNET_ID, LISTA_FLAG_TIPO_CADASTRO";
const Variant kSuccess(std::int16_t{0});
const Variant kFailure(std::int16_t{10});

// One checklist row as the front end sends it back.
struct Row {
  Variant id, flag, justification, kind;
};

struct Recording {
  Recording(const TestDatabase& db, const std::vector<Row>& rows)
      : connection(db.connection()),
        ids(Variant::array(rows.size())),
        selected(Variant::array(rows.size())),
        count(static_cast<std::int32_t>(rows.size())),
        justifications(Variant::array(rows.size())),
        kinds(Variant::array(rows.size())) {
    for (std::size_t i = 0; i < rows.size(); ++i) {
      ids.at(i) = rows[i].id;
      selected.at(i) = rows[i].flag;
      justifications.at(i) = rows[i].justification;
      kinds.at(i) = rows[i].kind;
    }
  }

  Variant run() {
    return incidents::gGrava_Incidente(connection, kind, user, order, ids, selected,
                                       store_observation, count, observation, justifications,
                                       message, order_type, kinds);
  }

  Variant connection, kind{"SQLSERVER"}, user{25}, order{1001}, ids, selected,
      store_observation{"S"}, count, observation{"Obs"}, justifications, message{"(message)"},
      order_type{2}, kinds;
};

std::string command(const std::string& arguments) {
  return std::string("EXECUTE ") + kProcedure + " " + arguments + " ";
}

// The procedure calls sent, without the message log's own statements.
std::vector<std::string> calls(const TestDatabase& db) {
  std::vector<std::string> sent;
  for (const std::string& text : db.commands())
    if (text.rfind("EXECUTE ", 0) == 0) sent.push_back(text);
  return sent;
}

// A database whose recording procedure accepts anything.
void accept_everything(const TestDatabase& db) {
  db.redefine(kProcedure, kParams, "SELECT 0 AS retorno");
}

TEST(IncidentRecording, PacksTheChosenRowsIntoFourLists) {
  const Row ticked{Variant(5), "S", "", "M"};
  const struct {
    const char* name;
    std::vector<Row> rows;
    Variant count;  // Empty: the number of rows
    std::string sent;
  } cases[] = {
      {"ticked, justified, neither, flag N with text",
       {ticked,
        {Variant(7), "", "chuva", "A"},
        {Variant(9), "N", "", ""},
        {Variant(11), "N", "granizo", " A "}},
       {},
       "1001, 'S', '5,7,11', 'Obs', '|chuva|granizo', 'S,N,S', 25, 'M,A,A'"},
      {"no rows", {}, {}, "1001, 'S', null, 'Obs', null, null, 25, null"},
      {"one row, empty justification and kind",
       {{Variant(" 5 "), " S ", Variant::null(), ""}},
       {},
       "1001, 'S', '5', 'Obs', null, 'S', 25, null"},
      {"count below the arrays",
       {ticked, ticked, ticked},
       Variant(2),
       "1001, 'S', '5,5', 'Obs', '|', 'S,S', 25, 'M,M'"},
      {"count as text",
       {ticked, ticked, ticked},
       Variant("2"),
       "1001, 'S', '5,5', 'Obs', '|', 'S,S', 25, 'M,M'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TestDatabase db;
    accept_everything(db);
    Recording call(db, c.rows);
    if (!c.count.is_empty()) call.count = c.count;
    EXPECT_EQ(call.run(), kSuccess);
    EXPECT_EQ(call.message, Variant("(message)"));
    EXPECT_EQ(db.commands(), std::vector<std::string>{command(c.sent)});
  }
}

TEST(IncidentRecording, EmptyScalarsTravelAsNull) {
  TestDatabase db;
  accept_everything(db);
  Recording call(db, {});
  call.order = Variant(0);
  call.store_observation = Variant("");
  call.observation = Variant::null();
  call.user = Variant("abc");
  EXPECT_EQ(call.run(), kSuccess);
  EXPECT_EQ(db.commands(),
            std::vector<std::string>{command("null, null, null, null, null, null, null, null")});
}

TEST(IncidentRecording, IncidentEighteenOfOrderTypeTwoByHandMustBeJustified) {
  const struct {
    Variant order_type, id, kind, justification;
    bool accepted;
  } cases[] = {
      {Variant(2), Variant(18), "M", "", false},     {Variant("2"), Variant("18"), "M", "", false},
      {Variant(2), Variant("18,0"), "M", "", false}, {Variant(2), Variant(18), "A", "", true},
      {Variant(2), Variant(18), "M ", "", true},     {Variant(1), Variant(18), "M", "", true},
      {Variant(2), Variant(17), "M", "", true},      {Variant(2), Variant(18), "M", "Chuva", true},
  };
  for (const char* locale : {"pt_BR", "en_US"}) {
    LocaleScope scope(locale);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
      const auto& c = cases[i];
      SCOPED_TRACE(std::string(locale) + " case " + std::to_string(i));
      TestDatabase db;
      accept_everything(db);
      // Two rows nobody chose come first: the label counts checklist rows.
      Recording call(db, {{Variant(1), "", "", "M"},
                          {Variant(2), "N", "", "M"},
                          {c.id, "S", c.justification, c.kind}});
      call.order_type = c.order_type;
      EXPECT_EQ(call.run(), c.accepted ? kSuccess : kFailure);
      if (c.accepted) {
        EXPECT_EQ(db.commands().size(), 1u);
      } else {
        EXPECT_EQ(call.message, Variant("Preencha Observação Indicador (Linha 3)"));
        EXPECT_TRUE(db.commands().empty());
        EXPECT_TRUE(db.query("SELECT * FROM LOG_MSG").empty());
      }
    }
  }
}

TEST(IncidentRecording, LengthsAreCountedInCharacters) {
  auto text = [](std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s += "ç";
    return s;
  };
  const struct {
    std::size_t justification, observation;
    const char* message;  // empty: accepted
  } cases[] = {
      {255, 300, ""},
      {256, 300, "Preencha Observação Indicador (Linha 1) com, no máximo, 255 caracteres."},
      {255, 301, "Preencha Observação com, no máximo, 300 caracteres."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.justification) + "/" + std::to_string(c.observation));
    TestDatabase db;
    accept_everything(db);
    Recording call(db, {{Variant(5), "S", text(c.justification), "M"}});
    call.observation = Variant(text(c.observation));
    const bool accepted = std::string(c.message).empty();
    EXPECT_EQ(call.run(), accepted ? kSuccess : kFailure);
    EXPECT_EQ(call.message, Variant(accepted ? "(message)" : c.message));
    EXPECT_EQ(db.commands().size(), accepted ? 1u : 0u);
  }
}

TEST(IncidentRecording, TextsAreCleanedInTheCallersVariables) {
  TestDatabase db;
  accept_everything(db);
  Recording call(db, {{Variant(5), "S", "d'Ávila (doca 4); +1", "M"}, {Variant(7), "", "", ""}});
  call.observation = Variant("50% \"ok\" <sim> & fim");
  EXPECT_EQ(call.run(), kSuccess);
  EXPECT_EQ(call.justifications.at(0), Variant("dÁvila doca 4 1"));
  EXPECT_EQ(call.observation, Variant("50 ok sim  fim"));
  EXPECT_EQ(db.commands(),
            std::vector<std::string>{
                command("1001, 'S', '5', '50 ok sim  fim', 'dÁvila doca 4 1', 'S', 25, 'M'")});
}

TEST(IncidentRecording, EachFailurePathIsReportedAndLogged) {
  auto sql = [](int user) {
    return "SQL: " +
           command("1001, 'S', '5', 'Obs', 'motivo', 'S', " + std::to_string(user) + ", 'M'");
  };
  const std::string inclusion =
      "Problemas na inclusão do Incidente. Contacte o Administrador do Sistema.";
  const std::string recording =
      "Problemas na Gravação do Incidente. Contacte o Administrador do Sistema.";
  const struct {
    const char* name;
    std::string body;
    Variant count;
    std::string message, context;
    bool with_command;  // the context ends with the command text
    std::string logged;
  } cases[] = {
      {"no row set", "DELETE FROM INCIDENTE_OS WHERE 0", Variant(1), inclusion,
       " - M036MVL.mInclui_Incidente( State = 0 :  No Nº 0)", true,
       " - M036MVL.mInclui_Incidente State = 0 :  No Nº 0SQL: EXECUTE SP_036_INC_INCIDENTE3 1001, "
       "S, 5, Obs, motivo, S, "},
      {"no row", "SELECT 0 AS retorno WHERE 0", Variant(1), inclusion,
       " - M036MVL.mInclui_Incidente( Fim de Arquivo :  No Nº 0)", true,
       " - M036MVL.mInclui_Incidente Fim de Arquivo :  No Nº 0SQL: EXECUTE"},
      {"refused", "SELECT 1 AS retorno, 'Recusado' AS Msg_Ret", Variant(1), inclusion,
       " - M036MVL.mInclui_Incidente( Retorno > 0  :  No Nº 0)", true,
       " - M036MVL.mInclui_Incidente Retorno  0  :  No Nº 0SQL: EXECUTE"},
      {"failing procedure", "SELECT * FROM NO_SUCH_TABLE", Variant(1), inclusion,
       " - M036MVL.mInclui_Incidente( no such table: NO_SUCH_TABLE :  No Nº 1)", true,
       " - M036MVL.mInclui_Incidente no such table: NO_SUCH_TABLE :  No Nº 1SQL: EXECUTE"},
      {"no retorno column", "SELECT 0 AS resultado", Variant(1), inclusion,
       " - M036MVL.mInclui_Incidente( Item cannot be found in the collection corresponding to the "
       "requested name or ordinal. :  No Nº 4)",
       true, " - M036MVL.mInclui_Incidente Item cannot be found"},
      {"count beyond the arrays", "SELECT 0 AS retorno", Variant(2), recording,
       " - M036MVL.gGrava_Incidente( Subscript out of range :  No Nº 2)SQL: ", false,
       " - M036MVL.gGrava_Incidente Subscript out of range :  No Nº 2SQL: "},
  };
  for (const auto& c : cases) {
    for (const int user : {1, 25}) {
      SCOPED_TRACE(std::string(c.name) + ", user " + std::to_string(user));
      TestDatabase db;
      db.redefine(kProcedure, kParams, c.body);
      Recording call(db, {{Variant(5), "S", "motivo", "M"}});
      call.user = Variant(user);
      call.count = c.count;
      EXPECT_EQ(call.run(), kFailure);
      const std::string context = c.context + (c.with_command ? sql(user) : "");
      EXPECT_EQ(call.message.as_string(), user == 1 ? c.message + context : c.message);
      const auto log = db.query("SELECT TAB_TIPO_MSG_ID, USUARIO_INTERNET_ID, MSG01 FROM LOG_MSG");
      ASSERT_EQ(log.size(), 1u);
      EXPECT_EQ(log[0][0], Variant(1));
      EXPECT_EQ(log[0][1], Variant(user));
      EXPECT_EQ(log[0][2].as_string().rfind(c.message + c.logged, 0), 0u) << log[0][2].as_string();
    }
  }
}

std::vector<std::vector<Variant>> tables(const TestDatabase& db) {
  return db.query("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name");
}

TEST(IncidentRecording, StatementsInIdsOrKindsNeverRunAsCode) {
  const std::string statement = "1'); DROP TABLE LOG_MSG; --";
  const struct {
    const char* name;
    Row row;
    int order_type;
    Variant result;
    bool sent;
  } cases[] = {
      // Ids and kinds travel unchanged; the engine's parser refuses them or reads them as data.
      {"statement as id", {Variant(statement), "S", "", "M"}, 1, kFailure, true},
      {"apostrophe as id", {Variant("5'"), "S", "", "M"}, 1, kFailure, true},
      {"statement as kind", {Variant(5), "S", "", Variant(statement)}, 1, kFailure, true},
      {"semicolon as kind", {Variant(5), "S", "", "M; DELETE FROM LOG_MSG"}, 1, kSuccess, true},
      {"doubled apostrophe as kind", {Variant(5), "S", "", "O''Brien"}, 1, kSuccess, true},
      // On an order of type 2 the id is read as a number first: a text that is no number stops
      // the operation before anything is sent.
      {"statement as id, type 2", {Variant(statement), "S", "", "M"}, 2, kFailure, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TestDatabase db(true);
    db.exec("INSERT INTO LOG_MSG (MSG01) VALUES ('before')");
    const auto before = tables(db);
    Recording call(db, {c.row});
    call.order_type = Variant(c.order_type);
    EXPECT_EQ(call.run(), c.result) << call.message.as_string();
    const auto sent = calls(db);
    ASSERT_EQ(sent.size(), c.sent ? 1u : 0u);
    if (c.sent) {
      const Variant& travelling = c.row.id.is_string() ? c.row.id : c.row.kind;
      EXPECT_NE(sent[0].find("'" + travelling.as_string()), std::string::npos) << sent[0];
    }
    EXPECT_EQ(tables(db), before);
    EXPECT_EQ(db.query("SELECT MSG01 FROM LOG_MSG WHERE LOG_MSG_ID = 1")[0][0], Variant("before"));
    EXPECT_EQ(db.query("SELECT count(*) FROM TAB_TIPO_INCIDENTE")[0][0], Variant(9));
  }
}

TEST(IncidentRecording, RecordingThenListingShowsTheChoices) {
  TestDatabase db(true);
  auto list = [&](Variant order) {
    Variant connection = db.connection(), kind("SQLSERVER"), user(25), count, ids, descriptions,
            selected, justifications, stubs, message, kinds;
    EXPECT_EQ(incidents::gMonta_Lista_Tab_Tipo_Incidente(connection, kind, user, count, ids,
                                                         descriptions, selected, order,
                                                         justifications, stubs, message, kinds),
              kSuccess);
    std::vector<std::vector<Variant>> rows;
    for (std::size_t i = 0; i < ids.size(); ++i)
      rows.push_back({ids.at(i), selected.at(i), justifications.at(i), kinds.at(i)});
    return rows;
  };
  auto row = [](int id, const char* flag, const char* justification, const char* kind) {
    return std::vector<Variant>{Variant(id), flag, justification, kind};
  };

  // The types of order type 2 that are still offered.
  EXPECT_EQ(list(Variant(1001)),
            (std::vector<std::vector<Variant>>{row(1, "", "", "M"), row(2, "", "", "M"),
                                               row(3, "", "", "M"), row(4, "", "", "M"),
                                               row(5, "", "", "M"), row(18, "", "", "M")}));

  Recording call(db, {{Variant(3), "S", "Lacre trocado", "M"},
                      {Variant(4), "", "", "M"},
                      {Variant(18), "S", "Cliente pediu (nova) janela", "M"}});
  call.observation = Variant("Entrega reagendada");
  ASSERT_EQ(call.run(), kSuccess) << call.message.as_string();

  const auto listed = list(Variant(1001));
  ASSERT_EQ(listed.size(), 6u);
  EXPECT_EQ(listed[2], row(3, "S", "Lacre trocado", "M"));
  EXPECT_EQ(listed[3], row(4, "", "", "M"));
  EXPECT_EQ(listed[5], row(18, "S", "Cliente pediu nova janela", "M"));
  EXPECT_EQ(db.query("SELECT OBSERVACAO FROM OBSERVACAO_INCIDENTE_OS WHERE "
                     "ORDEM_SERVICO_TIPO_ID = 1001"),
            (std::vector<std::vector<Variant>>{{Variant("Entrega reagendada")}}));

  // Recording again replaces the choices; the observation stays unless asked.
  Recording again(db, {{Variant(2), "", "Amassado", "M"}});
  again.store_observation = Variant("N");
  again.observation = Variant("Ignorada");
  ASSERT_EQ(again.run(), kSuccess) << again.message.as_string();
  EXPECT_EQ(list(Variant(1001))[1], row(2, "N", "Amassado", "M"));
  EXPECT_EQ(db.query("SELECT count(*) FROM INCIDENTE_OS WHERE ORDEM_SERVICO_TIPO_ID = 1001")[0][0],
            Variant(1));
  EXPECT_EQ(db.query("SELECT OBSERVACAO FROM OBSERVACAO_INCIDENTE_OS WHERE "
                     "ORDEM_SERVICO_TIPO_ID = 1001")[0][0],
            Variant("Entrega reagendada"));
}

TEST(IncidentRecording, TheProcedureRefusesWhatItCannotRecord) {
  const struct {
    const char* arguments;
    Variant retorno, reason;
    int recorded;
  } cases[] = {
      {"1001, 'S', '5,18', 'Obs', 'a|b', 'S,N', 25, 'M,M'", Variant(0), Variant::null(), 2},
      {"1001, 'S', '5', 'Obs', null, 'S', 25, null", Variant(0), Variant::null(), 1},
      {"null, 'S', '5', 'Obs', 'a', 'S', 25, 'M'", Variant(1),
       "Ordem de serviço tipo não informada.", 0},
      {"1001, 'S', '5,18', 'Obs', 'a', 'S,N', 25, 'M,M'", Variant(1),
       "As listas de incidentes, justificativas, seleções e tipos de cadastro não têm o mesmo "
       "número de elementos.",
       0},
      {"1001, 'S', '5,18', 'Obs', null, 'S', 25, null", Variant(1),
       "As listas de incidentes, justificativas, seleções e tipos de cadastro não têm o mesmo "
       "número de elementos.",
       0},
      {"1001, 'S', '5,99', 'Obs', null, 'S,S', 25, null", Variant(1),
       "Tipo de incidente não cadastrado: 99.", 0},
      {"1001, 'S', '5,x', 'Obs', null, 'S,S', 25, null", Variant(1),
       "Tipo de incidente não cadastrado: x.", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    TestDatabase db(true);
    data::RowSet rs = data::open_rowset(command(c.arguments), db.connection());
    ASSERT_FALSE(rs.eof());
    EXPECT_EQ(rs.field("retorno"), c.retorno);
    EXPECT_EQ(rs.field("Msg_Ret"), c.reason);
    EXPECT_EQ(
        db.query("SELECT count(*) FROM INCIDENTE_OS WHERE ORDEM_SERVICO_TIPO_ID = 1001")[0][0],
        Variant(c.recorded));
    EXPECT_TRUE(db.query("SELECT * FROM INCIDENTE_OS_CARGA").empty());
  }
}

}  // namespace
}  // namespace qrnmvl
