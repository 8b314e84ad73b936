#include "network/data_check.h"

#include <exception>
#include <string>

#include "driver/message_template.h"
#include "driver/run_log.h"

namespace tarvex {

namespace {

// The two spaces after "and" and the "Traning" labels are what users' log filters look for.
constexpr std::string_view kNotAligned =
    "Input and output rows are not aligned. Parameters: 'Parameter0' and  'Parameter1'.";

std::string Dimensions(std::string_view label, const DataMatrix& matrix) {
  return "   " + std::string(label) + " Array(" + std::to_string(matrix.RowCount()) + "," +
         std::to_string(matrix.ColumnCount()) + ")";
}

}  // namespace

bool CheckTrainingData(const JobSettings& job) {
  try {
    if (job.pof.empty()) {
      WriteLog(job.log, FillTemplate(kEmptyParameterTemplate, "'/pof'"));
      return false;
    }
    const std::string_view kEmptyArray = "The array 'Parameter0' is empty.";
    if (!job.TrainingInputs.HasDimensions()) {
      WriteLog(job.log, FillTemplate(kEmptyArray, "Training Inputs"));
      return false;
    }
    if (!job.TrainingOutputs.HasDimensions()) {
      WriteLog(job.log, FillTemplate(kEmptyArray, "Training Outputs"));
      return false;
    }
    if (!job.PredictionInputs.HasDimensions()) {
      WriteLog(job.log, FillTemplate(kEmptyArray, "Prediction Inputs"));
      return false;
    }
    // Counts only: matrices indexed from 0 and from 1 compare equal here.
    if (job.TrainingInputs.RowCount() != job.TrainingOutputs.RowCount()) {
      WriteLog(job.log, FillTemplate(kNotAligned, "'Training Inputs'", "'Training Outputs'") +
                            Dimensions("Traning Inputs", job.TrainingInputs) +
                            Dimensions("Traning Outputs", job.TrainingOutputs));
      return false;
    }
    if (job.TrainingInputs.ColumnCount() != job.PredictionInputs.ColumnCount()) {
      WriteLog(job.log, FillTemplate(kNotAligned, "'Training Inputs'", "'Prediction Inputs'") +
                            Dimensions("Traning Inputs", job.TrainingInputs) +
                            Dimensions("Prediction Inputs", job.PredictionInputs));
      return false;
    }
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace tarvex
