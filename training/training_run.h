// Training one network on given rows, with an optional validation set watched after every epoch:
// the epoch loop and its stop rules, early stopping and the learning curve. Everything it uses is
// handed in and everything it finds is handed back, so that several trainings can run at once,
// each with an engine of its own.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "job/job_settings.h"
#include "training/fit_figures.h"
#include "training/learning_curve.h"
#include "training/network_engine.h"
#include "training/prediction.h"

namespace tarvex::training {

struct TrainingPlan {
  std::int32_t input_count = 0;
  std::int32_t hidden_size = 0;
  std::int32_t output_size = 0;
  job::TrainingSettings settings;     // its n is replaced by hidden_size
  std::int32_t patience = 0;          // early stopping after so many epochs without a better
                                      // validation error; 0: none
  // /es=auto: patience is the floor, and the rule waits as long as the last clear improvement
  // took to come (PatienceAfter).
  bool patience_fits_curve = false;
  std::optional<std::uint64_t> seed;  // none: the engine's fixed start
  bool record_curve = false;
  std::size_t curve_points = LearningCurve::kEvenPoints;  // evenly spaced epochs kept at most
  bool show_progress = false;  // the terminal's progress line: for one training at a time
  // A classifier: softmax outputs trained on the cross-entropy, each row weighing the weight of
  // its class (none: every row 1); output_size is the class count and the targets are one-hot.
  bool classifier = false;
  std::vector<double> class_weights;
};

// The plan of the job's own training: its options, the layout from its training data (throws
// Failure ("Overflow") for a layout beyond 32 bits), the progress line shown.
TrainingPlan TrainingPlanFor(const job::JobSettings& job);

// The training rows: inputs and targets scaled and sharing their row indices (rows whose indices
// do not exist in the targets fail, as in every training); the actual outputs, with the targets'
// row indices, are needed only for the curve.
struct TrainingRows {
  const job::DataMatrix* inputs = nullptr;
  const job::DataMatrix* targets = nullptr;
  const job::DataMatrix* actual = nullptr;
};

struct TrainingOutcome {
  std::int32_t last_epoch = 0;
  double last_weight_delta = 0;
  std::int32_t best_epoch = 0;  // by the validation error; 0 without validation rows
  job::StopReason stop = job::StopReason::kNotTrained;
  std::int32_t stop_patience = 0;  // the patience in force when early stopping ended training
  double seconds = 0;              // of the epoch loop
  LearningCurve curve;
};

// The patience that fits the curve (/es=auto). Online training often sits on a plateau, or
// climbs a little, for hundreds of epochs before its validation error falls again, so a fixed
// patience stops too early on some data and wastes epochs on other. The rule waits at least
// floor epochs, and at least as many epochs after the last clear improvement as it took to come:
// training stops at epoch t once t - c >= max(floor, c), where c is the last epoch whose
// validation error was below (1 - kClearImprovement) times the error of the clear improvement
// before it. A network of numbers must first have left the mean behind: no stop while the
// validation error at c is above kAutoMeanShare times that of predicting every validation row
// with the training rows' mean (a plateau there is a network that has not yet begun to learn).
// The network kept is still the best epoch's.
inline constexpr std::int32_t kAutoPatienceFloor = 200;
inline constexpr double kClearImprovement = 1e-3;
inline constexpr double kAutoMeanShare = 0.5;
std::int32_t PatienceAfter(std::int32_t floor, std::int32_t clear_epoch);

// Creates the network in engine, trains it and leaves in it the network to predict with: that of
// the best epoch with early stopping, else the last one. The validation error that decides the
// best epoch is the sum over output columns of the mean squared residual in units of the column's
// training range (with one output column: the smallest validation RMSE), for a classifier the
// validation log loss; ties go to the earlier epoch. outcome is filled as training goes, so after a failure (an exception from the engine or
// an overflow) it tells how far training got.
void TrainNetwork(NetworkEngine& engine, const TrainingPlan& plan, const TrainingRows& training,
                  const LabelledRows* validation, const OutputMapping& mapping,
                  TrainingOutcome& outcome);

}  // namespace tarvex::training
