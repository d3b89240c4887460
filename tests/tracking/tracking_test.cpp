#include "tracking/tracking.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <latch>
#include <set>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include "closing/closing_state.hpp"
#include "common/values.hpp"
#include "support/test_database.hpp"
#include "support/test_values.hpp"

namespace qrnmvl {
namespace {

using testing::TestDatabase;
using Rows = std::vector<std::vector<Variant>>;

// What the scripted lookups answer.
struct Script {
  std::string inland = "N";  // INDIC_TERMINAL_INTERIOR
  int centre = 0;            // contador
  std::string direct = "N";  // flag_entrega_direta
  std::string ctacs = "";    // DOCTO_TRANSPORTE_ID rows, "(501), (502)"
  int refused = 0;           // the parameter value whose event the insert refuses
};

// One fixture for every case: each procedure the tracking calls, scripted.
struct TrackingDatabase : TestDatabase {
  explicit TrackingDatabase(const Script& s = {}) {
    script("SP_VLM_CON_PARAMETRO_SISTEMA", "SELECT :a AS PARAMETRO");
    script("SP_VLM_CONS_TIPO_TERMINAL_OS",
           "SELECT 0 AS retorno, '' AS Msg_Ret, '" + s.inland + "' AS INDIC_TERMINAL_INTERIOR");
    script("SP_VLM_SELECT_TIPO_OS6", "SELECT 0 AS retorno, " + std::to_string(s.centre) +
                                         " AS contador, '" + s.direct + "' AS flag_entrega_direta");
    const std::string ctacs = "SELECT column1 AS DOCTO_TRANSPORTE_ID FROM (VALUES " +
                              (s.ctacs.empty() ? "(1)) WHERE 0" : s.ctacs + ")");
    script("SP_VLM_CON_CTACS_CONT_FECHA_OS", ctacs);
    script("SP_VLM_CON_CTACS_CONT_FECHA_OS_TB", ctacs);
    // The tracking id tells the event (its parameter value) and its CTAC apart.
    script("SP_VLM_INC_TRACKING7", "SELECT :g = " + std::to_string(s.refused) +
                                       " AS retorno, :g * 1000 + coalesce(:i, 0) AS tracking_id");
    script("SP_VLM_CONS_TIPO_OS_FRAC2",
           "SELECT column1 AS AGENDAMENTO_FRAC_ID, column2 AS indic_coleta_entrega, column3 AS "
           "NOTA_FISCAL_ID FROM (VALUES (901, 'C', 5001), (902, 'c', 5002), (903, NULL, 5003))");
    script("SP_VLM_CONS_TERMINAL_VAS_OS", "SELECT 80 AS FORNECEDOR_ID");
    for (const char* procedure : {"SP_QRN_EXC_TRACKING_FRAC2", "SP_VLM_INC_TRACKING_FRAC2",
                                  "SP_VLM_INC_TRACKING_FRAC_NOTA"})
      script(procedure, "SELECT 0 AS retorno");
  }
  void script(const std::string& procedure, const std::string& body) const {
    redefine(procedure, "a, b, c, d, e, f, g, h, i", body);
  }
  std::size_t logged() const { return query("SELECT MSG01 FROM LOG_MSG").size(); }
};

// One container request's plan, with the closing's values.
struct Plan {
  Variant type{1}, service{1}, kind{"ORACLE"}, request{77}, order{1001}, user{25}, connection{},
      message{"(message)"}, company{3}, show_terminal{"S"}, product{"QRN"},
      withdrawal{"2010/09/16 07:00"}, withdrawal_hour{"07:00"}, start{"2010/09/16 08:00"},
      start_hour{"08:00"}, end{"2010/09/16 17:00"}, end_hour{"17:00"}, delivery{"2010/09/17 09:00"},
      delivery_hour{"09:00"};

  bool run(const TestDatabase& db) {
    connection = db.connection();
    return tracking::mGera_Tracking_FCL(type, service, kind, request, order, user, connection,
                                        message, company, show_terminal, product, withdrawal,
                                        withdrawal_hour, start, start_hour, end, end_hour, delivery,
                                        delivery_hour, 0, 7, 60, 70);
  }
};

// An event: parameter code (the scripted value), which date and hour ('W'ithdrawal,
// 'S'tart, 'E'nd, 'D'elivery), terminal, CTAC and label.
struct Event {
  int code;
  char when;
  int terminal, ctac;
  const char* label;
};
using Step = std::variant<std::string, Event>;  // a lookup's command, or an event

const std::string kTerminal = "EXEC SP_VLM_CONS_TIPO_TERMINAL_OS 1001";
const std::string kKind = "EXEC SP_VLM_SELECT_TIPO_OS6 1001";
const std::string kCtacs = "EXEC SP_VLM_CON_CTACS_CONT_FECHA_OS 77  ";
const std::string kInserted =
    "Problemas na inclusão de trackings no sistema. Contacte o Administrador do Sistema. ";
std::string null_or(int id) { return id == 0 ? "null" : std::to_string(id); }

// The parameter lookup and the insert of an event.
std::vector<std::string> commands_of(const Event& e) {
  const std::string date = e.when == 'W'   ? "2010/09/16 07:00"
                           : e.when == 'S' ? "2010/09/16 08:00"
                           : e.when == 'E' ? "2010/09/16 17:00"
                                           : "2010/09/17 09:00";
  return {"EXEC SP_VLM_CON_PARAMETRO_SISTEMA " + std::to_string(e.code),
          "EXECUTE SP_VLM_INC_TRACKING7 77, 3, '" + date + "', '" + date.substr(11) +
              "', 1001, 25, " + std::to_string(e.code) + ", " + null_or(e.terminal) + " , " +
              null_or(e.ctac)};
}

TEST(TrackingPlan, EventsByOrderTypeAndFlags) {
  const char *retirada = " Tracking Retirada Vazio CY", *recebedor = " Tracking Chegada Recebedor",
             *realizada = " Tracking Entrega Realizada", *vazio = " Tracking Entrega Vazio CY",
             *chegada_cd = " Tracking Chegada CD - Entrega", *porto = " Tracking Entrega no Porto",
             *saida_cd = " Tracking Saída do CD - Carga Desconsolidada",
             *saida_porto = " Tracking Saída do Porto", *ict = " Tracking Chegada no ICT";
  const Event chegada{1325, 'S', 0, 0, " Tracking Chegada Embarcador"},
      saida{1326, 'E', 0, 0, " Tracking Saída do Embarcador"};
  struct Case {
    Plan plan;
    Script script;
    std::vector<Step> steps;
    std::int16_t stored;  // the order type kept for the insert (42: untouched)
  };
  const Case cases[] = {
      {{.show_terminal = "N"}, {}, {chegada, saida}, 1},
      {{.type = "1"},
       {.inland = "S"},
       {Event{1324, 'W', 60, 0, retirada}, chegada, saida, kTerminal,
        Event{1327, 'D', 70, 0, " Tracking Entrega no ICT - Coleta"}},
       1},
      {{.service = 3},
       {.inland = "s"},
       {Event{1324, 'W', 60, 0, retirada}, chegada, saida, kTerminal,
        Event{1328, 'D', 70, 0, porto}},
       1},
      {{.type = 2}, {}, {kCtacs}, 2},
      {{.type = 2},
       {.ctacs = "(501), (502)"},
       {kCtacs, kTerminal, Event{1329, 'W', 70, 501, retirada}, kKind,
        Event{1331, 'S', 0, 501, recebedor}, Event{1332, 'E', 0, 501, realizada},
        Event{2144, 'D', 60, 501, vazio}, kTerminal, Event{1329, 'W', 70, 502, retirada}, kKind,
        Event{1331, 'S', 0, 502, recebedor}, Event{1332, 'E', 0, 502, realizada},
        Event{2144, 'D', 60, 502, vazio}},
       2},
      {{.type = 2},
       {.inland = "", .centre = 3, .ctacs = "(501)"},
       {kCtacs, kTerminal, Event{5202, 'W', 70, 501, " Saida do ICT"}, kKind,
        Event{1335, 'S', 0, 501, chegada_cd}, Event{1336, 'E', 0, 501, saida_cd},
        Event{1333, 'D', 60, 501, vazio}},
       2},
      {{.type = 2, .show_terminal = Variant::null()},
       {.centre = 1, .direct = "S", .ctacs = "(501)"},
       {kCtacs, kKind, Event{1390, 'S', 0, 501, chegada_cd}, Event{1391, 'E', 0, 501, saida_cd}},
       2},
      {{.type = 7},
       {.ctacs = "(501)"},
       {"EXECUTE SP_VLM_CON_CTACS_CONT_FECHA_OS_TB 1001, 77, 7", Event{1328, 'E', 70, 501, porto}},
       7},
      {{.type = "8"},
       {.ctacs = "(503), (501), (502)"},
       {"EXECUTE SP_VLM_CON_CTACS_CONT_FECHA_OS_TB 1001, 77, 8",
        Event{1329, 'S', 60, 503, saida_porto}, Event{1330, 'E', 70, 503, ict},
        Event{1329, 'S', 60, 501, saida_porto}, Event{1330, 'E', 70, 501, ict},
        Event{1329, 'S', 60, 502, saida_porto}, Event{1330, 'E', 70, 502, ict}},
       8},
      {{.type = 9}, {}, {}, 42},
      {{.type = 3}, {}, {}, 42},
      {{.type = ""}, {}, {}, 42},
      {{.service = 4}, {}, {}, 42},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("order type " + to_text(c.plan.type) + ", case of " +
                 std::to_string(c.steps.size()) + " steps");
    std::vector<std::string> sent;
    std::vector<Event> events;
    Rows jobs;
    for (const Step& step : c.steps) {
      if (const auto* lookup = std::get_if<std::string>(&step)) {
        sent.push_back(*lookup);
        continue;
      }
      const Event& e = std::get<Event>(step);
      for (std::string& text : commands_of(e)) sent.push_back(std::move(text));
      events.push_back(e);
      const std::string tracking = std::to_string(e.code * 1000 + e.ctac);
      if (c.stored != 1)
        jobs.push_back({"__JOB__" + std::to_string(jobs.size() + 1) + "__" + tracking + "__3____" +
                        std::to_string(e.ctac) + "__7__" + tracking});
    }

    TrackingDatabase db(c.script);
    closing::tracking_order_type = 42;
    Plan plan = c.plan;
    EXPECT_TRUE(plan.run(db)) << plan.message.as_string();
    EXPECT_EQ(db.procedure_calls(), sent);
    EXPECT_EQ(closing::tracking_order_type, c.stored);
    EXPECT_EQ(db.query("SELECT TXT_QUERY FROM LOG_GERADOR WHERE FUNCAO_ID = 2266 AND "
                       "FLAG_ENVIA_EMAIL = 'N' ORDER BY LOG_GERADOR_ID"),
              jobs);
    EXPECT_EQ(plan.message, Variant("(message)"));
    EXPECT_EQ(db.logged(), 0u);

    // Refusing each kind of event in turn stops the plan right there, with its label.
    std::set<int> refused;
    for (const Event& e : events) {
      if (!refused.insert(e.code).second) continue;
      Script refusing = c.script;
      refusing.refused = e.code;
      TrackingDatabase refusing_db(refusing);
      Plan again = c.plan;
      EXPECT_FALSE(again.run(refusing_db));
      EXPECT_EQ(again.message, Variant(kInserted + e.label));
      EXPECT_EQ(refusing_db.procedure_calls().back(), commands_of(e).back());
    }
  }
}

// A scripted answer of one procedure, and what the routine that reads it tells the user,
// followed for user 1 by the technical text; `logged`: a failure, written to the log.
struct Refusal {
  std::string procedure, body, message, technical;
  bool logged = false;
};

void expect_refusals(const std::vector<Refusal>& cases,
                     const std::function<bool(const TestDatabase&, int user, Variant&)>& run) {
  for (const Refusal& c : cases) {
    for (const int user : {1, 25}) {
      SCOPED_TRACE(c.procedure + ": " + c.body + ", user " + std::to_string(user));
      TrackingDatabase db({.ctacs = "(501)"});
      db.script(c.procedure, c.body);
      Variant message;
      EXPECT_FALSE(run(db, user, message));
      EXPECT_EQ(message, Variant(c.message + (user == 1 ? c.technical : "")));
      EXPECT_EQ(db.logged(), c.logged ? 1u : 0u);
    }
  }
}

const char* const kNoRowSet = "DELETE FROM LOG_MSG WHERE 0";
const char* const kNoRow = "SELECT 0 AS retorno WHERE 0";
const char* const kFailing = "SELECT * FROM NO_SUCH_TABLE";
const std::string kNoTable = "no such table: NO_SUCH_TABLE : -2147217900)   No Nº 2";

TEST(TrackingPlan, RefusalsAndFailuresOfEachStep) {
  const std::string parameter =
      "Problemas na determinação do Parâmetros do sistema. Contacte o Administrador do Sistema.";
  const std::string terminal =
      "Problemas na verificação do tipo de terminal, para inclusão de trackings no sistema. "
      "Contacte o Administrador do Sistema. ";
  const std::string kind =
      "Problemas na determinação do tipo de OS (carga cheia / carga fracionada). Contacte o "
      "Administrador do Sistema.";
  const std::string insert =
      "EXECUTE SP_VLM_INC_TRACKING7 77, 3, '2010/09/16 07:00', '07:00', 1001, 1, 1329, 70 , 501";
  // Type 2 with terminal fields and one CTAC: every lookup of the plan runs.
  expect_refusals(
      {{"SP_VLM_CON_PARAMETRO_SISTEMA", kNoRowSet, parameter,
        " - oRS.State = 0 na mVerifica_Tab_Parametro_Sistema mConsulta_Campos_Tipo_OS, sql: EXEC "
        "SP_VLM_CON_PARAMETRO_SISTEMA 1329"},
       {"SP_VLM_CON_PARAMETRO_SISTEMA", "SELECT :a AS PARAMETRO WHERE :a <> 1331", parameter,
        " - ORS.EOF na rotina mVerifica_Tab_Parametro_Sistema, sql: EXEC "
        "SP_VLM_CON_PARAMETRO_SISTEMA 1331"},
       {"SP_VLM_CONS_TIPO_TERMINAL_OS", "SELECT 2 AS retorno, 'Terminal inativo' AS Msg_Ret",
        terminal + "Terminal inativo",
        " - oRS!retorno > 0 na mVerifica_Tipo_Terminal_OS, sql: " + kTerminal},
       {"SP_VLM_SELECT_TIPO_OS6", kNoRow, kind,
        " - ORS.EOF na rotina mConsulta_Campos_Tipo_OS, sql: " + kKind},
       {"SP_VLM_SELECT_TIPO_OS6", "SELECT 5 AS retorno", kind,
        " - ORS!RETORNO > 0 na rotina mConsulta_Campos_Tipo_OS, sql: " + kKind},
       {"SP_VLM_SELECT_TIPO_OS6", kNoRowSet,
        "Acesso a determinação do tipo de OS (carga cheia / carga fracionada) não disponível. "
        "Favor tentar mais tarde.",
        " - QrnMvl.mConsulta_Campos_Tipo_OS (Operation is not allowed when the object is closed. "
        ": 3704)   No Nº 3strsq: " +
            kKind,
        true},
       {"SP_VLM_CON_CTACS_CONT_FECHA_OS", kNoRowSet,
        "Acesso aos CTACs do container não disponível. ",
        " - oRS.State = 0 na mInclui_Campos_Tracking, sql: " + kCtacs},
       {"SP_VLM_INC_TRACKING7", kNoRow, kInserted + " Tracking Retirada Vazio CY",
        " - oRS.EOF na mInclui_Campos_Tracking, sql: " + insert},
       // Any retorno but 0 refuses, although the technical text says "> 0".
       {"SP_VLM_INC_TRACKING7", "SELECT -1 AS retorno", kInserted + " Tracking Retirada Vazio CY",
        " - oRS!retorno > 0 na mInclui_Campos_Tracking, sql: " + insert},
       {"SP_VLM_INC_TRACKING7", kFailing,
        "Erro na inclusão do Tracking. Contacte o Administrador do sistema.",
        " - QrnMvl.mInclui_Campos_TRACKING (" + kNoTable, true}},
      [](const TestDatabase& db, int user, Variant& message) {
        Plan plan{.type = 2, .user = user};
        const bool recorded = plan.run(db);
        message = plan.message;
        return recorded;
      });
}

TEST(TrackingPlan, FailuresOfThePlanAndOfItsJobs) {
  TrackingDatabase db({.ctacs = "(501)"});
  Plan not_a_type{.type = "abc", .user = 1};
  EXPECT_FALSE(not_a_type.run(db));
  EXPECT_EQ(not_a_type.message,
            Variant("Acesso ao Fechamento da OS não disponível. Favor tentar mais tarde. - "
                    "QrnMvl.mGera_Tracking_FCL (Type mismatch : 13)   No Nº 2"));
  EXPECT_EQ(db.logged(), 1u);

  // The event is recorded before its job is asked for, and stays.
  db.exec("DELETE FROM infra_ids");
  Plan plan{.type = 7};
  EXPECT_FALSE(plan.run(db));
  EXPECT_EQ(plan.message, Variant("Não há registro no banco de dados na tabela Infra_ids. "));
  EXPECT_EQ(db.procedure_calls().back(),
            "EXECUTE SP_VLM_INC_TRACKING7 77, 3, '2010/09/16 17:00', '17:00', 1001, 25, 1328, 70 , "
            "501");
  EXPECT_EQ(db.logged(), 2u);  // and the job request's refusal
}

TEST(TrackingWrites, EachThreadKeepsItsOwnOrderType) {
  TrackingDatabase db({.ctacs = "(501)"});
  std::latch type_2_planned(1), type_1_planned(1);
  bool type_2_recorded = false, type_1_recorded = false, late_event_recorded = false;
  std::thread type_2([&] {
    Plan plan{.type = 2, .show_terminal = "N"};
    type_2_recorded = plan.run(db);
    type_2_planned.count_down();
    type_1_planned.wait();
    // After the other thread stored type 1, this thread's events still queue jobs.
    Variant connection = db.connection(), message;
    late_event_recorded = tracking::mInclui_Campos_TRACKING(
        Variant("ORACLE"), Variant(77), Variant(3), Variant("2010/09/16 18:00"), Variant("18:00"),
        Variant(1001), Variant(25), connection, Variant(1400), message, " Tracking", 0, 501, 7);
  });
  std::thread type_1([&] {
    type_2_planned.wait();
    Plan plan{.show_terminal = "N"};
    type_1_recorded = plan.run(db) && closing::tracking_order_type == 1;
    type_1_planned.count_down();
  });
  type_2.join();
  type_1.join();

  EXPECT_TRUE(type_2_recorded && type_1_recorded && late_event_recorded);
  EXPECT_EQ(db.procedure_calls().size(), 11u);  // every lookup and event of both threads
  EXPECT_EQ(db.query("SELECT TXT_QUERY FROM LOG_GERADOR ORDER BY LOG_GERADOR_ID"),
            (Rows{{"__JOB__1__1331501__3____501__7__1331501"},
                  {"__JOB__2__1332501__3____501__7__1332501"},
                  {"__JOB__3__1400501__3____501__7__1400501"}}));
}

bool run_fractional(const TestDatabase& db, int user, Variant& message, std::int32_t& supplier) {
  Variant order(1001), connection = db.connection(), user_id(user), kind("SQLSERVER"), company(3),
                       product, hour("08:00");
  return tracking::mGera_Tracking_Frac(order, connection, user_id, kind, company, product,
                                       Variant("2010/09/16 08:00"), hour, supplier, message);
}

TEST(FractionalTracking, EachScheduleRowIsReplaced) {
  const std::string frac = "EXEC SP_VLM_CONS_TIPO_OS_FRAC2   1001";
  const std::string at = ", 3, '2010/09/16 08:00', '08:00', 25, ";
  const std::vector<std::string> pickup = {frac, "EXEC SP_VLM_CON_PARAMETRO_SISTEMA 1334",
                                           "EXEC SP_VLM_CONS_TERMINAL_VAS_OS 1001",
                                           "EXEC SP_QRN_EXC_TRACKING_FRAC2 1334, null, 901"};
  std::vector<std::string> all = pickup, without_terminal = pickup;
  all.push_back("EXEC SP_VLM_INC_TRACKING_FRAC2 901" + at + "1334 , 80");
  without_terminal.push_back("EXEC SP_VLM_INC_TRACKING_FRAC2 901" + at + "1334 , null");
  for (const std::string invoice : {"5002", "5003"}) {  // "c" and no indicator: deliveries
    all.push_back("EXEC SP_VLM_CON_PARAMETRO_SISTEMA 1332");
    all.push_back("EXEC SP_QRN_EXC_TRACKING_FRAC2 1332, " + invoice + ", null");
    all.push_back("EXEC SP_VLM_INC_TRACKING_FRAC_NOTA " + invoice + at + "1332 , null");
  }
  // Scripted schedule rows and terminal ("": the fixture's), commands, supplier id after.
  const std::tuple<std::string, std::string, std::vector<std::string>, std::int32_t> cases[] = {
      {"", "", all, 0},
      {"SELECT 1 AS AGENDAMENTO_FRAC_ID WHERE 0", "", {frac}, 55},
      {"SELECT 901 AS AGENDAMENTO_FRAC_ID, 'C' AS indic_coleta_entrega, 0 AS NOTA_FISCAL_ID",
       kNoRowSet, without_terminal, 0},
  };
  for (const auto& [rows, terminal, sent, supplier_after] : cases) {
    SCOPED_TRACE(rows + " / " + terminal);
    TrackingDatabase db;
    if (!rows.empty()) db.script("SP_VLM_CONS_TIPO_OS_FRAC2", rows);
    if (!terminal.empty()) db.script("SP_VLM_CONS_TERMINAL_VAS_OS", terminal);
    Variant message("(message)");
    std::int32_t supplier = 55;
    EXPECT_TRUE(run_fractional(db, 25, message, supplier));
    EXPECT_EQ(db.procedure_calls(), sent);
    EXPECT_EQ(supplier, supplier_after);
    EXPECT_EQ(message, Variant("(message)"));
  }
}

TEST(FractionalTracking, RefusalsAndFailures) {
  const std::string removal =
      "Problemas na exclusão dos trackings das notas fiscais. Contacte o Administrador do Sistema.";
  expect_refusals(
      {{"SP_VLM_CONS_TERMINAL_VAS_OS", "SELECT 1 AS FORNECEDOR_ID WHERE 0",
        "Acesso aos dados do terminal VAS não disponível. Contacte o Administrador do Sistema.",
        " - ORS.EOF na rotina mBusca_Terminal_VAS, sql: EXEC SP_VLM_CONS_TERMINAL_VAS_OS 1001"},
       {"SP_VLM_CONS_TERMINAL_VAS_OS", kFailing,
        "Acesso aos dados do terminal VAS não disponível. Favor tentar mais tarde.",
        " - QrnMvl.mBusca_Terminal_VAS (" + kNoTable +
            "strsq: EXEC SP_VLM_CONS_TERMINAL_VAS_OS 1001",
        true},
       {"SP_QRN_EXC_TRACKING_FRAC2", "SELECT 1 AS retorno", removal,
        " - oRS!retorno > 0 na mExclui_Campos_Tracking_Frac, sql: EXEC SP_QRN_EXC_TRACKING_FRAC2 "
        "1334, null, 901"},
       {"SP_VLM_INC_TRACKING_FRAC2", kNoRow, kInserted + " Tracking Chegada no CD de coleta",
        " - oRS.EOF na mInclui_Campos_Tracking_Frac, sql: EXEC SP_VLM_INC_TRACKING_FRAC2 901, 3, "
        "'2010/09/16 08:00', '08:00', 1, 1334 , 80"},
       {"SP_VLM_INC_TRACKING_FRAC_NOTA", "SELECT 2 AS retorno",
        kInserted + " Tracking Entrega Realizada",
        " - oRS!retorno > 0 na mInclui_Campos_Tracking_Frac_Nota, sql: EXEC "
        "SP_VLM_INC_TRACKING_FRAC_NOTA 5002, 3, '2010/09/16 08:00', '08:00', 1, 1332 , null"},
       {"SP_VLM_INC_TRACKING_FRAC_NOTA", kFailing,
        "Erro na inclusão do Tracking. Contacte o Administrador do sistema.",
        " - QrnMvl.mInclui_Campos_Tracking_Frac_Nota (" + kNoTable, true}},
      [](const TestDatabase& db, int user, Variant& message) {
        std::int32_t supplier = 0;
        return run_fractional(db, user, message, supplier);
      });

  // The schedule lookup has no frame of its own: its failure is the closing's to report.
  TrackingDatabase db;
  db.script("SP_VLM_CONS_TIPO_OS_FRAC2", kNoRowSet);
  Variant message;
  std::int32_t supplier = 0;
  EXPECT_EQ(error_of([&] { run_fractional(db, 25, message, supplier); }).number(),
            err::object_closed);
  EXPECT_EQ(db.logged(), 0u);
}

}  // namespace
}  // namespace qrnmvl
