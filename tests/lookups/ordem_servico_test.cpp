#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <qrnmvl/qrnmvl.hpp>

#include "common/values.hpp"
#include "data/data.hpp"
#include "support/test_database.hpp"

namespace qrnmvl {
namespace {

using testing::LocaleScope;
using testing::TestDatabase;

const char* const kFailureMessage =
    "Acesso ao Fechamento da OS não disponível. Favor tentar mais tarde.";
const char* const kMissingColumn =
    "Item cannot be found in the collection corresponding to the requested name or ordinal.";

// Every output starts as "keep", so a test sees which ones the operation wrote; the two types
// start Empty, as a front end passes them, since a text that is not a number fails the load.
struct OrderCall {
  OrderCall(Variant connection_value, Variant id_value, Variant user_id = Variant(25))
      : connection(std::move(connection_value)),
        user(std::move(user_id)),
        id(std::move(id_value)) {}

  Variant connection, user, company{1}, kind{"SQLSERVER"}, product{"QRNMVL"}, id;
  Variant order_id{"keep"}, service{"keep"}, supplier{"keep"}, service_date{"keep"}, number{"keep"},
      start_date{"keep"}, start_hour{"keep"}, end_date{"keep"}, end_hour{"keep"},
      payment_status{"keep"}, request_ids{"keep"}, containers{"keep"}, line_seals{"keep"},
      customs_seals{"keep"}, health_seals{"keep"}, tares{"keep"}, schedule_ids{"keep"},
      count{"keep"}, observation{"keep"}, order_type, container_types{"keep"}, message{"caller's"},
      in_payment{"keep"}, show_terminal{"keep"}, service_type, pickup_date{"keep"},
      pickup_hour{"keep"}, delivery_date{"keep"}, delivery_hour{"keep"}, supplier_id{"keep"},
      empty_terminal{"keep"}, full_terminal{"keep"}, ctac_flag{"keep"}, weights{"keep"},
      invoice_values{"keep"}, plate{"keep"}, stub_control{"keep"}, document_type{"keep"},
      document_number{"keep"}, document_flag{"keep"};
  Variant result;

  void run() {
    QrnMvl component;
    result = component.gConsulta_Ordem_Servico_Tipo(
        connection, user, company, kind, product, id, order_id, service, supplier, service_date,
        number, start_date, start_hour, end_date, end_hour, payment_status, request_ids, containers,
        line_seals, customs_seals, health_seals, tares, schedule_ids, count, observation,
        order_type, container_types, message, in_payment, show_terminal, service_type, pickup_date,
        pickup_hour, delivery_date, delivery_hour, supplier_id, empty_terminal, full_terminal,
        ctac_flag, weights, invoice_values, plate, stub_control, document_type, document_number,
        document_flag);
  }
};

const Variant kSuccess(std::int16_t{0});
const Variant kFailure(std::int16_t{10});

Variant array(Variant::Array elements) { return Variant(std::move(elements)); }

// A header row whose service type and order type are SQL literals.
std::string header(const std::string& service_type, const std::string& order_type) {
  return "SELECT " + order_type +
         " AS TAB_TIPO_ORDEM_SERVICO_iD, 501 AS Ordem_Servico_id, 'Transporte de Contêiner' AS "
         "DESCR_TIPO_SERVICO, 'Rodomar' AS FORNECEDOR, '15/10/2025' AS data_servico, '0501/2025' "
         "AS num_os, NULL AS DATA_INI_EXECUCAO, NULL AS HORA_INI_EXECUCAO, '16/10/2025' AS "
         "DATA_FIM_EXECUCAO, '17:05' AS HORA_FIM_EXECUCAO, 'Paga' AS DESC_TAB_STATUS_PAGTO_OS, "
         "'S' AS indic_os_em_pagamento, " +
         service_type +
         " AS TAB_TIPO_SERVICO_ID, NULL AS data_retirada_terminal, NULL AS HORA_retirada_terminal, "
         "NULL AS data_entrega_terminal, NULL AS HORA_ENTREGA_TERMINAL, NULL AS FORNECEDOR_ID, 302 "
         "AS terminal_vazio_id, '301' AS terminal_cheio_id, 'ABC1D23' AS placa, 'N' AS "
         "flag_contr_canhoto, NULL AS tab_tipo_docto_id, NULL AS ID_SISTEMA_EXTERNO, 'S' AS "
         "flag_num_docto";
}

// A container row with the given id, tare and cargo weight (SQL literals).
std::string container_row(int id, const std::string& tare, const std::string& weight) {
  return "SELECT " + std::to_string(id) + " AS SOLICIT_EMBARQUE_CONTAINER_ID, 'C" +
         std::to_string(id) +
         "' AS NUM_CONTAINER, 'L1' AS num_lacre_cia_maritima, NULL AS num_lacre_receita_federal, "
         "'L3' AS num_lacre_min_saude, " +
         tare + " AS TARA, " + std::to_string(id + 100) +
         " AS AGEND_CONTAINER_iD, 3 AS TAB_TIPO_CONTAINER_ID, " + weight +
         " AS peso_carga, NULL AS valor, 'obs " + std::to_string(id) + "' AS Observ";
}

std::vector<std::string> exec_commands(const TestDatabase& db) {
  std::vector<std::string> out;
  for (const std::string& command : db.commands())
    if (command.rfind("EXEC", 0) == 0) out.push_back(command);
  return out;
}

std::vector<std::vector<Variant>> log_rows(const TestDatabase& db) {
  return db.query("SELECT USUARIO_INTERNET_ID, MSG01 FROM LOG_MSG");
}

TEST(OrderQuery, MissingOrderTypeIdIsRefusedWithoutQuery) {
  for (const Variant& id : {Variant(0), Variant(""), Variant::null(), Variant(), Variant("0")}) {
    SCOPED_TRACE(id.is_null() ? "null" : to_text(id));
    TestDatabase db;
    OrderCall call{db.connection(), id};
    call.run();
    EXPECT_EQ(call.result, kFailure);
    EXPECT_EQ(call.message, Variant("Ordem Serviço Tipo não Informado. Contacte o Administrador."));
    EXPECT_EQ(call.count, Variant("keep"));
    EXPECT_TRUE(db.trace().empty());
  }
}

TEST(OrderQuery, ReadsTheHeaderAndQueriesTheOrdersLines) {
  TestDatabase db;
  db.redefine("SP_VLM_CON_OS_FECHAMENTO13", "Ordem_Servico_Tipo_ID", header("1", "2"));
  OrderCall call{db.connection(), Variant(15)};
  call.run();

  EXPECT_EQ(call.result, kSuccess);
  EXPECT_EQ(call.message, Variant("caller's"));
  EXPECT_EQ(call.order_id, Variant(501));
  EXPECT_EQ(call.start_date, Variant(""));
  EXPECT_EQ(call.end_hour, Variant("17:05"));
  EXPECT_EQ(call.supplier_id, Variant(std::int16_t{0}));
  EXPECT_EQ(call.empty_terminal, Variant(302));
  EXPECT_EQ(call.full_terminal, Variant("301"));
  EXPECT_EQ(call.document_type, Variant(std::int16_t{0}));
  EXPECT_EQ(call.document_number, Variant(""));
  EXPECT_EQ(call.show_terminal, Variant("S"));
  EXPECT_EQ(call.ctac_flag, Variant("N"));  // the order answers no flag row
  EXPECT_EQ(call.count, Variant(std::int16_t{1}));

  const nlohmann::json prepared = {{"procedure", "SP_VLM_CON_OS_FECHAMENTO13"},
                                   {"parameters",
                                    {{{"name", "Ordem_Servico_Tipo_ID"},
                                      {"type", data::data_type_name(data::DataType::Integer)},
                                      {"value", 15}}}}};
  ASSERT_FALSE(db.trace().empty());
  EXPECT_EQ(db.trace().front(), prepared);
  EXPECT_EQ(exec_commands(db), (std::vector<std::string>{"EXEC SP_VLM_CON_SOL_CONT_OS_FECHA11 501",
                                                         "EXEC SP_VLM_CON_OS_CTAC 501"}));
}

TEST(OrderQuery, AnOrderNotFoundKeepsTheCallersHeader) {
  TestDatabase db;  // no orders at all
  OrderCall call{db.connection(), Variant(15)};
  call.run();

  EXPECT_EQ(call.result, kSuccess);
  EXPECT_EQ(call.number, Variant("keep"));
  EXPECT_EQ(call.supplier_id, Variant("keep"));
  EXPECT_EQ(call.show_terminal, Variant("N"));
  EXPECT_EQ(exec_commands(db), (std::vector<std::string>{"EXEC SP_VLM_CON_SOL_CONT_OS_FECHA11 null",
                                                         "EXEC SP_VLM_CON_OS_CTAC null"}));
}

TEST(OrderQuery, TerminalFieldsShowForContainerServiceOfOrderTypes1And2) {
  struct Case {
    const char* service_type;
    const char* order_type;
    const char* shown;  // nullptr: the load fails
  };
  // A null service type reads back as "", which is no number; and both sides are always
  // judged, so an order type that is no number fails even for service type 2.
  const Case cases[] = {
      {"1", "1", "S"}, {"1", "2", "S"},        {"'1'", "'2'", "S"},   {"1", "3", "N"},
      {"2", "1", "N"}, {"NULL", "2", nullptr}, {"2", "'X'", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.service_type) + " / " + c.order_type);
    TestDatabase db;
    db.redefine("SP_VLM_CON_OS_FECHAMENTO13", "Ordem_Servico_Tipo_ID",
                header(c.service_type, c.order_type));
    OrderCall call{db.connection(), Variant(15)};
    call.run();
    EXPECT_EQ(call.result, c.shown ? kSuccess : kFailure);
    EXPECT_EQ(call.show_terminal, c.shown ? Variant(c.shown) : Variant("N"));
  }
}

TEST(OrderQuery, ContainerLinesComeBackAsParallelArrays) {
  struct Case {
    const char* name;
    std::string body;
    std::vector<int> ids;  // the rows expected; none: one empty line
  };
  const Case cases[] = {
      {"no rows", container_row(1, "NULL", "NULL") + " WHERE 0", {}},
      {"one row", container_row(7001, "2200.5", "12.5"), {7001}},
      {"three rows",
       container_row(7001, "1", "1") + " UNION ALL " + container_row(7002, "2", "2") +
           " UNION ALL " + container_row(7003, "3", "3"),
       {7001, 7002, 7003}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestDatabase db;
    db.redefine("SP_VLM_CON_OS_FECHAMENTO13", "Ordem_Servico_Tipo_ID", header("1", "2"));
    db.redefine("SP_VLM_CON_SOL_CONT_OS_FECHA11", "Ordem_Servico_ID", c.body);
    OrderCall call{db.connection(), Variant(15)};
    call.run();
    ASSERT_EQ(call.result, kSuccess);

    Variant::Array ids, numbers, schedules, seals, empty{Variant()};
    for (const int id : c.ids) {
      ids.push_back(Variant(id));
      numbers.push_back(Variant("C" + std::to_string(id)));
      schedules.push_back(Variant(id + 100));
      seals.push_back(Variant(""));  // a null seal comes back as an empty text
    }
    const bool none = c.ids.empty();
    EXPECT_EQ(call.count, none ? Variant(std::int16_t{1}) : Variant(std::int32_t(c.ids.size())));
    EXPECT_EQ(call.request_ids, array(none ? empty : ids));
    EXPECT_EQ(call.containers, array(none ? empty : numbers));
    EXPECT_EQ(call.schedule_ids, array(none ? empty : schedules));
    EXPECT_EQ(call.customs_seals, array(none ? empty : seals));
    for (const Variant* lines : {&call.line_seals, &call.health_seals, &call.tares,
                                 &call.container_types, &call.weights, &call.invoice_values})
      EXPECT_EQ(lines->size(), none ? 1u : c.ids.size());
    EXPECT_EQ(call.observation, none ? Variant("keep") : Variant("obs 7001"));
  }
}

TEST(OrderQuery, TareIsAnAmountWithTwoDecimalsUnderEitherSeparator) {
  const std::string rows = container_row(1, "2200.5", "12.5") + " UNION ALL " +
                           container_row(2, "NULL", "NULL") + " UNION ALL " +
                           container_row(3, "0", "0") + " UNION ALL " +
                           container_row(4, "'3870.4'", "'3870.4'");
  for (const char* locale : {"pt_BR", "en_US"}) {
    SCOPED_TRACE(locale);
    LocaleScope scope(locale);
    TestDatabase db;
    db.redefine("SP_VLM_CON_OS_FECHAMENTO13", "Ordem_Servico_Tipo_ID", header("1", "2"));
    db.redefine("SP_VLM_CON_SOL_CONT_OS_FECHA11", "Ordem_Servico_ID", rows);
    OrderCall call{db.connection(), Variant(15)};
    call.run();
    ASSERT_EQ(call.result, kSuccess);
    EXPECT_EQ(call.tares,
              array({Variant("2200,50"), Variant(""), Variant(""), Variant("3870,40")}));
    // Weights come back as read.
    EXPECT_EQ(call.weights, array({Variant(12.5), Variant(""), Variant(0), Variant("3870.4")}));
  }
}

TEST(OrderQuery, ContainersWithoutARowSetAreRefused) {
  TestDatabase db;
  db.redefine("SP_VLM_CON_SOL_CONT_OS_FECHA11", "Ordem_Servico_ID",
              "UPDATE LOG_MSG SET MSG01 = MSG01 WHERE 0");
  OrderCall call{db.connection(), Variant(15)};
  call.run();
  EXPECT_EQ(call.result, kFailure);
  EXPECT_EQ(call.message,
            Variant("Não foi encontrado nenhum container para fechamento desta OS. Favor contactar "
                    "o Administrador do Sistema."));
  EXPECT_EQ(call.count, Variant("keep"));
  EXPECT_EQ(exec_commands(db).size(), 1u);  // the flag is not asked
  EXPECT_TRUE(log_rows(db).empty());
}

TEST(OrderQuery, FailuresAreReportedWithTheirContext) {
  struct Case {
    const char* procedure;
    const char* params;
    const char* body;
    std::string context;
  };
  const std::string header_routine = " - QrnMvl.mConsulta_Campos_ORDEM_SERVICO_TIPO (";
  const std::string frame = " - QrnMvl.gConsulta_Ordem_Servico_Tipo (";
  const Case cases[] = {
      {"SP_VLM_CON_OS_FECHAMENTO13", "Ordem_Servico_Tipo_ID",
       "SELECT 1 AS TAB_TIPO_ORDEM_SERVICO_iD",
       header_routine + kMissingColumn +
           " : 3265)   No Nº 7strsq: EXEC SP_VLM_CON_OS_FECHAMENTO13 15"},
      {"SP_VLM_CON_OS_FECHAMENTO13", "Ordem_Servico_Tipo_ID", "SELECT * FROM NO_SUCH_TABLE",
       header_routine + "no such table: NO_SUCH_TABLE : -2147217900)   No Nº 5strsq: EXEC "
                        "SP_VLM_CON_OS_FECHAMENTO13 15"},
      {"SP_VLM_CON_SOL_CONT_OS_FECHA11", "Ordem_Servico_ID", "SELECT 1 AS NUM_CONTAINER",
       frame + kMissingColumn + " : 3265)   No Nº 3"},
      {"SP_VLM_CON_OS_CTAC", "Ordem_Servico_ID", "SELECT 'S' AS flag",
       frame + kMissingColumn + " : 3265)   No Nº 4"},
  };
  for (const Case& c : cases) {
    for (const int user : {1, 25}) {
      SCOPED_TRACE(std::string(c.procedure) + " for user " + std::to_string(user));
      TestDatabase db;
      db.redefine(c.procedure, c.params, c.body);
      OrderCall call{db.connection(), Variant(15), Variant(user)};
      call.run();
      EXPECT_EQ(call.result, kFailure);
      EXPECT_EQ(call.message,
                Variant(user == 1 ? kFailureMessage + c.context : std::string(kFailureMessage)));
      const auto logged = log_rows(db);
      ASSERT_EQ(logged.size(), 1u);
      EXPECT_EQ(logged[0][0], Variant(user));
      EXPECT_EQ(to_text(logged[0][1]).rfind(kFailureMessage, 0), 0u);
    }
  }
}

TEST(OrderQuery, LoadsTheDemoOrders) {
  struct Case {
    int id;
    Variant number;
    Variant count;
    const char* shown;
    const char* ctac_flag;
  };
  const Case cases[] = {
      {1001, Variant("0501/2025"), Variant(3), "S", "S"},
      {1002, Variant("0501/2025"), Variant(3), "N",
       "S"},  // the same order, empty-container service
      {1003, Variant("0502/2025"), Variant(1), "S", "N"},
      {1006, Variant("0505/2025"), Variant(std::int16_t{1}), "N", "N"},  // no container line
      {1008, Variant("0507/2025"), Variant(std::int16_t{1}), "S", ""},
      {1009, Variant("keep"), Variant(std::int16_t{1}), "N", "N"},  // cancelled: not found
  };
  TestDatabase db(true);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    OrderCall call{db.connection(), Variant(c.id)};
    call.run();
    EXPECT_EQ(call.result, kSuccess);
    EXPECT_EQ(call.number, c.number);
    EXPECT_EQ(call.count, c.count);
    EXPECT_EQ(call.show_terminal, Variant(c.shown));
    EXPECT_EQ(call.ctac_flag, Variant(c.ctac_flag));
  }

  OrderCall first{db.connection(), Variant(1001)};
  first.run();
  EXPECT_EQ(first.pickup_date, Variant("15/10/2025"));
  EXPECT_EQ(first.pickup_hour, Variant("07:40"));
  EXPECT_EQ(first.start_date, Variant(""));
  EXPECT_EQ(first.containers,
            array({Variant("TGHU8731457"), Variant("MSCU5529040"), Variant("HLXU2309177")}));
  EXPECT_EQ(first.tares, array({Variant("2200,50"), Variant("3900,00"), Variant("")}));
}

}  // namespace
}  // namespace qrnmvl
