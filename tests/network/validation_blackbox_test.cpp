// Validation data, early stopping, the error figures, the learning curve and the run summary,
// through the built program; the figures checked against Python computing them from README's
// prediction program.
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <set>
#include <sstream>
#include <tuple>

#include "tests/support/tarvex_run.h"

namespace tarvex::network {
namespace {

using Json = nlohmann::json;
using tarvex::testing::TarvexRun;
namespace fs = std::filesystem;

class ValidationRun : public TarvexRun {
 protected:
  ValidationRun() {
    // Two outputs: a smooth function and a constant (whose R^2 has no value). Validation rows
    // lie partly outside the training range.
    auto rows = [](int count, int offset, std::string& inputs, std::string& outputs) {
      std::ostringstream in, out;
      in.precision(17);
      out.precision(17);
      for (int r = offset; r < offset + count; ++r) {
        const double a = (r * 7 % 31) / 30.0, b = (r * 11 % 29) / 28.0;
        in << a << "\t" << b << "\n";
        out << std::sin(3 * a) * 20 + b << "\t" << 4 << "\n";
      }
      inputs = in.str();
      outputs = out.str();
    };
    std::string inputs, outputs;
    rows(40, 0, inputs, outputs);
    Write("ti.txt", inputs);
    Write("to.txt", outputs);
    rows(12, 40, inputs, outputs);
    Write("vi.txt", inputs);
    Write("vo.txt", outputs);
    Write("pi.txt", "0.1\t0.2\n0.5\t0.5\n");
  }
  static std::vector<std::string> Job(std::vector<std::string> more) {
    std::vector<std::string> arguments = {"/tif=ti.txt", "/tof=to.txt",  "/pif=pi.txt",
                                          "/pof=po.txt", "/log=run.log", "/sof=summary.json"};
    arguments.insert(arguments.end(), more.begin(), more.end());
    return arguments;
  }
  Json Summary() { return Json::parse(Read("summary.json")); }
  // The curve's lines as numbers, without the header.
  std::vector<std::vector<double>> Curve(const std::string& name = "curve.csv") {
    std::vector<std::vector<double>> lines;
    std::istringstream text(Read(name));
    std::string line;
    std::getline(text, line);
    while (std::getline(text, line)) {
      lines.emplace_back();
      std::istringstream values(line);
      for (std::string value; std::getline(values, value, ',');) {
        lines.back().push_back(std::strtod(value.c_str(), nullptr));  // subnormal ones too
      }
    }
    return lines;
  }
};

// Validation data only watches: the training, its report and the predictions are those of the
// same job without it, and the run without any new option writes nothing new.
TEST_F(ValidationRun, ValidationDataChangesNothingOfTheTraining) {
  const std::vector<std::string> plain = {"/tif=ti.txt", "/tof=to.txt",  "/pif=pi.txt",
                                          "/pof=po.txt", "/log=run.log", "/ep=300"};
  ASSERT_EQ(Run(plain), 0);
  const std::vector<std::string> plain_log = Log();
  const std::string plain_predictions = Read("po.txt");
  ASSERT_EQ(plain_log.size(), 2u);
  fs::remove(folder_ / "run.log");

  ASSERT_EQ(Run(Job({"/ep=300", "/vif=vi.txt", "/vof=vo.txt", "/lcf=curve.csv"})), 0);
  const std::vector<std::string> log = Log();
  ASSERT_EQ(log.size(), 3u);
  auto without_time = [](std::string entry) {
    return entry.erase(entry.find("Training Time: "), 35);
  };
  EXPECT_EQ(without_time(log[0]), without_time(plain_log[0]));
  EXPECT_TRUE(log[1].starts_with("Validation results: \r\n")) << log[1];
  EXPECT_EQ(log[2], plain_log[1]);
  EXPECT_EQ(Read("po.txt"), plain_predictions);
  // Without early stopping the network kept is the last one, so its validation RMSE is the
  // curve's last.
  const std::vector<std::vector<double>> curve = Curve();
  ASSERT_EQ(curve.size(), 300u);
  const Json summary = Summary();
  EXPECT_EQ(summary["metrics"]["validation"][0]["rmse"].get<double>(), curve.back()[3]);
  EXPECT_EQ(summary["metrics"]["validation"][1]["r2"], nullptr);
  EXPECT_EQ(summary["training"]["best_epoch"].get<int>(),
            1 + std::min_element(curve.begin(), curve.end(), [](auto& a, auto& b) {
              return a[3] < b[3];
            }) - curve.begin());
}

TEST_F(ValidationRun, SameJobTwiceGivesTheSameFiles) {
  const std::vector<std::string> job =
      Job({"/ep=400", "/vf=0.25", "/es=20", "/sd=7", "/lcf=curve.csv", "/nof=net.json"});
  std::vector<std::string> files[2];
  for (auto& kept : files) {
    ASSERT_EQ(Run(job), 0);
    Json summary = Summary();
    summary["training"].erase("seconds");
    kept = {Read("po.txt"), Read("curve.csv"), summary.dump()};
  }
  EXPECT_EQ(files[0], files[1]);
  // Another seed draws other weights and other rows.
  ASSERT_EQ(Run(Job({"/ep=400", "/vf=0.25", "/es=20", "/sd=8", "/lcf=curve.csv"})), 0);
  EXPECT_NE(Read("curve.csv"), files[0][1]);
}

// With early stopping the network kept is the best epoch's: the curve's validation error there
// is the summary's figure to the bit, and the stop comes the patience after it.
TEST_F(ValidationRun, EarlyStopKeepsTheBestEpoch) {
  std::set<std::string> stops;
  for (const std::vector<std::string>& more :
       {std::vector<std::string>{"/es=5"}, {"/es=100", "/lr=0.05"}, {"/es=300"}}) {
    std::vector<std::string> job =
        Job({"/ep=3000", "/vif=vi.txt", "/vof=vo.txt", "/lcf=curve.csv"});
    job.insert(job.end(), more.begin(), more.end());
    ASSERT_EQ(Run(job), 0);
    const int patience = std::stoi(more[0].substr(4));
    const Json summary = Summary();
    const int best = summary["training"]["best_epoch"];
    const int last = summary["training"]["epochs"];
    stops.insert(summary["training"]["stop"]);
    const std::vector<std::vector<double>> curve = Curve();
    ASSERT_EQ(curve.back()[0], last);
    if (summary["training"]["stop"] == "early_stop") {
      EXPECT_EQ(last - best, patience) << more[0];
    } else {
      EXPECT_LT(last - best, patience) << more[0];
    }
    const auto best_line =
        std::find_if(curve.begin(), curve.end(), [best](auto& line) { return line[0] == best; });
    ASSERT_NE(best_line, curve.end());
    EXPECT_EQ((*best_line)[3], summary["metrics"]["validation"][0]["rmse"].get<double>());
    for (const auto& line : curve) EXPECT_GE(line[3], (*best_line)[3]) << line[0];
  }
  EXPECT_EQ(stops, (std::set<std::string>{"early_stop", "epoch_limit"}));
}

// The figures as a user would compute them by hand: README's program predicts the rows from the
// saved network, Python computes RMSE, MAE and R^2; also for a saved network evaluated later.
TEST_F(ValidationRun, FiguresAreThoseOfThePredictionsOfTheSavedNetwork) {
  const std::string readme = testing::ReadFile(testing::SourceFolder() / "README.md");
  const size_t start = readme.find("```python\n") + 10;
  Write("predict.py", readme.substr(start, readme.find("```", start) - start));
  const std::string check =
      testing::ReadFile(testing::SourceFolder() / "tests/network/check_figures.py");
  Write("check_figures.py", check);
  testing::RunOptions options;
  options.working_folder = folder_.path();
  auto python = [&](const std::vector<std::string>& arguments) {
    testing::RunResult result = testing::RunProgram("/usr/bin/python3", arguments, options);
    EXPECT_EQ(result.exit_status, 0) << result.standard_error << result.standard_output;
    return result.standard_output;
  };

  ASSERT_EQ(Run(Job({"/ep=500", "/vif=vi.txt", "/vof=vo.txt", "/es=30", "/nof=net.json"})), 0);
  Write("pt.txt", python({"predict.py", "net.json", "ti.txt"}));
  Write("pv.txt", python({"predict.py", "net.json", "vi.txt"}));
  EXPECT_EQ(python({"check_figures.py", "summary.json", "training", "pt.txt", "to.txt"}), "2\n");
  EXPECT_EQ(python({"check_figures.py", "summary.json", "validation", "pv.txt", "vo.txt"}), "2\n");

  ASSERT_EQ(Run({"/nif=net.json", "/pif=pi.txt", "/pof=po.txt", "/log=run.log", "/vif=vi.txt",
                 "/vof=vo.txt", "/sof=summary.json"}),
            0);
  EXPECT_EQ(Summary()["metrics"]["training"], nullptr);
  EXPECT_EQ(python({"check_figures.py", "summary.json", "validation", "pv.txt", "vo.txt"}), "2\n");
  const std::vector<std::string> log = Log();
  EXPECT_TRUE(
      log[log.size() - 2].starts_with("Validation results: \r\n       Network Input file: "))
      << log[log.size() - 2];
}

// Held-out rows and trained rows are the training rows, each once, in their order.
TEST_F(ValidationRun, HeldOutRowsAndTrainedRowsAreTheTrainingRows) {
  ASSERT_EQ(Run(Job({"/ep=1", "/vf=0.3"})), 0);
  const Json data = Summary()["data"];
  EXPECT_EQ(data["validation_inputs"]["rows"], 12);  // round(0.3 x 40)
  EXPECT_EQ(data["training_inputs"]["rows"], 28);
  EXPECT_EQ(data["validation_inputs"]["source"], "held_out");
}

// The refit network is the network of a plain job on every training row for the epochs that
// validation found: the same weights, predictions and network file, but for when it was saved.
TEST_F(ValidationRun, RefitIsThePlainJobOnEveryTrainingRow) {
  const std::vector<std::string> watched[] = {
      {"/vf=0.25", "/es=50"}, {"/cv=4"}, {"/cv=3", "/es=40"}, {"/vf=0.3", "/es=auto"}};
  for (const std::vector<std::string>& more : watched) {
    SCOPED_TRACE(::testing::PrintToString(more));
    std::vector<std::string> job = Job({"/ep=3000", "/sd=3", "/refit=1", "/nof=refit.json"});
    job.insert(job.end(), more.begin(), more.end());
    ASSERT_EQ(Run(job), 0) << Read("run.log");
    const std::string refit_predictions = Read("po.txt");
    const Json refit = Summary()["training"]["refit"];
    ASSERT_EQ(refit["rows"], 40);
    const int epochs = refit["epochs"];
    if (more[0] == "/vf=0.25" || more[0] == "/vf=0.3") {
      EXPECT_EQ(epochs, Summary()["training"]["best_epoch"].get<int>());
    } else {
      // The folds' mean best epoch, halves up.
      const Json folds = Summary()["cross_validation"]["per_fold"];
      double sum = 0;
      for (const Json& fold : folds) sum += fold["best_epoch"].get<double>();
      EXPECT_EQ(epochs,
                static_cast<int>(std::floor(sum / static_cast<double>(folds.size()) + 0.5)));
    }
    ASSERT_EQ(Run(Job({"/ep=" + std::to_string(epochs), "/sd=3", "/nof=plain.json"})), 0);
    EXPECT_EQ(Read("po.txt"), refit_predictions);
    Json a = Json::parse(Read("refit.json")), b = Json::parse(Read("plain.json"));
    for (Json* file : {&a, &b}) {
      (*file)["training"].erase("saved");
      (*file)["training"]["options"].erase("ep");
    }
    EXPECT_EQ(a, b);
  }
}

// /es=auto stops at epoch c + max(200, c), where c is the last epoch whose validation error was
// at least 0.1 % below the clear improvement before it; the network kept is the best epoch's.
TEST_F(ValidationRun, AutoPatienceWaitsAsLongAsTheLastClearImprovementTook) {
  // The smooth rows with noise, which 20 hidden neurons learn by heart after a while.
  for (const auto& [from, count, inputs, outputs] :
       {std::tuple{0, 40, "ti.txt", "to.txt"}, std::tuple{40, 12, "vi.txt", "vo.txt"}}) {
    std::ostringstream in, out;
    in.precision(17);
    out.precision(17);
    for (int r = from; r < from + count; ++r) {
      const double a = (r * 7 % 31) / 30.0, b = (r * 11 % 29) / 28.0;
      in << a << "\t" << b << "\n";
      out << std::sin(3 * a) * 20 + b + 8 * ((r * 13 % 17) / 16.0 - 0.5) << "\t" << 4 << "\n";
    }
    Write(inputs, in.str());
    Write(outputs, out.str());
  }
  std::set<std::string> stops;
  for (const char* rate : {"/lr=0.3", "/lr=0.05"}) {
    ASSERT_EQ(Run(Job({"/ep=6000", "/n=20", "/vif=vi.txt", "/vof=vo.txt", "/lcf=curve.csv",
                       "/es=auto", rate})),
              0);
    const Json training = Summary()["training"];
    stops.insert(training["stop"]);
    // The score is the squared RMSE of the first output (the second is constant).
    double clear = INFINITY;
    int clear_epoch = 0;
    const std::vector<std::vector<double>> curve = Curve();
    for (const std::vector<double>& line : curve) {
      if (line[3] * line[3] < clear * (1 - 1e-3)) {
        clear = line[3] * line[3];
        clear_epoch = static_cast<int>(line[0]);
      }
    }
    const int last = training["epochs"];
    EXPECT_EQ(curve.back()[0], last);
    if (training["stop"] == "early_stop") {
      EXPECT_EQ(last, clear_epoch + std::max(200, clear_epoch)) << rate;
    } else {
      EXPECT_LT(last - clear_epoch, std::max(200, clear_epoch)) << rate;
    }
    EXPECT_GE(training["best_epoch"].get<int>(), clear_epoch) << rate;
  }
  EXPECT_TRUE(stops.contains("early_stop"));
}

// The parameter file takes the new options too, and its values keep their letter case.
TEST_F(ValidationRun, ParameterFileTakesTheNewOptions) {
  Write("job.ini",
        "[Parameter]\n/vif=vi.txt\n/vof=vo.txt\n/es=10\n/sd=3\n/ep=50\n/lcf=Curve.csv\n"
        "/sof=Summary.json\n");
  ASSERT_EQ(Run({"/tif=ti.txt", "/tof=to.txt", "/pif=pi.txt", "/pof=po.txt", "/ini=job.ini"}), 0);
  ASSERT_TRUE(Exists("Curve.csv"));
  const Json options = Json::parse(Read("Summary.json"))["options"];
  EXPECT_EQ(options["es"], 10);
  EXPECT_EQ(options["sd"], 3);
  EXPECT_EQ(options["vif"], "vi.txt");
  EXPECT_EQ(options["vf"], nullptr);
}

TEST_F(ValidationRun, FailedRunsSaySoInTheSummary) {
  ASSERT_EQ(Run(Job({"/vif=vi.txt", "/vof=missing.txt"})), 1);
  const Json summary = Summary();
  EXPECT_EQ(summary["status"], "failed");
  EXPECT_EQ(summary["exit_status"], 1);
  EXPECT_EQ(summary["failure"], "File not found: missing.txt");
  EXPECT_EQ(summary["failure"], Log().back());
  EXPECT_EQ(summary["training"], nullptr);
  EXPECT_FALSE(Exists("po.txt"));

  // A network that diverges: the summary says how far training got, and no stop rule.
  ASSERT_EQ(Run(Job({"/vif=vi.txt", "/vof=vo.txt", "/lr=1000", "/af=3"})), 1);
  const Json diverged = Summary();
  EXPECT_EQ(diverged["failure"].get<std::string>().rfind("Overflow", 0), 0u);
  EXPECT_EQ(diverged["training"]["stop"], nullptr);
  EXPECT_EQ(diverged["metrics"]["validation"], nullptr);
}

// Outputs far beyond ordinary magnitudes have finite figures, in the curve and the summary: those
// of the outputs times 2^990 are exactly 2^990 times the plain ones (the training is the same to
// the bit), and those of outputs below the smallest normal number are no longer lost in squares
// that vanish (an RMSE is never below the MAE).
TEST_F(ValidationRun, FiguresOfHugeAndTinyOutputsAreFinite) {
  ASSERT_EQ(Run(Job({"/vif=vi.txt", "/vof=vo.txt", "/lcf=curve.csv"})), 0);
  const Json plain = Summary()["metrics"];
  const std::vector<std::vector<double>> plain_curve = Curve();
  for (const int exponent : {990, -1060}) {
    SCOPED_TRACE(exponent);
    for (const char* name : {"to.txt", "vo.txt"}) {
      std::istringstream lines(Read(name));
      std::ostringstream scaled;
      scaled.precision(17);
      double a, b;
      while (lines >> a >> b)
        scaled << std::ldexp(a, exponent) << "\t" << std::ldexp(b, exponent) << "\n";
      Write(std::string("scaled_") + name, scaled.str());
    }
    ASSERT_EQ(
        Run(Job({"/tof=scaled_to.txt", "/vif=vi.txt", "/vof=scaled_vo.txt", "/lcf=curve.csv"})), 0);
    const Json metrics = Summary()["metrics"];
    for (const char* set : {"training", "validation"}) {
      for (size_t column = 0; column < 2; ++column) {
        const Json& figures = metrics[set][column];
        ASSERT_TRUE(figures["rmse"].is_number() && figures["mae"].is_number()) << figures;
        EXPECT_GE(figures["rmse"].get<double>(), figures["mae"].get<double>()) << set << column;
        if (column == 0) {  // the constant column is predicted exactly
          EXPECT_GT(figures["mae"].get<double>(), 0) << set;
        }
        if (exponent > 0) {
          const Json& before = plain[set][column];
          EXPECT_EQ(figures["rmse"].get<double>(),
                    std::ldexp(before["rmse"].get<double>(), exponent));
          EXPECT_EQ(figures["mae"].get<double>(),
                    std::ldexp(before["mae"].get<double>(), exponent));
          EXPECT_EQ(figures["r2"], before["r2"]);
        }
      }
    }
    const std::vector<std::vector<double>> curve = Curve();
    ASSERT_EQ(curve.size(), plain_curve.size());
    for (size_t line = 0; line < curve.size(); ++line) {
      for (size_t field = 1; field + 1 < curve[line].size(); ++field) {
        ASSERT_TRUE(std::isfinite(curve[line][field])) << line << " " << field;
        if (exponent > 0) {
          ASSERT_EQ(curve[line][field], std::ldexp(plain_curve[line][field], exponent));
        }
      }
    }
  }
}

// Every bad value or combination ends the run with its line, writes no output, and the summary
// (where it could be written) says the same.
TEST_F(ValidationRun, BadInputEndsWithOneLine) {
  Write("vi1.txt", "0.5\n0.2\n");
  Write("vi3.txt", "0.5\t0.1\n0.2\t0.3\n0.7\t0.7\n");
  Write("vx.txt", "0.5\tx\n");
  struct Case {
    std::vector<std::string> arguments;
    std::string line;
  };
  const Case cases[] = {
      {{"/vf=1"}, "The Parameter '/vf' must be a fraction between 0 and 1 (both excluded): 1"},
      {{"/vf=0"}, "The Parameter '/vf' must be a fraction between 0 and 1 (both excluded): 0"},
      {{"/vf=abc"}, "The Parameter '/vf' must be a fraction between 0 and 1 (both excluded): abc"},
      {{"/es=-3", "/vf=0.2"},
       "The Parameter '/es' must be a whole number of epochs, 0 or more: -3"},
      {{"/es=2.5", "/vf=0.2"},
       "The Parameter '/es' must be a whole number of epochs, 0 or more: 2.5"},
      {{"/sd=x"}, "The Parameter '/sd' must be a whole number from 0 to 4294967295: x"},
      {{"/sd=-1"}, "The Parameter '/sd' must be a whole number from 0 to 4294967295: -1"},
      {{"/sd=4294967296"},
       "The Parameter '/sd' must be a whole number from 0 to 4294967295: 4294967296"},
      {{"/es=10"},
       "The Parameter '/es' needs validation data: '/vif' and '/vof' (or '/viv' and '/vov'), or "
       "'/vf'."},
      {{"/vf=0.2", "/vif=vi.txt", "/vof=vo.txt"},
       "The Parameters '/vf' and '/vif' cannot be used together."},
      {{"/vif=vi.txt"}, "The Parameter '/vof' is empty."},
      {{"/vov=1,4"}, "The Parameter '/vif' is empty."},
      {{"/vif=vi1.txt", "/vof=vo.txt"},
       "Input and output rows are not aligned. Parameters: ''Training Inputs'' and  "
       "''Validation Inputs''.   Traning Inputs Array(40,2)   Validation Inputs Array(2,1)"},
      {{"/vif=vi.txt", "/vov=1;2"},
       "Input and output rows are not aligned. Parameters: ''Training Outputs'' and  "
       "''Validation Outputs''.   Traning Outputs Array(40,2)   Validation Outputs Array(2,1)"},
      {{"/vif=vi3.txt", "/vof=vo.txt"},
       "Input and output rows are not aligned. Parameters: ''Validation Inputs'' and  "
       "''Validation Outputs''.   Validation Inputs Array(3,2)   Validation Outputs Array(12,2)"},
      {{"/viv=1,x", "/vof=vo.txt"},
       "Invalid data. Values must be numerical. File: ''Validation Inputs''"},
      {{"/vif=vx.txt", "/vof=vo.txt"}, "Invalid data. Values must be numerical. File: 'vx.txt'"},
      {{"/lcf=ti.txt"},
       "File name: ti.txt  The learning curve file is the training inputs (ti.txt); nothing was "
       "written"},
      {{"/lcf=sub"}, "File name: sub  Is a directory"},
      {{"/nif=net.json", "/vf=0.2"}, "The Parameters '/nif' and '/vf' cannot be used together."},
      {{"/es=soon", "/vf=0.2"},
       "The Parameter '/es' must be a whole number of epochs, 0 or more: soon"},
      {{"/refit=2", "/vf=0.2", "/es=5"}, "The Parameter '/refit' must be 0 or 1: 2"},
      {{"/refit=1", "/vf=0.2"},
       "The Parameter '/refit' needs early stopping on held-out rows ('/es' with '/vf') or "
       "cross-validation ('/cv')."},
      {{"/refit=1", "/vif=vi.txt", "/vof=vo.txt", "/es=5"},
       "The Parameter '/refit' needs early stopping on held-out rows ('/es' with '/vf') or "
       "cross-validation ('/cv')."},
      {{"/nif=net.json", "/lcf=curve.csv"},
       "The Parameters '/nif' and '/lcf' cannot be used together."},
      {{"/ens=0"}, "The Parameter '/ens' must be a whole number of networks from 1 to 1000: 0"},
      {{"/ens=1001"},
       "The Parameter '/ens' must be a whole number of networks from 1 to 1000: 1001"},
      {{"/ens=2.5"}, "The Parameter '/ens' must be a whole number of networks from 1 to 1000: 2.5"},
      {{"/ens=3", "/cv=4"}, "The Parameters '/cv' and '/ens' cannot be used together."},
      {{"/ens=3", "/nif=net.json"}, "The Parameters '/nif' and '/ens' cannot be used together."},
  };
  fs::create_directory(folder_ / "sub");
  for (const Case& bad : cases) {
    fs::remove(folder_ / "run.log");
    fs::remove(folder_ / "summary.json");
    std::vector<std::string> arguments = Job(bad.arguments);
    arguments.push_back("/ep=20");
    EXPECT_EQ(Run(arguments), 1) << bad.line;
    EXPECT_EQ(Log(), std::vector<std::string>{bad.line});
    EXPECT_FALSE(Exists("po.txt")) << bad.line;
    EXPECT_EQ(Summary()["failure"], bad.line);
  }
  // A summary that cannot be written fails the run after the predictions were written.
  EXPECT_EQ(Run(Job({"/sof=sub"})), 1);
  EXPECT_EQ(Log().back(), "File name: sub  Is a directory");
  // A summary that would replace one of the job's own files is refused, and so not written.
  EXPECT_EQ(Run(Job({"/sof=to.txt"})), 1);
  EXPECT_EQ(Log().back(),
            "File name: to.txt  The run summary file is the training outputs (to.txt); nothing "
            "was written");
}

}  // namespace
}  // namespace tarvex::network
