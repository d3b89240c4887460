// The reference application database compiled into the library (db/).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qrnmvl::data::sqlite {

struct EmbeddedFile {
  std::string_view name;  // "schema.sql", "demo.sql", or the procedure name
  std::string_view text;
};
// Generated at build time from db/.
const EmbeddedFile& embedded_schema();
const EmbeddedFile& embedded_demo();
const std::vector<EmbeddedFile>& embedded_procedures();

// Creates the reference database at path: tables, the procedure catalog with
// every procedure of db/procedures, and the demo data when asked. An existing
// file is an Error unless force, which replaces it.
void create_reference_database(const std::string& path, bool with_demo, bool force);

}  // namespace qrnmvl::data::sqlite
