#include "jobs/jobs.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "common/helpers.hpp"
#include "common/values.hpp"
#include "data/connection.hpp"
#include "support/test_database.hpp"
#include "support/test_values.hpp"

namespace qrnmvl {
namespace {

using testing::TestDatabase;
using Rows = std::vector<std::vector<Variant>>;

// A database whose job procedures accept every request and answer job 41.
struct JobDatabase : TestDatabase {
  JobDatabase() {
    redefine("SP_QRN_INC_JOB2", "a, b, c, d, e, f, g, h, i, j, k",
             "SELECT 0 AS retorno, '' AS Msg_Ret, 41 AS LOG_GERADOR_ID");
    redefine("SP_QRN_INCLUI_PARAMETRO_JOB", "a, b, c", "SELECT 0 AS retorno, '' AS Msg_Ret");
  }
  Rows logged() const { return query("SELECT MSG01 FROM LOG_MSG"); }
};

// One request, by default the job of a tracking event (tracking 10, CTAC 0, container 7).
struct Request {
  Variant kind{"ORACLE"}, connection{}, user{25}, message{"(message)"}, function{2266}, title{""},
      send_email{"N"}, job_id{}, parameters{Variant::Array{10, 3, "", 0, 7, 10}}, count{6},
      email_text{""}, email_address{""}, start{"16/09/2010 17:05"}, sender{""}, attachment{""};

  bool run(const TestDatabase& db) {
    if (connection.is_empty()) connection = db.connection();
    return jobs::gInclui_JOB(kind, connection, user, message, function, title, send_email, job_id,
                             parameters, count, email_text, email_address, start, sender,
                             attachment);
  }
};

// With e-mail; the texts are cleaned before they travel.
Request with_email(const char* kind) {
  return {.kind = kind,
          .title = "Aviso de coleta (SP)",
          .send_email = "S",
          .email_text = "Coleta às 10h",
          .email_address = "ops@example.com",
          .sender = "noreply@example.com"};
}

TEST(JobRequest, ProceduresCarryTheRequestOnAnyKindButOracle) {
  const std::tuple<Request, std::string> cases[] = {
      {with_email("SQLSERVER"),
       "25, 2266, 'Aviso de coleta SP', 'S', 25, 'Coleta às 10h' , 'ops@example.com' , 1 , "
       "'noreply@example.com' , null , '2010/09/16 17:05'  "},
      // Without e-mail the e-mail fields are dropped unchecked.
      {{.kind = "oracle", .title = "t", .email_text = std::string(300, 'x'), .start = " "},
       "25, 2266, null, 'N', 25, null , null , 1 , null , null , null  "},
  };
  for (auto [request, sent] : cases) {
    JobDatabase db;
    EXPECT_TRUE(request.run(db)) << request.message.as_string();
    EXPECT_EQ(db.commands(),
              (std::vector<std::string>{
                  "EXEC SP_QRN_INC_JOB2   " + sent,
                  "EXEC SP_QRN_INCLUI_PARAMETRO_JOB   41, '__JOB__41__10__3____0__7__10', 25"}));
    EXPECT_EQ(request.job_id, Variant(41));
    EXPECT_EQ(request.message, Variant("(message)"));
    EXPECT_EQ(request.parameters, Variant(Variant::Array{"10", "3", "", "0", "7", "10"}));
    EXPECT_TRUE(db.logged().empty());
  }
}

TEST(JobRequest, PlainSqlWritesTheRowsOnOracle) {
  JobDatabase db;
  db.exec("UPDATE infra_ids SET LOG_GERADOR_ID = 40, LOG_SISTEMA_ID = 7");
  Request request = with_email("ORACLE");
  ASSERT_TRUE(request.run(db)) << request.message.as_string();

  auto change = [](const std::string& id) {
    return std::vector<std::string>{
        "SELECT LOG_SISTEMA_ID FROM infra_ids", " Update infra_ids set LOG_SISTEMA_ID = " + id,
        " Insert  Into LOG_SISTEMA (  LOG_SISTEMA_ID,  TABELA_SISTEMA_ID,  TAB_TIPO_ACAO_ID,  "
        "USUARIO_ID,  registro_id,  data_log )  Values ( " +
            id + " , 490 , 1 , 25 , 41 ,  SYSDATE )  "};
  };
  std::vector<std::string> sent = {
      "SELECT  LOG_GERADOR_ID FROM infra_ids ", "UPDATE infra_ids SET LOG_GERADOR_ID = 41",
      " INSERT  INTO LOG_GERADOR  ( LOG_GERADOR_ID ,  USUARIO_INTERNET_ID ,  FUNCAO_ID ,  "
      "TITULO_EMAIL ,  FLAG_ENVIA_EMAIL ,  TEXTO_EMAIL ,  ENDERECO_EMAIL ,  Tab_Status_JOB_ID,  "
      "Data_Inicio,  Email_Remetente,  Endereco_anexo  )  VALUES  (    41 ,   25 ,   2266 ,   "
      "'AVISO DE COLETA SP' ,   'S' ,   'COLETA ÀS 10H' ,   'OPS@EXAMPLE.COM' ,   1 ,   "
      "to_date('2010/09/16 17:05:00', 'yyyy/mm/dd hh24:mi:ss') ,   'NOREPLY@EXAMPLE.COM' ,  NULL "
      ") "};
  for (auto& text : change("8")) sent.push_back(text);
  sent.push_back(" Select 0 Retorno, '' MSG_RET , 41 Log_Gerador_ID From Infra_IDS ");
  sent.push_back(
      " UPDATE LOG_GERADOR  SET  TXT_QUERY =    '__JOB__41__10__3____0__7__10' WHERE "
      "LOG_GERADOR_ID  = 41");
  for (auto& text : change("9")) sent.push_back(text);
  sent.push_back(" Select 0 Retorno, '' Msg_Ret From Infra_IDS ");
  EXPECT_EQ(db.commands(), sent);

  EXPECT_EQ(request.job_id, Variant(41));
  EXPECT_EQ(request.message, Variant("(message)"));
  EXPECT_EQ(db.query("SELECT * FROM LOG_GERADOR"),
            (Rows{{41, 25, 2266, "AVISO DE COLETA SP", "S", "COLETA ÀS 10H", "OPS@EXAMPLE.COM", 1,
                   "2010/09/16 17:05:00", "NOREPLY@EXAMPLE.COM", Variant::null(),
                   "__JOB__41__10__3____0__7__10"}}));
  EXPECT_EQ(db.query("SELECT LOG_SISTEMA_ID, TABELA_SISTEMA_ID, TAB_TIPO_ACAO_ID, USUARIO_ID, "
                     "registro_id, data_log LIKE '____/__/__ __:__:__' FROM LOG_SISTEMA"),
            (Rows{{8, 490, 1, 25, 41, 1}, {9, 490, 1, 25, 41, 1}}));
  EXPECT_EQ(db.query("SELECT * FROM infra_ids"), (Rows{{41, 9}}));
  EXPECT_TRUE(db.logged().empty());
}

TEST(JobRequest, RefusalsAreAnsweredAndLogged) {
  const auto job_procedure = [](const std::string& procedure, const std::string& body) {
    return "UPDATE qrn_procedure SET body = '" + body + "' WHERE name = '" + procedure + "'";
  };
  // Request, SQL run on the file first, and the message; a blank kind or connection leaves
  // the log nowhere to write.
  const std::tuple<Request, std::string, std::string> cases[] = {
      {{.kind = "  "}, "", "Informações de configuração do sistema incompletas (Banco de Dados)."},
      {{.connection = " "},
       "",
       "Informações de configuração do sistema incompletas (String de Conexão)."},
      {{.user = "abc"},
       "",
       "Informações de configuração do sistema incompletas (Código do Usuário)."},
      {{.count = "x"}, "", "Quantidade de parâmetros informada inválida."},
      {{.function = "12a"}, "", "Preencha Código da Função com valor numérico"},
      {{.send_email = "NN"}, "", "Preencha Envia E-Mail (S/N) com, no máximo, 1 caracteres."},
      {{.start = "31/02/2010"}, "", "Informe uma data de início válida."},
      {{.send_email = "S", .email_text = "b", .email_address = "a"},
       "",
       "Preencha Título do E-Mail"},
      {{.title = "t", .send_email = "S", .email_address = std::string(101, 'x')},
       "",
       "Preencha Destinatário do E-Mail com, no máximo, 100 caracteres."},
      {{}, "DELETE FROM infra_ids", "Não há registro no banco de dados na tabela Infra_ids. "},
      {{.kind = "SQLSERVER"},
       job_procedure("SP_QRN_INC_JOB2", "SELECT 0 AS retorno WHERE 0"),
       "Problemas na inclusão do JOB."},
      {{.kind = "SQLSERVER"},
       job_procedure("SP_QRN_INC_JOB2", "SELECT 3 AS retorno, ''Função inativa'' AS Msg_Ret"),
       "Problemas na inclusão do JOB (Função inativa)."},
      {{.kind = "SQLSERVER"},
       job_procedure("SP_QRN_INCLUI_PARAMETRO_JOB", "DELETE FROM LOG_MSG WHERE 0"),
       "Problemas na inclusão dos parâmetros do JOB."},
      {{.kind = "SQLSERVER"},
       job_procedure("SP_QRN_INCLUI_PARAMETRO_JOB", "SELECT -1 AS retorno, NULL AS Msg_Ret"),
       "Problemas na inclusão dos parâmetros do JOB ()."},
  };
  for (auto [request, setup, message] : cases) {
    SCOPED_TRACE(message);
    JobDatabase db;
    if (!setup.empty()) db.exec(setup);
    EXPECT_FALSE(request.run(db));
    EXPECT_EQ(request.message, Variant(message));
    const bool logged =
        !trim(to_text(request.kind)).empty() && !trim(to_text(request.connection)).empty();
    const std::string text =
        "ZEL_JOB.gInclui_JOB - " + to_text(gRetira_Caracteres_Especiais(message));
    EXPECT_EQ(db.logged(), logged ? Rows{{text}} : Rows{});
    EXPECT_EQ(db.query("SELECT count(*) FROM LOG_GERADOR"), Rows{{0}});
  }
}

TEST(JobRequest, FailuresAreReportedWithTheirContext) {
  // Request, SQL run on the file first, and what user 1 is shown: the user message, then
  // (from " Z") the context. Other users see the message alone.
  const std::tuple<Request, std::string, std::string> cases[] = {
      {{.count = 7},
       "",
       "Acesso a inclusão do JOB não disponível. Favor tentar mais tarde. Zel_JOGB.gInclui_JOB ( "
       "Subscript out of range : 9)   No Nº 6 Strsq: "},
      {{},
       "ALTER TABLE infra_ids RENAME COLUMN LOG_GERADOR_ID TO X",
       "Acesso aos SQL não disponível. Favor tentar mais tarde. ZEL_SQL1.gAtualiza_infra_ids ( no "
       "such column: LOG_GERADOR_ID : -2147217900)   No Nº 1 strsq: SELECT  LOG_GERADOR_ID FROM "
       "infra_ids "},
      {{},
       "ALTER TABLE LOG_GERADOR RENAME COLUMN TXT_QUERY TO X",
       "Acesso a inclusão dos parãmetros do JOB não disponível. Favor tentar mais tarde. "
       "Zel_JOGB.mTrataSP_QRN_INCLUI_PARAMETRO_JOB ( no such column: TXT_QUERY : -2147217900)   No "
       "Nº 1 Strsq:  UPDATE LOG_GERADOR  SET  TXT_QUERY =    '__JOB__1__10__3____0__7__10' WHERE "
       "LOG_GERADOR_ID  = 1"},
  };
  for (const auto& [request, setup, shown] : cases) {
    for (const int user : {1, 25}) {
      SCOPED_TRACE(shown + ", user " + std::to_string(user));
      JobDatabase db;
      if (!setup.empty()) db.exec(setup);
      Request failing = request;
      failing.user = user;
      EXPECT_FALSE(failing.run(db));
      const std::string message = shown.substr(0, shown.find(" Z"));
      EXPECT_EQ(failing.message, Variant(user == 1 ? shown : message));
      // The failing routine's row; after a step, the request's refusal row too.
      const Rows log = db.logged();
      ASSERT_EQ(log.size(), shown.find("gInclui_JOB") == std::string::npos ? 2u : 1u);
      EXPECT_EQ(log[0][0].as_string().rfind(message + " Z", 0), 0u) << log[0][0].as_string();
      // Whole or not at all: no job row, no id spent, no change logged.
      EXPECT_EQ(db.query("SELECT count(*) FROM LOG_GERADOR"), Rows{{0}});
      EXPECT_EQ(db.query("SELECT count(*) FROM LOG_SISTEMA"), Rows{{0}});
      EXPECT_EQ(db.query("SELECT * FROM infra_ids"), (Rows{{0, 0}}));
    }
  }
}

// A job whose parameters cannot be stored is not left behind for a job runner to pick up,
// whichever way the rows are written; the refusal is still in the message log.
TEST(JobRequest, AJobIsWrittenWholeOrNotAtAll) {
  for (const char* kind : {"SQLSERVER", "ORACLE"}) {
    SCOPED_TRACE(kind);
    TestDatabase db(true);
    db.redefine("SP_QRN_INCLUI_PARAMETRO_JOB", "a, b, c",
                "SELECT 1 AS retorno, 'Sem espaço.' AS Msg_Ret");
    if (std::string(kind) == "ORACLE")
      db.exec("CREATE TRIGGER no_parameters BEFORE UPDATE OF TXT_QUERY ON LOG_GERADOR "
              "BEGIN SELECT RAISE(ABORT, 'sem espaço'); END");
    Request request{.kind = kind};
    EXPECT_FALSE(request.run(db));
    EXPECT_EQ(db.query("SELECT count(*) FROM LOG_GERADOR"), Rows{{0}});
    EXPECT_EQ(db.query("SELECT count(*) FROM LOG_MSG WHERE MSG01 LIKE '%gInclui_JOB%'"), Rows{{1}});
  }
}

// The change log is an audit trail: a change it cannot record never stops the job.
TEST(JobRequest, AChangeLogThatCannotBeWrittenLeavesTheJobDone) {
  JobDatabase db;
  db.exec("DROP TABLE LOG_SISTEMA");
  Request request;
  EXPECT_TRUE(request.run(db)) << request.message.as_string();
  EXPECT_EQ(request.message, Variant("(message)"));
  EXPECT_EQ(db.query("SELECT LOG_GERADOR_ID, TXT_QUERY FROM LOG_GERADOR"),
            (Rows{{1, "__JOB__1__10__3____0__7__10"}}));
  EXPECT_TRUE(db.logged().empty());
}

TEST(JobRequest, PlainSqlLiterals) {
  testing::LocaleScope comma("pt_BR");
  using Builder = std::string (*)(const Variant&, std::string_view);
  const Builder number = jobs::plain_number, text = jobs::plain_text, date = jobs::plain_date;
  const std::tuple<Builder, Variant, const char*, std::string> cases[] = {
      {number, "12,5", "", "  12,5"},
      {number, 12, ">=", " >= 12"},
      {number, "abc", "", " null"},
      {number, 0, "=", " is null"},
      {number, Variant::null(), "<>", " is not null"},
      {text, "Ação nº 5", "", "  'AÇÃO Nº 5'"},
      {text, "x", "<>", " <> 'X'"},
      {text, Variant::null(), "", " NULL"},
      {text, "", "=", " IS NULL"},
      {date, Date::from_parts(2010, 9, 16), "<",
       " < to_date('2010/09/16 00:00:00', 'yyyy/mm/dd hh24:mi:ss')"},
      {date, "", ">", " null"},
  };
  for (const auto& [builder, value, comparison, literal] : cases)
    EXPECT_EQ(builder(value, comparison), literal);
}

TEST(JobRequest, ConcurrentRequestsGetDistinctIds) {
  constexpr int kThreads = 8, kRequests = 100;
  JobDatabase db;
  std::vector<std::set<std::int32_t>> ids(kThreads);
  std::vector<std::string> failures(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < kRequests; ++i) {
        Request request;
        if (!request.run(db)) failures[t] = request.message.as_string();
        ids[t].insert(to_long(request.job_id));
      }
      data::close_cached_connections();
    });
  for (auto& thread : threads) thread.join();

  std::set<std::int32_t> all;
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(failures[t], "");
    all.insert(ids[t].begin(), ids[t].end());
  }
  constexpr int kJobs = kThreads * kRequests;
  EXPECT_EQ(all.size(), static_cast<std::size_t>(kJobs));
  EXPECT_EQ(db.query("SELECT count(DISTINCT LOG_GERADOR_ID), count(*), min(LOG_GERADOR_ID), "
                     "max(LOG_GERADOR_ID) FROM LOG_GERADOR"),
            (Rows{{kJobs, kJobs, 1, kJobs}}));
  EXPECT_EQ(db.query("SELECT count(DISTINCT LOG_SISTEMA_ID), count(*) FROM LOG_SISTEMA"),
            (Rows{{2 * kJobs, 2 * kJobs}}));
  EXPECT_EQ(db.query("SELECT * FROM infra_ids"), (Rows{{kJobs, 2 * kJobs}}));
  EXPECT_TRUE(db.logged().empty());
}

}  // namespace
}  // namespace qrnmvl
