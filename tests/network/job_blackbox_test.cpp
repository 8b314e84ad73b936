// Whole jobs through the built program: the report, the output file and the exit status.
#include <regex>

#include "tests/support/tarvex_run.h"

namespace tarvex::network {
namespace {

using tarvex::testing::TarvexRun;

class JobTest : public TarvexRun {
 protected:
  JobTest() {
    // Twelve rows of three inputs and one output, four rows to predict.
    std::string inputs, outputs;
    for (int r = 0; r < 12; ++r) {
      double a = r / 11.0, b = (r * 7 % 12) / 11.0, c = (r * 5 % 12) / 11.0;
      inputs += Number(a) + "\t" + Number(b) + "\t" + Number(c) + "\n";
      outputs += Number(a + b * b - c) + "\n";
    }
    Write("ti.txt", inputs);
    Write("to.txt", outputs);
    Write("pi.txt", "0.1\t0.2\t0.3\n0.5\t0.5\t0.5\n0.9\t0.1\t0.4\n0.3\t0.8\t0.2\n");
  }
  static std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", value);
    return text;
  }
  std::vector<std::string> Job(std::vector<std::string> more = {}) {
    std::vector<std::string> arguments = {"/tif=ti.txt", "/tof=to.txt", "/pif=pi.txt",
                                          "/pof=po.txt", "/log=run.log"};
    arguments.insert(arguments.end(), more.begin(), more.end());
    return arguments;
  }
  // The report's lines after their labels, in order, without the time line.
  std::vector<std::string> ReportValues(const std::string& report) {
    std::vector<std::string> values;
    std::regex line(R"(\r\n       [^:]*: ([^\r]*))");
    for (auto it = std::sregex_iterator(report.begin(), report.end(), line);
         it != std::sregex_iterator(); ++it) {
      values.push_back((*it)[1]);
    }
    if (!values.empty()) values.erase(values.begin());
    return values;
  }
};

TEST_F(JobTest, DefaultJobReportsAndWritesItsPredictions) {
  ASSERT_EQ(Run(Job()), 0);
  std::vector<std::string> log = Log();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_TRUE(std::regex_match(
      log[0],
      std::regex("Training results: \r\n       Training Time: \\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d"
                 "\r\n(       [A-Za-z ()%]+: [^\r]*\r\n){13}")))
      << log[0];
  std::vector<std::string> values = ReportValues(log[0]);
  ASSERT_EQ(values.size(), 13u);
  const std::vector<std::string> expected_start = {
      "Array(12,3)", "Array(12,1)", "Array(4,3)", "Array(4,1)", "0.3",
      "0.3",         "0.6",         "8",          "1",          "3000"};
  EXPECT_EQ(std::vector<std::string>(values.begin(), values.begin() + 10), expected_start);
  EXPECT_EQ(values[11], "0.001");
  EXPECT_TRUE(std::regex_match(values[12], std::regex(" \\d\\.\\d{7}"))) << values[12];
  EXPECT_EQ(log[1],
            "Prediction results:\r\n       Prediction Outputs: Array(4,1)\r\n"
            "       Prediction Outputs file: po.txt\r\n");
  EXPECT_TRUE(std::regex_match(Read("po.txt"), std::regex("(-?[0-9.]+(E[-+]\\d\\d)?\r\n){4}")))
      << Read("po.txt");
}

TEST_F(JobTest, SameJobGivesTheSamePredictionsTwice) {
  ASSERT_EQ(Run(Job()), 0);
  std::string first = Read("po.txt");
  ASSERT_EQ(Run(Job()), 0);
  EXPECT_EQ(Read("po.txt"), first);
}

TEST_F(JobTest, SettingsReachTheReport) {
  ASSERT_EQ(Run(Job({"/lr=0.05", "/m=0.5", "/iw=0.25", "/n=5", "/ep=7", "/wd=0"})), 0);
  std::vector<std::string> values = ReportValues(Log()[0]);
  ASSERT_EQ(values.size(), 13u);
  EXPECT_EQ(values[4], "0.05");
  EXPECT_EQ(values[5], "0.25");
  EXPECT_EQ(values[6], "0.5");
  EXPECT_EQ(values[7], "5");
  EXPECT_EQ(values[9], "7");
  EXPECT_EQ(values[10], "7") << "wd=0 is never reached while the weights still move";
  EXPECT_EQ(values[11], "0");
}

TEST_F(JobTest, ZeroEpochsStillPredicts) {
  ASSERT_EQ(Run(Job({"/ep=0"})), 0);
  std::vector<std::string> values = ReportValues(Log()[0]);
  ASSERT_EQ(values.size(), 13u);
  EXPECT_EQ(values[9], "0");
  EXPECT_EQ(values[10], "0");
  EXPECT_EQ(values[12], " 0.0000000");
  EXPECT_FALSE(Read("po.txt").empty());
}

TEST_F(JobTest, LargeTargetStopsAfterTheFirstEpoch) {
  ASSERT_EQ(Run(Job({"/wd=1000"})), 0);
  EXPECT_EQ(ReportValues(Log()[0])[10], "1");
}

TEST_F(JobTest, ConstantOutputAndUnknownActivationGiveExactValues) {
  Write("to2.txt", "7\t1\n7\t2\n7\t3\n7\t4\n7\t5\n7\t6\n7\t7\n7\t8\n7\t9\n7\t10\n7\t11\n7\t12\n");
  ASSERT_EQ(Run({"/tif=ti.txt", "/tof=to2.txt", "/pif=pi.txt", "/pof=po.csv", "/log=run.log"}), 0);
  std::string text = Read("po.csv");
  std::regex line("7,[^\r]*\r\n");
  EXPECT_EQ(
      std::distance(std::sregex_iterator(text.begin(), text.end(), line), std::sregex_iterator()),
      4)
      << text;
  // An activation code outside 0..5 scales everything to 0, and predictions come back as the
  // column maximum.
  ASSERT_EQ(
      Run({"/tif=ti.txt", "/tof=to2.txt", "/pif=pi.txt", "/pof=po.csv", "/log=run.log", "/af=7"}),
      0);
  EXPECT_EQ(Read("po.csv"), "7,12\r\n7,12\r\n7,12\r\n7,12\r\n");
}

TEST_F(JobTest, DirectValuesWorkLikeFiles) {
  ASSERT_EQ(Run({"/tiv=0,0;0,1;1,0;1,1", "/tov=0;1;1;0", "/piv=0,1", "/pof=po.txt", "/log=run.log",
                 "/ep=5"}),
            0);
  EXPECT_EQ(ReportValues(Log()[0])[0], "Array(4,2)");
}

TEST_F(JobTest, CommaLocaleWritesCommasInReportAndOutput) {
  ASSERT_EQ(Run(Job({"/lr=0.25", "/pof=po.csv"}), tarvex::testing::kCommaLocale), 0);
  std::vector<std::string> values = ReportValues(Log()[0]);
  EXPECT_EQ(values[4], "0,25");
  EXPECT_EQ(values[11], "0,001");
  EXPECT_TRUE(std::regex_match(values[12], std::regex(" \\d,\\d{7}"))) << values[12];
  EXPECT_NE(Read("po.csv").find(','), std::string::npos);
}

TEST_F(JobTest, DivergingNetworkIsNotReportedAsTrained) {
  Write("big.txt", "1000\n-1000\n5\n0\n1\n2\n3\n4\n5\n6\n7\n8\n");
  EXPECT_EQ(Run({"/tif=ti.txt", "/tof=big.txt", "/pif=pi.txt", "/pof=po.txt", "/log=run.log",
                 "/lr=1000", "/af=3"}),
            1);
  std::vector<std::string> log = Log();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].rfind("Overflow", 0), 0u) << log[0];
  EXPECT_FALSE(Exists("po.txt"));
}

TEST_F(JobTest, MissingEngineIsLoggedWithTheLoadersText) {
  std::filesystem::remove(folder_ / "libnetworkengine.so");
  EXPECT_EQ(Run(Job()), 1);
  std::vector<std::string> log = Log();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find("libnetworkengine.so"), std::string::npos) << log[0];
  EXPECT_FALSE(Exists("po.txt"));
  Write("libnetworkengine.so", "not a library");
  EXPECT_EQ(Run(Job()), 1);
  EXPECT_NE(Log().back().find("libnetworkengine.so"), std::string::npos);
}

TEST_F(JobTest, NegativeHiddenSizeFailsTheStage) {
  EXPECT_EQ(Run(Job({"/n=-3"})), 1);
  std::vector<std::string> log = Log();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find("hidden"), std::string::npos) << log[0];
}

TEST_F(JobTest, OutputFailureIsLoggedAndEndsWithStatusOne) {
  std::filesystem::create_directory(folder_ / "po.txt");
  EXPECT_EQ(Run(Job()), 1);
  std::vector<std::string> log = Log();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[1],
            "OutPredictToFile.  Error: Is a directory  in Tarvexapp.mTarvex.OutPredictToFile at "
            "line 110");
}

TEST_F(JobTest, OutputFoldersAreCreatedAndDotBackslashIsTheProgramFolder) {
  std::filesystem::create_directory(folder_ / "work");
  tarvex::testing::RunOptions options;
  options.working_folder = folder_ / "work";
  auto result = tarvex::testing::RunProgram(program_,
                                            {"/tif=.\\ti.txt", "/tof=.\\to.txt", "/pif=.\\pi.txt",
                                             "/pof=.\\out\\deep\\po.txt", "/log=.\\run.log"},
                                            options);
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_TRUE(Exists("out/deep/po.txt"));
  EXPECT_EQ(Log()[1].substr(Log()[1].find("file: ")),
            "file: " + folder_.path().string() + "\\out\\deep\\po.txt\r\n");
}

}  // namespace
}  // namespace tarvex::network
