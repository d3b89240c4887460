// Faults of the database between calls and in the middle of a closing: each
// is the closing's failure (result 10, the message of the stage it reached),
// never a crash or a hang, and the file stays sound wherever it still is one.
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <thread>

#include "data/connection.hpp"
#include "data/sqlite/reference.hpp"
#include "reliability/closings.hpp"
#include "support/test_database.hpp"
#include "support/test_values.hpp"

namespace qrnmvl {
namespace {

namespace fs = std::filesystem;
using Rows = std::vector<std::vector<Variant>>;

constexpr int kRecord = 1004;  // two container lines, closes with the demo data as it is
constexpr const char* kUnavailable =
    "Acesso ao Fechamento da OS não disponível. Favor tentar mais tarde.";

// Without the capability to override file permissions (root has it), the
// calling thread meets a read-only file the way any other user does.
void obey_file_permissions() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[2]{};
  if (::syscall(SYS_capget, &header, data) != 0) return;
  for (const int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH})
    data[capability / 32].effective &= ~(1u << (capability % 32));
  ::syscall(SYS_capset, &header, data);
}

struct Fault {
  const char* name;
  // Done on the calling thread between the first closing and the second.
  std::function<void(const testing::TestDatabase&)> apply;
  bool loaded;          // the second closing's load still answered 0
  const char* message;  // what the second closing answers
  bool file_still_sound;
};

void replace_file(const std::string& path, const std::string& content) {
  fs::remove(path + "-wal");
  fs::remove(path + "-shm");
  const std::string fresh = path + ".new";
  std::ofstream(fresh, std::ios::binary) << content;
  fs::rename(fresh, path);
}

void checkpoint(const testing::TestDatabase& db) { db.exec("PRAGMA wal_checkpoint(TRUNCATE)"); }

const Fault kFaults[] = {
    {"made read-only",
     [](const testing::TestDatabase& db) {
       data::close_cached_connections();  // the next call comes from a new process
       fs::permissions(db.path(), fs::perms::owner_read | fs::perms::group_read);
       obey_file_permissions();
     },
     true, kUnavailable, true},
    {"deleted",
     [](const testing::TestDatabase& db) {
       fs::remove(db.path());
       fs::remove(db.path() + "-wal");
       fs::remove(db.path() + "-shm");
     },
     false, kUnavailable, false},
    {"replaced by a text file",
     [](const testing::TestDatabase& db) {
       replace_file(db.path(), "order list, not a database\n" + std::string(8192, '-'));
     },
     false, kUnavailable, false},
    {"replaced by a database without the demo orders",
     [](const testing::TestDatabase& db) {
       const std::string other = db.path() + ".other";
       data::sqlite::create_reference_database(other, false, true);
       fs::rename(other, db.path());
       fs::remove(db.path() + "-wal");
       fs::remove(db.path() + "-shm");
     },
     true, "Preencha Ordem Serviço id", true},
    {"corrupted",
     [](const testing::TestDatabase& db) {
       checkpoint(db);
       std::fstream file(db.path(), std::ios::in | std::ios::out | std::ios::binary);
       const auto size = static_cast<std::streamoff>(fs::file_size(db.path()));
       for (std::streamoff at = 4096; at < size; at += 4096) {
         file.seekp(at + 8);  // past each page's header, into its cell pointers
         file << std::string(64, '\xA5');
       }
     },
     false, kUnavailable, false},
};

// Closes the record with `mark` on a thread of its own, after `before` ran
// there; result -1 when it did not return in 20 s.
testing::ClosingAnswer close_apart(
    const testing::TestDatabase& db, int mark, std::function<void()> before = [] {}) {
  auto answer = std::make_shared<testing::ClosingAnswer>(testing::ClosingAnswer{-1, ""});
  const std::string text = db.connection_text();
  EXPECT_TRUE(returns_within(std::chrono::seconds(20), [=] {
    before();
    QrnMvl component;
    *answer = testing::close_marked(component, text, kRecord, mark);
    data::close_cached_connections();
  })) << "the closing hung";
  return *answer;
}

// A case's name as a test name: its letters and digits.
const auto kNameOfCase = [](const auto& info) {
  std::string name;
  for (const char c : std::string(info.param.name))
    if (std::isalnum(static_cast<unsigned char>(c))) name += c;
  return name;
};

class Faults : public ::testing::TestWithParam<Fault> {
 protected:
  testing::TestDatabase db{true};
};

TEST_P(Faults, BetweenTwoClosings) {
  const Fault& fault = GetParam();
  ASSERT_EQ(close_apart(db, 1).result, 0);
  const testing::ClosingAnswer answer = close_apart(db, 2, [&] { fault.apply(db); });
  EXPECT_EQ(answer.result, 10);
  EXPECT_EQ(answer.loaded, fault.loaded);
  EXPECT_EQ(answer.message, fault.message);
  if (fault.file_still_sound) {
    EXPECT_EQ(db.query("PRAGMA integrity_check"), (Rows{{"ok"}}));
  }
}

INSTANTIATE_TEST_SUITE_P(Database, Faults, ::testing::ValuesIn(kFaults), kNameOfCase);

// Faults met part-way through a closing: the stages before the fault stay
// written (each commits on its own), the failing stage leaves nothing, the
// message names the stage, and the message log holds the database's error.
struct MidwayFault {
  const char* name;
  const char* setup_sql;  // run on the file before the closing
  int max_page_growth;    // >= 0: the closing's connection may grow the file by this many pages
  const char* message;
  const char* logged;  // a piece of the message-log row
  int events_added;    // tracking events the closing wrote before the fault
};

const MidwayFault kMidwayFaults[] = {
    {"a procedure body with a syntax error",
     "UPDATE qrn_procedure SET body = 'UPDATE AGEND_CONTAINER SET OBSERV = :Observ WHER 1' "
     "WHERE name = 'SP_VLM_ALT_AGEN_CONT_OS_FEC'",
     -1, kUnavailable, "syntax error", 0},
    // A tracking event takes more room than is left: the disk fills at the
    // first line's tracking, after the record and the line were saved.
    {"the disk full at the first tracking event",
     "CREATE TABLE ballast (b BLOB); "
     "CREATE TRIGGER fill_disk AFTER INSERT ON TRACKING BEGIN "
     "INSERT INTO ballast VALUES (zeroblob(200000)); END; VACUUM",
     8, "Erro na inclusão do Tracking. Contacte o Administrador do sistema.",
     "database or disk is full", 0},
};

class MidwayFaults : public ::testing::TestWithParam<MidwayFault> {
 protected:
  testing::TestDatabase db{true};
};

TEST_P(MidwayFaults, LeaveTheStagesBeforeThem) {
  const MidwayFault& fault = GetParam();
  db.exec(fault.setup_sql);
  checkpoint(db);
  const auto events = db.query("SELECT count(*) FROM TRACKING");
  const long pages = static_cast<long>(to_double(db.query("PRAGMA page_count").at(0).at(0)));
  const std::string text = db.connection_text();
  const int growth = fault.max_page_growth;
  const testing::ClosingAnswer answer = close_apart(db, 7, [=] {
    if (growth >= 0)
      data::cached_connection(text)->execute("PRAGMA max_page_count = " +
                                             std::to_string(pages + growth));
  });
  EXPECT_EQ(answer.result, 10);
  EXPECT_TRUE(answer.loaded);
  EXPECT_EQ(answer.message, fault.message);
  EXPECT_EQ(db.query("PRAGMA integrity_check"), (Rows{{"ok"}}));
  // The record's own data was saved before the fault; the lines after it were not touched.
  EXPECT_EQ(db.query("SELECT ID_SISTEMA_EXTERNO FROM ORDEM_SERVICO_TIPO "
                     "WHERE ORDEM_SERVICO_TIPO_ID = 1004"),
            (Rows{{testing::document_of(7)}}));
  EXPECT_EQ(db.query("SELECT count(*) - ?1 FROM TRACKING", {to_text(events.at(0).at(0))}),
            (Rows{{fault.events_added}}));
  EXPECT_EQ(db.query("SELECT count(*) FROM LOG_MSG WHERE MSG01 || ifnull(MSG02, '') LIKE ?1",
                     {std::string("%") + fault.logged + "%"}),
            (Rows{{1}}));
}

INSTANTIATE_TEST_SUITE_P(Closing, MidwayFaults, ::testing::ValuesIn(kMidwayFaults), kNameOfCase);

// A backup moved into place while the host holds connections to the old file:
// an operation that meets it part-way fails from there on (none of its work goes
// to the restored file), the old file's write-ahead log never meets the restored
// one, and the next operation works on it. Another thread's idle connection to
// the old file is closed before the path is opened again.
TEST(RestoredBackup, NeverMeetsTheOldLog) {
  testing::TestDatabase db(true);
  const std::string backup = db.path() + ".backup";
  db.exec("VACUUM INTO '" + backup + "'");
  const auto log = [&](const char* text) {
    data::open_rowset(std::string("INSERT INTO LOG_MSG (MSG01) VALUES ('") + text + "')",
                      db.connection());
  };
  std::promise<void> restored;
  std::thread idle([&, done = restored.get_future()]() mutable {
    log("other thread");
    done.wait();
  });
  {
    const data::OperationScope operation;
    log("before");
    fs::rename(backup, db.path());
    EXPECT_EQ(error_of([&] { log("after"); }).number(), err::database);
    EXPECT_EQ(error_of([&] { data::open_rowset("SELECT 1", db.connection()); }).number(),
              err::database);
  }
  {
    const data::OperationScope operation;
    log("next");
  }
  restored.set_value();
  idle.join();
  data::close_cached_connections();
  EXPECT_EQ(db.query("PRAGMA integrity_check"), (Rows{{"ok"}}));
  EXPECT_EQ(db.query("SELECT MSG01 FROM LOG_MSG"), (Rows{{"next"}}));
}

// A trace the host allowed but that cannot be written is left aside: the
// closing is saved as if there were no trace.
TEST(UnwritableTrace, LeavesTheClosingSaved) {
  testing::TestDatabase db(true);
  const fs::path folder = fs::path(db.trace_path()).parent_path() / "trace-is-a-folder";
  fs::create_directory(folder);
  QrnMvl component;
  const auto answer = testing::close_marked(
      component, "Provider=SQLite;Data Source=" + db.path() + ";Trace=" + folder.string(), kRecord,
      9);
  data::close_cached_connections();
  EXPECT_EQ(answer.result, 0) << answer.message;
  EXPECT_EQ(db.query("SELECT ID_SISTEMA_EXTERNO FROM ORDEM_SERVICO_TIPO "
                     "WHERE ORDEM_SERVICO_TIPO_ID = 1004"),
            (Rows{{testing::document_of(9)}}));
}

}  // namespace
}  // namespace qrnmvl
