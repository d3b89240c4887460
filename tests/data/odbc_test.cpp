// The ODBC driver, run through unixODBC on the SQLite ODBC driver ("SQLite3", registered by
// scripts/setup) as a stand-in for the production server. The stand-in has no stored
// procedures: every "{ call ... }" is refused by it, and the golden scenarios (odbc_*) show that
// refusal reaching the caller instead of faking an answer.
#include <gtest/gtest.h>

#include <qrnmvl/qrnmvl.hpp>

#include "data/connection.hpp"
#include "data/connection_text.hpp"
#include "data/odbc/connection.hpp"
#include "data/odbc/internal.hpp"
#include "support/test_database.hpp"
#include "support/test_values.hpp"

namespace qrnmvl::data {
namespace {

using Rows = std::vector<std::vector<Variant>>;

class Odbc : public ::testing::Test {
 protected:
  odbc::OdbcConnection& odbc_connection() {
    return dynamic_cast<odbc::OdbcConnection&>(*connection);
  }

  testing::TestDatabase db{false, testing::odbc_connection_text};
  std::shared_ptr<Connection> connection = open_connection(db.connection_text());
};

TEST(OdbcConnectionText, TheComponentsTraceKeyNeverReachesTheDriverManager) {
  const std::pair<const char*, const char*> cases[] = {
      {"Driver=SQLite3;Database=/a.db;Trace=/t.jsonl", "Driver=SQLite3;Database=/a.db"},
      {"DSN=x; TRACE = '/a;b' ;UID=u", "DSN=x;UID=u"},
      {"Driver={SQLite3};Database={/a;b.db};Trace={x}}y};PWD={p;w}",
       "Driver={SQLite3};Database={/a;b.db};PWD={p;w}"},
      {"PWD=\"a;Trace=b\";Trace=c;;", "PWD=\"a;Trace=b\""},
      {";DSN=x;NoEquals;", "DSN=x;NoEquals"},
      {"Trace=only", ""}};
  for (const auto& [text, sent] : cases) EXPECT_EQ(without_connection_key(text, "trace"), sent);
}

// Both ways of naming a database reach the same file, and both honour the trace.
TEST(OdbcConnect, ByDriverTextAndByDataSourceName) {
  for (const auto& text_for : {testing::odbc_connection_text, testing::odbc_dsn_connection_text}) {
    testing::TestDatabase db(true, text_for);
    SCOPED_TRACE(db.connection_text());
    const auto connection = open_connection(db.connection_text());
    EXPECT_EQ(testing::answer_text(*connection, "SELECT count(*) AS n FROM qrn_procedure"),
              "n=[[29]]");
    EXPECT_EQ(db.commands(), std::vector<std::string>{"SELECT count(*) AS n FROM qrn_procedure"});
  }
}

TEST(OdbcConnect, RefusalsCarryTheDriverManagersDiagnostics) {
  const std::pair<const char*, const char*> cases[] = {
      {"DSN=qrnmvl_no_such_source",
       "[unixODBC][Driver Manager]Data source name not found and no default driver specified "
       "(SQLSTATE IM002, native 0)"},
      {"Driver=NoSuchDriver",
       "[unixODBC][Driver Manager]Can't open lib 'NoSuchDriver' : file not found (SQLSTATE "
       "01000, native 0)"},
      {"Driver=SQLite3;Database=/nonexistent/folder/app.db",
       "[SQLite]connect failed (SQLSTATE HY000, native 14)"}};
  for (const auto& [text, description] : cases) {
    const Error error = error_of([&] { open_connection(text); });
    EXPECT_EQ(error.number(), err::database) << text;
    EXPECT_EQ(error.description(), description) << text;
  }
}

TEST_F(Odbc, ColumnsOfEveryTypeAsTheEngineAnswersThem) {
  db.exec(
      "CREATE TABLE ty (i INTEGER, big INTEGER, r REAL, n NUMERIC(10,2), t TEXT, v VARCHAR(10), "
      "ts TIMESTAMP, dtm DATETIME, dt DATE, tm TIME, b BLOB, bo BOOLEAN);"
      "INSERT INTO ty VALUES (-2147483648, 5000000000, 2.5, 12.34, 'Itajaí', 'abc', "
      "'2010-09-16 17:05:00', '2010/09/16 17:05:09', '2010-09-16', '17:05:00', x'41004243', 1);"
      "INSERT INTO ty (i) VALUES (NULL)");
  const Variant null = Variant::null();
  EXPECT_EQ(connection->execute("SELECT * FROM ty").rows(),
            (Rows{{-2147483647 - 1, 5000000000.0, 2.5, 12.34, "Itajaí", "abc",
                   Date::from_parts(2010, 9, 16, 17, 5, 0), Date::from_parts(2010, 9, 16, 17, 5, 9),
                   Date::from_parts(2010, 9, 16), Date::from_parts(1899, 12, 30, 17, 5, 0),
                   std::string("A\0BC", 4), 1},
                  {null, null, null, null, null, null, null, null, null, null, null, null}}));

  // Long texts are read whole, in pieces that may split a character.
  std::string long_text;
  for (int i = 0; i < 5000; ++i) long_text += "Observação " + std::to_string(i) + ";";
  db.exec("CREATE TABLE long (t TEXT); INSERT INTO long VALUES ('" + long_text + "')");
  EXPECT_EQ(connection->execute("SELECT t FROM long").rows(), Rows{{long_text}});
}

// Real servers answer DECIMAL and NUMERIC columns, which the stand-in reports as texts or doubles.
TEST(OdbcDecimals, WholeNumbersOfScaleZeroReadAsTheEngineReadsIntegers) {
  const std::tuple<double, SQLSMALLINT, Variant> cases[] = {
      {12.0, 0, 12},
      {-2147483648.0, 0, -2147483647 - 1},
      {3000000000.0, 0, 3000000000.0},
      {2.5, 0, 2.5},  // Oracle's NUMBER without a scale
      {12.0, 2, 12.0},
      {12.34, 2, 12.34}};
  for (const auto& [value, digits, expected] : cases)
    EXPECT_EQ(odbc::decimal_value(value, digits), expected) << value << " " << digits;
}

// A server reports several records at once, and a link failure the stand-in cannot produce.
TEST(OdbcDiagnostics, EveryRecordDriversMessageFirstAndLostLinksTold) {
  const odbc::Diagnostic missing{"42S02", 208, "[FreeTDS][SQL Server]Invalid object name 'T'."};
  const odbc::Diagnostic not_prepared{"42000", 8180, "[FreeTDS][SQL Server]Not prepared."};
  const odbc::DriverError refused({missing, not_prepared});
  EXPECT_EQ(refused.number(), err::database);
  EXPECT_EQ(refused.description(),
            "[FreeTDS][SQL Server]Invalid object name 'T'. (SQLSTATE 42S02, native 208); "
            "[FreeTDS][SQL Server]Not prepared. (SQLSTATE 42000, native 8180)");
  EXPECT_FALSE(refused.connection_lost());
  for (const char* state : {"08S01", "08003", "08007"})
    EXPECT_TRUE(odbc::DriverError({missing, {state, 0, "lost"}}).connection_lost()) << state;
  EXPECT_EQ(odbc::DriverError({}, "fallback").description(), "fallback");
}

// The binding of a prepared command's typed parameters and of EXEC literals, run on a statement
// the stand-in accepts (it would refuse the "{ call }" around them), checked in what is stored.
// A Currency goes as an exact decimal text, which the untyped column keeps as it came.
TEST_F(Odbc, BoundValuesAsStored) {
  db.exec("CREATE TABLE p (a, b, c, d, e, f, g, h, i, j, k, l, m)");
  std::vector<odbc::BoundValue> values;
  for (const Parameter& parameter : std::vector<Parameter>{
           {"@a", DataType::Integer, Direction::Input, 4, "42"},
           {"@b", DataType::SmallInt, Direction::Input, 2, 7.6},
           {"@c", DataType::Double, Direction::Input, 8, 2.5},
           {"@d", DataType::Currency, Direction::Input, 8, Currency{9223372036854775807}},
           {"@e", DataType::Date, Direction::Input, 8, Date::from_parts(2010, 9, 16, 17, 5, 7)},
           {"@f", DataType::VarChar, Direction::Input, 5, "O'Brien ção"},
           {"@g", DataType::Integer, Direction::Input, 4, Variant::null()},
           {"@h", DataType::VarChar, Direction::Input, 4, Variant()},
           {"@i", DataType::Currency, Direction::Input, 8, Variant()}})
    values.push_back(odbc::bound_value(parameter));
  const auto call = parse_exec("EXEC SP_X 42, 3000000000, N'O''Brien', NULL");
  for (const auto& literal : call->arguments) values.push_back(odbc::literal_value(literal));
  const odbc::StatementHandle statement(odbc_connection().native_handle());
  EXPECT_FALSE(odbc::run_bound(statement.get(),
                               "INSERT INTO p VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                               values)
                   .is_open());
  const Variant null = Variant::null();
  EXPECT_EQ(db.query("SELECT typeof(a), a, typeof(b), b, typeof(c), c, typeof(d), d, e, f, g, h, "
                     "i, typeof(j), j, typeof(k), k, l, m FROM p"),
            (Rows{{"integer", 42, "integer", 8, "real", 2.5, "text", "922337203685477.5807",
                   "2010-09-16 17:05:07.000", "O'Brien ção", null, null, null, "integer", 42,
                   "real", 3000000000.0, "O'Brien", null}}));

  // A conversion the value layer refuses stops the call before anything is sent.
  EXPECT_EQ(error_of([] {
              odbc::bound_value({"@a", DataType::Integer, Direction::Input, 4, "abc"});
            }).number(),
            err::type_mismatch);
}

// A name that is no procedure name is refused before anything is sent (what the server
// answers a prepared call is in the engines' tests, on a real server).
TEST_F(Odbc, ProcedureNamesAreCheckedBeforeAnythingIsSent) {
  Command command;
  command.connection = connection;
  command.command_text = "SP_X(1); DROP TABLE LOG_MSG; --";
  command.append({"@USUARIO_INTERNET_ID", DataType::Integer, Direction::Input, 4, 25});
  EXPECT_EQ(error_of([&] { command.execute(); }).description(),
            "Invalid stored procedure name 'SP_X(1); DROP TABLE LOG_MSG; --'.");
  EXPECT_EQ(db.commands(), std::vector<std::string>{});
}

// The server dropping the connection: the failing command reports it, and the next command
// opens a new connection instead of failing too.
TEST_F(Odbc, DroppedConnectionIsReopenedByTheNextCommand) {
  const auto first = cached_connection(db.connection_text());
  SQLDisconnect(dynamic_cast<odbc::OdbcConnection&>(*first).native_handle());
  const Error lost = error_of([&] { open_rowset("SELECT 1", db.connection()); });
  EXPECT_EQ(lost.number(), err::database);
  EXPECT_EQ(lost.description(),
            "[unixODBC][Driver Manager]Connection not open (SQLSTATE 08003, native 0)");
  EXPECT_FALSE(first->is_open());
  EXPECT_EQ(open_rowset("SELECT 1 AS one", db.connection()).rows(), Rows{{1}});
  EXPECT_NE(cached_connection(db.connection_text()), first);
}

}  // namespace
}  // namespace qrnmvl::data
