// Cross-validation through the built program: the folds against separate jobs on the same rows,
// the final network against the job without folds, one thread against several, and bad options;
// the fold draw and the task runner as properties.
#include <nlohmann/json.hpp>

#include <sys/resource.h>

#include <cmath>
#include <set>
#include <sstream>
#include <stdexcept>

#include "platform/parallel.h"
#include "tests/support/tarvex_run.h"
#include "training/cross_validation.h"
#include "training/row_draw.h"

namespace tarvex::network {

using training::FoldPositions;
using training::kUnseededDraw;
namespace {

using Json = nlohmann::json;
using job::Index;
using tarvex::testing::TarvexRun;
namespace fs = std::filesystem;

TEST(FoldDraw, FoldsCoverEveryRowOnce) {
  for (const auto& [count, folds] : std::vector<std::pair<Index, std::int32_t>>{
           {2, 2}, {3, 2}, {10, 3}, {40, 4}, {40, 40}, {97, 7}, {120, 10}, {1000, 13}}) {
    for (const std::uint64_t seed : {std::uint64_t{0}, std::uint64_t{7}, kUnseededDraw}) {
      const auto parts = FoldPositions(count, folds, seed);
      ASSERT_EQ(parts.size(), static_cast<size_t>(folds));
      std::vector<int> seen(static_cast<size_t>(count));
      for (size_t fold = 0; fold < parts.size(); ++fold) {
        // Sizes differ by one at most, the larger folds first; rows keep their order.
        EXPECT_EQ(static_cast<Index>(parts[fold].size()),
                  count / folds + (static_cast<Index>(fold) < count % folds ? 1 : 0));
        EXPECT_TRUE(std::is_sorted(parts[fold].begin(), parts[fold].end()));
        for (Index position : parts[fold]) ++seen.at(static_cast<size_t>(position));
      }
      EXPECT_EQ(seen, std::vector<int>(static_cast<size_t>(count), 1)) << count << " " << folds;
      EXPECT_EQ(FoldPositions(count, folds, seed), parts);
    }
    if (count >= 10 && folds < count) {
      EXPECT_NE(FoldPositions(count, folds, 1), FoldPositions(count, folds, 2));
    }
  }
}

// Whatever the number of threads, every task runs once and the failure passed on is that of the
// lowest task that failed.
TEST(TaskRunner, ResultsAndFailureDoNotDependOnThreads) {
  for (const size_t threads : {1, 2, 3, 8, 40}) {
    std::vector<int> runs(20);
    platform::RunTasks(runs.size(), threads, [&](size_t task) { ++runs[task]; });
    EXPECT_EQ(runs, std::vector<int>(20, 1)) << threads;
    for (int trial = 0; trial < 20; ++trial) {
      try {
        platform::RunTasks(20, threads, [&](size_t task) {
          if (task == 5 || task == 9 || task == 19) throw std::runtime_error(std::to_string(task));
        });
        ADD_FAILURE() << "no failure passed on";
      } catch (const std::runtime_error& failure) {
        EXPECT_STREQ(failure.what(), "5") << threads;
      }
    }
  }
  EXPECT_GE(platform::UsableCores(), 1u);
}

class CrossValidationRun : public TarvexRun {
 protected:
  CrossValidationRun() {
    // Two outputs, a smooth function and one with a few levels; lines kept as text, so that
    // separate jobs can be given exactly the same rows.
    for (int r = 0; r < kRows; ++r) {
      const double a = (r * 7 % 31) / 30.0, b = (r * 11 % 29) / 28.0;
      std::ostringstream in, out;
      in.precision(17);
      out.precision(17);
      in << a << "\t" << b;
      out << std::sin(3 * a) * 20 + b << "\t" << (r % 3);
      input_lines_.push_back(in.str());
      output_lines_.push_back(out.str());
    }
    WriteLines("ti.txt", input_lines_, {});
    WriteLines("to.txt", output_lines_, {});
    Write("pi.txt", "0.1\t0.2\n0.5\t0.5\n");
  }
  // The lines at the positions (or all but them, when excluded).
  void WriteLines(const std::string& name, const std::vector<std::string>& lines,
                  const std::vector<Index>& positions, bool excluded = true) {
    std::string text;
    for (Index r = 0; r < static_cast<Index>(lines.size()); ++r) {
      const bool listed = std::find(positions.begin(), positions.end(), r) != positions.end();
      if (listed != excluded) text += lines[static_cast<size_t>(r)] + "\n";
    }
    Write(name, text);
  }
  static std::vector<std::string> Job(std::vector<std::string> more) {
    std::vector<std::string> arguments = {
        "/tif=ti.txt", "/tof=to.txt", "/pif=pi.txt",       "/pof=po.txt",    "/log=run.log",
        "/sd=5",       "/ep=300",     "/sof=summary.json", "/lcf=curve.csv", "/nof=net.json"};
    arguments.insert(arguments.end(), more.begin(), more.end());
    return arguments;
  }
  Json Summary() { return Json::parse(Read("summary.json")); }
  // The curve as columns by name, the values as written (empty where a training kept none).
  std::map<std::string, std::vector<std::string>> Curve() {
    std::istringstream text(Read("curve.csv"));
    std::string line;
    std::getline(text, line);
    std::vector<std::string> names;
    std::istringstream header(line.substr(0, line.size() - 1));
    for (std::string name; std::getline(header, name, ',');) names.push_back(name);
    std::map<std::string, std::vector<std::string>> columns;
    while (std::getline(text, line)) {
      std::istringstream values(line.substr(0, line.size() - 1) + ",");
      std::string value;
      for (const std::string& name : names) {
        std::getline(values, value, ',');
        columns[name].push_back(value);
      }
    }
    return columns;
  }
  // Everything that does not depend on the clock: predictions, curve, network, summary, log.
  std::vector<std::string> Outputs() {
    Json summary = Summary();
    summary["training"].erase("seconds");
    for (Json& fold : summary["cross_validation"]["per_fold"]) fold.erase("seconds");
    Json network = Json::parse(Read("net.json"));
    network["training"].erase("saved");
    std::vector<std::string> outputs = {Read("po.txt"), Read("curve.csv"), network.dump(),
                                        summary.dump()};
    for (std::string entry : Log()) {
      const size_t time = entry.find("Training Time: ");
      if (time != std::string::npos) entry.erase(time, 35);
      outputs.push_back(entry);
    }
    return outputs;
  }

  static constexpr int kRows = 42;
  std::vector<std::string> input_lines_, output_lines_;
};

// Each fold is the job that trains on the other folds' rows with that fold as validation data:
// the same epochs, figures and curve to the bit. The mean and deviation are those that Python's
// statistics module computes from the folds' figures.
TEST_F(CrossValidationRun, FoldsAreSeparateJobsOnTheSameRows) {
  ASSERT_EQ(Run(Job({"/cv=4", "/es=40"})), 0);
  const Json cv = Summary()["cross_validation"];
  const auto curve = Curve();
  ASSERT_EQ(cv["folds"], 4);
  const auto folds = FoldPositions(kRows, 4, 5);
  std::set<std::string> stops;
  for (size_t fold = 0; fold < folds.size(); ++fold) {
    WriteLines("fti.txt", input_lines_, folds[fold]);
    WriteLines("fto.txt", output_lines_, folds[fold]);
    WriteLines("fvi.txt", input_lines_, folds[fold], false);
    WriteLines("fvo.txt", output_lines_, folds[fold], false);
    ASSERT_EQ(
        Run({"/tif=fti.txt", "/tof=fto.txt", "/vif=fvi.txt", "/vof=fvo.txt", "/pif=pi.txt",
             "/pof=fpo.txt", "/sd=5", "/ep=300", "/es=40", "/sof=fold.json", "/lcf=fold.csv"}),
        0);
    const Json separate = Json::parse(Read("fold.json"));
    const Json& entry = cv["per_fold"][fold];
    EXPECT_EQ(entry["fold"], fold + 1);
    EXPECT_EQ(entry["training_rows"], separate["data"]["training_inputs"]["rows"]);
    EXPECT_EQ(entry["validation_rows"], folds[fold].size());
    for (const char* key : {"epochs", "best_epoch", "stop"}) {
      EXPECT_EQ(entry[key], separate["training"][key]) << key << " of fold " << fold + 1;
    }
    stops.insert(entry["stop"].get<std::string>());
    EXPECT_EQ(entry["metrics"], separate["metrics"]) << "fold " << fold + 1;
    // The fold's columns of the curve, on the lines of its epochs, are the separate job's curve.
    std::istringstream text(Read("fold.csv"));
    std::string line;
    std::getline(text, line);
    std::string expected, seen;
    while (std::getline(text, line)) {
      std::vector<std::string> values;
      std::istringstream fields(line.substr(0, line.size() - 1));
      for (std::string value; std::getline(fields, value, ',');) values.push_back(value);
      expected +=
          values[0] + "," + values[1] + "," + values[2] + "," + values[3] + "," + values[4] + ";";
    }
    const std::string prefix = "fold_" + std::to_string(fold + 1) + "_";
    for (size_t row = 0; row < curve.at("epoch").size(); ++row) {
      if (curve.at(prefix + "training_rmse_1")[row].empty()) continue;
      seen += curve.at("epoch")[row] + "," + curve.at(prefix + "training_rmse_1")[row] + "," +
              curve.at(prefix + "training_rmse_2")[row] + "," +
              curve.at(prefix + "validation_rmse_1")[row] + "," +
              curve.at(prefix + "validation_rmse_2")[row] + ";";
    }
    EXPECT_EQ(seen, expected) << "fold " << fold + 1;
  }
  EXPECT_TRUE(stops.contains("early_stop"));  // each fold on its own fold

  Write("fold_statistics.py", R"(import json, statistics, sys
cv = json.load(open(sys.argv[1]))["cross_validation"]
for rows in ("training", "validation"):
    for column in range(2):
        for key in ("rmse", "mae", "r2"):
            values = [f["metrics"][rows][column][key] for f in cv["per_fold"]]
            for name, value in (("mean", statistics.fmean(values)),
                                ("standard_deviation", statistics.stdev(values))):
                got = cv[name][rows][column][key]
                assert abs(got - value) <= 1e-14 * max(1, abs(value)), (rows, key, name, got, value)
print("ok")
)");
  testing::RunOptions options;
  options.working_folder = folder_.path();
  const testing::RunResult python =
      testing::RunProgram("/usr/bin/python3", {"fold_statistics.py", "summary.json"}, options);
  EXPECT_EQ(python.standard_output, "ok\n") << python.standard_error;
}

// The final network is the job's without /cv, to the bit: predictions, network file, training
// report and curve; and a job without /cv writes nothing of it into its summary.
TEST_F(CrossValidationRun, FinalNetworkIsThatOfTheJobWithoutFolds) {
  ASSERT_EQ(Run(Job({})), 0);
  const std::vector<std::string> plain = Outputs();
  const Json plain_summary = Summary();
  EXPECT_FALSE(plain_summary.contains("cross_validation"));
  EXPECT_FALSE(plain_summary["options"].contains("cv"));
  const auto plain_curve = Curve();
  fs::remove(folder_ / "run.log");

  ASSERT_EQ(Run(Job({"/cv=3", "/es=40"})), 0);
  const std::vector<std::string> folds = Outputs();
  EXPECT_EQ(folds[0], plain[0]);
  EXPECT_EQ(folds[2], plain[2]);
  EXPECT_EQ(folds[4], plain[4]);  // the training results entry
  ASSERT_EQ(folds.size(), 7u);
  EXPECT_TRUE(folds[5].starts_with("Validation results: \r\n       Cross-validation folds: 3\r\n"))
      << folds[5];
  EXPECT_EQ(folds[6], plain[5]);
  const Json summary = Summary();
  EXPECT_EQ(summary["metrics"], plain_summary["metrics"]);
  EXPECT_EQ(summary["training"]["epochs"], plain_summary["training"]["epochs"]);
  EXPECT_EQ(summary["options"]["cv"], 3);
  // The final network's columns hold its curve on its own lines.
  const auto curve = Curve();
  for (const char* column : {"training_rmse_1", "training_rmse_2", "weight_delta"}) {
    std::vector<std::string> own;
    for (const std::string& value : curve.at(column)) {
      if (!value.empty()) own.push_back(value);
    }
    EXPECT_EQ(own, plain_curve.at(column)) << column;
  }
}

// The folds train on as many threads as the process may use cores; one core gives the same
// bytes.
TEST_F(CrossValidationRun, OneThreadOrSeveralGiveTheSameBytes) {
  const std::vector<std::string> job = Job({"/cv=7", "/es=30"});
  ASSERT_EQ(Run(job), 0);
  const std::vector<std::string> several = Outputs();
  fs::remove(folder_ / "run.log");
  std::vector<std::string> arguments = {"-c", "0", program_.string()};
  arguments.insert(arguments.end(), job.begin(), job.end());
  testing::RunOptions options;
  options.working_folder = folder_.path();
  options.environment = {{"LC_ALL", "C"}};
  const testing::RunResult one = testing::RunProgram("/usr/bin/taskset", arguments, options);
  ASSERT_EQ(one.exit_status, 0) << one.standard_error;
  EXPECT_EQ(Outputs(), several);
  if (platform::UsableCores() < 2) std::cout << "Only one core here: both runs had one thread.\n";

  // A process that may not start a thread trains every fold on its own thread. Not under the
  // sanitizers: the leak check at exit needs a thread of its own.
  if (testing::kSanitized) return;
  for (const char* name : {"po.txt", "curve.csv", "net.json", "summary.json", "run.log"}) {
    fs::remove(folder_ / name);
  }
  fs::permissions(folder_.path(), fs::perms::all);
  options.unprivileged = true;
  options.limits = {{RLIMIT_NPROC, 1}};
  const testing::RunResult limited = testing::RunProgram(program_, job, options);
  if (limited.exit_status == testing::kCouldNotDropPrivileges) return;
  ASSERT_EQ(limited.exit_status, 0) << limited.standard_error;
  EXPECT_EQ(Outputs(), several);
}

// The trainings of a cross-validation share the bound of one curve, and the folds' charts the
// points of one chart: the curve file and the report stay the size of a job without folds.
TEST_F(CrossValidationRun, CurveAndReportDoNotGrowWithTheFolds) {
  ASSERT_EQ(Run(Job({"/ep=24000", "/n=2", "/rof=r.html", "/vf=0.2"})), 0);
  const size_t curve = Read("curve.csv").size(), report = Read("r.html").size();
  ASSERT_EQ(Run(Job({"/ep=24000", "/n=2", "/rof=r.html", "/cv=9"})), 0);
  EXPECT_LT(Read("curve.csv").size(), 2 * curve);
  EXPECT_LT(Read("r.html").size(), 2 * report);
  EXPECT_EQ(Summary()["cross_validation"]["per_fold"][8]["epochs"], 24000);
}

TEST_F(CrossValidationRun, BadOptionsEndWithOneLine) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"/cv=1"}, "The Parameter '/cv' must be a whole number of folds, 2 or more: 1"},
      {{"/cv=2.5"}, "The Parameter '/cv' must be a whole number of folds, 2 or more: 2.5"},
      {{"/cv=x"}, "The Parameter '/cv' must be a whole number of folds, 2 or more: x"},
      {{"/cv=43"},
       "The Parameter '/cv' asks for 43 folds, more than there are training rows;   Traning "
       "Inputs Array(42,2)"},
      {{"/cv=3", "/vf=0.2"}, "The Parameters '/cv' and '/vf' cannot be used together."},
      {{"/cv=3", "/vif=ti.txt", "/vof=to.txt"},
       "The Parameters '/cv' and '/vif' cannot be used together."},
      {{"/cv=3", "/nif=net.json", "/nof=", "/lcf="},
       "The Parameters '/nif' and '/cv' cannot be used together."},
  };
  for (const auto& [more, line] : cases) {
    fs::remove(folder_ / "run.log");
    EXPECT_EQ(Run(Job(more)), 1) << line;
    EXPECT_EQ(Log(), std::vector<std::string>{line});
    EXPECT_FALSE(Exists("po.txt")) << line;
    EXPECT_EQ(Summary()["failure"], line);
  }
  // As many folds as rows: every fold validates on one row.
  ASSERT_EQ(Run(Job({"/cv=42", "/ep=20"})), 0);
  EXPECT_EQ(Summary()["cross_validation"]["per_fold"][41]["validation_rows"], 1);
}

}  // namespace
}  // namespace tarvex::network
