// Faults caused for real around whole runs: full files, file-size and address-space limits,
// named pipes, kills and truncation during a run, outputs aimed at the job's own files, paths
// written in another letter case. After each, the run says why it failed, and no file that was
// there before is lost.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <map>
#include <thread>

#include "tests/support/sqlite_files.h"
#include "tests/support/tarvex_run.h"

namespace tarvex::driver {
namespace {

namespace fs = std::filesystem;
using tarvex::testing::RunOptions;
using tarvex::testing::TarvexRun;

class FaultTest : public TarvexRun {
 protected:
  FaultTest() {
    std::string inputs, outputs;
    for (int r = 0; r < 30; ++r) {
      inputs += std::to_string(r % 7) + "\t" + std::to_string(r % 5) + "\n";
      outputs += std::to_string((r % 7) * 0.1 + (r % 5) * 0.2) + "\n";
    }
    Write("ti.txt", inputs);
    Write("to.txt", outputs);
    Write("pi.txt", inputs);
  }
  // Runs the job with these options in the fixture's folder; the exit status, or -1 when a
  // signal ended the run.
  int RunWith(const std::vector<std::string>& arguments, RunOptions options = {}) {
    options.working_folder = folder_.path();
    options.environment = {{"LC_ALL", "C"}};
    if (options.alarm_seconds == 0) options.alarm_seconds = 60;
    return tarvex::testing::RunProgram(program_, arguments, options).exit_status;
  }
  std::string LastLog() {
    std::vector<std::string> log = Log();
    return log.empty() ? "" : log.back();
  }
  bool HasTemporaryFiles() {
    for (const auto& entry : fs::directory_iterator(folder_.path())) {
      if (entry.path().filename().string().starts_with(".")) return true;
    }
    return false;
  }
  static inline const std::vector<std::string> kJob = {"/tif=ti.txt", "/tof=to.txt", "/pif=pi.txt",
                                                       "/log=run.log", "/ep=20"};
  static std::vector<std::string> With(std::vector<std::string> more) {
    more.insert(more.begin(), kJob.begin(), kJob.end());
    return more;
  }
};

TEST_F(FaultTest, OutputFaultsFailWithTheirLineAndKeepThePreviousFile) {
  const std::string old = "the previous predictions\r\n";
  struct Case {
    const char* name;
    std::vector<std::string> options;
    std::function<void()> setup;
    rlim_t file_size_limit;
    int exit_status;
    const char* last_line;  // how the last log line starts ("" for the results block)
  };
  const Case cases[] = {
      {"a named pipe as output",
       {"/pof=pipe.txt"},
       [this] { mkfifo((folder_ / "pipe.txt").c_str(), 0666); },
       0,
       1,
       "OutPredictToFile.  Error: The output is not a file"},
      {"the file-size limit during the write",
       {"/pof=po.txt", "/pif=many.txt"},
       [this] {
         std::string many;
         for (int r = 0; r < 3000; ++r) many += std::to_string(r % 7) + "\t1\n";
         Write("many.txt", many);
       },
       16384,
       1,
       "OutPredictToFile.  Error: File too large  in Tarvexapp.mTarvex.OutPredictToFile at line "},
      {"the training inputs as output",
       {"/pof=ti.txt"},
       nullptr,
       0,
       1,
       "OutPredictToFile.  Error: The output file ti.txt is the training inputs (ti.txt)"},
      {"the training inputs as network file",
       {"/pof=po.txt", "/nof=ti.txt"},
       nullptr,
       0,
       1,
       "File name: ti.txt  The network output file is the training inputs (ti.txt)"},
      {"the engine as output",
       {"/pof=.\\libnetworkengine.so"},
       nullptr,
       0,
       1,
       "OutPredictToFile.  Error: The output file "},
      {"the parameter file as output",
       {"/pof=po.txt", "/ini=job.ini"},
       [this] { Write("job.ini", "[Parameter]\r\n/pof=job.ini\r\n"); },
       0,
       1,
       "OutPredictToFile.  Error: The output file job.ini is the parameter file"},
      {"a log that is a pipe with no reader",
       {"/pof=po.txt"},
       [this] {
         fs::remove(folder_ / "run.log");
         mkfifo((folder_ / "run.log").c_str(), 0666);
       },
       0,
       0,
       nullptr},
      {"a log already over the file-size limit",
       {"/pof=po.txt"},
       [this] { Write("run.log", std::string(5000, 'x')); },
       4096,
       0,
       nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Write("po.txt", old);
    fs::remove(folder_ / "run.log");
    if (c.setup) c.setup();
    const std::vector<fs::path> guarded = {"ti.txt", "libnetworkengine.so"};
    std::vector<std::string> before;
    for (const fs::path& name : guarded) before.push_back(Read(name));
    RunOptions options;
    if (c.file_size_limit > 0) options.limits = {{RLIMIT_FSIZE, c.file_size_limit}};
    EXPECT_EQ(RunWith(With(c.options), options), c.exit_status);
    if (c.last_line != nullptr) {
      EXPECT_TRUE(LastLog().starts_with(c.last_line)) << LastLog();
      EXPECT_EQ(Read("po.txt"), old);
    } else {
      EXPECT_NE(Read("po.txt"), old);  // the output was written, whatever became of the log
    }
    for (size_t i = 0; i < guarded.size(); ++i) EXPECT_EQ(Read(guarded[i]), before[i]);
    EXPECT_FALSE(HasTemporaryFiles());
    for (const char* name : {"pipe.txt", "job.ini"}) fs::remove(folder_ / name);
  }
}

// A log aimed at one of the job's files, or at a name that matches several, would damage a file
// or say nothing: the run fails before anything is written anywhere.
TEST_F(FaultTest, ALogThatIsOneOfTheJobsFilesEndsTheRunBeforeAnythingIsWritten) {
  ASSERT_EQ(RunWith(With({"/pof=po.txt", "/nof=net.json"})), 0);
  fs::remove(folder_ / "run.log");
  Write("job.ini", "[Parameter]\r\n/ep=3\r\n");
  Write("Twice.log", "one\r\n");
  Write("twice.LOG", "other\r\n");
  tarvex::testing::RunSql(folder_ / "data.mdb",
                          "CREATE TABLE t (x); INSERT INTO t VALUES (1), (2);");
  struct Case {
    const char* name;
    std::vector<std::string> options;
  };
  const Case cases[] = {
      {"the training inputs", {"/log=ti.txt", "/pof=po.txt"}},
      {"the prediction output", {"/log=po.txt", "/pof=po.txt"}},
      {"a prediction output still to be made", {"/log=new.txt", "/pof=new.txt"}},
      {"the network output", {"/log=net.json", "/pof=po.txt", "/nof=net.json"}},
      {"the network input", {"/log=net.json", "/nif=net.json", "/pof=po.txt"}},
      {"the parameter file", {"/log=job.ini", "/ini=job.ini", "/pof=po.txt"}},
      {"a database input",
       {"/log=data.mdb", "/tif=data.mdb", "/tifh=select x from t", "/pof=po.txt"}},
      {"the engine", {"/log=.\\libnetworkengine.so", "/pof=po.txt"}},
      {"a name that matches two files", {"/log=twice.log", "/pof=po.txt"}},
  };
  auto files = [this] {
    std::map<std::string, std::string> contents;
    for (const auto& entry : fs::directory_iterator(folder_.path())) {
      const std::string name = entry.path().filename().string();
      contents[name] = name == "tarvex" ? "" : Read(name);
    }
    return contents;
  };
  const std::map<std::string, std::string> before = files();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const auto& [name, content] : files()) {  // each case on the files as they were
      if (!before.contains(name)) fs::remove(folder_ / name);
    }
    for (const auto& [name, content] : before) {
      if (name != "tarvex") Write(name, content);
    }
    std::vector<std::string> arguments = {"/tif=ti.txt", "/tof=to.txt", "/pif=pi.txt", "/ep=20"};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    EXPECT_EQ(RunWith(arguments), 1);
    EXPECT_TRUE(files() == before) << "a file was written";
  }
}

TEST_F(FaultTest, OutputKeepsItsPermissionsAndItsLink) {
  Write("real.txt", "old\r\n");
  fs::permissions(folder_ / "real.txt", fs::perms(0640));
  fs::create_symlink("real.txt", folder_ / "po.txt");
  ASSERT_EQ(RunWith(With({"/pof=po.txt"})), 0);
  EXPECT_TRUE(fs::is_symlink(folder_ / "po.txt"));
  EXPECT_NE(Read("real.txt"), "old\r\n");
  EXPECT_EQ(fs::status(folder_ / "real.txt").permissions(), fs::perms(0640));
}

// Killed at any moment while it writes, a run leaves either the previous file or the whole new
// one, never a part.
TEST_F(FaultTest, AKillDuringTheWriteLeavesAWholeFile) {
  std::string many;
  for (int r = 0; r < 100000; ++r) many += std::to_string(r % 7) + "\t1\n";
  Write("many.txt", many);
  const std::string old = "the previous predictions\r\n";
  for (int attempt = 0; attempt < 30; ++attempt) {
    Write("po.txt", old);
    RunOptions options;
    options.working_folder = folder_.path();
    int child = tarvex::testing::StartProgram(
        program_, {"/tif=ti.txt", "/tof=to.txt", "/pif=many.txt", "/pof=po.txt", "/ep=1"}, options);
    usleep(20000 + attempt * 4000);
    kill(child, SIGKILL);
    tarvex::testing::WaitForProgram(child);
    std::string text = Read("po.txt");
    bool whole = text == old || (text.size() > many.size() / 2 && text.ends_with("\r\n") &&
                                 std::count(text.begin(), text.end(), '\n') == 100000);
    EXPECT_TRUE(whole) << "attempt " << attempt << ": " << text.size() << " bytes";
    for (const auto& entry : fs::directory_iterator(folder_.path())) {
      if (entry.path().filename().string().starts_with(".")) fs::remove(entry.path());
    }
  }
}

// Another program truncates and rewrites the input file while runs read it: each run ends with
// its exit status and a log line, never by a signal.
TEST_F(FaultTest, AnInputChangingDuringTheReadNeverKillsTheRun) {
  std::string big;
  for (int r = 0; r < 400000; ++r)
    big += std::to_string(r % 9) + "\t" + std::to_string(r % 4) + "\n";
  Write("big.txt", big);
  std::atomic<bool> stop = false;
  std::thread vandal([&] {
    for (bool half = true; !stop; half = !half) {
      truncate((folder_ / "big.txt").c_str(), half ? static_cast<off_t>(big.size() / 3) : 0);
      if (!half) std::ofstream(folder_ / "big.txt", std::ios::binary) << big;
    }
  });
  for (int run = 0; run < 10; ++run) {
    int status = RunWith(
        {"/tif=big.txt", "/tof=big.txt", "/pif=pi.txt", "/pof=po.txt", "/log=run.log", "/ep=1"});
    EXPECT_NE(status, -1) << "run " << run << " ended by a signal";
  }
  stop = true;
  vandal.join();
}

TEST_F(FaultTest, TooLargeWorkIsRefusedWithItsLine) {
  std::string wide_row;
  for (int c = 0; c < 32767; ++c) wide_row += (c ? "\t" : "") + std::to_string(c % 3);
  Write("wide.txt", wide_row + "\n" + wide_row + "\n");
  Write("two.txt", "1\n2\n");
  // One argument holds at most 128 KiB: the names go in several, which the command text joins.
  std::vector<std::string> names = {"/tifh=n0"};
  std::string header;
  for (int c = 0; c < 32768; ++c) {
    if (c % 4000 == 3999) names.push_back("");
    names.back() += ",n" + std::to_string(c);
    header += (c ? "\t" : "") + std::string("c") + std::to_string(c);
  }
  Write("header.txt", header + "\n" + wide_row + "\t1\n");
  Write("line.txt", std::string(20000000, '\t') + "1\n");  // a 20 MB line of empty fields
  struct Case {
    const char* name;
    std::vector<std::string> options;
    rlim_t address_space;
    const char* line_start;
  };
  const Case cases[] = {
      {"a hidden layer of two billion neurons",
       {"/tiv=1,2", "/tov=1", "/piv=1,2", "/n=2000000000"},
       0,
       "Out of memory: a network of 2 inputs, 2000000000 hidden neurons"},
      {"32,767 inputs under a 2 GB address space",
       {"/tif=wide.txt", "/tof=two.txt", "/pif=wide.txt"},
       2ul << 30,
       "Out of memory: a network of 32767 inputs, 65536 hidden neurons"},
      {"32,768 header fields, the first selected",
       {"/tif=header.txt", "/tifh=c0", "/tof=two.txt", "/pif=wide.txt"},
       0,
       "File Name: header.txt  Error: Overflow"},
      {"32,768 names that match nothing",
       {"/tif=two.txt", "/tof=two.txt", "/pif=two.txt"},
       0,
       "File Name: two.txt  Error: Overflow"},
      {"a 20 MB line under a 150 MB address space",
       {"/tif=line.txt", "/tof=two.txt", "/pif=two.txt"},
       150ul << 20,
       "File Name: line.txt  Error: Overflow"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.address_space > 0 && tarvex::testing::kSanitized) continue;  // ASan needs the space
    fs::remove(folder_ / "run.log");
    RunOptions options;
    if (c.address_space > 0) options.limits = {{RLIMIT_AS, c.address_space}};
    std::vector<std::string> arguments = c.options;
    arguments.insert(arguments.end(), {"/pof=po.txt", "/log=run.log"});
    if (std::string(c.name).starts_with("32,768 names")) {
      arguments.insert(arguments.end(), names.begin(), names.end());
    }
    EXPECT_EQ(RunWith(arguments, options), 1);
    EXPECT_TRUE(LastLog().starts_with(c.line_start)) << LastLog().substr(0, 300);
  }
}

TEST_F(FaultTest, PathsResolveAsAFileSystemThatIgnoresCase) {
  fs::create_directories(folder_ / "Data" / "Twice");
  fs::rename(folder_ / "ti.txt", folder_ / "Data" / "Train.TXT");
  Write("Data/Twice/X.txt", "1\n");
  Write("Data/Twice/x.TXT", "1\n");
  // A byte-order mark before the section and a value of several thousand characters.
  std::string values;
  for (int r = 0; r < 600; ++r) values += std::string(r ? ";" : "") + "0.125,0.5";
  Write("job.ini", "\xEF\xBB\xBF[Parameter]\r\n/piv=" + values + "\r\n/ep=3\r\n");
  struct Case {
    std::vector<std::string> options;
    int exit_status;
    const char* line_start;
  };
  const Case cases[] = {
      {{"/tif=data\\train.txt", "/pif=pi.txt", "/pof=.\\data\\out\\po.txt"}, 0, "Training results"},
      {{"/tif=data\\train.txt", "/ini=job.ini", "/pof=po.txt"}, 0, "Training results"},
      {{"/tif=data\\twice\\x.txt", "/pif=pi.txt", "/pof=po.txt"},
       1,
       "File name: data\\twice\\x.txt  Several names differ from 'x.txt' only in letter case"},
      {{"/nif=data\\twice\\x.txt", "/pif=pi.txt", "/pof=po.txt"},
       1,
       "File name: data\\twice\\x.txt  Several names differ from 'x.txt' only in letter case"},
      {{"/tif=\\\\server\\share\\ti.txt", "/pif=pi.txt", "/pof=po.txt"},
       1,
       "File not found: \\\\server\\share\\ti.txt"},
      {{"/tif=data\\train.txt", "/pif=pi.txt", "/pof=\\\\server\\share\\dir\\po.txt"},
       1,
       "OutPredictToFile.  Error: No such file or directory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.options[0] + " " + c.options[1] + " " + c.options[2]);
    fs::remove(folder_ / "run.log");
    std::vector<std::string> arguments = c.options;
    arguments.insert(arguments.end(), {"/tof=to.txt", "/log=run.log"});
    EXPECT_EQ(RunWith(arguments), c.exit_status);
    std::vector<std::string> log = Log();
    ASSERT_FALSE(log.empty());
    const std::string& line = c.exit_status == 0 ? log.front() : log.back();
    EXPECT_TRUE(line.starts_with(c.line_start)) << line;
    if (c.options[1] == "/ini=job.ini") {
      // The mark did not hide the section, and the long value was read whole: 600 rows.
      EXPECT_NE(log.front().find("Prediction Inputs: Array(600,2)"), std::string::npos);
      EXPECT_NE(log.front().find("Limit of epochs: 3"), std::string::npos);
    }
  }
  EXPECT_TRUE(Exists("Data/out/po.txt"));  // folders found whatever their case, new ones created
  EXPECT_FALSE(Exists("server"));
  EXPECT_FALSE(fs::exists("/server"));
}

// Every pair of outputs under one name that no file has yet, in either order: the run ends before
// it writes anything, naming the output that would have replaced the other. Only a report refused
// so leaves the summary, which may stand under its own name.
TEST_F(FaultTest, TwoOutputsUnderOneNewNameEndTheRunBeforeEitherIsWritten) {
  const std::pair<std::string, std::string> outputs[] = {
      {"/pof", "prediction output file"},
      {"/nof", "network output file"},
      {"/lcf", "learning curve file"},
      {"/sof", "run summary file"},
      {"/rof", "report file"},
  };
  for (size_t first = 0; first < std::size(outputs); ++first) {
    for (size_t second = first + 1; second < std::size(outputs); ++second) {
      for (const bool reversed : {false, true}) {
        const auto& [earlier, earlier_what] = outputs[first];
        const auto& [later, later_what] = outputs[second];
        SCOPED_TRACE(earlier + " and " + later + (reversed ? ", reversed" : ""));
        fs::remove_all(folder_ / "out");
        fs::create_directory(folder_ / "out");
        fs::remove(folder_ / "run.log");
        std::vector<std::string> options = {earlier + "=out\\same.out", later + "=out\\same.out"};
        if (reversed) std::swap(options[0], options[1]);
        if (first != 0) options.push_back("/pof=po.txt");
        EXPECT_EQ(RunWith(With(options)), 1);
        EXPECT_EQ(Log(), std::vector<std::string>{"File name: out\\same.out  The " + later_what +
                                                  " is the " + earlier_what +
                                                  " (out\\same.out); nothing was written"});
        EXPECT_FALSE(Exists("po.txt"));
        const bool summary_stays = earlier == "/sof" && later == "/rof";
        EXPECT_EQ(Exists("out/same.out"), summary_stays);
        if (summary_stays) {
          EXPECT_NE(Read("out/same.out").find("\"status\": \"failed\""), std::string::npos);
        }
      }
    }
  }
}

// The report is written before the summary, so that the summary can tell of a report that failed;
// a summary that fails after it has the report written again, so that it states the run's status.
TEST_F(FaultTest, TheReportStatesTheStatusOfTheRunWhateverBecomesOfTheSummary) {
  struct Case {
    const char* name;
    std::vector<std::string> options;
    std::function<void()> setup;
    int exit_status;
    const char* last_line;  // the start of the log's last line; "" for the results block
  };
  const Case cases[] = {
      {"a summary that is written", {"/sof=s.json"}, nullptr, 0, ""},
      {"a folder as summary",
       {"/sof=folder"},
       [this] { fs::create_directory(folder_ / "folder"); },
       1,
       "File name: folder  Is a directory"},
      {"the report of an earlier run as summary",
       {"/sof=r.html"},
       [this] { Write("r.html", "an earlier report"); },
       1,
       "File name: r.html  The run summary file is the report file (r.html)"},
      {"a summary that cannot be made when it is written",
       {"/sof=ti.txt\\s.json"},
       nullptr,
       1,
       "File name: ti.txt\\s.json  Not a directory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const char* name : {"run.log", "r.html", "po.txt"}) fs::remove(folder_ / name);
    fs::remove_all(folder_ / "folder");
    if (c.setup) c.setup();
    std::vector<std::string> options = c.options;
    options.insert(options.end(), {"/pof=po.txt", "/rof=r.html"});
    EXPECT_EQ(RunWith(With(options)), c.exit_status);
    EXPECT_TRUE(LastLog().starts_with(c.last_line)) << LastLog();
    const std::string status =
        c.exit_status == 0 ? "Succeeded: exit status 0" : "Failed: exit status 1";
    EXPECT_NE(Read("r.html").find("\">" + status + "</p>"), std::string::npos);
  }
}

// A device takes the network, report, summary or curve as it takes the predictions, and stays a
// device; a named pipe is refused before anything is written, and never blocks the run.
TEST_F(FaultTest, JobFilesAimedAtADeviceWriteItAndAtAPipeAreRefused) {
  const bool devices = mknod((folder_ / "null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
  if (!devices) std::cout << "No device can be made here (mknod: " << strerror(errno) << ").\n";
  ASSERT_EQ(mkfifo((folder_ / "pipe").c_str(), 0666), 0);
  for (const std::string option : {"/nof", "/rof", "/sof", "/lcf"}) {
    SCOPED_TRACE(option);
    if (devices) {
      fs::remove(folder_ / "po.txt");
      EXPECT_EQ(RunWith(With({"/pof=po.txt", option + "=null"})), 0);
      EXPECT_TRUE(fs::is_character_file(folder_ / "null"));
      EXPECT_TRUE(Exists("po.txt"));
    }
    fs::remove(folder_ / "po.txt");
    fs::remove(folder_ / "run.log");
    EXPECT_EQ(RunWith(With({"/pof=po.txt", option + "=pipe"})), 1);
    EXPECT_EQ(LastLog(),
              "File name: pipe  The output is not a file: only a file, a terminal or a device can "
              "take it");
    EXPECT_TRUE(fs::is_fifo(folder_ / "pipe"));
    EXPECT_FALSE(Exists("po.txt"));
  }
}

// Another user's link in a sticky folder that anyone may write (as /tmp) is not followed, as the
// kernel would not follow it: root's file at its end stays as it was. The folder owner's link is.
TEST_F(FaultTest, ALinkPlantedInAStickyFolderByAnotherUserIsNotFollowed) {
  if (geteuid() != 0) GTEST_SKIP() << "only root can plant another user's link";
  fs::create_directory(folder_ / "shared");
  ASSERT_EQ(chmod((folder_ / "shared").c_str(), 01777), 0);
  Write("secret", "root's own\n");
  fs::permissions(folder_ / "secret", fs::perms::owner_read | fs::perms::owner_write);
  const fs::path link = folder_ / "shared/r.html";
  fs::create_symlink(folder_ / "secret", link);
  for (const uid_t owner : {uid_t{65534}, uid_t{0}}) {
    SCOPED_TRACE(owner);
    ASSERT_EQ(lchown(link.c_str(), owner, owner), 0);
    const int status = RunWith(With({"/pof=po.txt", "/rof=shared\\r.html"}));
    if (owner != 0) {
      EXPECT_EQ(status, 1);
      EXPECT_EQ(LastLog(), "File name: shared\\r.html  Permission denied");
      EXPECT_EQ(Read("secret"), "root's own\n");
    } else {
      EXPECT_EQ(status, 0);
      EXPECT_TRUE(Read("secret").starts_with("<!DOCTYPE html>"));
    }
    EXPECT_TRUE(fs::is_symlink(link));
  }
}

// The temporary file beside an output has a longer name than the output; it is cut to fit.
TEST_F(FaultTest, OutputsOfTheLongestNamesAreWritten) {
  for (const size_t length : {247u, 248u, 255u}) {
    SCOPED_TRACE(length);
    const std::string name = std::string(length - 4, 'n') + ".txt";
    EXPECT_EQ(RunWith(With({"/pof=" + name, "/nof=" + std::string(length - 5, 'm') + ".json"})), 0);
    EXPECT_TRUE(Exists(name));
    EXPECT_FALSE(HasTemporaryFiles());
  }
}

}  // namespace
}  // namespace tarvex::driver
