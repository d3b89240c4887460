#include "closing/validation.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <qrnmvl/container_rules.hpp>

#include "closing_request.hpp"
#include "common/helpers.hpp"
#include "common/values.hpp"
#include "support/test_database.hpp"
#include "support/test_values.hpp"

namespace qrnmvl::closing {
namespace {

using testing::LocaleScope;
const std::string kUnavailable =
    "Acesso ao Fechamento da OS não disponível. Favor tentar mais tarde.";

const char* const kSame = "the same under both separators";
struct RuleCase {
  Changes changes;
  const char* comma;  // the message under a decimal comma; nullptr when the request passes
  const char* point = kSame;
};

TEST(ClosingValidation, RulesInOrderUnderBothDecimalSeparators) {
  const std::string issue =
      " não pode ser menor que a data de emissão da Ordem de Serviço: 13/10/2025";
  const std::string window = issue + " menos 2 dias ";
  const std::string start_10 = "A Data/Hora de Inicio de Execução 10/10/2025" + window;
  const std::string start_12 = "A Data/Hora de Inicio de Execução 12/10/2025" + issue;
  const std::string withdrawal_10 = "A Data/Hora de Retirada do Terminal 10/10/2025" + window;
  const RuleCase cases[] = {
      {{}, nullptr},
      // A count that is not a whole number is refused before any row is read, so no row
      // beyond the checked ones is ever saved.
      {{{"invntvntQtde_Sol_Cont", 1.5}, {"inarrvntNum_Container[1]", "NOT A CONTAINER"}},
       "O campo Quantidade de Containers não permite a digitação de números com casas "
       "decimais(,)",
       "O campo Quantidade de Containers não permite a digitação de números com uso de separador "
       "de milhar(.)"},
      {{{"invntData_Ini_Execucao", "31/02/2025"}},
       "Preencha Data Início Execução com uma data válida, no formato dd/mm/aaaa (Exemplo: "
       "13/10/2001)"},
      {{{"invntHora_Ini_Execucao", "7:5"}},
       "Preencha Hora Início Execução com uma hora válida, com 5 dígitos, no formato hh:mm "
       "(Exemplo: 08:10)"},
      {{{"invntHora_Fim_Execucao", "24:00"}},
       "Preencha Hora fim Execução com uma hora válida, com 5 dígitos, no formato hh:mm (Exemplo: "
       "08:30)"},
      {{{"invntIndic_Mostra_Campo_Terminal", "N"}, {"invntData_Retirada", "31/02/2025"}}, nullptr},
      // The dates in order, at equality and one minute (or day) past it.
      {{{"invntData_Ini_Execucao", "16/10/2025"}},
       "A Data/Hora de Início de Execução não pode ser maior que a Data/Hora Fim de Execução."},
      {{{"invntHora_Ini_Execucao", "17:31"}},
       "Hora de Início de Execução não pode ser maior que a Hora Fim de Execução."},
      {{{"invntHora_Ini_Execucao", "17:30"}, {"invntHora_Retirada", "17:30"}}, nullptr},
      {{{"invntData_Fim_Execucao", "21/10/2025"}, {"invntData_Entrega", "21/10/2025"}},
       "A Data/ Hora de fim de Execução não pode ser maior que a Data de hoje 20/10/2025"},
      {{{"invntData_Fim_Execucao", "20/10/2025"}, {"invntData_Entrega", "20/10/2025"}}, nullptr},
      {{{"invntData_Ini_Execucao", "10/10/2025"}, {"invntData_Retirada", "10/10/2025"}},
       start_10.c_str()},
      {{{"invntData_Ini_Execucao", "11/10/2025"}, {"invntData_Retirada", "11/10/2025"}}, nullptr},
      {{{"invntTab_Tipo_Servico_ID", 2}, {"invntData_Ini_Execucao", "12/10/2025"}},
       start_12.c_str()},
      {{{"invntTab_Tipo_Servico_ID", 2},
        {"invntData_Ini_Execucao", "13/10/2025"},
        {"invntData_Retirada", "13/10/2025"}},
       nullptr},
      {{{"invntData_Retirada", "16/10/2025"}},
       "A Data/Hora de Retirada do Terminal não pode ser maior que a Data/Hora de Início de "
       "Execução."},
      {{{"invntHora_Retirada", "08:01"}},
       "Hora de Retirada do Terminal não pode ser maior que a Hora de Início de Execução."},
      {{{"invntData_Retirada", "10/10/2025"}}, withdrawal_10.c_str()},
      {{{"invntData_Entrega", "14/10/2025"}},
       "A Data/Hora de Fim de Execução não pode ser maior que a Data/Hora de Entrega no Terminal."},
      {{{"invntHora_Entrega", "17:29"}},
       "Hora de Fim de Execução não pode ser maior que a Hora de Entrega no Terminal."},
      {{{"invntData_Entrega", "21/10/2025"}},
       "A Data/ Hora de Entrega no Terminal não pode ser maior que a Data de hoje 20/10/2025"},
      {{{"invntnum_documento", ""}}, "Preencha Número do Documento"},
      {{{"invntnum_documento", ""}, {"invntflag_num_docto", "N"}}, nullptr},
      // Amounts are read as soon as a row has a tare, the limits once in the local form.
      {{{"inarrvntTara[0]", "9999999,99"}}, nullptr},
      {{{"inarrvntTara[0]", "10000000"}},
       "Tara (Linha 1) deve ser igual ou menor que 9999999,99",
       "Tara (Linha 1) deve ser igual ou menor que 9999999.99"},
      {{{"arrPeso[1]", "24.100"}},
       "O campo Peso (Linha 2) não permite a digitação de números com uso de separador de "
       "milhar(.)"},
      {{{"arrPeso[2]", "abc"}}, nullptr},
      {{{"arrPeso[2]", "abc"}, {"inarrvntTara[2]", "10"}},
       "Preencha Peso (Linha 3) com valor numérico"},
      {{{"invntTab_Tipo_Servico_ID", 2}, {"inarrvntTara[1]", "1.000"}},
       "O campo Tara (Linha 2) não permite a digitação de números com uso de separador de "
       "milhar(.)"},
      // Container rows.
      {{{"inarrvntAgend_Container_ID[2]", ""},  // a row without data needs it too
        {"inarrvntNum_Container[2]", ""},
        {"inarrvntNum_Lacre_Cia_Maritima[2]", ""}},
       "Preencha Agend Container id (Linha 3)"},
      {{{"INvntTab_Tipo_Ordem_Servico_ID", 1}, {"inarrvntAgend_Container_ID[0]", 6002}},
       "Agendamento 6002 de outra solicitação."},
      {{{"inarrvntNum_Container[1]", ""}}, "Preencha Nº Container (Linha 2)"},
      {{{"inarrvntNum_Container[0]", "TGHU8731458"}},
       "O dígito verificador do Nº Container TGHU8731458 não confere. Confira o número digitado. "
       "(Linha 1) - Nº Container TGHU8731458"},
      {{{"INvntTab_Tipo_Ordem_Servico_ID", 1}, {"inarrvntNum_Container[1]", "TGHU8731457"}},
       "Container em outra solicitação. Acesso a solicitação do container.(Linha 2) - Nº "
       "Container TGHU8731457"},
      {{{"INvntTab_Tipo_Ordem_Servico_ID", "3"}, {"inarrvntNum_Container[1]", "TGHU8731457"}},
       nullptr},
      {{{"arrTab_Tipo_Container_ID[1]", ""}}, "Preencha o Tipo de Container (Linha 2)"},
      {{{"INvntTab_Tipo_Ordem_Servico_ID", 16}}, "Preencha Valor NF(Linha 2)"},
      {{{"INvntTab_Tipo_Ordem_Servico_ID", "17"}, {"arrValorNF[1]", "1"}, {"arrValorNF[2]", "1"}},
       "Preencha Peso (Linha 3)"},
      // Rows without data are skipped, rows beyond the count ignored; one row must carry data.
      {{{"inarrvntNum_Container[2]", ""}, {"inarrvntNum_Lacre_Cia_Maritima[2]", " "}}, nullptr},
      {{{"invntvntQtde_Sol_Cont", 2}, {"inarrvntNum_Container[2]", "x"}, {"arrPeso[2]", "x"}},
       nullptr},
      {{{"invntvntQtde_Sol_Cont", "1"},
        {"inarrvntNum_Container[0]", ""},
        {"inarrvntNum_Lacre_Cia_Maritima[0]", ""},
        {"inarrvntNum_Lacre_Receita_Federal[0]", ""},
        {"inarrvntTara[0]", "0"}},
       "Informe os Dados do Container."},
      {{{"invntvntQtde_Sol_Cont", 0}, {"INvntTab_Tipo_Ordem_Servico_ID", 9}}, nullptr},
      {{{"invntvntQtde_Sol_Cont", 0}, {"invntTab_Tipo_Servico_ID", "2"}}, nullptr},
  };
  for (const char* locale : {"pt_BR", "en_US"}) {
    LocaleScope scope(locale);
    TestDatabase db(true);
    script_lookups(db);
    for (const RuleCase& c : cases) {
      std::string what = locale;
      for (const auto& [name, value] : c.changes) what += " " + name + "=" + to_json(value).dump();
      SCOPED_TRACE(what);
      const char* expected =
          std::string_view(locale) == "en_US" && c.point != kSame ? c.point : c.comma;
      ClosingRequest request(db, c.changes);
      EXPECT_EQ(request.validate(), expected == nullptr);
      EXPECT_EQ(request["outvntMsg_Ret"], Variant(expected ? expected : ""));
    }
    EXPECT_TRUE(db.query("SELECT * FROM LOG_MSG").empty());
  }
}

// The indicator turns the terminal fields on only when it is exactly "S"; the date-times are
// built when it is "S" once trimmed.
TEST(ClosingValidation, CleansInPlaceAndHandsBackTheDateTimes) {
  const std::pair<Variant, const char*> indicators[] = {
      {"S", "2025/10/15 07:40"}, {"N", ""}, {Variant::null(), ""}, {" S", " "}};
  TestDatabase db(true);
  script_lookups(db);
  for (const auto& [indicator, withdrawal] : indicators) {
    SCOPED_TRACE(to_json(indicator).dump());
    const bool in_use = equals(indicator, "S");
    ClosingRequest request(db, {{"invntIndic_Mostra_Campo_Terminal", indicator},
                                {"INvntOrdem_Servico_ID", " '501'"},
                                {"invntObserv", " Doca (5); 100% ok "},
                                {"INvntPlaca_Cavalo", "ABC-1D2'"},
                                {"inarrvntTara[1]", " 3900 "},
                                {"arrPeso[0]", "18450;"},
                                {"invntvntQtde_Sol_Cont", 2},
                                {"inarrvntNum_Container[2]", " 'x' "}});
    ASSERT_TRUE(request.validate()) << to_text(request["outvntMsg_Ret"]);
    const std::pair<const char*, Variant> cleaned[] = {
        {"INvntOrdem_Servico_ID", "501"},
        {"invntObserv", "Doca 5 100 ok"},
        {"INvntPlaca_Cavalo", "ABC-1D2"},
        {"invntTab_Tipo_Servico_ID", "1"},
        {"inarrvntAgend_Container_ID", Variant::Array{"6001", "6002", 6003}},
        {"inarrvntTara", Variant::Array{"2200,5", "3900", ""}},
        {"arrPeso", Variant::Array{"18450", "24100", ""}},
        {"inarrvntNum_Container", Variant::Array{"TGHU8731457", "MSCU5529040", " 'x' "}},
        {"invntHora_Retirada", in_use ? "07:40" : ""},
        {"invntData_Entrega", in_use ? "15/10/2025" : ""},
        {"outvntMsg_Ret", ""}};
    for (const auto& [name, value] : cleaned) EXPECT_EQ(request[name], value) << name;
    EXPECT_EQ(request.start, Variant("2025/10/15 08:00"));
    EXPECT_EQ(request.end, Variant("2025/10/15 17:30"));
    EXPECT_EQ(request.withdrawal, Variant(withdrawal));
    EXPECT_EQ(request.delivery, Variant(in_use ? "2025/10/15 18:00" : withdrawal));
  }
}

TEST(ClosingValidation, LookupsSendTheirCommandTexts) {
  TestDatabase db(true);
  script_lookups(db);
  // The third row brings a container of the register that no request holds yet.
  ClosingRequest request(db, {{"INvntTab_Tipo_Ordem_Servico_ID", 1},
                              {"inarrvntNum_Container[2]", "BMOU2981047"},
                              {"inarrvntSolicit_Embarque_Container_ID[2]", ""},
                              {"inarrvntAgend_Container_ID[2]", "0"},
                              {"arrTab_Tipo_Container_ID[2]", "20'"}});
  ASSERT_TRUE(request.validate()) << to_text(request["outvntMsg_Ret"]);
  EXPECT_EQ(db.commands(), (std::vector<std::string>{
                               "EXEC SP_VLM_CON_DT_OS02   501",
                               "EXECUTE SP_036_CONSISTE_SEC_AGEND_CONT 6001,null, 7001",
                               "EXECUTE SP_036_DUP_SOLICIT8 NULL ,'TGHU8731457','1',7001,501",
                               "EXECUTE SP_036_CONSISTE_SEC_AGEND_CONT 6002,null, 7002",
                               "EXECUTE SP_036_DUP_SOLICIT8 NULL ,'MSCU5529040','3',7002,501",
                               "EXECUTE SP_036_CONSISTE_SEC_AGEND_CONT null,null, null",
                               "EXECUTE SP_036_DUP_SOLICIT8 NULL ,'BMOU2981047','20',null,501"}));
}

TEST(ClosingValidation, UnexpectedFailuresAreLoggedWithTheirContext) {
  const std::string opening = " - QrnMvl.mConsiste_Campos (";
  const std::tuple<Changes, ContainerRulesFactory, std::string> cases[] = {
      {{{"invntvntQtde_Sol_Cont", 4}},
       make_default_container_rules,
       opening + "Subscript out of range : 9)   No Nº 1"},
      {{{"invntObserv", Variant::null()}},
       make_default_container_rules,
       opening + "Invalid use of Null : 94)   No Nº 1"},
      {{},
       [] { return std::unique_ptr<ContainerRules>(); },
       opening + "Object variable or With block variable not set : 91)   No Nº 10"}};
  for (const auto& [changes, rules, context] : cases) {
    for (const int user : {1, 25}) {
      SCOPED_TRACE(context + " for user " + std::to_string(user));
      TestDatabase db(true);
      script_lookups(db);
      ClosingRequest request(db, changes);
      request["invntUsuario_internet_id"] = user;
      EXPECT_FALSE(request.validate(rules));
      EXPECT_EQ(request["outvntMsg_Ret"], Variant(kUnavailable + (user == 1 ? context : "")));
      EXPECT_EQ(db.query("SELECT TAB_TIPO_MSG_ID, USUARIO_INTERNET_ID, MSG01 FROM LOG_MSG"),
                (std::vector<std::vector<Variant>>{
                    {1, user, gRetira_Caracteres_Especiais(Variant(kUnavailable + context))}}));
    }
  }
}

// A host's rules: they note what they receive, and refuse the property of one row (and the
// number of every row when the host says so).
struct HostRules : ContainerRules {
  struct Script {
    const char* indicator;
    long refused_row;
    long number_answer;
    std::vector<std::string> calls;
    int alive = 0;
  };
  Script& script;
  long row = 0;

  explicit HostRules(Script& s) : script(s) { ++script.alive; }
  ~HostRules() override { --script.alive; }
  void note(const char* call, std::initializer_list<const Variant*> arguments) {
    std::string text = call;
    for (const Variant* argument : arguments) text += " " + to_json(*argument).dump();
    script.calls.push_back(text);
  }
  long check_property(Variant& user, Variant& kind, Variant& connection, Variant& request,
                      Variant& indicator, Variant& message, Variant& record) override {
    note("property", {&user, &kind, &connection, &request, &indicator, &message, &record});
    indicator = script.indicator;
    if (++row != script.refused_row) return 0;
    message = "Container bloqueado. ";
    return 3;
  }
  long check_number(Variant& user, Variant& kind, Variant& connection, Variant& number,
                    Variant& message) override {
    note("number", {&user, &kind, &connection, &number, &message});
    if (script.number_answer != 0) message = "Fora da frota. ";
    return script.number_answer;
  }
};

TEST(ClosingValidation, CallsTheHostsContainerRulesRowByRow) {
  TestDatabase db(true);
  script_lookups(db);
  const std::string with = " 25 \"SQLSERVER\" " + to_json(db.connection()).dump();
  const std::string property_1 = "property" + with + R"( "7001" {"$empty":true} "" "1001")";
  const std::string number_1 = "number" + with + R"( "TGHU8731457" "")";
  const std::tuple<Changes, HostRules::Script, const char*, std::vector<std::string>> cases[] = {
      {{}, {"N", 0, 0, {}}, "", {property_1, number_1, "property", "number", "property", "number"}},
      {{}, {" S ", 0, 1, {}}, "", {property_1, "property", "property"}},
      {{},
       {"N", 2, 0, {}},
       "Container bloqueado. Acesso a prop. container.(Linha 2) - Nº Container MSCU5529040",
       {property_1, number_1, "property"}},
      {{},
       {"", 0, -1, {}},
       "Fora da frota. (Linha 1) - Nº Container TGHU8731457",
       {property_1, number_1}},
      {{{"invntTab_Tipo_Servico_ID", 2}}, {"N", 1, 1, {}}, "", {}}};
  for (auto [changes, script, message, calls] : cases) {
    SCOPED_TRACE(message);
    int made = 0;
    ClosingRequest request(db, changes);
    EXPECT_EQ(request.validate([&] {
      ++made;
      return std::make_unique<HostRules>(script);
    }),
              message[0] == '\0');
    EXPECT_EQ(request["outvntMsg_Ret"], Variant(message));
    EXPECT_EQ(made, calls.empty() ? 0 : 1);
    EXPECT_EQ(script.alive, 0);  // released after the last row, or the row that failed
    ASSERT_EQ(script.calls.size(), calls.size());
    for (std::size_t i = 0; i < calls.size(); ++i)
      EXPECT_EQ(script.calls[i].substr(0, calls[i].size()), calls[i]);
  }
}

TEST(ClosingValidation, WritesNothingToTheApplicationTables) {
  TestDatabase db(true);
  script_lookups(db);
  const auto tables = [&db] {
    std::vector<std::vector<std::vector<Variant>>> contents;
    for (const auto& table : db.query("SELECT name FROM sqlite_master WHERE type = 'table'"))
      contents.push_back(db.query("SELECT * FROM " + to_text(table[0])));
    return contents;
  };
  const auto before = tables();
  ASSERT_GT(before.size(), 10u);
  const Changes order_type_1 = {{"INvntTab_Tipo_Ordem_Servico_ID", 1}};
  EXPECT_TRUE(ClosingRequest(db, order_type_1).validate());
  ClosingRequest duplicate(db, order_type_1);
  duplicate["inarrvntNum_Container[2]"] = "MSCU5529040";
  EXPECT_FALSE(duplicate.validate());
  EXPECT_EQ(tables(), before);
}

}  // namespace
}  // namespace qrnmvl::closing
