#include "closing/validation.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <qrnmvl/container_rules.hpp>

#include "common/helpers.hpp"
#include "common/values.hpp"
#include "support/test_database.hpp"
#include "support/test_values.hpp"

namespace qrnmvl::closing {
namespace {

using testing::LocaleScope;
using testing::TestDatabase;
using Rows = Variant::Array;
using Changes = std::vector<std::pair<std::string, Variant>>;
const std::string kUnavailable =
    "Acesso ao Fechamento da OS não disponível. Favor tentar mais tarde.";

// The lookups as an application database answers them, "today" being 20/10/2025: the order's
// dates from its issue date and days of tolerance; a schedule must belong to its request; a
// container may belong to no other request.
void script_lookups(const TestDatabase& db) {
  db.redefine("SP_VLM_CON_DT_OS02", "ORDEM_SERVICO_ID", R"(
    SELECT substr(DATA_EMISSAO, 1, 10) AS data_emissao, DIAS_TOLERANCIA AS DIAS,
      replace(date(replace(substr(DATA_EMISSAO, 1, 10), '/', '-'), -DIAS_TOLERANCIA || ' days'),
              '-', '/') AS DATA_PERMITIDA,
      strftime('%d/%m/%Y', replace(substr(DATA_EMISSAO, 1, 10), '/', '-')) AS data_emissao_tela,
      '20/10/2025' AS DATA_ATUAL
    FROM ORDEM_SERVICO WHERE ORDEM_SERVICO_ID = :ORDEM_SERVICO_ID)");
  db.redefine("SP_036_CONSISTE_SEC_AGEND_CONT", "AGEND_ID, CHAVE, SOLICIT_ID", R"(
    SELECT CASE WHEN :SOLICIT_ID IS NULL OR EXISTS (SELECT 1 FROM SOLICIT_EMBARQUE_CONTAINER WHERE
      SOLICIT_EMBARQUE_CONTAINER_ID = :SOLICIT_ID AND AGEND_CONTAINER_ID = :AGEND_ID) THEN 0 ELSE 1
      END AS retorno, 'Agendamento ' || :AGEND_ID || ' não pertence à solicitação.' AS Msg_Ret)");
  db.redefine("SP_036_DUP_SOLICIT8", "ORIGEM, NUM, TIPO_ID, SOLICIT_ID, OS_ID", R"(
    SELECT EXISTS (SELECT 1 FROM SOLICIT_EMBARQUE_CONTAINER s JOIN CONTAINER c USING (CONTAINER_ID)
      WHERE c.NUM_CONTAINER = :NUM AND s.SOLICIT_EMBARQUE_CONTAINER_ID <> ifnull(:SOLICIT_ID, 0))
      AS retorno, 'Container ' || :NUM || ' já está em outra solicitação. ' AS Msg_Ret)");
}

// A valid closing of the demo order 501 (record 1001: three containers, terminal fields in
// use). A change names a parameter, or an element of one as "name[i]".
struct ClosingRequest {
  std::vector<Variant> values;
  Variant start, end, withdrawal, delivery;

  explicit ClosingRequest(const TestDatabase& db, const Changes& changes = {})
      : values{db.connection(),
               25,
               1,
               "SQLSERVER",
               "QRNMVL",
               1001,
               "15/10/2025",
               "08:00",
               "15/10/2025",
               "17:30",
               501,
               Rows{7001, 7002, 7003},
               Rows{"TGHU8731457", "MSCU5529040", "HLXU2309177"},
               Rows{"ML4471203", "ML4471204", "ML4471205"},
               Rows{"RFB0098812", "", ""},
               Rows{"", "", ""},
               Rows{"2200,5", "3900", ""},
               Rows{6001, 6002, 6003},
               3,
               "Armazém 3, doca 5.",
               2,
               Rows{1, 3, 2},
               "",
               "15/10/2025",
               "07:40",
               "15/10/2025",
               "18:00",
               1,
               "S",
               301,
               302,
               301,
               Rows{"18450", "24100", ""},
               Rows{"98450", "", ""},
               "ABC1D23",
               1,
               "004512",
               "S"} {
    for (const auto& [name, value] : changes) (*this)[name] = value;
  }
  Variant& operator[](const std::string& name) {
    const auto bracket = name.find('[');
    const auto* names = std::begin(Closing::names);
    Variant& value =
        values.at(std::find(names, std::end(Closing::names), name.substr(0, bracket)) - names);
    return bracket == std::string::npos ? value : value.at(std::stoul(name.substr(bracket + 1)));
  }
  bool validate(ContainerRulesFactory rules = make_default_container_rules) {
#define QRNMVL_TEST_FIRST(name) (*this)[#name]
#define QRNMVL_TEST_NEXT(name) , (*this)[#name]
    Closing p{QRNMVL_PARAMETERS_gGrava_Fechamento(QRNMVL_TEST_FIRST, QRNMVL_TEST_NEXT)};
    Variant connection_text(to_text(values[0]));
    return mConsiste_Campos(connection_text, p, rules, start, end, withdrawal, delivery);
  }
};

std::string describe(const Changes& changes) {
  std::string text;
  for (const auto& [name, value] : changes) text += name + "=" + to_json(value).dump() + " ";
  return text;
}

const char* const kSame = "the same under both separators";
struct RuleCase {
  Changes changes;
  const char* comma;  // the message under a decimal comma; nullptr when the request passes
  const char* point = kSame;
};

TEST(ClosingValidation, RulesInOrderUnderBothDecimalSeparators) {
  const char* const window =
      " não pode ser menor que a data de emissão da Ordem de Serviço: 13/10/2025";
  const std::string before_issue_start =
      "A Data/Hora de Inicio de Execução 10/10/2025" + std::string(window) + " menos 2 dias ";
  const std::string before_issue =
      "A Data/Hora de Inicio de Execução 12/10/2025" + std::string(window);
  const std::string before_issue_withdrawal =
      "A Data/Hora de Retirada do Terminal 12/10/2025" + std::string(window);
  const RuleCase cases[] = {
      {{}, nullptr},
      {{{"invntOrdem_Servico_Tipo_ID", "10.01"}},
       "O campo Ordem Serviço Tipo id não permite a digitação de números com uso de separador de "
       "milhar(.)"},
      {{{"INvntOrdem_Servico_ID", ""}}, "Preencha Ordem Serviço id"},
      {{{"invntData_Ini_Execucao", "31/02/2025"}},
       "Preencha Data Início Execução com uma data válida, no formato dd/mm/aaaa (Exemplo: "
       "13/10/2001)"},
      {{{"invntHora_Ini_Execucao", "7:5"}},
       "Preencha Hora Início Execução com uma hora válida, com 5 dígitos, no formato hh:mm "
       "(Exemplo: 08:10)"},
      {{{"invntHora_Fim_Execucao", "24:00"}},
       "Preencha Hora fim Execução com uma hora válida, com 5 dígitos, no formato hh:mm (Exemplo: "
       "08:30)"},
      {{{"invntData_Retirada", ""}}, "Preencha Data Retirada"},
      {{{"invntIndic_Mostra_Campo_Terminal", "N"}, {"invntData_Retirada", "31/02/2025"}}, nullptr},
      // Execution order, at equality and one minute (or one day) past it.
      {{{"invntData_Ini_Execucao", "16/10/2025"}},
       "A Data/Hora de Início de Execução não pode ser maior que a Data/Hora Fim de Execução."},
      {{{"invntHora_Ini_Execucao", "17:31"}},
       "Hora de Início de Execução não pode ser maior que a Hora Fim de Execução."},
      {{{"invntHora_Ini_Execucao", "17:30"}, {"invntHora_Retirada", "17:30"}}, nullptr},
      {{{"invntData_Fim_Execucao", "21/10/2025"}, {"invntData_Entrega", "21/10/2025"}},
       "A Data/ Hora de fim de Execução não pode ser maior que a Data de hoje 20/10/2025"},
      {{{"invntData_Fim_Execucao", "20/10/2025"}, {"invntData_Entrega", "20/10/2025"}}, nullptr},
      // The issue date window: service type 1 may start 2 days before 13/10, others may not.
      {{{"invntData_Ini_Execucao", "10/10/2025"}, {"invntData_Retirada", "10/10/2025"}},
       before_issue_start.c_str()},
      {{{"invntData_Ini_Execucao", "11/10/2025"}, {"invntData_Retirada", "11/10/2025"}}, nullptr},
      {{{"invntTab_Tipo_Servico_ID", 2}, {"invntData_Ini_Execucao", "12/10/2025"}},
       before_issue.c_str()},
      {{{"invntTab_Tipo_Servico_ID", 2}, {"invntData_Retirada", "12/10/2025"}},
       before_issue_withdrawal.c_str()},
      {{{"invntTab_Tipo_Servico_ID", 2},
        {"invntData_Ini_Execucao", "13/10/2025"},
        {"invntData_Retirada", "13/10/2025"}},
       nullptr},
      // Terminal order.
      {{{"invntData_Retirada", "16/10/2025"}},
       "A Data/Hora de Retirada do Terminal não pode ser maior que a Data/Hora de Início de "
       "Execução."},
      {{{"invntHora_Retirada", "08:01"}},
       "Hora de Retirada do Terminal não pode ser maior que a Hora de Início de Execução."},
      {{{"invntHora_Retirada", "08:00"}, {"invntHora_Entrega", "17:30"}}, nullptr},
      {{{"invntData_Retirada", "10/10/2025"}},
       "A Data/Hora de Retirada do Terminal 10/10/2025 não pode ser menor que a data de emissão "
       "da Ordem de Serviço: 13/10/2025 menos 2 dias "},
      {{{"invntData_Entrega", "14/10/2025"}},
       "A Data/Hora de Fim de Execução não pode ser maior que a Data/Hora de Entrega no Terminal."},
      {{{"invntHora_Entrega", "17:29"}},
       "Hora de Fim de Execução não pode ser maior que a Hora de Entrega no Terminal."},
      {{{"invntData_Entrega", "21/10/2025"}},
       "A Data/ Hora de Entrega no Terminal não pode ser maior que a Data de hoje 20/10/2025"},
      // Document fields.
      {{{"INvntPlaca_Cavalo", "ABC1D234"}}, "Preencha Placa Cavalo com, no máximo, 7 caracteres."},
      {{{"invnttab_tipo_docto_id", ""}}, "Preencha Tipo de Documento"},
      {{{"invntnum_documento", ""}}, "Preencha Número do Documento"},
      {{{"invntnum_documento", ""}, {"invntflag_num_docto", "N"}}, nullptr},
      // Amounts, first read as soon as a row carries a tare.
      // The limits are compared once the value has the local separator: a decimal comma reads
      // the same under both; the maximum is printed in the local form.
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
      {{{"invntTab_Tipo_Servico_ID", 2}, {"inarrvntTara[1]", "3.900"}},
       "O campo Tara (Linha 2) não permite a digitação de números com uso de separador de "
       "milhar(.)"},
      // Container rows.
      {{{"inarrvntSolicit_Embarque_Container_ID[0]", "7,001"}},
       "O campo Solicit Embarque Container id (Linha 1) não permite a digitação de números com "
       "casas decimais(,)"},
      {{{"inarrvntAgend_Container_ID[2]", ""}}, "Preencha Agend Container id (Linha 3)"},
      {{{"INvntTab_Tipo_Ordem_Servico_ID", 1}, {"inarrvntAgend_Container_ID[0]", 6002}},
       "Agendamento 6002 não pertence à solicitação."},
      {{{"inarrvntNum_Container[1]", ""}}, "Preencha Nº Container (Linha 2)"},
      {{{"inarrvntNum_Container[0]", "TGHU8731458"}},
       "O dígito verificador do Nº Container TGHU8731458 não confere. Confira o número digitado. "
       "(Linha 1) - Nº Container TGHU8731458"},
      {{{"INvntTab_Tipo_Ordem_Servico_ID", 1}, {"inarrvntNum_Container[1]", "TGHU8731457"}},
       "Container TGHU8731457 já está em outra solicitação. Acesso a solicitação do "
       "container.(Linha 2) - Nº Container TGHU8731457"},
      {{{"INvntTab_Tipo_Ordem_Servico_ID", 3}, {"inarrvntNum_Container[1]", "TGHU8731457"}},
       nullptr},
      {{{"arrTab_Tipo_Container_ID[1]", ""}}, "Preencha o Tipo de Container (Linha 2)"},
      {{{"inarrvntNum_Lacre_Cia_Maritima[0]", ""}}, "Preencha 1º Lacre (Cia Maritíma) (Linha 1)"},
      {{{"inarrvntNum_Lacre_Min_Saude[2]", "MS000731-0000000000000"}},
       "Preencha 2º Lacre (Min. Saúde) (Linha 3) com, no máximo, 20 caracteres."},
      {{{"INvntTab_Tipo_Ordem_Servico_ID", 16}}, "Preencha Valor NF(Linha 2)"},
      {{{"INvntTab_Tipo_Ordem_Servico_ID", "17"}, {"arrValorNF[1]", "1"}, {"arrValorNF[2]", "1"}},
       "Preencha Peso (Linha 3)"},
      // Rows without data are skipped, rows beyond the count ignored; some rows must carry data.
      {{{"inarrvntNum_Container[2]", ""}, {"inarrvntNum_Lacre_Cia_Maritima[2]", ""}}, nullptr},
      {{{"invntvntQtde_Sol_Cont", 2}, {"inarrvntNum_Container[2]", "x"}, {"arrPeso[2]", "x"}},
       nullptr},
      {{{"invntvntQtde_Sol_Cont", 1},
        {"inarrvntNum_Container[0]", ""},
        {"inarrvntNum_Lacre_Cia_Maritima[0]", ""},
        {"inarrvntNum_Lacre_Receita_Federal[0]", " "},
        {"inarrvntTara[0]", "0"}},
       "Informe os Dados do Container."},
      {{{"invntvntQtde_Sol_Cont", 0}, {"INvntTab_Tipo_Ordem_Servico_ID", 9}}, nullptr},
      {{{"invntvntQtde_Sol_Cont", 0}, {"invntTab_Tipo_Servico_ID", "2"}}, nullptr},
      {{{"invntObserv", std::string(301, 'x')}},
       "Preencha Observação com, no máximo, 300 caracteres."},
  };
  for (const char* locale : {"pt_BR", "en_US"}) {
    LocaleScope scope(locale);
    TestDatabase db(true);
    script_lookups(db);
    for (const RuleCase& c : cases) {
      SCOPED_TRACE(locale + (" " + describe(c.changes)));
      const char* expected =
          std::string_view(locale) == "en_US" && c.point != kSame ? c.point : c.comma;
      ClosingRequest request(db, c.changes);
      EXPECT_EQ(request.validate(), expected == nullptr);
      EXPECT_EQ(request["outvntMsg_Ret"], Variant(expected ? expected : ""));
    }
    EXPECT_TRUE(db.query("SELECT * FROM LOG_MSG").empty());
  }
}

TEST(ClosingValidation, CleansTheRequestInPlaceAndHandsBackTheDateTimes) {
  LocaleScope scope("pt_BR");
  TestDatabase db(true);
  script_lookups(db);
  ClosingRequest request(db, {{"invntOrdem_Servico_Tipo_ID", " 1001 "},
                              {"invntData_Ini_Execucao", " 15/10/2025"},
                              {"invntHora_Fim_Execucao", "17:30 "},
                              {"INvntOrdem_Servico_ID", "'501'"},
                              {"invntObserv", " Doca (5); 100% ok "},
                              {"invntTab_Tipo_Servico_ID", 1},
                              {"INvntPlaca_Cavalo", "ABC-1D2'"},
                              {"invntnum_documento", "<004512>"},
                              {"inarrvntNum_Container[0]", " TGHU8731457 "},
                              {"inarrvntNum_Lacre_Cia_Maritima[1]", "ML+4471204"},
                              {"arrPeso[0]", "18450;"},
                              {"invntvntQtde_Sol_Cont", 2},
                              {"inarrvntNum_Container[2]", " 'x' "}});
  ASSERT_TRUE(request.validate()) << to_text(request["outvntMsg_Ret"]);
  const std::pair<const char*, Variant> cleaned[] = {
      {"invntOrdem_Servico_Tipo_ID", "1001"},
      {"invntData_Ini_Execucao", "15/10/2025"},
      {"invntHora_Fim_Execucao", "17:30"},
      {"INvntOrdem_Servico_ID", "501"},
      {"invntObserv", "Doca 5 100 ok"},
      {"invntTab_Tipo_Servico_ID", "1"},
      {"INvntTab_Tipo_Ordem_Servico_ID", "2"},
      {"INvntPlaca_Cavalo", "ABC-1D2"},
      {"invnttab_tipo_docto_id", "1"},
      {"invntnum_documento", "004512"},
      {"inarrvntSolicit_Embarque_Container_ID", Rows{"7001", "7002", 7003}},
      {"inarrvntNum_Container", Rows{"TGHU8731457", "MSCU5529040", " 'x' "}},
      {"inarrvntNum_Lacre_Cia_Maritima", Rows{"ML4471203", "ML4471204", "ML4471205"}},
      {"arrTab_Tipo_Container_ID", Rows{"1", "3", 2}},
      {"inarrvntAgend_Container_ID", Rows{"6001", "6002", 6003}},
      {"arrPeso", Rows{"18450", "24100", ""}},
      {"invntIndic_Mostra_Campo_Terminal", "S"},  // not cleaned
      {"outvntMsg_Ret", ""}};
  for (const auto& [name, value] : cleaned) EXPECT_EQ(request[name], value) << name;
  EXPECT_EQ(request.start, Variant("2025/10/15 08:00"));
  EXPECT_EQ(request.end, Variant("2025/10/15 17:30"));
  EXPECT_EQ(request.withdrawal, Variant("2025/10/15 07:40"));
  EXPECT_EQ(request.delivery, Variant("2025/10/15 18:00"));
}

// The indicator turns the terminal checks on only when it is exactly "S"; the date-times are built
// when it is "S" once trimmed.
TEST(ClosingValidation, TerminalFieldsNotInUseComeBackEmpty) {
  const std::pair<Variant, const char*> cases[] = {
      {"N", ""}, {Variant::null(), ""}, {" S", " "}, {"S", "2025/10/15 07:40"}};
  TestDatabase db(true);
  script_lookups(db);
  for (const auto& [indicator, withdrawal] : cases) {
    SCOPED_TRACE(to_json(indicator).dump());
    const bool in_use = equals(indicator, "S");
    ClosingRequest request(db, {{"invntIndic_Mostra_Campo_Terminal", indicator},
                                {"invntHora_Entrega", in_use ? "18:00" : "99:99"}});
    ASSERT_TRUE(request.validate()) << to_text(request["outvntMsg_Ret"]);
    EXPECT_EQ(request.withdrawal, Variant(withdrawal));
    EXPECT_EQ(request.delivery, Variant(in_use ? "2025/10/15 18:00" : withdrawal));
    for (const char* name :
         {"invntData_Retirada", "invntHora_Retirada", "invntData_Entrega", "invntHora_Entrega"})
      EXPECT_EQ(request[name].is_string() && !to_text(request[name]).empty(), in_use) << name;
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
      Changes as_user = changes;
      as_user.emplace_back("invntUsuario_internet_id", user);
      ClosingRequest request(db, as_user);
      EXPECT_FALSE(request.validate(rules));
      EXPECT_EQ(request["outvntMsg_Ret"], Variant(kUnavailable + (user == 1 ? context : "")));
      EXPECT_EQ(db.query("SELECT TAB_TIPO_MSG_ID, USUARIO_INTERNET_ID, MSG01 FROM LOG_MSG"),
                (std::vector<std::vector<Variant>>{
                    {1, user, gRetira_Caracteres_Especiais(Variant(kUnavailable + context))}}));
    }
  }
}

// A host's rules, made through its own factory: they note what they receive, in order, and
// answer as the case tells them.
struct HostRules : ContainerRules {
  struct Script {
    const char* indicator;
    long property_at_row;  // the 1-based row whose property is refused, 0 for none
    long number_at_row;    // the same for the number
    std::vector<std::string> calls;
    int made = 0, released = 0;
  };
  Script& script;
  long row = 0;

  explicit HostRules(Script& s) : script(s) { ++script.made; }
  ~HostRules() override { ++script.released; }
  static std::string text(std::initializer_list<const Variant*> values) {
    std::string all;
    for (const Variant* value : values) all += " " + to_json(*value).dump();
    return all;
  }
  long check_property(Variant& user, Variant& kind, Variant& connection, Variant& request,
                      Variant& indicator, Variant& message, Variant& record) override {
    script.calls.push_back(
        "property" + text({&user, &kind, &connection, &request, &indicator, &message, &record}));
    indicator = script.indicator;
    if (++row != script.property_at_row) return 0;
    message = "Container bloqueado. ";
    return 3;
  }
  long check_number(Variant& user, Variant& kind, Variant& connection, Variant& number,
                    Variant& message) override {
    script.calls.push_back("number" + text({&user, &kind, &connection, &number, &message}));
    if (row != script.number_at_row) return 0;
    message = "Número fora da frota. ";
    return -1;
  }
};

TEST(ClosingValidation, CallsTheHostsContainerRulesRowByRow) {
  struct Case {
    Changes changes;
    HostRules::Script script;
    const char* message;
    std::size_t calls;
  };
  Case cases[] = {
      {{}, {"N", 0, 0, {}}, "", 6},
      {{}, {" S ", 0, 1, {}}, "", 3},
      {{},
       {"N", 2, 0, {}},
       "Container bloqueado. Acesso a prop. container.(Linha 2) - Nº Container MSCU5529040",
       3},
      {{}, {"", 0, 1, {}}, "Número fora da frota. (Linha 1) - Nº Container TGHU8731457", 2},
      {{{"invntTab_Tipo_Servico_ID", 2}}, {"N", 1, 1, {}}, "", 0}};
  TestDatabase db(true);
  script_lookups(db);
  const std::string connection = to_json(db.connection()).dump();
  for (Case& c : cases) {
    SCOPED_TRACE(c.message);
    ClosingRequest request(db, c.changes);
    HostRules::Script& script = c.script;
    EXPECT_EQ(request.validate([&] { return std::make_unique<HostRules>(script); }),
              c.message[0] == '\0');
    EXPECT_EQ(request["outvntMsg_Ret"], Variant(c.message));
    EXPECT_EQ(script.made, c.calls > 0 ? 1 : 0);
    EXPECT_EQ(script.released, script.made);
    ASSERT_EQ(script.calls.size(), c.calls);
    if (c.calls == 0) continue;
    EXPECT_EQ(script.calls[0], "property 25 \"SQLSERVER\" " + connection +
                                   " \"7001\" {\"$empty\":true} \"\" \"1001\"");
    if (script.calls.size() > 1 && script.calls[1].rfind("number", 0) == 0) {
      EXPECT_EQ(script.calls[1], "number 25 \"SQLSERVER\" " + connection + " \"TGHU8731457\" \"\"");
    }
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
  Changes duplicate = order_type_1;
  duplicate.emplace_back("inarrvntNum_Container[2]", "MSCU5529040");
  EXPECT_FALSE(ClosingRequest(db, duplicate).validate());
  EXPECT_EQ(tables(), before);
}

}  // namespace
}  // namespace qrnmvl::closing
