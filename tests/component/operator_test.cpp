// The operator's commands of the tool (order, events, jobs, log, prune, the
// DCSA export, close --validate-only, --fail-on-refusal), run as an operator
// or a script runs them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>

#include "common/values.hpp"
#include "support/test_database.hpp"

namespace qrnmvl {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

struct ToolRun {
  int exit_code;
  std::string out, err;
};

class Operator : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!tool_) GTEST_SKIP() << "QRNMVL_TOOL is not set";
  }

  // The tool on the test's demo database (--db is added unless the arguments name one).
  ToolRun run(const std::string& args, const std::string& input = "") const {
    std::ofstream(dir_ / "in") << input;
    const std::string database =
        args.find("--db ") == std::string::npos ? " --db '" + db.path() + "'" : "";
    const std::string command = "'" + std::string(tool_) + "' " + args + database + " <'" +
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

  json run_json(const std::string& args) const {
    const ToolRun r = run(args);
    EXPECT_EQ(r.exit_code, 0) << args << "\n" << r.err;
    return json::parse(r.out);
  }

  // The demo records closed as in the worked examples of docs/closing.md.
  void close_1004(const std::string& extra = "") const {
    ASSERT_EQ(run("close 1004 --start '17/10/2025 08:00' --end '17/10/2025 17:30' --document "
                  "004530 --fail-on-refusal " +
                  extra)
                  .exit_code,
              0);
  }
  void close_1003(const std::string& delivery = "16/10/2025 18:20") const {
    ASSERT_EQ(run("close 1003 --start '16/10/2025 08:00' --end '16/10/2025 17:30' "
                  "--withdrawal '16/10/2025 07:10' --delivery '" +
                  delivery +
                  "' --plate RIO2A18 --set 'inarrvntNum_Lacre_Cia_Maritima=[\"ML5530011\"]' "
                  "--set 'arrPeso=[\"21300,50\"]' --fail-on-refusal")
                  .exit_code,
              0);
  }

  // What a closing may write, as text: equal before and after means nothing was written.
  std::string written() const {
    std::string text;
    for (const char* table : {"ORDEM_SERVICO", "ORDEM_SERVICO_TIPO", "SOLICIT_EMBARQUE_CONTAINER",
                              "AGEND_CONTAINER", "CONTAINER", "TRACKING", "LOG_GERADOR", "LOG_MSG"})
      for (const auto& row : db.query(std::string("SELECT * FROM ") + table))
        for (const auto& value : row) text += (value.is_null() ? "~" : to_text(value)) + "|";
    return text;
  }

  const char* tool_ = std::getenv("QRNMVL_TOOL");
  testing::TestDatabase db{true};
  const fs::path dir_ = fs::path(db.path()).parent_path();
};

// Every member that holds a moment is null or ISO 8601 with the zone's offset, every id
// is null or an integer; answers how many values it checked.
int check_types(const json& value, const std::string& offset) {
  static const std::set<std::string> moments = {"when",         "recorded", "start",     "end",
                                                "withdrawal",   "delivery", "closed",    "issued",
                                                "service_date", "changed",  "registered"};
  static const std::set<std::string> ids = {
      "id",      "first",    "job",       "function",   "user",         "status_code", "record",
      "request", "schedule", "pickup",    "event_code", "document",     "terminal_id", "level",
      "status",  "order",    "closed_by", "changed_by", "registered_by"};
  const std::regex iso("\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2}" +
                       std::regex_replace(offset, std::regex("\\+"), "\\+"));
  int checked = 0;
  if (value.is_array())
    for (const auto& item : value) checked += check_types(item, offset);
  if (!value.is_object()) return checked;
  for (const auto& [key, member] : value.items()) {
    if (member.is_structured()) {
      checked += check_types(member, offset);
    } else if (moments.count(key) && !member.is_null()) {
      EXPECT_TRUE(member.is_string() && std::regex_match(member.get<std::string>(), iso))
          << key << ": " << member;
      ++checked;
    } else if (ids.count(key) && !member.is_null() && !(key == "status" && member.is_string())) {
      EXPECT_TRUE(member.is_number_integer()) << key << ": " << member;
      ++checked;
    }
  }
  return checked;
}

TEST_F(Operator, JsonAnswersCarryIsoMomentsAndIntegerIds) {
  close_1004();
  close_1004();  // again: duplicates to list
  ASSERT_EQ(run("call gConsulta_Porto_Ponto",
                R"({"invntUsuario_internet_id": 999, "invntBase_dados": "SQLSERVER"})")
                .exit_code,
            0);  // a row in the message log
  const bool zones = fs::exists("/usr/share/zoneinfo/America/Sao_Paulo");
  const std::tuple<std::string, std::string, int> cases[] = {
      // arguments, offset, values checked at least
      {"events --order 503 --json --time-zone -03:00", "-03:00", 4 * 7},
      {"events --order 503 --json --time-zone Z", "+00:00", 4 * 7},
      {"events --order 503 --duplicates --json --time-zone +05:30", "+05:30", 4 * 5},
      {"jobs --json --time-zone -03:00", "-03:00", 4 * 5},
      {"log --json --time-zone -03:00", "-03:00", 3},
      {"order 1004 --json --time-zone -03:00", "-03:00", 40},
      {"order --order 501 --json --time-zone -03:00", "-03:00", 20},
      {zones ? "events --order 503 --json --time-zone America/Sao_Paulo" : "", "-03:00", 4 * 7},
  };
  for (const auto& [args, offset, at_least] : cases) {
    if (args.empty()) continue;
    SCOPED_TRACE(args);
    EXPECT_GE(check_types(run_json(args), offset), at_least);
  }
  const json order = run_json("order 1004 --json");
  EXPECT_EQ(order["records"][0]["status"], "Fechada");
  EXPECT_EQ(order["records"][0]["value"], 1450.0);
  EXPECT_EQ(order["events"].size(), 4u);
  EXPECT_EQ(order["jobs"].size(), 4u);
  EXPECT_EQ(order["lines"][1]["tare"], 2230.25);
}

// A script tells an empty answer (exit 0, []) from an unknown or cancelled object (exit 3)
// from a usage error (exit 2), each with one line on standard error when it fails.
TEST_F(Operator, ExitCodesTellEmptyFromMissing) {
  std::ofstream(dir_ / "mapping.json") << R"({"eventIDNamespace": "x", "events": {}})";
  const std::tuple<std::string, int, std::string> cases[] = {
      // arguments, exit code, standard output (or standard error when it fails)
      {"events --order 502 --json", 0, "[]\n"},
      {"events --order 502 --duplicates --json", 0, "[]\n"},
      {"events --order 502 --format dcsa", 0, "[]\n"},
      {"jobs --json", 0, "[]\n"},
      {"log --json", 0, "[]\n"},
      {"events --order 9999", 3, "qrnmvl: no service order 9999\n"},
      {"events --order 9999 --format dcsa", 3, "qrnmvl: no service order 9999\n"},
      {"events prune --order 9999 --yes", 3, "qrnmvl: no service order 9999\n"},
      {"order 9999", 3, "qrnmvl: no service-order type record 9999\n"},
      {"order --order 9999 --json", 3, "qrnmvl: no service order 9999\n"},
      {"order 1009", 3, "qrnmvl: record 1009 of order 508 is cancelled\n"},
      {"order --order 508 --json", 3, "qrnmvl: order 508 is cancelled: every record of it is\n"},
      {"order", 2, "qrnmvl: order: give RECORD or --order ID\n"},
      {"events --order 503 --mapping x.json", 2, "qrnmvl: --mapping is for --format dcsa\n"},
      {"events --order 503 --format dcsa --mapping " + (dir_ / "mapping.json").string(), 2,
       "qrnmvl: the DCSA mapping: eventIDNamespace must be a UUID\n"},
      {"events --order 503 --json --time-zone Mars/Olympus", 2,
       "qrnmvl: unknown time zone 'Mars/Olympus': give an offset such as -03:00 or a zone such "
       "as America/Sao_Paulo\n"},
      {"log --since 2025-13-01", 2, "qrnmvl: '2025-13-01' is not a date\n"},
  };
  for (const auto& [args, exit_code, shown] : cases) {
    SCOPED_TRACE(args);
    const ToolRun r = run(args);
    EXPECT_EQ(r.exit_code, exit_code) << r.err;
    EXPECT_EQ(exit_code == 0 ? r.out : r.err, shown);
  }
  // A cancelled record is still shown, in words.
  EXPECT_NE(run("order 1009").out.find("status        Cancelada"), std::string::npos);
}

TEST_F(Operator, FailOnRefusalExitsThreeWhenTheResultIsTen) {
  const std::string ports = R"({"invntBase_dados": "SQLSERVER", "invntUsuario_internet_id": )";
  const std::tuple<std::string, std::string, int, int> cases[] = {
      // arguments, standard input, result, exit code
      {"call gConsulta_Porto_Ponto --fail-on-refusal", ports + "25}", 0, 0},
      {"call gConsulta_Porto_Ponto --fail-on-refusal", ports + "999}", 10, 3},
      {"call gConsulta_Porto_Ponto", ports + "999}", 10, 0},
      {"close 1004 --start '17/10/2025 18:00' --end '17/10/2025 17:30' --fail-on-refusal", "", 10,
       3},
      {"close 1004 --start '17/10/2025 18:00' --end '17/10/2025 17:30'", "", 10, 0},
      {"close 4242 --fail-on-refusal", "", 10, 3},
      {"close 1004 --start '17/10/2025 08:00' --end '17/10/2025 17:30' --document 004530 "
       "--fail-on-refusal",
       "", 0, 0},
  };
  for (const auto& [args, input, result, exit_code] : cases) {
    SCOPED_TRACE(args);
    const ToolRun r = run(args, input);
    EXPECT_EQ(r.exit_code, exit_code) << r.err;
    EXPECT_EQ(json::parse(r.out)["result"], result);
  }
}

// --validate-only answers what the closing's validation answers and writes nothing; the
// closing that follows agrees with it.
TEST_F(Operator, ValidateOnlyWritesNothingAndAgreesWithTheClosing) {
  const std::pair<std::string, int> cases[] = {
      {"--start '17/10/2025 18:00' --end '17/10/2025 17:30' --document 004530", 10},
      {"--start '17/10/2025 08:00' --end '17/10/2025 17:30' --document 004530 --user 1", 0},
      {"--start '17/10/2025 08:00' --end '17/10/2025 17:30' --set invntnum_documento= --user 1",
       10},
  };
  for (const auto& [flags, result] : cases) {
    SCOPED_TRACE(flags);
    const std::string before = written();
    const ToolRun checked = run("close 1004 --validate-only " + flags);
    ASSERT_EQ(checked.exit_code, 0) << checked.err;
    const json answer = json::parse(checked.out);
    EXPECT_EQ(answer["result"], result);
    EXPECT_EQ(written(), before);
    if (result == 10) {
      const json closed = json::parse(run("close 1004 " + flags).out);
      EXPECT_EQ(closed["result"], 10);
      EXPECT_EQ(closed["parameters"]["outvntMsg_Ret"], answer["parameters"]["outvntMsg_Ret"]);
    }
  }
  EXPECT_EQ(json::parse(run("close 1004 " + cases[1].first).out)["result"], 0);
}

// A re-closed order has every event twice; prune keeps the first of each, with its job, and
// only events that say the same thing are copies.
TEST_F(Operator, PruneLeavesOneEventOfEach) {
  close_1004();
  close_1004();
  close_1003();
  close_1003("16/10/2025 19:00");  // the delivery corrected: that event is not a copy
  const std::tuple<long, std::size_t, std::size_t, std::size_t> cases[] = {
      // order, events, copies, events left
      {503, 4, 2, 2},
      {502, 8, 3, 5},
  };
  for (const auto& [order, events, copied, left] : cases) {
    SCOPED_TRACE(order);
    const std::string which = " --order " + std::to_string(order);
    const json before = run_json("events --json" + which);
    ASSERT_EQ(before.size(), events);
    const json duplicates = run_json("events --duplicates --json" + which);
    ASSERT_EQ(duplicates.size(), 2 * copied);
    std::set<long> firsts;
    for (const auto& row : duplicates) {
      firsts.insert(row["first"].get<long>());
      EXPECT_LE(row["first"].get<long>(), row["id"].get<long>());
    }

    EXPECT_EQ(run("events prune --dry-run" + which).exit_code, 0);
    EXPECT_EQ(run_json("events --json" + which).size(), events);
    EXPECT_EQ(run("events prune" + which).exit_code, 2);  // no terminal to ask on, no --yes
    const ToolRun pruned = run("events prune --yes" + which);
    ASSERT_EQ(pruned.exit_code, 0) << pruned.err;

    const json after = run_json("events --json" + which);
    EXPECT_EQ(after.size(), left);
    for (const long first : firsts)
      EXPECT_TRUE(std::any_of(after.begin(), after.end(), [&](const json& e) {
        return e["id"] == first;
      })) << first;
    EXPECT_EQ(run_json("events --duplicates --json" + which), json::array());
    EXPECT_NE(run("events prune --yes" + which).out.find("nothing to remove"), std::string::npos);
  }
  // The jobs of the copies went with them; those of the events kept stayed.
  std::set<long> tracked;
  for (const auto& job : run_json("jobs --json")) {
    std::smatch m;
    const std::string text = job["parameters"];
    ASSERT_TRUE(std::regex_search(text, m, std::regex("^__JOB__\\d+__(\\d+)__")));
    tracked.insert(std::stol(m[1]));
  }
  std::set<long> kept;
  for (const auto& event : run_json("events --json --order 503"))
    kept.insert(event["id"].get<long>());
  EXPECT_EQ(tracked, kept);
}

// The subset of JSON Schema the equipment event's schema uses: the reasons a value breaks it.
void violations(const json& schema, const json& value, const std::string& at,
                std::vector<std::string>& found) {
  static const std::map<std::string, bool (json::*)() const noexcept> types = {
      {"object", &json::is_object}, {"array", &json::is_array},
      {"string", &json::is_string}, {"integer", &json::is_number_integer},
      {"number", &json::is_number}, {"boolean", &json::is_boolean}};
  if (schema.contains("type") && !(value.*types.at(schema["type"].get<std::string>()))()) {
    found.push_back(at + ": not " + schema["type"].get<std::string>());
    return;
  }
  if (schema.contains("enum") &&
      std::find(schema["enum"].begin(), schema["enum"].end(), value) == schema["enum"].end())
    found.push_back(at + ": " + value.dump() + " not in the enum");
  if (schema.contains("pattern") &&
      !std::regex_search(value.get<std::string>(),
                         std::regex(schema["pattern"].get<std::string>())))
    found.push_back(at + ": " + value.dump() + " does not match");
  if (schema.contains("maxLength") &&
      text_length(value.get<std::string>()) > schema["maxLength"].get<std::size_t>())
    found.push_back(at + ": longer than " + schema["maxLength"].dump());
  for (const auto& name : schema.value("required", json::array()))
    if (!value.contains(name)) found.push_back(at + ": no " + name.get<std::string>());
  if (value.is_object())
    for (const auto& [name, member] : value.items()) {
      if (schema.contains("properties") && schema["properties"].contains(name))
        violations(schema["properties"][name], member, at + "." + name, found);
      else if (schema.value("additionalProperties", true) == false)
        found.push_back(at + ": unexpected " + name);
    }
  if (value.is_array() && schema.contains("items"))
    for (std::size_t i = 0; i < value.size(); ++i)
      violations(schema["items"], value[i], at + "[" + std::to_string(i) + "]", found);
}

std::vector<std::string> violations(const json& schema, const json& value) {
  std::vector<std::string> found;
  violations(schema, value, "event", found);
  return found;
}

TEST_F(Operator, DcsaExportOfEveryDemoOrderValidates) {
  const json schema = json::parse(
      std::ifstream(fs::path(__FILE__).parent_path() / "dcsa_equipment_event.schema.json"));
  const std::string demo = (dir_ / "demo.db").string();
  ASSERT_EQ(run("demo --db " + demo).exit_code, 0);

  std::set<std::string> ids;
  std::size_t exported = 0;
  for (long order = 501; order <= 509; ++order) {
    SCOPED_TRACE(order);
    const std::string args =
        "events --format dcsa --order " + std::to_string(order) + " --db " + demo;
    const json events = run_json(args + " --time-zone -03:00");
    for (const auto& event : events) {
      EXPECT_EQ(violations(schema, event), std::vector<std::string>{}) << event.dump(2);
      EXPECT_TRUE(ids.insert(event["eventID"]).second) << event["eventID"];
    }
    EXPECT_EQ(run_json(args + " --time-zone -03:00"), events);  // the same ids every time
    exported += events.size();
  }
  EXPECT_EQ(exported, 4u + 12u + 2u + 4u);  // 505 is fractional: no container, no event

  // The default mapping, on the export order of type 1.
  const json shipper = run_json("events --format dcsa --order 502 --db " + demo);
  const std::pair<const char*, const char*> codes[] = {
      {"GTOT", "EMPTY"}, {"DROP", "EMPTY"}, {"PICK", "LADEN"}, {"GTIN", "LADEN"}};
  ASSERT_EQ(shipper.size(), std::size(codes));
  for (std::size_t i = 0; i < shipper.size(); ++i) {
    EXPECT_EQ(shipper[i]["equipmentEventTypeCode"], codes[i].first);
    EXPECT_EQ(shipper[i]["emptyIndicatorCode"], codes[i].second);
    EXPECT_EQ(shipper[i]["equipmentReference"], "CMAU6014829");
    EXPECT_EQ(shipper[i]["references"][0]["referenceValue"], "0502/2025");
  }
  EXPECT_EQ(
      run_json("events --format dcsa --order 503 --db " + demo)[0]["documentReferences"],
      json::parse(R"([{"documentReferenceType": "TRD", "documentReferenceValue": "004530"}])"));

  // What the schema refuses: a check that passes everything proves nothing.
  const std::pair<const char*, json> broken[] = {
      {"/emptyIndicatorCode", nullptr},       {"/equipmentEventTypeCode", "GATE"},
      {"/eventDateTime", "16/10/2025 07:10"}, {"/eventId", "8d3a6f0e-51c2-8e9b-8000-000000000001"},
      {"/references/0/referenceType", "OS"},
  };
  for (const auto& [pointer, value] : broken) {
    json event = shipper[0];
    if (value.is_null())
      event.erase(std::string(pointer).substr(1));
    else
      event[json::json_pointer(pointer)] = value;
    EXPECT_FALSE(violations(schema, event).empty()) << pointer;
  }
}

TEST_F(Operator, DcsaMappingFileOverridesTheDefault) {
  close_1004();
  close_1003();
  std::ofstream(dir_ / "mapping.json") << R"({
    "eventIDNamespace": "00000000-0000-4000-8000-000000000000",
    "orderReferenceType": "CR",
    "events": {"5": {"equipmentEventTypeCode": "DROP", "emptyIndicatorCode": "LADEN"}, "1": null}
  })";
  const std::string mapping = " --mapping " + (dir_ / "mapping.json").string();
  const json port = run_json("events --format dcsa --order 503" + mapping);
  ASSERT_EQ(port.size(), 2u);
  EXPECT_EQ(port[0]["equipmentEventTypeCode"], "DROP");
  EXPECT_EQ(port[0]["references"][0]["referenceType"], "CR");
  EXPECT_EQ(port[0]["eventID"].get<std::string>().substr(0, 19), "00000000-0000-8000-");
  const ToolRun shipper = run("events --format dcsa --order 502" + mapping);
  EXPECT_EQ(json::parse(shipper.out).size(), 1u);  // only the delivery at the port is mapped
  EXPECT_EQ(shipper.err,
            "qrnmvl: 3 of the order's events have no DCSA equipment event (no container, or "
            "not in the mapping)\n");
}

}  // namespace
}  // namespace qrnmvl
