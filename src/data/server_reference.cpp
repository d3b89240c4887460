#include "data/server_reference.hpp"

#include <qrnmvl/variant.hpp>
#include <utility>

#include "common/text.hpp"
#include "data/reference_files.hpp"

namespace qrnmvl::data {
namespace {

bool only_comments(std::string_view piece) {
  while (!piece.empty()) {
    const std::size_t newline = piece.find('\n');
    const std::string_view line = ascii::trim_blanks(piece.substr(0, newline));
    if (!line.empty() && line.substr(0, 2) != "--") return false;
    if (newline == std::string_view::npos) break;
    piece.remove_prefix(newline + 1);
  }
  return true;
}

// The procedure file's first line names its parameters for the embedded
// engine; the server's procedure declares them itself.
std::string_view procedure_statement(std::string_view text) {
  const std::size_t newline = text.find('\n');
  return newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
}

void run(Connection& connection, const std::string& statement, std::string_view where) {
  try {
    connection.execute(statement);
  } catch (const Error& error) {
    throw Error(error.number(), std::string(where) + ": " + error.description());
  }
}

}  // namespace

std::vector<std::string> script_statements(std::string_view script) {
  std::vector<std::string> statements;
  std::string current;
  bool quoted = false;
  while (!script.empty()) {
    const std::size_t newline = script.find('\n');
    const std::string_view line = script.substr(0, newline);
    script.remove_prefix(newline == std::string_view::npos ? script.size() : newline + 1);
    bool comment = false;
    for (std::size_t i = 0; i < line.size() && !comment; ++i) {
      if (line[i] == '\'') quoted = !quoted;
      else if (!quoted && line[i] == '-' && i + 1 < line.size() && line[i + 1] == '-')
        comment = true;
    }
    const std::string_view trimmed = ascii::trim_blanks(line);
    if (!quoted && !comment && !trimmed.empty() && trimmed.back() == ';') {
      current.append(line.substr(0, line.rfind(';')));
      if (!only_comments(current)) statements.push_back(std::move(current));
      current.clear();
      continue;
    }
    current.append(line);
    current += '\n';
  }
  if (!only_comments(current)) statements.push_back(std::move(current));
  return statements;
}

std::vector<std::string> created_names(std::string_view script, std::string_view kind) {
  std::vector<std::string> names;
  for (const std::string& statement : script_statements(script)) {
    // Comments before the statement are skipped; words are split on blanks.
    std::vector<std::string> words;
    std::string word;
    bool comment = false;
    for (std::size_t i = 0; i < statement.size() && words.size() < 3; ++i) {
      const char c = statement[i];
      if (comment) {
        comment = c != '\n';
        continue;
      }
      if (c == '-' && i + 1 < statement.size() && statement[i + 1] == '-' && word.empty()) {
        comment = true;
        continue;
      }
      if (ascii::is_blank(c) || c == '(' || c == '\n') {
        if (!word.empty()) words.push_back(std::exchange(word, {}));
        if (c == '(') break;
        continue;
      }
      word += c;
    }
    if (!word.empty() && words.size() < 3) words.push_back(word);
    if (words.size() == 3 && ascii::same_name(words[0], "CREATE") && ascii::same_name(words[1], kind))
      names.push_back(words[2]);
  }
  return names;
}

void install_reference_database(Connection& connection, bool with_demo, bool force,
                                const std::function<void(const std::string&)>& progress) {
  const auto say = [&](const std::string& stage) {
    if (progress) progress(stage);
  };
  const std::string_view schema = mariadb::embedded_schema().text;
  if (schema.empty())
    throw Error(err::database, "This build holds no reference database for a server.");
  const std::vector<std::string> tables = created_names(schema, "TABLE");
  if (!force) {
    for (const std::string& table : tables)
      if (connection.has_table(table))
        throw Error(err::database, "The database already holds the table " + table +
                                       " of the reference database; --force replaces it.");
  } else {
    say("Dropping the reference tables and functions");
    run(connection, "SET FOREIGN_KEY_CHECKS = 0", "force");
    for (auto table = tables.rbegin(); table != tables.rend(); ++table)
      run(connection, "DROP TABLE IF EXISTS " + *table, "force");
    for (const std::string& function : created_names(schema, "FUNCTION"))
      run(connection, "DROP FUNCTION IF EXISTS " + function, "force");
    run(connection, "SET FOREIGN_KEY_CHECKS = 1", "force");
  }

  say("Creating " + std::to_string(tables.size()) + " tables");
  for (const std::string& statement : script_statements(schema))
    run(connection, statement, "schema.sql");

  const auto& procedures = mariadb::embedded_procedures();
  say("Creating " + std::to_string(procedures.size()) + " stored procedures");
  for (const EmbeddedFile& file : procedures) {
    const std::string where = "procedures/" + std::string(file.name) + ".sql";
    run(connection, "DROP PROCEDURE IF EXISTS " + std::string(file.name), where);
    run(connection, std::string(procedure_statement(file.text)), where);
  }

  if (with_demo) {
    say("Loading the demo data");
    // The demo rows are the embedded engine's own (db/demo.sql): plain INSERTs
    // both dialects read alike, so there is one copy of them.
    for (const std::string& statement : script_statements(sqlite::embedded_demo().text))
      run(connection, statement, "demo.sql");
  }
}

}  // namespace qrnmvl::data
