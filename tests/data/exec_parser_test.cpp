#include "data/data.hpp"
#include "data/sqlite/engine.hpp"
#include "data_test_support.hpp"
#include "support/test_database.hpp"

namespace qrnmvl::data::sqlite {
namespace {

using Values = std::vector<Variant>;

TEST(ParseExec, AcceptedLiterals) {
  const auto null = Variant::null();
  const struct {
    const char* text;
    const char* procedure;
    Values arguments;
  } cases[] = {
      {"EXEC SP_X", "SP_X", {}},
      {"exec SP_X   ", "SP_X", {}},
      {"  Execute dbo.SP_X 1", "SP_X", {Variant(1)}},
      {"EXEC SP_X 12, -3.5, 1e3, +7, .5, 5.",
       "SP_X",
       {Variant(12), Variant(-3.5), Variant(1000), Variant(7), Variant(0.5), Variant(5)}},
      {"EXEC SP_X 2147483647, 2147483648, -2147483648",
       "SP_X",
       {Variant(2147483647), Variant(2147483648.0), Variant(std::int32_t{-2147483647 - 1})}},
      {"EXEC SP_X 'a''b', N'Observação', n'', ''",
       "SP_X",
       {Variant("a'b"), Variant("Observação"), Variant(""), Variant("")}},
      {"EXEC SP_X null , NULL,Null", "SP_X", {null, null, null}},
      {"EXEC\tSP_X\n1\r\n,\t'x'  ", "SP_X", {Variant(1), Variant("x")}},
      {"EXEC SP_X 'x); DROP TABLE t; --'", "SP_X", {Variant("x); DROP TABLE t; --")}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const auto call = parse_exec(c.text);
    ASSERT_TRUE(call.has_value());
    EXPECT_EQ(call->procedure, c.procedure);
    EXPECT_EQ(call->arguments, c.arguments);
  }
  for (const char* plain : {"SELECT 1", "", "EXECUTED", "INSERT INTO t VALUES ('EXEC x')"}) {
    SCOPED_TRACE(plain);
    EXPECT_FALSE(parse_exec(plain).has_value());
  }
}

TEST(ParseExec, RejectedTexts) {
  const struct {
    const char* text;
    const char* description;
  } cases[] = {
      {"EXEC SP_X 1, )", "Incorrect syntax near ')' at character 14."},
      {"EXECUTE SP_X 1, '1'); DROP TABLE LOG_MSG; --', 'M'",
       "Incorrect syntax near ')' at character 20."},
      {"EXEC SP_X(1)", "Incorrect syntax near '(' at character 10."},
      {"EXEC SP_X 1;", "Incorrect syntax near ';' at character 12."},
      {"EXEC SP_X 1,", "Incorrect syntax near the end of the command at character 13."},
      {"EXEC", "Incorrect syntax near the end of the command at character 5."},
      {"EXEC SP_X @a = 1", "Incorrect syntax near '@' at character 11."},
      {"EXEC SP_X abc", "Incorrect syntax near 'abc' at character 11."},
      {"EXEC SP_X 1 2", "Incorrect syntax near '2' at character 13."},
      {"EXEC SP_X 1.2.3", "Incorrect syntax near '.' at character 14."},
      {"EXEC SP_X 1e", "Incorrect syntax near the end of the command at character 13."},
      {"EXEC SP_X 'é', )", "Incorrect syntax near ')' at character 16."},
      {"EXEC SP_X (SELECT 1)", "Incorrect syntax near '(' at character 11."},
      {"EXEC SP_X 'abc",
       "Unclosed quotation mark after the character string starting at character 11."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const Error error = error_of([&] { parse_exec(c.text); });
    EXPECT_EQ(error.number(), err::database);
    EXPECT_EQ(error.description(), c.description);
  }
}

TEST(ParseExec, InjectionReachesNothing) {
  testing::TestDatabase db;
  db.exec("CREATE TABLE calls (v)");
  db.redefine("SP_X", "a, b", "INSERT INTO calls VALUES (:a)");
  const auto connection = open_connection(db.connection_text());
  EXPECT_EQ(error_of([&] {
              connection->execute("EXECUTE SP_X 1, '1'); DROP TABLE LOG_MSG; --', 'M'");
            }).number(),
            err::database);
  EXPECT_EQ(db.query("SELECT count(*) FROM sqlite_master WHERE name = 'LOG_MSG'"),
            std::vector<Values>{{Variant(1)}});
  EXPECT_TRUE(db.query("SELECT v FROM calls").empty());
}

TEST(ApplyDialect, SysdateOutsideQuotesOnly) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"SELECT SYSDATE", "SELECT GETDATE()"},
      {"insert into t values (1, sysdate)", "insert into t values (1, GETDATE())"},
      {"SELECT 'SYSDATE', \"SYSDATE\", [SYSDATE], `SYSDATE`",
       "SELECT 'SYSDATE', \"SYSDATE\", [SYSDATE], `SYSDATE`"},
      {"SELECT SYSDATE_X, X_SYSDATE, SYSDATE2", "SELECT SYSDATE_X, X_SYSDATE, SYSDATE2"},
      {"SELECT 1 -- SYSDATE\n, SYSDATE /* SYSDATE */",
       "SELECT 1 -- SYSDATE\n, GETDATE() /* SYSDATE */"},
      {"SELECT 'it''s SYSDATE' || SYSDATE", "SELECT 'it''s SYSDATE' || GETDATE()"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(apply_dialect(c.in), c.out);
  }
}

}  // namespace
}  // namespace qrnmvl::data::sqlite
