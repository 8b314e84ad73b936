#include "training/class_figures.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numeric>

#include "job/failure.h"
#include "job/messages.h"

namespace tarvex::training {

namespace {

double Share(std::int64_t part, std::int64_t whole) {
  return whole == 0 ? 0.0 : static_cast<double>(part) / static_cast<double>(whole);
}

double Mean(const std::vector<double>& values) {
  return std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
}

// A sum that carries the rounding error of each addition (Neumaier's), so that a mean over many
// rows is the correctly rounded one whatever the order: scikit-learn's numpy adds pairwise, and a
// plain running sum of 100,000 rows drifts from that by more than 1e-12.
class CompensatedSum {
 public:
  void Add(double value) {
    const double sum = sum_ + value;
    error_ += std::fabs(sum_) >= std::fabs(value) ? (sum_ - sum) + value : (value - sum) + sum_;
    sum_ = sum;
  }
  double Value() const { return sum_ + error_; }

 private:
  double sum_ = 0, error_ = 0;
};

// The probability of class k in row i.
double Probability(std::span<const double> probabilities, int classes, std::size_t i, int k) {
  return probabilities[i * static_cast<std::size_t>(classes) + static_cast<std::size_t>(k)];
}

// Counts of negatives and positives at or above a threshold.
struct Tally {
  std::int64_t negatives = 0, positives = 0;
};

// Keeps the first and the last tally and those where the curve bends: a tally whose two
// neighbours are equally far on both axes lies on a straight run (roc_curve's rule).
std::vector<Tally> DropStraightRuns(const std::vector<Tally>& tallies) {
  if (tallies.size() <= 2) return tallies;
  std::vector<Tally> kept{tallies.front()};
  for (std::size_t i = 1; i + 1 < tallies.size(); ++i) {
    const Tally &before = tallies[i - 1], &at = tallies[i], &after = tallies[i + 1];
    if (after.negatives - at.negatives != at.negatives - before.negatives ||
        after.positives - at.positives != at.positives - before.positives) {
      kept.push_back(at);
    }
  }
  kept.push_back(tallies.back());
  return kept;
}

// The ROC AUC and curve of class k against the rest. Rows are ranked by their probability of the
// class, highest first; each group of equal probabilities is one threshold, and a positive ties
// with each negative of its group for one half (the Mann-Whitney count), which is the trapezoid
// under the curve. Counted in whole numbers, so the AUC is one rounding from exact.
void RankClass(std::span<const int> actual, std::span<const double> probabilities, int classes,
               int k, std::vector<std::size_t>& order, ClassFigures& figures) {
  const std::int64_t positives = figures.support;
  const std::int64_t negatives = static_cast<std::int64_t>(actual.size()) - positives;
  if (positives == 0 || negatives == 0) return;
  auto score = [&](std::size_t i) { return Probability(probabilities, classes, i, k); };
  std::iota(order.begin(), order.end(), std::size_t{0});
  // The order within a group of equal probabilities changes no count.
  std::sort(order.begin(), order.end(),
            [&](std::size_t a, std::size_t b) { return score(a) > score(b); });
  std::vector<Tally> tallies;
  std::int64_t twice_area = 0;
  Tally at;
  for (std::size_t start = 0; start < order.size();) {
    const double threshold = score(order[start]);
    Tally group;
    std::size_t end = start;
    for (; end < order.size() && score(order[end]) == threshold; ++end) {
      ++(actual[order[end]] == k ? group.positives : group.negatives);
    }
    twice_area += group.negatives * (2 * at.positives + group.positives);
    at.negatives += group.negatives;
    at.positives += group.positives;
    tallies.push_back(at);
    start = end;
  }
  figures.auc = static_cast<double>(twice_area) /
                (2.0 * static_cast<double>(positives) * static_cast<double>(negatives));
  figures.roc.push_back({0.0, 0.0});
  for (const Tally& tally : DropStraightRuns(tallies)) {
    figures.roc.push_back({Share(tally.negatives, negatives), Share(tally.positives, positives)});
  }
}

// Edge b of the reliability bins, b / bins as numpy's linspace computes it (b x (1 / bins)), so
// that a probability on an edge falls in the same bin as in calibration_curve.
double BinEdge(int b) { return b == kReliabilityBins ? 1.0 : b * (1.0 / kReliabilityBins); }

// The bin of a probability: the number of inner edges below it.
int BinOf(double probability) {
  int b = std::clamp(static_cast<int>(probability * kReliabilityBins), 0, kReliabilityBins - 1);
  while (b > 0 && !(BinEdge(b) < probability)) --b;
  while (b + 1 < kReliabilityBins && BinEdge(b + 1) < probability) ++b;
  return b;
}

// Sums in row order, as calibration_curve's bincount does, so the means agree to the bit.
std::vector<ReliabilityBin> Reliability(std::span<const int> actual,
                                        std::span<const double> probabilities, int classes, int k) {
  std::vector<ReliabilityBin> bins(kReliabilityBins);
  std::vector<std::int64_t> of_class(kReliabilityBins);
  for (std::size_t i = 0; i < actual.size(); ++i) {
    const double probability = Probability(probabilities, classes, i, k);
    const int b = BinOf(probability);
    ++bins[b].rows;
    bins[b].mean_probability += probability;
    if (actual[i] == k) ++of_class[b];
  }
  std::vector<ReliabilityBin> kept;
  for (int b = 0; b < kReliabilityBins; ++b) {
    ReliabilityBin bin = bins[b];
    if (bin.rows == 0) continue;
    bin.low = BinEdge(b);
    bin.high = BinEdge(b + 1);
    bin.mean_probability /= static_cast<double>(bin.rows);
    bin.observed_frequency = Share(of_class[b], bin.rows);
    kept.push_back(bin);
  }
  return kept;
}

void CheckRows(std::span<const int> actual, std::span<const double> probabilities, int classes) {
  if (classes < 2 || actual.empty() ||
      probabilities.size() / static_cast<std::size_t>(classes) != actual.size() ||
      probabilities.size() % static_cast<std::size_t>(classes) != 0) {
    throw job::Failure(job::kSubscriptOutOfRange);
  }
  for (int k : actual) {
    if (k < 0 || k >= classes) throw job::Failure(job::kSubscriptOutOfRange);
  }
  for (double p : probabilities) {
    if (!(p >= 0.0 && p <= 1.0)) throw job::Failure(job::kSubscriptOutOfRange);
  }
}

}  // namespace

int MostProbableClass(std::span<const double> probabilities) {
  return static_cast<int>(std::max_element(probabilities.begin(), probabilities.end()) -
                          probabilities.begin());
}

double RowLogLoss(double probability_of_actual) {
  return -std::log(std::clamp(probability_of_actual, kLogLossFloor, 1.0 - kLogLossFloor));
}

ClassificationFigures ComputeClassificationFigures(std::span<const int> actual,
                                                   std::span<const double> probabilities,
                                                   int classes) {
  CheckRows(actual, probabilities, classes);
  const auto count = static_cast<std::size_t>(classes);
  ClassificationFigures figures;
  figures.rows = static_cast<std::int64_t>(actual.size());
  figures.confusion.assign(count, std::vector<std::int64_t>(count));
  CompensatedSum loss;
  for (std::size_t i = 0; i < actual.size(); ++i) {
    const std::span<const double> row = probabilities.subspan(i * count, count);
    ++figures.confusion[actual[i]][MostProbableClass(row)];
    loss.Add(RowLogLoss(row[actual[i]]));
  }
  figures.log_loss = loss.Value() / static_cast<double>(figures.rows);

  std::int64_t right = 0, commonest = 0;
  double chance_agreement = 0;  // sum over classes of actual count x predicted count
  std::vector<double> recalls, f1s, aucs;
  std::vector<std::size_t> order(actual.size());
  figures.classes.resize(count);
  for (int k = 0; k < classes; ++k) {
    ClassFigures& of = figures.classes[k];
    const std::vector<std::int64_t>& row = figures.confusion[k];
    std::int64_t predicted = 0;
    for (const auto& actual_row : figures.confusion) predicted += actual_row[k];
    const std::int64_t hits = row[k];
    of.support = std::accumulate(row.begin(), row.end(), std::int64_t{0});
    of.precision = Share(hits, predicted);
    of.recall = Share(hits, of.support);
    // 2 tp / (2 tp + fp + fn), the harmonic mean of precision and recall without their rounding.
    of.f1 = Share(2 * hits, predicted + of.support);
    right += hits;
    commonest = std::max(commonest, of.support);
    chance_agreement += static_cast<double>(of.support) * static_cast<double>(predicted);
    if (of.support > 0) recalls.push_back(of.recall);
    if (of.support > 0 || predicted > 0) f1s.push_back(of.f1);
    RankClass(actual, probabilities, classes, k, order, of);
    if (of.auc) aucs.push_back(*of.auc);
    of.reliability = Reliability(actual, probabilities, classes, k);
  }
  figures.accuracy = Share(right, figures.rows);
  figures.error_rate = Share(figures.rows - right, figures.rows);
  figures.majority_error_rate = Share(figures.rows - commonest, figures.rows);
  figures.balanced_accuracy = Mean(recalls);
  figures.macro_f1 = Mean(f1s);
  // 1 - observed disagreement / disagreement expected by chance, both scaled by rows squared.
  const double rows = static_cast<double>(figures.rows);
  const double expected_disagreement = rows * rows - chance_agreement;
  if (expected_disagreement != 0) {
    figures.kappa = 1.0 - rows * static_cast<double>(figures.rows - right) / expected_disagreement;
  }
  if (classes == 2) {
    figures.auc = figures.classes[1].auc;
  } else if (!aucs.empty()) {
    figures.auc = Mean(aucs);
  }
  return figures;
}

}  // namespace tarvex::training
