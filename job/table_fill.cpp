#include "job/table_fill.h"

#include "job/scaling.h"

namespace tarvex::job {

void FillAndScaleInputs(JobSettings& job, std::span<const Index> fill_rows) {
  ComputeFills(job.Encoding, job.UnfilledTrainingInputs, fill_rows);
  DataMatrix inputs = job.UnfilledTrainingInputs;
  FillMissing(job.Encoding, inputs);
  ComputeInputRanges(job, inputs);
  ScaleColumns(inputs, job.TrainingInputMin, job.TrainingInputMax, job.ScaleLow, job.ScaleHigh);
  job.TrainingInputs = std::move(inputs);
  if (job.UnfilledPredictionInputs.HasDimensions()) {
    job.PredictionInputs = FilledAndScaled(job, job.UnfilledPredictionInputs);
  }
}

DataMatrix FilledAndScaled(const JobSettings& job, DataMatrix unfilled) {
  FillMissing(job.Encoding, unfilled);
  const Index low = unfilled.ColumnLow();
  ScaleColumns(unfilled, Rebased(job.TrainingInputMin, low), Rebased(job.TrainingInputMax, low),
               job.ScaleLow, job.ScaleHigh);
  return unfilled;
}

}  // namespace tarvex::job
