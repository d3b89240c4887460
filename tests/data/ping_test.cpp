// What the application database must hold, checked through either driver, and the tool's
// ping and call run as an operator runs them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>

#include "data/connection.hpp"
#include "data/requirements.hpp"
#include "data/sqlite/reference.hpp"
#include "support/test_database.hpp"

namespace qrnmvl::data {
namespace {

using Names = std::vector<std::string>;

const char* const kDropSome =
    "DELETE FROM qrn_procedure WHERE name IN ('SP_QRN_INC_JOB2', 'SP_VLM_INC_TRACKING7');"
    "DROP TABLE LOG_GERADOR";

TEST(RequiredProcedures, AreExactlyTheReferenceDatabasesProcedures) {
  std::set<std::string> listed, reference;
  for (const auto& procedure : kRequiredProcedures) {
    EXPECT_TRUE(listed.emplace(procedure.name).second) << "listed twice: " << procedure.name;
  }
  for (const auto& file : sqlite::embedded_procedures()) reference.emplace(file.name);
  EXPECT_EQ(listed, reference);
}

TEST(CheckDatabase, EmbeddedEngineByKind) {
  struct Case {
    const char* kind;
    bool drop_some;
    std::size_t procedures, tables;
    Names missing_procedures, missing_tables;
  };
  const Case cases[] = {{"SQLSERVER", false, 29, 1, {}, {}},
                        {"ORACLE", false, 27, 4, {}, {}},
                        {"SQLSERVER", true, 29, 1, {"SP_VLM_INC_TRACKING7", "SP_QRN_INC_JOB2"}, {}},
                        {"ORACLE", true, 27, 4, {"SP_VLM_INC_TRACKING7"}, {"LOG_GERADOR"}},
                        {"oracle", true, 29, 1, {"SP_VLM_INC_TRACKING7", "SP_QRN_INC_JOB2"}, {}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.kind) + (c.drop_some ? " with objects dropped" : ""));
    testing::TestDatabase db;
    if (c.drop_some) db.exec(kDropSome);
    const auto connection = open_connection(db.connection_text());
    const DatabaseCheck check = check_database(*connection, c.kind);
    EXPECT_EQ(check.needed_procedures.size(), c.procedures);
    EXPECT_EQ(check.needed_tables.size(), c.tables);
    EXPECT_EQ(check.missing_procedures, c.missing_procedures);
    EXPECT_EQ(check.missing_tables, c.missing_tables);
    EXPECT_EQ(check.ready(), c.missing_procedures.empty() && c.missing_tables.empty());
  }
}

// Names without regard to case, on either driver; '_' in a name is no wildcard.
TEST(CheckDatabase, NamesMatchWithoutRegardToCase) {
  for (const auto& text_for : {testing::embedded_connection_text, testing::odbc_connection_text}) {
    testing::TestDatabase db(false, text_for);
    db.exec("CREATE TABLE LOGXMSG (x)");
    SCOPED_TRACE(db.connection_text());
    const auto connection = open_connection(db.connection_text());
    for (const char* table : {"log_msg", "Infra_IDS", "LOG_GERADOR"})
      EXPECT_TRUE(connection->has_table(table)) << table;
    db.exec("DROP TABLE LOG_MSG");
    for (const char* table : {"LOG_MSG", "nope"}) EXPECT_FALSE(connection->has_table(table));
  }
  testing::TestDatabase db;
  const auto connection = open_connection(db.connection_text());
  EXPECT_TRUE(connection->has_procedure("sp_qrn_con_porto_ponto3"));
  EXPECT_FALSE(connection->has_procedure("SP_NOPE"));
  db.exec("DROP TABLE qrn_procedure");
  EXPECT_FALSE(connection->has_procedure("SP_QRN_CON_PORTO_PONTO3"));
  const ServerInfo info = connection->server_info();
  EXPECT_EQ(info.dbms_name, "SQLite");
  EXPECT_EQ(info.driver_name, "qrnmvl embedded engine");
  EXPECT_FALSE(info.dbms_version.empty() || info.driver_version.empty());
}

// --- The tool ----------------------------------------------------------------------------

struct ToolRun {
  int exit_code = -1;
  std::string output;
};

class Tool : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tool = std::getenv("QRNMVL_TOOL");
    if (tool == nullptr) GTEST_SKIP() << "QRNMVL_TOOL is not set";
    tool_ = tool;
  }

  // With with_errors, the standard error joins the output; otherwise it goes where the
  // test's own goes.
  ToolRun run(const std::string& arguments, bool with_errors = true) const {
    const std::string command = "'" + tool_ + "' " + arguments + (with_errors ? " 2>&1" : "");
    ToolRun result;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    char piece[4096];
    for (std::size_t n; (n = std::fread(piece, 1, sizeof piece, pipe)) > 0;)
      result.output.append(piece, n);
    const int status = ::pclose(pipe);
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
  }

  // The report's first lines, with what the connection says of itself.
  static std::string heading(const std::string& connection_text, const char* kind) {
    const ServerInfo info = open_connection(connection_text)->server_info();
    return "Server: " + info.dbms_name + " " + info.dbms_version + "\nDriver: " + info.driver_name +
           " " + info.driver_version + "\nKind: " + kind + "\n";
  }

  std::string tool_;
};

TEST_F(Tool, PingReportsWhatIsThereAndWhatIsMissing) {
  testing::TestDatabase ready;
  testing::TestDatabase dropped;
  dropped.exec(kDropSome);
  const std::string odbc = "Driver=SQLite3;Database=" + dropped.path();

  ToolRun result = run("ping --db '" + ready.path() + "'");
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(result.output,
            heading("Provider=SQLite;Data Source=" + ready.path(), "SQLSERVER") +
                "Stored procedures: 29 of 29 present\nTables: 1 of 1 present\nReady.\n");

  // The stand-in's catalog lists no procedures (it has none); its tables it lists.
  result = run("ping --kind ORACLE --connection '" + odbc + "'");
  EXPECT_EQ(result.exit_code, 1);
  std::string missing;
  for (const auto& procedure : kRequiredProcedures)
    if (is_needed(procedure, "ORACLE")) missing += "  " + std::string(procedure.name) + "\n";
  EXPECT_EQ(result.output, heading(odbc, "ORACLE") +
                               "Stored procedures: 0 of 27 present; missing:\n" + missing +
                               "Tables: 3 of 4 present; missing:\n  LOG_GERADOR\n"
                               "Not ready: missing 27 stored procedures and 1 table.\n");

  result = run("ping --connection 'DSN=qrnmvl_no_such_source'");
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.output,
            "qrnmvl: cannot check the database: [unixODBC][Driver Manager]Data source name not "
            "found and no default driver specified (SQLSTATE IM002, native 0)\n");
}

TEST_F(Tool, PingUsageErrors) {
  testing::TestDatabase db;
  const std::string file = "'" + db.path() + "'";
  for (const std::string& arguments : std::vector<std::string>{
           "ping", "ping --kind ORACLE", "ping --db " + file + " --connection 'DSN=x'",
           "ping --db " + file + " --kind DB2", "ping --db '" + db.path() + ".missing'"}) {
    const ToolRun result = run(arguments);
    EXPECT_EQ(result.exit_code, 2) << arguments;
    EXPECT_EQ(result.output.rfind("qrnmvl: ", 0), 0u) << result.output;
  }
}

// The call opens a named data source (from the test's own odbc.ini) and runs the operation,
// whose procedure the stand-in refuses: a result, not a usage error.
TEST_F(Tool, CallReachesADataSourceByName) {
  testing::TestDatabase db(true, testing::odbc_dsn_connection_text);
  const std::string params = db.path() + ".json";
  std::ofstream(params) << R"({"invntUsuario_internet_id": 25, "invntBase_dados": "DB2"})";
  const ToolRun result =
      run("call gConsulta_Porto_Ponto --connection 'DSN=" + std::string(testing::kTestDataSource) +
          "' --params '" + params + "'");
  EXPECT_EQ(result.exit_code, 0) << result.output;
  const auto answer = nlohmann::json::parse(result.output);
  EXPECT_EQ(answer["result"], 10);
  EXPECT_EQ(answer["parameters"]["invntConecta_db"], "DSN=qrnmvl_test");
  EXPECT_EQ(db.query("SELECT USUARIO_INTERNET_ID, DATA_LOG FROM LOG_MSG"),
            (std::vector<std::vector<Variant>>{{25, "2002/01/01"}}));
}

}  // namespace
}  // namespace qrnmvl::data
