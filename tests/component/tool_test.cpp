// The command-line tool, run as a user would run it.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <qrnmvl/qrnmvl.hpp>
#include <regex>
#include <sstream>
#include <tuple>

#include "common/values.hpp"
#include "data/connection.hpp"
#include "data/requirements.hpp"
#include "support/test_database.hpp"

namespace qrnmvl {
namespace {

namespace fs = std::filesystem;

struct ToolRun {
  int exit_code;
  std::string out, err;
};

// Each test runs the tool in the folder of a fresh database, which goes with it.
class Tool : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!tool_) GTEST_SKIP() << "QRNMVL_TOOL is not set";
  }

  // `environment` goes before the tool, e.g. "env -u NAME".
  ToolRun run(const std::string& args, const std::string& input = "",
              const std::string& environment = "") const {
    std::ofstream(dir_ / "in") << input;
    const std::string command = environment + " '" + std::string(tool_) + "' " + args + " <'" +
                                (dir_ / "in").string() + "' >'" + (dir_ / "out").string() +
                                "' 2>'" + (dir_ / "err").string() + "'";
    const int status = std::system(command.c_str());
    const auto slurp = [&](const char* name) {
      std::ostringstream text;
      text << std::ifstream(dir_ / name).rdbuf();
      return text.str();
    };
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp("out"), slurp("err")};
  }

  const char* tool_ = std::getenv("QRNMVL_TOOL");
  testing::TestDatabase db;
  const fs::path dir_ = fs::path(db.path()).parent_path();
};

// A usage error exits 2 with one line; a call that ran exits 0, whatever its result.
TEST_F(Tool, ExitCodes) {
  const std::string created = (dir_ / "created.db").string();
  ASSERT_EQ(run("init " + created + " --demo").exit_code, 0);
  const std::pair<std::string, std::string> cases[] = {
      // arguments, standard input
      {"", ""},
      {"frobnicate", ""},
      {"call gNoSuchOperation --db " + db.path(), "{}"},
      {"call gConsulta_Porto_Ponto --db " + db.path(), "{not json"},
      {"call gConsulta_Porto_Ponto --db " + db.path(), R"({"no_such_parameter": 1})"},
      {"call gConsulta_Porto_Ponto --db " + (dir_ / "missing.db").string(), "{}"},
      {"call gConsulta_Porto_Ponto --db " + db.path(), R"({"invntBase_dados": 1e400})"},
      {"call gConsulta_Porto_Ponto --db " + db.path(), std::string(100000, '[')},
      {"call gConsulta_Porto_Ponto --db " + db.path(), R"({"invntBase_dados": "a\u0000b"})"},
      {"call 'g\nX' --db " + db.path(), "{}"},
      {"call gConsulta_Porto_Ponto --params " + (dir_ / "missing.json").string(), ""},
      {"init " + created, ""},  // exists, no --force
      {"close 1004 --db " + db.path() + " --set no_such_parameter=1", ""},
      {"close 1004 --db " + db.path() + " --start 17/10/2025", ""},
      {"close 1004 --db " + db.path() + " --set arrPeso", ""},
      {"close 1004 --db " + db.path() + " --kind DB2", ""},
      {"events --db " + db.path(), ""},  // which order?
      {"ping", ""},
      {"ping --kind ORACLE", ""},
      {"ping --db " + db.path() + " --connection 'DSN=x'", ""},
      {"ping --db " + db.path() + " --kind DB2", ""},
      {"ping --db " + db.path() + ".missing", ""},
      // The tool's own options are never overridden by the call, and a connection text that
      // would load code or write files is refused before anything opens.
      {"call gConsulta_Porto_Ponto --db " + db.path(),
       R"({"invntConecta_db": "Provider=SQLite;Data Source=/tmp/other.db"})"},
      {"call gConsulta_Porto_Ponto --connection 'Driver=" + (dir_ / "evil.so").string() + "'",
       "{}"},
      {"call gConsulta_Porto_Ponto", R"({"invntConecta_db": "DSN=x;SAVEFILE=/tmp/x.dsn"})"},
      {"call gConsulta_Porto_Ponto --trace " + (dir_ / "t.jsonl").string(),
       R"({"invntConecta_db": "Provider=SQLite;Data Source=)" + db.path() + R"(;X=\""})"},
  };
  for (const auto& [args, input] : cases) {
    SCOPED_TRACE(args);
    const ToolRun r = run(args, input);
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.err.rfind("qrnmvl: ", 0), 0u) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
  }
  ASSERT_EQ(run("init " + created + " --force").exit_code, 0);  // replaced, without demo data
  // The database just created works: nobody has ports there.
  const ToolRun failed =
      run("call gConsulta_Porto_Ponto --db " + created,
          R"({"invntUsuario_internet_id": 999, "invntBase_dados": "SQLSERVER"})");
  EXPECT_EQ(failed.exit_code, 0) << failed.err;
  EXPECT_EQ(nlohmann::json::parse(failed.out)["result"], 10);
}

// The help of "call" is what a caller writes a JSON call from: every operation
// and each of its parameters, in call order.
TEST_F(Tool, HelpListsEveryParameterInOrder) {
  const ToolRun r = run("call --help");
  ASSERT_EQ(r.exit_code, 0);
  for (const auto& op : operations()) {
    std::size_t at = r.out.find("\n  " + std::string(op.name) + "\n");
    ASSERT_NE(at, std::string::npos) << op.name;
    for (const auto& name : op.parameters) {
      at = r.out.find(" " + name, at);
      ASSERT_NE(at, std::string::npos) << op.name << " " << name;
    }
  }
}

// Each command states the exit codes of what it does, once: a command that
// showed the tool's own table would contradict itself.
TEST_F(Tool, EachHelpEndsWithItsOwnExitCodes) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "Exit codes: 0 success; 2 a usage error"},
      {"init", "Exit codes: 0 the database was created; 1 an internal error; 2 a usage error"},
      {"call", "Exit codes: 0 the call ran, whatever its result"},
      {"close", "Exit codes: 0 the closing ran, whatever its result"},
      {"events", "Exit codes: 0 listed"},
      {"jobs", "Exit codes: 0 listed"},
      {"ping", "Exit codes: 0 the database holds everything the kind needs; 1 something is"},
      {"serve", "Exit codes: 0 stopped by SIGTERM or SIGINT"},
      {"demo", "Exit codes: 0 the demo ran"},
  };
  for (const auto& [command, codes] : cases) {
    SCOPED_TRACE(command);
    const ToolRun r = run(std::string(command) + " --help");
    ASSERT_EQ(r.exit_code, 0);
    const std::size_t at = r.out.find("Exit codes: ");
    EXPECT_EQ(r.out.find(codes), at) << r.out;
    EXPECT_EQ(r.out.find("Exit codes: ", at + 1), std::string::npos) << r.out;
  }
}

TEST_F(Tool, PrintsTheLibrarysVersion) {
  const ToolRun r = run("--version");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "qrnmvl " + std::string(version()) + "\n");
  EXPECT_TRUE(std::regex_match(version(), std::regex(R"(\d+\.\d+\.\d+)"))) << version();
}

TEST_F(Tool, CallsAnOperationUnderEitherLocale) {
  db.redefine("SP_QRN_CON_PORTO_PONTO3", "USUARIO_INTERNET_ID",
              "SELECT 4 AS PONTO_OPERACAO_ID, 9 AS PORTO_ID, 'Terminal 2.5' AS nome_porto");
  const std::pair<const char*, const char*> cases[] = {{"pt_BR", "Terminal 2,5"},
                                                       {"en_US", "Terminal 2.5"}};
  for (const auto& [locale, name] : cases) {
    SCOPED_TRACE(locale);
    const ToolRun r = run(
        "call gConsulta_Porto_Ponto --connection '" + db.connection_text() + "' --locale " + locale,
        R"({"invntUsuario_internet_id": 1, "invntBase_dados": "SQLSERVER"})");
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const auto answer = nlohmann::json::parse(r.out);
    EXPECT_EQ(answer["result"], 0);
    EXPECT_EQ(answer["parameters"]["outarrvntnome_porto"][0], name);
    EXPECT_EQ(answer["parameters"]["invntConecta_db"], db.connection_text());
  }
  EXPECT_EQ(db.commands().size(), 2u);
}

// ping reports what the database holds and what is missing, with what the connection says of
// itself first.
TEST_F(Tool, PingReportsWhatIsThereAndWhatIsMissing) {
  const auto heading = [](const std::string& connection_text, const char* kind) {
    const data::ServerInfo info = data::open_connection(connection_text)->server_info();
    return "Server: " + info.dbms_name + " " + info.dbms_version + "\nDriver: " + info.driver_name +
           " " + info.driver_version + "\nKind: " + kind + "\n";
  };
  testing::TestDatabase dropped;
  dropped.exec(
      "DELETE FROM qrn_procedure WHERE name IN ('SP_QRN_INC_JOB2', 'SP_VLM_INC_TRACKING7');"
      "DROP TABLE LOG_GERADOR");
  const std::string odbc = "Driver=SQLite3;Database=" + dropped.path();
  // The stand-in's catalog lists no procedures (it has none); its tables it lists.
  std::string missing;
  for (const auto& procedure : data::kRequiredProcedures)
    if (data::is_needed(procedure, "ORACLE")) missing += "  " + std::string(procedure.name) + "\n";
  const std::tuple<std::string, int, std::string> cases[] = {
      {"--db '" + db.path() + "'", 0,
       heading("Provider=SQLite;Data Source=" + db.path(), "SQLSERVER") +
           "Stored procedures: 29 of 29 present\nTables: 1 of 1 present\nReady.\n"},
      {"--kind ORACLE --connection '" + odbc + "'", 1,
       heading(odbc, "ORACLE") + "Stored procedures: 0 of 27 present; missing:\n" + missing +
           "Tables: 3 of 4 present; missing:\n  LOG_GERADOR\n"
           "Not ready: missing 27 stored procedures and 1 table.\n"},
      {"--connection 'DSN=qrnmvl_no_such_source'", 1,
       "qrnmvl: cannot check the database: [unixODBC][Driver Manager]Data source name not found "
       "and no default driver specified (SQLSTATE IM002, native 0)\n"}};
  for (const auto& [args, exit_code, output] : cases) {
    const ToolRun r = run("ping " + args);
    EXPECT_EQ(r.exit_code, exit_code) << args;
    EXPECT_EQ(r.out + r.err, output) << args;
  }
}

// The call opens a named data source (from the test's own odbc.ini) and runs the operation,
// whose procedure the stand-in refuses: a result, not a usage error.
TEST_F(Tool, CallReachesADataSourceByName) {
  testing::TestDatabase odbc(true, testing::odbc_dsn_connection_text);
  const ToolRun r = run(
      "call gConsulta_Porto_Ponto --connection 'DSN=" + std::string(testing::kTestDataSource) + "'",
      R"({"invntUsuario_internet_id": 25, "invntBase_dados": "DB2"})");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  const auto answer = nlohmann::json::parse(r.out);
  EXPECT_EQ(answer["result"], 10);
  EXPECT_EQ(answer["parameters"]["invntConecta_db"], "DSN=qrnmvl_test");
  EXPECT_EQ(odbc.query("SELECT USUARIO_INTERNET_ID, DATA_LOG FROM LOG_MSG"),
            (std::vector<std::vector<Variant>>{{25, "2002/01/01"}}));
}

// Whatever is wrong with the database, the operation reports it itself: exit 0, result 10 and
// its message, as a host calling the library would see it.
TEST_F(Tool, DatabaseFailuresAreTheOperationsOwn) {
  std::ofstream(dir_ / "notes.db") << "this is not a database file, only some text in a file\n";
  // A writer in exclusive locking mode keeps every other connection out.
  sqlite3* holder = nullptr;
  ASSERT_EQ(sqlite3_open(db.path().c_str(), &holder), SQLITE_OK);
  ASSERT_EQ(
      sqlite3_exec(holder, "PRAGMA locking_mode = EXCLUSIVE; BEGIN EXCLUSIVE; DELETE FROM LOG_MSG",
                   nullptr, nullptr, nullptr),
      SQLITE_OK);
  const std::string cases[] = {
      "--connection 'Provider=SQLite;Data Source=" + (dir_ / "missing.db").string() + "'",
      "--db " + (dir_ / "notes.db").string(),
      "--connection '" + db.connection_text() + ";Busy Timeout=100'"};
  for (const std::string& connection : cases) {
    SCOPED_TRACE(connection);
    const ToolRun r = run("call gConsulta_Porto_Ponto " + connection,
                          R"({"invntUsuario_internet_id": 25, "invntBase_dados": "SQLSERVER"})");
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const auto answer = nlohmann::json::parse(r.out);
    EXPECT_EQ(answer["result"], 10);
    EXPECT_EQ(answer["parameters"]["outvntMsg_Ret"],
              "Problema na Consulta do Porto e Agente relacionados ao Usuário. Contacte o "
              "Administrador do Sistema.");
  }
  sqlite3_close(holder);
}

// A password in the connection text is never shown: not in the answer, the errors, the trace
// or the message log, whether the call succeeds or fails.
TEST_F(Tool, NeverShowsThePassword) {
  const testing::TestDatabase db(true);  // user 25 has ports there
  const std::string secret = "s3cr3t-pw";
  const std::string trace = (dir_ / "sent.jsonl").string();
  // Found, refused (logged), and failed at run time with the context shown to user 1.
  for (const int user : {25, 999, 1}) {
    if (user == 1) db.exec("DELETE FROM qrn_procedure WHERE name = 'SP_QRN_CON_PORTO_PONTO3'");
    const ToolRun r = run("call gConsulta_Porto_Ponto --trace " + trace + " --connection '" +
                              db.connection_text() + ";PWD=" + secret + "'",
                          R"({"invntUsuario_internet_id": )" + std::to_string(user) +
                              R"(, "invntBase_dados": "SQLSERVER"})");
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(nlohmann::json::parse(r.out)["result"], user == 25 ? 0 : 10);
    EXPECT_EQ((r.out + r.err).find(secret), std::string::npos) << r.out << r.err;
  }
  std::ifstream sent(trace);
  std::ostringstream traced;
  traced << sent.rdbuf();
  EXPECT_EQ(traced.str().find(secret), std::string::npos);
  for (const auto& row : db.query("SELECT MSG01 || ifnull(MSG02, '') FROM LOG_MSG"))
    EXPECT_EQ(to_text(row.at(0)).find(secret), std::string::npos);
}

// The tool is a host: --trace allows the trace it asks for, and a Trace= in a connection text
// alone does nothing.
TEST_F(Tool, OnlyTheTraceOptionTraces) {
  const std::string call = R"({"invntUsuario_internet_id": 25, "invntBase_dados": "SQLSERVER"})";
  const std::string trace = (dir_ / "sent.jsonl").string();
  const std::string unset = "env -u QRNMVL_TRACE_DIR";
  ASSERT_EQ(run("call gConsulta_Porto_Ponto --connection 'Provider=SQLite;Data Source=" +
                    db.path() + ";Trace=" + trace + "'",
                call, unset)
                .exit_code,
            0);
  EXPECT_FALSE(fs::exists(trace));
  ASSERT_EQ(run("call gConsulta_Porto_Ponto --db " + db.path() + " --trace " + trace, call, unset)
                .exit_code,
            0);
  std::ifstream sent(trace);
  std::string first;
  std::getline(sent, first);
  EXPECT_EQ(first, R"({"command":"EXEC SP_QRN_CON_PORTO_PONTO3   25"})");
}

// The demo closes every kind of order and refuses one part-way, in 100 columns.
TEST_F(Tool, DemoRunsOnAFreshDatabase) {
  const ToolRun r = run("demo --locale pt_BR --db " + (dir_ / "demo.db").string());
  ASSERT_EQ(r.exit_code, 0) << r.err;
  for (const char* seen : {"Itajaí", "Problemas ao identificar os Portos",
                           "(record 1003, order 502, order type 1) -> result 0",
                           "(record 1001, order 501, order type 2) -> result 0",
                           "(record 1004, order 503, order type 7) -> result 0",
                           "(record 1005, order 504, order type 8) -> result 0",
                           "(record 1006, order 505, order type 9) -> result 0",
                           "Message: Tipo de container não cadastrado: 99. (Linha 2).",
                           "amounts with a decimal comma", "152300,75"})
    EXPECT_NE(r.out.find(seen), std::string::npos) << seen;
  std::istringstream lines(r.out);
  for (std::string line; std::getline(lines, line);) {
    std::size_t characters = 0;
    for (const char c : line) characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    EXPECT_LE(characters, 100u) << line;
  }
}

// close loads, changes what the flags say and saves; events and jobs show what it left.
TEST_F(Tool, ClosesAnOrderAndShowsItsEventsAndJobs) {
  const std::string demo = (dir_ / "closing.db").string();
  ASSERT_EQ(run("init " + demo + " --demo").exit_code, 0);
  std::ofstream(dir_ / "params.json") << R"({"invntObserv": "Doca 2"})";
  const ToolRun closed = run(
      "close 1004 --db " + demo +
      " --start '17/10/2025 08:00' --end '17/10/2025 17:30' --document 004530 --plate "
      "ABC1D23 --params " +
      (dir_ / "params.json").string() + " --set 'inarrvntNum_Lacre_Cia_Maritima=[\"S1\", \"S2\"]'");
  ASSERT_EQ(closed.exit_code, 0) << closed.err;
  const auto answer = nlohmann::json::parse(closed.out);
  EXPECT_EQ(answer["result"], 0) << closed.out;
  const auto& p = answer["parameters"];
  EXPECT_EQ(p["invntData_Fim_Execucao"], "17/10/2025");
  EXPECT_EQ(p["invntHora_Fim_Execucao"], "17:30");
  EXPECT_EQ(p["INvntPlaca_Cavalo"], "ABC1D23");
  EXPECT_EQ(p["invntObserv"], "Doca 2");
  EXPECT_EQ(p["inarrvntNum_Lacre_Cia_Maritima"], nlohmann::json::array({"S1", "S2"}));

  const ToolRun events = run("events --json --time-zone -03:00 --order 503 --db " + demo);
  ASSERT_EQ(events.exit_code, 0) << events.err;
  const auto timeline = nlohmann::json::parse(events.out);
  ASSERT_EQ(timeline.size(), 2u) << events.out;
  EXPECT_EQ(timeline[0]["event"], "Entrega no porto");
  EXPECT_EQ(timeline[0]["when"], "2025-10-17T17:30:00-03:00");
  const ToolRun jobs = run("jobs --json --after 1 --db " + demo);
  ASSERT_EQ(jobs.exit_code, 0) << jobs.err;
  const auto queued = nlohmann::json::parse(jobs.out);
  ASSERT_EQ(queued.size(), 1u) << jobs.out;
  EXPECT_EQ(queued[0]["job"], 2);
  EXPECT_EQ(queued[0]["function"], 2266);

  // A record that does not load answers the load's failure and result 10.
  const ToolRun missing = run("close 4242 --db " + demo);
  EXPECT_EQ(missing.exit_code, 0) << missing.err;
  EXPECT_EQ(nlohmann::json::parse(missing.out)["result"], 10);
}

}  // namespace
}  // namespace qrnmvl
