#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "common/json_value.hpp"
#include "incidents/incidents.hpp"
#include "support/test_database.hpp"

namespace qrnmvl {

// Readable values in failure messages.
[[maybe_unused]] static void PrintTo(const Variant& value, std::ostream* out) {
  *out << to_json(value).dump();
}

namespace {

using testing::TestDatabase;

const char* const kProcedure = "SP_036_CON_LISTA_TIPO_INCIDENTE_OS4";
const char* const kMessage =
    "Problemas na Montagem da Lista de Indicadores. Contacte o Administrador do Sistema.";

// One call of the operation, with every output primed so that untouched ones show.
struct Listing {
  explicit Listing(const TestDatabase& db) : connection(db.connection()) {}

  Variant run() {
    return incidents::gMonta_Lista_Tab_Tipo_Incidente(connection, kind, user, count, ids,
                                                      descriptions, selected, order, justifications,
                                                      stubs, message, kinds);
  }
  // Row i of the six arrays, in the order of the columns.
  std::vector<Variant> row(std::size_t i) const {
    return {ids.at(i),   descriptions.at(i), selected.at(i), justifications.at(i),
            stubs.at(i), kinds.at(i)};
  }

  Variant connection, kind{"SQLSERVER"}, user{25}, count{"(count)"}, ids{"(ids)"},
      descriptions{"(descriptions)"}, selected{"(selected)"}, order{27},
      justifications{"(justifications)"}, stubs{"(stubs)"}, message{"(message)"}, kinds{"(kinds)"};
};

const Variant kSuccess(std::int16_t{0});
const Variant kFailure(std::int16_t{10});

TEST(IncidentList, CopiesTheRowsIntoParallelArrays) {
  const std::string columns =
      " AS tab_tipo_incidente_id, 'Avaria' AS descricao, 'S' AS Flag_Selecionado, "
      "'Porta amassada' AS justificativa, 'N' AS flag_contr_canhoto, 'M' AS flag_tipo_cadastro";
  const std::vector<Variant> avaria = {Variant(5), "Avaria", "S", "Porta amassada", "N", "M"};
  const struct {
    const char* name;
    std::string body;
    std::optional<std::vector<std::vector<Variant>>> rows;  // none: outputs untouched
  } cases[] = {
      {"no rows", "SELECT 5" + columns + " WHERE 0", std::nullopt},
      {"one row", "SELECT 5" + columns, {{avaria}}},
      {"two rows in order",
       "SELECT 5" + columns + " UNION ALL SELECT 18, 'Atraso', NULL, NULL, 'S', 'A'",
       {{avaria, {Variant(18), "Atraso", "", "", "S", "A"}}}},
      {"null columns",
       "SELECT NULL AS tab_tipo_incidente_id, NULL AS descricao, NULL AS Flag_Selecionado, NULL "
       "AS justificativa, NULL AS flag_contr_canhoto, NULL AS flag_tipo_cadastro",
       {{{Variant(std::int16_t{0}), "", "", "", "", ""}}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TestDatabase db;
    db.redefine(kProcedure, "ORDEM_SERVICO_TIPO_ID", c.body);
    Listing call(db);
    EXPECT_EQ(call.run(), kSuccess);
    EXPECT_EQ(call.message, Variant("(message)"));
    if (!c.rows) {
      EXPECT_EQ(call.count, Variant("(count)"));
      EXPECT_EQ(call.ids, Variant("(ids)"));
      EXPECT_EQ(call.kinds, Variant("(kinds)"));
      continue;
    }
    ASSERT_EQ(call.count, Variant(static_cast<std::int32_t>(c.rows->size())));
    for (const Variant* array : {&call.ids, &call.descriptions, &call.selected,
                                 &call.justifications, &call.stubs, &call.kinds})
      ASSERT_EQ(array->size(), c.rows->size());
    for (std::size_t i = 0; i < c.rows->size(); ++i) EXPECT_EQ(call.row(i), (*c.rows)[i]);
  }
}

TEST(IncidentList, SendsTheRecordIdOrNull) {
  const struct {
    Variant order;
    const char* sent;
  } cases[] = {{Variant(27), "27"},     {Variant("27"), "27"}, {Variant(27.0), "27"},
               {Variant(0), "null"},    {Variant(""), "null"}, {Variant(), "null"},
               {Variant("abc"), "null"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sent);
    TestDatabase db;
    db.redefine(kProcedure, "ORDEM_SERVICO_TIPO_ID", "SELECT 1 AS tab_tipo_incidente_id WHERE 0");
    Listing call(db);
    call.order = c.order;
    EXPECT_EQ(call.run(), kSuccess);
    EXPECT_EQ(db.commands(),
              std::vector<std::string>{std::string("EXECUTE ") + kProcedure + " " + c.sent + " "});
  }
}

TEST(IncidentList, AFailureIsLoggedWithDetailOnlyForUserOne) {
  const std::string sql = std::string("SQL: EXECUTE ") + kProcedure + " 27 ";
  const struct {
    const char* name;
    std::string body;
    Variant order;
    std::string context;
  } cases[] = {
      {"failing procedure", "SELECT * FROM NO_SUCH_TABLE", Variant(27),
       " - M036TTI.mMonta_Lista_Tab_Tipo_Incidente( no such table: NO_SUCH_TABLE :  No Nº 1)" +
           sql},
      {"missing column", "SELECT 5 AS tab_tipo_incidente_id", Variant(27),
       " - M036TTI.mMonta_Lista_Tab_Tipo_Incidente( Item cannot be found in the collection "
       "corresponding to the requested name or ordinal. :  No Nº 5)" +
           sql},
      {"null record id", "SELECT 1", Variant::null(),
       " - M036TTI.mMonta_Lista_Tab_Tipo_Incidente( Invalid use of Null :  No Nº 1)SQL: "},
  };
  for (const auto& c : cases) {
    for (const int user : {1, 25}) {
      SCOPED_TRACE(std::string(c.name) + ", user " + std::to_string(user));
      TestDatabase db;
      db.redefine(kProcedure, "ORDEM_SERVICO_TIPO_ID", c.body);
      Listing call(db);
      call.user = Variant(user);
      call.order = c.order;
      EXPECT_EQ(call.run(), kFailure);
      EXPECT_EQ(call.message, Variant(user == 1 ? kMessage + c.context : kMessage));
      const auto log = db.query("SELECT USUARIO_INTERNET_ID, MSG01 FROM LOG_MSG");
      ASSERT_EQ(log.size(), 1u);
      EXPECT_EQ(log[0][0], Variant(user));
      EXPECT_EQ(log[0][1].as_string().rfind(
                    "Problemas na Montagem da Lista de Indicadores. Contacte o Administrador do "
                    "Sistema. - M036TTI.mMonta_Lista_Tab_Tipo_Incidente ",
                    0),
                0u);
    }
  }
}

}  // namespace
}  // namespace qrnmvl
