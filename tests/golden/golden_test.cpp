// The golden scenarios: each file of golden/scenarios is a call of an operation (or commands
// sent straight to the engine) on a fresh database, and everything it did, written out whole,
// must be the text of golden/expected/<name>.txt. With QRNMVL_UPDATE_GOLDEN=1 the expected
// files are written instead (tests/README.md says when that is allowed).
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <qrnmvl/qrnmvl.hpp>
#include <regex>
#include <set>
#include <sstream>
#include <stdexcept>

#include "common/json_value.hpp"
#include "data/connection.hpp"
#include "jobs/jobs.hpp"
#include "support/test_database.hpp"

namespace qrnmvl {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using Lines = std::vector<std::string>;

const fs::path kRoot = QRNMVL_GOLDEN_DIR;

std::string read_text(const fs::path& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A scenario over its base (golden/bases, which may have a base of its own): the base's
// procedures and set-up come first, and a call entry "name[i]" replaces one element of the
// base's array.
json scenario(const fs::path& file) {
  json own = json::parse(read_text(file));
  if (!own.contains("base")) return own;
  json merged = scenario(kRoot / "bases" / (own["base"].get<std::string>() + ".json"));
  for (const char* list : {"procedures", "setup"})
    for (const auto& item : own.value(list, json::array())) merged[list].push_back(item);
  const json call = own.value("call", json::object());
  for (const auto& [key, value] : call.items()) {
    const auto bracket = key.find('[');
    if (bracket == std::string::npos)
      merged["call"][key] = value;
    else
      merged["call"].at(key.substr(0, bracket)).at(std::stoul(key.substr(bracket + 1))) = value;
  }
  for (const auto& [key, value] : own.items())
    if (key != "base" && key != "procedures" && key != "setup" && key != "call")
      merged[key] = value;
  return merged;
}

// Every table but the procedures' own: its columns, and its rows as texts (the message log's
// without its id, a counter), all read through one handle of the test's own: a handle a query,
// each reading the schema again, would take most of a scenario's time.
using Tables = std::map<std::string, std::pair<std::string, Lines>>;
Tables tables_of(const testing::TestDatabase& db) {
  sqlite3* handle = nullptr;
  sqlite3_open_v2(db.path().c_str(), &handle, SQLITE_OPEN_READONLY, nullptr);
  sqlite3_busy_timeout(handle, 5000);
  const std::unique_ptr<sqlite3, decltype(&sqlite3_close_v2)> owner(handle, &sqlite3_close_v2);
  const auto each_row = [handle](const std::string& sql, const auto& take) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(handle, sql.c_str(), -1, &raw, nullptr) != SQLITE_OK)
      throw std::runtime_error(std::string(sqlite3_errmsg(handle)) + " in: " + sql);
    const std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> statement(raw,
                                                                               &sqlite3_finalize);
    while (sqlite3_step(raw) == SQLITE_ROW) take(raw);
  };
  Tables tables;
  each_row(
      "SELECT name FROM sqlite_schema WHERE type = 'table' AND name NOT LIKE 'sqlite%' AND "
      "name <> 'qrn_procedure'",
      [&](sqlite3_stmt* row) {
        tables[reinterpret_cast<const char*>(sqlite3_column_text(row, 0))];
      });
  for (auto& [name, table] : tables) {
    each_row(
        "SELECT name FROM pragma_table_info('" + name + "') ORDER BY cid", [&](sqlite3_stmt* row) {
          table.first += (table.first.empty() ? "" : ", ") +
                         std::string(reinterpret_cast<const char*>(sqlite3_column_text(row, 0)));
        });
    each_row("SELECT * FROM \"" + name + "\"", [&](sqlite3_stmt* row) {
      json values = json::array();
      for (int i = name == "LOG_MSG" ? 1 : 0; i < sqlite3_column_count(row); ++i)
        values.push_back(to_json(testing::column_value(row, i)));
      table.second.push_back(values.dump(-1, ' ', false, json::error_handler_t::replace));
    });
  }
  return tables;
}

// What is in `after` and not in `before`, each row counted.
Lines missing_from(const Lines& before, const Lines& after) {
  std::map<std::string, int> left;
  for (const auto& row : before) ++left[row];
  Lines out;
  for (const auto& row : after)
    if (left[row]-- <= 0) out.push_back(row);
  return out;
}

// The trace as one line a command: its text, or a prepared call with its typed parameters.
void write_sent(std::ostream& out, const testing::TestDatabase& db) {
  out << "== sent\n";
  for (const auto& line : db.trace()) {
    if (line.contains("command")) {
      out << one_line(line["command"].get<std::string>()) << "\n";
      continue;
    }
    out << line["procedure"].get<std::string>() << "(";
    const char* separator = "";
    for (const auto& parameter : line["parameters"]) {
      out << separator << parameter["name"].get<std::string>() << " "
          << parameter["type"].get<std::string>() << " " << parameter["value"].dump();
      separator = ", ";
    }
    out << ")\n";
  }
}

void write_changes(std::ostream& out, const Tables& before, const Tables& after) {
  std::map<std::string, std::pair<Lines, Lines>> changes;  // lost, gained
  for (const auto& [name, table] : after) {
    const Lines old = before.contains(name) ? before.at(name).second : Lines{};
    changes[name] = {missing_from(table.second, old), missing_from(old, table.second)};
  }
  for (const auto& [name, table] : before)
    if (!after.contains(name)) changes[name] = {table.second, {}};
  const auto& log = changes["LOG_MSG"];
  out << "== LOG_MSG\n";
  for (const auto& row : log.first) out << "- " << row << "\n";
  for (const auto& row : log.second) out << "+ " << row << "\n";
  out << "== rows\n";
  for (const auto& [name, lost_gained] : changes) {
    const auto& [lost, gained] = lost_gained;
    const bool made = !before.contains(name), dropped = !after.contains(name);
    if ((name == "LOG_MSG" && !dropped) || (lost.empty() && gained.empty() && !made && !dropped))
      continue;
    out << name << " (" << (dropped ? before : after).at(name).first << ")"
        << (made      ? " made"
            : dropped ? " dropped"
                      : "")
        << "\n";
    for (const auto& row : lost) out << "- " << row << "\n";
    for (const auto& row : gained) out << "+ " << row << "\n";
  }
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// The 16-bit integers of a value, by name ("name", "name[2]"): the JSON answer writes them as
// it writes a Long, and a host tells them apart.
void integers(const std::string& name, const Variant& value, Lines& out) {
  if (value.type() == VarType::Integer) out.push_back(name);
  if (value.is_array())
    for (std::size_t i = 0; i < value.elements().size(); ++i)
      integers(name + "[" + std::to_string(i) + "]", value.elements()[i], out);
}

// The job request, which the closing reaches through the tracking events, called as an
// operation is: its parameters in call order (the connection text under the operations' name).
const std::vector<std::string> kJobRequest = {
    "database_kind", "invntConecta_db", "user_id",       "message",     "function_id",
    "email_title",   "send_email",      "job_id",        "parameters",  "parameter_count",
    "email_text",    "email_address",   "start_date",    "sender_address", "attachment_address"};

Variant request_job(std::vector<Variant>& p) {
  return Variant(jobs::gInclui_JOB(p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7], p[8], p[9],
                                   p[10], p[11], p[12], p[13], p[14]));
}

// The answer of an operation in the JSON contract's form, one parameter a line, in call order.
void write_call(std::ostream& out, const std::string& operation, json call,
                const testing::TestDatabase& db) {
  // The test database's connection text, unless the call names another; "{connection}" in it
  // stands for that text.
  const std::string given = call.value("invntConecta_db", std::string("{connection}"));
  call["invntConecta_db"] = replaced(given, "{connection}", db.connection_text());
  out << "== " << operation << "\n";
  const bool job = operation == "gInclui_JOB";
  const OperationInfo* info = find_operation(operation);
  if (info == nullptr && !job) throw std::runtime_error("no operation " + operation);
  const std::vector<std::string>& names = job ? kJobRequest : info->parameters;
  std::vector<Variant> parameters(names.size());
  for (const auto& [name, value] : call.items()) {
    const auto at = std::find(names.begin(), names.end(), name);
    if (at == names.end()) throw std::runtime_error("no parameter " + name);
    parameters[static_cast<std::size_t>(at - names.begin())] = from_json(value);
  }
  QrnMvl component;
  const Variant result = job ? request_job(parameters) : invoke(component, operation, parameters);
  Lines small;
  integers("result", result, small);
  out << "{\"result\": " << to_json(result).dump() << ", \"parameters\": {\n";
  for (std::size_t i = 0; i < parameters.size(); ++i) {
    out << "  " << json(names[i]).dump() << ": "
        << to_json(parameters[i]).dump(-1, ' ', false, json::error_handler_t::replace)
        << (i + 1 < parameters.size() ? ",\n" : "}}\n");
    integers(names[i], parameters[i], small);
  }
  out << "Integer:";
  for (const auto& name : small) out << " " << name;
  out << "\n";
}

// Moments of writing: a date (with its time or not) within a day of now, in the forms the
// database and the messages use.
std::string masked(const std::string& text) {
  std::set<std::string> days;
  for (const int offset : {-1, 0, 1}) {
    const std::time_t moment = std::chrono::system_clock::to_time_t(
        std::chrono::system_clock::now() + std::chrono::days(offset));
    char day[16];
    std::tm local{};
    std::strftime(day, sizeof day, "%Y%m%d", localtime_r(&moment, &local));
    days.insert(day);
  }
  static const std::regex moment(R"((\d{4})[/-](\d\d)[/-](\d\d)( \d\d:\d\d(:\d\d)?)?|)"
                                 R"((\d\d)/(\d\d)/(\d{4})( \d\d:\d\d(:\d\d)?)?)");
  std::string out;
  auto from = text.cbegin();
  for (std::sregex_iterator it(text.begin(), text.end(), moment), end; it != end; ++it) {
    const std::smatch& m = *it;
    const bool year_first = m[1].matched;
    out.append(from, m[0].first);
    if (days.contains(year_first ? m.str(1) + m.str(2) + m.str(3) : m.str(8) + m.str(7) + m.str(6)))
      out += m[year_first ? 4 : 9].matched ? "{now}" : "{today}";
    else
      out += m.str(0);
    from = m[0].second;
  }
  return out.append(from, text.cend());
}

// Everything a scenario did, under one locale.
std::string outcome(const json& s, const std::string& locale) {
  testing::LocaleScope scope(locale.c_str());
  testing::TestDatabase db(s.value("demo", false), s.value("driver", "") == "odbc"
                                                       ? testing::odbc_connection_text
                                                       : testing::embedded_connection_text);
  for (const auto& p : s.value("procedures", json::array()))
    db.redefine(p.at("name"), p.value("params", ""), p.at("body"));
  for (const auto& sql : s.value("setup", json::array())) db.exec(sql.get<std::string>());
  const Tables before = tables_of(db);
  db.clear_trace();

  std::ostringstream out;
  out << "# " << s.value("about", "") << "\n";
  if (s.contains("commands")) {
    const auto connection = data::open_connection(db.connection_text());
    out << "== commands\n";
    for (const auto& command : s["commands"]) {
      const std::string text = command.get<std::string>();
      out << "> " << one_line(text) << "\n"
          << one_line(testing::answer_text(*connection, text)) << "\n";
    }
  } else {
    json steps = s.value("steps", json::array());
    if (s.contains("operation"))
      steps.insert(steps.begin(), json::object({{"operation", s["operation"]},
                                                {"call", s.value("call", json::object())}}));
    for (const auto& step : steps)
      write_call(out, step.at("operation"), step.value("call", json::object()), db);
    write_sent(out, db);
  }
  data::close_cached_connections();
  write_changes(out, before, tables_of(db));
  // A blank that ends a line is easy to lose in an editor and to miss in a review: a pilcrow
  // after it shows it is there.
  std::string text =
      replaced(masked(out.str()), fs::path(db.path()).parent_path().string(), "{db}");
  for (auto at = text.find(" \n"); at != std::string::npos; at = text.find(" \n", at + 3))
    text.insert(at + 1, "\u00b6");
  return text;
}

// A unified diff of two texts, three lines of context around each change.
std::string diff(const std::string& expected, const std::string& actual) {
  const auto split = [](const std::string& text) {
    Lines lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  };
  const Lines a = split(expected), b = split(actual);
  // The longest common subsequence, from the ends.
  std::vector<std::vector<int>> common(a.size() + 1, std::vector<int>(b.size() + 1));
  for (std::size_t i = a.size(); i-- > 0;)
    for (std::size_t j = b.size(); j-- > 0;)
      common[i][j] =
          a[i] == b[j] ? common[i + 1][j + 1] + 1 : std::max(common[i + 1][j], common[i][j + 1]);
  Lines edits;  // each line of both texts with its mark
  std::size_t i = 0, j = 0;
  while (i < a.size() || j < b.size()) {
    if (i < a.size() && j < b.size() && a[i] == b[j]) {
      edits.push_back(" " + a[i++]);
      ++j;
    } else if (i < a.size() && (j == b.size() || common[i + 1][j] >= common[i][j + 1])) {
      edits.push_back("-" + a[i++]);
    } else {
      edits.push_back("+" + b[j++]);
    }
  }
  std::string out = "--- expected\n+++ actual\n";
  std::size_t shown = 0;
  for (std::size_t k = 0; k < edits.size(); ++k) {
    bool near = false;
    for (std::size_t n = k >= 3 ? k - 3 : 0; n < std::min(edits.size(), k + 4) && !near; ++n)
      near = edits[n][0] != ' ';
    if (!near) continue;
    if (k > shown || k == 0) out += "@@ line " + std::to_string(k + 1) + " @@\n";
    out += edits[k] + "\n";
    shown = k + 1;
  }
  return out;
}

std::vector<std::string> scenario_names() {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(kRoot / "scenarios"))
    if (entry.path().extension() == ".json") names.push_back(entry.path().stem().string());
  std::sort(names.begin(), names.end());
  return names;
}

bool updating() {
  const char* update = std::getenv("QRNMVL_UPDATE_GOLDEN");
  return update != nullptr && std::string(update) == "1";
}

class Golden : public ::testing::TestWithParam<std::string> {};

TEST_P(Golden, Scenario) {
  const json s = scenario(kRoot / "scenarios" / (GetParam() + ".json"));
  json locales = s.value("locale", json("pt_BR"));
  if (!locales.is_array()) locales = json::array({locales});
  const std::string actual = outcome(s, locales.at(0));
  // A scenario run under several locales must do the same under each.
  for (std::size_t i = 1; i < locales.size(); ++i) {
    const std::string other = outcome(s, locales[i]);
    EXPECT_TRUE(other == actual) << "under " << locales[i] << ", against " << locales[0] << ":\n"
                                 << diff(actual, other);
  }
  const fs::path file = kRoot / "expected" / (GetParam() + ".txt");
  if (updating()) {
    if (!fs::exists(file) || read_text(file) != actual) std::ofstream(file) << actual;
    return;
  }
  ASSERT_TRUE(fs::exists(file)) << file << " is missing; what the scenario did:\n" << actual;
  const std::string expected = read_text(file);
  EXPECT_TRUE(expected == actual) << file << " differs:\n" << diff(expected, actual);
}

INSTANTIATE_TEST_SUITE_P(Scenarios, Golden, ::testing::ValuesIn(scenario_names()),
                         [](const auto& info) {
                           std::string name = info.param;
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

// An expected file whose scenario is gone would never be compared again.
TEST(GoldenFiles, EveryExpectedFileHasItsScenario) {
  const auto names = scenario_names();
  for (const auto& entry : fs::directory_iterator(kRoot / "expected"))
    EXPECT_TRUE(std::binary_search(names.begin(), names.end(), entry.path().stem().string()))
        << entry.path() << " has no scenario";
}

}  // namespace
}  // namespace qrnmvl
