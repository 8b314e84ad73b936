// Saving a network and predicting with it, through the built program: the reports, README's
// Python program as an independent peer, and a save that is killed half-way.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <regex>
#include <sstream>

#include "tests/support/tarvex_run.h"

namespace tarvex::network {
namespace {

using tarvex::testing::TarvexRun;

class SavedNetworkRun : public TarvexRun {
 protected:
  SavedNetworkRun() {
    // Two outputs of other units than the inputs; prediction rows outside the training range.
    std::ostringstream inputs, outputs;
    inputs.precision(17);
    outputs.precision(17);
    for (int r = 0; r < 20; ++r) {
      const double a = r % 5 * 0.2, b = (r * 7 % 20) * 0.05, c = r * 0.5 - 4;
      inputs << a << "\t" << b << "\t" << c << "\n";
      outputs << a * b - 0.1 * c << "\t" << std::sin(3 * a) * 50 << "\n";
    }
    Write("ti.txt", inputs.str());
    Write("to.txt", outputs.str());
    Write("pi.txt", "0.1\t0.2\t0.3\n0.5\t0.5\t-6\n0.9\t0.1\t2.5\n1.3\t-0.2\t0\n");
  }
  static std::vector<std::vector<double>> Rows(const std::string& text) {
    std::vector<std::vector<double>> rows;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
      std::istringstream values(line);
      rows.emplace_back();
      for (double value; values >> value;) rows.back().push_back(value);
    }
    return rows;
  }
};

TEST_F(SavedNetworkRun, SavingRunWritesNoOutputAndBothReportsNameTheNetworkFile) {
  ASSERT_EQ(Run({"/tif=ti.txt", "/tof=to.txt", "/log=run.log", "/ep=50", "/nof=net.json"}), 0);
  std::vector<std::string> log = Log();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_TRUE(std::regex_match(
      log[0], std::regex("Training results: \r\n       Training Time: [^\r]*\r\n"
                         "       Traning Inputs: Array\\(20,3\\)\r\n"
                         "       Traning Outputs: Array\\(20,2\\)\r\n"
                         "       Learning Rate: 0.3\r\n(       [^P\r][^\r]*\r\n){8}"
                         "       Network Output file: net.json\r\n")))
      << log[0];
  EXPECT_FALSE(Exists("po.txt"));

  ASSERT_EQ(Run({"/nif=net.json", "/pif=pi.txt", "/pof=po.txt", "/log=run.log", "/ep=1"}), 0);
  log = Log();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_TRUE(
      std::regex_match(log[1], std::regex("Training results: \r\n       Training Time: "
                                          "\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d\r\n"
                                          "       Network Input file: net.json\r\n"
                                          "       Prediction Inputs: Array\\(4,3\\)\r\n"
                                          "       Prediction Outputs: Array\\(4,2\\)\r\n"
                                          "       Number of neurons in hidden layer: 8\r\n"
                                          "       Number of neurons in output layer: 2\r\n")))
      << log[1];
  EXPECT_EQ(log[2],
            "Prediction results:\r\n       Prediction Outputs: Array(4,2)\r\n"
            "       Prediction Outputs file: po.txt\r\n");
}

// README's program computes the predictions from the file by hand, with Python's own arithmetic.
TEST_F(SavedNetworkRun, ReadmePythonProgramPredictsWhatTarvexPredicts) {
  const std::string readme = testing::ReadFile(testing::SourceFolder() / "README.md");
  const size_t start = readme.find("```python\n");
  ASSERT_NE(start, std::string::npos);
  const size_t code = start + 10;
  Write("predict.py", readme.substr(code, readme.find("```", code) - code));
  double largest = 0;
  for (int af : {0, 1, 2, 3, 4, 5, 7}) {
    SCOPED_TRACE("af=" + std::to_string(af));
    ASSERT_EQ(Run({"/tif=ti.txt", "/tof=to.txt", "/pif=pi.txt", "/pof=po.txt", "/ep=200",
                   "/af=" + std::to_string(af), "/nof=net.json"}),
              0);
    testing::RunOptions options;
    options.working_folder = folder_.path();
    const testing::RunResult python =
        testing::RunProgram("/usr/bin/python3", {"predict.py", "net.json", "pi.txt"}, options);
    ASSERT_EQ(python.exit_status, 0) << python.standard_error;
    const auto expected = Rows(Read("po.txt")), actual = Rows(python.standard_output);
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t r = 0; r < expected.size(); ++r) {
      ASSERT_EQ(actual[r].size(), expected[r].size());
      for (size_t k = 0; k < expected[r].size(); ++k) {
        const double difference = std::fabs(actual[r][k] - expected[r][k]);
        EXPECT_LE(difference, 1e-12 * std::max(1.0, std::fabs(expected[r][k])))
            << actual[r][k] << " against " << expected[r][k];
        largest = std::max(largest, difference / std::max(1.0, std::fabs(expected[r][k])));
      }
    }
  }
  RecordProperty("LargestRelativeDifference", std::to_string(largest * 1e15) + "e-15");
}

TEST_F(SavedNetworkRun, KillDuringTheSaveLeavesTheEarlierFileWhole) {
  ASSERT_EQ(Run({"/tif=ti.txt", "/tof=to.txt", "/ep=5", "/nof=net.json"}), 0);
  const std::string earlier = Read("net.json");
  // A network of some 400,000 weights: writing it takes long enough to be caught at it.
  std::string row;
  for (int i = 0; i < 200; ++i) row += (i > 0 ? "," : "") + std::to_string(i % 7);
  const std::vector<std::string> arguments = {program_.string(), "/tiv=" + row + ";" + row,
                                              "/tov=1;2",        "/n=2000",
                                              "/ep=0",           "/nof=net.json"};
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (chdir(folder_.path().c_str()) != 0) _exit(126);
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
      argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  // Kill it as soon as its temporary file appears beside the target.
  bool caught = false;
  int status = 0;
  while (!caught && waitpid(child, &status, WNOHANG) == 0) {
    for (const auto& entry : std::filesystem::directory_iterator(folder_.path())) {
      caught = caught || entry.path().filename().string().starts_with(".net.json.");
    }
    if (caught) kill(child, SIGKILL);
  }
  if (caught) waitpid(child, &status, 0);
  ASSERT_TRUE(caught) << "the save ended before it could be interrupted";
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(Read("net.json"), earlier);
}

}  // namespace
}  // namespace tarvex::network
