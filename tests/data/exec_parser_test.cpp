#include "data/exec_parser.hpp"

#include "data/sqlite/driver.hpp"
#include "support/test_values.hpp"

namespace qrnmvl::data::sqlite {
namespace {

using Values = std::vector<Variant>;

// Every call here names SP_X; an owner before the name is dropped.
TEST(ParseExec, AcceptedLiterals) {
  const std::pair<const char*, Values> cases[] = {
      {"exec SP_X   ", {}},
      {"  Execute dbo.SP_X 1", {1}},
      {"EXEC SP_X 12, -3.5, 1e3, +7, .5, 5.", {12, -3.5, 1000, 7, 0.5, 5}},
      {"EXEC SP_X 2147483647, 2147483648, -2147483648",
       {2147483647, 2147483648.0, -2147483647 - 1}},
      {"EXEC SP_X 'a''b', N'Observação', n'', ''", {"a'b", "Observação", "", ""}},
      {"EXEC SP_X null , NULL,Null", {Variant::null(), Variant::null(), Variant::null()}},
      {"EXEC\tSP_X\n1\r\n,\t'x'  ", {1, "x"}},
      {"EXEC SP_X 'x); DROP TABLE t; --'", {"x); DROP TABLE t; --"}}};
  for (const auto& [text, arguments] : cases) {
    SCOPED_TRACE(text);
    const auto call = parse_exec(text);
    ASSERT_TRUE(call.has_value());
    EXPECT_EQ(call->procedure, "SP_X");
    EXPECT_EQ(call->arguments, arguments);
  }
  for (const char* plain : {"SELECT 1", "", "EXECUTED", "INSERT INTO t VALUES ('EXEC x')"})
    EXPECT_FALSE(parse_exec(plain).has_value()) << plain;
}

TEST(ParseExec, RejectedTexts) {
  const std::pair<const char*, const char*> cases[] = {
      {"EXECUTE SP_X 1, '1'); DROP TABLE LOG_MSG; --', 'M'",
       "Incorrect syntax near ')' at character 20."},
      {"EXEC SP_X(1)", "Incorrect syntax near '(' at character 10."},
      {"EXEC SP_X 1;", "Incorrect syntax near ';' at character 12."},
      {"EXEC", "Incorrect syntax near the end of the command at character 5."},
      {"EXEC SP_X @a = 1", "Incorrect syntax near '@' at character 11."},
      {"EXEC SP_X abc", "Incorrect syntax near 'abc' at character 11."},
      {"EXEC SP_X 1.2.3", "Incorrect syntax near '.' at character 14."},
      {"EXEC SP_X 1e", "Incorrect syntax near the end of the command at character 13."},
      {"EXEC SP_X 'é', )", "Incorrect syntax near ')' at character 16."},
      {"EXEC SP_X (SELECT 1)", "Incorrect syntax near '(' at character 11."},
      {"EXEC SP_X 'abc",
       "Unclosed quotation mark after the character string starting at character 11."},
  };
  for (const auto& [text, description] : cases) {
    const Error error = error_of([&] { parse_exec(text); });
    EXPECT_EQ(error.number(), err::database) << text;
    EXPECT_EQ(error.description(), description);
  }
}

TEST(ApplyDialect, SysdateOutsideQuotesOnly) {
  const std::pair<const char*, const char*> cases[] = {
      {"SELECT SYSDATE", "SELECT GETDATE()"},
      {"insert into t values (1, sysdate)", "insert into t values (1, GETDATE())"},
      {"SELECT 'SYSDATE', \"SYSDATE\", [SYSDATE], `SYSDATE`",
       "SELECT 'SYSDATE', \"SYSDATE\", [SYSDATE], `SYSDATE`"},
      {"SELECT SYSDATE_X, X_SYSDATE, SYSDATE2", "SELECT SYSDATE_X, X_SYSDATE, SYSDATE2"},
      {"SELECT 1 -- SYSDATE\n, SYSDATE /* SYSDATE */",
       "SELECT 1 -- SYSDATE\n, GETDATE() /* SYSDATE */"},
      {"SELECT 'it''s SYSDATE' || SYSDATE", "SELECT 'it''s SYSDATE' || GETDATE()"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(apply_dialect(in), out) << in;
}

}  // namespace
}  // namespace qrnmvl::data::sqlite
