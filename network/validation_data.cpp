#include "network/validation_data.h"

#include <exception>
#include <string>
#include <vector>

#include "job/class_list.h"
#include "job/console.h"
#include "job/data_set.h"
#include "job/messages.h"
#include "job/run_log.h"
#include "job/table_fill.h"
#include "training/class_training.h"
#include "training/row_draw.h"

namespace tarvex::network {

using job::DataMatrix;
using job::DataSet;
using job::Index;
using job::JobSettings;
using job::WriteLog;
using training::DrawSeed;
using training::HeldOutPositions;
using training::RowsAt;
using training::RowSplit;
using training::SplitRows;
using training::StratifiedHeldOutPositions;

namespace {

// Splits the training rows (and their outputs as given, where kept) into those trained on and
// those held out.
void HoldOutRows(JobSettings& job) {
  const Index rows = job.TrainingInputs.RowCount();
  const RowSplit split = SplitRows(
      rows, job::IsClassification(job)
                ? StratifiedHeldOutPositions(training::ClassesOfRows(job.TrainingOutputs),
                                             static_cast<std::int32_t>(job.Classes.size()),
                                             job.ValidationFraction, DrawSeed(job.Seed))
                : HeldOutPositions(rows, job.ValidationFraction, DrawSeed(job.Seed)));
  if (job.Encoding.Active() && (job.Encoding.rule == job::MissingRule::kMean ||
                                job.Encoding.rule == job::MissingRule::kMedian)) {
    // The held-out rows are validation rows: the fill values are those of the rows trained on.
    job::FillAndScaleInputs(job, split.trained);
  }
  if (job.Refit) {
    job.RefitInputs = job.TrainingInputs;
    job.RefitOutputs = job.TrainingOutputs;
    job.RefitOutputValues = job.TrainingOutputValues;
  }
  job.ValidationInputs = RowsAt(job.TrainingInputs, split.held_out);
  job.ValidationOutputs = RowsAt(job.TrainingOutputs, split.held_out);
  job.TrainingInputs = RowsAt(job.TrainingInputs, split.trained);
  job.TrainingOutputs = RowsAt(job.TrainingOutputs, split.trained);
  if (job.TrainingOutputValues.HasDimensions()) {
    job.ValidationOutputValues = RowsAt(job.TrainingOutputValues, split.held_out);
    job.TrainingOutputValues = RowsAt(job.TrainingOutputValues, split.trained);
  }
}

}  // namespace

bool CheckValidationData(JobSettings& job) {
  try {
    if (job.Folds > 0 && job.Folds > job.TrainingInputs.RowCount()) {
      WriteLog(job.log, "The Parameter '/cv' asks for " + std::to_string(job.Folds) +
                            " folds, more than there are training rows;" +
                            job::ShapeText(DataSet::kTrainingInputs, job.TrainingInputs));
      return false;
    }
    if (job.ValidationFraction > 0) {
      if (job.TrainingInputs.RowCount() < 2) {
        WriteLog(job.log, "The Parameter '/vf' needs at least 2 training rows to hold some out;" +
                              job::ShapeText(DataSet::kTrainingInputs, job.TrainingInputs));
        return false;
      }
      HoldOutRows(job);
      return true;
    }
    if (job::HasValidationSource(job) &&
        job.ValidationInputs.RowCount() != job.ValidationOutputs.RowCount()) {
      WriteLog(job.log, job::FillTemplate(job::kNotAlignedTemplate,
                                          job::QuotedName(DataSet::kValidationInputs),
                                          job::QuotedName(DataSet::kValidationOutputs)) +
                            job::ShapeText(DataSet::kValidationInputs, job.ValidationInputs) +
                            job::ShapeText(DataSet::kValidationOutputs, job.ValidationOutputs));
      return false;
    }
    return true;
  } catch (const std::exception& failure) {
    job::NoteSilentFailure("checking the validation data", failure);
    return false;
  }
}

}  // namespace tarvex::network
