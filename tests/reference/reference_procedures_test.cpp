// The reference database's procedures under load: what they answer and store, command by
// command, is in the golden scenarios (reference_*).
#include <barrier>
#include <string>
#include <thread>
#include <vector>

#include "data/connection.hpp"
#include "support/test_database.hpp"
#include "support/test_values.hpp"

namespace qrnmvl {
namespace {

using testing::TestDatabase;
using Rows = std::vector<std::vector<Variant>>;

data::RowSet run(const TestDatabase& db, const std::string& text) {
  return data::open_connection(db.connection_text())->execute(text);
}

TEST(ReferenceProcedures, FiftyThousandIncidentsInOneCall) {
  constexpr int kCount = 50000;
  TestDatabase db(true);
  db.exec(
      "INSERT INTO TAB_TIPO_INCIDENTE (TAB_TIPO_INCIDENTE_ID, DESCRICAO) "
      "WITH RECURSIVE n (i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < " +
      std::to_string(kCount) + ") SELECT 1000 + i, 'Tipo ' || i FROM n");
  std::string ids, justifications, flags;
  for (int i = 0; i < kCount; ++i) {
    const char* separator = i == 0 ? "" : ",";
    ids += separator + std::to_string(1000 + i);
    justifications += (i == 0 ? "" : "|") + std::string("motivo ") + std::to_string(i);
    flags += separator + std::string("S");
  }
  const data::RowSet answer =
      run(db, "EXECUTE SP_036_INC_INCIDENTE3 1001, 'S', '" + ids + "', 'Obs', '" + justifications +
                  "', '" + flags + "', 25, null ");
  EXPECT_EQ(answer.field("retorno"), Variant(0));
  // Each type kept the justification of its own row.
  EXPECT_EQ(db.query("SELECT count(*) FROM INCIDENTE_OS WHERE ORDEM_SERVICO_TIPO_ID = 1001 "
                     "AND JUSTIFICATIVA = 'motivo ' || (TAB_TIPO_INCIDENTE_ID - 1000)"),
            (Rows{{kCount}}));
}

// Two closings on their own connections register the same new numbers at the same moment, the
// way the component does (look the number up, create it when missing): one container each.
TEST(ReferenceProcedures, SimultaneousRegistrationsMakeOneContainer) {
  constexpr int kNumbers = 150;
  TestDatabase db(true);
  std::barrier together(2);
  std::vector<Variant> ids[2];
  const auto closing = [&](int who) {
    try {
      const auto connection = data::open_connection(db.connection_text());
      for (int i = 0; i < kNumbers; ++i) {
        const std::string number = "'RACE" + std::to_string(100000 + i) + "'";
        together.arrive_and_wait();
        data::RowSet found = connection->execute("EXEC SP_VLM_CON_CONTAINER_OS_FECHA   " + number);
        if (found.eof()) {
          found = connection->execute("EXEC SP_VLM_INC_CONTAINER_OS_FECHA2   " + number + ", " +
                                      std::to_string(1 + who) + ", 25");
          EXPECT_EQ(found.field("retorno"), Variant(0));
        }
        ids[who].push_back(found.field("container_id"));
      }
    } catch (const Error& error) {
      ADD_FAILURE() << error.description();
      together.arrive_and_drop();  // the other closing goes on alone
    }
  };
  std::thread first(closing, 0), second(closing, 1);
  first.join();
  second.join();
  EXPECT_EQ(ids[0], ids[1]);
  EXPECT_EQ(db.query("SELECT count(*) FROM CONTAINER WHERE NUM_CONTAINER LIKE 'RACE%'"),
            (Rows{{kNumbers}}));
}

}  // namespace
}  // namespace qrnmvl
