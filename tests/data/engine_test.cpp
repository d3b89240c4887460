#include <atomic>
#include <ctime>
#include <fstream>
#include <regex>
#include <thread>

#include "data/data.hpp"
#include "data_test_support.hpp"
#include "support/test_database.hpp"

namespace qrnmvl::data {
namespace {

using Rows = std::vector<std::vector<Variant>>;

class Engine : public ::testing::Test {
 protected:
  void SetUp() override {
    db.exec("CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT)");
    db.redefine("SP_ECHO", "a, b, c", "SELECT :a AS a, :b AS b, :c AS c, :zz AS unknown");
  }
  RowSet run(const std::string& text) { return connection->execute(text); }
  Variant scalar(const std::string& text) { return run(text).rows().at(0).at(0); }

  testing::TestDatabase db;
  std::shared_ptr<Connection> connection = open_connection(db.connection_text());
};

TEST_F(Engine, ProcedureArgumentsBindByPosition) {
  const auto null = Variant::null();
  const struct {
    const char* text;
    std::vector<Variant> row;
    const char* error;
  } cases[] = {
      {"EXEC SP_ECHO 1, 'x', 2.5", {Variant(1), Variant("x"), Variant(2.5), null}, nullptr},
      {"EXEC SP_ECHO 1", {Variant(1), null, null, null}, nullptr},
      {"exec sp_echo", {null, null, null, null}, nullptr},
      {"EXEC SP_ECHO 1, 2, 3, 4",
       {},
       "Procedure or function SP_ECHO has too many arguments specified."},
      {"EXEC SP_NOPE 1", {}, "Could not find stored procedure 'SP_NOPE'."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    if (c.error) {
      const Error error = error_of([&] { run(c.text); });
      EXPECT_EQ(error.number(), err::database);
      EXPECT_EQ(error.description(), c.error);
    } else {
      EXPECT_EQ(run(c.text).rows(), Rows{c.row});
    }
  }
}

TEST_F(Engine, LastStatementWithColumnsAnswers) {
  const struct {
    const char* body;
    bool open;
    std::vector<std::string> columns;
    Rows rows;
  } cases[] = {
      {"INSERT INTO t VALUES (1, 'a'); SELECT name FROM t; INSERT INTO t VALUES (2, 'b')",
       true,
       {"name"},
       {{Variant("a")}}},
      {"SELECT 1 AS x; SELECT name AS Msg_Ret FROM t WHERE id = 99", true, {"Msg_Ret"}, {}},
      {"INSERT INTO t VALUES (3, 'c')", false, {}, {}},
      {"  -- nothing to do\n", false, {}, {}},
      {"INSERT INTO t VALUES (4, 'a;b'); SELECT name FROM t WHERE id = 4",
       true,
       {"name"},
       {{Variant("a;b")}}},
      {"CREATE TEMP TABLE tmp (v); INSERT INTO tmp VALUES (7); SELECT v FROM tmp; DROP TABLE tmp",
       true,
       {"v"},
       {{Variant(7)}}},
      {"CREATE TRIGGER up AFTER INSERT ON t BEGIN UPDATE t SET name = upper(name) "
       "WHERE id = new.id; END; INSERT INTO t VALUES (5, 'x'); SELECT name FROM t; DROP TRIGGER up",
       true,
       {"name"},
       {{Variant("X")}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    db.exec("DELETE FROM t");
    db.redefine("SP_BODY", "", c.body);
    const RowSet answer = run("EXEC SP_BODY");
    EXPECT_EQ(answer.is_open(), c.open);
    EXPECT_EQ(answer.columns(), c.columns);
    EXPECT_EQ(answer.rows(), c.rows);
  }
}

TEST_F(Engine, FailingStatementRollsTheProcedureBack) {
  const struct {
    const char* body;
    const char* error;
  } cases[] = {
      {"INSERT INTO t VALUES (1, 'a'); INSERT INTO t VALUES (1, 'dup')",
       "UNIQUE constraint failed: t.id"},
      {"INSERT INTO t VALUES (1, 'a'); INSERT INTO missing VALUES (1)", "no such table: missing"},
      {"INSERT INTO t VALUES (1, 'a'); COMMIT",
       "Transaction statements are not allowed in a command text (COMMIT)."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    db.redefine("SP_BAD", "", c.body);
    EXPECT_EQ(error_of([&] { run("EXEC SP_BAD"); }).description(), c.error);
    EXPECT_TRUE(db.query("SELECT id FROM t").empty());
  }
}

// Identifier allocation keeps a write transaction across commands; a failing
// procedure inside it undoes only its own work.
TEST_F(Engine, ProcedureInsideBeginUsesASavepoint) {
  db.redefine("SP_BAD", "", "INSERT INTO t VALUES (2, 'x'); INSERT INTO t VALUES (2, 'y')");
  connection->begin();
  run("INSERT INTO t VALUES (1, 'kept')");
  EXPECT_EQ(error_of([&] { run("EXEC SP_BAD"); }).number(), err::database);
  EXPECT_EQ(scalar("SELECT count(*) FROM t"), Variant(1));
  connection->commit();
  EXPECT_EQ(db.query("SELECT name FROM t"), Rows{{Variant("kept")}});

  connection->begin();
  run("DELETE FROM t");
  connection->rollback();
  EXPECT_EQ(db.query("SELECT count(*) FROM t"), Rows{{Variant(1)}});
}

TEST_F(Engine, RowSetNavigationAndErrors) {
  db.exec("INSERT INTO t VALUES (1, 'one'), (2, 'two')");
  RowSet rows = run("SELECT id AS Id, name AS Msg_Ret FROM t ORDER BY id");
  EXPECT_EQ(rows.record_count(), 2);
  EXPECT_EQ(rows.field("msg_ret"), Variant("one"));
  rows.move_last();
  EXPECT_EQ(rows.field("ID"), Variant(2));
  rows.move_first();
  rows.move_next();
  rows.move_next();
  EXPECT_TRUE(rows.eof());

  const std::string no_record =
      "Either BOF or EOF is True, or the current record has been deleted. Requested operation "
      "requires a current record.";
  const std::string closed = "Operation is not allowed when the object is closed.";
  const struct {
    const char* what;
    std::function<void(RowSet&)> action;
    bool close_first;
    long number;
    std::string description;
  } cases[] = {
      {"field at end", [](RowSet& r) { r.field("Id"); }, false, 3021, no_record},
      {"next at end", [](RowSet& r) { r.move_next(); }, false, 3021, no_record},
      {"missing column", [](RowSet& r) { r.field("nope"); }, false, 3265,
       "Item cannot be found in the collection corresponding to the requested name or ordinal."},
      {"eof closed", [](RowSet& r) { r.eof(); }, true, 3704, closed},
      {"count closed", [](RowSet& r) { r.record_count(); }, true, 3704, closed},
      {"first closed", [](RowSet& r) { r.move_first(); }, true, 3704, closed},
      {"field closed", [](RowSet& r) { r.field("Id"); }, true, 3704, closed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    RowSet copy = rows;
    if (c.close_first) copy.close();
    const Error error = error_of([&] { c.action(copy); });
    EXPECT_EQ(error.number(), c.number);
    EXPECT_EQ(error.description(), c.description);
  }
  RowSet none;
  EXPECT_EQ(none.state(), 0);
  EXPECT_EQ(error_of([&] { none.eof(); }).number(), 3704);
}

TEST_F(Engine, ColumnValuesOut) {
  EXPECT_EQ(run("SELECT NULL, 42, -2147483648, 3000000000, 2.5, 'txt', x'414243'").rows(),
            (Rows{{Variant::null(), Variant(42), Variant(std::int32_t{-2147483647 - 1}),
                   Variant(3000000000.0), Variant(2.5), Variant("txt"), Variant("ABC")}}));
}

TEST_F(Engine, PreparedParametersAsStored) {
  testing::LocaleScope point("en_US");
  db.exec("CREATE TABLE p (k TEXT, v)");
  const struct {
    DataType type;
    Variant value;
    const char* stored_type;
    Variant stored;
  } cases[] = {
      {DataType::Integer, Variant("42"), "integer", Variant(42)},
      {DataType::SmallInt, Variant(7.6), "integer", Variant(8)},
      {DataType::VarChar, Variant(12), "text", Variant("12")},
      {DataType::Currency, Variant(Currency::from_double(12.5)), "real", Variant(12.5)},
      {DataType::Double, Variant("2.25"), "real", Variant(2.25)},
      {DataType::Date, Variant(Date::from_parts(2010, 9, 16, 17, 5, 0)), "text",
       Variant("2010/09/16 17:05:00")},
      {DataType::VarChar, Variant(), "null", Variant::null()},
      {DataType::Integer, Variant::null(), "null", Variant::null()},
  };
  db.redefine("SP_STORE", "k, v", "INSERT INTO p VALUES (:k, :v)");
  Command command;
  command.connection = connection;
  command.command_text = "SP_STORE";
  EXPECT_EQ(command.text(), "{ call SP_STORE }");
  command.append({"@k", DataType::VarChar, Direction::Input, 10, Variant()});
  command.append({"@v", DataType::VarChar, Direction::Input, 10, Variant()});
  EXPECT_EQ(command.text(), "{ call SP_STORE(?, ?) }");
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    command.parameters()[0].value = Variant(std::to_string(i));
    command.parameters()[1].type = cases[i].type;
    command.parameters()[1].value = cases[i].value;
    EXPECT_FALSE(command.execute().is_open());
    EXPECT_EQ(db.query("SELECT typeof(v), v FROM p WHERE k = '" + std::to_string(i) + "'"),
              (Rows{{Variant(cases[i].stored_type), cases[i].stored}}));
  }
  command.connection = nullptr;
  EXPECT_EQ(error_of([&] { command.execute(); }).number(), err::object_not_set);
}

TEST_F(Engine, TraceLines) {
  db.redefine("SP_ECHO", "a, b, c, d", "SELECT :a AS a");
  run("EXEC SP_ECHO 1, 'x'");
  run("SELECT 1");
  error_of([&] { run("EXEC SP_ECHO )"); });
  connection->call("SP_ECHO", {{"@a", DataType::Integer, Direction::Input, 4, Variant(5)},
                               {"@b", DataType::VarChar, Direction::Input, 9, Variant("é\"")},
                               {"@c", DataType::Date, Direction::Input, 8,
                                Variant(Date::from_parts(2010, 9, 16, 17, 5, 0))},
                               {"@d", DataType::VarChar, Direction::Input, 9, Variant::null()}});
  std::ifstream file(db.trace_path());
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  EXPECT_EQ(lines,
            (std::vector<std::string>{
                R"({"command":"EXEC SP_ECHO 1, 'x'"})",
                R"({"command":"SELECT 1"})",
                R"j({"command":"EXEC SP_ECHO )"})j",
                R"({"procedure":"SP_ECHO","parameters":[{"name":"@a","type":"integer","value":5},)"
                R"({"name":"@b","type":"varchar","value":"é\""},)"
                R"({"name":"@c","type":"date","value":{"$date":"2010-09-16 17:05:00"}},)"
                R"({"name":"@d","type":"varchar","value":null}]})",
            }));

  const auto untraceable =
      open_connection("Provider=SQLite;Data Source=" + db.path() + ";Trace=/no/such/dir/t.jsonl");
  EXPECT_EQ(untraceable->execute("SELECT 7").rows(), Rows{{Variant(7)}});
}

TEST_F(Engine, DateFunctions) {
  const auto now = [] {
    char text[32];
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    std::strftime(text, sizeof text, "%Y/%m/%d %H:%M:%S", &local);
    return std::string(text);
  };
  const std::string before = now();
  const RowSet stamps = run("SELECT GETDATE() AS g, SYSDATE AS s, 'SYSDATE' AS q");
  const std::string after = now();
  for (const char* column : {"g", "s"}) {
    SCOPED_TRACE(column);
    const std::string stamp = stamps.field(column).as_string();
    EXPECT_TRUE(std::regex_match(stamp, std::regex(R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d)")));
    EXPECT_LE(before, stamp);
    EXPECT_LE(stamp, after);
  }
  EXPECT_EQ(stamps.field("q"), Variant("SYSDATE"));

  const struct {
    const char* arguments;
    Variant date;
  } cases[] = {
      {"'2010/09/16 17:05:09', 'YYYY/MM/DD hh24:mi:ss'", Variant("2010/09/16 17:05:09")},
      {"'16/09/2010', 'DD/MM/YYYY'", Variant("2010/09/16 00:00:00")},
      {"'1/2/2010 8:05', 'dd/mm/yyyy hh:mi'", Variant("2010/02/01 08:05:00")},
      {"'20120229', 'YYYYMMDD'", Variant("2012/02/29 00:00:00")},
      {"'2010/02/29', 'YYYY/MM/DD'", Variant::null()},
      {"'2010/09/16 24:00:00', 'YYYY/MM/DD HH24:MI:SS'", Variant::null()},
      {"'2010-09-16', 'YYYY/MM/DD'", Variant::null()},
      {"'2010/09/16 x', 'YYYY/MM/DD'", Variant::null()},
      {"NULL, 'YYYY'", Variant::null()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    EXPECT_EQ(scalar(std::string("SELECT TO_DATE(") + c.arguments + ")"), c.date);
  }
}

TEST_F(Engine, PlainTextIsOneStatement) {
  const std::string one = "Only one statement is allowed in a command text.";
  const struct {
    const char* text;
    std::string error;
  } refused[] = {
      {"SELECT 1; SELECT 2", one},
      {"INSERT INTO t VALUES (1, 'a'); DELETE FROM t", one},
      {"INSERT INTO t VALUES (1, 'a'); garbage", one},
      {"BEGIN", "Transaction statements are not allowed in a command text (BEGIN)."},
      {" ", "The command text holds no statement."},
      {"SELEC 1", "near \"SELEC\": syntax error"},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.text);
    const Error error = error_of([&] { run(c.text); });
    EXPECT_EQ(error.number(), err::database);
    EXPECT_EQ(error.description(), c.error);
  }
  EXPECT_TRUE(db.query("SELECT id FROM t").empty());
  EXPECT_FALSE(run("INSERT INTO t VALUES (1, 'a');").is_open());
  EXPECT_EQ(run("SELECT name FROM t; -- done").rows(), Rows{{Variant("a")}});
}

// Two writers never both read the counter before one of them writes it.
TEST_F(Engine, ConcurrentProceduresDoNotInterleave) {
  db.exec(
      "CREATE TABLE counter (n INTEGER); INSERT INTO counter VALUES (0);"
      "CREATE TABLE seen (n INTEGER PRIMARY KEY)");
  db.redefine("SP_NEXT", "",
              "SELECT n FROM counter; INSERT INTO seen SELECT n FROM counter; "
              "UPDATE counter SET n = n + 1");
  std::atomic<int> failures{0};
  const auto work = [&] {
    try {
      const auto own = open_connection(db.connection_text());
      for (int i = 0; i < 50; ++i) own->execute("EXEC SP_NEXT");
    } catch (...) {
      ++failures;
    }
  };
  std::thread first(work), second(work);
  first.join();
  second.join();
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(db.query("SELECT count(*), max(n) FROM seen"), (Rows{{Variant(100), Variant(99)}}));
}

}  // namespace
}  // namespace qrnmvl::data
