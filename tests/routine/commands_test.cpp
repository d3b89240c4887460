#include "routine/commands.hpp"

#include "support/test_database.hpp"
#include "support/test_values.hpp"

namespace qrnmvl {
namespace {

using data::DataType;

// Only the parameters' values show, each in the form its type gives it.
TEST(Commands, MontaExec) {
  testing::LocaleScope locale("pt_BR");
  const std::pair<std::vector<std::pair<DataType, Variant>>, const char*> cases[] = {
      {{{DataType::Integer, 15}}, "EXEC P 15"},
      {{{DataType::Integer, Variant::null()}, {DataType::VarChar, "ABC"}}, "EXEC P Null, 'ABC'"},
      {{{DataType::Currency, 2200.5},
        {DataType::Date, Date::from_parts(2010, 9, 16, 17, 5)},
        {DataType::Integer, Variant::null()}},
       "EXEC P 2200,5, '16/09/2010 17:05:00', Null"}};
  for (const auto& [parameters, expected] : cases) {
    data::Command command;
    for (const auto& [type, value] : parameters)
      command.append({"p", type, data::Direction::Input, 10, value});
    Variant out;
    EXPECT_TRUE(gMonta_EXEC(command, "P", out));
    EXPECT_EQ(out, Variant(expected));
  }
  Variant out;
  EXPECT_EQ(error_number([&] { gMonta_EXEC(data::Command(), "P", out); }),
            err::invalid_procedure_call);
}

}  // namespace
}  // namespace qrnmvl
