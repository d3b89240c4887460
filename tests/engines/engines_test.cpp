// The operations on the embedded engine and on the tested server (MariaDB through
// ODBC), from one fixture: the same calls give the same answers and leave the
// same rows in every table, moments of writing aside.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <ctime>
#include <map>
#include <mutex>
#include <cctype>
#include <sstream>
#include <thread>

#include "closing_form.hpp"
#include "common/json_value.hpp"
#include "common/values.hpp"
#include "data/connection.hpp"
#include "data/server_reference.hpp"
#include "demo.hpp"
#include "jobs/jobs.hpp"
#include "routine/message_log.hpp"
#include "support/test_database.hpp"

namespace qrnmvl {
namespace {

using testing::Engine;
using testing::TestDatabase;

// The kinds of database a caller names, and the statement a connection of that
// kind runs when it opens (the server's Oracle mode gives SYSDATE and ||).
struct Kind {
  const char* name;
  const char* init_statement;
};
const Kind kKinds[] = {{"SQLSERVER", ""},
                       {"ORACLE", "SET SESSION sql_mode=CONCAT(@@sql_mode, ',ORACLE')"}};

// A moment written while the test ran ("now", in the forms the databases and the
// demo print it) stands out from the data's own dates, which are all in the past.
// Scanned by hand: a regular expression over every row is too slow under the
// sanitizers.
std::string masked_moments(std::string text) {
  char today[3][16];
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::strftime(today[0], sizeof today[0], "%Y/%m/%d", &local);
  std::strftime(today[1], sizeof today[1], "%d/%m/%Y", &local);
  std::strftime(today[2], sizeof today[2], "%Y-%m-%d", &local);
  const auto digits = [&](std::size_t at, std::size_t count) {
    for (std::size_t i = at; i < at + count; ++i)
      if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) return false;
    return true;
  };
  for (const std::string day : today) {
    for (std::size_t at = text.find(day); at != std::string::npos; at = text.find(day, at)) {
      std::size_t end = at + day.size();
      // " hh:mm" (or ISO's "Thh:mm"), then ":ss", then an offset "+hh:mm"
      if (end < text.size() && (text[end] == ' ' || text[end] == 'T') && digits(end + 1, 2) &&
          end + 3 < text.size() && text[end + 3] == ':' && digits(end + 4, 2)) {
        end += 6;
        if (end < text.size() && text[end] == ':' && digits(end + 1, 2)) end += 3;
        if (end < text.size() && (text[end] == '+' || text[end] == '-') && digits(end + 1, 2) &&
            end + 3 < text.size() && text[end + 3] == ':' && digits(end + 4, 2))
          end += 6;
      }
      text.replace(at, end - at, "<now>");
      at += 5;
    }
  }
  return text;
}

// Every table's rows, each row one line of JSON, sorted: what the calls left behind.
std::map<std::string, std::vector<std::string>> contents(const TestDatabase& db) {
  std::map<std::string, std::vector<std::string>> out;
  for (const std::string& table : db.tables()) {
    const std::string name = table.substr(0, table.find('('));
    std::vector<std::string>& lines = out[name];
    for (const auto& row : db.query("SELECT * FROM " + name))
      lines.push_back(masked_moments(to_json(Variant(Variant::Array(row))).dump()));
    std::sort(lines.begin(), lines.end());
  }
  return out;
}

class Engines : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const std::string why = testing::server_unavailable_reason(); !why.empty())
      GTEST_SKIP() << why;
  }
};

// Everything a shell command prints.
std::string output_of(const std::string& command) {
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    ::pclose(pipe);
  }
  return out;
}

// One source of truth for two dialects: the same tables with the same columns.
TEST_F(Engines, HoldTheSameTablesAndColumns) {
  const TestDatabase embedded(Engine::Embedded, false);
  const TestDatabase server(Engine::MariaDB, false);
  EXPECT_EQ(embedded.tables(), server.tables());
}

// The demo's road on both engines and both kinds: the ports of a branch and a user no
// branch knows, an order loaded, the incident checklist with a refusal and a recording,
// validation refusals, closings of order types 1, 2, 7, 8 and 9 with their tracking and
// jobs, and a closing the database refuses part-way.
TEST_F(Engines, TheDemoAnswersAndWritesAlike) {
  for (const Kind& kind : kKinds) {
    SCOPED_TRACE(kind.name);
    std::string printed[2];
    std::map<std::string, std::vector<std::string>> left[2];
    for (const Engine engine : {Engine::Embedded, Engine::MariaDB}) {
      SCOPED_TRACE(testing::engine_name(engine));
      const TestDatabase db(engine, true, kind.init_statement);
      std::ostringstream out;
      QrnMvl component;
      tool::DemoContext demo{component, db.connection_text(), out, kind.name};
      tool::run_demo(demo);
      data::close_cached_connections();
      const int side = engine == Engine::Embedded ? 0 : 1;
      printed[side] = masked_moments(out.str());
      // An operator's views of what the road did read alike through either driver.
      if (const char* tool = std::getenv("QRNMVL_TOOL")) {
        std::string quoted;  // the connection text as one shell word
        for (const char c : db.connection_text()) quoted += c == '\'' ? "'\\''" : std::string(1, c);
        for (const char* view : {"order 1004 --json", "events --order 503 --json",
                                 "events --order 503 --format dcsa", "jobs --json"})
          printed[side] += masked_moments(output_of(std::string("'") + tool + "' " + view +
                                                        " --time-zone +00:00 --connection '" +
                                                        quoted + "' 2>&1"));
      }
      left[side] = contents(db);
    }
    EXPECT_EQ(printed[0], printed[1]);
    EXPECT_EQ(left[0], left[1]);
    // Both sides did the work rather than failing alike: every closing of the road
    // answered, and each order type's closing left its events.
    std::istringstream lines(printed[1]);
    int closed = 0;
    for (std::string line; std::getline(lines, line);)
      closed += line.find("gGrava_Fechamento(record") != std::string::npos &&
                line.find("-> result 0") != std::string::npos;
    EXPECT_EQ(closed, 5) << printed[1];
    EXPECT_GT(left[1]["TRACKING"].size(), 0u);
    EXPECT_GT(left[1]["LOG_GERADOR"].size(), 0u);
  }
}

// A procedure missing on the server fails the closing at run time: result 10, the
// routine's message, and a row in the message log, on both engines. The database's own
// words differ by engine; what the routine says around them does not.
TEST_F(Engines, ARunTimeFailureIsAnsweredAndLogged) {
  std::string messages[2], logged[2];
  for (const Engine engine : {Engine::Embedded, Engine::MariaDB}) {
    SCOPED_TRACE(testing::engine_name(engine));
    const TestDatabase db(engine, true);
    db.drop_procedure("SP_VLM_GRA_FECHA_OS_TIPO5");
    QrnMvl component;
    tool::Session session;
    session.connection_text = db.connection_text();
    const tool::Call loaded = tool::load_order(component, session, Variant(1004));
    ASSERT_EQ(to_text(loaded.result()), "0");
    tool::Call form = tool::closing_form(session, loaded);
    const Variant day = loaded["outvntdata_servico"];
    for (const char* name : {"invntData_Ini_Execucao", "invntData_Fim_Execucao",
                             "invntData_Retirada", "invntData_Entrega"})
      form[name] = day;
    form["invntHora_Ini_Execucao"] = Variant("08:00");
    form["invntHora_Fim_Execucao"] = Variant("17:30");
    form["invntHora_Retirada"] = Variant("07:10");
    form["invntHora_Entrega"] = Variant("18:20");
    form["invntnum_documento"] = Variant("004530");
    EXPECT_EQ(to_text(form.run(component)), "10");
    const int side = engine == Engine::Embedded ? 0 : 1;
    messages[side] = to_text(form["outvntMsg_Ret"]);
    const auto rows = db.query("SELECT MSG01 FROM LOG_MSG");
    ASSERT_EQ(rows.size(), 1u);
    logged[side] = to_text(rows[0][0]);
    data::close_cached_connections();
  }
  EXPECT_EQ(messages[0], messages[1]);
  for (const std::string& text : logged) {
    EXPECT_NE(text.find("SP_VLM_GRA_FECHA_OS_TIPO5"), std::string::npos) << text;
  }
  const std::string routine =
      "Acesso ao Fechamento da OS não disponível. Favor tentar mais tarde. - "
      "QrnMvl.mAltera_Campos_ORDEM_SERVICO_TIPO ";
  for (const std::string& text : logged) EXPECT_EQ(text.rfind(routine, 0), 0u) << text;
}

// One job request (the job of a tracking event) on the connection text, as the
// closing queues it; false with the message when it was not done.
bool queue_job(const char* kind, const std::string& text, std::string& refusal) {
  Variant kind_value(kind), connection(text), user(25), message, function(2266), title(""),
      send("N"), job, parameters(Variant::Array{10, 3, "", 0, 7, 10}), count(6), body(""),
      address(""), start("16/09/2010 17:05"), sender(""), attachment("");
  const bool done = jobs::gInclui_JOB(kind_value, connection, user, message, function, title, send,
                                      job, parameters, count, body, address, start, sender,
                                      attachment);
  if (!done) refusal = to_text(message);
  return done;
}

// Job requests from four threads at once on the server's default READ COMMITTED: each is
// written whole under an id of its own, on both kinds. On "ORACLE" the plain reading and
// writing of the id counter is made safe by the serializable transaction the component runs
// it in, and the conflicts that brings are tried again.
TEST_F(Engines, ConcurrentJobRequestsOnTheServer) {
  constexpr int kThreads = 4, kRequests = 6;
  for (const Kind& kind : kKinds) {
    SCOPED_TRACE(kind.name);
    const TestDatabase db(Engine::MariaDB, true, kind.init_statement);
    std::vector<std::string> failures;
    std::mutex failed;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
      threads.emplace_back([&] {
        for (int i = 0; i < kRequests; ++i) {
          std::string refusal;
          if (!queue_job(kind.name, db.connection_text(), refusal)) {
            const std::lock_guard lock(failed);
            failures.push_back(refusal);
          }
        }
        data::close_cached_connections();
      });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(failures, std::vector<std::string>{});
    EXPECT_EQ(db.query("SELECT count(DISTINCT LOG_GERADOR_ID), count(*), "
                       "CAST(sum(TXT_QUERY LIKE CONCAT('__JOB__', LOG_GERADOR_ID, '__%')) AS SIGNED) "
                       "FROM LOG_GERADOR"),
              (std::vector<std::vector<Variant>>{
                  {kThreads * kRequests, kThreads * kRequests, kThreads * kRequests}}));
  }
}

// The last line a shell command prints.
std::string last_line_of(const std::string& command) {
  std::string out = output_of(command);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out.substr(out.rfind('\n') + 1);
}

// A server of its own killed (-9) and started again while job requests run on two threads:
// each request in flight is done whole or refused, none leaves a job without its parameters,
// and every request begun after the restart is done, with no step by hand.
TEST_F(Engines, AServerKilledAndStartedAgainLosesNothingHalfWritten) {
  const std::string script =
      (std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "scripts" /
       "mariadb")
          .string();
  std::string dir = (std::filesystem::temp_directory_path() / "qrnmvl-restart-XXXXXX").string();
  ASSERT_NE(::mkdtemp(dir.data()), nullptr);
  // Stopped and removed however the test ends, a failed assertion included.
  struct Server {
    const std::string& script;
    const std::string& dir;
    ~Server() {
      std::system((script + " stop " + dir + " >/dev/null 2>&1").c_str());
      std::filesystem::remove_all(dir);
    }
  } const server{script, dir};
  const std::string text = last_line_of(script + " start " + dir + " 2>&1");
  ASSERT_EQ(text.rfind("Driver=", 0), 0u) << text;
  data::install_reference_database(*data::open_connection(text), true, true);

  std::atomic<bool> stopping{false}, restarted{false};
  std::atomic<int> done_after{0};
  std::vector<std::string> failed_after;
  std::mutex failed;
  std::vector<std::thread> threads;
  for (int t = 0; t < 2; ++t)
    threads.emplace_back([&] {
      while (!stopping) {
        const bool after = restarted;
        std::string refusal;
        const bool done = queue_job("SQLSERVER", text, refusal);
        if (!after) continue;
        if (done) {
          ++done_after;
        } else {
          const std::lock_guard lock(failed);
          failed_after.push_back(refusal);
        }
      }
      data::close_cached_connections();
    });
  // kill -9 returns before the process is gone: started again at once, the script
  // would still see it running and keep it.
  const std::string crash = "pid=$(cat " + dir + "/mariadb.pid) && kill -9 $pid && while grep -qs "
                            "'^State:[[:space:]]*[^ZX]' /proc/$pid/status; do sleep 0.05; done";
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ASSERT_EQ(std::system(crash.c_str()), 0);
  EXPECT_EQ(last_line_of(script + " start " + dir + " 2>&1"), text);
  restarted = true;
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  stopping = true;
  for (auto& thread : threads) thread.join();
  EXPECT_GT(done_after.load(), 0);
  EXPECT_EQ(failed_after, std::vector<std::string>{});

  // A host idle while the server restarts: its first request after is done too.
  std::string refusal;
  const auto request = [&] { return queue_job("SQLSERVER", text, refusal); };
  ASSERT_TRUE(request());
  ASSERT_EQ(std::system(crash.c_str()), 0);
  EXPECT_EQ(last_line_of(script + " start " + dir + " 2>&1"), text);
  EXPECT_TRUE(request());
  data::close_cached_connections();
  {
    const auto checked = data::open_connection(text);
    const auto half = checked->execute(
        "SELECT count(*) AS n FROM LOG_GERADOR WHERE TXT_QUERY IS NULL OR TXT_QUERY NOT LIKE "
        "CONCAT('__JOB__', LOG_GERADOR_ID, '%')");
    EXPECT_EQ(to_long(half.field("n")), 0);
  }
}

// The message log writes its texts as quoted literals: a backslash is a backslash on
// every engine (the server runs with NO_BACKSLASH_ESCAPES), at the end of a text too.
TEST_F(Engines, TheMessageLogKeepsBackslashes) {
  const char* const texts[] = {R"(C:\temp\new)", R"(ends with \)", R"(two \\ and \n)"};
  for (const Engine engine : {Engine::Embedded, Engine::MariaDB}) {
    for (const Kind& kind : kKinds) {
      SCOPED_TRACE(std::string(testing::engine_name(engine)) + " " + kind.name);
      const TestDatabase db(engine, false, kind.init_statement);
      for (const char* text : texts)
        gGrava_LOG_MSG(Variant(kind.name), db.connection(), Variant(25), Variant(1),
                       Variant(text));
      data::close_cached_connections();
      std::vector<std::string> stored;
      for (const auto& row : db.query("SELECT MSG01 FROM LOG_MSG ORDER BY LOG_MSG_ID"))
        stored.push_back(to_text(row[0]));
      EXPECT_EQ(stored, std::vector<std::string>(std::begin(texts), std::end(texts)));
    }
  }
}

}  // namespace
}  // namespace qrnmvl
