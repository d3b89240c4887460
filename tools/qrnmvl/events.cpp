#include "events.hpp"

#include <unistd.h>

#include <fstream>
#include <sstream>

#include "dcsa.hpp"

namespace qrnmvl::tool {
namespace {

constexpr const char* kEventsExitCodes =
    "Exit codes: 0 listed (an empty list too), or pruned (nothing to prune, a dry run and\n"
    "an answer other than yes too); 1 the database cannot be read, or refused the removal,\n"
    "or the events changed while they were shown; 2 a usage error (bad arguments, neither\n"
    "--db nor --connection, a --db file that does not exist, a mapping file that is not\n"
    "one, prune without a terminal and without --yes or --dry-run); 3 no such order.";
constexpr const char* kJobsExitCodes =
    "Exit codes: 0 listed (an empty list too); 1 the database cannot be read, or an internal\n"
    "error; 2 a usage error (bad arguments, neither --db nor --connection, a --db file that\n"
    "does not exist).";
std::string read_file(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::invalid_argument("cannot read " + path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void print_json(std::ostream& out, const nlohmann::ordered_json& json) {
  out << json.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
}

}  // namespace

CLI::App* add_events_command(CLI::App& app, EventsOptions& options) {
  auto* events = app.add_subcommand(
      "events",
      "List the tracking events of a service order, oldest first: as a table, as JSON, or as\n"
      "DCSA Track & Trace 2.2 equipment events (--format dcsa); with --duplicates only the\n"
      "events recorded more than once. `events prune` removes those copies.");
  add_database_options(events, options.db, options.connection);
  options.order_option =
      events->add_option("--order", options.order_id, "Service order id (ORDEM_SERVICO_ID)");
  auto* format = events->add_option("--format", options.format, "table (default), json or dcsa")
                     ->check(CLI::IsMember({"table", "json", "dcsa"}));
  events->add_flag("--json", options.json, "Print JSON instead of a table (--format json)")
      ->excludes(format);
  events->add_flag("--detail", options.detail,
                   "The table also shows each event's id, when it was recorded and by whom");
  events->add_flag("--duplicates", options.duplicates,
                   "Only the events recorded more than once (same container line, CTAC,\n"
                   "pickup or invoice, event, moment and terminal), with the first of each");
  events->add_option("--mapping", options.mapping,
                     "JSON file mapping this system's events to DCSA equipment events\n"
                     "(--format dcsa; default: the built-in mapping, docs/dcsa.md)");
  add_time_zone_option(events, options.time_zone);
  events->footer(kEventsExitCodes);

  auto* prune = events->add_subcommand(
      "prune",
      "Remove the copies of the order's events recorded more than once, keeping the first\n"
      "(lowest id) of each, and the jobs still waiting for the copies: all in one\n"
      "transaction, after showing them and asking (on a terminal).");
  add_database_options(prune, options.prune.db, options.prune.connection);
  prune->add_option("--order", options.prune.order_id, "Service order id (ORDEM_SERVICO_ID)")
      ->required();
  auto* yes = prune->add_flag("--yes", options.prune.yes, "Remove without asking");
  prune->add_flag("--dry-run", options.prune.dry_run, "Only show what would be removed")
      ->excludes(yes);
  prune->footer(kEventsExitCodes);
  options.prune_command = prune;
  events->require_subcommand(0, 1);
  return events;
}

CLI::App* add_jobs_command(CLI::App& app, JobsOptions& options) {
  auto* jobs = app.add_subcommand("jobs", "List the queued job requests, oldest first");
  add_database_options(jobs, options.db, options.connection);
  jobs->add_option("--after", options.after_job_id, "Only the jobs after this job id");
  jobs->add_flag("--json", options.json, "Print JSON instead of a table");
  add_time_zone_option(jobs, options.time_zone);
  jobs->footer(kJobsExitCodes);
  return jobs;
}

int run_events(const EventsOptions& options, std::istream& in, std::ostream& out,
               std::ostream& err) {
  if (options.prune_command != nullptr && *options.prune_command)
    return run_prune(options.prune, ::isatty(STDIN_FILENO) == 1, in, out, err);
  return run_command(err, [&] {
    const std::string format = options.json ? "json" : options.format;
    if (options.order_option == nullptr || options.order_option->count() == 0)
      throw std::invalid_argument("events: give --order ID");
    if (!options.mapping.empty() && format != "dcsa")
      throw std::invalid_argument("--mapping is for --format dcsa");
    if (options.duplicates && format == "dcsa")
      throw std::invalid_argument(
          "--duplicates lists this system's events: not with --format dcsa");
    const TimeZone zone = TimeZone::named(options.time_zone);
    const DcsaMapping mapping = options.mapping.empty()
                                    ? default_dcsa_mapping()
                                    : read_dcsa_mapping(read_file(options.mapping));
    const std::string text = database_text(options.db, options.connection, true);

    if (format == "dcsa") {
      const DcsaExport exported = dcsa_events(text, options.order_id, mapping, zone);
      print_json(out, exported.events);
      out.flush();  // the note comes after the answer, whatever the streams share
      if (exported.left_out > 0)
        err << "qrnmvl: " << exported.left_out << " of the order's events "
            << (exported.left_out == 1 ? "has" : "have")
            << " no DCSA equipment event (no container, or not in the mapping)\n";
      return 0;
    }
    Report report;
    if (options.duplicates) {
      report = duplicate_events(text, options.order_id);
    } else {
      require_order(text, options.order_id);
      report = tracking_events(text, options.order_id);
    }
    if (format == "json")
      print_json(out, report.to_json(zone));
    else
      print_report(out, report, options.detail);
    return 0;
  });
}

int run_jobs(const JobsOptions& options, std::ostream& out, std::ostream& err) {
  return run_command(err, [&] {
    const TimeZone zone = TimeZone::named(options.time_zone);
    const Report report =
        job_requests(database_text(options.db, options.connection, true), options.after_job_id);
    if (options.json)
      print_json(out, report.to_json(zone));
    else
      print_report(out, report);
    return 0;
  });
}

}  // namespace qrnmvl::tool
