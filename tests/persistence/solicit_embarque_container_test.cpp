#include <tuple>

#include "support.hpp"

namespace qrnmvl::persistence {
namespace {

const char* const kProcedure = "SP_VLM_GRA_SOL_CONT_OS_FECHA5";
const char* const kAccepts =
    "INSERT INTO linha VALUES (:tara, :peso, :valor); "
    "SELECT 0 AS retorno, 777 AS SOLICIT_EMBARQUE_CONTAINER_ID";

// One container line as the closing passes it; the procedure keeps the amounts it receives.
struct LineSave : Closing {
  Variant request{""}, container{"12"}, seal{"MSC4471"}, customs_seal{""},
      health_seal{Variant::null()}, tare{"15,5"}, schedule{0}, order{501},
      observation{"Lacres conferidos"}, weight{"280"}, invoice{"1234,56"};

  LineSave() { db.exec("CREATE TABLE linha (tara, peso, valor)"); }
  bool run(const std::string& body = kAccepts) {
    db.redefine(kProcedure, "os, agend, obs, sol, cont, l1, l2, l3, tara, peso, valor, usuario",
                body);
    return mGrava_Campos_SOLICIT_EMBARQUE_CONTAINER(
        connection, user, company, kind, product, request, container, seal, customs_seal,
        health_seal, tare, schedule, order, observation, weight, invoice, message);
  }
};

nlohmann::json parameter(const char* name, const char* type, const nlohmann::json& value) {
  return {{"name", name}, {"type", type}, {"value", value}};
}

TEST(ContainerLineSave, SendsTwelveTypedParametersAndWritesBack) {
  for (const char* locale : {"pt_BR", "en_US"}) {
    SCOPED_TRACE(locale);
    testing::LocaleScope scope(locale);
    LineSave save;
    ASSERT_TRUE(save.run()) << to_text(save.message);
    const nlohmann::json null;
    const nlohmann::json sent = {
        {"procedure", kProcedure},
        {"parameters",
         {parameter("Ordem_Servico_ID", "integer", 501),
          parameter("Agend_Container_ID", "integer", null),
          parameter("Observ", "varchar", "Lacres conferidos"),
          parameter("Solicit_Embarque_Container_ID", "integer", null),
          parameter("container_id", "integer", "12"),
          parameter("num_lacre_cia_maritima", "varchar", "MSC4471"),
          parameter("num_lacre_receita_federal", "varchar", null),
          parameter("num_lacre_min_saude", "varchar", null), parameter("Tara", "currency", 15.5),
          parameter("Peso", "currency", 280.0), parameter("ValorNF", "currency", 1234.56),
          parameter("Usuario_internet_id", "integer", 25)}}};
    EXPECT_EQ(save.prepared(), std::vector<nlohmann::json>{sent});
    EXPECT_EQ(save.db.query("SELECT * FROM linha"), (Rows{{15.5, 280.0, 1234.56}}));
    // Ids read as zero became the empty text, amounts numbers, and the request holds its new id.
    EXPECT_EQ((Variant::Array{save.request, save.container, save.schedule, save.order, save.tare,
                              save.weight, save.invoice, save.message}),
              (Variant::Array{777, "12", "", 501, 15.5, 280.0, 1234.56, "(message)"}));
    EXPECT_TRUE(save.log().empty());
  }
}

TEST(ContainerLineSave, AnswersAndAmountsOutOfTheOrdinary) {
  // Procedure's answer, result, then the request id and the three amounts afterwards, and what
  // the procedure stored of them. A refusal writes no message and no log row.
  const std::tuple<const char*, bool, Variant, Rows> cases[] = {
      {"SELECT 1 AS retorno, 5 AS SOLICIT_EMBARQUE_CONTAINER_ID", false, "", {}},
      {"SELECT 0 AS retorno WHERE 0", false, "", {}},
      {"DELETE FROM linha WHERE 0", false, "", {}},
      {"INSERT INTO linha VALUES (:tara, :peso, :valor); "
       "SELECT 0 AS retorno, NULL AS SOLICIT_EMBARQUE_CONTAINER_ID",
       true,
       std::int16_t{0},
       {{0.0, Variant::null(), Variant::null()}}},
  };
  for (const auto& [body, accepted, request, stored] : cases) {
    SCOPED_TRACE(body);
    LineSave save;
    save.request = 0;
    save.tare = "0";
    save.weight = "";
    save.invoice = "";
    EXPECT_EQ(save.run(body), accepted);
    EXPECT_EQ((Variant::Array{save.request, save.tare, save.weight, save.invoice, save.message}),
              (Variant::Array{request, 0.0, "", "", "(message)"}));
    EXPECT_EQ(save.db.query("SELECT * FROM linha"), stored);
    EXPECT_TRUE(save.log().empty());
  }
}

TEST(ContainerLineSave, RunTimeFailuresShowTheCallAsText) {
  testing::LocaleScope comma("pt_BR");
  const std::string opening = " - QrnMvl.mGrava_Campos_SOLICIT_EMBARQUE_CONTAINER (";
  auto call = [](const std::string& seal, const char* tare) {
    return "strsq: EXECUTE SP_VLM_GRA_SOL_CONT_OS_FECHA5 501, null, 'Lacres conferidos', null, "
           "12, '" +
           seal + "', null, null, " + tare + ", 280, 1234.56, 1";
  };
  // First seal, tare and procedure body, then the tare afterwards and the context: a seal too
  // long for its parameter is refused before it is sent; the call shows the tare with a point.
  const std::string seal(21, 'S');
  const std::tuple<std::string, Variant, const char*, Variant, std::string> cases[] = {
      {seal, "15,5", kAccepts, 15.5,
       "Application uses a value of the wrong type for the current operation. : 3421)   No Nº 5" +
           call(seal, "15.5")},
      {"MSC4471", "1.234,5", "SELECT 0 AS retorno", 1234.5,
       "Item cannot be found in the collection corresponding to the requested name or ordinal. : "
       "3265)   No Nº 9" +
           call("MSC4471", "1.234.5")},
  };
  for (const auto& [first_seal, tare, body, tare_after, context] : cases) {
    SCOPED_TRACE(context);
    LineSave save;
    save.user = 1;
    save.seal = first_seal;
    save.tare = tare;
    EXPECT_FALSE(save.run(body));
    EXPECT_EQ(save.tare, tare_after);
    EXPECT_EQ(save.message, Variant(kUnavailable + opening + context));
    EXPECT_EQ(save.log(), Closing::logged(kUnavailable + opening + context));
  }
}

TEST(ContainerLineSave, DecimalsAreReadWithTheComma) {
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

TEST(ScheduleObservationSave, SendsTheObservationAlone) {
  Closing c;
  Variant schedule{31}, order{0}, observation{"Sem avarias"};
  auto run = [&](const char* body) {
    c.db.redefine("SP_VLM_ALT_AGEN_CONT_OS_FEC", "os, agend, obs, usuario", body);
    c.db.clear_trace();
    return mGrava_Obs_Agend_CONTAINER(c.connection, c.user, c.company, c.kind, c.product, schedule,
                                      order, observation, c.message);
  };
  const std::pair<const char*, bool> cases[] = {
      {"SELECT 0 AS retorno", true}, {"SELECT 2 AS retorno", false}, {"SELECT 0 WHERE 0", false}};
  for (const auto& [body, accepted] : cases) {
    EXPECT_EQ(run(body), accepted) << body;
    EXPECT_EQ(c.db.commands(), std::vector<std::string>{
                                   "EXEC SP_VLM_ALT_AGEN_CONT_OS_FEC null, 31, 'Sem avarias', 25"});
  }
  // Without a handler of its own, a failure reaches the caller.
  EXPECT_EQ(error_of([&] { run("SELECT * FROM NO_SUCH"); }).description(),
            "no such table: NO_SUCH");
  EXPECT_EQ(c.message, Variant("(message)"));
  EXPECT_TRUE(c.log().empty());
}

}  // namespace
}  // namespace qrnmvl::persistence
