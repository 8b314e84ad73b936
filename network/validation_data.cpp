#include "network/validation_data.h"

#include <exception>
#include <string>
#include <vector>

#include "job/console.h"
#include "job/messages.h"
#include "job/run_log.h"
#include "training/row_draw.h"

namespace tarvex::network {

using job::DataMatrix;
using job::Index;
using job::JobSettings;
using job::WriteLog;
using training::HeldOutPositions;
using training::kUnseededDraw;

namespace {

// Splits the training rows (and their outputs as given, where kept) into those trained on and
// those held out.
void HoldOutRows(JobSettings& job) {
  const Index rows = job.TrainingInputs.RowCount();
  const std::vector<Index> held_out = HeldOutPositions(
      rows, job.ValidationFraction, job.Seed ? std::uint64_t{*job.Seed} : kUnseededDraw);
  std::vector<Index> validation_rows, training_rows;
  size_t next = 0;
  for (Index position = 0; position < rows; ++position) {
    const bool out = next < held_out.size() && held_out[next] == position;
    if (out) ++next;
    (out ? validation_rows : training_rows).push_back(position);
  }
  auto take = [](DataMatrix& matrix, const std::vector<Index>& positions) {
    std::vector<Index> indices(positions);
    for (Index& index : indices) index += matrix.RowLow();
    return job::SelectRows(matrix, indices);
  };
  job.ValidationInputs = take(job.TrainingInputs, validation_rows);
  job.ValidationOutputs = take(job.TrainingOutputs, validation_rows);
  job.TrainingInputs = take(job.TrainingInputs, training_rows);
  job.TrainingOutputs = take(job.TrainingOutputs, training_rows);
  if (job.TrainingOutputValues.HasDimensions()) {
    job.ValidationOutputValues = take(job.TrainingOutputValues, validation_rows);
    job.TrainingOutputValues = take(job.TrainingOutputValues, training_rows);
  }
}

}  // namespace

bool CheckValidationData(JobSettings& job) {
  try {
    if (job.Folds > 0 && job.Folds > job.TrainingInputs.RowCount()) {
      WriteLog(job.log, "The Parameter '/cv' asks for " + std::to_string(job.Folds) +
                            " folds, more than there are training rows;" +
                            job::DimensionsText("Traning Inputs", job.TrainingInputs.RowCount(),
                                                job.TrainingInputs.ColumnCount()));
      return false;
    }
    if (job.ValidationFraction > 0) {
      if (job.TrainingInputs.RowCount() < 2) {
        WriteLog(job.log, "The Parameter '/vf' needs at least 2 training rows to hold some out;" +
                              job::DimensionsText("Traning Inputs", job.TrainingInputs.RowCount(),
                                                  job.TrainingInputs.ColumnCount()));
        return false;
      }
      HoldOutRows(job);
      return true;
    }
    if (job::HasValidationSource(job) &&
        job.ValidationInputs.RowCount() != job.ValidationOutputs.RowCount()) {
      WriteLog(job.log,
               job::FillTemplate(job::kNotAlignedTemplate, "'Validation Inputs'",
                                 "'Validation Outputs'") +
                   job::DimensionsText("Validation Inputs", job.ValidationInputs.RowCount(),
                                       job.ValidationInputs.ColumnCount()) +
                   job::DimensionsText("Validation Outputs", job.ValidationOutputs.RowCount(),
                                       job.ValidationOutputs.ColumnCount()));
      return false;
    }
    return true;
  } catch (const std::exception& failure) {
    job::NoteSilentFailure("checking the validation data", failure);
    return false;
  }
}

}  // namespace tarvex::network
