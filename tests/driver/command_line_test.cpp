#include "driver/command_line.h"

#include <gtest/gtest.h>

#include "platform/paths.h"
#include "tests/support/test_support.h"

namespace tarvex::driver {

using namespace tarvex::job;
namespace {

using tarvex::testing::Backslashed;
using tarvex::testing::TempFolder;
using tarvex::testing::WriteFile;

JobSettings Read(const std::string& command_text) {
  JobSettings job;
  job.DecimalSeparator = ".";
  SetDefaults(job);
  ReadCommandLine(job, command_text);
  return job;
}

TEST(ReadCommandLineTest, ReadsEveryOptionOfTheTable) {
  JobSettings job = Read(
      "/LR=0.5 /m=0.7 /wd=0.01 /ep=12.5 /af=2 /n=5 /iw=0.2 /tif=a.txt /tof=b.txt /pif=c.txt "
      "/log= /pof=D.TXT /tiv=1,2 /tov=3 /piv=4 /tifh=x /tofh=y /pifh=z /pos=Sheet!A1 /other=1");
  EXPECT_EQ(job.lr, 0.5);
  EXPECT_EQ(job.m, 0.7);
  EXPECT_EQ(job.wd, 0.01);
  EXPECT_EQ(job.ep, 12);
  EXPECT_EQ(job.af, 2);
  EXPECT_EQ(job.n, 5);
  EXPECT_EQ(job.iw, 0.2);
  EXPECT_EQ(job.tif, "a.txt");
  EXPECT_EQ(job.tof, "b.txt");
  EXPECT_EQ(job.pif, "c.txt");
  EXPECT_EQ(job.pof, "d.txt");
  EXPECT_EQ(job.tiv, "1,2");
  EXPECT_EQ(job.tov, "3");
  EXPECT_EQ(job.piv, "4");
  EXPECT_EQ(job.tifh, "x");
  EXPECT_EQ(job.tofh, "y");
  EXPECT_EQ(job.pifh, "z");
  EXPECT_EQ(job.pos, "sheet!a1");
  EXPECT_EQ(job.ScaleLow, -0.9);
  EXPECT_EQ(job.ScaleHigh, 0.9);
}

TEST(ReadCommandLineTest, SplitsAtEverySlashAndTrimsOnlyTheItemEnds) {
  JobSettings job = Read("/tif=\"c:\\my data\\ti.txt\"/tof=c:\\my data\\to.txt  /pif=c:/x/y.txt");
  EXPECT_EQ(job.tif, "c:\\my data\\ti.txt");
  EXPECT_EQ(job.tof, "c:\\my data\\to.txt");
  EXPECT_EQ(job.pif, "c:");  // the rest became items of their own
}

TEST(ReadCommandLineTest, KeepsSettingsThatAreNotGivenProperly) {
  JobSettings job = Read("/lr =0.5/lr=abc/ep=abc/verbose/=5/m=/n=1e3");
  EXPECT_EQ(job.lr, 0.3);
  EXPECT_EQ(job.ep, 3000);
  EXPECT_EQ(job.m, 0.6);
  EXPECT_EQ(job.n, 1000);
}

TEST(ReadCommandLineTest, LaterItemsWinAndSelectorKeysShareTheirSetting) {
  JobSettings job = Read("/tis=first/tifh=second/tofh=one/tos=two/ep=1/ep=2");
  EXPECT_EQ(job.tifh, "second");
  EXPECT_EQ(job.tofh, "two");
  EXPECT_EQ(job.ep, 2);
}

TEST(ReadCommandLineTest, ResolvesDotBackslashAgainstTheProgramFolder) {
  JobSettings job = Read("/tif=.\\ti.txt/tof=..\\to.txt/log=.\\logs\\run.log/pof=.\\po.txt");
  const std::string& folder = platform::ProgramFolder();
  EXPECT_EQ(job.tif, folder + "\\ti.txt");
  EXPECT_EQ(job.tof, "..\\to.txt");
  EXPECT_EQ(job.log, folder + "\\logs\\run.log");
  EXPECT_EQ(job.pof, folder + "\\po.txt");  // resolved once, after all options
}

TEST(ReadCommandLineTest, WholeNumberOutOfRangeEndsTheStage) {
  for (const char* text : {"/af=40000/pof=x", "/ep=3000000000/pof=x", "/n=-1e10/pof=x"}) {
    TempFolder folder;
    JobSettings job;
    job.DecimalSeparator = ".";
    SetDefaults(job);
    EXPECT_FALSE(ReadCommandLine(job, text)) << text;
    EXPECT_TRUE(job.pof.empty()) << "reading stops at the failing item: " << text;
  }
}

TEST(ReadCommandLineTest, ParameterFileValuesWinAndKeepTheirCase) {
  TempFolder folder;
  std::string ini = (folder / "job.ini").string();
  WriteFile(ini,
            "[Parameter]\r\n/ep=5000\r\n/lr=\r\n/tif=.\\Data\\TI.txt\r\n/tifh=A\r\n/tis=B\r\n"
            "/POS=Results!B2\r\n/m=\"0.9\"\r\n");
  JobSettings job = Read("/ep=100/lr=0.5/tif=cmd.txt/ini=" + Backslashed(ini));
  EXPECT_EQ(job.ep, 5000);
  EXPECT_EQ(job.lr, 0.5);  // an empty value in the file keeps the command line's
  EXPECT_EQ(job.tif, platform::ProgramFolder() + "\\Data\\TI.txt");
  EXPECT_EQ(job.tifh, "B");
  EXPECT_EQ(job.pos, "Results!B2");
  EXPECT_EQ(job.m, 0.9);
}

TEST(ReadCommandLineTest, NetworkFilesArePathsOnTheCommandLineAndInTheParameterFile) {
  JobSettings job = Read("/nof=.\\Net.json/nif=..\\old.json");
  EXPECT_EQ(job.nof, platform::ProgramFolder() + "\\net.json");
  EXPECT_EQ(job.nif, "..\\old.json");
  TempFolder folder;
  WriteFile(folder / "job.ini", "[Parameter]\n/nof=.\\Nets\\A.json\n/nif=B.json\n");
  job = Read("/nof=x.json/ini=" + Backslashed(folder / "job.ini"));
  EXPECT_EQ(job.nof, platform::ProgramFolder() + "\\Nets\\A.json");
  EXPECT_EQ(job.nif, "B.json");
}

TEST(ReadCommandLineTest, MissingParameterFileIsNoError) {
  JobSettings job = Read("/ep=100/ini=\\no\\such\\file.ini");
  EXPECT_EQ(job.ep, 100);
}

TEST(ReadCommandLineTest, ParameterFileWithBadWholeNumberEndsTheStage) {
  TempFolder folder;
  WriteFile(folder / "job.ini", "[Parameter]\n/ep=7\n/af=99999\n/iw=0.9\n/pof=x\n");
  JobSettings job;
  job.DecimalSeparator = ".";
  SetDefaults(job);
  EXPECT_FALSE(ReadCommandLine(job, "/ini=" + Backslashed(folder / "job.ini")));
  EXPECT_EQ(job.ep, 7);    // read before the failure
  EXPECT_EQ(job.iw, 0.3);  // never reached
  EXPECT_TRUE(job.pof.empty());
}

}  // namespace
}  // namespace tarvex::driver
