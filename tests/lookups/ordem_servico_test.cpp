#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <qrnmvl/qrnmvl.hpp>
#include <tuple>

#include "common/values.hpp"
#include "support/test_database.hpp"
#include "support/test_values.hpp"

namespace qrnmvl {
namespace {

const char* const kFailureMessage =
    "Acesso ao Fechamento da OS não disponível. Favor tentar mais tarde.";
const char* const kHeader = "SP_VLM_CON_OS_FECHAMENTO13";
const char* const kLines = "SP_VLM_CON_SOL_CONT_OS_FECHA11";
using Lines = Variant::Array;
const std::vector<std::string>& kNames = find_operation("gConsulta_Ordem_Servico_Tipo")->parameters;

// One run of the operation. Outputs start as "keep", so a test sees which ones were written; the
// two types start Empty, as a front end passes them (a text that is no number fails the load).
struct OrderCall {
  std::vector<Variant> p;
  Variant result;

  OrderCall(const testing::TestDatabase& db, Variant id = Variant(15), Variant user = Variant(25))
      : p{db.connection(), std::move(user), 1, "SQLSERVER", "QRNMVL", std::move(id)} {
    p.resize(kNames.size(), Variant("keep"));
    (*this)["outvntTAB_TIPO_ORDEM_SERVICO_iD"] = (*this)["outvntTAB_TIPO_SERVICO_ID"] = Variant();
    (*this)["outvntMsg_Ret"] = "caller's";
    QrnMvl component;
    result = invoke(component, "gConsulta_Ordem_Servico_Tipo", p);
  }
  Variant& operator[](const std::string& name) {
    return p.at(std::find(kNames.begin(), kNames.end(), name) - kNames.begin());
  }
};

using Outputs = std::vector<std::pair<const char*, Variant>>;
void expect_outputs(OrderCall& call, const Outputs& outputs) {
  for (const auto& [name, value] : outputs) EXPECT_EQ(call[name], value) << name;
}

// Scripted procedure rows from SQL literals; a container row past the first is a UNION ALL.
std::string header(const std::string& service_type, const std::string& order_type) {
  return "SELECT " + order_type + " AS TAB_TIPO_ORDEM_SERVICO_iD, " + service_type +
         R"( AS TAB_TIPO_SERVICO_ID, 501 AS Ordem_Servico_id, 'Transporte de Contêiner' AS
    DESCR_TIPO_SERVICO, 'Rodomar' AS FORNECEDOR, '15/10/2025' AS data_servico, '0501/2025' AS
    num_os, NULL AS DATA_INI_EXECUCAO, NULL AS HORA_INI_EXECUCAO, '16/10/2025' AS DATA_FIM_EXECUCAO,
    '17:05' AS HORA_FIM_EXECUCAO, 'Paga' AS DESC_TAB_STATUS_PAGTO_OS, 'S' AS indic_os_em_pagamento,
    NULL AS data_retirada_terminal, NULL AS HORA_retirada_terminal, NULL AS data_entrega_terminal,
    NULL AS HORA_ENTREGA_TERMINAL, NULL AS FORNECEDOR_ID, 302 AS terminal_vazio_id, '301' AS
    terminal_cheio_id, 'ABC1D23' AS placa, 'N' AS flag_contr_canhoto, NULL AS tab_tipo_docto_id,
    NULL AS ID_SISTEMA_EXTERNO, 'S' AS flag_num_docto)";
}

std::string container_row(int id, const std::string& tare, const std::string& weight) {
  const std::string n = std::to_string(id);
  return (id > 1 ? " UNION ALL SELECT " : "SELECT ") + n + " AS SOLICIT_EMBARQUE_CONTAINER_ID, 'C" +
         n + "' AS NUM_CONTAINER, 1" + n + " AS AGEND_CONTAINER_iD, 'obs " + n + "' AS Observ, " +
         tare + " AS TARA, " + weight +
         " AS peso_carga, 'L1' AS num_lacre_cia_maritima, NULL AS num_lacre_receita_federal, 'L3' "
         "AS num_lacre_min_saude, 3 AS TAB_TIPO_CONTAINER_ID, NULL AS valor";
}

TEST(OrderQuery, MissingOrderTypeIdIsRefusedWithoutQuery) {
  for (const Variant& id : {Variant(0), Variant(""), Variant::null(), Variant(), Variant("0")}) {
    SCOPED_TRACE(id.is_null() ? "null" : to_text(id));
    testing::TestDatabase db;
    OrderCall call(db, id);
    EXPECT_EQ(call.result, kFailure);
    EXPECT_EQ(call["outvntMsg_Ret"],
              Variant("Ordem Serviço Tipo não Informado. Contacte o Administrador."));
    EXPECT_TRUE(db.trace().empty());
  }
}

// Service type, order type, the indicator (nullptr: the load fails, keeping what it read). Both
// types are compared as numbers and both always judged: a null service type reads back as "".
TEST(OrderQuery, ReadsTheHeaderAndShowsTerminalFieldsForContainerServiceOfOrderTypes1And2) {
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {"1", "1", "S"}, {"1", "2", "S"},        {"'1'", "'2'", "S"},  {"1", "3", "N"},
      {"2", "1", "N"}, {"NULL", "2", nullptr}, {"2", "'X'", nullptr}};
  for (const auto& [service_type, order_type, shown] : cases) {
    SCOPED_TRACE(std::string(service_type) + " / " + order_type);
    testing::TestDatabase db;
    db.redefine(kHeader, "Ordem_Servico_Tipo_ID", header(service_type, order_type));
    OrderCall call(db);
    EXPECT_EQ(call.result, shown ? kSuccess : kFailure);
    expect_outputs(call, {{"outvntIndic_Mostra_Campo_Terminal", shown ? shown : "N"},
                          {"outvntMsg_Ret", shown ? "caller's" : kFailureMessage},
                          {"outvntfornecedor_id", std::int16_t{0}},
                          {"outvntterminal_vazio_id", 302},
                          {"outvntterminal_cheio_id", "301"},
                          {"outvnttab_tipo_docto_id", std::int16_t{0}},
                          {"outvntnum_documento", ""},
                          {"outvntflag_ctac_os", "N"},  // the order answers no flag row
                          {"outvntQtde_Sol_Cont", std::int16_t{1}},  // and no line: one empty line
                          {"ouvntObserv", "keep"}});
    for (const std::string& name : kNames) {  // the line arrays
      if (name.find("arr") == std::string::npos) continue;
      EXPECT_EQ(call[name], Variant(Lines{Variant()})) << name;
    }
    EXPECT_EQ(db.trace().at(0), nlohmann::json::parse(R"({"procedure": "SP_VLM_CON_OS_FECHAMENTO13",
        "parameters": [{"name": "Ordem_Servico_Tipo_ID", "type": "integer", "value": 15}]})"));
  }
}

TEST(OrderQuery, ContainerLinesComeBackAsParallelArraysWithTheTareForDisplay) {
  const std::string rows = container_row(1, "2200.5", "12.5") + container_row(2, "NULL", "NULL") +
                           container_row(3, "0", "0") + container_row(4, "'3870.4'", "'3870.4'");
  // The tare takes two decimals and a comma (under the decimal point too: see the demo orders),
  // and a text '3870.4' is 3870,4 under the decimal comma as well; the weight comes as read.
  testing::LocaleScope scope("pt_BR");
  testing::TestDatabase db;
  db.redefine(kHeader, "Ordem_Servico_Tipo_ID", header("1", "2"));
  db.redefine(kLines, "Ordem_Servico_ID", rows);
  OrderCall call(db);
  ASSERT_EQ(call.result, kSuccess);
  expect_outputs(call, {{"outvntQtde_Sol_Cont", 4},
                        {"ouvntObserv", "obs 1"},
                        {"outarrvntSOLICIT_EMBARQUE_CONTAINER_ID", Lines{1, 2, 3, 4}},
                        {"outarrvntNUM_CONTAINER", Lines{"C1", "C2", "C3", "C4"}},
                        {"outarrvntnum_lacre_cia_maritima", Lines(4, Variant("L1"))},
                        {"outarrvntnum_lacre_receita_federal", Lines(4, Variant(""))},
                        {"outarrvntnum_lacre_min_saude", Lines(4, Variant("L3"))},
                        {"outarrvntTara", Lines{"2200,50", "", "", "3870,40"}},
                        {"outarrvntAGEND_CONTAINER_ID", Lines{11, 12, 13, 14}},
                        {"arrTab_Tipo_Container_ID", Lines(4, Variant(3))},
                        {"OUTarrPeso_Carga", Lines{12.5, "", 0, "3870.4"}},
                        {"OUTarrValor_NF", Lines(4, Variant(""))}});
}

TEST(OrderQuery, ContainersWithoutARowSetAreRefusedBeforeTheFlagIsAsked) {
  testing::TestDatabase db;
  db.redefine(kLines, "Ordem_Servico_ID", "UPDATE LOG_MSG SET MSG01 = MSG01 WHERE 0");
  OrderCall call(db);
  EXPECT_EQ(call.result, kFailure);
  EXPECT_EQ(call["outvntMsg_Ret"],
            Variant("Não foi encontrado nenhum container para fechamento "
                    "desta OS. Favor contactar o Administrador do Sistema."));
  EXPECT_EQ(call["outvntQtde_Sol_Cont"], Variant("keep"));  // no line is sized
  EXPECT_EQ(db.commands(), std::vector<std::string>{"EXEC SP_VLM_CON_SOL_CONT_OS_FECHA11 null"});
  EXPECT_TRUE(db.query("SELECT * FROM LOG_MSG").empty());
}

TEST(OrderQuery, FailuresAreReportedWithTheirContext) {
  const std::string header_routine = " - QrnMvl.mConsulta_Campos_ORDEM_SERVICO_TIPO (";
  const std::string frame = " - QrnMvl.gConsulta_Ordem_Servico_Tipo (";
  const std::string strsq = "strsq: EXEC SP_VLM_CON_OS_FECHAMENTO13 15";
  const std::string missing =
      "Item cannot be found in the collection corresponding to the "
      "requested name or ordinal. : 3265)   No Nº ";
  // Procedure, its parameter, its body and the context user 1 is given.
  const std::tuple<const char*, const char*, const char*, std::string> cases[] = {
      {kHeader, "Ordem_Servico_Tipo_ID", "SELECT 1 AS TAB_TIPO_ORDEM_SERVICO_iD",
       header_routine + missing + "7" + strsq},
      {kHeader, "Ordem_Servico_Tipo_ID", "SELECT * FROM NO_SUCH_TABLE",
       header_routine + "no such table: NO_SUCH_TABLE : -2147217900)   No Nº 5" + strsq},
      {kLines, "Ordem_Servico_ID", "SELECT 1 AS NUM_CONTAINER", frame + missing + "3"},
      {"SP_VLM_CON_OS_CTAC", "Ordem_Servico_ID", "SELECT 'S' AS flag", frame + missing + "4"},
  };
  for (const auto& [procedure, params, body, context] : cases) {
    for (const int user : {1, 25}) {
      SCOPED_TRACE(std::string(procedure) + " for user " + std::to_string(user));
      testing::TestDatabase db;
      db.redefine(procedure, params, body);
      OrderCall call(db, Variant(15), Variant(user));
      EXPECT_EQ(call.result, kFailure);
      EXPECT_EQ(call["outvntMsg_Ret"],
                Variant(kFailureMessage + (user == 1 ? context : std::string())));
      const auto logged = db.query("SELECT USUARIO_INTERNET_ID, MSG01 FROM LOG_MSG");
      ASSERT_EQ(logged.size(), 1u);
      EXPECT_EQ(logged[0][0], Variant(user));
      EXPECT_EQ(to_text(logged[0][1]).rfind(kFailureMessage, 0), 0u);
    }
  }
}

TEST(OrderQuery, LoadsTheDemoOrders) {
  // Record, order number, order id as sent, line count, terminal indicator, flag.
  const std::tuple<int, const char*, std::string, Variant, const char*, const char*> cases[] = {
      {1001, "0501/2025", "501", 3, "S", "S"},
      {1002, "0501/2025", "501", 3, "N", "S"},  // the same order, empty-container service
      {1008, "0507/2025", "507", std::int16_t{1}, "S", ""},  // no lines yet; a null flag
      {1009, "keep", "null", std::int16_t{1}, "N", "N"},     // cancelled: not found
  };
  testing::LocaleScope scope("en_US");  // the tares still take a comma
  testing::TestDatabase db(true);
  for (const auto& [id, number, order, count, shown, ctac_flag] : cases) {
    SCOPED_TRACE(id);
    db.clear_trace();
    OrderCall call(db, Variant(id));
    EXPECT_EQ(call.result, kSuccess);
    expect_outputs(call, {{"outvntnum_os", number},
                          {"outvntQtde_Sol_Cont", count},
                          {"outvntIndic_Mostra_Campo_Terminal", shown},
                          {"outvntflag_ctac_os", ctac_flag}});
    EXPECT_EQ(db.commands(),
              (std::vector<std::string>{"EXEC SP_VLM_CON_SOL_CONT_OS_FECHA11 " + order,
                                        "EXEC SP_VLM_CON_OS_CTAC " + order}));
  }
}

// Every parameter of the answer, by name, through the JSON contract: a value
// read from the wrong column, or two names swapped, shows here.
TEST(OrderQuery, AnswersEveryParameterByName) {
  testing::LocaleScope scope("pt_BR");
  testing::TestDatabase db(true);
  QrnMvl component;
  const nlohmann::json call{{"invntConecta_db", db.connection_text()},
                            {"invntUsuario_internet_id", 25},
                            {"inVntBanco_Dados", "SQLSERVER"},
                            {"invntOrdem_Servico_Tipo_ID", 1001}};
  const auto answer =
      nlohmann::json::parse(invoke_json(component, "gConsulta_Ordem_Servico_Tipo", call.dump()));
  nlohmann::json expected = nlohmann::json::parse(R"({
      "invntUsuario_internet_id": 25, "invntEmpresa_id": {"$empty": true},
      "inVntBanco_Dados": "SQLSERVER", "invntNome_Produto": {"$empty": true},
      "invntOrdem_Servico_Tipo_ID": 1001, "outvntordem_servico_id": 501,
      "outvntDESCR_TIPO_SERVICO": "Transporte de Contêiner",
      "outvntFORNECEDOR": "Transportadora Rodomar Ltda", "outvntdata_servico": "15/10/2025",
      "outvntnum_os": "0501/2025", "OUTvntData_Ini_Execucao": "", "outvntHORA_INI_EXECUCAO": "",
      "OUTvntData_Fim_Execucao": "", "outvntHORA_FIM_EXECUCAO": "",
      "outvntDESC_TAB_STATUS_PAGTO_OS": "Aguardando Fechamento",
      "outarrvntSOLICIT_EMBARQUE_CONTAINER_ID": [7001, 7002, 7003],
      "outarrvntNUM_CONTAINER": ["TGHU8731457", "MSCU5529040", "HLXU2309177"],
      "outarrvntnum_lacre_cia_maritima": ["ML4471203", "ML4471204", ""],
      "outarrvntnum_lacre_receita_federal": ["RFB0098812", "", ""],
      "outarrvntnum_lacre_min_saude": ["", "", ""], "outarrvntTara": ["2200,50", "3900,00", ""],
      "outarrvntAGEND_CONTAINER_ID": [6001, 6002, 6003], "outvntQtde_Sol_Cont": 3,
      "ouvntObserv": "", "outvntTAB_TIPO_ORDEM_SERVICO_iD": 2, "arrTab_Tipo_Container_ID": [1, 3, 2],
      "outvntMsg_Ret": {"$empty": true}, "outvntIndic_OS_Em_Pagamento": "N",
      "outvntIndic_Mostra_Campo_Terminal": "S", "outvntTAB_TIPO_SERVICO_ID": 1,
      "OUTvntData_Retirada_Terminal": "15/10/2025", "outvntHora_Retirada_Terminal": "07:40",
      "OUTvntData_Entrega_Terminal": "", "outvntHora_Entrega_Terminal": "",
      "outvntfornecedor_id": 201, "outvntterminal_vazio_id": 302, "outvntterminal_cheio_id": 301,
      "outvntflag_ctac_os": "S", "OUTarrPeso_Carga": [18450.0, 24100.0, ""],
      "OUTarrValor_NF": [152300.75, "", ""], "OUTvntPlaca_Cavalo": "",
      "outvntflag_contr_canhoto": "S", "outvnttab_tipo_docto_id": 1, "outvntnum_documento": "",
      "outvntflag_num_docto": "S"})");
  expected["invntConecta_db"] = db.connection_text();
  EXPECT_EQ(answer["result"], 0);
  ASSERT_EQ(answer["parameters"].size(), kNames.size());
  for (const std::string& name : kNames)
    EXPECT_EQ(answer["parameters"][name], expected[name]) << name;
}

}  // namespace
}  // namespace qrnmvl
