#include "data/requirements.hpp"

#include <span>

namespace qrnmvl::data {

bool is_needed(const DatabaseObject& object, std::string_view database_kind) noexcept {
  const bool oracle = database_kind == "ORACLE";
  switch (object.needed_by) {
    case NeededBy::Every:
      return true;
    case NeededBy::NotOracle:
      return !oracle;
    case NeededBy::OracleOnly:
      return oracle;
  }
  return true;
}

namespace {

// Fills needed and missing with the objects of the list the kind needs.
template <class Has>
void check_objects(std::span<const DatabaseObject> objects, std::string_view database_kind, Has has,
                   std::vector<std::string>& needed, std::vector<std::string>& missing) {
  for (const auto& object : objects) {
    if (!is_needed(object, database_kind)) continue;
    const std::string name(object.name);
    needed.push_back(name);
    if (!has(name)) missing.push_back(name);
  }
}

}  // namespace

DatabaseCheck check_database(Connection& connection, std::string_view database_kind) {
  DatabaseCheck check;
  check.server = connection.server_info();
  check_objects(
      kRequiredProcedures, database_kind,
      [&](const std::string& name) { return connection.has_procedure(name); },
      check.needed_procedures, check.missing_procedures);
  check_objects(
      kRequiredTables, database_kind,
      [&](const std::string& name) { return connection.has_table(name); }, check.needed_tables,
      check.missing_tables);
  return check;
}

}  // namespace qrnmvl::data
