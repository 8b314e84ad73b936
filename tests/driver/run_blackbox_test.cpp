// Runs of the built program with real option texts, parameter files and logs.
#include <unistd.h>

#include <regex>

#include "tests/support/tarvex_run.h"

namespace tarvex::driver {
namespace {

using tarvex::testing::Backslashed;
using tarvex::testing::TarvexRun;

using RunDriverTest = TarvexRun;

const std::string kNoPof = "The Parameter '/pof' is empty.";

TEST_F(RunDriverTest, MissingPofLeavesOneFramedEntry) {
  EXPECT_EQ(Run({"/tif=ti.txt", "/log=run.log"}), 1);
  std::string log = Read("run.log");
  EXPECT_TRUE(std::regex_match(log, std::regex(R"(\[\d\d/\d\d/\d\d \d\d:\d\d:\d\d \] - )"
                                               R"(The Parameter '/pof' is empty\.\r\n)")))
      << log;
}

TEST_F(RunDriverTest, EmptyCommandLineWritesNothingAtAll) {
  EXPECT_EQ(Run({}), 1);
  EXPECT_EQ(Run({""}), 1);
  for (const auto& entry : std::filesystem::directory_iterator(folder_.path())) {
    std::string name = entry.path().filename().string();
    EXPECT_TRUE(name == "tarvex" || name == "libnetworkengine.so") << name;
  }
}

TEST_F(RunDriverTest, LogAccumulatesAcrossRunsAndLogPathIsLowerCased) {
  Write("run.log", "earlier entry\r\n");
  EXPECT_EQ(Run({"/LOG=RUN.LOG"}), 1);
  EXPECT_EQ(Run({"/log=run.log", "/tif=x"}), 1);
  EXPECT_EQ(Read("run.log").substr(0, 15), "earlier entry\r\n");
  EXPECT_EQ(Log(), (std::vector<std::string>{kNoPof, kNoPof}));
}

TEST_F(RunDriverTest, NoLogOptionMeansNoLog) {
  EXPECT_EQ(Run({"/tif=ti.txt"}), 1);
  EXPECT_FALSE(Exists("run.log"));
}

TEST_F(RunDriverTest, MissingSourcesAreNamedInOrder) {
  struct Case {
    std::vector<std::string> arguments;
    std::string message;
  };
  const Case cases[] = {
      {{"/pof=po.txt"}, "The Parameter '/tif' is empty."},
      {{"/pof=po.txt", "/tiv=1;2"}, "The Parameter '/tof' is empty."},
      {{"/pof=po.txt", "/tiv=1;2", "/tov=1;2"}, "The Parameter '/pif' is empty."},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(folder_ / "run.log");
    std::vector<std::string> arguments = c.arguments;
    arguments.push_back("/log=run.log");
    EXPECT_EQ(Run(arguments), 1);
    EXPECT_EQ(Log(), std::vector<std::string>{c.message});
  }
}

TEST_F(RunDriverTest, DotBackslashLogGoesToTheProgramFolder) {
  std::filesystem::create_directory(folder_ / "work");
  tarvex::testing::RunOptions options;
  options.working_folder = folder_ / "work";
  auto result = tarvex::testing::RunProgram(program_, {"/log=.\\run.log"}, options);
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(Log(), std::vector<std::string>{kNoPof});
  EXPECT_FALSE(Exists("work/run.log"));
}

TEST_F(RunDriverTest, LogFoldersAreCreatedFromTheThirdComponentOn) {
  std::filesystem::create_directory(folder_ / "logs");
  EXPECT_EQ(Run({"/log=logs\\a\\b\\run.log"}), 1);
  EXPECT_EQ(Log("logs/a/b/run.log"), std::vector<std::string>{kNoPof});
  // Two components below the working folder: the folder is not created and the entry is lost.
  EXPECT_EQ(Run({"/log=new\\run.log"}), 1);
  EXPECT_FALSE(Exists("new"));
}

TEST_F(RunDriverTest, ParameterFileLogWinsOverTheCommandLine) {
  Write("job.ini", "[Parameter]\n/log=" + Backslashed(folder_ / "from-ini.log") + "\n");
  EXPECT_EQ(Run({"/log=cmd.log", "/ini=job.ini"}), 1);
  EXPECT_FALSE(Exists("cmd.log"));
  EXPECT_EQ(Log("from-ini.log"), std::vector<std::string>{kNoPof});
  // Written with "/" in the file (not split there) it works as well.
  Write("job.ini", "[Parameter]\n/log=" + (folder_ / "slash.log").string() + "\n");
  EXPECT_EQ(Run({"/ini=job.ini"}), 1);
  EXPECT_EQ(Log("slash.log"), std::vector<std::string>{kNoPof});
}

TEST_F(RunDriverTest, BadParameterFileWholeNumberEndsSilently) {
  Write("job.ini", "[Parameter]\n/log=" + Backslashed(folder_ / "run.log") + "\n/af=40000\n");
  EXPECT_EQ(Run({"/ini=job.ini"}), 1);
  EXPECT_FALSE(Exists("run.log"));
  EXPECT_EQ(Run({"/log=run.log", "/af=40000"}), 1);
  EXPECT_FALSE(Exists("run.log"));
}

TEST_F(RunDriverTest, HostileCommandLinesNeitherCrashNorPrint) {
  std::vector<std::string> many(100000, "/x=1");
  many.push_back("/log=run.log");
  EXPECT_EQ(Run(many), 1);
  EXPECT_EQ(Log(), std::vector<std::string>{kNoPof});

  std::filesystem::remove(folder_ / "run.log");
  // One argument may hold at most 128 KiB on Linux; the arguments join into a 1 MB value.
  std::vector<std::string> long_value = {"/log=run.log", "/tiv="};
  for (int i = 0; i < 10; ++i) long_value.push_back(std::string(100000, '7'));
  EXPECT_EQ(Run(long_value), 1);
  EXPECT_EQ(Log(), std::vector<std::string>{kNoPof});

  const std::vector<std::string> odd[] = {
      {"/"}, {"="}, {"\"\""}, {"   "}, {"/=/=/"}, {"////"}, {"/\"/\"="}, {"/ = "},
  };
  for (const auto& arguments : odd) EXPECT_EQ(Run(arguments), 1);

  std::string binary;
  for (int i = 1; i < 256; ++i) binary += static_cast<char>(i);
  EXPECT_EQ(Run({"/log=bin.log", "/lr=" + binary, "/pos=" + binary, "/tif=" + binary}), 1);
  EXPECT_EQ(Log("bin.log"), std::vector<std::string>{kNoPof});
}

TEST_F(RunDriverTest, HostileParameterFilesNeitherCrashNorPrint) {
  std::string garbage;
  for (int i = 0; i < 100000; ++i) garbage += static_cast<char>((i * 7919 + 13) % 256);
  std::string many_lines = "[Parameter]\n";
  for (int i = 0; i < 100000; ++i) many_lines += "/x" + std::to_string(i) + "=1\n";
  many_lines += "/ep=5";  // no newline at the end
  for (const std::string& content : {garbage, many_lines}) {
    Write("job.ini", content);
    std::filesystem::remove(folder_ / "run.log");
    EXPECT_EQ(Run({"/log=run.log", "/ini=job.ini"}), 1);
    EXPECT_EQ(Log(), std::vector<std::string>{kNoPof});
  }
  std::filesystem::create_directory(folder_ / "folder.ini");
  std::filesystem::remove(folder_ / "run.log");
  EXPECT_EQ(Run({"/log=run.log", "/ini=folder.ini"}), 1);
  EXPECT_EQ(Log(), std::vector<std::string>{kNoPof});
}

TEST_F(RunDriverTest, UnwritableLogLosesTheEntryButNotTheRun) {
  std::filesystem::create_directory(folder_ / "a-folder.log");
  EXPECT_EQ(Run({"/log=a-folder.log"}), 1);
  Write("plain-file", "x");
  EXPECT_EQ(Run({"/log=plain-file\\under\\a\\file.log"}), 1);
  EXPECT_EQ(Read("plain-file"), "x");
  if (geteuid() != 0) {
    std::filesystem::create_directory(folder_ / "locked");
    std::filesystem::permissions(folder_ / "locked", std::filesystem::perms::owner_read |
                                                         std::filesystem::perms::owner_exec);
    EXPECT_EQ(Run({"/log=locked\\run.log"}), 1);
    EXPECT_FALSE(Exists("locked/run.log"));
  }
}

}  // namespace
}  // namespace tarvex::driver
