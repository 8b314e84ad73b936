// The error figures of a network on labelled rows: per output column, in the units of the
// training outputs, RMSE, MAE and R^2 of the predictions that the prediction output would get.
#pragma once

#include <span>
#include <utility>
#include <vector>

#include "job/job_settings.h"
#include "training/network_engine.h"
#include "training/prediction.h"

namespace tarvex::training {

// Labelled rows by position: the inputs scaled as the network takes them, the actual outputs
// as the user gave them.
struct LabelledRows {
  const job::DataMatrix* inputs = nullptr;
  const job::DataMatrix* actual = nullptr;
};

// The sums of residuals over rows, per column, added in row order: the learning curve and the
// figures add the same rows in the same order, so they agree to the bit. Each column's residuals
// are summed in its unit (OutputMapping::Units), the figures given in the column's own units.
class ErrorSums {
 public:
  explicit ErrorSums(std::vector<double> units)
      : units_(std::move(units)), squares_(units_.size()), magnitudes_(units_.size()) {}
  explicit ErrorSums(const OutputMapping& mapping) : ErrorSums(mapping.Units()) {}
  explicit ErrorSums(std::size_t columns) : ErrorSums(std::vector<double>(columns, 1.0)) {}

  void Clear();
  // One row: predicted minus actual, column by column.
  void Add(std::span<const double> predicted, std::span<const double> actual);
  // Predicts every row with the network in engine and adds it; keeps the predictions too where
  // predictions is given, as a matrix of one row per row, from 0.
  void AddPredictions(NetworkEngine& engine, const LabelledRows& rows, const OutputMapping& mapping,
                      job::DataMatrix* predictions = nullptr);

  std::size_t Columns() const { return squares_.size(); }
  double Rmse(std::size_t column) const;
  double Mae(std::size_t column) const;
  // The sum of squared residuals in the column's unit, squared.
  double ScaledSquares(std::size_t column) const { return squares_[column]; }

 private:
  std::vector<double> units_;
  std::vector<double> squares_, magnitudes_;
  std::vector<double> predicted_;  // one row's predictions, reused
  job::Index rows_ = 0;
};

// RMSE, MAE and R^2 per column of the network in engine on the rows. R^2 is 1 - residual sum
// of squares / total sum of squares about the column's mean, and has no value when that total
// is 0 (a column whose actual values are all equal). The predictions behind them are kept where
// predictions is given.
std::vector<job::ColumnFigures> ComputeFigures(NetworkEngine& engine, const LabelledRows& rows,
                                               const OutputMapping& mapping,
                                               job::DataMatrix* predictions = nullptr);

}  // namespace tarvex::training
