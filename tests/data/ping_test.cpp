// What the application database must hold, checked through either driver (the tool's ping is
// run in the tool's tests).
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace qrnmvl::data
