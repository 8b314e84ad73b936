// Runs of the built program whose data cannot be loaded or checked: each ends with its log line.
#include <sys/resource.h>

#include <iostream>
#include <thread>

#include "tests/support/tarvex_run.h"

namespace tarvex::input {
namespace {

using tarvex::testing::TarvexRun;

struct FailureCase {
  const char* name;
  std::vector<std::string> arguments;
  std::string message;  // empty: the run fails without a log line
};

void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.name; }

class LoadFailureTest : public TarvexRun, public ::testing::WithParamInterface<FailureCase> {
 protected:
  LoadFailureTest() {
    Write("ti.txt", "1\t2\n3\t4\n5\t6\n");
    Write("to.txt", "1\n2\n3\n");
    Write("pi.txt", "1\t2\n");
    Write("bad.csv", "1,2\n3,x\n");
    Write("long.csv", "1,2\n3,4,5\n");
    Write("short.txt", "1\n2\n");
    Write("wide.txt", "1\t2\t3\n");
    Write("empty.txt", "");
    Write("book.xls", "not really a workbook");
    Write("data.mdb", "not really a database");
  }
};

TEST_P(LoadFailureTest, EndsWithItsLogLine) {
  std::vector<std::string> arguments = GetParam().arguments;
  arguments.push_back("/log=run.log");
  arguments.push_back("/pof=po.txt");
  EXPECT_EQ(Run(arguments), 1);
  std::vector<std::string> expected;
  if (!GetParam().message.empty()) expected.push_back(GetParam().message);
  EXPECT_EQ(Log(), expected);
  EXPECT_FALSE(Exists("po.txt"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadFailureTest,
    ::testing::Values(
        FailureCase{"FileNotFound",
                    {"/tif=missing.txt", "/tov=1", "/piv=1"},
                    "File not found: missing.txt"},
        FailureCase{"PathWithoutDot", {"/tif=nodot", "/tov=1", "/piv=1"}, ""},
        FailureCase{"FolderIsNoFile", {"/tif=.", "/tov=1", "/piv=1"}, "File not found: ."},
        FailureCase{"TextCell",
                    {"/tif=ti.txt", "/tof=bad.csv", "/piv=1,2"},
                    "Invalid data. Values must be numerical. File: 'bad.csv'"},
        FailureCase{"LongerLine",
                    {"/tif=long.csv", "/tov=1", "/piv=1"},
                    "File Name: long.csv  Error: Subscript out of range"},
        FailureCase{"EmptyFile",
                    {"/tif=empty.txt", "/tov=1", "/piv=1"},
                    "File Name: empty.txt  Error: Subscript out of range"},
        FailureCase{"MissingHeaderName",
                    {"/tif=ti.txt", "/tifh=zz", "/tov=1", "/piv=1"},
                    "File Name: ti.txt  Error: Subscript out of range"},
        FailureCase{"DirectText",
                    {"/tiv=1;2", "/tov=1;x", "/piv=1"},
                    "Invalid data. Values must be numerical. File: ''Training Outputs''"},
        FailureCase{"DirectLongerRow", {"/tiv=1;2,3", "/tov=1;2", "/piv=1"}, ""},
        FailureCase{
            "PredictionWiderThanTraining", {"/tif=ti.txt", "/tof=to.txt", "/piv=1,2,3"}, ""},
        FailureCase{"RowsNotAligned",
                    {"/tif=ti.txt", "/tof=short.txt", "/pif=pi.txt"},
                    "Input and output rows are not aligned. Parameters: ''Training Inputs'' and "
                    " ''Training Outputs''.   Traning Inputs Array(3,2)   Traning Outputs "
                    "Array(2,1)"},
        FailureCase{"PredictionNarrower",
                    {"/tif=wide.txt", "/tov=1", "/piv=1,2"},
                    "Input and output rows are not aligned. Parameters: ''Training Inputs'' and "
                    " ''Prediction Inputs''.   Traning Inputs Array(1,3)   Prediction Inputs "
                    "Array(1,2)"},
        FailureCase{"Workbook",
                    {"/tif=book.xls", "/tov=1", "/piv=1"},
                    "File name: book.xls  The file is neither a zip package nor a compound "
                    "document, so it is not a workbook"},
        FailureCase{"Database",
                    {"/tif=ti.txt", "/tof=data.mdb", "/piv=1"},
                    "File name: data.mdb  The file data.mdb is neither an SQLite database nor an "
                    "Access database"}),
    [](const auto& info) { return std::string(info.param.name); });

using LoadLocaleTest = TarvexRun;

TEST_F(LoadLocaleTest, CommaLocaleFailsOnTheSameLinesWithTheSameWords) {
  Write("ti.csv", "1.5,2\n3,x\n");
  EXPECT_EQ(Run({"/tif=ti.csv", "/tov=1", "/piv=1", "/pof=po.txt", "/log=run.log"},
                tarvex::testing::kCommaLocale),
            1);
  EXPECT_EQ(Log(),
            std::vector<std::string>{"Invalid data. Values must be numerical. File: 'ti.csv'"});
}

}  // namespace
}  // namespace tarvex::input

namespace tarvex::input {
namespace {

using PermissionTest = tarvex::testing::TarvexRun;

TEST_F(PermissionTest, UnreadableFileAndUnwritableLogFolderAsAnOrdinaryUser) {
  namespace fs = std::filesystem;
  fs::permissions(folder_.path(), fs::perms::all);
  Write("ti.txt", "1\n2\n");
  fs::permissions(folder_ / "ti.txt", fs::perms::none);
  fs::create_directory(folder_ / "locked");
  fs::permissions(folder_ / "locked", fs::perms::owner_read | fs::perms::owner_exec |
                                          fs::perms::others_read | fs::perms::others_exec);
  tarvex::testing::RunOptions options;
  options.working_folder = folder_.path();
  options.unprivileged = true;
  auto run = tarvex::testing::RunProgram(
      program_, {"/tif=ti.txt", "/tov=1;2", "/piv=1", "/pof=po.txt", "/log=run.log"}, options);
  if (run.exit_status == tarvex::testing::kCouldNotDropPrivileges) {
    GTEST_SKIP() << "this system does not let the tests run a program as nobody";
  }
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(Log(), std::vector<std::string>{"File name: ti.txt  Permission denied"});

  // The entry is lost, nothing is printed, and the run goes on to its end.
  run = tarvex::testing::RunProgram(program_, {"/log=locked\\run.log"}, options);
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.standard_output + run.standard_error, "");
  EXPECT_FALSE(fs::exists(folder_ / "locked/run.log"));
}

}  // namespace
}  // namespace tarvex::input

namespace tarvex::input {
namespace {

using ThreadLimitTest = tarvex::testing::TarvexRun;

// A file large enough to be read in stretches on several threads, loaded by a user who may not
// start a thread: the stretches are read on the calling thread, to the same bytes.
TEST_F(ThreadLimitTest, LoadingWithoutASecondThreadGivesTheSameBytes) {
  namespace fs = std::filesystem;
  // The leak check at exit needs a thread of its own.
  if (tarvex::testing::kSanitized) GTEST_SKIP() << "no thread limit under the leak check";
  std::string inputs, outputs;
  for (int row = 0; row < 1400000; ++row) {
    inputs += std::to_string(row % 997) + "\t" + std::to_string(row % 13) + "\n";
    outputs += std::to_string(row % 7) + "\n";
  }
  ASSERT_GT(inputs.size(), 8u << 20);
  Write("ti.txt", inputs);
  Write("to.txt", outputs);
  const std::vector<std::string> job = {"/tif=ti.txt", "/tof=to.txt",  "/piv=3,4;500,2",
                                        "/pof=po.txt", "/log=run.log", "/ep=1"};
  ASSERT_EQ(Run(job), 0);
  const std::string unlimited = Read("po.txt");
  fs::remove(folder_ / "po.txt");
  fs::permissions(folder_.path(), fs::perms::all);
  tarvex::testing::RunOptions options;
  options.working_folder = folder_.path();
  options.unprivileged = true;
  options.limits = {{RLIMIT_NPROC, 1}};
  const auto limited = tarvex::testing::RunProgram(program_, job, options);
  if (limited.exit_status == tarvex::testing::kCouldNotDropPrivileges) {
    GTEST_SKIP() << "this system does not let the tests run a program as nobody";
  }
  EXPECT_EQ(limited.exit_status, 0) << limited.standard_error;
  EXPECT_EQ(Read("po.txt"), unlimited);
  if (std::thread::hardware_concurrency() < 2)
    std::cout << "One processor: one thread either way.\n";
}

}  // namespace
}  // namespace tarvex::input
