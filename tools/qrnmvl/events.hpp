// `qrnmvl events` and `qrnmvl jobs`: what the closings of an order recorded
// and queued, as a table for a person, JSON for scripts, DCSA Track & Trace
// equipment events for shippers; the events recorded more than once, and
// their removal (`qrnmvl events prune`).
#pragma once

#include <CLI/CLI.hpp>
#include <istream>
#include <ostream>
#include <string>

#include "repair.hpp"

namespace qrnmvl::tool {

struct EventsOptions {
  std::string db, connection;
  long order_id = 0;
  std::string format = "table";  // table, json or dcsa
  bool json = false;             // --json, the same as --format json
  bool detail = false;           // the table also shows each event's id, recording and user
  bool duplicates = false;       // only the events recorded more than once
  std::string mapping;           // a DCSA mapping file instead of the built-in one
  std::string time_zone;         // the zone of the stored dates (default: the host's)
  PruneOptions prune;

  CLI::Option* order_option = nullptr;
  CLI::App* prune_command = nullptr;
};

struct JobsOptions {
  std::string db, connection;
  long after_job_id = 0;
  bool json = false;
  std::string time_zone;
};

CLI::App* add_events_command(CLI::App& app, EventsOptions& options);
CLI::App* add_jobs_command(CLI::App& app, JobsOptions& options);

// Exit codes: 0 listed (an empty list too) or pruned; 1 the database cannot be
// read (or refused the removal); 2 a usage error; 3 an unknown order.
int run_events(const EventsOptions& options, std::istream& in, std::ostream& out,
               std::ostream& err);
int run_jobs(const JobsOptions& options, std::ostream& out, std::ostream& err);

}  // namespace qrnmvl::tool
