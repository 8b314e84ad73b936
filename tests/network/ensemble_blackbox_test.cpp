// Ensembles (/ens) through the built program: each network is the plain job of its seed, the
// ensemble predicts their mean, its file predicts the same, and threads change nothing.
#include <nlohmann/json.hpp>

#include <cmath>
#include <sstream>

#include "platform/parallel.h"
#include "tests/support/tarvex_run.h"

namespace tarvex::network {
namespace {

using Json = nlohmann::json;
using tarvex::testing::TarvexRun;
namespace fs = std::filesystem;

class EnsembleRun : public TarvexRun {
 protected:
  EnsembleRun() {
    std::ostringstream in, out, labels, prediction;
    for (std::ostringstream* text : {&in, &out, &prediction}) text->precision(17);
    for (int r = 0; r < 48; ++r) {
      const double a = (r * 7 % 31) / 30.0, b = (r * 11 % 29) / 28.0;
      in << a << "\t" << b << "\n";
      out << std::sin(3 * a) * 20 + b << "\t" << a * b << "\n";
      labels << (std::sin(3 * a) + b > 0.9 ? "high" : a > 0.5 ? "mid" : "low") << "\n";
      if (r % 4 == 0) prediction << a + 0.05 << "\t" << 1.1 - b << "\n";
    }
    Write("ti.txt", in.str());
    Write("to.txt", out.str());
    Write("labels.txt", labels.str());
    Write("pi.txt", prediction.str());
  }
  static std::vector<std::string> Job(bool classes, std::vector<std::string> more) {
    std::vector<std::string> arguments = {"/tif=ti.txt", "/pif=pi.txt", "/pof=po.txt",
                                          "/log=run.log", "/sof=summary.json"};
    arguments.push_back(classes ? "/tof=labels.txt" : "/tof=to.txt");
    if (classes) arguments.insert(arguments.end(), {"/task=classification", "/pp=1"});
    arguments.insert(arguments.end(), more.begin(), more.end());
    return arguments;
  }
  // The predictions' fields: numbers, a classifier's label first.
  std::vector<std::vector<std::string>> Fields() {
    std::vector<std::vector<std::string>> rows;
    std::istringstream text(Read("po.txt"));
    for (std::string line; std::getline(text, line);) {
      rows.emplace_back();
      std::istringstream fields(line);
      for (std::string field; std::getline(fields, field, '\t');) rows.back().push_back(field);
    }
    return rows;
  }
  Json NetworkFile(const std::string& name) {
    Json file = Json::parse(Read(name));
    file["training"].erase("saved");
    return file;
  }
};

// With one network, /ens is the job without it: the same predictions and network file.
TEST_F(EnsembleRun, AnEnsembleOfOneIsThePlainJob) {
  const std::vector<std::string> jobs[] = {
      {"/ep=300", "/sd=2"}, {"/ep=300"}, {"/ep=3000", "/vf=0.25", "/es=auto", "/refit=1"}};
  for (bool classes : {false, true}) {
    for (const std::vector<std::string>& more : jobs) {
      SCOPED_TRACE(::testing::PrintToString(more) + (classes ? " classes" : ""));
      std::vector<std::string> options = more;
      options.push_back("/nof=plain.json");
      ASSERT_EQ(Run(Job(classes, options)), 0) << Read("run.log");
      const std::string plain = Read("po.txt");
      options.back() = "/nof=one.json";
      options.push_back("/ens=1");
      ASSERT_EQ(Run(Job(classes, options)), 0) << Read("run.log");
      EXPECT_EQ(Read("po.txt"), plain);
      EXPECT_EQ(NetworkFile("one.json"), NetworkFile("plain.json"));
      EXPECT_FALSE(Json::parse(Read("summary.json"))["training"].contains("ensemble"));
    }
  }
}

// Network k of an ensemble is the plain job with /sd plus k: the ensemble predicts the mean of
// their outputs (a classifier the mean of their probabilities, and the label of the largest),
// and its network file predicts exactly what the training run predicted.
TEST_F(EnsembleRun, TheEnsemblePredictsTheMeanOfItsNetworks) {
  constexpr int kMembers = 3;
  for (bool classes : {false, true}) {
    SCOPED_TRACE(classes ? "classes" : "numbers");
    ASSERT_EQ(Run(Job(classes, {"/ep=400", "/sd=5", "/ens=3", "/nof=ensemble.json"})), 0)
        << Read("run.log");
    const std::vector<std::vector<std::string>> ensemble = Fields();
    const std::string predicted = Read("po.txt");
    std::vector<std::string> saved = {"/pif=pi.txt", "/pof=po.txt", "/log=run.log"};
    if (classes) saved.push_back("/pp=1");
    saved.push_back("/nif=ensemble.json");
    ASSERT_EQ(Run(saved), 0);
    EXPECT_EQ(Read("po.txt"), predicted);
    EXPECT_EQ(Json::parse(Read("ensemble.json"))["members"].size(), 3u);
    const Json members = Json::parse(Read("summary.json"))["training"]["ensemble"]["members"];
    ASSERT_EQ(members.size(), 3u);

    std::vector<std::vector<double>> sum(ensemble.size());
    for (int k = 0; k < kMembers; ++k) {
      EXPECT_EQ(members[k]["seed"], 5 + k);
      ASSERT_EQ(Run(Job(classes, {"/ep=400", "/sd=" + std::to_string(5 + k), "/nof=net.json"})), 0);
      saved.back() = "/nif=net.json";
      ASSERT_EQ(Run(saved), 0);
      const std::vector<std::vector<std::string>> member = Fields();
      ASSERT_EQ(member.size(), ensemble.size());
      for (std::size_t r = 0; r < member.size(); ++r) {
        for (std::size_t c = classes ? 1 : 0; c < member[r].size(); ++c) {
          const std::size_t at = c - (classes ? 1 : 0);
          if (sum[r].size() <= at) sum[r].resize(at + 1, 0.0);
          sum[r][at] += std::stod(member[r][c]);
        }
      }
    }
    for (std::size_t r = 0; r < ensemble.size(); ++r) {
      std::size_t largest = 0;
      for (std::size_t c = 0; c < sum[r].size(); ++c) {
        const double mean = sum[r][c] / kMembers;
        EXPECT_NEAR(std::stod(ensemble[r][c + (classes ? 1 : 0)]), mean,
                    1e-12 * std::max(1.0, std::fabs(mean)))
            << "row " << r << " column " << c;
        if (mean > sum[r][largest] / kMembers) largest = c;
      }
      // The classes in code point order.
      if (classes) {
        EXPECT_EQ(ensemble[r][0], (std::vector<std::string>{"high", "low", "mid"}[largest]))
            << "row " << r;
      }
    }
  }
}

// Each network's training depends on its seed alone: one core or several, the same bytes.
TEST_F(EnsembleRun, OneThreadOrSeveralGiveTheSameNetworks) {
  const std::vector<std::string> job =
      Job(false, {"/ep=2000", "/ens=3", "/vf=0.25", "/es=auto", "/refit=1", "/nof=net.json",
                  "/rof=report.html"});
  ASSERT_EQ(Run(job), 0) << Read("run.log");
  // Without /sd the first network starts where the job without /ens does, the others from k.
  const std::string report = Read("report.html");
  EXPECT_NE(report.find("Ensemble network 1: fixed start"), std::string::npos);
  EXPECT_NE(report.find("Ensemble network 3: seed 2"), std::string::npos);
  const std::string predictions = Read("po.txt");
  const Json network = NetworkFile("net.json");
  Json summary = Json::parse(Read("summary.json"));
  const Json members = summary["training"]["ensemble"]["members"];
  ASSERT_EQ(members.size(), 3u);
  for (const Json& member : members) {
    EXPECT_TRUE(member["validation_metrics"][0].contains("rmse")) << member;
    EXPECT_GT(member["refit_epochs"].get<int>(), 0) << member;
  }
  std::vector<std::string> arguments = {"-c", "0", program_.string()};
  arguments.insert(arguments.end(), job.begin(), job.end());
  testing::RunOptions options;
  options.working_folder = folder_.path();
  const testing::RunResult one = testing::RunProgram("/usr/bin/taskset", arguments, options);
  ASSERT_EQ(one.exit_status, 0) << one.standard_error;
  EXPECT_EQ(Read("po.txt"), predictions);
  EXPECT_EQ(NetworkFile("net.json"), network);
  if (platform::UsableCores() < 2) std::cout << "Only one core here: both runs had one thread.\n";
}

}  // namespace
}  // namespace tarvex::network
