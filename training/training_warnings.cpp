#include "training/training_warnings.h"

#include <cmath>
#include <optional>
#include <span>

#include "job/activation_table.h"
#include "training/class_training.h"

namespace tarvex::training {

namespace {

using job::DataMatrix;
using job::Index;

std::span<const double> RowOf(const DataMatrix& matrix, Index row, std::vector<double>& buffer) {
  buffer.resize(static_cast<std::size_t>(matrix.ColumnCount()));
  for (Index c = 0; c < matrix.ColumnCount(); ++c) {
    buffer[static_cast<std::size_t>(c)] = matrix.At(row, matrix.ColumnLow() + c);
  }
  return buffer;
}

// Squared errors per output column of the network and of a constant prediction per column, and
// whether the column's actual values vary at all (the mean predicts a constant column exactly).
struct SquaredErrors {
  std::vector<double> network, constant;
  std::vector<bool> varies;
};

SquaredErrors ErrorsAgainst(NetworkEngine& engine, const DataMatrix& inputs,
                            const DataMatrix& targets, std::span<const double> constant) {
  SquaredErrors sums{std::vector<double>(constant.size(), 0),
                     std::vector<double>(constant.size(), 0),
                     std::vector<bool>(constant.size(), false)};
  std::vector<double> input_row, target_row;
  for (Index r = 0; r < inputs.RowCount(); ++r) {
    engine.SetInputs(RowOf(inputs, inputs.RowLow() + r, input_row));
    engine.ComputeOutputs();
    const std::span<const double> outputs = engine.GetOutputs();
    const std::span<const double> target = RowOf(targets, targets.RowLow() + r, target_row);
    for (std::size_t c = 0; c < constant.size(); ++c) {
      sums.network[c] += (target[c] - outputs[c]) * (target[c] - outputs[c]);
      sums.constant[c] += (target[c] - constant[c]) * (target[c] - constant[c]);
      if (target[c] != targets.At(targets.RowLow(), targets.ColumnLow() + static_cast<Index>(c))) {
        sums.varies[c] = true;
      }
    }
  }
  return sums;
}

std::vector<double> ColumnMeans(const DataMatrix& targets) {
  std::vector<double> means(static_cast<std::size_t>(targets.ColumnCount()), 0);
  for (Index r = targets.RowLow(); r <= targets.RowHigh(); ++r) {
    for (Index c = 0; c < targets.ColumnCount(); ++c) {
      means[static_cast<std::size_t>(c)] += targets.At(r, targets.ColumnLow() + c);
    }
  }
  for (double& mean : means) mean /= static_cast<double>(targets.RowCount());
  return means;
}

// Each column where the network is not better than the mean, with the ratio of its squared error
// to the mean's. A column the mean predicts exactly is left out.
std::vector<job::TrainingWarning::Column> ColumnsNoBetter(const SquaredErrors& sums) {
  std::vector<job::TrainingWarning::Column> columns;
  for (std::size_t c = 0; c < sums.network.size(); ++c) {
    if (!sums.varies[c] || sums.network[c] < sums.constant[c]) continue;
    columns.push_back({static_cast<std::int32_t>(c + 1), sums.network[c] / sums.constant[c]});
  }
  return columns;
}

std::int32_t MajorityClass(const DataMatrix& one_hot) {
  std::vector<std::int64_t> counts(static_cast<std::size_t>(one_hot.ColumnCount()), 0);
  for (std::int32_t k : ClassesOfRows(one_hot)) ++counts[static_cast<std::size_t>(k)];
  std::int32_t majority = 0;
  for (std::size_t k = 1; k < counts.size(); ++k) {
    if (counts[k] > counts[static_cast<std::size_t>(majority)]) {
      majority = static_cast<std::int32_t>(k);
    }
  }
  return majority;
}

// The error rates of the network and of naming the majority class for every row.
struct ErrorRates {
  double network = 0, majority = 0;
};

ErrorRates RatesAgainst(NetworkEngine& engine, const DataMatrix& inputs, const DataMatrix& one_hot,
                        std::int32_t majority) {
  ClassErrorSums sums;
  const std::vector<std::int32_t> actual = ClassesOfRows(one_hot);
  sums.AddPredictions(engine, inputs, actual);
  std::int64_t other = 0;
  for (std::int32_t k : actual) other += k != majority;
  return {sums.ErrorRate(),
          actual.empty() ? 0.0 : static_cast<double>(other) / static_cast<double>(actual.size())};
}

// Whether the hidden layer froze: at least kSaturatedShare of its outputs over the rows (each
// neuron on each row) lie within the band at an end of their range, from the weights (each
// hidden neuron's input weights, then its bias).
bool HiddenLayerSaturated(NetworkEngine& engine, const NetworkUnderCheck& network) {
  const DataMatrix& inputs = *network.inputs;
  if (network.hidden <= 0 || inputs.RowCount() == 0) return false;
  const std::size_t width = static_cast<std::size_t>(inputs.ColumnCount());
  const std::span<const double> weights = engine.GetWeights();
  const bool tanh =
      job::LayerFunctionsOfCode(network.activation).hidden == job::ActivationFunction::kTanh;
  const std::size_t hidden = static_cast<std::size_t>(network.hidden);
  const std::size_t outputs = static_cast<std::size_t>(network.targets->ColumnCount());
  const std::size_t per_member = hidden * (width + 1) + outputs * (hidden + 1);
  std::vector<double> row;
  std::int64_t saturated = 0;
  for (Index r = inputs.RowLow(); r <= inputs.RowHigh(); ++r) {
    const std::span<const double> x = RowOf(inputs, r, row);
    for (std::size_t member = 0; member < static_cast<std::size_t>(network.members); ++member) {
      for (std::size_t j = 0; j < hidden; ++j) {
        const double* neuron = weights.data() + member * per_member + j * (width + 1);
        double sum = neuron[width];
        for (std::size_t i = 0; i < width; ++i) sum += neuron[i] * x[i];
        // The output as a share of the function's range, 0 at its low end and 1 at its high end.
        const double share = tanh ? (std::tanh(sum) + 1) / 2 : 1 / (1 + std::exp(-sum));
        saturated += share < kSaturationBand || share > 1 - kSaturationBand;
      }
    }
  }
  return static_cast<double>(saturated) >= kSaturatedShare * static_cast<double>(hidden) *
                                               static_cast<double>(network.members) *
                                               static_cast<double>(inputs.RowCount());
}

// The finding on rows where the network is no better than the predictor that knows only the
// training rows' outputs; none where it is better.
std::optional<job::TrainingWarning> NoBetter(NetworkEngine& engine,
                                             const NetworkUnderCheck& network,
                                             const DataMatrix& inputs, const DataMatrix& targets,
                                             bool validation_rows) {
  job::TrainingWarning warning;
  warning.validation_rows = validation_rows;
  warning.classifier = network.classifier;
  if (network.classifier) {
    const ErrorRates rates = RatesAgainst(engine, inputs, targets, MajorityClass(*network.targets));
    if (rates.network < rates.majority) return std::nullopt;
    warning.error_rate = rates.network;
    warning.majority_error_rate = rates.majority;
    return warning;
  }
  warning.columns =
      ColumnsNoBetter(ErrorsAgainst(engine, inputs, targets, ColumnMeans(*network.targets)));
  if (warning.columns.empty()) return std::nullopt;
  return warning;
}

}  // namespace

std::vector<job::TrainingWarning> TrainingWarnings(NetworkEngine& engine,
                                                   const NetworkUnderCheck& network) {
  std::vector<job::TrainingWarning> warnings;
  if (network.inputs->RowCount() == 0) return warnings;
  if (auto warning = NoBetter(engine, network, *network.inputs, *network.targets, false)) {
    warnings.push_back(*warning);
  }
  if (HiddenLayerSaturated(engine, network)) {
    job::TrainingWarning saturated;
    saturated.kind = job::TrainingWarning::Kind::kSaturated;
    warnings.push_back(saturated);
  }
  return warnings;
}

std::vector<job::TrainingWarning> ValidationWarnings(NetworkEngine& engine,
                                                     const NetworkUnderCheck& network,
                                                     const DataMatrix& inputs,
                                                     const DataMatrix& targets) {
  std::vector<job::TrainingWarning> warnings;
  if (inputs.RowCount() == 0 || network.inputs->RowCount() == 0) return warnings;
  if (auto warning = NoBetter(engine, network, inputs, targets, true)) warnings.push_back(*warning);
  return warnings;
}

}  // namespace tarvex::training
