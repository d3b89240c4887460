#include <tuple>

#include "support.hpp"

namespace qrnmvl::persistence {
namespace {

const char* const kLookup = "SP_VLM_CON_CONTAINER_OS_FECHA";
const char* const kCreate = "SP_VLM_INC_CONTAINER_OS_FECHA2";
const char* const kUpdate = "SP_VLM_ALT_TP_CONT2";

// A register that works: the lookup finds by number, creation inserts or finds the row another
// closing made a moment earlier, the type update writes.
struct Registration : Closing {
  Variant number{"MSCU1234565"}, type{1};
  std::int32_t id = 0;

  Registration() {
    db.redefine(kLookup, "num",
                "SELECT CONTAINER_ID AS container_id FROM CONTAINER WHERE NUM_CONTAINER = :num");
    db.redefine(kCreate, "num, tipo, usuario",
                "INSERT OR IGNORE INTO CONTAINER (NUM_CONTAINER, TAB_TIPO_CONTAINER_ID) "
                "VALUES (:num, :tipo); SELECT 0 AS retorno, CONTAINER_ID AS container_id "
                "FROM CONTAINER WHERE NUM_CONTAINER = :num");
    db.redefine(kUpdate, "id, tipo, usuario",
                "UPDATE CONTAINER SET TAB_TIPO_CONTAINER_ID = :tipo WHERE CONTAINER_ID = :id; "
                "SELECT 0 AS retorno, NULL AS Msg_Ret");
  }
  bool run() {
    id = 0;
    db.clear_trace();
    return gConsulta_Ordem_Servico(connection, user, company, kind, product, number, id, type,
                                   message);
  }
  Rows containers() const {
    return db.query("SELECT CONTAINER_ID, NUM_CONTAINER, TAB_TIPO_CONTAINER_ID FROM CONTAINER");
  }
};

std::string called(const char* procedure, const std::string& values) {
  return std::string("EXEC ") + procedure + "   " + values;
}

TEST(ContainerRegistration, FindsOrCreatesAndHandsBackTheId) {
  Registration r;
  const std::string lookup = called(kLookup, "'MSCU1234565'");
  // Type sent, the second command and the type registered afterwards. The third call finds
  // nothing, as if another closing registered the number between the lookup and the creation:
  // the creation answers that container.
  const std::tuple<int, std::string, int> steps[] = {
      {1, called(kCreate, "'MSCU1234565', 1, 25"), 1},
      {2, called(kUpdate, "1, 2, 25"), 2},
      {0, called(kCreate, "'MSCU1234565', null, 25"), 2},
  };
  for (const auto& [type, second, registered] : steps) {
    SCOPED_TRACE(second);
    if (type == 0) r.db.redefine(kLookup, "num", "SELECT 5 AS container_id WHERE 0");
    r.type = type;
    ASSERT_TRUE(r.run());
    EXPECT_EQ(r.id, 1);
    EXPECT_EQ(r.db.procedure_calls(), (std::vector<std::string>{lookup, second}));
    EXPECT_EQ(r.containers(), (Rows{{1, "MSCU1234565", registered}}));
  }
  EXPECT_EQ(r.message, Variant("(message)"));
  EXPECT_TRUE(r.log().empty());
}

TEST(ContainerRegistration, Refusals) {
  // Procedure redefined and its answer, then either the message a refusal leaves (Empty: the
  // caller's, untouched) or the context of a failure after the user message.
  const std::string item =
      "Item cannot be found in the collection corresponding to the requested name or ordinal. : "
      "3265)   No Nº ";
  const std::tuple<const char*, const char*, Variant, std::string> cases[] = {
      {kCreate, "SELECT 1 AS retorno, 9 AS container_id", {}, ""},
      {kCreate, "SELECT 0 AS retorno WHERE 0", {}, ""},
      {kCreate,
       "SELECT 0 AS retorno",
       {},
       " - QrnMvl.mConsulta_Campos_vENDERECO_PESSOA (" + item +
           "3strsq: " + called(kCreate, "'MSCU1234565', 1, 1")},
      {kLookup,
       "SELECT 'x' AS container_id",
       {},
       " - QrnMvl.mConsulta_Campos_CONTAINER_ID (Type mismatch : 13)   No Nº 2strsq: " +
           called(kLookup, "'MSCU1234565'")},
      // Only a refused type change speaks, with the procedure's own words.
      {kUpdate, "SELECT 1 AS retorno, 'Tipo não permitido' AS Msg_Ret", "Tipo não permitido", ""},
      {kUpdate, "SELECT 1 AS retorno, NULL AS Msg_Ret", "", ""},
      {kUpdate, "SELECT 0 AS retorno WHERE 0", {}, ""},
      // The type change has no handler: the registration reports its failure.
      {kUpdate, "SELECT 1 AS retorno", {}, " - QrnMvl.gConsulta_Ordem_Servico (" + item + "2"},
  };
  for (const auto& [procedure, body, message, context] : cases) {
    SCOPED_TRACE(body);
    Registration r;
    r.user = 1;
    // The type update is reached for a container already registered.
    if (procedure == kUpdate)
      r.db.exec("INSERT INTO CONTAINER (NUM_CONTAINER) VALUES ('MSCU1234565')");
    r.db.redefine(procedure, "a, b, c", body);
    EXPECT_FALSE(r.run());
    const Variant kept = message.is_empty() ? Variant("(message)") : message;
    EXPECT_EQ(r.message, context.empty() ? kept : Variant(kUnavailable + context));
    EXPECT_EQ(r.id, procedure == kUpdate ? 1 : 0);
    EXPECT_EQ(r.log(), context.empty() ? Rows{} : Closing::logged(kUnavailable + context));
  }
}

}  // namespace
}  // namespace qrnmvl::persistence
