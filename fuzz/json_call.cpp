// The JSON contract on every operation, as a caller would reach it, against a
// demo database made fresh for this process. The first byte chooses the
// operation (low bits), the regional settings (0x80) and whether names the
// operation does not know stay as they are (0x40) or stand for one of its
// parameters, so that mutated names still reach the operations' bodies; the
// rest is the JSON call.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <qrnmvl/qrnmvl.hpp>
#include <stdexcept>
#include <string>
#include <system_error>

#include "common/json_value.hpp"
#include "data/sqlite/reference.hpp"

namespace {

std::string g_folder;
std::string g_connection;

void remove_folder() {
  std::error_code ignored;
  std::filesystem::remove_all(g_folder, ignored);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The trace is the host's: this host allows none.
  ::unsetenv("QRNMVL_TRACE_DIR");
  std::string pattern = (std::filesystem::temp_directory_path() / "qrnmvl-fuzz-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) std::abort();
  g_folder = pattern;
  std::atexit(remove_folder);
  const std::string path = g_folder + "/demo.db";
  qrnmvl::data::sqlite::create_reference_database(path, true, false);
  // A short limit, so a command the input makes slow costs seconds, not the run.
  g_connection = "Provider=SQLite;Data Source=" + path + ";Command Timeout=2;Busy Timeout=100";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const auto& operations = qrnmvl::operations();
  const qrnmvl::OperationInfo& operation = operations[(data[0] & 0x3f) % operations.size()];
  const bool keep_names = (data[0] & 0x40) != 0;
  qrnmvl::set_regional_settings(qrnmvl::regional_settings_for(data[0] & 0x80 ? "pt_BR" : "en_US"));
  std::string call(reinterpret_cast<const char*>(data + 1), size - 1);

  // The connection is the host's too: whatever the input names, the call runs
  // on the demo database.
  try {
    nlohmann::json parsed = qrnmvl::parse_json_call(call);
    if (parsed.is_object()) {
      nlohmann::json named = nlohmann::json::object();
      const auto& names = operation.parameters;
      for (auto& [name, value] : parsed.items()) {
        const bool known = std::find(names.begin(), names.end(), name) != names.end();
        named[known || keep_names ? name : names[std::hash<std::string>{}(name) % names.size()]] =
            value;
      }
      named["invntConecta_db"] = g_connection;
      call = named.dump();
    }
  } catch (const std::invalid_argument&) {
    // Refused input goes to the call as it is: it must be refused there too.
  }

  qrnmvl::QrnMvl component;
  try {
    qrnmvl::invoke_json(component, operation.name, call);
  } catch (const std::invalid_argument&) {
    // A usage error is an answer; anything else escaping is a fault.
  }
  return 0;
}
