// The reference application database compiled into the library: db/ for the
// embedded engine, db/mariadb/ for the tested server (each generated at build
// time from its folder).
#pragma once

#include <string_view>
#include <vector>

namespace qrnmvl::data {

struct EmbeddedFile {
  std::string_view name;  // "schema.sql", "demo.sql", or the procedure name
  std::string_view text;
};

namespace sqlite {
const EmbeddedFile& embedded_schema();
const EmbeddedFile& embedded_demo();
const std::vector<EmbeddedFile>& embedded_procedures();
}  // namespace sqlite

// The server's tables and procedures; its demo data is the embedded engine's.
namespace mariadb {
const EmbeddedFile& embedded_schema();
const std::vector<EmbeddedFile>& embedded_procedures();
}  // namespace mariadb

}  // namespace qrnmvl::data
