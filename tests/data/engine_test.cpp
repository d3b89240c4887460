#include <fstream>
#include <regex>
#include <thread>

#include "data/connection.hpp"
#include "support/test_database.hpp"
#include "support/test_values.hpp"

namespace qrnmvl::data {
namespace {

class Engine : public ::testing::Test {
 protected:
  void SetUp() override {
    db.exec("CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT)");
    db.redefine("SP_ECHO", "a, b, c", "SELECT :a AS a, :b AS b, :c AS c, :zz AS unknown");
  }
  RowSet run(const std::string& text) { return connection->execute(text); }
  Variant scalar(const std::string& text) { return run(text).rows().at(0).at(0); }
  // What a command answers: "closed", or the column names, "=" and the rows in JSON; for the
  // database Error it raises, the description.
  std::string answer(const std::string& text) {
    try {
      const RowSet rows = run(text);
      if (!rows.is_open()) return "closed";
      std::string columns;
      for (const auto& name : rows.columns()) columns += (columns.empty() ? "" : ",") + name;
      nlohmann::json values = nlohmann::json::array();
      for (const auto& row : rows.rows()) values.push_back(to_json(Variant(row)));
      return columns + "=" + values.dump();
    } catch (const Error& error) {
      EXPECT_EQ(error.number(), err::database);
      return error.description();
    }
  }

  testing::TestDatabase db;
  std::shared_ptr<Connection> connection = open_connection(db.connection_text());
};

// Arguments bind by position; the answer is the last statement that returns columns, and
// statements split the way SQLite reads them (a quoted ';', a trigger body). Rows: the body of
// SP_BODY (none: SP_ECHO as set up), the command, the answer.
TEST_F(Engine, ProcedureCalls) {
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {nullptr, "EXEC SP_ECHO 1, 'x', 2.5", R"(a,b,c,unknown=[[1,"x",2.5,null]])"},
      {nullptr, "exec sp_echo", "a,b,c,unknown=[[null,null,null,null]]"},
      {nullptr, "EXEC SP_ECHO 1, 2, 3, 4",
       "Procedure or function SP_ECHO has too many arguments specified."},
      {nullptr, "EXEC SP_NOPE 1", "Could not find stored procedure 'SP_NOPE'."},
      {"INSERT INTO t VALUES (1, 'a;b'); SELECT name FROM t; INSERT INTO t VALUES (2, 'b')",
       "EXEC SP_BODY", R"(name=[["a;b"]])"},
      {"SELECT 1 AS x; SELECT name AS Msg_Ret FROM t WHERE id = 99", "EXEC SP_BODY", "Msg_Ret=[]"},
      {"INSERT INTO t VALUES (3, 'c'); -- nothing more to do\n", "EXEC SP_BODY", "closed"},
      {"CREATE TRIGGER up AFTER INSERT ON t BEGIN UPDATE t SET name = upper(name) "
       "WHERE id = new.id; END; INSERT INTO t VALUES (5, 'x'); SELECT name FROM t; DROP TRIGGER up",
       "EXEC SP_BODY", R"(name=[["X"]])"}};
  for (const auto& [body, text, expected] : cases) {
    db.exec("DELETE FROM t");
    if (body) db.redefine("SP_BODY", "", body);
    EXPECT_EQ(answer(text), expected) << text << " " << (body ? body : "");
  }
}

TEST_F(Engine, FailingStatementRollsTheProcedureBack) {
  const std::pair<const char*, const char*> cases[] = {
      {"COMMIT", "Transaction statements are not allowed in a command text (COMMIT)."},
      {"INSERT INTO missing VALUES (1)", "no such table: missing"},
      {"INSERT INTO t VALUES (1, 'dup')", "UNIQUE constraint failed: t.id"}};
  for (const auto& [second, error] : cases) {
    db.redefine("SP_BAD", "", std::string("INSERT INTO t VALUES (1, 'a'); ") + second);
    EXPECT_EQ(answer("EXEC SP_BAD"), error);
    EXPECT_TRUE(db.query("SELECT id FROM t").empty()) << second;
  }
  // Identifier allocation keeps a write transaction across commands; the failing procedure (the
  // last SP_BAD above) undoes only its own work there.
  connection->begin();
  run("INSERT INTO t VALUES (5, 'kept')");
  EXPECT_EQ(answer("EXEC SP_BAD"), "UNIQUE constraint failed: t.id");
  connection->commit();
  EXPECT_EQ(db.query("SELECT id, name FROM t"), (Rows{{5, "kept"}}));
}

TEST_F(Engine, RowSetValuesNavigationAndErrors) {
  EXPECT_EQ(run("SELECT NULL, 42, -2147483648, 3000000000, 2.5, 'txt', x'414243'").rows(),
            (Rows{{Variant::null(), 42, -2147483647 - 1, 3000000000.0, 2.5, "txt", "ABC"}}));
  RowSet rows = run("SELECT 1 AS Id, 'one' AS Msg_Ret UNION ALL SELECT 2, 'two'");
  EXPECT_EQ(rows.record_count(), 2);
  EXPECT_EQ(rows.field("msg_ret"), Variant("one"));
  rows.move_last();
  EXPECT_EQ(rows.field("ID"), Variant(2));
  rows.move_first();
  rows.move_next();
  rows.move_next();
  EXPECT_TRUE(rows.eof());

  const auto failure = [](const std::function<void()>& action) {
    const Error error = error_of(action);
    return std::to_string(error.number()) + " " + error.description();
  };
  const std::string no_record =
      "3021 Either BOF or EOF is True, or the current record has been deleted. Requested "
      "operation requires a current record.";
  EXPECT_EQ(failure([&] { rows.field("Id"); }), no_record);
  EXPECT_EQ(failure([&] { rows.move_next(); }), no_record);
  EXPECT_EQ(failure([&] { rows.field("nope"); }),
            "3265 Item cannot be found in the collection corresponding to the requested name or "
            "ordinal.");
  const std::string closed = "3704 Operation is not allowed when the object is closed.";
  rows.close();
  EXPECT_EQ(failure([&] { rows.field("Id"); }), closed);
  EXPECT_EQ(RowSet().state(), 0);
  EXPECT_EQ(failure([] { RowSet().eof(); }), closed);
}

TEST_F(Engine, PreparedParametersAsStored) {
  db.exec("CREATE TABLE p (k INTEGER, v)");
  db.redefine("SP_STORE", "k, v", "INSERT INTO p VALUES (:k, :v)");
  const std::tuple<DataType, Variant, const char*, Variant> cases[] = {
      {DataType::SmallInt, 7.6, "integer", 8},
      {DataType::VarChar, 12, "text", "12"},
      {DataType::Currency, Currency::from_double(12.5), "real", 12.5},
      {DataType::Date, Date::from_parts(2010, 9, 16, 17, 5, 0), "text", "2010/09/16 17:05:00"},
      {DataType::VarChar, Variant(), "null", Variant::null()},
      {DataType::Integer, Variant::null(), "null", Variant::null()}};
  Command command;
  command.connection = connection;
  command.command_text = "SP_STORE";
  EXPECT_EQ(command.text(), "{ call SP_STORE }");
  command.append({"@k", DataType::Integer, Direction::Input, 4, Variant()});
  command.append({"@v", DataType::VarChar, Direction::Input, 10, Variant()});
  EXPECT_EQ(command.text(), "{ call SP_STORE(?, ?) }");
  int k = 0;
  for (const auto& [type, value, stored_type, stored] : cases) {
    command.parameters()[0].value = ++k;
    command.parameters()[1].type = type;
    command.parameters()[1].value = value;
    EXPECT_FALSE(command.execute().is_open());
    EXPECT_EQ(db.query("SELECT typeof(v), v FROM p WHERE k = " + std::to_string(k)),
              (Rows{{stored_type, stored}}))
        << k;
  }
  command.connection = nullptr;
  EXPECT_EQ(error_of([&] { command.execute(); }).number(), err::object_not_set);
}

TEST_F(Engine, TraceLines) {
  db.redefine("SP_ECHO", "a, b, c, d", "SELECT :a AS a");
  error_of([&] { run("EXEC SP_ECHO )"); });
  connection->call(
      "SP_ECHO", {{"@a", DataType::Integer, Direction::Input, 4, 5},
                  {"@b", DataType::VarChar, Direction::Input, 9, "é\""},
                  {"@c", DataType::Date, Direction::Input, 8, Date::from_parts(2010, 9, 16, 17, 5)},
                  {"@d", DataType::VarChar, Direction::Input, 9, Variant::null()}});
  std::ifstream file(db.trace_path());
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  EXPECT_EQ(lines,
            (std::vector<std::string>{
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
  // The database's own local time, read outside the engine.
  const std::string now = "SELECT strftime('%Y/%m/%d %H:%M:%S', 'now', 'localtime')";
  const std::string before = db.query(now)[0][0].as_string();
  const std::string stamp = scalar("SELECT SYSDATE").as_string();
  EXPECT_TRUE(std::regex_match(stamp, std::regex(R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d)"))) << stamp;
  EXPECT_LE(before, stamp);
  EXPECT_LE(stamp, db.query(now)[0][0].as_string());

  const std::pair<const char*, Variant> cases[] = {
      {"'1/2/2010 8:05', 'dd/mm/yyyy hh:mi'", "2010/02/01 08:05:00"},
      {"'20120229 235959', 'YYYYMMDD HH24MISS'", "2012/02/29 23:59:59"},
      {"'2010/02/29', 'YYYY/MM/DD'", Variant::null()},
      {"'2010/09/16 24:00:00', 'YYYY/MM/DD HH24:MI:SS'", Variant::null()},
      {"'2010-09-16', 'YYYY/MM/DD'", Variant::null()},
      {"'2010/09/16 x', 'YYYY/MM/DD'", Variant::null()},
      {"NULL, 'YYYY'", Variant::null()}};
  for (const auto& [arguments, date] : cases)
    EXPECT_EQ(scalar(std::string("SELECT TO_DATE(") + arguments + ")"), date) << arguments;
}

TEST_F(Engine, PlainTextIsOneStatement) {
  const std::string one = "Only one statement is allowed in a command text.";
  const std::pair<const char*, std::string> refused[] = {
      {"INSERT INTO t VALUES (1, 'a'); DELETE FROM t", one},
      {"INSERT INTO t VALUES (1, 'a'); garbage", one},
      {"BEGIN", "Transaction statements are not allowed in a command text (BEGIN)."},
      {" ", "The command text holds no statement."},
      {"SELEC 1", "near \"SELEC\": syntax error"}};
  for (const auto& [text, error] : refused) EXPECT_EQ(answer(text), error) << text;
  EXPECT_TRUE(db.query("SELECT id FROM t").empty());
  EXPECT_EQ(answer("INSERT INTO t VALUES (1, 'a');"), "closed");
  EXPECT_EQ(answer("SELECT name FROM t; -- done"), R"(name=[["a"]])");
}

// Two writers never both read the counter before one of them writes it.
TEST_F(Engine, ConcurrentProceduresDoNotInterleave) {
  db.exec(
      "CREATE TABLE counter (n INTEGER); INSERT INTO counter VALUES (0);"
      "CREATE TABLE seen (n INTEGER PRIMARY KEY)");
  db.redefine("SP_NEXT", "",
              "SELECT n FROM counter; INSERT INTO seen SELECT n FROM counter; "
              "UPDATE counter SET n = n + 1");
  const auto work = [&] {
    EXPECT_NO_THROW({
      const auto own = open_connection(db.connection_text());
      for (int i = 0; i < 50; ++i) own->execute("EXEC SP_NEXT");
    });
  };
  std::thread first(work), second(work);
  first.join();
  second.join();
  EXPECT_EQ(db.query("SELECT count(*), max(n) FROM seen"), (Rows{{Variant(100), Variant(99)}}));
}

}  // namespace
}  // namespace qrnmvl::data
