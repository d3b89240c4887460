// What a closing leaves in the database, read back for a person: the
// tracking events of an order as a timeline and the queued job requests.
// Used by `qrnmvl events`, `qrnmvl jobs` and the demo. These read the
// reference database's own tables, so they work on the embedded engine.
#pragma once

#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

namespace qrnmvl::tool {

// A small report: column headings, rows of display texts, and the same rows
// as JSON objects keyed by the headings.
struct Report {
  std::vector<std::string> headings;
  std::vector<std::vector<std::string>> rows;

  nlohmann::ordered_json to_json() const;
};

// Any query's rows as a report, the values as a person reads them: Null as
// nothing, amounts in the tables' one form, stored dates day first.
Report query_report(const std::string& connection_text, const std::string& sql,
                    std::vector<std::string> headings);

// The tracking events of a service order (ORDEM_SERVICO_ID), oldest first.
Report tracking_events(const std::string& connection_text, long order_id);
// The job requests, oldest first; only those after a job id when given.
Report job_requests(const std::string& connection_text, long after_job_id = 0);

// Prints a report as an aligned table (or "(none)").
void print_report(std::ostream& out, const Report& report);

}  // namespace qrnmvl::tool
