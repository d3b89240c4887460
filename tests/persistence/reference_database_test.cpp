#include "support.hpp"

namespace qrnmvl::persistence {
namespace {

// The saves of one container line of order 501 (record 1001, line 7003, schedule 6003) on the
// reference procedures: every value reaches the column it is meant for.
TEST(SavesOnTheReferenceDatabase, OneLineOfAClosingIsStored) {
  testing::LocaleScope comma("pt_BR");
  Closing c(true);
  Variant record{1001}, start{"2025/10/15 08:10"}, end{"2025/10/15 16:45"}, pick_up{""},
      delivery{""}, state{2}, plate{"ABC1D23"}, document_type{1}, document{"4471"};
  ASSERT_TRUE(mAltera_Campos_ORDEM_SERVICO_TIPO(c.connection, c.user, c.company, c.kind, c.product,
                                                record, start, end, state, c.message, pick_up,
                                                delivery, plate, document_type, document));
  EXPECT_EQ(c.db.query("SELECT DATA_INI_EXECUCAO, DATA_FIM_EXECUCAO, TAB_STATUS_OS_TIPO_ID, PLACA "
                       "FROM ORDEM_SERVICO_TIPO WHERE ORDEM_SERVICO_TIPO_ID = 1001"),
            (Rows{{"2025/10/15 08:10:00", "2025/10/15 16:45:00", 2, "ABC1D23"}}));

  Variant number{"MSCU1234565"}, type{1};
  std::int32_t id = 0;
  ASSERT_TRUE(gConsulta_Ordem_Servico(c.connection, c.user, c.company, c.kind, c.product, number,
                                      id, type, c.message));
  // Registered a moment earlier by another closing: creating it again answers the same container.
  std::int32_t again = 0;
  ASSERT_TRUE(mConsulta_Campos_vENDERECO_PESSOA(c.connection, c.user, c.company, c.kind, c.product,
                                                number, type, again, c.message));
  EXPECT_EQ(again, id);
  EXPECT_EQ(c.db.query("SELECT count(*) FROM CONTAINER WHERE NUM_CONTAINER = 'MSCU1234565'"),
            Rows{{1}});

  Variant request{7003}, container{std::to_string(id)}, seal{"ML4471205"}, customs{""}, health{""},
      tare{"2.200,5"}, schedule{6003}, order{501}, observation{"Sem avarias"}, weight{"18450"},
      invoice{"1234,56"};
  ASSERT_TRUE(mGrava_Campos_SOLICIT_EMBARQUE_CONTAINER(
      c.connection, c.user, c.company, c.kind, c.product, request, container, seal, customs, health,
      tare, schedule, order, observation, weight, invoice, c.message));
  EXPECT_EQ(request, Variant(7003));
  EXPECT_EQ(
      c.db.query("SELECT CONTAINER_ID, NUM_LACRE_CIA_MARITIMA, TARA, PESO_CARGA, VALOR_NF "
                 "FROM SOLICIT_EMBARQUE_CONTAINER WHERE SOLICIT_EMBARQUE_CONTAINER_ID = 7003"),
      (Rows{{id, "ML4471205", 2200.5, 18450.0, 1234.56}}));

  Variant no_schedule{""};
  EXPECT_TRUE(mAltera_Tab_Tipo_Container_ID_OSAC(c.user, c.kind, c.connection, order, no_schedule,
                                                 type, c.message));
  EXPECT_EQ(c.message, Variant("(message)"));
  EXPECT_TRUE(c.log().empty());
}

}  // namespace
}  // namespace qrnmvl::persistence
