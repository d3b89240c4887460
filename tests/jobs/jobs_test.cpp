#include "jobs/jobs.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "common/values.hpp"
#include "data/connection.hpp"
#include "support/test_database.hpp"
#include "support/test_values.hpp"

namespace qrnmvl {
namespace {

using testing::TestDatabase;
using Rows = std::vector<std::vector<Variant>>;

// One request, by default the job of a tracking event (tracking 10, CTAC 0, container 7).
struct Request {
  Variant kind{"ORACLE"}, connection{}, user{25}, message{"(message)"}, function{2266}, title{""},
      send_email{"N"}, job_id{}, parameters{Variant::Array{10, 3, "", 0, 7, 10}}, count{6},
      email_text{""}, email_address{""}, start{"16/09/2010 17:05"}, sender{""}, attachment{""};

  bool run(const TestDatabase& db) {
    if (connection.is_empty()) connection = db.connection();
    return jobs::gInclui_JOB(kind, connection, user, message, function, title, send_email, job_id,
                             parameters, count, email_text, email_address, start, sender,
                             attachment);
  }
};

TEST(JobRequest, PlainSqlLiterals) {
  testing::LocaleScope comma("pt_BR");
  using Builder = std::string (*)(const Variant&, std::string_view);
  const Builder number = jobs::plain_number, text = jobs::plain_text, date = jobs::plain_date;
  const std::tuple<Builder, Variant, const char*, std::string> cases[] = {
      {number, "12,5", "", "  12,5"},
      {number, 12, ">=", " >= 12"},
      {number, "abc", "", " null"},
      {number, 0, "=", " is null"},
      {number, Variant::null(), "<>", " is not null"},
      {text, "Ação nº 5", "", "  'AÇÃO Nº 5'"},
      {text, "x", "<>", " <> 'X'"},
      {text, Variant::null(), "", " NULL"},
      {text, "", "=", " IS NULL"},
      {date, Date::from_parts(2010, 9, 16), "<",
       " < to_date('2010/09/16 00:00:00', 'yyyy/mm/dd hh24:mi:ss')"},
      {date, "", ">", " null"},
  };
  for (const auto& [builder, value, comparison, literal] : cases)
    EXPECT_EQ(builder(value, comparison), literal);
}

TEST(JobRequest, ConcurrentRequestsGetDistinctIds) {
  constexpr int kThreads = 8, kRequests = 100;
  TestDatabase db;
  std::vector<std::set<std::int32_t>> ids(kThreads);
  std::vector<std::string> failures(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < kRequests; ++i) {
        Request request;
        if (!request.run(db)) failures[t] = request.message.as_string();
        ids[t].insert(to_long(request.job_id));
      }
      data::close_cached_connections();
    });
  for (auto& thread : threads) thread.join();

  std::set<std::int32_t> all;
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_EQ(failures[t], "");
    all.insert(ids[t].begin(), ids[t].end());
  }
  constexpr int kJobs = kThreads * kRequests;
  EXPECT_EQ(all.size(), static_cast<std::size_t>(kJobs));
  EXPECT_EQ(db.query("SELECT count(DISTINCT LOG_GERADOR_ID), count(*), min(LOG_GERADOR_ID), "
                     "max(LOG_GERADOR_ID) FROM LOG_GERADOR"),
            (Rows{{kJobs, kJobs, 1, kJobs}}));
  EXPECT_EQ(db.query("SELECT count(DISTINCT LOG_SISTEMA_ID), count(*) FROM LOG_SISTEMA"),
            (Rows{{2 * kJobs, 2 * kJobs}}));
  EXPECT_EQ(db.query("SELECT * FROM infra_ids"), (Rows{{kJobs, 2 * kJobs}}));
  EXPECT_EQ(db.query("SELECT count(*) FROM LOG_MSG"), Rows{{0}});
}

}  // namespace
}  // namespace qrnmvl
