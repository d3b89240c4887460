#include <gtest/gtest.h>

#include "closing_request.hpp"
#include "support/test_values.hpp"

namespace qrnmvl::closing {
namespace {

using Rows = std::vector<std::vector<Variant>>;
using Steps = std::vector<std::string>;

// A trace line as one text: a command as sent, a prepared call as its name and values.
std::string sent(const nlohmann::json& line) {
  if (line.contains("command")) return line["command"].get<std::string>();
  std::string out = line["procedure"].get<std::string>() + "(";
  for (const auto& parameter : line["parameters"]) {
    if (out.back() != '(') out += ", ";
    out += parameter["value"].is_string() ? parameter["value"].get<std::string>()
                                          : parameter["value"].dump();
  }
  return out + ")";
}

// The first word after the procedure name of a command text: its first argument.
std::string first_argument(const std::string& text, const std::string& procedure) {
  std::string rest = text.substr(text.find(procedure) + procedure.size());
  rest = rest.substr(rest.find_first_not_of(" ('"));
  return rest.substr(0, rest.find_first_of(" ,')"));
}

// The stages a closing ran, in order, read from what it sent: the order-level save, per row
// the registration (container number), the line or the schedule observation (request or
// schedule id), the type change, the tracking of a request (its id, once per request), and the
// fractional tracking.
Steps stages(const TestDatabase& db) {
  Steps out;
  auto add = [&](std::string step) {
    if (out.empty() || out.back() != step) out.push_back(std::move(step));
  };
  for (const auto& line : db.trace()) {
    const std::string text = sent(line);
    const auto starts = [&](const char* name) {
      return text.rfind(name, 0) == 0 ||
             text.find(std::string(" ") + name + " ") != std::string::npos;
    };
    if (starts("SP_VLM_GRA_FECHA_OS_TIPO5"))
      add("order");
    else if (starts("SP_VLM_CON_CONTAINER_OS_FECHA"))
      add("register " + first_argument(text, "SP_VLM_CON_CONTAINER_OS_FECHA"));
    else if (starts("SP_VLM_GRA_SOL_CONT_OS_FECHA5"))
      add("line");
    else if (starts("SP_VLM_ALT_AGEN_CONT_OS_FEC"))
      add("observation");
    else if (starts("SP_036_ALT_CONTAINER_OSAC3"))
      add("type");
    else if (starts("SP_VLM_INC_TRACKING7"))
      add("track " + first_argument(text, "SP_VLM_INC_TRACKING7"));
    else if (starts("SP_VLM_CONS_TIPO_OS_FRAC2"))
      add("fractional");
  }
  return out;
}

// Everything a closing may write, as it stands.
Rows written(const TestDatabase& db) {
  Rows all;
  for (const char* table : {"ORDEM_SERVICO_TIPO", "SOLICIT_EMBARQUE_CONTAINER", "AGEND_CONTAINER",
                            "CONTAINER", "TRACKING", "LOG_GERADOR", "LOG_MSG"}) {
    const Rows rows = db.query(std::string("SELECT * FROM ") + table);
    all.insert(all.end(), rows.begin(), rows.end());
  }
  return all;
}

Variant ids(const std::vector<Variant>& values) { return Variant(Variant::Array(values)); }

// The lookups of the demo order, where any schedule belongs to any request and a container to
// any request: the rows are rearranged freely.
void script_free_rows(const TestDatabase& db) {
  script_lookups(db);
  db.redefine("SP_036_CONSISTE_SEC_AGEND_CONT", "AGEND, CHAVE, SOLICIT",
              "SELECT 0 AS retorno, '' AS Msg_Ret");
  db.redefine("SP_036_DUP_SOLICIT8", "ORIGEM, NUM, TIPO, SOLICIT, OS",
              "SELECT 0 AS retorno, '' AS Msg_Ret");
}

class ClosingWorkflow : public ::testing::Test {
 protected:
  ClosingWorkflow() { script_free_rows(db); }
  // A closing of the demo order 501 as an order of type 1 unless the changes say otherwise.
  ClosingRequest request(const Changes& changes = {}) {
    ClosingRequest request(db, {{"INvntTab_Tipo_Ordem_Servico_ID", 1}});
    for (const auto& [name, value] : changes) request[name] = value;
    return request;
  }
  TestDatabase db{true};
};

// Which rows are worked, by which stage, and where each container request's tracking runs.
TEST_F(ClosingWorkflow, RowsStagesAndTrackingPerRequest) {
  struct Case {
    const char* what;
    Changes changes;
    Steps stages;
  };
  const Variant empty("");
  const Case cases[] = {
      {"no rows: the order-level save alone",
       {{"invntvntQtde_Sol_Cont", 0}, {"invntTab_Tipo_Servico_ID", 2}},
       {"order"}},
      {"a row without data is skipped, even as the last of its request",
       {{"inarrvntNum_Container[2]", ""}, {"inarrvntNum_Lacre_Cia_Maritima[2]", ""}},
       {"order", "register TGHU8731457", "line", "type", "track 7001", "register MSCU5529040",
        "line", "type", "track 7002"}},
      {"requests A, A, B: tracked after the second row and the third",
       {{"inarrvntSolicit_Embarque_Container_ID", ids({7001, 7001, 7002})}},
       {"order", "register TGHU8731457", "line", "type", "register MSCU5529040", "line", "type",
        "track 7001", "register HLXU2309177", "line", "type", "track 7002"}},
      {"a new request's empty ids: the saved id differs from the next row's, tracked each time",
       {{"invntvntQtde_Sol_Cont", 2},
        {"inarrvntSolicit_Embarque_Container_ID", ids({empty, empty, 7003})}},
       {"order", "register TGHU8731457", "line", "type", "track 7012", "register MSCU5529040",
        "line", "type", "track 7013"}},
      {"fewer rows than the arrays: the last row worked has the next row's request",
       {{"invntvntQtde_Sol_Cont", 2},
        {"inarrvntSolicit_Embarque_Container_ID", ids({7001, 7002, 7002})}},
       {"order", "register TGHU8731457", "line", "type", "track 7001", "register MSCU5529040",
        "line", "type"}},
      {"type 7: the schedule observation, never the container line",
       {{"INvntTab_Tipo_Ordem_Servico_ID", 7}},
       {"order", "register TGHU8731457", "observation", "type", "register MSCU5529040",
        "observation", "type", "register HLXU2309177", "observation", "type"}},
      {"a text \"2\" is the type 2",
       {{"INvntTab_Tipo_Ordem_Servico_ID", "2"}, {"invntvntQtde_Sol_Cont", 1}},
       {"order", "register TGHU8731457", "observation", "type", "track 7001"}},
      {"type 9: the container lines, then the fractional tracking",
       {{"INvntTab_Tipo_Ordem_Servico_ID", 9}},
       {"order", "register TGHU8731457", "line", "type", "register MSCU5529040", "line", "type",
        "register HLXU2309177", "line", "type", "fractional"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ClosingRequest closing = request(c.changes);
    db.clear_trace();
    EXPECT_EQ(closing.close(), Variant(std::int16_t{0}));
    EXPECT_EQ(closing["outvntMsg_Ret"], Variant(""));
    EXPECT_EQ(stages(db), c.stages);
  }
}

// A stage that refuses row 3 stops the closing there: the order record and rows 1 and 2 with
// their tracking stay written, row 3 is not, and the message says which row.
TEST_F(ClosingWorkflow, ARefusalAtRowThreeKeepsWhatWasWrittenBefore) {
  const std::string unavailable =
      "Acesso ao Fechamento da OS não disponível. Favor tentar mais tarde.";
  struct Case {
    int user;
    const char* refusal;  // how the registration of row 3 fails
    std::string starts, ends;
  };
  const Case cases[] = {
      // A new container the register refuses: the refusal carries no message of its own.
      {25, "refused", " (Linha 3).", " (Linha 3)."},
      {1, "refused", " (Linha 3).(mVerifica_Container_Id)", " (Linha 3).(mVerifica_Container_Id)"},
      // The register's lookup fails: its own message, then the row.
      {25, "failed", unavailable + " (Linha 3).", " (Linha 3)."},
      {1, "failed", unavailable + " - QrnMvl.mConsulta_Campos_CONTAINER_ID (",
       " (Linha 3).(mVerifica_Container_Id)"},
      // A Null weight beside an empty tare passes the validation (it reads amounts only
      // with a tare) and fails the line at run time instead of travelling as NULL.
      {25, "a Null weight", unavailable + " (Linha 3).", " (Linha 3)."},
      {1, "a Null weight",
       unavailable + " - QrnMvl.mGrava_Campos_SOLICIT_EMBARQUE_CONTAINER (Invalid use of Null",
       " (Linha 3).(mGrava_Campos_SOLICIT_EMBARQUE_CONTAINER)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.refusal) + " for user " + std::to_string(c.user));
    TestDatabase fresh(true);
    script_lookups(fresh);
    const bool refused = std::string(c.refusal) == "refused";
    const bool null_weight = std::string(c.refusal) == "a Null weight";
    if (!null_weight) {
      fresh.redefine("SP_VLM_CON_CONTAINER_OS_FECHA", "Num_Container",
                     refused ? "SELECT CONTAINER_ID AS container_id FROM CONTAINER WHERE "
                               "NUM_CONTAINER = :Num_Container AND :Num_Container <> "
                               "'HLXU2309177'"
                             : "SELECT CONTAINER_ID AS container_id FROM CONTAINER WHERE "
                               "NUM_CONTAINER = CASE WHEN :Num_Container = 'HLXU2309177' THEN "
                               "json('not json') ELSE :Num_Container END");
      fresh.redefine("SP_VLM_INC_CONTAINER_OS_FECHA2", "Num, Tipo, Usuario",
                     "SELECT 1 AS retorno, 'Recusado.' AS Msg_Ret");
    }
    ClosingRequest closing(
        fresh, {{"INvntTab_Tipo_Ordem_Servico_ID", 1}, {"invntUsuario_internet_id", c.user}});
    if (null_weight) closing["arrPeso[2]"] = Variant::null();
    EXPECT_EQ(closing.close(), Variant(std::int16_t{10}));
    const std::string message = to_text(closing["outvntMsg_Ret"]);
    EXPECT_EQ(message.rfind(c.starts, 0), 0u) << message;
    EXPECT_EQ(message.substr(message.size() - std::min(message.size(), c.ends.size())), c.ends);

    EXPECT_EQ(fresh.query("SELECT DATA_INI_EXECUCAO, TAB_STATUS_OS_TIPO_ID FROM "
                          "ORDEM_SERVICO_TIPO WHERE ORDEM_SERVICO_TIPO_ID = 1001"),
              (Rows{{"2025/10/15 08:00:00", 2}}));
    EXPECT_EQ(fresh.query("SELECT SOLICIT_EMBARQUE_CONTAINER_ID, NUM_LACRE_CIA_MARITIMA FROM "
                          "SOLICIT_EMBARQUE_CONTAINER WHERE ORDEM_SERVICO_ID = 501 ORDER BY 1"),
              (Rows{{7001, "ML4471203"}, {7002, "ML4471204"}, {7003, Variant::null()}}));
    EXPECT_EQ(fresh.query("SELECT SOLICIT_EMBARQUE_CONTAINER_ID, count(*) FROM TRACKING WHERE "
                          "ORDEM_SERVICO_ID = 501 GROUP BY 1"),
              (Rows{{7001, 4}, {7002, 4}}));
    EXPECT_EQ(fresh.query("SELECT count(*) FROM LOG_MSG"), (Rows{{refused ? 0 : 1}}));
  }
}

// A closing the validation refuses writes nothing, and says so for user 1.
TEST_F(ClosingWorkflow, AValidationRefusalWritesNothing) {
  for (const int user : {25, 1}) {
    ClosingRequest closing =
        request({{"invntHora_Ini_Execucao", "25:00"}, {"invntUsuario_internet_id", user}});
    const Rows before = written(db);
    db.clear_trace();
    EXPECT_EQ(closing.close(), Variant(std::int16_t{10}));
    EXPECT_EQ(closing["outvntMsg_Ret"],
              Variant(std::string("Preencha Hora Início Execução com uma hora válida, com 5 "
                                  "dígitos, no formato hh:mm (Exemplo: 08:30)") +
                      (user == 1 ? "(mConsiste_Campos)" : "")));
    EXPECT_EQ(written(db), before);
    EXPECT_EQ(stages(db), Steps{});
  }
}

// Everything a closing of type 1 with two rows of one request sends, in order, whichever
// decimal separator the regional settings use.
TEST_F(ClosingWorkflow, TheWholeCommandStreamUnderBothLocales) {
  const Steps expected = {
      // The validation's lookups: the order's dates, then per row its schedule and duplicates.
      "EXEC SP_VLM_CON_DT_OS02   501",
      "EXECUTE SP_036_CONSISTE_SEC_AGEND_CONT 6001,null, 7001",
      "EXECUTE SP_036_DUP_SOLICIT8 NULL ,'TGHU8731457','1',7001,501",
      "EXECUTE SP_036_CONSISTE_SEC_AGEND_CONT 6001,null, 7001",
      "EXECUTE SP_036_DUP_SOLICIT8 NULL ,'MSCU5529040','3',7001,501",
      // The order-level save, closed (2).
      "EXEC SP_VLM_GRA_FECHA_OS_TIPO5 1001, '2025/10/15 08:00', '2025/10/15 17:30', "
      "'2025/10/15 07:40', '2025/10/15 18:00', 2, 'ABC1D23', 25, 1, '004512' ",
      // Row 1: registration (found, its type set), the line, the type on the order.
      "EXEC SP_VLM_CON_CONTAINER_OS_FECHA   'TGHU8731457'",
      "EXEC SP_VLM_ALT_TP_CONT2   9001, 1, 25",
      "SP_VLM_GRA_SOL_CONT_OS_FECHA5(501, 6001, Armazém 3, doca 5., 7001, 9001, ML4471203, "
      "RFB0098812, null, 2200.5, 18450.0, 98450.0, 25)",
      "SP_036_ALT_CONTAINER_OSAC3(501, null, 1, 25)",
      // Row 2, the same request.
      "EXEC SP_VLM_CON_CONTAINER_OS_FECHA   'MSCU5529040'",
      "EXEC SP_VLM_ALT_TP_CONT2   9002, 3, 25",
      "SP_VLM_GRA_SOL_CONT_OS_FECHA5(501, 6001, Armazém 3, doca 5., 7001, 9002, ML4471204, null, "
      "null, 3900.0, 24100.0, null, 25)",
      "SP_036_ALT_CONTAINER_OSAC3(501, null, 3, 25)",
      // The request's tracking, once, after its last row.
      "EXEC SP_VLM_CON_PARAMETRO_SISTEMA 1324",
      "EXECUTE SP_VLM_INC_TRACKING7 7001, null, '2025/10/15 07:40', '07:40', 501, 25, 1, null , "
      "null",
      "EXEC SP_VLM_CON_PARAMETRO_SISTEMA 1325",
      "EXECUTE SP_VLM_INC_TRACKING7 7001, null, '2025/10/15 08:00', '08:00', 501, 25, 2, null , "
      "null",
      "EXEC SP_VLM_CON_PARAMETRO_SISTEMA 1326",
      "EXECUTE SP_VLM_INC_TRACKING7 7001, null, '2025/10/15 17:30', '17:30', 501, 25, 3, null , "
      "null",
      "EXEC SP_VLM_CONS_TIPO_TERMINAL_OS 501",
      "EXEC SP_VLM_CON_PARAMETRO_SISTEMA 1328",
      "EXECUTE SP_VLM_INC_TRACKING7 7001, null, '2025/10/15 18:00', '18:00', 501, 25, 5, null , "
      "null",
  };
  for (const char* locale : {"pt_BR", "en_US"}) {
    SCOPED_TRACE(locale);
    testing::LocaleScope scope(locale);
    TestDatabase fresh(true);
    script_free_rows(fresh);
    ClosingRequest closing(fresh,
                           {{"INvntTab_Tipo_Ordem_Servico_ID", 1},
                            {"invntvntQtde_Sol_Cont", 2},
                            {"inarrvntSolicit_Embarque_Container_ID", ids({7001, 7001, 7003})},
                            {"inarrvntAgend_Container_ID", ids({6001, 6001, 6003})}});
    fresh.clear_trace();
    EXPECT_EQ(closing.close(), Variant(std::int16_t{0})) << to_text(closing["outvntMsg_Ret"]);
    Steps stream;
    for (const auto& line : fresh.trace()) stream.push_back(sent(line));
    EXPECT_EQ(stream, expected);
  }
}

}  // namespace
}  // namespace qrnmvl::closing
