// A host's container rules, called by the closing's validation row by row. The closing itself
// (rules, messages, what it sends and stores) is in the golden scenarios; their base closing is
// the request here.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <qrnmvl/container_rules.hpp>
#include <qrnmvl/qrnmvl.hpp>

#include "common/json_value.hpp"
#include "support/test_database.hpp"
#include "support/test_values.hpp"

namespace qrnmvl {
namespace {

// The rules a host gives: they note what they receive, refuse the property of one row (and the
// number of every row when the host says so).
struct HostRules : ContainerRules {
  struct Script {
    const char* indicator;
    long refused_row;
    long number_answer;
    std::vector<std::string> calls;
    int alive = 0;
  };
  Script& script;
  long row = 0;

  explicit HostRules(Script& s) : script(s) { ++script.alive; }
  ~HostRules() override { --script.alive; }
  void note(const char* call, std::initializer_list<const Variant*> arguments) {
    std::string text = call;
    for (const Variant* argument : arguments) text += " " + to_json(*argument).dump();
    script.calls.push_back(text);
  }
  long check_property(Variant& user, Variant& kind, Variant& connection, Variant& request,
                      Variant& indicator, Variant& message, Variant& record) override {
    note("property", {&user, &kind, &connection, &request, &indicator, &message, &record});
    indicator = script.indicator;
    if (++row != script.refused_row) return 0;
    message = "Container bloqueado. ";
    return 3;
  }
  long check_number(Variant& user, Variant& kind, Variant& connection, Variant& number,
                    Variant& message) override {
    note("number", {&user, &kind, &connection, &number, &message});
    if (script.number_answer != 0) message = "Fora da frota. ";
    return script.number_answer;
  }
};

// The golden scenarios' base closing (demo order 501, its lookups scripted), with changes; the
// answer's message, or "" when the closing passed.
std::string close(const testing::TestDatabase& db, const ContainerRulesFactory& rules,
                  const nlohmann::json& changes = nlohmann::json::object()) {
  std::ifstream file(std::string(QRNMVL_GOLDEN_DIR) + "/bases/closing.json");
  const nlohmann::json base = nlohmann::json::parse(file);
  for (const auto& p : base["procedures"]) db.redefine(p["name"], p["params"], p["body"]);
  nlohmann::json call = base["call"];
  if (changes.is_object()) call.update(changes);
  call["invntConecta_db"] = db.connection_text();
  QrnMvl component(rules);
  const auto answer =
      nlohmann::json::parse(invoke_json(component, "gGrava_Fechamento", call.dump()));
  return answer["result"] == 0 ? "" : answer["parameters"]["outvntMsg_Ret"].get<std::string>();
}

TEST(HostContainerRules, CalledRowByRowAndReleased) {
  const std::string with = " 25 \"SQLSERVER\" ";
  const std::string property_1 = R"( "7001" {"$empty":true} "" "1001")";
  const std::string number_1 = R"( "TGHU8731457" "")";
  const std::tuple<nlohmann::json, HostRules::Script, const char*, std::vector<std::string>>
      cases[] = {
          {{},
           {"N", 0, 0, {}},
           "",
           {"property", "number", "property", "number", "property", "number"}},
          {{}, {" S ", 0, 1, {}}, "", {"property", "property", "property"}},
          {{},
           {"N", 2, 0, {}},
           "Container bloqueado. Acesso a prop. container.(Linha 2) - Nº Container MSCU5529040",
           {"property", "number", "property"}},
          {{},
           {"", 0, -1, {}},
           "Fora da frota. (Linha 1) - Nº Container TGHU8731457",
           {"property", "number"}},
          {{{"invntTab_Tipo_Servico_ID", 2}}, {"N", 1, 1, {}}, "", {}}};
  for (auto [changes, script, message, calls] : cases) {
    SCOPED_TRACE(message);
    testing::TestDatabase db(true);
    int made = 0;
    EXPECT_EQ(close(
                  db,
                  [&] {
                    ++made;
                    return std::make_unique<HostRules>(script);
                  },
                  changes),
              message);
    EXPECT_EQ(made, calls.empty() ? 0 : 1);
    EXPECT_EQ(script.alive, 0);  // released after the last row, or the row that failed
    ASSERT_EQ(script.calls.size(), calls.size());
    for (std::size_t i = 0; i < calls.size(); ++i)
      EXPECT_EQ(script.calls[i].substr(0, calls[i].size()), calls[i]);
    // What the first row's checks receive: the caller's values, the row's request and number.
    if (!calls.empty()) {
      const std::string caller = with + nlohmann::json(db.connection_text()).dump();
      EXPECT_EQ(script.calls[0], "property" + caller + property_1);
      if (calls[1] == "number") {
        EXPECT_EQ(script.calls[1], "number" + caller + number_1);
      }
    }
  }
}

// Rules that cannot be made fail the validation like any run-time error: the operation's
// message, its context for user 1, one log row.
TEST(HostContainerRules, AFactoryWithoutRulesFailsTheValidation) {
  testing::TestDatabase db(true);
  EXPECT_EQ(close(db, [] { return std::unique_ptr<ContainerRules>(); },
                  {{"invntUsuario_internet_id", 1}}),
            "Acesso ao Fechamento da OS não disponível. Favor tentar mais tarde. - "
            "QrnMvl.mConsiste_Campos (Object variable or With block variable not set : 91)   No "
            "Nº 10(mConsiste_Campos)");
  EXPECT_EQ(db.query("SELECT count(*) FROM LOG_MSG"), Rows{{1}});
}

}  // namespace
}  // namespace qrnmvl
