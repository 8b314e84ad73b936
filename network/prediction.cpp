#include "network/prediction.h"

#include <cmath>
#include <string>

#include "job/scaling.h"

namespace tarvex::network {

using job::Failure;
using job::Index;
using job::JobSettings;

namespace {

// One predicted row, mapped back into the units of the training outputs. The k-th output goes to
// the k-th output column, whatever bounds the engine's vector has.
void StorePrediction(JobSettings& job, Index row, std::span<const double> outputs) {
  Index column = job.TrainingOutputMax.Low();
  for (double output : outputs) {
    // A diverged network must not be reported as trained.
    if (!std::isfinite(output)) {
      throw Failure(std::string(job::kOverflow) + ": the network's outputs are not finite numbers");
    }
    job.PredictionOutputs.At(row, column) =
        job::Rescale(output, job.ScaleLow, job.ScaleHigh, job.TrainingOutputMax.At(column),
                     job.TrainingOutputMin.At(column));
    ++column;
  }
}

}  // namespace

void PredictRows(JobSettings& job, NetworkEngine& engine, job::BoundedVector& prediction_row) {
  const job::DataMatrix& prediction_inputs = job.PredictionInputs;
  for (Index row = prediction_inputs.RowLow(); row <= prediction_inputs.RowHigh(); ++row) {
    for (Index column = prediction_inputs.ColumnLow(); column <= prediction_inputs.ColumnHigh();
         ++column) {
      prediction_row.At(column) = prediction_inputs.At(row, column);
    }
    engine.SetInputs(prediction_row.Values());
    engine.ComputeOutputs();
    StorePrediction(job, row, engine.GetOutputs());
  }
}

}  // namespace tarvex::network
