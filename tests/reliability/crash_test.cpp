// Closings killed with SIGKILL at random moments: the database stays sound,
// every closing answered 0 is there whole, and the one cut part-way left only
// what its stages had committed, in the order they run.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <optional>
#include <random>
#include <sstream>

#include "reliability/closings.hpp"
#include "support/test_database.hpp"

namespace qrnmvl {
namespace {

using testing::kClosableRecords;

// A child process that closes the demo records in turn, from mark `first` on,
// and reports "B mark record" before each closing and "E mark result" after it
// on a pipe, one write each.
class Closer {
 public:
  Closer(const std::string& connection_text, int first, int count) {
    int ends[2];
    if (::pipe(ends) != 0) throw std::runtime_error("pipe");
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(ends[0]);
      QrnMvl component;
      for (int mark = first; mark < first + count; ++mark) {
        const int record = kClosableRecords[mark % std::size(kClosableRecords)].id;
        report(ends[1], "B " + std::to_string(mark) + " " + std::to_string(record) + "\n");
        const auto answer = testing::close_marked(component, connection_text, record, mark);
        report(ends[1], "E " + std::to_string(mark) + " " + std::to_string(answer.result) + "\n");
      }
      ::_exit(0);
    }
    ::close(ends[1]);
    out_ = ends[0];
  }
  ~Closer() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    ::close(out_);
  }

  // The next line the child wrote; nothing when it ended or went silent for 10 s.
  std::optional<std::string> next_line() {
    while (true) {
      if (const auto end = buffer_.find('\n'); end != std::string::npos) {
        std::string line = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        return line;
      }
      pollfd ready{out_, POLLIN, 0};
      if (::poll(&ready, 1, 10000) <= 0) return std::nullopt;
      char chunk[256];
      const ssize_t got = ::read(out_, chunk, sizeof chunk);
      if (got <= 0) return std::nullopt;
      buffer_.append(chunk, static_cast<std::size_t>(got));
    }
  }

  // Kills the child and waits for it; true when the kill is what ended it.
  bool kill() {
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
  }

 private:
  static void report(int fd, const std::string& line) {
    if (::write(fd, line.data(), line.size()) < 0) ::_exit(3);
  }

  pid_t pid_ = -1;
  int out_ = -1;
  std::string buffer_;
};

// What the database holds of the marked closings.
struct Marks {
  std::string document;
  std::vector<std::string> observations;  // one per container line, in line order
};

class KilledClosings : public ::testing::Test {
 protected:
  Marks marks_of(const testing::DemoRecord& record) const {
    Marks marks;
    marks.document = to_text(db.query("SELECT ID_SISTEMA_EXTERNO FROM ORDEM_SERVICO_TIPO "
                                      "WHERE ORDEM_SERVICO_TIPO_ID = " +
                                      std::to_string(record.id))
                                 .at(0)
                                 .at(0));
    for (const auto& row :
         db.query("SELECT a.OBSERV FROM SOLICIT_EMBARQUE_CONTAINER s JOIN AGEND_CONTAINER a "
                  "USING (AGEND_CONTAINER_ID) WHERE s.ORDEM_SERVICO_ID = " +
                  std::to_string(record.service_order) + " ORDER BY s.SOLICIT_EMBARQUE_CONTAINER_ID"))
      marks.observations.push_back(row.at(0).is_null() ? "" : to_text(row.at(0)));
    return marks;
  }
  long count(const char* table) const {
    return static_cast<long>(
        to_double(db.query(std::string("SELECT count(*) FROM ") + table).at(0).at(0)));
  }

  testing::TestDatabase db{true};
};

TEST_F(KilledClosings, LeaveWholeClosingsAndOneCutAtAStageBoundary) {
  // A first closing of every record, run to its end, tells how many tracking
  // events and jobs one closing of it adds.
  std::map<int, std::pair<long, long>> added;  // record -> tracking events, jobs
  for (int i = 0; i < 2 * static_cast<int>(std::size(kClosableRecords)); ++i) {
    const long tracking = count("TRACKING"), jobs = count("LOG_GERADOR");
    Closer closer(db.connection_text(), i, 1);
    ASSERT_EQ(closer.next_line().value_or("").front(), 'B');
    ASSERT_EQ(closer.next_line(), "E " + std::to_string(i) + " 0");
    added[kClosableRecords[i % std::size(kClosableRecords)].id] = {count("TRACKING") - tracking,
                                                                   count("LOG_GERADOR") - jobs};
  }

  // What each record must hold: the marks of its last closing answered 0, or
  // what a cut closing of an earlier round left.
  std::map<int, Marks> expected;
  const auto saved = [&](int record, int mark) {
    Marks& marks = expected[record];
    marks.document = testing::document_of(mark);
    marks.observations.assign(marks.observations.size(), testing::observation_of(mark));
  };
  for (const auto& record : kClosableRecords) expected[record.id] = marks_of(record);
  std::mt19937 random(std::random_device{}());
  constexpr int kRounds = 6;
  int first = 100;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const long tracking_before = count("TRACKING"), jobs_before = count("LOG_GERADOR");
    long tracking_expected = tracking_before, jobs_expected = jobs_before;
    std::optional<std::pair<int, int>> cut;  // mark, record of the closing begun but not answered
    {
      Closer closer(db.connection_text(), first, 1000);
      // Every line the child wrote counts, those read after the kill too.
      const auto take = [&](const std::string& line) {
        std::istringstream words(line);
        char kind = 0;
        int mark = 0, value = 0;
        words >> kind >> mark >> value;
        if (kind == 'B') {
          cut = {mark, value};
          return mark;
        }
        EXPECT_EQ(value, 0) << "closing " << mark;
        saved(cut->second, mark);
        tracking_expected += added[cut->second].first;
        jobs_expected += added[cut->second].second;
        cut.reset();
        return -1;
      };
      // Killed a random moment after a random closing began: anywhere in its stages.
      const int victim = first + std::uniform_int_distribution<int>(0, 6)(random);
      while (true) {
        const auto line = closer.next_line();
        ASSERT_TRUE(line) << "the closing process went silent";
        if (take(*line) == victim) break;
      }
      ::usleep(std::uniform_int_distribution<unsigned>(0, 40000)(random));
      ASSERT_TRUE(closer.kill());
      while (const auto line = closer.next_line()) take(*line);
    }
    first += 1000;

    EXPECT_EQ(db.query("PRAGMA integrity_check"), (std::vector<std::vector<Variant>>{{"ok"}}));
    for (const auto& record : kClosableRecords) {
      SCOPED_TRACE("record " + std::to_string(record.id));
      const Marks marks = marks_of(record);
      const Marks& want = expected.at(record.id);
      std::vector<bool> from_cut;  // per stage mark, in the order the closing writes them
      const auto is = [&](const std::string& held, const std::string& of_saved,
                          const std::string& of_cut) {
        if (cut && cut->second == record.id && held == of_cut) return from_cut.push_back(true);
        from_cut.push_back(false);
        EXPECT_EQ(held, of_saved);
      };
      is(marks.document, want.document,
         cut ? testing::document_of(cut->first) : "");
      ASSERT_EQ(marks.observations.size(), static_cast<std::size_t>(record.lines));
      for (std::size_t line = 0; line < marks.observations.size(); ++line)
        is(marks.observations[line], want.observations.at(line),
           cut ? testing::observation_of(cut->first) : "");
      // The cut closing's stages ran in order: what it wrote is a beginning of them.
      EXPECT_TRUE(std::is_sorted(from_cut.begin(), from_cut.end(), std::greater<>()));
      expected[record.id] = marks;
    }
    // Events and jobs: every answered closing's, and no more of the cut one than it has.
    const long cut_tracking = cut ? added[cut->second].first : 0;
    const long cut_jobs = cut ? added[cut->second].second : 0;
    EXPECT_GE(count("TRACKING"), tracking_expected);
    EXPECT_LE(count("TRACKING"), tracking_expected + cut_tracking);
    EXPECT_GE(count("LOG_GERADOR"), jobs_expected);
    EXPECT_LE(count("LOG_GERADOR"), jobs_expected + cut_jobs);
    // Message-log rows, if any, are whole.
    EXPECT_EQ(db.query("SELECT count(*) FROM LOG_MSG WHERE DATA_LOG IS NULL OR MSG01 IS NULL"),
              (std::vector<std::vector<Variant>>{{0}}));
  }
}

}  // namespace
}  // namespace qrnmvl
