// The report through the built program: its charts checked against the data by
// tests/report/check_report.py, which reads them off their axes as a person would and, in the
// plain build, renders the page in a headless Chromium; what a failed, a saved-network and a
// sampled run show; and the report's file rules.
#include <nlohmann/json.hpp>

#include <cmath>
#include <sstream>

#include "tests/support/tarvex_run.h"

namespace tarvex::report {
namespace {

using Json = nlohmann::json;
namespace fs = std::filesystem;

// Rows of two inputs and two outputs (a smooth function and a product), from row offset on.
void Rows(int count, int offset, std::string& inputs, std::string& outputs) {
  std::ostringstream in, out;
  in.precision(17);
  out.precision(17);
  for (int r = offset; r < offset + count; ++r) {
    const double a = (r * 7 % 31) / 30.0, b = (r * 11 % 29) / 28.0;
    in << a << "\t" << b << "\n";
    out << std::sin(3 * a) * 20 + b << "\t" << 5 * a * b << "\n";
  }
  inputs = in.str();
  outputs = out.str();
}

class ReportRun : public testing::TarvexRun {
 protected:
  ReportRun() { WriteRows(60, 20); }
  void WriteRows(int training, int validation) {
    std::string inputs, outputs;
    Rows(training, 0, inputs, outputs);
    Write("ti.txt", inputs);
    Write("to.txt", outputs);
    Rows(validation, training, inputs, outputs);
    Write("vi.txt", inputs);
    Write("vo.txt", outputs);
    Write("pi.txt", "0.1\t0.2\n0.5\t0.5\n");
  }
  static std::vector<std::string> Job(std::vector<std::string> more) {
    std::vector<std::string> arguments = {"/tif=ti.txt",   "/tof=to.txt",     "/pif=pi.txt",
                                          "/pof=po.txt",   "/log=run.log",    "/sof=summary.json",
                                          "/nof=net.json", "/rof=report.html"};
    arguments.insert(arguments.end(), more.begin(), more.end());
    return arguments;
  }
  // The saved network's predictions for the training and the validation rows, as a user gets them.
  void PredictRows() {
    ASSERT_EQ(Run({"/nif=net.json", "/pif=ti.txt", "/pof=pt.txt"}), 0);
    ASSERT_EQ(Run({"/nif=net.json", "/pif=vi.txt", "/pof=pv.txt"}), 0);
  }
  // check_report.py's answer on the report; rendered in the browser too in the plain build (the
  // sanitized one runs the same program, and its test run need not start a browser again).
  std::string Check(std::vector<std::string> more, const std::string& report = "report.html") {
    std::vector<std::string> arguments = {
        (testing::SourceFolder() / "tests/report/check_report.py").string(), report, "--summary",
        "summary.json"};
    arguments.insert(arguments.end(), more.begin(), more.end());
    if (!testing::kSanitized) arguments.push_back("--browser");
    testing::RunOptions options;
    options.working_folder = folder_.path();
    options.alarm_seconds = 300;
    const testing::RunResult result = testing::RunProgram("/usr/bin/python3", arguments, options);
    EXPECT_EQ(result.exit_status, 0) << result.standard_output << result.standard_error;
    return result.standard_output;
  }
  Json Summary() { return Json::parse(Read("summary.json")); }
  std::string Rendered() const { return testing::kSanitized ? "\n" : "; rendered\n"; }
};

TEST_F(ReportRun, ChartsShowTheCurveTheFitAndTheResidualsWhereTheDataPutsThem) {
  // The ".\" rule and the folders created, as for every output.
  ASSERT_EQ(Run(Job({"/vif=vi.txt", "/vof=vo.txt", "/ep=3000", "/es=100", "/lcf=curve.csv",
                     "/rof=.\\reports\\of\\today\\report.html"})),
            0);
  PredictRows();
  const Json summary = Summary();
  const int epochs = summary["training"]["epochs"];
  ASSERT_GT(summary["training"]["best_epoch"].get<int>(), 0);
  const std::string answer = Check({"--curve", "curve.csv", "--training", "pt.txt", "to.txt",
                                    "--validation", "pv.txt", "vo.txt"},
                                   "reports/of/today/report.html");
  EXPECT_TRUE(answer.starts_with("ok: 2 learning curve(s) of " + std::to_string(epochs) +
                                 " epochs; fit of 60 training, 20 validation rows; residuals in"))
      << answer;
  EXPECT_TRUE(answer.ends_with(Rendered())) << answer;
}

TEST_F(ReportRun, ManyRowsAreDrawnAsASampleThatThePageNames) {
  WriteRows(2600, 2300);
  ASSERT_EQ(Run(Job({"/vif=vi.txt", "/vof=vo.txt", "/ep=2", "/lcf=curve.csv"})), 0);
  PredictRows();
  const std::string answer = Check({"--curve", "curve.csv", "--training", "pt.txt", "to.txt",
                                    "--validation", "pv.txt", "vo.txt"});
  EXPECT_TRUE(
      answer.starts_with("ok: 2 learning curve(s) of 2 epochs; fit of 2600 training, "
                         "2300 validation rows"))
      << answer;
}

// With cross-validation each fold's curves have charts of their own, beside the final network's,
// each with the fold's own best epoch and early stop.
TEST_F(ReportRun, FoldsOfACrossValidationHaveCurvesOfTheirOwn) {
  ASSERT_EQ(Run(Job({"/cv=3", "/sd=5", "/ep=400", "/es=40", "/lcf=curve.csv"})), 0);
  ASSERT_EQ(Run({"/nif=net.json", "/pif=ti.txt", "/pof=pt.txt"}), 0);
  const std::string answer = Check({"--curve", "curve.csv", "--training", "pt.txt", "to.txt"});
  EXPECT_TRUE(answer.starts_with(
      "ok: 2 learning curve(s) of 400 epochs; 3 folds' curves; fit of 60 training rows"))
      << answer;
  EXPECT_TRUE(answer.ends_with(Rendered())) << answer;
}

// A run that fails after training shows the curve and the fit it had, and the failure line.
TEST_F(ReportRun, FailedRunShowsWhatItKnew) {
  fs::create_directory(folder_ / "po.txt");
  ASSERT_EQ(Run(Job({"/ep=50", "/lcf=curve.csv"})), 1);
  ASSERT_EQ(Run({"/nif=net.json", "/pif=ti.txt", "/pof=pt.txt"}), 0);
  EXPECT_EQ(Summary()["status"], "failed");
  const std::string answer = Check({"--failure", "OutPredictToFile.  Error: Is a directory",
                                    "--curve", "curve.csv", "--training", "pt.txt", "to.txt"});
  EXPECT_TRUE(answer.starts_with("ok: 2 learning curve(s) of 50 epochs; fit of 60 training rows"))
      << answer;

  // One that fails before training has no chart, only the line and the tables.
  ASSERT_EQ(Run({"/tif=missing.txt", "/tof=to.txt", "/pif=pi.txt", "/pof=p2.txt", "/log=run.log",
                 "/sof=summary.json", "/rof=report.html"}),
            1);
  EXPECT_EQ(Check({"--failure", "missing.txt"}),
            std::string("ok: ") + (testing::kSanitized ? "\n" : "rendered\n"));
}

TEST_F(ReportRun, SavedNetworkShowsItsEvaluationOnTheValidationRows) {
  ASSERT_EQ(Run(Job({"/ep=100"})), 0);
  ASSERT_EQ(Run({"/nif=net.json", "/pif=vi.txt", "/pof=pv.txt", "/vif=vi.txt", "/vof=vo.txt",
                 "/sof=summary.json", "/rof=report.html"}),
            0);
  const std::string answer = Check({"--validation", "pv.txt", "vo.txt"});
  EXPECT_TRUE(answer.starts_with("ok: fit of 20 validation rows; residuals in")) << answer;
  EXPECT_NE(Read("report.html").find("trained nothing, so it has no learning curve"),
            std::string::npos);
}

// Without validation data the report has the training curve and fit, and says why no residuals.
TEST_F(ReportRun, RunWithoutValidationShowsTheTrainingRows) {
  ASSERT_EQ(Run(Job({"/ep=80", "/lcf=curve.csv"})), 0);
  ASSERT_EQ(Run({"/nif=net.json", "/pif=ti.txt", "/pof=pt.txt"}), 0);
  const std::string answer = Check({"--curve", "curve.csv", "--training", "pt.txt", "to.txt"});
  EXPECT_EQ(answer, "ok: 2 learning curve(s) of 80 epochs; fit of 60 training rows" + Rendered());
  EXPECT_NE(Read("report.html").find("The run had no validation rows"), std::string::npos);
}

// A report changes nothing else: the same log, predictions, network and summary as without it.
TEST_F(ReportRun, AReportChangesNothingElseOfTheRun) {
  auto run = [this](bool report) {
    std::vector<std::string> arguments = Job({"/ep=60", "/vf=0.25"});
    if (!report) std::erase(arguments, "/rof=report.html");
    fs::remove(folder_ / "run.log");
    EXPECT_EQ(Run(arguments), 0);
    Json summary = Summary();
    summary["training"]["seconds"] = 0;
    Json network = Json::parse(Read("net.json"));
    network["training"]["saved"] = "";
    return std::tuple{Log(), Read("po.txt"), summary, network};
  };
  const auto without = run(false);
  EXPECT_FALSE(Exists("report.html"));
  EXPECT_EQ(run(true), without);
  EXPECT_TRUE(Exists("report.html"));
}

TEST_F(ReportRun, ReportOverAJobFileIsRefusedAndOneThatCannotBeWrittenFailsTheRun) {
  const std::string inputs = Read("ti.txt");
  ASSERT_EQ(Run(Job({"/rof=ti.txt"})), 1);
  const std::string refused =
      "File name: ti.txt  The report file is the training inputs (ti.txt); nothing was written";
  EXPECT_EQ(Log(), std::vector<std::string>{refused});
  EXPECT_EQ(Read("ti.txt"), inputs);
  EXPECT_EQ(Summary()["failure"], refused);
  EXPECT_FALSE(Exists("po.txt"));

  // The other outputs stand; the summary tells of the report's failure.
  fs::remove(folder_ / "run.log");
  Write("blocker", "");
  ASSERT_EQ(Run(Job({"/ep=20", "/rof=blocker\\report.html"})), 1);
  const std::vector<std::string> log = Log();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), "File name: blocker\\report.html  Not a directory");
  EXPECT_EQ(Summary()["failure"], log.back());
  EXPECT_EQ(Summary()["exit_status"], 1);
  EXPECT_TRUE(Exists("po.txt"));
}

// The heading names the job by the stem of its parameter file, else of its predictions, else of
// its log; check_report.py also checks the heading's figures at a glance against the summary's and,
// rendered, that the charts fill the text column with text that reads at every width.
TEST_F(ReportRun, HeadingNamesTheJobAndItsChartsFillTheColumn) {
  // One output column too: a section's one chart spans the column, two share it.
  std::string one_output;
  for (std::istringstream rows(Read("to.txt")); std::getline(rows, one_output);) {
    Write("to1.txt", (Exists("to1.txt") ? Read("to1.txt") : "") +
                         one_output.substr(0, one_output.find('\t')) + "\n");
  }
  Write("sweep.ini",
        "[Parameter]\n/tif=ti.txt\n/tof=to1.txt\n/pif=pi.txt\n/pof=po.txt\n/log=run.log\n");
  fs::create_directory(folder_ / "out");
  fs::create_directory(folder_ / "logs");
  const std::vector<std::string> outputs = {"/sof=summary.json", "/rof=report.html", "/ep=40",
                                            "/lcf=curve.csv"};
  const struct {
    const char* source;
    std::vector<std::string> options;
    std::string title;
    int columns;
  } cases[] = {
      {"the parameter file", {"/ini=sweep.ini", "/vf=0.25"}, "sweep", 1},
      {"the predictions",
       {"/tif=ti.txt", "/tof=to1.txt", "/pif=pi.txt", "/pof=out\\night.run.csv", "/log=run.log"},
       "night.run",
       1},
      {"the log",
       {"/tif=ti.txt", "/tof=to.txt", "/nof=net.json", "/log=logs\\tuesday.log"},
       "tuesday",
       2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source);
    std::vector<std::string> options = c.options;
    options.insert(options.end(), outputs.begin(), outputs.end());
    ASSERT_EQ(Run(options), 0);
    const std::string answer =
        Check({"--title", c.title, "--curve", "curve.csv", "--axes-only", "fit", "residuals"});
    EXPECT_TRUE(
        answer.starts_with("ok: " + std::to_string(c.columns) + " learning curve(s) of 40 epochs"))
        << answer;
  }
}

// README's example job: its report checked and rendered; the test's picture of it is the one in
// docs/ (build/tests/report-example.png, copied there by hand when the report changes).
TEST_F(ReportRun, ExampleJobReport) {
  fs::copy(testing::SourceFolder() / "examples/data", folder_ / "data");
  fs::create_directory(folder_ / "out");
  ASSERT_EQ(Run({"/tif=data\\ti.txt", "/tof=data\\to.txt", "/pif=data\\pi.txt", "/pof=out\\po.txt",
                 "/log=out\\run.log", "/ep=10000", "/vf=0.2", "/es=1000", "/rof=out\\report.html",
                 "/sof=summary.json", "/lcf=curve.csv"}),
            0);
  // The rows that /vf holds out are the program's to draw: their charts are checked for their
  // axes alone.
  std::vector<std::string> more = {"--curve", "curve.csv", "--axes-only", "fit", "residuals"};
  if (!testing::kSanitized) {
    more.push_back("--screenshot");
    more.push_back(testing::BinFolder().parent_path() / "tests/report-example.png");
  }
  EXPECT_EQ(Check(more, "out/report.html"),
            "ok: 1 learning curve(s) of 3935 epochs; axes of fit-1, residuals-1" + Rendered());
}

// A classifier's page: its curves against the curve file, its confusion matrix and per-class
// table against the summary, its ROC curves enclosing their AUCs, a label holding markup shown as
// text; with three classes and with two (one ROC curve). The three-class page is README's picture
// (docs/report-classification.png, from build/tests/report-classification.png).
TEST_F(ReportRun, ClassifierShowsItsCurvesConfusionClassesRocAndReliability) {
  fs::copy(testing::SourceFolder() / "examples/data", folder_ / "data");
  fs::create_directory(folder_ / "out");
  const std::string parts = Read("data/parts.csv");
  const struct {
    const char* name;
    int classes;
  } cases[] = {{"three classes", 3}, {"two classes", 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // The washers renamed to a label of markup; without the nuts for two classes.
    std::istringstream lines(parts);
    std::string rows, line;
    while (std::getline(lines, line)) {
      if (c.classes == 2 && line.ends_with(",nut")) continue;
      if (line.ends_with(",washer")) line = line.substr(0, line.size() - 6) + "<b>x</b>";
      rows += line + "\n";
    }
    Write("data/labelled.csv", rows);
    ASSERT_EQ(Run({"/task=classification", "/tif=data\\labelled.csv", "/tifh=length,diameter,mass",
                   "/tof=data\\labelled.csv", "/tofh=kind", "/pif=data\\parts_new.csv",
                   "/pifh=length,diameter,mass", "/pof=out\\pred.csv", "/pp=1", "/vf=0.2", "/es=30",
                   "/sd=1", "/log=out\\run.log", "/rof=out\\report.html", "/sof=summary.json",
                   "/lcf=curve.csv"}),
              0);
    const Json summary = Summary();
    ASSERT_EQ(summary["classification"]["classes"].size(), static_cast<std::size_t>(c.classes));
    std::vector<std::string> more = {"--classification", "--curve", "curve.csv"};
    if (!testing::kSanitized && c.classes == 3) {
      more.push_back("--screenshot");
      more.push_back(testing::BinFolder().parent_path() / "tests/report-classification.png");
    }
    const std::string answer = Check(more, "out/report.html");
    EXPECT_EQ(answer, "ok: learning curves of " +
                          std::to_string(summary["training"]["epochs"].get<int>()) +
                          " epochs; confusion of " + std::to_string(c.classes) +
                          " classes; ROC and reliability of " +
                          std::to_string(c.classes == 2 ? 1 : c.classes) + Rendered());
    EXPECT_NE(Read("out/report.html").find("&lt;b&gt;x&lt;/b&gt;"), std::string::npos);
  }
}

}  // namespace
}  // namespace tarvex::report
