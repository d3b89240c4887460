// What the saves compute before anything is sent: the amounts read from the form and the call
// shown as text in a failure's context. What they send and store is in the golden scenarios.
#include <tuple>

#include "common/helpers.hpp"
#include "common/values.hpp"
#include "data/connection.hpp"
#include "persistence/persistence.hpp"
#include "support/test_database.hpp"
#include "support/test_values.hpp"

namespace qrnmvl::persistence {
namespace {

TEST(Amounts, DecimalsAreReadWithTheComma) {
  // Value, then what it reads as under a decimal comma and under a decimal point: the parts are
  // read under the regional settings, so a point groups thousands only where the settings say so.
  const std::tuple<Variant, double, double> cases[] = {
      {"15,5", 15.5, 15.5},       {"1234,56", 1234.56, 1234.56},
      {"12,05", 12.05, 12.05},    {",7", 0.7, 0.7},
      {" -12,5 ", -12.5, -12.5},  {"1,2,3", 1.23, 1.23},
      {"1.234,5", 1234.5, 1.734}, {"1234.5", 12345, 1234.5},
      {15.5, 15.5, 15.5},         {"abc", 0, 0},
      {Variant::null(), 0, 0},    {"", 0, 0},
  };
  for (const auto& [value, comma, point] : cases) {
    SCOPED_TRACE(to_json(value).dump());
    {
      testing::LocaleScope scope("pt_BR");
      EXPECT_DOUBLE_EQ(gConverte_Decimal(value, ","), comma);
    }
    testing::LocaleScope scope("en_US");
    EXPECT_DOUBLE_EQ(gConverte_Decimal(value, ","), point);
  }
  std::string out;
  EXPECT_TRUE(gTroca_Virgula_Ponto("1,234,5.0", out));
  EXPECT_EQ(out, "1.234.5.0");
}

TEST(CommandText, RendersEachTypeAndReportsWhatStopsIt) {
  testing::LocaleScope comma("pt_BR");
  using data::DataType;
  // Parameters (type and value), then the text.
  const std::pair<std::vector<std::pair<DataType, Variant>>, std::string> cases[] = {
      {{{DataType::Integer, 120},
        {DataType::Integer, Variant::null()},
        {DataType::Integer, 4},
        {DataType::Integer, 9}},
       "EXECUTE P 120, NULL, 4, 9"},
      {{{DataType::Integer, ""},
        {DataType::Integer, 0},
        {DataType::Currency, 1234.5},
        {DataType::Currency, Currency::from_double(0.5)}},
       "EXECUTE P NULL, NULL, 1234.5, NULL"},
      {{{DataType::DBTimeStamp, "2010/09/16 17:05"},
        {DataType::DBTimeStamp, ""},
        {DataType::VarChar, "ação"},
        {DataType::VarChar, Variant::null()}},
       "EXECUTE P '2010/09/16 17:05', NULL, 'ação', NULL"},
      {{{DataType::Char, "ação"},
        {DataType::Date, Date::from_parts(2010, 9, 16, 17, 5)},
        {DataType::SmallInt, Variant::null()},
        {DataType::Double, true}},
       "EXECUTE P AÇÃO, 16/09/2010 17:05:00, , TRUE"},
      {{}, " - mGetCommandText (Invalid procedure call or argument) "},
      {{{DataType::VarChar, Variant::array(1)}}, " - mGetCommandText (Type mismatch) "},
  };
  for (const auto& [parameters, text] : cases) {
    data::Command command;
    command.command_text = "P";
    for (const auto& [type, value] : parameters)
      command.append({"p", type, data::Direction::Input, 0, value});
    EXPECT_EQ(mGetCommandText(&command), text);
  }
  EXPECT_EQ(mGetCommandText(nullptr), "");
}

// An open connection a host hands over closed: the row set never opens, and the log, which
// would go through the same connection, cannot be written.
TEST(ContainerTypeChange, AConnectionHandedOverClosedShowsNoCommand) {
  testing::TestDatabase db;
  const auto connection = data::open_connection(db.connection_text());
  connection->close();
  Variant user(1), kind("SQLSERVER"), closed = Variant::object(connection), order(120),
                                      schedule(""), type(4), message("(message)");
  EXPECT_FALSE(
      mAltera_Tab_Tipo_Container_ID_OSAC(user, kind, closed, order, schedule, type, message));
  EXPECT_EQ(message, Variant("Problema no Fechamento da Ordem de Serviço. Contacte o "
                             "Administrador do Sistema. - QRNMVL.mAltera_Tab_Tipo_Container_ID_"
                             "OSAC -( State = 0 )"));
  EXPECT_TRUE(db.query("SELECT * FROM LOG_MSG").empty());
}

}  // namespace
}  // namespace qrnmvl::persistence
