// Faults caused for real while a workbook is saved or predictions are inserted into a database:
// the file-size limit, a folder that may not be written, the target removed or locked after it
// was read, and kills at any moment. After each, the log says what failed, the workbook is the
// previous one or the new one and readable, the database is whole and holds exactly what was
// committed, and the next run is not confused by what a kill left behind.
#include <fcntl.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <thread>

#include "tests/support/sqlite_files.h"
#include "tests/support/tarvex_run.h"
#include "workbook/application.h"

namespace tarvex::output {
namespace {

namespace fs = std::filesystem;
using tarvex::testing::RunOptions;
using tarvex::testing::RunSql;
using tarvex::testing::TarvexRun;

class WriteFaultTest : public TarvexRun {
 protected:
  // The log goes to a folder that every user may write, so that a run without the right to
  // write its target still says why.
  WriteFaultTest() {
    fs::create_directory(folder_ / "logs");
    fs::permissions(folder_ / "logs", fs::perms::all);
  }
  std::string Python(const std::string& script, const std::vector<std::string>& arguments = {}) {
    std::vector<std::string> all = {"-c", script};
    all.insert(all.end(), arguments.begin(), arguments.end());
    tarvex::testing::RunResult result = tarvex::testing::RunProgram("/usr/bin/python3", all);
    EXPECT_EQ(result.exit_status, 0) << result.standard_error;
    return result.standard_output;
  }
  // A workbook (book.xlsx, or book.xls when named) with 300 training rows on sheet Data and
  // prediction rows on sheet Predict.
  void MakeWorkbook(int prediction_rows, const std::string& name = "book.xlsx") {
    Python(R"(
import sys
rows = [(r % 7, r % 5, (r % 7) * 0.1 + (r % 5) * 0.2) for r in range(300)]
old = [(r % 7, r % 5, 'old') for r in range(int(sys.argv[2]))]
if sys.argv[1].endswith('.xls'):
    import xlwt
    book = xlwt.Workbook()
    for name, table in (('Data', rows), ('Predict', old)):
        sheet = book.add_sheet(name)
        for r, row in enumerate(table):
            for c, value in enumerate(row):
                sheet.write(r, c, value)
    book.save(sys.argv[1])
else:
    import xlsxwriter
    book = xlsxwriter.Workbook(sys.argv[1])
    data, predict = book.add_worksheet('Data'), book.add_worksheet('Predict')
    for r, row in enumerate(rows):
        data.write_row(r, 0, row)
    for r, row in enumerate(old):
        predict.write_row(r, 0, row)
    book.close())",
           {(folder_ / name).string(), std::to_string(prediction_rows)});
  }
  std::vector<std::string> WorkbookJob(int prediction_rows, const std::string& name = "book.xlsx") {
    const std::string rows = std::to_string(prediction_rows);
    return {"/tif=" + name,       "/tis=data!a1:b300",
            "/tof=" + name,       "/tos=data!c1:c300",
            "/pif=" + name,       "/pis=predict!a1:b" + rows,
            "/pof=" + name,       "/pos=predict!c1:c" + rows,
            "/log=logs\\run.log", "/ep=3"};
  }
  // A database with the training data, prediction inputs and an empty table for predictions.
  void MakeDatabase(int prediction_rows) {
    std::string script =
        "create table train (x real, y real, z real);"
        "create table predict (x real, y real);"
        "create table forecast (z real not null);"
        "with recursive n(i) as (select 1 union all select i + 1 from n "
        "where i < 300) insert into train select i % 7 + 1, i % 5, "
        "(i % 7) * 0.1 + (i % 5) * 0.2 + 1 from n;"
        "with recursive n(i) as (select 1 union all select i + 1 from n "
        "where i < " +
        std::to_string(prediction_rows) + ") insert into predict select i % 7 + 1, i % 5 from n;";
    RunSql(folder_ / "data.mdb", script);
  }
  static std::vector<std::string> DatabaseJob() {
    return {"/tif=data.mdb",      "/tifh=select x, y from train",
            "/tof=data.mdb",      "/tofh=select z from train",
            "/pif=data.mdb",      "/pifh=select x, y from predict",
            "/pof=data.mdb",      "/pos=insert into forecast (z) values (0)",
            "/log=logs\\run.log", "/ep=3"};
  }
  std::string IntegrityAndCount() {
    SqlRowsText check = RunSql(folder_ / "data.mdb", "pragma integrity_check;");
    SqlRowsText count = RunSql(folder_ / "data.mdb", "select count(*) from forecast;");
    return check.at(0).at(0) + " " + count.at(0).at(0);
  }
  using SqlRowsText = tarvex::testing::SqlRows;
  // The workbook as a zip that python reads whole ("ok"), or python's complaint.
  std::string ZipCheck() {
    return Python(R"(
import sys, zipfile
try:
    print('ok' if zipfile.ZipFile(sys.argv[1]).testzip() is None else 'bad entry')
except Exception as e:
    print(type(e).__name__))",
                  {(folder_ / "book.xlsx").string()});
  }
  int RunIn(const std::vector<std::string>& arguments, RunOptions options = {}) {
    options.working_folder = folder_.path();
    options.environment = {{"LC_ALL", "C"}};
    options.alarm_seconds = 120;
    return tarvex::testing::RunProgram(program_, arguments, options).exit_status;
  }
  std::string LastLog() {
    std::vector<std::string> log = Log("logs/run.log");
    return log.empty() ? "" : log.back();
  }
  std::vector<std::string> TemporaryFiles() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_.path())) {
      if (entry.path().filename().string().starts_with(".")) {
        names.push_back(entry.path().filename().string());
      }
    }
    return names;
  }
};

TEST_F(WriteFaultTest, AFailedSaveOrInsertLeavesTheFileAsItWas) {
  struct Case {
    const char* name;
    std::string workbook;  // the target, or empty for the database
    std::function<void(RunOptions&)> fault;
    const char* line_part;
  };
  const Case cases[] = {
      {"workbook save past the file-size limit", "book.xlsx",
       [this](RunOptions& o) {
         o.limits = {{RLIMIT_FSIZE, fs::file_size(folder_ / "book.xlsx") / 2}};
       },
       "File too large  (Workbooks.Save)"},
      {"legacy workbook save past the file-size limit", "book.xls",
       [this](RunOptions& o) {
         o.limits = {{RLIMIT_FSIZE, fs::file_size(folder_ / "book.xls") / 2}};
       },
       "File too large  (Workbooks.Save)"},
      {"insert past the file-size limit", "",
       [this](RunOptions& o) {
         o.limits = {{RLIMIT_FSIZE, fs::file_size(folder_ / "data.mdb") + 512}};
       },
       "OutPredictToFile.  Error: "},
      {"workbook in a folder that may not be written", "book.xlsx",
       [this](RunOptions& o) {
         o.unprivileged = true;
         fs::permissions(folder_.path(), fs::perms(0555));
       },
       "Permission denied  (Workbooks.Save)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::permissions(folder_.path(), fs::perms(0777));
    fs::remove(folder_ / "logs/run.log");
    const bool workbook = !c.workbook.empty();
    if (workbook) {
      MakeWorkbook(50, c.workbook);
    } else {
      fs::remove(folder_ / "data.mdb");
      MakeDatabase(20000);
    }
    const std::string before = workbook ? Read(c.workbook) : IntegrityAndCount();
    RunOptions options;
    c.fault(options);
    const int status = RunIn(workbook ? WorkbookJob(50, c.workbook) : DatabaseJob(), options);
    if (options.unprivileged && status == tarvex::testing::kCouldNotDropPrivileges) continue;
    fs::permissions(folder_.path(), fs::perms(0777));
    EXPECT_EQ(status, 1);
    EXPECT_NE(LastLog().find(c.line_part), std::string::npos) << LastLog();
    EXPECT_EQ(workbook ? Read(c.workbook) : IntegrityAndCount(), before);
    EXPECT_TRUE(TemporaryFiles().empty());
  }
}

TEST_F(WriteFaultTest, ATargetRemovedOrLockedAfterReadingFailsWithItsLine) {
  MakeWorkbook(50);
  MakeDatabase(50);
  // Long training, so that the target can be taken away after it was read: about 2 s with the
  // vectorised engine, well past the 0.7 s wait below.
  std::vector<std::string> workbook = WorkbookJob(50), database = DatabaseJob();
  // Under the sanitizers each epoch costs many times more: fewer still outlast the wait, and the
  // run ends well within the alarm on a busy machine.
  workbook.back() = database.back() =
      tarvex::testing::kSanitized ? "/ep=25000" : "/ep=100000";
  workbook.push_back("/wd=0");
  database.push_back("/wd=0");
  struct Case {
    const char* name;
    std::vector<std::string> job;
    std::function<void()> fault;
    const char* line;
  };
  sqlite3* locker = nullptr;
  const Case cases[] = {
      {"workbook removed", workbook, [this] { fs::remove(folder_ / "book.xlsx"); },
       "File not found: book.xlsx"},
      {"database removed", database, [this] { fs::rename(folder_ / "data.mdb", folder_ / "x"); },
       "OutPredictToFile.  Error: "},
      {"database locked", database,
       [&] {
         sqlite3_open((folder_ / "data.mdb").c_str(), &locker);
         sqlite3_exec(locker, "begin exclusive", nullptr, nullptr, nullptr);
       },
       "database is locked"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(folder_ / "logs/run.log");
    if (fs::exists(folder_ / "x")) fs::rename(folder_ / "x", folder_ / "data.mdb");
    RunOptions options;
    options.working_folder = folder_.path();
    options.alarm_seconds = 600;
    int child = tarvex::testing::StartProgram(program_, c.job, options);
    // Training has begun once the data are read: the log's first entry comes after training, so
    // wait a little past the reading instead (longer under the sanitizers, which slow the reading
    // more than the training's lead over it).
    std::this_thread::sleep_for(
        std::chrono::milliseconds(tarvex::testing::kSanitized ? 3000 : 700));
    c.fault();
    EXPECT_EQ(tarvex::testing::WaitForProgram(child), 1);
    EXPECT_NE(LastLog().find(c.line), std::string::npos) << LastLog();
  }
  sqlite3_exec(locker, "rollback", nullptr, nullptr, nullptr);
  sqlite3_close(locker);
  EXPECT_EQ(IntegrityAndCount(), "ok 0");
}

// Two runs that write into columns of one workbook at the same time take turns: each reads what
// the other saved, both succeed and the workbook holds both runs' cells.
TEST_F(WriteFaultTest, ConcurrentWritersOfOneWorkbookKeepEachOthersCells) {
  constexpr int kRounds = 20;
  for (const std::string name : {"book.xlsx", "book.xls"}) {
    SCOPED_TRACE(name);
    MakeWorkbook(50, name);
    const std::string original = Read(name);
    std::vector<std::string> first = WorkbookJob(50, name), second = first;
    second[7] = "/pos=predict!d1:d50";
    int complete = 0;
    for (int round = 0; round < kRounds; ++round) {
      Write(name, original);
      RunOptions options;
      options.working_folder = folder_.path();
      options.alarm_seconds = 120;
      const int a = tarvex::testing::StartProgram(program_, first, options);
      const int b = tarvex::testing::StartProgram(program_, second, options);
      EXPECT_EQ(tarvex::testing::WaitForProgram(a), 0) << round;
      EXPECT_EQ(tarvex::testing::WaitForProgram(b), 0) << round;
      workbook::Application application;
      std::unique_ptr<workbook::Workbook> book =
          application.Workbooks().Open((folder_ / name).string());
      ASSERT_TRUE(book);
      const workbook::RangeValue cells = book->WorkSheets("Predict").Range("C1:D50").Value();
      bool both = true;
      for (std::int64_t row = 1; row <= cells.RowCount(); ++row) {
        for (std::int64_t column = 1; column <= cells.ColumnCount(); ++column) {
          both = both && cells.At(row, column).kind == workbook::CellKind::kNumber;
        }
      }
      complete += both;
    }
    EXPECT_EQ(complete, kRounds);
  }
}

// A run that cannot get the workbook within the wait (another program holds its lock) fails with
// the output stage's line and leaves the workbook alone.
TEST_F(WriteFaultTest, AWriterThatWaitsInVainFailsWithItsLine) {
  if (tarvex::testing::kSanitized) GTEST_SKIP() << "the whole wait once, in the plain build";
  MakeWorkbook(50);
  const std::string before = Read("book.xlsx");
  const int holder = open((folder_ / "book.xlsx").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(flock(holder, LOCK_EX), 0);
  EXPECT_EQ(RunIn(WorkbookJob(50)), 1);
  EXPECT_EQ(LastLog(),
            "OutPredictToFile.  Error: Another run is writing into the file: it stayed locked for "
            "30 seconds  in Tarvexapp.mTarvex.OutPredictToFile at line 210");
  EXPECT_TRUE(Read("book.xlsx") == before);
  close(holder);
}

// A write into a sheet part that fits into memory once, but not beside its edited copy, fails at
// once with its line; the workbook stays as it was.
TEST_F(WriteFaultTest, AWriteThatCannotFitFailsAtOnceWithItsLine) {
  if (tarvex::testing::kSanitized) GTEST_SKIP() << "no address-space limit under AddressSanitizer";
  MakeWorkbook(50);
  // The Predict sheet grows to about 100 MB of numbers, which pack about 15 times.
  Python(R"(
import sys, zipfile
path = sys.argv[1]
with zipfile.ZipFile(path) as book:
    parts = [(info, book.read(info.filename)) for info in book.infolist()]
with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, compresslevel=1) as book:
    for info, data in parts:
        if info.filename == "xl/worksheets/sheet2.xml":
            head, tail = data.split(b"<sheetData>")[0], data.split(b"</sheetData>")[1]
            rows = "".join('<row r="%d">%s</row>' % (r, "".join(
                '<c r="%s%d"><v>%d.25</v></c>' % (c, r, r % 1000) for c in "ABCDEFGHIJ"))
                for r in range(1, 330001))
            data = head + b"<sheetData>" + rows.encode() + b"</sheetData>" + tail
        book.writestr(info, data))",
         {(folder_ / "book.xlsx").string()});
  const std::string before = Read("book.xlsx");
  RunOptions options;
  options.limits = {{RLIMIT_AS, 250ul << 20}};
  EXPECT_EQ(RunIn(WorkbookJob(50), options), 1);
  EXPECT_NE(LastLog().find("OutPredictToFile.  Error: Writing into the part "
                           "xl/worksheets/sheet2.xml would need "),
            std::string::npos)
      << LastLog();
  EXPECT_NE(LastLog().find("  in Tarvexapp.mTarvex.OutPredictToFile at line 230"),
            std::string::npos);
  EXPECT_TRUE(Read("book.xlsx") == before);
}

// Replacing a file needs the right to write that file, as opening it for writing would, not only
// its folder's; the file keeps its owner and group. Run as another user for real.
TEST_F(WriteFaultTest, ReplacingAFileNeedsTheRightToWriteItAndKeepsItsOwner) {
  MakeWorkbook(50);
  MakeWorkbook(50, "book.xls");
  std::vector<std::string> network = WorkbookJob(50);
  network.erase(network.begin() + 4, network.begin() + 8);  // no prediction inputs nor output
  network.push_back("/nof=net.json");
  std::vector<std::string> text = WorkbookJob(50);
  text[6] = "/pof=po.txt";
  struct Target {
    std::string name;
    std::vector<std::string> job;
  };
  const Target targets[] = {
      {"book.xlsx", WorkbookJob(50)},
      {"book.xls", WorkbookJob(50, "book.xls")},
      {"net.json", network},
      {"po.txt", text},
  };
  const std::map<std::string, std::string> originals = {{"book.xlsx", Read("book.xlsx")},
                                                        {"book.xls", Read("book.xls")},
                                                        {"net.json", "earlier content\r\n"},
                                                        {"po.txt", "earlier content\r\n"}};
  fs::permissions(folder_.path(), fs::perms::all);
  for (const Target& target : targets) {
    SCOPED_TRACE(target.name);
    const fs::path path = folder_ / target.name;
    auto restore = [&] { Write(target.name, originals.at(target.name)); };
    // Someone else's file that everyone may read, and one's own read-only file, in a folder
    // that everyone may write: both stay as they are.
    struct Refusal {
      uid_t owner;
      fs::perms mode;
    };
    for (const Refusal refusal : {Refusal{0, fs::perms(0644)}, Refusal{65534, fs::perms(0444)}}) {
      restore();
      ASSERT_EQ(chown(path.c_str(), refusal.owner, refusal.owner), 0);
      fs::permissions(path, refusal.mode);
      const std::string before = Read(target.name);
      fs::remove(folder_ / "logs/run.log");
      RunOptions options;
      options.unprivileged = true;
      const int status = RunIn(target.job, options);
      if (status == tarvex::testing::kCouldNotDropPrivileges) GTEST_SKIP() << "not run as root";
      EXPECT_EQ(status, 1) << LastLog();
      EXPECT_NE(LastLog().find("Permission denied"), std::string::npos) << LastLog();
      EXPECT_TRUE(Read(target.name) == before);
      struct stat info;
      ASSERT_EQ(stat(path.c_str(), &info), 0);
      EXPECT_EQ(info.st_uid, refusal.owner);
      EXPECT_TRUE(TemporaryFiles().empty());
    }
    // Replaced by a user who may (here root): owner, group and mode stay.
    restore();
    ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
    fs::permissions(path, fs::perms(0640));
    const std::string before = Read(target.name);
    EXPECT_EQ(RunIn(target.job), 0) << LastLog();
    EXPECT_TRUE(Read(target.name) != before);
    struct stat info;
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 65534u);
    EXPECT_EQ(info.st_gid, 65534u);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
  }
}

// Killed at any moment, a run leaves the previous workbook or the whole new one, a database that
// holds all the rows or none, and the next run succeeds whatever it left behind.
TEST_F(WriteFaultTest, AKillAtAnyMomentLeavesWholeFiles) {
  MakeWorkbook(20000);
  MakeDatabase(100000);
  const std::string old_workbook = Read("book.xlsx");
  std::vector<std::string> workbook = WorkbookJob(20000);
  for (int attempt = 0; attempt < 16; ++attempt) {
    const bool on_workbook = attempt % 2 == 0;
    RunOptions options;
    options.working_folder = folder_.path();
    int child =
        tarvex::testing::StartProgram(program_, on_workbook ? workbook : DatabaseJob(), options);
    std::this_thread::sleep_for(std::chrono::milliseconds(100 + attempt * 60));
    kill(child, SIGKILL);
    tarvex::testing::WaitForProgram(child);
    if (on_workbook) {
      EXPECT_TRUE(Read("book.xlsx") == old_workbook || ZipCheck() == "ok\n") << attempt;
    } else {
      const std::string state = IntegrityAndCount();
      EXPECT_TRUE(state.starts_with("ok ")) << state;
      EXPECT_EQ(std::stoi(state.substr(3)) % 100000, 0) << state;
    }
  }
  EXPECT_EQ(RunIn(workbook), 0) << LastLog();
  EXPECT_EQ(ZipCheck(), "ok\n");
  EXPECT_EQ(RunIn(DatabaseJob()), 0) << LastLog();
}

}  // namespace
}  // namespace tarvex::output
