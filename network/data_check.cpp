#include "network/data_check.h"

#include <exception>
#include <string>

#include "job/console.h"
#include "job/data_set.h"
#include "job/messages.h"
#include "job/required_options.h"
#include "job/run_log.h"

namespace tarvex::network {

using job::DataSet;
using job::JobSettings;
using job::WriteLog;

bool CheckTrainingData(const JobSettings& job) {
  // A job with a saved network has no training data; a job that only saves its network has no
  // output target and no prediction inputs.
  const bool trains = job::TrainsNetwork(job);
  const bool predicts = job::PredictsOutputs(job);
  try {
    if (!job::CheckPredictionTargetGiven(job)) return false;
    if (trains && !job.TrainingInputs.HasDimensions()) {
      WriteLog(job.log, job::FillTemplate(job::kEmptyArrayTemplate,
                                          job::DataSetName(DataSet::kTrainingInputs)));
      return false;
    }
    if (trains && !job.TrainingOutputs.HasDimensions()) {
      WriteLog(job.log, job::FillTemplate(job::kEmptyArrayTemplate,
                                          job::DataSetName(DataSet::kTrainingOutputs)));
      return false;
    }
    if (predicts && !job.PredictionInputs.HasDimensions()) {
      WriteLog(job.log, job::FillTemplate(job::kEmptyArrayTemplate,
                                          job::DataSetName(DataSet::kPredictionInputs)));
      return false;
    }
    // Counts only: matrices indexed from 0 and from 1 compare equal here.
    if (trains && job.TrainingInputs.RowCount() != job.TrainingOutputs.RowCount()) {
      WriteLog(job.log, job::FillTemplate(job::kNotAlignedTemplate,
                                          job::QuotedName(DataSet::kTrainingInputs),
                                          job::QuotedName(DataSet::kTrainingOutputs)) +
                            job::ShapeText(DataSet::kTrainingInputs, job.TrainingInputs) +
                            job::ShapeText(DataSet::kTrainingOutputs, job.TrainingOutputs));
      return false;
    }
    if (trains && predicts &&
        job.TrainingInputs.ColumnCount() != job.PredictionInputs.ColumnCount()) {
      WriteLog(job.log, job::FillTemplate(job::kNotAlignedTemplate,
                                          job::QuotedName(DataSet::kTrainingInputs),
                                          job::QuotedName(DataSet::kPredictionInputs)) +
                            job::ShapeText(DataSet::kTrainingInputs, job.TrainingInputs) +
                            job::ShapeText(DataSet::kPredictionInputs, job.PredictionInputs));
      return false;
    }
    return true;
  } catch (const std::exception& failure) {
    job::NoteSilentFailure("checking the data", failure);
    return false;
  }
}

}  // namespace tarvex::network
