#include "data/connection.hpp"

#include <filesystem>
#include <fstream>
#include <algorithm>
#include <atomic>
#include <set>
#include <thread>

#include "data/connection_text.hpp"
#include "data/odbc/driver.hpp"
#include "data/sqlite/driver.hpp"
#include "data/sqlite/reference.hpp"
#include "data/transaction.hpp"
#include "support/test_database.hpp"
#include "support/test_values.hpp"

namespace qrnmvl::data {
namespace {

using Rows = std::vector<std::vector<Variant>>;

TEST(ConnectionText, KeysAndValues) {
  const std::pair<const char*, std::map<std::string, std::string>> cases[] = {
      {" PROVIDER = SQLite ; data SOURCE = /my dir/a.db ;",
       {{"provider", "SQLite"}, {"data source", "/my dir/a.db"}}},
      {"Data Source=\"/a;b.db\";Trace='/t;x';PWD=\"say \"\"hi\"\"\"",
       {{"data source", "/a;b.db"}, {"trace", "/t;x"}, {"pwd", "say \"hi\""}}},
      {"Data Source={/a;b}}.db} ;Busy Timeout=9",
       {{"data source", "/a;b}.db"}, {"busy timeout", "9"}}},
      {";;DSN=one;NoEquals;Empty=;dsn=two", {{"dsn", "two"}, {"empty", ""}}},
  };
  for (const auto& [text, keys] : cases) EXPECT_EQ(parse_connection_text(text), keys) << text;
}

TEST(DriverRegistry, TextsWithoutTheSqliteProviderGoToOdbc) {
  for (const std::string text : {"DSN=production;UID=app", "Provider=MSDASQL;DSN=x", ""}) {
    register_driver("odbc", {});
    const Error missing = error_of([&] { open_connection(text); });
    EXPECT_EQ(missing.number(), err::database) << text;
    EXPECT_EQ(missing.description(), "Data source name not found and no default driver specified");
    register_driver("odbc", [](const std::string& given) -> std::shared_ptr<Connection> {
      throw Error(1, "odbc got " + given);
    });
    EXPECT_EQ(error_of([&] { open_connection(text); }).description(), "odbc got " + text);
  }
  odbc::register_driver_manager();  // the built-in driver back, for the tests after this one
}

// Keys that would load code or write files for whoever wrote the text, and texts the driver
// manager would read otherwise than the component, are refused before anything is opened.
TEST(ConnectionText, RefusedBeforeAnythingIsOpened) {
  const std::pair<const char*, const char*> refused[] = {
      {"Driver=/tmp/evil.so;Database=x", "the key driver is not allowed (a driver given as a path"},
      {"DRIVER={libevil.so.1};Server=x", "the key driver is not allowed"},
      {"Driver=SQLite3;SAVEFILE=/tmp/out.dsn", "the key savefile is not allowed"},
      {"FileDSN=/tmp/x.dsn", "the key filedsn is not allowed"},
      {"DSN=x;TraceFile=/tmp/sql.log;Trace=Yes", "the key tracefile is not allowed"},
      {"DSN=x;Pwd={abc", "the value of pwd opens with { and never closes"},
      {"DSN=x;X=\"", "the value of x opens with \" and never closes"},
      {"DSN=x;Pwd=\"a;Trace=/tmp/t\"", "the quoted value of pwd holds a ';'"},
  };
  for (const auto& [text, why] : refused) {
    const Error error = error_of([&] { open_connection(text); });
    EXPECT_EQ(error.number(), err::database) << text;
    EXPECT_NE(error.description().find(why), std::string::npos) << error.description();
  }
  for (const char* text : {"Driver={MariaDB Unicode};Server=h", "Driver=SQLite3;Database=/a.db",
                           "Provider=SQLite;Data Source=\"/a;b.db\"", "DSN=x;PWD={a;b}}c}"})
    EXPECT_NO_THROW(check_connection_text(text)) << text;
  // The host, never the caller, may allow a key after all.
  ::setenv("QRNMVL_ALLOW_CONNECTION_KEYS", "FileDSN, other", 1);
  EXPECT_NO_THROW(check_connection_text("FILEDSN=/etc/qrnmvl/x.dsn"));
  EXPECT_THROW(check_connection_text("SAVEFILE=/tmp/x.dsn"), Error);
  ::unsetenv("QRNMVL_ALLOW_CONNECTION_KEYS");
}

// A key set on a text stays that key whatever the text holds, and a password is never shown.
TEST(ConnectionText, SetKeysAndMaskedPasswords) {
  const std::tuple<const char*, const char*, const char*> set[] = {
      {"DSN=x;Trace=/mine", "/t.jsonl", "DSN=x;Trace={/t.jsonl}"},
      {"", "/a}b", "Trace={/a}}b}"}};
  for (const auto& [text, value, expected] : set) {
    const std::string with = with_connection_key(text, "Trace", value);
    EXPECT_EQ(with, expected);
    EXPECT_EQ(parse_connection_text(with).at("trace"), value) << with;
  }
  const std::pair<const char*, const char*> masked[] = {
      {"DSN=x;PWD=secret;UID=u", "DSN=x;PWD=***;UID=u"},
      {"Password = {se;cret} ;pwd=\"s\"", "Password =***;pwd=***"},
      {"DSN=x", "DSN=x"}};
  for (const auto& [text, shown] : masked) EXPECT_EQ(masked_connection_text(text), shown);
}

// A view opens the file for reading: it reads, and nothing it runs can write.
TEST(SqliteOpen, ReadOnlyModeReadsAndNeverWrites) {
  testing::TestDatabase db(true);
  const auto reader = open_connection(db.connection_text() + ";Mode=ReadOnly");
  EXPECT_EQ(reader->execute("SELECT count(*) AS n FROM PORTO").rows().size(), 1u);
  const Error refused = error_of([&] { reader->execute("DELETE FROM LOG_MSG"); });
  EXPECT_NE(refused.description().find("readonly"), std::string::npos) << refused.description();
  EXPECT_EQ(error_of([&] { open_connection(db.connection_text() + ";Mode=Sometimes"); }).number(),
            err::database);
}

// Naming a SQLite file that is not this system's database changes nothing in it.
TEST(SqliteOpen, AForeignFileKeepsItsJournal) {
  testing::TestDatabase foreign;
  foreign.exec("DROP TABLE qrn_procedure; PRAGMA journal_mode = DELETE");
  const Error error =
      error_of([&] { open_connection("Provider=SQLite;Data Source=" + foreign.path()); });
  EXPECT_NE(error.description().find("is not a qrnmvl database"), std::string::npos);
  EXPECT_EQ(foreign.query("PRAGMA journal_mode"), Rows{{"delete"}});
}

// Many distinct texts on one thread keep the open connections, and so the descriptors, bounded.
TEST(ConnectionCache, KeepsAtMostItsLimitOpen) {
  testing::TestDatabase db;
  std::vector<std::shared_ptr<Connection>> opened;
  for (int i = 0; i < 40; ++i) {
    opened.push_back(cached_connection(db.connection_text() + ";Busy Timeout=" + std::to_string(i)));
    opened.back()->execute("SELECT 1");
  }
  const auto open_count = std::count_if(opened.begin(), opened.end(),
                                        [](const auto& c) { return c->is_open(); });
  EXPECT_EQ(open_count, static_cast<long>(kConnectionsPerThread));
  EXPECT_TRUE(opened.back()->is_open());
  EXPECT_FALSE(opened.front()->is_open());
  // The one used last is kept over older ones.
  EXPECT_EQ(cached_connection(db.connection_text() + ";Busy Timeout=39"), opened.back());
}

// A host's cancellation (a request past its deadline) stops the thread's next command
// before it reaches the database; what was committed before stays.
TEST(Cancellation, StopsTheNextCommand) {
  testing::TestDatabase db;
  std::atomic<bool> cancelled{false};
  const CancellationScope scope(cancelled);
  open_rowset("INSERT INTO LOG_MSG (MSG01) VALUES ('before')", db.connection());
  cancelled = true;
  EXPECT_EQ(error_of([&] {
              open_rowset("INSERT INTO LOG_MSG (MSG01) VALUES ('after')", db.connection());
            }).number(),
            err::query_timeout);
  EXPECT_EQ(db.query("SELECT MSG01 FROM LOG_MSG"), Rows{{"before"}});
}

// Journal, foreign keys, synchronous level and busy timeout of a connection opened with extra
// keys; a missing or foreign file and bad values are refused, and nothing is created.
TEST(SqliteOpen, OptionsAndRefusals) {
  testing::TestDatabase db;
  const std::string file = "Provider=sqlite;Data Source=" + db.path();
  const std::tuple<const char*, int, int> cases[] = {{"", 2, 5000},
                                                     {";Busy Timeout=250;Synchronous=Normal", 1, 250},
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

// The embedded engine and the ODBC driver (on the SQLite ODBC driver): what the routines rely
// on of a connection holds for both.
const testing::ConnectionTextFor kEitherDriver[] = {testing::embedded_connection_text,
                                                    testing::odbc_connection_text};

TEST(ConnectionCache, OneConnectionPerTextAndThread) {
  for (const auto& text_for : kEitherDriver) {
    testing::TestDatabase db(false, text_for);
    SCOPED_TRACE(db.connection_text());
    const auto first = cached_connection(db.connection_text());
    EXPECT_EQ(cached_connection(db.connection_text()), first);
    EXPECT_EQ(connection_for(db.connection()), first);
    EXPECT_EQ(connection_for(Variant::object(first)), first);

    std::shared_ptr<Connection> other;
    std::thread([&] {
      other = cached_connection(db.connection_text());
      close_cached_connections();
    }).join();
    EXPECT_FALSE(other->is_open());
    EXPECT_TRUE(first->is_open());

    first->close();
    EXPECT_EQ(error_of([&] { first->execute("SELECT 1"); }).number(), 3704);
    const auto reopened = cached_connection(db.connection_text());
    EXPECT_EQ(reopened->state(), 1);
  }
}

// A routine that reopens its text inside a write transaction sees its own
// writes; an exception between begin and commit leaves no transaction open on
// the thread's connection, so the next command commits on its own.
TEST(Transaction, RollsBackWhatWasNotCommitted) {
  for (const auto& text_for : kEitherDriver) {
    testing::TestDatabase db(false, text_for);
    SCOPED_TRACE(db.connection_text());
    const auto log = [&] { return db.query("SELECT MSG01 FROM LOG_MSG ORDER BY LOG_MSG_ID"); };
    try {
      Transaction transaction(cached_connection(db.connection_text()));
      open_rowset("INSERT INTO LOG_MSG (MSG01) VALUES ('lost')", db.connection());
      EXPECT_EQ(open_rowset("SELECT MSG01 FROM LOG_MSG", db.connection()).record_count(), 1);
      EXPECT_EQ(log(), Rows{});  // not yet seen from another connection
      throw std::runtime_error("between begin and commit");
    } catch (const std::runtime_error&) {
    }
    open_rowset("INSERT INTO LOG_MSG (MSG01) VALUES ('kept')", db.connection());
    EXPECT_EQ(log(), Rows{{"kept"}});

    {
      Transaction transaction(cached_connection(db.connection_text()));
      open_rowset("INSERT INTO LOG_MSG (MSG01) VALUES ('committed')", db.connection());
      transaction.commit();
    }
    EXPECT_EQ(log(), (Rows{{"kept"}, {"committed"}}));
  }
}

TEST(ReferenceDatabase, ExistingFileNeedsForceAndCatalogHoldsEveryProcedure) {
  testing::TestDatabase db;
  db.exec("CREATE TABLE leftover (v)");
  EXPECT_EQ(error_of([&] { sqlite::create_reference_database(db.path(), false, false); }).number(),
            err::database);
  EXPECT_EQ(db.query("SELECT count(*) FROM sqlite_master WHERE name = 'leftover'"), Rows{{1}});

  sqlite::create_reference_database(db.path(), true, true);
  EXPECT_TRUE(db.query("SELECT name FROM sqlite_master WHERE name = 'leftover'").empty());
  // Each file is in the catalog once, without its "-- params:" line, and nothing else is.
  std::set<std::string> names;
  for (const auto& file : sqlite::embedded_procedures()) names.emplace(file.name);
  Rows expected;
  for (const auto& name : names) expected.push_back({name, 0});
  EXPECT_EQ(db.query("SELECT name, instr(body, '-- params:') FROM qrn_procedure "
                     "ORDER BY name COLLATE BINARY"),
            expected);
}

}  // namespace
}  // namespace qrnmvl::data
