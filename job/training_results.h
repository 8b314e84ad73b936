// What training finds and keeps: the trained network's weights and how it came about, the error
// figures, the learning curve, the folds of a cross-validation. Training fills them; the log's
// entries, the run summary, the report and the network file read them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "job/class_results.h"
#include "job/data_matrix.h"

namespace tarvex::job {

// A trained network as a network file gives it: the layout and every weight and bias, in the
// order of the engine's GetWeights. An ensemble (/ens) is MemberCount networks of one layout
// whose mean output is the prediction; Weights holds theirs one network after the other.
struct NetworkWeights {
  std::int32_t InputCount = 0;
  std::int32_t HiddenCount = 0;
  std::int32_t OutputCount = 0;
  std::vector<double> Weights;
  std::int32_t MemberCount = 1;

  // The weights of one network of the layout.
  std::size_t MemberWeightCount() const {
    return static_cast<std::size_t>(HiddenCount) * (static_cast<std::size_t>(InputCount) + 1) +
           static_cast<std::size_t>(OutputCount) * (static_cast<std::size_t>(HiddenCount) + 1);
  }
};

// The options a network is trained with, as the job gives them (lr, m, wd, iw, ep, n, af): one
// record that goes with the network wherever it goes (the training run, the network file, an
// exported model).
struct TrainingSettings {
  double lr = 0, m = 0, wd = 0, iw = 0;
  std::int32_t ep = 0, n = 0;
  std::int16_t af = 0;
};

// Where a training data set came from: a file (its path and selector as the job gave them) or
// values written into an option.
enum class SourceKind { kValues, kFile };
struct DataSource {
  SourceKind kind = SourceKind::kValues;
  std::string name;
  std::string selector;
};

// How a trained network came about, for the files that describe it (the network file, an
// exported model): its options, the epochs it ran and where its data came from.
struct TrainingRecord {
  TrainingSettings settings;
  std::int32_t epochs = 0;
  DataSource inputs, outputs;
};

// How well a network fits one output column, in the units of the training outputs. R^2 has no
// value for a column whose actual values are all equal.
struct ColumnFigures {
  double rmse = 0;
  double mae = 0;
  std::optional<double> r2;
};

// One epoch of the learning curve. Per output column, in the units of the training outputs: the
// RMSE of the training rows, each taken as it was trained (before its step), and of the
// validation rows after the epoch (empty without validation rows).
struct CurvePoint {
  std::int32_t epoch = 0;
  std::vector<double> training_rmse;
  std::vector<double> validation_rmse;
  double weight_delta = 0;  // of the epoch's last step, in percent
  // A classifier's curve instead of the RMSEs: log loss and error rate of the same rows.
  double training_log_loss = 0, training_error_rate = 0;
  double validation_log_loss = 0, validation_error_rate = 0;
};

// Why the epoch loop ended.
enum class StopReason { kNotTrained, kWeightDeltaTarget, kEpochLimit, kEarlyStop };

// One network of cross-validation: trained on all folds but one, validated on that one.
struct FoldResult {
  Index training_rows = 0, validation_rows = 0;
  std::int32_t last_epoch = 0;
  std::int32_t best_epoch = 0;
  StopReason stop = StopReason::kNotTrained;
  std::int32_t stop_patience = 0;  // the patience in force when early stopping ended it
  double seconds = 0;              // of its epoch loop
  std::vector<ColumnFigures> training, validation;
  std::vector<CurvePoint> curve;  // when a curve was asked for
  std::optional<ClassificationFigures> class_training, class_validation;  // a classifier's
};

// Mean and sample standard deviation (divided by n - 1) of each figure over the folds (at least
// two), per output column. R^2 counts only the folds where it has a value: its mean has none
// without such a fold, its deviation none with fewer than two.
struct FoldStatistics {
  std::vector<ColumnFigures> mean, deviation;
};

// /refit: the network that predicts, trained once more on every training row for the epochs
// that validation found best. It has no held-out rows of its own: the validation figures stay
// those of the network that validation watched.
struct RefitResult {
  Index rows = 0;
  std::int32_t epochs = 0;      // asked for: the best epoch, or the folds' mean best epoch
  std::int32_t last_epoch = 0;  // where it ended (earlier only by the weight delta target)
  double last_weight_delta = 0;
  bool from_folds = false;
  double seconds = 0;  // of its epoch loop
  // Of the refit network on every row it trained on.
  std::vector<ColumnFigures> training;
  std::optional<ClassificationFigures> class_training;
};

// /ens: one network of the ensemble, trained from its own seed on the job's rows. Its validation
// figures are those of the network that validation watched (before any refit).
struct EnsembleMember {
  std::optional<std::uint64_t> seed;  // none: the engine's fixed start
  std::int32_t last_epoch = 0;
  std::int32_t best_epoch = 0;
  StopReason stop = StopReason::kNotTrained;
  double seconds = 0;             // of its epoch loops, a refit included
  std::int32_t refit_epochs = 0;  // 0: no refit
  std::vector<ColumnFigures> validation;
  std::optional<ClassificationFigures> class_validation;
};

// A sign that training failed. kNoBetter: on its training (or validation) rows the network is no
// better than the predictor that knows only the training rows' outputs, in the columns listed
// with the ratio of its squared error to that predictor's, or for a classifier by its error rate
// against the majority class's. kSaturated: the hidden layer froze at the ends of its range.
struct TrainingWarning {
  enum class Kind { kNoBetter, kSaturated };
  Kind kind = Kind::kNoBetter;
  bool validation_rows = false;
  struct Column {
    std::int32_t column = 0;  // from 1
    double ratio = 0;
  };
  std::vector<Column> columns;
  bool classifier = false;
  double error_rate = 0, majority_error_rate = 0;
};

// What training and evaluation found, beyond the training results entry: for the validation
// entry of the log, the run summary and the report.
struct TrainingResults {
  struct Layout {
    std::int32_t inputs = 0, hidden = 0, outputs = 0;  // 0: not known
  } network;
  StopReason stop = StopReason::kNotTrained;
  std::int32_t stop_patience = 0;  // the patience in force when early stopping ended training
  std::int32_t best_epoch = 0;     // 0: no validation data, or no epoch ran
  double seconds = 0;              // of the epoch loop
  std::vector<ColumnFigures> training, validation;
  std::vector<CurvePoint> curve;  // the epochs kept, when a curve or a report was asked for
  // The kept network's predictions in the units of the training outputs, one row per row trained
  // on and per validation row, in their order: for the report's charts, kept only for a report.
  DataMatrix training_predictions, validation_predictions;
  std::vector<FoldResult> folds;  // cross-validation, in the order of the folds
  // Of the folds' figures, computed once the folds are trained, for every writer.
  FoldStatistics fold_validation, fold_training;
  // What the run wrote, for the summary's list of outputs.
  bool predictions_written = false, network_written = false, curve_written = false;
  // A classifier's figures of the kept network instead of the column figures.
  std::optional<ClassificationFigures> class_training, class_validation;
  std::vector<ClassFigureStatistics> class_fold_validation, class_fold_training;
  std::optional<RefitResult> refit;
  // /ens: every network of the ensemble in seed order, the first that of the other fields above
  // (epochs, curve, refit); the figures are the ensemble's. Empty without /ens.
  std::vector<EnsembleMember> ensemble;
  // What says the network learned nothing (training/training_warnings.h); the run still
  // succeeds. Empty for a network that learned.
  std::vector<TrainingWarning> warnings;
};

}  // namespace tarvex::job
