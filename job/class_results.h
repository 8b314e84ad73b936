// The figures of a classifier on labelled rows, as training computes them and every writer (the
// log, the run summary, the report) reads them: scikit-learn's metrics with their defaults
// (unweighted, zero_division=0).
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace tarvex::job {

// The floor of a probability in the log loss: the double's machine epsilon, as scikit-learn's
// log_loss takes it (eps="auto" since 1.2, Debian 12's version), so that the figures agree.
inline constexpr double kLogLossFloor = std::numeric_limits<double>::epsilon();

// The reliability diagram has this many bins of equal width over [0, 1].
inline constexpr int kReliabilityBins = 10;

// A point of a ROC curve: the share of negatives and of positives at or above a threshold.
struct RocPoint {
  double false_positive_rate = 0;
  double true_positive_rate = 0;
};

// One bin of a class's reliability diagram: the rows whose probability of the class lies in
// (low, high] (the first bin [0, high]), their mean probability of the class and the share of
// them that are of the class.
struct ReliabilityBin {
  double low = 0, high = 0;
  std::int64_t rows = 0;
  double mean_probability = 0;
  double observed_frequency = 0;
};

// The figures of one class against all others. A quotient whose divisor is 0 is 0, as
// scikit-learn's zero_division=0 gives.
struct ClassFigures {
  double precision = 0;
  double recall = 0;
  double f1 = 0;
  std::int64_t support = 0;  // rows of the class
  // The ROC AUC of the class's probability, one class against the rest; no value where the rows
  // hold no row of the class or no row of another class (scikit-learn refuses those).
  std::optional<double> auc;
  // The ROC curve from (0, 0) to (1, 1), one point per distinct threshold except those that lie
  // on a straight run between their neighbours (roc_curve's drop_intermediate); empty where auc
  // has no value.
  std::vector<RocPoint> roc;
  // The bins that hold rows, in ascending order (calibration_curve with 10 uniform bins).
  std::vector<ReliabilityBin> reliability;
};

struct ClassificationFigures {
  std::int64_t rows = 0;
  double accuracy = 0;
  double error_rate = 0;           // 1 - accuracy, as a share of wrong rows
  double majority_error_rate = 0;  // the error rate of always naming the commonest actual class
  // The mean recall of the classes that occur among the actual classes.
  double balanced_accuracy = 0;
  double log_loss = 0;  // natural log, mean over rows, probabilities clipped to kLogLossFloor
  // The mean F1 of the classes that occur among the actual or the predicted classes (a class
  // that is neither is left out, as scikit-learn's f1_score does without a label list).
  double macro_f1 = 0;
  // No value when every actual and every predicted class is one and the same (0 / 0).
  std::optional<double> kappa;
  // Two classes: the ROC AUC of the second class's probability. More: the mean of the per-class
  // AUCs that have a value. No value where no class has one.
  std::optional<double> auc;
  std::vector<ClassFigures> classes;                 // in class order
  std::vector<std::vector<std::int64_t>> confusion;  // [actual][predicted] counts
};

// The mean and standard deviation over the folds of a cross-validation of one of a classifier's
// figures (accuracy, log loss, ...), named as the run summary names it; no value where no fold
// (for the deviation: fewer than two) has one.
struct ClassFigureStatistics {
  const char* name = "";
  std::optional<double> mean, deviation;
};

}  // namespace tarvex::job
