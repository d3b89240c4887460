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
using Rows = std::vector<std::vector<Variant>>;

TEST(ConnectionText, KeysAndValues) {
  const struct {
    const char* text;
    Keys keys;
  } cases[] = {
      {" PROVIDER = SQLite ; data SOURCE = /my dir/a.db ;",
       {{"provider", "SQLite"}, {"data source", "/my dir/a.db"}}},
      {"Data Source=\"/a;b.db\";Trace='/t;x'", {{"data source", "/a;b.db"}, {"trace", "/t;x"}}},
      {"Data Source={/a;b}}.db} ;Busy Timeout=9",
       {{"data source", "/a;b}.db"}, {"busy timeout", "9"}}},
      {"PWD=\"say \"\"hi\"\"\"", {{"pwd", "say \"hi\""}}},
      {";;Provider=SQLite;NoEquals;Empty=", {{"provider", "SQLite"}, {"empty", ""}}},
      {"DSN=one;dsn=two", {{"dsn", "two"}}},
  };
  for (const auto& c : cases) EXPECT_EQ(parse_connection_text(c.text), c.keys) << c.text;
}

TEST(DriverRegistry, TextsWithoutTheSqliteProviderGoToOdbc) {
  register_driver("odbc", {});
  const char* texts[] = {"DSN=production;UID=app", "Provider=MSDASQL;DSN=x", ""};
  for (const char* text : texts) {
    const Error missing = error_of([&] { open_connection(text); });
    EXPECT_EQ(missing.number(), err::database) << text;
    EXPECT_EQ(missing.description(), "Data source name not found and no default driver specified");
  }
  register_driver("odbc", [](const std::string& text) -> std::shared_ptr<Connection> {
    throw Error(1, "odbc got " + text);
  });
  for (const std::string text : texts)
    EXPECT_EQ(error_of([&] { open_connection(text); }).description(), "odbc got " + text);
  register_driver("odbc", {});
}

// Journal, foreign keys, synchronous level and busy timeout of a connection opened with extra
// keys; a missing or foreign file and bad values are refused, and nothing is created.
TEST(SqliteOpen, OptionsAndRefusals) {
  testing::TestDatabase db;
  const std::string file = "Provider=sqlite;Data Source=" + db.path();
  const std::tuple<const char*, int, int> cases[] = {{"", 1, 5000},
                                                     {";Busy Timeout=250;Synchronous=Full", 2, 250},
                                                     {";synchronous='off';busy timeout=0", 0, 0}};
  for (const auto& [extra, synchronous, busy_timeout] : cases)
    EXPECT_EQ(open_connection(file + extra)
                  ->execute("SELECT * FROM pragma_journal_mode, pragma_foreign_keys, "
                            "pragma_synchronous, pragma_busy_timeout")
                  .rows(),
              (Rows{{"wal", 1, synchronous, busy_timeout}}))
        << extra;

  const auto folder = std::filesystem::path(db.path()).parent_path();
  std::ofstream(folder / "notes.txt") << "this is not a database file, only some text in a file\n";
  const std::string missing = (folder / "mistyped.db").string();
  const std::string refused[] = {"Provider=SQLite;Data Source=" + missing,
                                 "Provider=SQLite;Data Source=" + (folder / "notes.txt").string(),
                                 "Provider=SQLite", file + ";Busy Timeout=soon",
                                 file + ";Synchronous=Sometimes"};
  for (const auto& text : refused)
    EXPECT_EQ(error_of([&] { open_connection(text); }).number(), err::database) << text;
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
  EXPECT_EQ(db.query("SELECT count(*) FROM sqlite_master WHERE name = 'leftover'"), Rows{{1}});

  sqlite::create_reference_database(db.path(), true, true);
  EXPECT_TRUE(db.query("SELECT name FROM sqlite_master WHERE name = 'leftover'").empty());
  const auto& procedures = sqlite::embedded_procedures();
  // Each file is in the catalog once, without its "-- params:" line, and nothing else is.
  for (const auto& file : procedures)
    EXPECT_EQ(db.query("SELECT instr(body, '-- params:') FROM qrn_procedure WHERE name = '" +
                       std::string(file.name) + "'"),
              Rows{{0}})
        << file.name;
  EXPECT_EQ(db.query("SELECT count(*) FROM qrn_procedure"),
            Rows{{static_cast<int>(procedures.size())}});
}

}  // namespace
}  // namespace qrnmvl::data
