#include "repair.hpp"

#include <algorithm>
#include <map>

#include "common/values.hpp"
#include "data/connection.hpp"
#include "data/transaction.hpp"

namespace qrnmvl::tool {
namespace {

// What makes two events the same: everything the event says, not who recorded it or when.
constexpr const char* kIdentity[] = {"event_code", "request",     "document", "pickup",
                                     "invoice_id", "terminal_id", "when"};
// A waiting job (Tab_Status_JOB_ID 1) has not run yet: removed with its event.
constexpr int kWaitingJob = 1;

long id_of(const Variant& value) { return static_cast<long>(to_double(value)); }

std::string key_of(const Report& events, std::size_t row) {
  std::string key;
  for (const char* heading : kIdentity) {
    const Variant& value = events.at(row, heading);
    // A Null differs from every text, the empty one included.
    key += value.is_null() ? std::string("\x01") : "\x02" + to_text(value);
    key += '\x1f';
  }
  return key;
}

// Comma-separated ids for an IN list.
std::string id_list(const std::vector<long>& ids, std::size_t first, std::size_t count) {
  std::string list;
  for (std::size_t i = first; i < ids.size() && i < first + count; ++i)
    list += (list.empty() ? "" : ", ") + std::to_string(ids[i]);
  return list;
}

std::vector<long> waiting_jobs(const Report& jobs) {
  std::vector<long> ids;
  for (std::size_t row = 0; row < jobs.rows.size(); ++row)
    if (equals(jobs.at(row, "status"), kWaitingJob)) ids.push_back(id_of(jobs.at(row, "job")));
  return ids;
}

void delete_ids(const std::string& connection_text, const std::string& table,
                const std::string& id_column, const std::string& also,
                const std::vector<long>& ids) {
  constexpr std::size_t kPerStatement = 200;
  for (std::size_t first = 0; first < ids.size(); first += kPerStatement)
    data::open_rowset("DELETE FROM " + table + " WHERE " + id_column + " IN (" +
                          id_list(ids, first, kPerStatement) + ")" + also,
                      Variant(connection_text));
}

}  // namespace

Report duplicate_events(const std::string& connection_text, long order_id) {
  require_order(connection_text, order_id);
  const Report events = tracking_events(connection_text, order_id);
  std::map<std::string, std::vector<std::size_t>> groups;
  std::vector<std::string> order_seen;  // groups in the order of their first event
  for (std::size_t row = 0; row < events.rows.size(); ++row) {
    auto& group = groups[key_of(events, row)];
    if (group.empty()) order_seen.push_back(key_of(events, row));
    group.push_back(row);
  }

  Report duplicates{{{"id", Kind::Integer},
                     {"first", Kind::Integer},
                     {"when", Kind::Moment},
                     {"event", Kind::Text},
                     {"terminal", Kind::Text},
                     {"CTAC", Kind::Text},
                     {"container", Kind::Text},
                     {"invoice", Kind::Text},
                     {"pickup", Kind::Integer},
                     {"recorded", Kind::Moment},
                     {"user", Kind::Integer}},
                    {}};
  for (const auto& key : order_seen) {
    auto group = groups[key];
    if (group.size() < 2) continue;
    std::sort(group.begin(), group.end(), [&](std::size_t a, std::size_t b) {
      return id_of(events.at(a, "id")) < id_of(events.at(b, "id"));
    });
    const Variant first = events.at(group.front(), "id");
    for (const std::size_t row : group) {
      std::vector<Variant> values{events.at(row, "id"), first};
      for (std::size_t i = 2; i < duplicates.columns.size(); ++i)
        values.push_back(events.at(row, duplicates.columns[i].heading));
      duplicates.rows.push_back(std::move(values));
    }
  }
  return duplicates;
}

std::vector<long> copies(const Report& duplicates) {
  std::vector<long> ids;
  for (std::size_t row = 0; row < duplicates.rows.size(); ++row) {
    const long id = id_of(duplicates.at(row, "id"));
    if (id != id_of(duplicates.at(row, "first"))) ids.push_back(id);
  }
  return ids;
}

int run_prune(const PruneOptions& options, bool ask, std::istream& in, std::ostream& out,
              std::ostream& err) {
  return run_command(err, [&] {
    const std::string text = database_text(options.db, options.connection);
    const std::string order = std::to_string(options.order_id);
    const Report shown = duplicate_events(text, options.order_id);
    const std::vector<long> removed = copies(shown);
    if (removed.empty()) {
      out << "Order " << order << " has no event recorded more than once: nothing to remove.\n";
      return 0;
    }
    const Report jobs = jobs_of_events(text, removed);
    const std::vector<long> removed_jobs = waiting_jobs(jobs);

    out << "Order " << order << ": " << removed.size()
        << (removed.size() == 1 ? " event is a copy" : " events are copies")
        << " of an earlier one (first); the first of each stays.\n\n";
    Report listed{shown.columns, {}};
    for (std::size_t row = 0; row < shown.rows.size(); ++row)
      if (id_of(shown.at(row, "id")) != id_of(shown.at(row, "first")))
        listed.rows.push_back(shown.rows[row]);
    print_report(out, listed);
    if (!jobs.rows.empty()) {
      out << "\nJobs queued for them; those still waiting (status 1) go with them:\n\n";
      print_report(out, jobs);
    }
    out << "\n";

    if (options.dry_run) {
      out << "Dry run: nothing removed.\n";
      return 0;
    }
    if (!options.yes) {
      if (!ask)
        throw std::invalid_argument(
            "not asking without a terminal: give --yes to remove them, or --dry-run");
      out << "Remove " << removed.size() << (removed.size() == 1 ? " event" : " events");
      if (!removed_jobs.empty()) out << " and " << removed_jobs.size() << " waiting job(s)";
      out << "? [y/N] " << std::flush;
      std::string answer;
      std::getline(in, answer);
      if (answer != "y" && answer != "Y" && answer != "yes") {
        out << "Nothing removed.\n";
        return 0;
      }
    }

    {
      data::Transaction transaction(data::cached_connection(text), data::Isolation::Serializable);
      // Another closing or another operator may have been at the order since
      // the list was shown: only what was shown is removed.
      const std::vector<long> now = copies(duplicate_events(text, options.order_id));
      if (now != removed || waiting_jobs(jobs_of_events(text, removed)) != removed_jobs)
        throw std::runtime_error("the events of order " + order +
                                 " changed since they were shown: nothing removed; run again");
      delete_ids(text, "TRACKING", "TRACKING_ID", " AND ORDEM_SERVICO_ID = " + order, removed);
      delete_ids(text, "LOG_GERADOR", "LOG_GERADOR_ID",
                 " AND Tab_Status_JOB_ID = " + std::to_string(kWaitingJob), removed_jobs);
      transaction.commit();
    }
    out << "Removed " << removed.size() << (removed.size() == 1 ? " event" : " events");
    if (!removed_jobs.empty())
      out << " and " << removed_jobs.size() << (removed_jobs.size() == 1 ? " job" : " jobs");
    out << " of order " << order << ".\n";
    return 0;
  });
}

}  // namespace qrnmvl::tool
