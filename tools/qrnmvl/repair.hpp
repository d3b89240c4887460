// Events recorded more than once, and their removal. A closing sent again
// records the tracking events of every container request it reaches again
// (docs/reliability.md): the copies say nothing new, but a shipper following
// the container sees each event twice. These find the copies and remove them,
// keeping the first of each.
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "reports.hpp"

namespace qrnmvl::tool {

// The events of an order that are copies of one another: the same event of the
// same container line, CTAC, pickup or invoice, at the same moment and
// terminal (who recorded it and when does not matter). Columns: id, first (the
// id of the first of its group, the one that stays), when, event, terminal,
// CTAC, container, invoice, pickup, recorded, user; each group's rows
// together, the first of each group first. NotFound for an unknown order.
Report duplicate_events(const std::string& connection_text, long order_id);

// The ids of the copies (every row of duplicate_events but the first of each group).
std::vector<long> copies(const Report& duplicates);

struct PruneOptions {
  std::string db, connection;
  long order_id = 0;
  bool yes = false;      // remove without asking
  bool dry_run = false;  // only show what would be removed
};

// Shows the copies of the order's events and the jobs still waiting for them,
// asks (when `ask` is set; otherwise --yes or --dry-run is needed) and removes
// them in one transaction, after checking that the order's events are still
// what was shown. Exit codes: 0 removed, nothing to remove, a dry run or an
// answer other than yes; 1 the database refused or the events changed
// meanwhile (nothing removed); 2 a usage error; 3 an unknown order.
int run_prune(const PruneOptions& options, bool ask, std::istream& in, std::ostream& out,
              std::ostream& err);

}  // namespace qrnmvl::tool
