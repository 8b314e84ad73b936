// Whether a trained network learned anything: its error against that of the predictor that knows
// nothing but the training rows' outputs (each column's mean, or the most frequent class), and
// whether its hidden layer froze in saturation. They are warnings: the run still succeeds.
#pragma once

#include <cstdint>
#include <vector>

#include "job/data_matrix.h"
#include "job/training_results.h"
#include "training/network_engine.h"

namespace tarvex::training {

// A hidden neuron counts as saturated on a row when its output lies within this share of its
// range from either end: a logistic output below 0.01 or above 0.99, a tanh output beyond
// -0.98 or 0.98. There its slope is below 1/25 of the slope at 0, so the steps hardly move it.
inline constexpr double kSaturationBand = 0.01;
// The hidden layer counts as saturated when this share of its outputs on the training rows (each
// neuron on each row) or more is saturated.
inline constexpr double kSaturatedShare = 0.9;

// The network in engine on its scaled training rows (inputs and targets as trained on). The
// training rows' scaled targets give the mean predictor; for a classifier, one-hot rows give the
// most frequent class.
struct NetworkUnderCheck {
  const job::DataMatrix* inputs = nullptr;
  const job::DataMatrix* targets = nullptr;
  std::int32_t hidden = 0;
  std::int16_t activation = 0;  // the /af code
  bool classifier = false;
  // An ensemble's networks, whose weights follow one another (EnsembleEngine): the hidden layer
  // is that of them all.
  std::int32_t members = 1;
};

// The warnings on the training rows: no better than the mean (or majority) predictor, and a
// saturated hidden layer. Empty when the network learned.
std::vector<job::TrainingWarning> TrainingWarnings(NetworkEngine& engine,
                                                   const NetworkUnderCheck& network);

// The warning on validation rows (scaled like the training rows) when the network predicts them
// no better than the training rows' mean or majority class does; none otherwise.
std::vector<job::TrainingWarning> ValidationWarnings(NetworkEngine& engine,
                                                     const NetworkUnderCheck& network,
                                                     const job::DataMatrix& inputs,
                                                     const job::DataMatrix& targets);

}  // namespace tarvex::training
