// The data sets that a job loads and how the run log names them. Log readers match on these names
// letter for letter, so the loader's "'Predict Inputs'" and the shapes' "Traning" stay as written.
#pragma once

#include <string>
#include <string_view>

#include "job/data_matrix.h"

namespace tarvex::job {

// The validation sets are scaled with the training ranges, as the prediction inputs are.
enum class DataSet {
  kTrainingInputs,
  kTrainingOutputs,
  kPredictionInputs,
  kValidationInputs,
  kValidationOutputs,
};

// "Training Inputs": in the empty-array line, and quoted in the alignment lines.
std::string_view DataSetName(DataSet set);
// "'Training Inputs'".
std::string QuotedName(DataSet set);
// "'Training Inputs'", "'Predict Inputs'": the loader's name of the set, quotes included.
std::string_view QuotedLabel(DataSet set);
// "Traning Inputs", "Prediction Inputs": the name before the set's shape.
std::string_view ShapeLabel(DataSet set);
// "'/tif'": the option of the set's file, as the line of a set given neither way names it.
std::string_view FileOptionLabel(DataSet set);

// "Array(rows,columns)": a matrix's shape as the log writes it.
std::string ArrayText(long long rows, long long columns);
std::string ArrayText(const DataMatrix& matrix);
// "   Traning Inputs Array(rows,columns)": a set's shape as the failure lines append it.
std::string ShapeText(DataSet set, const DataMatrix& matrix);
// "Traning Inputs: Array(rows,columns)": a set's shape as the results entries list it.
std::string ShapeField(DataSet set, const DataMatrix& matrix);

}  // namespace tarvex::job
