#include "routine/commands.hpp"

#include <gtest/gtest.h>

#include "support/test_database.hpp"

namespace qrnmvl {
namespace {

using testing::LocaleScope;

Variant text(const char* s) { return Variant(s); }

TEST(Commands, MontaExec) {
  LocaleScope locale("pt_BR");
  using data::DataType;
  struct ExecCase {
    std::vector<data::Parameter> parameters;
    const char* expected;
  };
  const ExecCase cases[] = {
      {{{"Ordem_Servico_Tipo_ID", DataType::Integer, data::Direction::Input, 10, Variant(15)}},
       "EXEC P 15"},
      {{{"a", DataType::Integer, data::Direction::Input, 10, Variant::null()},
        {"b", DataType::VarChar, data::Direction::Input, 20, text("ABC")}},
       "EXEC P Null, 'ABC'"},
      {{{"a", DataType::Currency, data::Direction::Input, 0, Variant(2200.5)},
        {"b", DataType::Date, data::Direction::Input, 0,
         Variant(Date::from_parts(2010, 9, 16, 17, 5))},
        {"c", DataType::Integer, data::Direction::Input, 0, Variant::null()}},
       "EXEC P 2200,5, '16/09/2010 17:05:00', Null"},
  };
  for (const ExecCase& c : cases) {
    data::Command command;
    for (const auto& p : c.parameters) command.append(p);
    Variant out;
    EXPECT_TRUE(gMonta_EXEC(command, "P", out));
    EXPECT_EQ(out, text(c.expected));
  }
  data::Command empty;
  Variant out;
  EXPECT_THROW(gMonta_EXEC(empty, "P", out), Error);
}

}  // namespace
}  // namespace qrnmvl
