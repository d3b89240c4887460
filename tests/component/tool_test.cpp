// The command-line tool where a data file cannot set the scene: a database another
// connection holds. Its expected outputs otherwise are tests/cli/*.md.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "support/test_database.hpp"

namespace qrnmvl {
namespace {

namespace fs = std::filesystem;

struct ToolRun {
  int exit_code;
  std::string out, err;
};

// Each test runs the tool in the folder of a fresh database, which goes with it.
class Tool : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!tool_) GTEST_SKIP() << "QRNMVL_TOOL is not set";
  }

  ToolRun run(const std::string& args, const std::string& input) const {
    std::ofstream(dir_ / "in") << input;
    const std::string command = "'" + std::string(tool_) + "' " + args + " <'" +
                                (dir_ / "in").string() + "' >'" + (dir_ / "out").string() +
                                "' 2>'" + (dir_ / "err").string() + "'";
    const int status = std::system(command.c_str());
    const auto slurp = [&](const char* name) {
      std::ostringstream text;
      text << std::ifstream(dir_ / name).rdbuf();
      return text.str();
    };
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp("out"), slurp("err")};
  }

  const char* tool_ = std::getenv("QRNMVL_TOOL");
  testing::TestDatabase db;
  const fs::path dir_ = fs::path(db.path()).parent_path();
};

// Whatever is wrong with the database, the operation reports it itself: exit 0, result 10 and
// its message, as a host calling the library would see it.
TEST_F(Tool, DatabaseFailuresAreTheOperationsOwn) {
  std::ofstream(dir_ / "notes.db") << "this is not a database file, only some text in a file\n";
  // A writer in exclusive locking mode keeps every other connection out.
  sqlite3* holder = nullptr;
  ASSERT_EQ(sqlite3_open(db.path().c_str(), &holder), SQLITE_OK);
  ASSERT_EQ(
      sqlite3_exec(holder, "PRAGMA locking_mode = EXCLUSIVE; BEGIN EXCLUSIVE; DELETE FROM LOG_MSG",
                   nullptr, nullptr, nullptr),
      SQLITE_OK);
  const std::string cases[] = {
      "--connection 'Provider=SQLite;Data Source=" + (dir_ / "missing.db").string() + "'",
      "--db " + (dir_ / "notes.db").string(),
      "--connection '" + db.connection_text() + ";Busy Timeout=100'"};
  for (const std::string& connection : cases) {
    SCOPED_TRACE(connection);
    const ToolRun r = run("call gConsulta_Porto_Ponto " + connection,
                          R"({"invntUsuario_internet_id": 25, "invntBase_dados": "SQLSERVER"})");
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const auto answer = nlohmann::json::parse(r.out);
    EXPECT_EQ(answer["result"], 10);
    EXPECT_EQ(answer["parameters"]["outvntMsg_Ret"],
              "Problema na Consulta do Porto e Agente relacionados ao Usuário. Contacte o "
              "Administrador do Sistema.");
  }
  sqlite3_close(holder);
}

}  // namespace
}  // namespace qrnmvl
