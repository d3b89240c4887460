#include <filesystem>
#include <fstream>
#include <thread>

#include "data/data.hpp"
#include "data/sqlite/engine.hpp"
#include "data/sqlite/reference.hpp"
#include "data_test_support.hpp"
#include "support/test_database.hpp"

namespace qrnmvl::data {
namespace {

using Keys = std::map<std::string, std::string>;

TEST(ConnectionText, KeysAndValues) {
  const struct {
    const char* text;
    Keys keys;
  } cases[] = {
      {"Provider=SQLite;Data Source=/tmp/a.db",
       {{"provider", "SQLite"}, {"data source", "/tmp/a.db"}}},
      {" PROVIDER = SQLite ; data SOURCE = /my dir/a.db ;",
       {{"provider", "SQLite"}, {"data source", "/my dir/a.db"}}},
      {"Data Source=\"/a;b.db\";Trace='/t;x'", {{"data source", "/a;b.db"}, {"trace", "/t;x"}}},
      {"Data Source={/a;b}}.db} ;Busy Timeout=9",
       {{"data source", "/a;b}.db"}, {"busy timeout", "9"}}},
      {"PWD=\"say \"\"hi\"\"\"", {{"pwd", "say \"hi\""}}},
      {";;Provider=SQLite;NoEquals;Empty=", {{"provider", "SQLite"}, {"empty", ""}}},
      {"DSN=one;dsn=two", {{"dsn", "two"}}},
      {"", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(parse_connection_text(c.text), c.keys);
  }
}

TEST(DriverRegistry, TextsWithoutTheSqliteProviderGoToOdbc) {
  register_driver("odbc", {});
  const char* texts[] = {"DSN=production;UID=app", "Provider=MSDASQL;DSN=x", ""};
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    const Error missing = error_of([&] { open_connection(text); });
    EXPECT_EQ(missing.number(), err::database);
    EXPECT_EQ(missing.description(), "Data source name not found and no default driver specified");
  }
  register_driver("odbc", [](const std::string& text) -> std::shared_ptr<Connection> {
    throw Error(1, "odbc got " + text);
  });
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    EXPECT_EQ(error_of([&] { open_connection(text); }).description(),
              std::string("odbc got ") + text);
  }
  register_driver("odbc", {});
}

// PRAGMA values of a connection opened with extra keys.
TEST(SqliteOpen, ConnectionOptions) {
  const struct {
    const char* extra;
    int synchronous;
    int busy_timeout;
  } cases[] = {
      {"", 1, 5000},
      {";Busy Timeout=250;Synchronous=Full", 2, 250},
      {";synchronous='off';busy timeout=0", 0, 0},
  };
  testing::TestDatabase db;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.extra);
    const auto connection = open_connection("Provider=sqlite;Data Source=" + db.path() + c.extra);
    const auto pragma = [&](const std::string& name) {
      return connection->execute("PRAGMA " + name).rows().at(0).at(0);
    };
    EXPECT_EQ(pragma("journal_mode"), Variant("wal"));
    EXPECT_EQ(pragma("foreign_keys"), Variant(1));
    EXPECT_EQ(pragma("synchronous"), Variant(c.synchronous));
    EXPECT_EQ(pragma("busy_timeout"), Variant(c.busy_timeout));
  }
}

TEST(SqliteOpen, BadTextsAndPathsFail) {
  testing::TestDatabase db;
  const auto folder = std::filesystem::path(db.path()).parent_path();
  const std::string not_a_database = (folder / "notes.txt").string();
  std::ofstream(not_a_database) << "this is not a database file, only some text in a file\n";
  const std::string missing = (folder / "mistyped.db").string();
  const std::string cases[] = {
      "Provider=SQLite;Data Source=" + missing,
      "Provider=SQLite;Data Source=/no/such/folder/app.db",
      "Provider=SQLite;Data Source=" + not_a_database,
      "Provider=SQLite",
      "Provider=SQLite;Data Source=" + db.path() + ";Busy Timeout=soon",
      "Provider=SQLite;Data Source=" + db.path() + ";Synchronous=Sometimes",
  };
  for (const auto& text : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(error_of([&] { open_connection(text); }).number(), err::database);
  }
  EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST(ConnectionCache, OneConnectionPerTextAndThread) {
  testing::TestDatabase db;
  const auto first = cached_connection(db.connection_text());
  EXPECT_EQ(cached_connection(db.connection_text()), first);
  EXPECT_EQ(connection_for(db.connection()), first);
  EXPECT_EQ(connection_for(Variant::object(first)), first);

  std::shared_ptr<Connection> other;
  std::thread([&] {
    other = cached_connection(db.connection_text());
    close_cached_connections();
  }).join();
  EXPECT_NE(other, first);
  EXPECT_FALSE(other->is_open());
  EXPECT_TRUE(first->is_open());

  first->close();
  EXPECT_EQ(error_of([&] { first->execute("SELECT 1"); }).number(), 3704);
  const auto reopened = cached_connection(db.connection_text());
  EXPECT_TRUE(reopened->is_open());
  EXPECT_EQ(reopened->state(), 1);
}

// A routine that reopens its text inside a write transaction must see its own writes.
TEST(ConnectionCache, ReopeningSeesUncommittedWrites) {
  testing::TestDatabase db;
  db.exec("CREATE TABLE t (id INTEGER PRIMARY KEY)");
  cached_connection(db.connection_text())->begin();
  open_rowset("INSERT INTO t VALUES (1)", db.connection());
  EXPECT_EQ(open_rowset("SELECT id FROM t", db.connection()).record_count(), 1);
  EXPECT_TRUE(db.query("SELECT id FROM t").empty());
  cached_connection(db.connection_text())->rollback();
  EXPECT_TRUE(open_rowset("SELECT id FROM t", db.connection()).eof());
}

TEST(ReferenceDatabase, ExistingFileNeedsForceAndCatalogHoldsEveryProcedure) {
  testing::TestDatabase db;
  db.exec("CREATE TABLE leftover (v)");
  EXPECT_EQ(error_of([&] { sqlite::create_reference_database(db.path(), false, false); }).number(),
            err::database);
  EXPECT_EQ(db.query("SELECT count(*) FROM sqlite_master WHERE name = 'leftover'"),
            std::vector<std::vector<Variant>>{{Variant(1)}});

  sqlite::create_reference_database(db.path(), true, true);
  EXPECT_TRUE(db.query("SELECT name FROM sqlite_master WHERE name = 'leftover'").empty());
  const auto& procedures = sqlite::embedded_procedures();
  for (const auto& file : procedures) {
    SCOPED_TRACE(file.name);
    const auto rows =
        db.query("SELECT body FROM qrn_procedure WHERE name = '" + std::string(file.name) + "'");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0].as_string().find("-- params:"), std::string::npos);
  }
  EXPECT_EQ(db.query("SELECT count(*) FROM qrn_procedure"),
            std::vector<std::vector<Variant>>{{Variant(static_cast<int>(procedures.size()))}});
}

}  // namespace
}  // namespace qrnmvl::data
