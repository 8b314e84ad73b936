#include "training/class_training.h"

#include "job/class_list.h"
#include "training/class_figures.h"

namespace tarvex::training {

using job::DataMatrix;
using job::Index;

std::vector<std::int32_t> ClassesOfRows(const DataMatrix& one_hot) {
  std::vector<std::int32_t> classes;
  classes.reserve(static_cast<std::size_t>(one_hot.RowCount()));
  for (Index row = one_hot.RowLow(); row <= one_hot.RowHigh(); ++row) {
    classes.push_back(static_cast<std::int32_t>(job::MostProbableClass(one_hot.Row(row))));
  }
  return classes;
}

std::vector<double> RowWeights(std::span<const std::int32_t> classes,
                               std::span<const double> class_weights) {
  std::vector<double> weights(classes.size(), 1.0);
  if (class_weights.empty()) return weights;
  for (std::size_t row = 0; row < classes.size(); ++row) {
    weights[row] = class_weights[static_cast<std::size_t>(classes[row])];
  }
  return weights;
}

void ClassErrorSums::Add(std::span<const double> probabilities, std::int32_t actual) {
  log_loss_ += RowLogLoss(probabilities[static_cast<std::size_t>(actual)]);
  if (job::MostProbableClass(probabilities) != static_cast<std::size_t>(actual)) ++wrong_;
  ++rows_;
}

void ClassErrorSums::AddPredictions(NetworkEngine& engine, const DataMatrix& inputs,
                                    std::span<const std::int32_t> actual) {
  std::size_t next = 0;
  for (Index row = inputs.RowLow(); row <= inputs.RowHigh(); ++row) {
    engine.SetInputs(inputs.Row(row));
    engine.ComputeOutputs();
    Add(engine.GetOutputs(), actual[next++]);
  }
}

job::ClassificationFigures ClassifierFigures(NetworkEngine& engine, const DataMatrix& inputs,
                                             const DataMatrix& one_hot,
                                             DataMatrix* probabilities) {
  const std::vector<std::int32_t> classes = ClassesOfRows(one_hot);
  const Index columns = one_hot.ColumnCount();
  DataMatrix predicted(0, inputs.RowCount() - 1, 0, columns - 1);
  Index at = 0;
  for (Index row = inputs.RowLow(); row <= inputs.RowHigh(); ++row, ++at) {
    engine.SetInputs(inputs.Row(row));
    engine.ComputeOutputs();
    const std::span<const double> outputs = engine.GetOutputs();
    std::copy(outputs.begin(), outputs.end(), predicted.Row(at).begin());
  }
  const std::vector<int> actual(classes.begin(), classes.end());
  job::ClassificationFigures figures =
      ComputeClassificationFigures(actual, predicted.Values(), static_cast<int>(columns));
  if (probabilities) *probabilities = std::move(predicted);
  return figures;
}

}  // namespace tarvex::training
