// The warnings of a run that learned nothing, through the built program: in the log's results
// entry, the summary's training.warnings and at the top of the report; none for runs that
// learned, whose files stay as they were.
#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>

#include "tests/support/tarvex_run.h"

namespace tarvex::network {
namespace {

using Json = nlohmann::json;
using Args = std::vector<std::string>;
using tarvex::testing::TarvexRun;
namespace fs = std::filesystem;

class WarningRun : public TarvexRun {
 protected:
  WarningRun() {
    for (const char* name : {"ti.txt", "to.txt", "pi.txt", "parts.csv", "parts_new.csv"}) {
      Write(name, testing::ReadFile(testing::SourceFolder() / "examples/data" / name));
    }
    // 48 inputs and three outputs, as wide as the robot set, from a fixed sequence.
    std::uint64_t state = 12345;
    auto next = [&state] {
      state = (state * 1103515245 + 12345) % 2147483648;
      return static_cast<double>(state) / 2147483648.0;
    };
    std::string inputs, outputs;
    for (int r = 0; r < 150; ++r) {
      double x[48];
      for (int c = 0; c < 48; ++c) {
        x[c] = next();
        inputs += (c > 0 ? "\t" : "") + Number(x[c]);
      }
      outputs += Number((x[0] + x[1] + x[2]) / 3) + "\t" + Number(x[6] * x[7]) + "\t" +
                 Number(1 - x[9]) + "\n";
      inputs += "\n";
    }
    Write("wide_in.txt", inputs);
    Write("wide_out.txt", outputs);
  }
  static std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", value);
    return text;
  }
};

TEST_F(WarningRun, SaysSoWhenTheNetworkLearnedNothingAndOnlyThen) {
  const Args example = {"/tif=ti.txt", "/tof=to.txt", "/pif=pi.txt", "/pof=po.txt"};
  const Args parts = {
      "/task=classification", "/tif=parts.csv",     "/tifh=length,diameter,mass", "/tof=parts.csv",
      "/tofh=kind",           "/pif=parts_new.csv", "/pifh=length,diameter,mass", "/pof=po.txt"};
  auto with = [](Args job, const Args& more) {
    job.insert(job.end(), more.begin(), more.end());
    return job;
  };
  const std::string no_better =
      "Warning: the network predicts the training outputs no better "
      "than their mean (squared error output column 1: ";
  const struct {
    const char* name;
    Args arguments;
    std::vector<std::string> warnings;  // the start of each warning line, in order
  } cases[] = {
      {"tanh saturated by a large learning rate",
       {"/tif=wide_in.txt", "/tof=wide_out.txt", "/pif=wide_in.txt", "/pof=po.txt", "/af=2",
        "/lr=5", "/wd=0", "/ep=100"},
       {no_better,
        "Warning: the hidden layer is saturated: 9 in 10 of its outputs on the training rows or "
        "more lie within 1 % of an end of their range"}},
      {"one epoch at a tiny learning rate", with(example, {"/ep=1", "/lr=0.001"}), {no_better}},
      {"a classifier after one epoch",
       with(parts, {"/ep=1", "/lr=0.0001", "/wd=0"}),
       {"Warning: the network classifies the training rows no better than naming the most "
        "frequent class for every row (error rate "}},
      {"the example job", with(example, {"/ep=3000"}), {}},
      {"the example job held out", with(example, {"/ep=3000", "/vf=0.2", "/es=auto"}), {}},
      {"the classes example", with(parts, {"/vf=0.2", "/es=30"}), {}},
  };
  for (const auto& run : cases) {
    SCOPED_TRACE(run.name);
    fs::remove(folder_ / "run.log");
    ASSERT_EQ(Run(with(run.arguments,
                       {"/log=run.log", "/sof=summary.json", "/rof=report.html", "/sd=1"})),
              0);
    std::vector<std::string> lines;
    for (const std::string& message : Log()) {
      std::size_t at = 0;
      while ((at = message.find("Warning: ", at)) != std::string::npos) {
        const std::size_t end = message.find('\r', at);
        lines.push_back(message.substr(at, end - at));
        at = end;
      }
    }
    ASSERT_EQ(lines.size(), run.warnings.size()) << ::testing::PrintToString(lines);
    for (std::size_t k = 0; k < lines.size(); ++k) {
      EXPECT_EQ(lines[k].substr(0, run.warnings[k].size()), run.warnings[k]);
    }
    const Json training = Json::parse(Read("summary.json"))["training"];
    if (lines.empty()) {
      EXPECT_FALSE(training.contains("warnings"));
    } else {
      EXPECT_EQ(training["warnings"], Json(lines));
    }
    const std::string report = Read("report.html");
    std::size_t notes = 0;
    for (std::size_t at = report.find("<p class=\"warning\">Warning: "); at != std::string::npos;
         at = report.find("<p class=\"warning\">Warning: ", at + 1)) {
      ++notes;
      EXPECT_LT(at, report.find("</header>"));
    }
    EXPECT_EQ(notes, lines.size());
  }
}

// The robot set with tanh at the default learning rate, if the shared sets are there: the
// weight delta target ends training after two epochs, and the line says so.
TEST_F(WarningRun, NamesTheWeightDeltaTargetThatEndedTraining) {
  const fs::path set = testing::SourceFolder() / "../shared/benchmarks/fann-regression/robot.train";
  if (!fs::exists(set)) GTEST_SKIP() << "no shared benchmark sets";
  std::ifstream fann(set);
  int rows = 0, inputs = 0, outputs = 0;
  fann >> rows >> inputs >> outputs;
  std::string in, out;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < inputs + outputs; ++c) {
      std::string value;
      fann >> value;
      std::string& text = c < inputs ? in : out;
      text += value + (c == inputs - 1 || c == inputs + outputs - 1 ? "\n" : "\t");
    }
  }
  Write("robot_in.txt", in);
  Write("robot_out.txt", out);
  ASSERT_EQ(Run({"/tif=robot_in.txt", "/tof=robot_out.txt", "/pif=robot_in.txt", "/pof=po.txt",
                 "/af=2", "/sd=1", "/log=run.log"}),
            0);
  const std::string log = Read("run.log");
  EXPECT_NE(log.find("training ended at epoch 2 on the weight delta target ('/wd'); '/wd=0' "
                     "trains for every epoch."),
            std::string::npos)
      << log;
}

}  // namespace
}  // namespace tarvex::network
