#include <tuple>

#include "data/connection.hpp"
#include "support.hpp"

namespace qrnmvl::persistence {
namespace {

const char* const kProcedure = "SP_036_ALT_CONTAINER_OSAC3";
const std::string kProblem =
    "Problema no Fechamento da Ordem de Serviço. Contacte o Administrador do Sistema.";
const std::string kOpening = " - QRNMVL.mAltera_Tab_Tipo_Container_ID_OSAC -(";

struct TypeChange : Closing {
  Variant order{120}, schedule{""}, type{4};

  bool run(const std::string& body) {
    db.redefine(kProcedure, "os, agend, tipo, usuario", body);
    return mAltera_Tab_Tipo_Container_ID_OSAC(user, kind, connection, order, schedule, type,
                                              message);
  }
};

TEST(ContainerTypeChange, SendsTheKeysAndReportsEveryFailure) {
  const std::string sent = "EXECUTE SP_036_ALT_CONTAINER_OSAC3 120, NULL, 4, 1";
  // Procedure body, then the message and the context a user 1 sees ("": accepted).
  const std::tuple<const char*, std::string, std::string> cases[] = {
      {"SELECT 0 AS retorno", "", ""},
      {"DELETE FROM LOG_MSG WHERE 0", kProblem, kOpening + " State = 0 )" + sent},
      {"SELECT 0 AS retorno WHERE 0", kProblem, kOpening + "Fim de Arquivo )" + sent},
      {"SELECT 1 AS retorno, 'Tipo de container bloqueado' AS msg_ret",
       "Problema no Fechamento da Ordem de Serviço - Tipo de container bloqueado",
       kOpening + " Retorno <> 0 )" + sent},
      {"SELECT 1 AS retorno, NULL AS msg_ret", "Problema no Fechamento da Ordem de Serviço - ",
       kOpening + " Retorno <> 0 )" + sent},
      {"SELECT * FROM NO_SUCH",
       "Problema no Fechamento da Ordem de Servico. Contacte o Administrador do Sistema.",
       kOpening + "no such table: NO_SUCH :  No Nº 4)" + sent},
  };
  for (const auto& [body, message, context] : cases) {
    SCOPED_TRACE(body);
    TypeChange change;
    change.user = 1;
    EXPECT_EQ(change.run(body), message.empty());
    const nlohmann::json parameters = nlohmann::json::parse(R"([
        {"name": "Ordem_Servico_ID", "type": "integer", "value": 120},
        {"name": "Agend_Container_ID", "type": "integer", "value": null},
        {"name": "Tab_Tipo_Container_ID", "type": "integer", "value": 4},
        {"name": "Usuario_internet_id", "type": "integer", "value": 1}])");
    ASSERT_EQ(change.prepared().size(), 1u);
    EXPECT_EQ(change.prepared()[0],
              (nlohmann::json{{"procedure", kProcedure}, {"parameters", parameters}}));
    EXPECT_EQ(change.message, message.empty() ? Variant("(message)") : Variant(message + context));
    EXPECT_EQ(change.log(), message.empty() ? Rows{} : Closing::logged(message + context));
  }
}

TEST(ContainerTypeChange, IdsOfZeroTravelAsNullAndAClosedConnectionShowsNoCommand) {
  TypeChange zero;
  zero.order = "0";
  zero.user = 1;
  EXPECT_FALSE(zero.run("SELECT 0 AS retorno WHERE 0"));
  EXPECT_EQ(zero.order, Variant(""));
  EXPECT_EQ(zero.prepared().at(0)["parameters"][0]["value"], nullptr);
  EXPECT_EQ(zero.message,
            Variant(kProblem + kOpening +
                    "Fim de Arquivo )EXECUTE SP_036_ALT_CONTAINER_OSAC3 NULL, NULL, 4, 1"));

  // An open connection handed over closed: the row set never opens, and the log cannot be written.
  TypeChange closed;
  closed.user = 1;
  const auto connection = data::open_connection(closed.db.connection_text());
  connection->close();
  closed.connection = Variant::object(connection);
  EXPECT_FALSE(closed.run("SELECT 0 AS retorno"));
  EXPECT_EQ(closed.message, Variant(kProblem + kOpening + " State = 0 )"));
  EXPECT_TRUE(closed.log().empty());
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

}  // namespace
}  // namespace qrnmvl::persistence
