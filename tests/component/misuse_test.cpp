// The component under callers that are careless or hostile: whatever they
// pass, the host survives, the answer is a one-line refusal or the
// operation's own failure, and nothing is lost while success is answered.
#include <gtest/gtest.h>
#include <qrnmvl/qrnmvl.h>
#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <qrnmvl/qrnmvl.hpp>
#include <stdexcept>

#include "common/helpers.hpp"
#include "common/values.hpp"
#include "data/sqlite/reference.hpp"
#include "support/test_database.hpp"
#include "support/test_values.hpp"

namespace qrnmvl {
namespace {

using namespace std::string_literals;
using testing::TestDatabase;
using Rows = std::vector<std::vector<Variant>>;

std::string nested(std::size_t levels) {
  return std::string(levels, '[') + std::string(levels, ']');
}

std::string objects(std::size_t levels) {
  std::string text;
  for (std::size_t i = 0; i < levels; ++i) text += "{\"a\": ";
  return text + "1" + std::string(levels, '}');
}

std::string refusal_of(const std::string& operation, const std::string& call) {
  QrnMvl component;
  try {
    invoke_json(component, operation, call);
  } catch (const std::invalid_argument& e) {
    return e.what();
  }
  return "accepted";
}

// Each limit is checked while the text is read, before anything is built, so a hostile depth
// never reaches a recursion.
TEST(JsonCallLimits, RefusedInOneLineBeforeAnythingRuns) {
  const std::string deep = "the JSON call nests deeper than 64 levels";
  const std::string nul = "a text in the JSON call holds a NUL character";
  const std::pair<std::string, std::string> cases[] = {
      // The call object is the first level.
      {R"({"outvntMsg_Ret": )" + nested(63) + "}", "accepted"},
      {R"({"outvntMsg_Ret": )" + nested(64) + "}", deep},
      {nested(100000), deep},
      {objects(100000), deep},
      {R"({"outvntMsg_Ret": 1e400})", "a number in the JSON call is out of range: 1e400"},
      {R"({"outvntMsg_Ret": [-2E+999]})", "a number in the JSON call is out of range: -2E+999"},
      {R"({"outvntMsg_Ret": 1e308})", "accepted"},
      {R"({"outvntMsg_Ret": "a\u0000b"})", nul},
      {R"({"outvntMsg_Ret\u0000": 1})", nul},
      {R"({"out\nvnt\u0001": 1})",
       "unknown parameter 'out\\nvnt\\u0001' for gConsulta_Porto_Ponto"},
      {"[1, 2]", "the JSON call must be an object"},
      {R"({"invntusuario_internet_id": 1})",
       "unknown parameter 'invntusuario_internet_id' for gConsulta_Porto_Ponto"},
      {R"({"outvntMsg_Ret": {"$unknown": 1}})",
       "parameter 'outvntMsg_Ret': Type mismatch: unknown value form \"$unknown\" in "
       "{\"$unknown\":1}"},
      {R"({"outvntMsg_Ret": {"$date": "2010-09-16\n"}})",
       "parameter 'outvntMsg_Ret': Type mismatch: \"2010-09-16\\n\" is not a date of the form "
       "yyyy-mm-dd hh:mm:ss"},
  };
  for (const auto& [call, refusal] : cases) {
    SCOPED_TRACE(call.substr(0, 60));
    EXPECT_EQ(refusal_of("gConsulta_Porto_Ponto", call), refusal);
  }
  EXPECT_EQ(refusal_of("gX\n", "{}"), "unknown operation 'gX\\n'");
}

// Handles are looked up among the live objects before anything is followed: the sanitizer
// build proves none of these touches freed or foreign memory.
TEST(CInterfaceMisuse, UnknownHandlesNullsAndForeignPointersAreRefused) {
  qrnmvl_object* released = qrnmvl_create();
  ASSERT_NE(released, nullptr);
  qrnmvl_release(released);
  qrnmvl_release(released);
  int local = 0;
  qrnmvl_object* const unknown[] = {released, reinterpret_cast<qrnmvl_object*>(&local),
                                    reinterpret_cast<qrnmvl_object*>(std::uintptr_t{1}),
                                    reinterpret_cast<qrnmvl_object*>(~std::uintptr_t{0})};
  for (qrnmvl_object* handle : unknown) {
    char* answer = nullptr;
    EXPECT_EQ(qrnmvl_invoke(handle, "gConsulta_Porto_Ponto", "{}", &answer), 2);
    ASSERT_NE(answer, nullptr);
    EXPECT_STREQ(answer, R"({"error":"unknown or released object"})");
    qrnmvl_free(answer);
    qrnmvl_release(handle);
  }

  qrnmvl_object* object = qrnmvl_create();
  const std::string deep = nested(100000);
  const std::tuple<qrnmvl_object*, const char*, const char*, const char*> refused[] = {
      {nullptr, "gConsulta_Porto_Ponto", "{}", "object, operation and JSON call are required"},
      {object, nullptr, "{}", "object, operation and JSON call are required"},
      {object, "gConsulta_Porto_Ponto", nullptr, "object, operation and JSON call are required"},
      {object, "gConsulta_Porto_Ponto", deep.c_str(), "the JSON call nests deeper than 64 levels"},
      {object, "gConsulta_Porto_Ponto", "{\"outvntMsg_Ret\": -1e999}",
       "a number in the JSON call is out of range: -1e999"},
      {object, "g\xff", "{}", "unknown operation 'g\xef\xbf\xbd'"}};
  for (const auto& [handle, operation, call, error] : refused) {
    char* answer = nullptr;
    EXPECT_EQ(qrnmvl_invoke(handle, operation, call, &answer), 2);
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(nlohmann::json::parse(answer), nlohmann::json({{"error", error}}));
    qrnmvl_free(answer);
    qrnmvl_free(answer);  // a second free of the same answer is ignored
  }
  EXPECT_EQ(qrnmvl_invoke(object, "gConsulta_Porto_Ponto", "{}", nullptr), 2);
  char foreign[] = "not an answer";
  qrnmvl_free(foreign);
  qrnmvl_free(nullptr);
  qrnmvl_release(nullptr);
  qrnmvl_release(object);
  EXPECT_EQ(DllCanUnloadNow(), QRNMVL_S_OK);
}

// The incident recording is a write: it must land in the file the connection text names now,
// or fail, never go into a file that was deleted or replaced under a live component.
TEST(LiveComponent, ADeletedOrReplacedDatabaseIsNeverWrittenInVain) {
  for (const bool replaced : {false, true}) {
    SCOPED_TRACE(replaced ? "replaced" : "deleted");
    TestDatabase db(true);
    QrnMvl component;
    const nlohmann::json lookup{{"invntConecta_db", db.connection_text()},
                                {"invntBase_dados", "SQLSERVER"},
                                {"invntUsuario_internet_id", 25}};
    ASSERT_EQ(nlohmann::json::parse(
                  invoke_json(component, "gConsulta_Porto_Ponto", lookup.dump()))["result"],
              0);
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(db.path() + suffix);
    if (replaced) data::sqlite::create_reference_database(db.path(), true, false);

    nlohmann::json record = lookup;
    record.update({{"invntOrdem_Servico_Tipo_Ident", 1001},
                   {"InarrvntTab_Tipo_Incidente_id", {3}},
                   {"inarrvntFlag_Selecionado", {"S"}},
                   {"invntFlag_Grava_Observacao", "S"},
                   {"invntTam_Arr", 1},
                   {"invntObservacao", "Obs"},
                   {"INarrJustificativa", {"Lacre trocado"}},
                   {"inTAB_TIPO_ORDEM_SERVICO_iD", 2},
                   {"INarrflag_tipo_cadastro", {"M"}}});
    const auto answer =
        nlohmann::json::parse(invoke_json(component, "gGrava_Incidente", record.dump()));
    if (replaced) {
      EXPECT_EQ(answer["result"], 0);
      EXPECT_EQ(
          db.query("SELECT JUSTIFICATIVA FROM INCIDENTE_OS WHERE ORDEM_SERVICO_TIPO_ID = 1001"),
          Rows{{"Lacre trocado"}});
    } else {
      EXPECT_EQ(answer["result"], 10);
      EXPECT_EQ(answer["parameters"]["outvntMsg_Ret"],
                "Problemas na inclusão do Incidente. Contacte o Administrador do Sistema.");
      EXPECT_FALSE(std::filesystem::exists(db.path()));
    }
  }
}

// A NUL typed into a text travels whole to the procedure and, when the procedure refuses, into
// the log row: the message log's statement is not cut at it.
TEST(LiveComponent, ANulInAUserTextStillGivesAWholeLogRow) {
  TestDatabase db;
  db.redefine("SP_036_INC_INCIDENTE3", "a, b, c, d, e, f, g, h",
              "SELECT 1 AS retorno WHERE :d = 'Obs' || char(0) || 'x'");
  Variant connection = db.connection(), kind("SQLSERVER"), user(1), order(1001),
          ids(Variant::Array{5}), selected(Variant::Array{"S"}), store("S"), count(1),
          observation("Obs\0x"s), justifications(Variant::Array{"motivo"}), message, type(2),
          kinds(Variant::Array{"M"});
  EXPECT_EQ(QrnMvl().gGrava_Incidente(connection, kind, user, order, ids, selected, store, count,
                                      observation, justifications, message, type, kinds),
            Variant(std::int16_t{10}));
  // The procedure answers 1 only when it received the whole text.
  const std::string shown =
      "Problemas na inclusão do Incidente. Contacte o Administrador do Sistema. - "
      "M036MVL.mInclui_Incidente( Retorno > 0  :  No Nº 0)SQL: EXECUTE SP_036_INC_INCIDENTE3 1001, "
      "'S', '5', 'Obs\0x', 'motivo', 'S', 1, 'M' "s;
  EXPECT_EQ(message, Variant(shown));
  const std::string stripped = gRetira_Caracteres_Especiais(Variant(shown)).as_string();
  const auto log = db.query("SELECT MSG01, MSG02, MSG03, MSG04, MSG05 FROM LOG_MSG");
  ASSERT_EQ(log.size(), 1u);
  std::string logged;
  for (const Variant& piece : log[0])
    if (!piece.is_null()) logged += piece.as_string();
  EXPECT_EQ(logged, stripped);
}

// Whatever is wrong with the database, the operation reports it itself: result 10 and its
// message, never an exception to the host.
TEST(LiveComponent, DatabaseFailuresAreTheOperationsOwn) {
  const TestDatabase db;
  const std::filesystem::path dir = std::filesystem::path(db.path()).parent_path();
  std::ofstream(dir / "notes.db") << "this is not a database file, only some text in a file\n";
  // A writer in exclusive locking mode keeps every other connection out.
  sqlite3* holder = nullptr;
  ASSERT_EQ(sqlite3_open(db.path().c_str(), &holder), SQLITE_OK);
  ASSERT_EQ(
      sqlite3_exec(holder, "PRAGMA locking_mode = EXCLUSIVE; BEGIN EXCLUSIVE; DELETE FROM LOG_MSG",
                   nullptr, nullptr, nullptr),
      SQLITE_OK);
  for (const std::string& connection :
       {"Provider=SQLite;Data Source=" + (dir / "missing.db").string(),
        "Provider=SQLite;Data Source=" + (dir / "notes.db").string(),
        db.connection_text() + ";Busy Timeout=100"}) {
    SCOPED_TRACE(connection);
    QrnMvl component;
    const auto answer = nlohmann::json::parse(invoke_json(
        component, "gConsulta_Porto_Ponto",
        nlohmann::json{{"invntUsuario_internet_id", 25}, {"invntBase_dados", "SQLSERVER"},
                       {"invntConecta_db", connection}}
            .dump()));
    EXPECT_EQ(answer["result"], 10);
    EXPECT_EQ(answer["parameters"]["outvntMsg_Ret"],
              "Problema na Consulta do Porto e Agente relacionados ao Usuário. Contacte o "
              "Administrador do Sistema.");
  }
  sqlite3_close(holder);
}

}  // namespace
}  // namespace qrnmvl
