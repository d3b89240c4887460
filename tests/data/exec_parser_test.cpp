#include "data/exec_parser.hpp"

#include "data/sqlite/driver.hpp"
#include "support/test_values.hpp"

namespace qrnmvl::data::sqlite {
namespace {

// What a call of literals binds, and where a text that is not one is refused, is in the golden
// scenarios (engine_exec_*); a text that is no call goes to the engine as a statement.
TEST(ParseExec, OnlyACallIsParsed) {
  for (const char* plain : {"SELECT 1", "", "EXECUTED", "INSERT INTO t VALUES ('EXEC x')"})
    EXPECT_FALSE(parse_exec(plain).has_value()) << plain;
  EXPECT_EQ(parse_exec("  Execute dbo.SP_X 1")->procedure, "SP_X");
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
