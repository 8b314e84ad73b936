#include "job/data_set.h"

#include "job/messages.h"

namespace tarvex::job {

namespace {

struct DataSetLabels {
  DataSet set;
  std::string_view name;
  std::string_view quoted_label;
  std::string_view shape_label;
  std::string_view file_option;
};

constexpr DataSetLabels kLabels[] = {
    {DataSet::kTrainingInputs, "Training Inputs", "'Training Inputs'", "Traning Inputs", "'/tif'"},
    {DataSet::kTrainingOutputs, "Training Outputs", "'Training Outputs'", "Traning Outputs",
     "'/tof'"},
    {DataSet::kPredictionInputs, "Prediction Inputs", "'Predict Inputs'", "Prediction Inputs",
     "'/pif'"},
    {DataSet::kValidationInputs, "Validation Inputs", "'Validation Inputs'", "Validation Inputs",
     "'/vif'"},
    {DataSet::kValidationOutputs, "Validation Outputs", "'Validation Outputs'",
     "Validation Outputs", "'/vof'"},
};

constexpr bool InTheOrderOfTheSets() {
  for (std::size_t i = 0; i < std::size(kLabels); ++i) {
    if (static_cast<std::size_t>(kLabels[i].set) != i) return false;
  }
  return true;
}
static_assert(InTheOrderOfTheSets());

const DataSetLabels& LabelsOf(DataSet set) { return kLabels[static_cast<std::size_t>(set)]; }

}  // namespace

std::string_view DataSetName(DataSet set) { return LabelsOf(set).name; }

std::string QuotedName(DataSet set) { return "'" + std::string(LabelsOf(set).name) + "'"; }

std::string_view QuotedLabel(DataSet set) { return LabelsOf(set).quoted_label; }

std::string_view ShapeLabel(DataSet set) { return LabelsOf(set).shape_label; }

std::string_view FileOptionLabel(DataSet set) { return LabelsOf(set).file_option; }

std::string ArrayText(long long rows, long long columns) {
  return "Array(" + std::to_string(rows) + "," + std::to_string(columns) + ")";
}

std::string ArrayText(const DataMatrix& matrix) {
  return ArrayText(matrix.RowCount(), matrix.ColumnCount());
}

std::string ShapeText(DataSet set, const DataMatrix& matrix) {
  return DimensionsText(ShapeLabel(set), matrix.RowCount(), matrix.ColumnCount());
}

std::string ShapeField(DataSet set, const DataMatrix& matrix) {
  return std::string(ShapeLabel(set)) + ": " + ArrayText(matrix);
}

}  // namespace tarvex::job
