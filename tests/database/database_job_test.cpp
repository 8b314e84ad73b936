// Whole jobs of the built program on database files: data sets from SELECT statements, predictions
// inserted with the pos statement, and the failures that users meet.
#include <unistd.h>

#include <set>

#include "tests/support/sqlite_files.h"
#include "tests/support/tarvex_run.h"

namespace tarvex::database {
namespace {

namespace fs = std::filesystem;
using tarvex::testing::RunSql;

class DatabaseJobTest : public tarvex::testing::TarvexRun {
 protected:
  // The table's rows as Python's sqlite3 module reads them, one line per row.
  std::string PythonRows(const std::string& file, const std::string& query) {
    auto run = tarvex::testing::RunProgram(
        "/usr/bin/python3", {"-c",
                             "import sqlite3, sys\n"
                             "for row in sqlite3.connect(sys.argv[1]).execute(sys.argv[2]):\n"
                             "    print(' '.join(repr(v) for v in row))",
                             (folder_ / file).string(), query});
    EXPECT_EQ(run.exit_status, 0) << run.standard_error;
    return run.standard_output;
  }
};

// The same job read from text files that hold what the reader must make of the records (the
// all-zero record dropped, the text and null fields skipped and the rows packed) predicts the same
// numbers that the database job inserts.
TEST_F(DatabaseJobTest, SelectsTrainAndInsertsTheSamePredictionsAsTextFiles) {
  RunSql(folder_ / "data.mdb",
         "CREATE TABLE train (x1 REAL, note TEXT, x2 REAL, y REAL);"
         "INSERT INTO train VALUES (0.1, 'a', 0.9, 0.3), (0, 'zero', 0, 0), (0.5, NULL, 0.2, 0.7),"
         "  (0.9, '2.5', 0.4, 0.2), (0.3, 'b', NULL, 0.8), (0.7, 'c', 0.6, 0.5);"
         "CREATE TABLE pred (id INTEGER PRIMARY KEY, x1 REAL, x2 REAL);"
         "INSERT INTO pred (x1, x2) VALUES (0.2, 0.3), (0.8, 0.1), (0.4, 0.6);"
         "CREATE TABLE out (run TEXT DEFAULT 'job', y REAL NOT NULL);");
  Write("ti.txt", "0.1\t0.9\t0\n0.5\t0.2\t0\n0.9\t2.5\t0.4\n0.3\t0\t0\n0.7\t0.6\t0\n");
  Write("to.txt", "0.3\n0.7\n0.2\n0.8\n0.5\n");
  Write("pi.txt", "0.2\t0.3\t0\n0.8\t0.1\t0\n0.4\t0.6\t0\n");
  ASSERT_EQ(Run({"/tif=ti.txt", "/tof=to.txt", "/pif=pi.txt", "/pof=po.csv", "/ep=500"}), 0);
  ASSERT_EQ(Run({"/tif=data.mdb", "/tifh=select x1, note, x2 from train", "/tof=data.mdb",
                 "/tofh=select y from train", "/pif=data.mdb",
                 "/pifh=SELECT x1, x2, 0 FROM pred ORDER BY id", "/pof=data.mdb",
                 "/pos=INSERT INTO Out (y) VALUES (@prediction)", "/log=run.log", "/ep=500"}),
            0)
      << Read("run.log");
  std::vector<std::string> log = Log();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_NE(log[0].find("Traning Inputs: Array(5,3)"), std::string::npos) << log[0];
  EXPECT_EQ(log[1],
            "Prediction results:\r\n       Prediction Outputs: Array(3,1)\r\n       Query: "
            "insert into out (y)  VALUES(@y)\r\n       Prediction Outputs file: data.mdb\r\n");
  std::string text_predictions;
  for (char c : Read("po.csv")) {
    if (c != '\r') text_predictions += c;
  }
  // repr() gives the shortest text that reads back as the same double; the text output has 15
  // significant digits, so both are compared at that precision.
  std::string inserted;
  for (const auto& row : RunSql(folder_ / "data.mdb", "SELECT printf('%.15g', y) FROM out")) {
    inserted += row[0] + "\n";
  }
  EXPECT_EQ(inserted, text_predictions);
  EXPECT_EQ(std::count(inserted.begin(), inserted.end(), '\n'), 3);
  EXPECT_EQ(PythonRows("data.mdb", "SELECT count(*), min(run) FROM out"), "3 'job'\n");
}

std::set<std::string> Names(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// Whatever the selector, reading leaves the database file as it was and writes no other file: a
// statement that would is refused before it runs, and the log says why.
TEST_F(DatabaseJobTest, ReadingNeverChangesTheDatabaseNorWritesAFile) {
  RunSql(folder_ / "data.mdb",
         "CREATE TABLE t (x REAL, y REAL); INSERT INTO t VALUES (1, 0.1), (2, 0.5), (3, 0.9);");
  Write("fruit.mdb", tarvex::testing::ReadFile(tarvex::testing::SourceFolder() /
                                               "tests/database/data/fruit.mdb"));
  const std::string data = Read("data.mdb"), fruit = Read("fruit.mdb");
  const std::set<std::string> files = Names(folder_.path());
  const std::string writes =
      "The statement is not read-only (it would change the database or write a copy of it), and "
      "the database was opened for reading";
  const std::string attach = "ATTACH and DETACH are refused on a connection opened for reading";
  const struct {
    const char* database;
    const char* selector;
    std::string why;
  } cases[] = {
      {"data.mdb", "update t set x = x + 1 returning x", writes},
      {"data.mdb", "delete from t returning x", writes},
      {"data.mdb", "delete from t", writes},
      {"data.mdb", "drop table t", writes},
      {"data.mdb", "create table u as select x from t", writes},
      {"data.mdb", "pragma journal_mode=wal", writes},
      {"data.mdb", "vacuum", writes},
      {"data.mdb", "vacuum into 'copy.mdb'", writes},
      {"data.mdb", "attach 'other.mdb' as other", attach},
      {"data.mdb", "select load_extension('other.so')",
       "Loading an extension is refused on a connection opened for reading"},
      {"fruit.mdb", "attach 'other.mdb' as other", attach},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.selector);
    Write("data.mdb", data);  // each case on the intact file, whatever an earlier one did
    EXPECT_EQ(Run({std::string("/tif=") + c.database, std::string("/tifh=") + c.selector,
                   "/tof=data.mdb", "/tofh=select y from t", "/pif=data.mdb",
                   "/pifh=select x from t", "/pof=po.txt", "/log=run.log", "/ep=20"}),
              1);
    std::vector<std::string> log = Log();
    EXPECT_EQ(log.empty() ? "" : log.back(),
              "File name: " + std::string(c.database) + "  " + c.why);
    EXPECT_TRUE(Read("data.mdb") == data && Read("fruit.mdb") == fruit) << "a database changed";
    fs::remove(folder_ / "run.log");
    EXPECT_EQ(Names(folder_.path()), files);
  }
}

// Another user reads a WAL database in a folder that it may not write, so that the -shm file
// that readers share cannot be made: the database file alone is read, and nothing is left
// beside it. Changes waiting in the -wal file cannot be read that way, and the log says so.
TEST_F(DatabaseJobTest, AWalDatabaseInAFolderThatMayNotBeWrittenIsReadAllTheSame) {
  fs::permissions(folder_.path(), fs::perms::all);
  for (const char* folder : {"clean", "pending"}) {
    fs::create_directory(folder_ / folder);
    RunSql(folder_ / folder / "data.mdb",
           "PRAGMA journal_mode=wal; CREATE TABLE t (x REAL, y REAL);"
           "INSERT INTO t VALUES (1, 0.1), (2, 0.5), (3, 0.9);");
  }
  {
    // A writer that has committed into the WAL and not yet checkpointed: its files as they are.
    sqlite3* writer = nullptr;
    ASSERT_EQ(sqlite3_open((folder_ / "pending/data.mdb").c_str(), &writer), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(writer, "INSERT INTO t VALUES (4, 0.2)", nullptr, nullptr, nullptr),
              SQLITE_OK);
    fs::copy_file(folder_ / "pending/data.mdb-wal", folder_ / "pending.wal");
    sqlite3_close(writer);
    fs::rename(folder_ / "pending.wal", folder_ / "pending/data.mdb-wal");
  }
  const struct {
    const char* folder;
    int status;
    std::string line;
  } cases[] = {
      {"clean", 0, "Prediction results:"},
      {"pending", 1,
       "File name: pending\\data.mdb  The database file pending\\data.mdb has changes in its -wal "
       "file, which cannot be read where its -shm file cannot be made: unable to open database "
       "file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder);
    const fs::path folder = folder_ / c.folder;
    fs::permissions(folder, fs::perms(0555));
    const std::set<std::string> files = Names(folder);
    const std::string data = Read(std::string(c.folder) + "/data.mdb");
    const std::string db = std::string(c.folder) + "\\data.mdb";
    tarvex::testing::RunOptions options;
    options.working_folder = folder_.path();
    options.unprivileged = true;
    const int status =
        tarvex::testing::RunProgram(
            program_,
            {"/tif=" + db, "/tifh=select x from t", "/tof=" + db, "/tofh=select y from t",
             "/pif=" + db, "/pifh=select x from t", "/pof=po.txt", "/log=run.log", "/ep=20"},
            options)
            .exit_status;
    if (status == tarvex::testing::kCouldNotDropPrivileges) GTEST_SKIP() << "no user nobody";
    EXPECT_EQ(status, c.status);
    std::vector<std::string> log = Log();
    EXPECT_TRUE(!log.empty() && log.back().starts_with(c.line)) << (log.empty() ? "" : log.back());
    EXPECT_EQ(Names(folder), files);
    EXPECT_TRUE(Read(std::string(c.folder) + "/data.mdb") == data) << "the database changed";
    fs::remove(folder_ / "run.log");
  }
}

TEST_F(DatabaseJobTest, FailuresEndWithTheirLineAndKeepTheRowsBefore) {
  RunSql(folder_ / "data.mdb",
         "CREATE TABLE t (x REAL, y REAL, label TEXT);"
         "INSERT INTO t VALUES (1, 0.1, 'a'), (2, 0.5, 'b'), (3, 0.9, 'c');"
         "CREATE TABLE out (y REAL, k INTEGER DEFAULT 1 UNIQUE);");
  tarvex::testing::WriteFile(
      folder_ / "cut.mdb",
      tarvex::testing::ReadFile(tarvex::testing::SourceFolder() / "tests/database/data/fruit.mdb")
          .substr(0, 102400));
  RunSql(folder_ / "damaged.mdb",
         "PRAGMA page_size = 4096; CREATE TABLE t (x); WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL "
         "SELECT i + 1 FROM n WHERE i < 3000) INSERT INTO t SELECT i FROM n;");
  std::string damaged = Read("damaged.mdb");
  for (size_t i = 4096 * 3; i < 4096 * 4; ++i) damaged[i] = static_cast<char>(i * 37);
  Write("damaged.mdb", damaged);
  const std::vector<std::string> job = {"/tof=data.mdb", "/tofh=select y from t",
                                        "/pif=data.mdb", "/pifh=select x from t order by x",
                                        "/pof=data.mdb", "/log=run.log"};
  const struct {
    const char* name;
    std::string training, selector, pos, message, rows;
  } cases[] = {
      {"UniqueKeepsRowsBefore", "data.mdb", "select x from t", "insert into out (y) values (1)",
       "OutPredictToFile.  Error: UNIQUE constraint failed: out.k  in "
       "Tarvexapp.mTarvex.OutPredictToFile at line 350",
       "1\n"},
      {"TextColumn", "data.mdb", "select label from t", "",
       "File name: data.mdb  None of the records holds a number other than 0", "1\n"},
      {"NoRecords", "data.mdb", "select x from t where x > 5", "", "", "1\n"},
      {"DamagedSqlite", "damaged.mdb", "select sum(x) from t", "",
       "File name: damaged.mdb  database disk image is malformed", "1\n"},
      {"TruncatedAccess", "cut.mdb", "select fiber from fruit", "",
       "File name: cut.mdb  The Access database cut.mdb is damaged or truncated", "1\n"},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(folder_ / "run.log");
    std::vector<std::string> arguments = job;
    arguments.push_back("/tif=" + c.training);
    arguments.push_back("/tifh=" + c.selector);
    arguments.push_back("/pos=" + c.pos);
    arguments.push_back("/ep=20");
    EXPECT_EQ(Run(arguments), 1) << c.name;
    std::vector<std::string> log = Log();
    EXPECT_EQ(log.empty() ? "" : log.back(), c.message) << c.name;
    EXPECT_EQ(PythonRows("data.mdb", "SELECT count(*) FROM out"), c.rows) << c.name;
  }
}

// Without the -shm file the database is read without locks, so another program could change it
// under the reader: a change made meanwhile fails the read with its line.
TEST_F(DatabaseJobTest, AnUnlockedReadThatAnotherProgramChangesFailsWithItsLine) {
  fs::permissions(folder_.path(), fs::perms::all);
  fs::create_directory(folder_ / "shared");
  const fs::path db = folder_ / "shared/data.mdb";
  RunSql(db,
         "PRAGMA journal_mode=wal; CREATE TABLE t (x REAL, y REAL);"
         "INSERT INTO t VALUES (1, 0.1), (2, 0.5), (3, 0.9);");
  fs::permissions(folder_ / "shared", fs::perms(0555));
  // Two million steps of a counting query keep the first read going for a second or more.
  const std::string slow =
      "/tifh=with recursive n(i) as (select 1 union all select i + 1 from n where i < 2000000) "
      "select x from t where (select max(i) from n) > 0";
  tarvex::testing::RunOptions options;
  options.working_folder = folder_.path();
  options.unprivileged = true;
  options.alarm_seconds = 120;
  const int child = tarvex::testing::StartProgram(
      program_,
      {"/tif=shared\\data.mdb", slow, "/tof=shared\\data.mdb", "/tofh=select y from t",
       "/pif=shared\\data.mdb", "/pifh=select x from t", "/pof=po.txt", "/log=run.log", "/ep=20"},
      options);
  // Once the run holds the database open, its owner changes it.
  const fs::path fds = "/proc/" + std::to_string(child) + "/fd";
  auto holds_database = [&] {
    std::error_code ignored;
    for (const auto& fd : fs::directory_iterator(fds, ignored)) {
      if (fs::read_symlink(fd.path(), ignored) == db) return true;
    }
    return false;
  };
  for (int wait = 0; wait < 1000 && !holds_database(); ++wait) usleep(10000);
  usleep(200000);
  fs::permissions(folder_ / "shared", fs::perms(0755));
  RunSql(db, "UPDATE t SET x = x * 2;");
  const int status = tarvex::testing::WaitForProgram(child);
  if (status == tarvex::testing::kCouldNotDropPrivileges) GTEST_SKIP() << "no user nobody";
  EXPECT_EQ(status, 1);
  std::vector<std::string> log = Log();
  EXPECT_EQ(log.empty() ? "" : log.back(),
            "File name: shared\\data.mdb  The database file shared\\data.mdb changed while it was "
            "read");
}

}  // namespace
}  // namespace tarvex::database
