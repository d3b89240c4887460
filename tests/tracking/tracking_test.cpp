// The order type a closing keeps for its tracking's jobs belongs to the thread running the
// closing. What the tracking sends and stores is in the golden scenarios (tracking_*).
#include "tracking/tracking.hpp"

#include <gtest/gtest.h>

#include <latch>
#include <thread>

#include "closing/closing_state.hpp"
#include "support/test_database.hpp"
#include "support/test_values.hpp"

namespace qrnmvl {
namespace {

// One CTAC, every lookup answering; the insert answers a tracking id made of the event's code
// and its CTAC, so the jobs show which event they are for.
struct TrackingDatabase : testing::TestDatabase {
  TrackingDatabase() {
    const auto script = [this](const char* procedure, const char* body) {
      redefine(procedure, "a, b, c, d, e, f, g, h, i", body);
    };
    script("SP_VLM_CON_PARAMETRO_SISTEMA", "SELECT :a AS PARAMETRO");
    script("SP_VLM_SELECT_TIPO_OS6",
           "SELECT 0 AS retorno, 0 AS contador, 'N' AS flag_entrega_direta");
    script("SP_VLM_CON_CTACS_CONT_FECHA_OS", "SELECT 501 AS DOCTO_TRANSPORTE_ID");
    script("SP_VLM_INC_TRACKING7",
           "SELECT 0 AS retorno, :g * 1000 + coalesce(:i, 0) AS tracking_id");
  }
};

bool plan(const testing::TestDatabase& db, int order_type) {
  Variant type(order_type), service(1), kind("ORACLE"), request(77), order(1001), user(25),
      connection = db.connection(), message, company(3), show_terminal("N"), product("QRN"),
      start("2010/09/16 08:00"), start_hour("08:00"), end("2010/09/16 17:00"), end_hour("17:00"),
      none("");
  return tracking::mGera_Tracking_FCL(type, service, kind, request, order, user, connection,
                                      message, company, show_terminal, product, none, none, start,
                                      start_hour, end, end_hour, none, none, 0, 7, 60, 70);
}

TEST(TrackingWrites, EachThreadKeepsItsOwnOrderType) {
  TrackingDatabase db;
  std::latch type_2_planned(1), type_1_planned(1);
  bool type_2_recorded = false, type_1_recorded = false, late_event_recorded = false;
  std::thread type_2([&] {
    type_2_recorded = plan(db, 2);
    type_2_planned.count_down();
    type_1_planned.wait();
    // After the other thread stored type 1, this thread's events still queue jobs.
    Variant connection = db.connection(), message;
    late_event_recorded = tracking::mInclui_Campos_TRACKING(
        Variant("ORACLE"), Variant(77), Variant(3), Variant("2010/09/16 18:00"), Variant("18:00"),
        Variant(1001), Variant(25), connection, Variant(1400), message, " Tracking", 0, 501, 7);
  });
  std::thread type_1([&] {
    type_2_planned.wait();
    type_1_recorded = plan(db, 1) && closing::tracking_order_type == 1;
    type_1_planned.count_down();
  });
  type_2.join();
  type_1.join();

  EXPECT_TRUE(type_2_recorded && type_1_recorded && late_event_recorded);
  EXPECT_EQ(db.query("SELECT TXT_QUERY FROM LOG_GERADOR ORDER BY LOG_GERADOR_ID"),
            (Rows{{"__JOB__1__1331501__3____501__7__1331501"},
                  {"__JOB__2__1332501__3____501__7__1332501"},
                  {"__JOB__3__1400501__3____501__7__1400501"}}));
}

}  // namespace
}  // namespace qrnmvl
