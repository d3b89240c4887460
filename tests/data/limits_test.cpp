// What a careless or hostile command cannot do to the engine: run for ever,
// lose the part of a text after a NUL, or make the trace write where the host
// did not allow.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/values.hpp"
#include "data/connection.hpp"
#include "data/sqlite/driver.hpp"
#include "support/test_database.hpp"
#include "support/test_values.hpp"

namespace qrnmvl::data {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace std::string_literals;
using Rows = std::vector<std::vector<Variant>>;

constexpr const char* kRunaway =
    "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n) SELECT count(*) FROM n";

std::string read_file(const fs::path& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(EngineOptions, TimeLimitsAreWholeSecondsFromZero) {
  const auto options = sqlite::read_options("Provider=SQLite;Data Source=a.db");
  EXPECT_EQ(std::make_pair(options.busy_timeout_ms, options.command_timeout_seconds),
            std::make_pair(5000, 30));
  EXPECT_EQ(sqlite::read_options("Data Source=a.db;command timeout= 0 ").command_timeout_seconds,
            0);
  for (const std::string value : {"-1", "1.5", "99999999999", "soon"})
    EXPECT_EQ(error_of([&] {
                sqlite::read_options("Data Source=a.db;Command Timeout=" + value);
              }).description(),
              "Invalid Command Timeout '" + value + "' in the connection text.");
}

// A command that would never end is stopped at its limit and reported as a timeout; what it
// wrote is undone and the connection serves the next command.
TEST(CommandTimeout, StopsARunawayCommandAndKeepsTheConnection) {
  testing::TestDatabase db;
  db.exec("CREATE TABLE t (v)");
  db.redefine("SP_RUNAWAY", "", "INSERT INTO t VALUES (1); "s + kRunaway);
  const std::string file = "Provider=SQLite;Data Source=" + db.path();
  using Run = std::function<void(const std::shared_ptr<Connection>&)>;
  const std::tuple<const char*, std::string, Run> cases[] = {
      {"procedure", file + ";Command Timeout=1", [](auto& c) { c->execute("EXEC SP_RUNAWAY"); }},
      {"statement", file + ";command timeout = 1", [](auto& c) { c->execute(kRunaway); }},
      {"prepared command, its own limit", file + ";Command Timeout=0", [](auto& c) {
         Command command;
         command.connection = c;
         command.command_text = "SP_RUNAWAY";
         command.timeout_seconds = 1;
         command.execute();
       }}};
  for (const auto& [name, text, run] : cases) {
    SCOPED_TRACE(name);
    auto outcome = std::make_shared<std::string>();
    ASSERT_TRUE(returns_within(20s, [text = text, run = run, outcome] {
      const auto connection = open_connection(text);
      try {
        run(connection);
        *outcome = "no error";
      } catch (const Error& error) {
        *outcome = std::to_string(error.number()) + " " + error.description();
      }
      *outcome += ", then " + to_text(connection->execute("SELECT 7").rows().at(0).at(0));
    }));
    EXPECT_EQ(*outcome, "-2147217871 Query timeout expired, then 7");
    EXPECT_EQ(db.query("SELECT count(*) FROM t"), Rows{{0}});
  }
}

// SQLite reads a statement only up to a NUL: a text literal holding one is stored whole, on
// every path a text takes, and a NUL anywhere else is refused instead of cutting the statement.
TEST(NulCharacter, StoredWholeOrRefused) {
  testing::TestDatabase db;
  db.exec("CREATE TABLE t (v)");
  db.redefine("SP_KEEP", "v", "INSERT INTO t VALUES (:v)");
  const auto connection = open_connection(db.connection_text());
  const std::string refused =
      "A NUL character is allowed in a command text only inside a quoted text.";
  const std::tuple<std::string, std::string, Rows> cases[] = {
      {"INSERT INTO t VALUES ('a\0b')"s, "", Rows{{"610062"}}},
      {"INSERT INTO t SELECT 'x''\0''' || '\0'"s, "", Rows{{"7827002700"}}},
      {"EXEC SP_KEEP 'c\0d'"s, "", Rows{{"630064"}}},
      {"INSERT INTO t VALUES (1) -- \0 comment"s, refused, Rows{}},
      {"INSERT INTO t VALUES (1)\0; DELETE FROM t"s, refused, Rows{}},
      {"SELECT 1 AS \"a\0b\""s, refused, Rows{}},
      {"INSERT INTO t VALUES ('open\0"s, refused, Rows{}}};
  for (const auto& [text, error, stored] : cases) {
    SCOPED_TRACE(::testing::PrintToString(text));
    db.exec("DELETE FROM t");
    std::string raised;
    try {
      connection->execute(text);
    } catch (const Error& e) {
      raised = e.description();
    }
    EXPECT_NE(raised.find(error), std::string::npos) << raised;
    EXPECT_EQ(raised.empty(), error.empty()) << raised;
    EXPECT_EQ(db.query("SELECT hex(v) FROM t ORDER BY rowid"), stored);
  }
}

// The host's folder is the database's own. Only a regular file inside it receives
// lines; nothing a connection text says makes the trace create, follow, block on or append to
// anything else, and the command itself always runs.
TEST(TraceFile, OnlyARegularFileInsideTheHostsFolder) {
  testing::TestDatabase db;
  const fs::path inside = fs::path(db.path()).parent_path();
  const fs::path outside = inside.string() + "-outside";
  fs::create_directories(outside);
  fs::create_directories(inside / "sub");
  std::ofstream(outside / "victim") << "keep\n";
  std::ofstream(outside / "second") << "keep\n";
  fs::create_symlink(outside / "victim", inside / "link.jsonl");
  fs::create_directory_symlink(outside, inside / "away");
  fs::create_hard_link(outside / "second", inside / "hard.jsonl");
  ASSERT_EQ(::mkfifo((inside / "fifo").c_str(), 0600), 0);
  ::setenv("QRNMVL_TRACE_DIR", inside.c_str(), 1);

  const std::string line = R"({"command":"SELECT 1"})"
                           "\n";
  // Trace asked for, whether the host allows traces, and the file that must get the line.
  const std::tuple<std::string, bool, fs::path> cases[] = {
      {(inside / "t.jsonl").string(), true, inside / "t.jsonl"},
      {(inside / "sub/../sub/t.jsonl").string(), true, inside / "sub/t.jsonl"},
      {(inside / "../").string() + outside.filename().string() + "/new", true, {}},
      {(inside / "away/new").string(), true, {}},
      {(inside / "link.jsonl").string(), true, {}},
      {(inside / "hard.jsonl").string(), true, {}},
      {(inside / "fifo").string(), true, {}},
      {(inside / "sub").string(), true, {}},
      {(inside / "none.jsonl").string(), false, {}}};
  for (const auto& [requested, allowed, written] : cases) {
    SCOPED_TRACE(::testing::PrintToString(requested));
    if (!allowed) ::unsetenv("QRNMVL_TRACE_DIR");
    const std::string text = "Provider=SQLite;Data Source=" + db.path() + ";Trace=" + requested;
    auto answered = std::make_shared<Variant>();
    EXPECT_TRUE(returns_within(20s, [text, answered] {
      *answered = open_connection(text)->execute("SELECT 1").rows().at(0).at(0);
    }));
    ::setenv("QRNMVL_TRACE_DIR", inside.c_str(), 1);
    EXPECT_EQ(*answered, Variant(1));
    if (!written.empty()) {
      EXPECT_EQ(read_file(written), line);
      EXPECT_EQ(fs::status(written).permissions(), fs::perms::owner_read | fs::perms::owner_write);
      fs::remove(written);
    }
  }
  EXPECT_EQ(read_file(outside / "victim"), "keep\n");
  EXPECT_EQ(read_file(outside / "second"), "keep\n");
  EXPECT_FALSE(fs::exists(outside / "new"));
  EXPECT_FALSE(fs::exists(inside / "none.jsonl"));
  EXPECT_TRUE(fs::is_fifo(inside / "fifo"));
  fs::remove_all(outside);
}

}  // namespace
}  // namespace qrnmvl::data
