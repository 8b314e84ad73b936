#include "network/data_check.h"

#include <exception>
#include <string>

#include "job/console.h"
#include "job/messages.h"
#include "job/run_log.h"

namespace tarvex::network {

using job::DataMatrix;
using job::JobSettings;
using job::WriteLog;

namespace {

// The "Traning" labels are what users' log filters look for.
std::string Dimensions(std::string_view label, const DataMatrix& matrix) {
  return "   " + std::string(label) + " Array(" + std::to_string(matrix.RowCount()) + "," +
         std::to_string(matrix.ColumnCount()) + ")";
}

}  // namespace

bool CheckTrainingData(const JobSettings& job) {
  try {
    if (job.pof.empty()) {
      WriteLog(job.log, job::FillTemplate(job::kEmptyParameterTemplate, "'/pof'"));
      return false;
    }
    if (!job.TrainingInputs.HasDimensions()) {
      WriteLog(job.log, job::FillTemplate(job::kEmptyArrayTemplate, "Training Inputs"));
      return false;
    }
    if (!job.TrainingOutputs.HasDimensions()) {
      WriteLog(job.log, job::FillTemplate(job::kEmptyArrayTemplate, "Training Outputs"));
      return false;
    }
    if (!job.PredictionInputs.HasDimensions()) {
      WriteLog(job.log, job::FillTemplate(job::kEmptyArrayTemplate, "Prediction Inputs"));
      return false;
    }
    // Counts only: matrices indexed from 0 and from 1 compare equal here.
    if (job.TrainingInputs.RowCount() != job.TrainingOutputs.RowCount()) {
      WriteLog(job.log, job::FillTemplate(job::kNotAlignedTemplate, "'Training Inputs'",
                                          "'Training Outputs'") +
                            Dimensions("Traning Inputs", job.TrainingInputs) +
                            Dimensions("Traning Outputs", job.TrainingOutputs));
      return false;
    }
    if (job.TrainingInputs.ColumnCount() != job.PredictionInputs.ColumnCount()) {
      WriteLog(job.log, job::FillTemplate(job::kNotAlignedTemplate, "'Training Inputs'",
                                          "'Prediction Inputs'") +
                            Dimensions("Traning Inputs", job.TrainingInputs) +
                            Dimensions("Prediction Inputs", job.PredictionInputs));
      return false;
    }
    return true;
  } catch (const std::exception& failure) {
    job::NoteSilentFailure("checking the data", failure);
    return false;
  }
}

}  // namespace tarvex::network
