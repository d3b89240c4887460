#include <algorithm>

#include "data/odbc/internal.hpp"

namespace qrnmvl::data::odbc {
namespace {

std::string describe(const std::vector<Diagnostic>& records, std::string_view fallback) {
  if (records.empty()) return std::string(fallback);
  std::string out;
  for (const auto& record : records) {
    if (!out.empty()) out += "; ";
    out += record.message + " (SQLSTATE " + record.state + ", native " +
           std::to_string(record.native) + ")";
  }
  return out;
}

}  // namespace

namespace {

// HYT00: the statement's time limit passed; the platform reports it as its own
// error number and text, whichever server answered.
bool timed_out(const std::vector<Diagnostic>& records) {
  return std::any_of(records.begin(), records.end(),
                     [](const Diagnostic& record) { return record.state == "HYT00"; });
}

}  // namespace

DriverError::DriverError(std::vector<Diagnostic> records, std::string_view fallback)
    : Error(timed_out(records) ? err::query_timeout : err::database,
            timed_out(records) ? "Query timeout expired" : describe(records, fallback)),
      records_(std::move(records)) {}

bool DriverError::conflicted() const noexcept {
  return std::any_of(records_.begin(), records_.end(), [](const Diagnostic& record) {
    return record.state == "40001" || record.state == "40P01" || record.native == 1205 ||
           record.native == 1213 || record.native == 8177 ||
           record.message.find("ORA-08177") != std::string::npos;
  });
}

bool DriverError::connection_lost() const noexcept {
  return std::any_of(records_.begin(), records_.end(), [](const Diagnostic& record) {
    return record.state == "08S01" || record.state == "08003" || record.state == "08007";
  });
}

std::vector<Diagnostic> diagnostics(SQLSMALLINT handle_type, SQLHANDLE handle) {
  std::vector<Diagnostic> records;
  if (handle == SQL_NULL_HANDLE) return records;
  for (SQLSMALLINT number = 1;; ++number) {
    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    std::vector<SQLCHAR> message(1024);
    SQLRETURN rc = SQLGetDiagRec(handle_type, handle, number, state, &native, message.data(),
                                 static_cast<SQLSMALLINT>(message.size()), &length);
    if (rc == SQL_SUCCESS_WITH_INFO && static_cast<std::size_t>(length) >= message.size()) {
      message.resize(static_cast<std::size_t>(length) + 1);
      rc = SQLGetDiagRec(handle_type, handle, number, state, &native, message.data(),
                         static_cast<SQLSMALLINT>(message.size()), &length);
    }
    if (!SQL_SUCCEEDED(rc)) return records;
    const auto size =
        std::min(static_cast<std::size_t>(std::max<SQLSMALLINT>(length, 0)), message.size() - 1);
    records.push_back({std::string(reinterpret_cast<const char*>(state)), static_cast<long>(native),
                       std::string(reinterpret_cast<const char*>(message.data()), size)});
  }
}

[[noreturn]] void raise_odbc(SQLSMALLINT handle_type, SQLHANDLE handle, std::string_view fallback) {
  throw DriverError(diagnostics(handle_type, handle), fallback);
}

void check(SQLRETURN rc, SQLSMALLINT handle_type, SQLHANDLE handle) {
  if (!SQL_SUCCEEDED(rc)) raise_odbc(handle_type, handle);
}

}  // namespace qrnmvl::data::odbc
