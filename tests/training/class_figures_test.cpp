// The classification figures against scikit-learn's: random cases of several class counts and
// sizes, with ties, absent classes, perfect, worst and uniform guesses, go with Tarvex's figures
// to check_class_figures.py, which recomputes and compares them.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <limits>
#include <numeric>
#include <optional>
#include <random>
#include <tuple>

#include "job/failure.h"
#include "tests/support/test_support.h"
#include "training/class_figures.h"

namespace tarvex::training {
namespace {

using Json = nlohmann::json;

enum class Guess { kNoisy, kCoarse, kPerfect, kWorst, kUniform };
// The actual classes are drawn from all classes, from all but the middle one, or are the last.
enum class Present { kAll, kAllButOne, kOnlyOne };

// Raw draws of mt19937_64, whose sequence the standard fixes (its distributions are not).
std::mt19937_64 draw(31);
double Unit() { return static_cast<double>(draw() >> 11) * 0x1p-53; }

double Weight(Guess guess, int c, int k, int classes) {
  const bool right = c == k;
  switch (guess) {
    case Guess::kNoisy:
      return Unit() * Unit() * Unit() * (right ? 1 + 3 * Unit() : 1);
    case Guess::kCoarse: {  // few distinct values: ties, and probabilities on bin edges
      const auto base = static_cast<double>(draw() % 4);
      return base + (right ? static_cast<double>(draw() % 3) : 0);
    }
    case Guess::kPerfect:
      return right;
    case Guess::kWorst:
      return c == (k + 1) % classes;
    case Guess::kUniform:
      return 1;
  }
  return 0;
}

Json Value(const std::optional<double>& value) { return value ? Json(*value) : Json(); }

// The rows and their figures, the figures as arrays in the order of their declaration.
Json Case(int classes, int count, Guess guess, Present present) {
  std::vector<int> actual;
  std::vector<double> probabilities;
  for (int i = 0; i < count; ++i) {
    int k = static_cast<int>(draw() % static_cast<unsigned>(classes));
    if (present == Present::kAllButOne && k == classes / 2) k = (k + 1) % classes;
    actual.push_back(present == Present::kOnlyOne ? classes - 1 : k);
    std::vector<double> weights;
    for (int c = 0; c < classes; ++c) weights.push_back(Weight(guess, c, actual.back(), classes));
    const double sum = std::accumulate(weights.begin(), weights.end(), 0.0);
    for (double w : weights) probabilities.push_back(sum == 0 ? 1.0 / classes : w / sum);
  }
  const ClassificationFigures f = ComputeClassificationFigures(actual, probabilities, classes);
  Json of_classes = Json::array();
  for (const ClassFigures& c : f.classes) {
    Json roc = Json::array(), bins = Json::array();
    for (const RocPoint& p : c.roc) roc.push_back({p.false_positive_rate, p.true_positive_rate});
    for (const ReliabilityBin& b : c.reliability) {
      bins.push_back({b.low, b.high, b.rows, b.mean_probability, b.observed_frequency});
    }
    of_classes.push_back({c.precision, c.recall, c.f1, c.support, Value(c.auc), roc, bins});
  }
  return {
      classes, actual, probabilities,
      Json::array({f.rows, f.accuracy, f.error_rate, f.majority_error_rate, f.balanced_accuracy,
                   f.log_loss, f.macro_f1, Value(f.kappa), Value(f.auc), f.confusion, of_classes})};
}

TEST(ClassFigures, AgreeWithScikitLearn) {
  Json cases = Json::array();
  for (int classes : {2, 3, 5, 10}) {
    for (int count : {1, 2, 9, 60, 700}) {
      for (Guess guess :
           {Guess::kNoisy, Guess::kCoarse, Guess::kPerfect, Guess::kWorst, Guess::kUniform}) {
        for (Present present : {Present::kAll, Present::kAllButOne, Present::kOnlyOne}) {
          cases.push_back(Case(classes, count, guess, present));
        }
      }
    }
  }
  // Many rows: a plain running sum of the log loss would drift from numpy's by more than 1e-12.
  for (Guess guess : {Guess::kNoisy, Guess::kCoarse, Guess::kUniform}) {
    cases.push_back(Case(3, 200000, guess, Present::kAll));
  }
  const testing::TempFolder folder;
  testing::WriteFile(folder / "cases.json", cases.dump());
  const testing::RunResult result = testing::RunProgram(
      "/usr/bin/python3",
      {(testing::SourceFolder() / "tests/training/check_class_figures.py").string(),
       (folder / "cases.json").string()});
  EXPECT_EQ(result.exit_status, 0) << result.standard_error;
  EXPECT_TRUE(result.standard_output.ends_with(std::to_string(cases.size()) + " cases agree\n"))
      << result.standard_output;
  std::cout << result.standard_output;
}

// A class, a row width or a probability that does not fit would read past the rows or rank NaNs.
TEST(ClassFigures, RowsThatDoNotFitAreRefused) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  using Rows = std::tuple<std::vector<int>, std::vector<double>, int>;
  for (const auto& [actual, probabilities, classes] :
       std::vector<Rows>{{{0}, {1.0}, 1},
                         {{}, {}, 2},
                         {{0, 1}, {0.5, 0.5, 1.0}, 2},
                         {{2}, {0.5, 0.5}, 2},
                         {{-1}, {0.5, 0.5}, 2},
                         {{0}, {nan, 0.5}, 2},
                         {{0}, {1.5, -0.5}, 2}}) {
    EXPECT_THROW(ComputeClassificationFigures(actual, probabilities, classes), job::Failure)
        << actual.size() << " rows, " << probabilities.size() << " probabilities";
  }
}

}  // namespace
}  // namespace tarvex::training
