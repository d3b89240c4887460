#include <fstream>
#include <thread>

#include "data/connection.hpp"
#include "support/test_database.hpp"
#include "support/test_values.hpp"

namespace qrnmvl::data {
namespace {

class Engine : public ::testing::Test {
 protected:
  void SetUp() override { db.exec("CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT)"); }
  RowSet run(const std::string& text) { return connection->execute(text); }
  std::string answer(const std::string& text) { return testing::answer_text(*connection, text); }

  testing::TestDatabase db;
  std::shared_ptr<Connection> connection = open_connection(db.connection_text());
};

// What a failing procedure answers is in the golden scenarios (engine_*); here, that inside a
// caller's write transaction it undoes only its own work.
TEST_F(Engine, FailingProcedureInsideATransactionUndoesOnlyItsOwnWork) {
  db.redefine("SP_BAD", "", "INSERT INTO t VALUES (1, 'a'); INSERT INTO t VALUES (5, 'dup')");
  // Identifier allocation keeps a write transaction across commands.
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

// Each value is converted to its parameter's type before the driver sees it; what cannot be is
// refused with Error 3421 and nothing is stored. Rows: type, size, value, then what the database
// holds (typeof and value), or "refused".
TEST_F(Engine, PreparedParametersAsStoredOrRefused) {
  testing::LocaleScope point("en_US");
  db.exec("CREATE TABLE p (k INTEGER, v)");
  db.redefine("SP_STORE", "k, v", "INSERT INTO p VALUES (:k, :v)");
  const std::string long_text(400, 'x');
  const auto date = Date::from_parts(2010, 9, 16, 17, 5, 0);
  const std::tuple<DataType, long, Variant, const char*, Variant> cases[] = {
      {DataType::SmallInt, 0, 7.6, "integer", 8},
      {DataType::Integer, 0, "12", "integer", 12},
      {DataType::Integer, 0, true, "integer", -1},
      {DataType::Integer, 0, 3000000000.0, "refused", {}},
      {DataType::SmallInt, 0, 40000, "refused", {}},
      {DataType::Integer, 0, "abc", "refused", {}},
      {DataType::Integer, 0, "", "refused", {}},
      {DataType::Integer, 0, Variant::array(1), "refused", {}},
      {DataType::Integer, 0, Variant(), "null", Variant::null()},
      {DataType::VarChar, 10, 12, "text", "12"},
      // Sizes count characters, not bytes; 0 is no limit.
      {DataType::VarChar, 3, "çãé", "text", "çãé"},
      {DataType::VarChar, 3, "abcd", "refused", {}},
      {DataType::VarWChar, 0, long_text, "text", long_text},
      {DataType::VarChar, 3, Variant::null(), "null", Variant::null()},
      // Currencies are exact decimals of four places, bound as the double nearest them.
      {DataType::Currency, 0, Currency::from_double(12.5), "real", 12.5},
      {DataType::Currency, 0, 0.1 + 0.2, "real", 0.3},
      {DataType::Currency, 0, 1234.0 + 56.0 / 100.0, "real", 1234.56},
      {DataType::Currency, 0, "0.00015", "real", 0.0002},
      {DataType::Currency, 0, "1,234.5", "real", 1234.5},
      {DataType::Currency, 0, "12.5.0", "refused", {}},
      {DataType::Double, 0, "2.5", "real", 2.5},
      {DataType::Double, 0, "x", "refused", {}},
      {DataType::Date, 0, date, "text", "2010/09/16 17:05:00"},
      {DataType::DBTimeStamp, 0, "16/09/2010 17:05", "text", "2010/09/16 17:05:00"},
      {DataType::Date, 0, "31/02/2001", "refused", {}},
  };
  Command command;
  command.connection = connection;
  command.command_text = "SP_STORE";
  EXPECT_EQ(command.text(), "{ call SP_STORE }");
  command.append({"@k", DataType::Integer, Direction::Input, 4, Variant()});
  command.append({"@v", DataType::VarChar, Direction::Input, 10, Variant()});
  EXPECT_EQ(command.text(), "{ call SP_STORE(?, ?) }");
  int k = 0;
  for (const auto& [type, size, value, stored_type, stored] : cases) {
    SCOPED_TRACE(++k);
    command.parameters()[0].value = k;
    command.parameters()[1].type = type;
    command.parameters()[1].size = size;
    command.parameters()[1].value = value;
    const std::string where = "SELECT typeof(v), v FROM p WHERE k = " + std::to_string(k);
    if (std::string(stored_type) == "refused") {
      const Error error = error_of([&] { command.execute(); });
      EXPECT_EQ(error.number(), 3421);
      EXPECT_EQ(error.description(),
                "Application uses a value of the wrong type for the current operation.");
      EXPECT_TRUE(db.query(where).empty());
    } else {
      EXPECT_FALSE(command.execute().is_open());
      EXPECT_EQ(db.query(where), (Rows{{stored_type, stored}}));
    }
  }
  // Refused before any driver: the procedure is not even looked up.
  command.command_text = "SP_NOPE";
  command.parameters()[1] = {"@v", DataType::VarChar, Direction::Input, 1, "ab"};
  EXPECT_EQ(error_of([&] { command.execute(); }).number(), err::data_conversion);
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
