// What the application database must hold, checked through either driver (what the tool's
// ping reports of it, kind by kind, is in tests/cli/tool.md).
#include <gtest/gtest.h>

#include <set>

#include "data/connection.hpp"
#include "data/requirements.hpp"
#include "data/sqlite/reference.hpp"
#include "support/test_database.hpp"

namespace qrnmvl::data {
namespace {

using Names = std::vector<std::string>;

TEST(RequiredProcedures, AreExactlyTheReferenceDatabasesProcedures) {
  std::set<std::string> listed, reference;
  for (const auto& procedure : kRequiredProcedures) {
    EXPECT_TRUE(listed.emplace(procedure.name).second) << "listed twice: " << procedure.name;
  }
  for (const auto& file : sqlite::embedded_procedures()) reference.emplace(file.name);
  EXPECT_EQ(listed, reference);
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
