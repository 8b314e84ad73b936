// Prediction: the network's outputs for every prediction-input row, mapped back into the units
// of the training outputs. Shared by the training run and the run with a saved network, and by
// the error figures, which must see the very numbers that the prediction output gets.
#pragma once

#include <span>
#include <vector>

#include "job/job_settings.h"
#include "job/scaling.h"
#include "training/network_engine.h"

namespace tarvex::training {

// The way back from the scaling range into the units of the training outputs, one column per
// output: a copy of the job's ranges, so that trainings on several threads can each hold one.
class OutputMapping {
 public:
  explicit OutputMapping(const job::JobSettings& job);
  // From the scaling range back into the ranges given, column by column.
  OutputMapping(double scale_low, double scale_high, const job::BoundedVector& output_min,
                const job::BoundedVector& output_max);

  std::size_t Columns() const { return columns_.size(); }
  // Per column, the unit in which its residuals are summed: 1 for a column of ordinary magnitude,
  // else the power of two nearest below its largest magnitude, so that squares of residuals of
  // 1e300 or 1e-320 neither overflow nor vanish. A power of two changes no digit of a figure.
  const std::vector<double>& Units() const { return units_; }
  // Per column, the width of the training outputs' range in that unit (0 for a constant column).
  const std::vector<double>& Ranges() const { return ranges_; }
  // values[k] = Rescale(outputs[k], ScaleLow, ScaleHigh, output maximum k, output minimum k),
  // to the bit. Throws Failure ("Overflow: ...") for an output or a result that is not finite,
  // and "Subscript out of range" when outputs has more elements than there are columns.
  void Map(std::span<const double> outputs, std::span<double> values) const;

 private:
  std::vector<job::ColumnRescaler> columns_;
  std::vector<double> units_, ranges_;
};

// The unit in which to sum squares of numbers of up to this magnitude: 1 for ordinary ones, else
// a power of two near it (see OutputMapping::Units).
double SummingUnit(double magnitude);

// Fills PredictionOutputs (already dimensioned) row by row. The prediction row keeps the bounds
// the network's inputs were given, so prediction inputs with other column bounds fail on their
// first value.
void PredictRows(job::JobSettings& job, NetworkEngine& engine, job::BoundedVector& prediction_row);

// The network's predictions for one row of scaled inputs, mapped back into values.
void PredictValues(NetworkEngine& engine, std::span<const double> inputs,
                   const OutputMapping& mapping, std::span<double> values);

}  // namespace tarvex::training
