// The reference application database of the embedded engine (db/).
#pragma once

#include <string>

#include "data/reference_files.hpp"

namespace qrnmvl::data::sqlite {

using data::EmbeddedFile;

// Creates the reference database at path: tables, the procedure catalog with
// every procedure of db/procedures, and the demo data when asked. An existing
// file is an Error unless force, which replaces it.
void create_reference_database(const std::string& path, bool with_demo, bool force);

}  // namespace qrnmvl::data::sqlite
