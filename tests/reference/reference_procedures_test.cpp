// The closing's procedures of the reference database, run through the engine with the command
// texts the component sends, on the demo data.
#include <barrier>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "data/connection.hpp"
#include "support/test_database.hpp"
#include "support/test_values.hpp"

namespace qrnmvl {
namespace {

using namespace std::string_literals;
using testing::TestDatabase;
using Rows = std::vector<std::vector<Variant>>;
const Variant null = Variant::null();

data::RowSet run(const TestDatabase& db, const std::string& text) {
  return data::open_connection(db.connection_text())->execute(text);
}

// Everything a refused call could have written.
Rows written(const TestDatabase& db) {
  Rows all;
  for (const char* table :
       {"ORDEM_SERVICO", "ORDEM_SERVICO_TIPO", "CONTAINER", "AGEND_CONTAINER",
        "SOLICIT_EMBARQUE_CONTAINER", "TRACKING", "LOG_GERADOR", "LOG_SISTEMA", "infra_ids",
        "INCIDENTE_OS", "OBSERVACAO_INCIDENTE_OS", "RECUSA_CHAMADA", "INCIDENTE_OS_CARGA"})
    for (auto& row : db.query("SELECT * FROM "s + table)) all.push_back(std::move(row));
  return all;
}

const char* const kTracked =
    "INSERT INTO TRACKING (ORDEM_SERVICO_ID, NOTA_FISCAL_ID, TAB_EVENTO_TRACKING_ID, DATA_EVENTO, "
    "DATA_INCLUSAO) VALUES (505, 10001, 9, '2025/10/18 09:00:00', '2025/10/18 19:00:00'), "
    "(505, 10002, 9, '2025/10/18 09:00:00', '2025/10/18 19:00:00')";

const char* const kMismatch =
    "As listas de incidentes, justificativas, seleções e tipos de cadastro não têm o mesmo número "
    "de elementos.";

// Every refusal answers retorno 1 with its reason and leaves the database as it was.
// Rows: set-up SQL (or none), command, Msg_Ret.
TEST(ReferenceProcedures, RefusalsWriteNothing) {
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {nullptr, "EXECUTE SP_036_CONSISTE_SEC_AGEND_CONT 6001,null, 7002",
       "A solicitação de embarque 7002 pertence a outro agendamento: 6002."},
      {nullptr, "EXECUTE SP_036_CONSISTE_SEC_AGEND_CONT 6004,null, 7001",
       "A solicitação de embarque 7001 e o agendamento 6004 são de ordens de serviço diferentes."},
      {nullptr, "EXECUTE SP_036_DUP_SOLICIT8 NULL ,' caiu4182076','1',7004,502",
       "O container CAIU4182076 já está na solicitação de embarque 7011 da ordem de serviço "
       "0509/2025, ainda aberta."},
      {nullptr,
       "EXEC SP_VLM_GRA_FECHA_OS_TIPO5 9999, '2025/10/16 06:30', '2025/10/16 11:00', null, null, "
       "2, null, 25, 1, null ",
       "Ordem de serviço tipo não cadastrada: 9999."},
      {"UPDATE ORDEM_SERVICO SET TAB_STATUS_PAGTO_OS_ID = 4 WHERE ORDEM_SERVICO_ID = 502",
       "EXEC SP_VLM_GRA_FECHA_OS_TIPO5 1003, '2025/10/16 06:30', '2025/10/16 11:00', null, null, "
       "2, null, 25, 1, null ",
       "A ordem de serviço 0502/2025 está paga: o fechamento não pode mais ser alterado."},
      {nullptr,
       "EXEC SP_VLM_GRA_FECHA_OS_TIPO5 1009, '2025/10/13 08:00', '2025/10/13 11:00', null, null, "
       "2, null, 25, 1, null ",
       "Ordem de serviço tipo cancelada: o fechamento não pode ser gravado."},
      {nullptr,
       "EXEC SP_VLM_GRA_FECHA_OS_TIPO5 1003, '2025/02/31 06:30', '2025/02/30 11:00', null, null, "
       "2, null, 25, 1, null ",
       "Data inválida: 2025/02/31 06:30."},
      {nullptr, "EXEC SP_VLM_INC_CONTAINER_OS_FECHA2   'TEMU5301682', 77, 25",
       "Tipo de container não cadastrado: 77."},
      {nullptr, "EXEC SP_VLM_ALT_TP_CONT2   9999, 1, 25", "Container não cadastrado: 9999."},
      {nullptr, "EXEC SP_VLM_ALT_TP_CONT2   9001, 77, 25", "Tipo de container não cadastrado: 77."},
      {nullptr,
       "EXEC SP_VLM_GRA_SOL_CONT_OS_FECHA5 502, 6004, 'x', 7001, 9004, null, null, null, null, "
       "null, null, 25",
       "Solicitação de embarque do container 7001 não cadastrada na ordem de serviço 502."},
      {nullptr, "EXEC SP_VLM_ALT_AGEN_CONT_OS_FEC 502, 6001, 'x', 25",
       "Agendamento do container 6001 não cadastrado na ordem de serviço 502."},
      {nullptr, "EXEC SP_036_ALT_CONTAINER_OSAC3 999, null, 1, 25",
       "Ordem de serviço não cadastrada: 999."},
      {nullptr, "EXEC SP_036_ALT_CONTAINER_OSAC3 501, null, 77, 25",
       "Tipo de container não cadastrado: 77."},
      {nullptr,
       "EXECUTE SP_VLM_INC_TRACKING7 7001, 1, '2025/10/15 07:40', '07:40', 501, 25, 6, 301 , 8002",
       "CTAC 8002 não cadastrado para o container da ordem de serviço."},
      {nullptr,
       "EXECUTE SP_VLM_INC_TRACKING7 7001, 1, '2025/10/15 07:40', '07:40', 501, 25, 99, 301 , 8001",
       "Evento de tracking não cadastrado: 99."},
      {nullptr,
       "EXEC SP_VLM_INC_TRACKING_FRAC_NOTA 99, 1, '2025/10/18 09:00', '09:00', 25, 9 , null",
       "Nota fiscal não cadastrada: 99."},
      {kTracked, "EXEC SP_QRN_EXC_TRACKING_FRAC2 9, null, null",
       "Informe a nota fiscal ou o agendamento dos trackings a excluir."},
      {nullptr,
       "EXEC SP_QRN_INC_JOB2   25, 1, null, 'N', 25, null , null , 1 , null , null , null  ",
       "Função de JOB não cadastrada: 1."},
      {nullptr, "EXEC SP_QRN_INCLUI_PARAMETRO_JOB   77, '__JOB__77', 25",
       "JOB não cadastrado: 77."},
      {nullptr, "EXECUTE SP_036_INC_INCIDENTE3 9999, 'S', '5', 'Obs', null, 'S', 25, null ",
       "Ordem de serviço tipo não cadastrada: 9999."},
      {nullptr, "EXECUTE SP_036_INC_INCIDENTE3 null, 'S', '5', 'Obs', 'a', 'S', 25, 'M' ",
       "Ordem de serviço tipo não informada."},
      {nullptr, "EXECUTE SP_036_INC_INCIDENTE3 1001, 'S', '5,18', 'Obs', 'a', 'S,N', 25, 'M,M' ",
       kMismatch},
      {nullptr, "EXECUTE SP_036_INC_INCIDENTE3 1001, 'S', '5,18', 'Obs', null, 'S', 25, null ",
       kMismatch},
      {nullptr, "EXECUTE SP_036_INC_INCIDENTE3 1001, 'S', '5,99', 'Obs', null, 'S,S', 25, null ",
       "Tipo de incidente não cadastrado: 99."},
      {nullptr, "EXECUTE SP_036_INC_INCIDENTE3 1001, 'S', '5,x', 'Obs', null, 'S,S', 25, null ",
       "Tipo de incidente não cadastrado: x."},
      {nullptr, "EXEC SP_VLM_SELECT_TIPO_OS6 999", "Ordem de serviço não cadastrada: 999."},
      {nullptr, "EXEC SP_VLM_CONS_TIPO_TERMINAL_OS 505",
       "A ordem de serviço 0505/2025 não tem terminal de cheio."},
  };
  for (const auto& [setup, command, reason] : cases) {
    SCOPED_TRACE(command);
    TestDatabase db(true);
    if (setup) db.exec(setup);
    const Rows before = written(db);
    const data::RowSet answer = run(db, command);
    ASSERT_EQ(answer.record_count(), 1);
    EXPECT_EQ(answer.field("retorno"), Variant(1));
    EXPECT_EQ(answer.field("Msg_Ret"), Variant(reason));
    EXPECT_EQ(written(db), before);
  }
}

// What a procedure answers and, for a save, what it leaves stored.
struct Answer {
  const char* setup = nullptr;
  const char* command;
  Rows answer;
  const char* stored = nullptr;  // a query over the stored rows
  Rows rows{};
};

TEST(ReferenceProcedures, AnswersAndStoredRows) {
  const std::string today =
      TestDatabase().query("SELECT strftime('%d/%m/%Y', 'now', 'localtime')")[0][0].as_string();
  const char* const job =
      "SELECT g.LOG_GERADOR_ID, g.FUNCAO_ID, g.Data_Inicio, g.TXT_QUERY, s.TABELA_SISTEMA_ID, "
      "s.USUARIO_ID, i.LOG_GERADOR_ID, i.LOG_SISTEMA_ID FROM LOG_GERADOR g JOIN LOG_SISTEMA s "
      "ON s.registro_id = g.LOG_GERADOR_ID, infra_ids i WHERE g.FUNCAO_ID IS NOT NULL";
  const Answer cases[] = {
      {.setup = "UPDATE ORDEM_SERVICO SET DATA_EMISSAO = '2025/03/01 10:00:00', "
                "DIAS_TOLERANCIA = 3 WHERE ORDEM_SERVICO_ID = 505",
       .command = "EXEC SP_VLM_CON_DT_OS02   505",
       .answer = {{"2025/03/01", 3, "2025/02/26", "01/03/2025", today}}},
      {.command = "EXEC SP_VLM_CON_DT_OS02   999", .answer = {}},
      // A container on its own request, or on a request of an order no longer open, is free.
      {.command = "EXECUTE SP_036_DUP_SOLICIT8 NULL ,'CAIU4182076','1',7011,509",
       .answer = {{0, null}}},
      {.setup = "UPDATE ORDEM_SERVICO_TIPO SET TAB_STATUS_OS_TIPO_ID = 2 "
                "WHERE ORDEM_SERVICO_TIPO_ID = 1010",
       .command = "EXECUTE SP_036_DUP_SOLICIT8 NULL ,'CAIU4182076','1',7004,502",
       .answer = {{0, null}}},
      {.command = "EXECUTE SP_036_CONSISTE_SEC_AGEND_CONT 6004,null, null", .answer = {{0, null}}},
      // Bills only: the DTA of the same line is left out.
      {.command = "EXEC SP_VLM_CON_CTACS_CONT_FECHA_OS 7007  ", .answer = {{8010}}},
      {.command = "EXECUTE SP_VLM_CON_CTACS_CONT_FECHA_OS_TB 504, 7008, 8", .answer = {{8011}}},
      {.command = "EXECUTE SP_VLM_CON_CTACS_CONT_FECHA_OS_TB 503, 7005, 8", .answer = {}},
      {.command = "EXEC SP_VLM_SELECT_TIPO_OS6 505", .answer = {{0, null, 1, "N"}}},
      {.command = "EXEC SP_VLM_CONS_TIPO_TERMINAL_OS 504", .answer = {{0, null, "S"}}},
      {.command = "EXEC SP_VLM_CONS_TIPO_OS_FRAC2   505",
       .answer =
           {{11001, "C", null}, {11002, "E", 10001}, {11003, "E", 10002}, {11004, "E", 10003}}},
      {.command = "EXEC SP_VLM_CONS_TERMINAL_VAS_OS 505", .answer = {{306}}},
      {.command = "EXEC SP_VLM_CONS_TERMINAL_VAS_OS 501", .answer = {}},
      {.command = "EXEC SP_VLM_CON_PARAMETRO_SISTEMA 1329", .answer = {{"6"}}},
      {.command = "EXECUTE SP_036_INC_INCIDENTE3 1001, 'S', '5', 'Obs', null, 'S', 25, null ",
       .answer = {{0, null}},
       .stored = "SELECT TAB_TIPO_INCIDENTE_ID, JUSTIFICATIVA, (SELECT count(*) FROM "
                 "INCIDENTE_OS_CARGA) FROM INCIDENTE_OS WHERE ORDEM_SERVICO_TIPO_ID = 1001",
       .rows = {{5, null, 0}}},
      {.command = "EXEC SP_VLM_CON_CONTAINER_OS_FECHA   ' tghu8731457'", .answer = {{9001, 1}}},
      // The record is closed; the order waits for its checking once no record is left open.
      {.command = "EXEC SP_VLM_GRA_FECHA_OS_TIPO5 1003, '2025/10/16 06:30', '2025/10/16 11:00', "
                  "'2025/10/16 05:40', '2025/10/16 13:10', 2, 'abc1d23', 25, 1, '004512' ",
       .answer = {{0, null}},
       .stored = "SELECT TAB_STATUS_OS_TIPO_ID, DATA_INI_EXECUCAO, DATA_FIM_EXECUCAO, "
                 "DATA_RETIRADA_TERMINAL, DATA_ENTREGA_TERMINAL, PLACA, ID_SISTEMA_EXTERNO, "
                 "USUARIO_FECHAMENTO_ID, TAB_STATUS_PAGTO_OS_ID FROM ORDEM_SERVICO_TIPO "
                 "JOIN ORDEM_SERVICO USING (ORDEM_SERVICO_ID) WHERE ORDEM_SERVICO_TIPO_ID = 1003",
       .rows = {{2, "2025/10/16 06:30:00", "2025/10/16 11:00:00", "2025/10/16 05:40:00",
                 "2025/10/16 13:10:00", "ABC1D23", "004512", 25, 2}}},
      // No terminal times: the gate-out the terminal reported stays; 1002 keeps the order open.
      {.command = "EXEC SP_VLM_GRA_FECHA_OS_TIPO5 1001, '2025/10/15 08:00', '2025/10/15 12:00', "
                  "null, null, 2, null, 25, 1, null ",
       .answer = {{0, null}},
       .stored = "SELECT DATA_RETIRADA_TERMINAL, TAB_STATUS_PAGTO_OS_ID FROM ORDEM_SERVICO_TIPO "
                 "JOIN ORDEM_SERVICO USING (ORDEM_SERVICO_ID) WHERE ORDEM_SERVICO_TIPO_ID = 1001",
       .rows = {{"2025/10/15 07:40:00", 1}}},
      {.command = "EXEC SP_VLM_GRA_SOL_CONT_OS_FECHA5 502, 6004, 'Lacres conferidos', null, 9011, "
                  "'ML9', null, null, 2210.5, 18000, 1234.56, 25",
       .answer = {{0, null, 7012}},
       .stored = "SELECT s.ORDEM_SERVICO_ID, s.CONTAINER_ID, s.TAB_TIPO_CONTAINER_ID, "
                 "s.NUM_LACRE_CIA_MARITIMA, s.TARA, s.PESO_CARGA, s.VALOR_NF, a.OBSERV "
                 "FROM SOLICIT_EMBARQUE_CONTAINER s JOIN AGEND_CONTAINER a "
                 "USING (AGEND_CONTAINER_ID) WHERE s.SOLICIT_EMBARQUE_CONTAINER_ID = 7012",
       .rows = {{502, 9011, 1, "ML9", 2210.5, 18000.0, 1234.56, "Lacres conferidos"}}},
      {.command = "EXEC SP_VLM_GRA_SOL_CONT_OS_FECHA5 502, null, null, 7004, 9004, null, null, "
                  "null, 3740, null, null, 25",
       .answer = {{0, null, 7004}},
       .stored = "SELECT count(*), max(TARA) FROM SOLICIT_EMBARQUE_CONTAINER "
                 "WHERE ORDEM_SERVICO_ID = 502",
       .rows = {{1, 3740.0}}},
      // The schedule whose container is now registered with the reported type follows it.
      {.setup = "UPDATE CONTAINER SET TAB_TIPO_CONTAINER_ID = 5 WHERE CONTAINER_ID = 9002",
       .command = "EXEC SP_036_ALT_CONTAINER_OSAC3 501, null, 5, 25",
       .answer = {{0, null}},
       .stored = "SELECT a.AGEND_CONTAINER_ID, a.TAB_TIPO_CONTAINER_ID, s.TAB_TIPO_CONTAINER_ID "
                 "FROM AGEND_CONTAINER a JOIN SOLICIT_EMBARQUE_CONTAINER s "
                 "USING (AGEND_CONTAINER_ID) WHERE a.ORDEM_SERVICO_ID = 501 ORDER BY 1",
       .rows = {{6001, 1, 1}, {6002, 5, 5}, {6003, 2, 2}}},
      {.command = "EXEC SP_VLM_INC_CONTAINER_OS_FECHA2   'tghu8731457 ', 3, 26",
       .answer = {{0, null, 9001}},
       .stored = "SELECT count(*), TAB_TIPO_CONTAINER_ID, USUARIO_ALTERACAO_ID FROM CONTAINER "
                 "WHERE NUM_CONTAINER LIKE 'TGHU8731457'",
       .rows = {{1, 3, 26}}},
      {.command = "EXECUTE SP_VLM_INC_TRACKING7 7001, 1, '2025/10/15 07:40', '07:40', 501, 25, "
                  "6, 301 , 8001",
       .answer = {{0, null, 1}},
       .stored = "SELECT ORDEM_SERVICO_ID, SOLICIT_EMBARQUE_CONTAINER_ID, DOCTO_TRANSPORTE_ID, "
                 "TAB_EVENTO_TRACKING_ID, TERMINAL_ID, DATA_EVENTO, HORA_EVENTO FROM TRACKING",
       .rows = {{501, 7001, 8001, 6, 301, "2025/10/15 07:40:00", "07:40"}}},
      {.command = "EXEC SP_VLM_INC_TRACKING_FRAC2 11001, 1, '2025/10/18 09:00', '09:00', 25, "
                  "11 , 306",
       .answer = {{0, null, 1}},
       .stored = "SELECT ORDEM_SERVICO_ID, AGENDAMENTO_FRAC_ID, NOTA_FISCAL_ID, TERMINAL_ID "
                 "FROM TRACKING",
       .rows = {{505, 11001, null, 306}}},
      {.setup = kTracked,
       .command = "EXEC SP_QRN_EXC_TRACKING_FRAC2 9, 10001, null",
       .answer = {{0, null}},
       .stored = "SELECT NOTA_FISCAL_ID FROM TRACKING",
       .rows = {{10002}}},
      // A counter behind the ids already in the table moves past them.
      {.setup = "INSERT INTO LOG_GERADOR (LOG_GERADOR_ID) VALUES (4)",
       .command = "EXEC SP_QRN_INC_JOB2   25, 2266, null, 'N', 26, null , null , 1 , null , "
                  "null , '2025/10/30 10:00'  ",
       .answer = {{0, null, 5}},
       .stored = job,
       .rows = {{5, 2266, "2025/10/30 10:00:00", null, 490, 26, 5, 1}}},
      {.setup = "INSERT INTO LOG_GERADOR (LOG_GERADOR_ID, FUNCAO_ID) VALUES (4, 2266)",
       .command = "EXEC SP_QRN_INCLUI_PARAMETRO_JOB   4, '__JOB__4__10__3____0__7__10', 25",
       .answer = {{0, null}},
       .stored = job,
       .rows = {{4, 2266, null, "__JOB__4__10__3____0__7__10", 490, 25, 0, 1}}},
  };
  for (const Answer& c : cases) {
    SCOPED_TRACE(c.command);
    TestDatabase db(true);
    if (c.setup) db.exec(c.setup);
    EXPECT_EQ(run(db, c.command).rows(), c.answer);
    if (c.stored) {
      EXPECT_EQ(db.query(c.stored), c.rows);
    }
  }
}

// The incident lists are cut element by element whatever they hold. Rows: the id, justification
// and flag lists, then what the record holds (type, justification in hex) or the refusal.
TEST(ReferenceProcedures, IncidentListsKeepEveryByte) {
  const std::string unknown = "Tipo de incidente não cadastrado: ";
  const std::tuple<std::string, std::string, std::string, Rows, Variant> cases[] = {
      {"5,18", "a\0b|x,y"s, "S,N", {{5, "610062"}, {18, "782C79"}}, null},
      {"5", "\\u0000 \"q\"", "S", {{5, "5C753030303020227122"}}, null},
      {"5,18", "|", "S,N", {{5, ""}, {18, ""}}, null},
      {"5,1\0"s, "|", "S,S", {}, unknown + "1\0."s},
      {"5,,18", "||", "S,S,S", {}, unknown + "."},
  };
  for (const auto& [ids, justifications, flags, stored, reason] : cases) {
    SCOPED_TRACE(justifications);
    TestDatabase db(true);
    const data::RowSet answer =
        run(db, "EXECUTE SP_036_INC_INCIDENTE3 1001, 'S', '" + ids + "', 'Obs', '" +
                    justifications + "', '" + flags + "', 25, null ");
    EXPECT_EQ(answer.field("Msg_Ret"), reason);
    EXPECT_EQ(db.query("SELECT TAB_TIPO_INCIDENTE_ID, hex(JUSTIFICATIVA) FROM INCIDENTE_OS "
                       "WHERE ORDEM_SERVICO_TIPO_ID = 1001 ORDER BY 1"),
              stored);
  }
}

TEST(ReferenceProcedures, FiftyThousandIncidentsInOneCall) {
  constexpr int kCount = 50000;
  TestDatabase db(true);
  db.exec(
      "INSERT INTO TAB_TIPO_INCIDENTE (TAB_TIPO_INCIDENTE_ID, DESCRICAO) "
      "WITH RECURSIVE n (i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < " +
      std::to_string(kCount) + ") SELECT 1000 + i, 'Tipo ' || i FROM n");
  std::string ids, justifications, flags;
  for (int i = 0; i < kCount; ++i) {
    const char* separator = i == 0 ? "" : ",";
    ids += separator + std::to_string(1000 + i);
    justifications += (i == 0 ? "" : "|") + std::string("motivo ") + std::to_string(i);
    flags += separator + std::string("S");
  }
  const data::RowSet answer =
      run(db, "EXECUTE SP_036_INC_INCIDENTE3 1001, 'S', '" + ids + "', 'Obs', '" + justifications +
                  "', '" + flags + "', 25, null ");
  EXPECT_EQ(answer.field("retorno"), Variant(0));
  // Each type kept the justification of its own row.
  EXPECT_EQ(db.query("SELECT count(*) FROM INCIDENTE_OS WHERE ORDEM_SERVICO_TIPO_ID = 1001 "
                     "AND JUSTIFICATIVA = 'motivo ' || (TAB_TIPO_INCIDENTE_ID - 1000)"),
            (Rows{{kCount}}));
}

// Two closings on their own connections register the same new numbers at the same moment, the
// way the component does (look the number up, create it when missing): one container each.
TEST(ReferenceProcedures, SimultaneousRegistrationsMakeOneContainer) {
  constexpr int kNumbers = 150;
  TestDatabase db(true);
  std::barrier together(2);
  std::vector<Variant> ids[2];
  const auto closing = [&](int who) {
    try {
      const auto connection = data::open_connection(db.connection_text());
      for (int i = 0; i < kNumbers; ++i) {
        const std::string number = "'RACE" + std::to_string(100000 + i) + "'";
        together.arrive_and_wait();
        data::RowSet found = connection->execute("EXEC SP_VLM_CON_CONTAINER_OS_FECHA   " + number);
        if (found.eof()) {
          found = connection->execute("EXEC SP_VLM_INC_CONTAINER_OS_FECHA2   " + number + ", " +
                                      std::to_string(1 + who) + ", 25");
          EXPECT_EQ(found.field("retorno"), Variant(0));
        }
        ids[who].push_back(found.field("container_id"));
      }
    } catch (const Error& error) {
      ADD_FAILURE() << error.description();
      together.arrive_and_drop();  // the other closing goes on alone
    }
  };
  std::thread first(closing, 0), second(closing, 1);
  first.join();
  second.join();
  EXPECT_EQ(ids[0], ids[1]);
  EXPECT_EQ(db.query("SELECT count(*) FROM CONTAINER WHERE NUM_CONTAINER LIKE 'RACE%'"),
            (Rows{{kNumbers}}));
}

}  // namespace
}  // namespace qrnmvl
