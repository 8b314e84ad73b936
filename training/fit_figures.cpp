#include "training/fit_figures.h"

#include <algorithm>
#include <cmath>

namespace tarvex::training {

using job::ColumnFigures;
using job::DataMatrix;
using job::Index;

void ErrorSums::Clear() {
  std::fill(squares_.begin(), squares_.end(), 0.0);
  std::fill(magnitudes_.begin(), magnitudes_.end(), 0.0);
  rows_ = 0;
}

void ErrorSums::Add(std::span<const double> predicted, std::span<const double> actual) {
  if (predicted.size() < squares_.size() || actual.size() < squares_.size()) {
    throw job::Failure(job::kSubscriptOutOfRange);
  }
  for (std::size_t column = 0; column < squares_.size(); ++column) {
    const double unit = units_[column];
    const double residual = predicted[column] / unit - actual[column] / unit;
    squares_[column] += residual * residual;
    magnitudes_[column] += std::fabs(residual);
  }
  ++rows_;
}

void ErrorSums::AddPredictions(NetworkEngine& engine, const LabelledRows& rows,
                               const OutputMapping& mapping, DataMatrix* predictions) {
  predicted_.resize(mapping.Columns());
  const DataMatrix& inputs = *rows.inputs;
  const DataMatrix& actual = *rows.actual;
  if (predictions) {
    *predictions = DataMatrix(0, inputs.RowCount() - 1, 0, static_cast<Index>(Columns()) - 1);
  }
  // By position: validation inputs and outputs may come from sources of other index bases.
  for (Index position = 0; position < inputs.RowCount(); ++position) {
    PredictValues(engine, inputs.Row(inputs.RowLow() + position), mapping, predicted_);
    Add(predicted_, actual.Row(actual.RowLow() + position));
    if (predictions)
      std::copy(predicted_.begin(), predicted_.end(), predictions->Row(position).begin());
  }
}

double ErrorSums::Rmse(std::size_t column) const {
  return std::sqrt(squares_[column] / static_cast<double>(rows_)) * units_[column];
}

double ErrorSums::Mae(std::size_t column) const {
  return magnitudes_[column] / static_cast<double>(rows_) * units_[column];
}

std::vector<ColumnFigures> ComputeFigures(NetworkEngine& engine, const LabelledRows& rows,
                                          const OutputMapping& mapping, DataMatrix* predictions) {
  ErrorSums sums(mapping);
  sums.AddPredictions(engine, rows, mapping, predictions);
  const DataMatrix& actual = *rows.actual;
  const double count = static_cast<double>(actual.RowCount());
  std::vector<ColumnFigures> figures(sums.Columns());
  for (std::size_t column = 0; column < figures.size(); ++column) {
    // Two passes about the mean: one pass over sums of squares loses the digits that matter. Both
    // in the column's unit, as the residuals are, so that R^2 is their ratio.
    const Index j = actual.ColumnLow() + static_cast<Index>(column);
    const double unit = mapping.Units()[column];
    double total = 0;
    for (Index row = actual.RowLow(); row <= actual.RowHigh(); ++row) {
      total += actual.At(row, j) / unit;
    }
    const double mean = total / count;
    double spread = 0;
    for (Index row = actual.RowLow(); row <= actual.RowHigh(); ++row) {
      const double deviation = actual.At(row, j) / unit - mean;
      spread += deviation * deviation;
    }
    figures[column].rmse = sums.Rmse(column);
    figures[column].mae = sums.Mae(column);
    if (spread > 0) figures[column].r2 = 1.0 - sums.ScaledSquares(column) / spread;
  }
  return figures;
}

}  // namespace tarvex::training
