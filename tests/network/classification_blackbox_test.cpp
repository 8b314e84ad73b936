// Classification jobs through the built program: the summary's figures against scikit-learn's
// metrics on the written labels and probabilities, the same network from labels in any form,
// a saved classifier predicting as the run that saved it, the stratified held-out rows, class
// weights, and the inputs that must end a run with one line.
#include <nlohmann/json.hpp>

#include <cmath>
#include <sstream>

#include "tests/support/tarvex_run.h"

namespace tarvex::network {
namespace {

using Json = nlohmann::json;
using tarvex::testing::TarvexRun;
namespace fs = std::filesystem;

// Three classes of points in the unit square, by which third of a curve they lie in; a fourth,
// rare class in one corner.
std::string Label(double a, double b) {
  if (a > 0.85 && b > 0.85) return "rare";
  const double s = a + 0.5 * std::sin(4 * b);
  return s < 0.45 ? "low" : s < 0.95 ? "mid" : "high";
}

class ClassificationRun : public TarvexRun {
 protected:
  ClassificationRun() {
    auto table = [](int count, int offset) {
      std::ostringstream text;
      text.precision(17);
      text << "a,b,kind\n";
      for (int r = offset; r < offset + count; ++r) {
        const double a = (r * 37 % 101) / 100.0, b = (r * 53 % 97) / 96.0;
        text << a << "," << b << "," << Label(a, b) << "\n";
      }
      return text.str();
    };
    Write("train.csv", table(160, 0));
    Write("valid.csv", table(60, 160));
  }
  static std::vector<std::string> Job(std::vector<std::string> more) {
    std::vector<std::string> arguments = {
        "/task=classification", "/tif=train.csv", "/tifh=a,b",   "/tof=train.csv",
        "/tofh=kind",           "/pif=valid.csv", "/pifh=a,b",   "/pof=po.csv",
        "/log=run.log",         "/sof=summary.json", "/ep=300", "/sd=3"};
    arguments.insert(arguments.end(), more.begin(), more.end());
    return arguments;
  }
  Json Summary() { return Json::parse(Read("summary.json")); }
  std::string Python(const std::vector<std::string>& arguments) {
    testing::RunOptions options;
    options.working_folder = folder_.path();
    const testing::RunResult result = testing::RunProgram("/usr/bin/python3", arguments, options);
    EXPECT_EQ(result.exit_status, 0) << result.standard_error;
    return result.standard_output;
  }
};

TEST_F(ClassificationRun, SummaryFiguresAreScikitLearnsOnTheWrittenLabelsAndProbabilities) {
  Write("check_class_summary.py",
        testing::ReadFile(testing::SourceFolder() / "tests/network/check_class_summary.py"));
  for (const char* af : {"/af=0", "/af=2", "/af=4"}) {
    SCOPED_TRACE(af);
    ASSERT_EQ(Run(Job({af, "/pp=1", "/vif=valid.csv", "/vifh=a,b", "/vof=valid.csv",
                       "/vofh=kind", "/es=20"})),
              0)
        << Read("run.log");
    EXPECT_EQ(Python({"check_class_summary.py", "summary.json", "validation", "po.csv",
                      "valid.csv", "kind"}),
              "60\n");
    const Json summary = Summary();
    EXPECT_GT(summary["metrics"]["validation"]["accuracy"].get<double>(), 0.8);
  }
  EXPECT_EQ(Summary()["classification"]["classes"], Json({"high", "low", "mid", "rare"}));
}

TEST_F(ClassificationRun, LabelsAsTextValuesOrOneHotColumnsGiveTheSameNetwork) {
  ASSERT_EQ(Run(Job({"/pp=1"})), 0) << Read("run.log");
  const std::string expected = Read("po.csv");
  // The same labels as direct values, and as one-hot columns named by a header.
  std::istringstream train(Read("train.csv"));
  std::string line, values, one_hot = "high,low,mid,rare\n";
  std::getline(train, line);
  while (std::getline(train, line)) {
    const std::string label = line.substr(line.rfind(',') + 1);
    values += (values.empty() ? "" : ";") + label;
    for (const char* name : {"high", "low", "mid", "rare"}) {
      one_hot += std::string(label == name ? "1" : "0") + (std::string(name) == "rare" ? "\n" : ",");
    }
  }
  Write("onehot.csv", one_hot);
  for (const std::vector<std::string>& source :
       {std::vector<std::string>{"/tof=", "/tofh=", "/tov=" + values},
        std::vector<std::string>{"/tof=onehot.csv", "/tofh=high,low,mid,rare"}}) {
    std::vector<std::string> arguments = Job({"/pp=1"});
    arguments.insert(arguments.end(), source.begin(), source.end());
    ASSERT_EQ(Run(arguments), 0) << Read("run.log");
    EXPECT_EQ(Read("po.csv"), expected) << source.back();
  }
}

TEST_F(ClassificationRun, ASavedClassifierPredictsWhatTheRunThatSavedItPredicted) {
  ASSERT_EQ(Run(Job({"/pp=1", "/nof=net.json"})), 0) << Read("run.log");
  const std::string trained = Read("po.csv");
  ASSERT_EQ(Run({"/nif=net.json", "/pif=valid.csv", "/pifh=a,b", "/pof=po.csv", "/pp=1",
                 "/log=run.log"}),
            0)
      << Read("run.log");
  EXPECT_EQ(Read("po.csv"), trained);
  EXPECT_EQ(Json::parse(Read("net.json"))["version"], 2);
}

TEST_F(ClassificationRun, HeldOutRowsKeepEachClassShareAndBalancedWeightsFollowTheCounts) {
  ASSERT_EQ(Run(Job({"/vf=0.25", "/cw=balanced"})), 0) << Read("run.log");
  const Json summary = Summary();
  const Json& training = summary["metrics"]["training"]["classes"];
  const Json& validation = summary["metrics"]["validation"]["classes"];
  const Json& weights = summary["classification"]["class_weights"];
  ASSERT_EQ(training.size(), 4u);
  for (std::size_t k = 0; k < 4; ++k) {
    const double all = training[k]["support"].get<double>() + validation[k]["support"].get<double>();
    EXPECT_LE(std::fabs(validation[k]["support"].get<double>() - 0.25 * all), 1.0) << k;
    EXPECT_NEAR(weights[k].get<double>(), 120.0 / (4 * training[k]["support"].get<double>()),
                1e-12);
  }
}

TEST_F(ClassificationRun, CrossValidationFoldsHoldEveryClassInProportion) {
  ASSERT_EQ(Run(Job({"/cv=4"})), 0) << Read("run.log");
  const Json summary = Summary();
  const Json& folds = summary["cross_validation"]["per_fold"];
  ASSERT_EQ(folds.size(), 4u);
  const Json& all = summary["metrics"]["training"]["classes"];
  double accuracy = 0;
  for (const Json& fold : folds) {
    const Json& classes = fold["metrics"]["validation"]["classes"];
    for (std::size_t k = 0; k < all.size(); ++k) {
      EXPECT_LE(std::fabs(classes[k]["support"].get<double>() - all[k]["support"].get<double>() / 4),
                1.0);
    }
    accuracy += fold["metrics"]["validation"]["accuracy"].get<double>() / 4;
  }
  EXPECT_NEAR(summary["cross_validation"]["mean"]["validation"]["accuracy"].get<double>(), accuracy,
              1e-12);
}

TEST_F(ClassificationRun, BadInputsEndTheRunWithOneLineAndWriteNothing) {
  Write("one.csv", "kind\nx\nx\nx\n");
  Write("vbad.csv", "a,b,kind\n0.1,0.2,low\n0.5,0.5,purple\n");
  Write("notonehot.csv", "p,q\n1,0\n1,1\n0,1\n");
  struct Case {
    std::vector<std::string> options;
    std::string line;
  };
  const Case cases[] = {
      {{"/task=clustering"}, "The Parameter '/task' must be regression or classification: clustering"},
      {{"/pp=2"}, "The Parameter '/pp' must be 0 or 1: 2"},
      {{"/cw=low"}, "The class weight \"low\" of /cw is not LABEL:WEIGHT (or /cw=balanced)"},
      {{"/cw=low:-1"}, "The class weight \"low:-1\" of /cw does not give a positive number"},
      {{"/cw=purple:2"}, "The class \"purple\" of /cw is not a class of the training outputs"},
      {{"/tif=", "/tifh=", "/tiv=1;2;3", "/tof=one.csv", "/tofh=kind"},
       "The training outputs hold one class only (x); a classification job needs two classes at "
       "least"},
      {{"/vif=vbad.csv", "/vifh=a,b", "/vof=vbad.csv", "/vofh=kind"},
       "The validation label \"purple\" is not a class of the training outputs"},
      {{"/tof=notonehot.csv", "/tofh=p,q", "/tif=", "/tifh=", "/tiv=1;2;3"},
       "Invalid data. Values must be numerical. File: ''Training Outputs''"},
      {{"/task=regression", "/pp=1"},
       "The Parameters '/task=regression' and '/pp' cannot be used together."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    fs::remove(folder_ / "run.log");
    EXPECT_EQ(Run(Job(c.options)), 1);
    const std::vector<std::string> log = Log();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), c.line);
    EXPECT_FALSE(Exists("po.csv"));
  }
}

}  // namespace
}  // namespace tarvex::network
