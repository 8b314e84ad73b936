#include "input/load_job_data.h"

#include <string>

#include "input/class_targets.h"
#include "input/load_data_set.h"
#include "input/table_data.h"
#include "job/class_list.h"
#include "job/data_set.h"
#include "job/messages.h"
#include "job/run_log.h"
#include "job/scaling.h"

namespace tarvex::input {

using job::DataMatrix;
using job::DataSet;
using job::Index;
using job::JobSettings;
using job::WriteLog;

namespace {

constexpr std::string_view kNetworkInputsTemplate =
    "Prediction inputs do not match the network. File: 'Parameter0'";

// The settings that give a data set and the matrix it goes into.
struct SetSource {
  std::string JobSettings::*file;
  std::string JobSettings::*values;
  std::string JobSettings::*selector;
  DataMatrix JobSettings::*matrix;
};

SetSource SourceOf(DataSet set) {
  switch (set) {
    case DataSet::kTrainingInputs:
      return {&JobSettings::tif, &JobSettings::tiv, &JobSettings::tifh,
              &JobSettings::TrainingInputs};
    case DataSet::kTrainingOutputs:
      return {&JobSettings::tof, &JobSettings::tov, &JobSettings::tofh,
              &JobSettings::TrainingOutputs};
    case DataSet::kPredictionInputs:
      return {&JobSettings::pif, &JobSettings::piv, &JobSettings::pifh,
              &JobSettings::PredictionInputs};
    case DataSet::kValidationInputs:
      return {&JobSettings::vif, &JobSettings::viv, &JobSettings::vifh,
              &JobSettings::ValidationInputs};
    case DataSet::kValidationOutputs:
      break;
  }
  return {&JobSettings::vof, &JobSettings::vov, &JobSettings::vofh,
          &JobSettings::ValidationOutputs};
}

// A file given for a data set wins over values given for it. With labels, the set goes into
// target as read, not into the job's matrix.
bool LoadSet(JobSettings& job, DataSet set, const BeforeScaling& before_scaling = nullptr,
             job::TextCells* labels = nullptr, DataMatrix* target = nullptr) {
  const SetSource source = SourceOf(set);
  DataMatrix& into = target != nullptr ? *target : job.*source.matrix;
  if (!(job.*source.file).empty()) {
    return LoadDataSet(job, job.*source.file, into, Source::kFile, set, job.*source.selector,
                       before_scaling, labels);
  }
  if (!(job.*source.values).empty()) {
    return LoadDataSet(job, job.*source.values, into, Source::kValues, set, "", before_scaling,
                       labels);
  }
  WriteLog(job.log, job::FillTemplate(job::kEmptyParameterTemplate, job::FileOptionLabel(set)));
  return false;
}

// A set as its reader saw it, numbers beside texts and blanks, unscaled.
bool ReadSetAsTable(JobSettings& job, DataSet set, job::RawTable& table) {
  return LoadSet(job, set, nullptr, &table.cells, &table.values);
}

ReadTable TableReaderOf(JobSettings& job) {
  return [&job](DataSet set, job::RawTable& table) { return ReadSetAsTable(job, set, table); };
}

// The validation data, after the data sets of every job: inputs as wide as the network's inputs,
// outputs as wide as its outputs (checked before scaling, which needs a range per column), the
// outputs also kept as given for the error figures.
bool LoadValidationData(JobSettings& job) {
  if (!job::HasValidationSource(job)) return true;
  if (job.Encoding.Active()) return LoadValidationTables(job, TableReaderOf(job));
  const bool trains = job::TrainsNetwork(job);
  auto fits = [&job, trains](const DataMatrix& values, bool inputs) {
    const DataMatrix& training = inputs ? job.TrainingInputs : job.TrainingOutputs;
    const Index expected = trains   ? training.ColumnCount()
                           : inputs ? job.SavedNetwork.InputCount
                                    : job.SavedNetwork.OutputCount;
    return ValidationWidthFits(
        job, inputs ? DataSet::kValidationInputs : DataSet::kValidationOutputs, values, expected);
  };
  if (!LoadSet(job, DataSet::kValidationInputs,
               [&fits](const DataMatrix& values) { return fits(values, true); })) {
    return false;
  }
  if (job::IsClassification(job)) {
    // Labels are checked against the training classes, not a width.
    DataMatrix labels_read;
    job::TextCells labels;
    return LoadSet(job, DataSet::kValidationOutputs, nullptr, &labels, &labels_read) &&
           SetValidationClasses(job, labels_read, labels);
  }
  return LoadSet(job, DataSet::kValidationOutputs, [&job, &fits](const DataMatrix& values) {
    if (!fits(values, false)) return false;
    job.ValidationOutputValues = values;
    return true;
  });
}

// In place of the training data: the saved network's ranges, then the prediction inputs scaled
// with them. Their columns must be the network's inputs; the saved ranges then take their column
// bounds, as ranges computed from training inputs of the same kind of source would have.
bool LoadForSavedNetwork(JobSettings& job) {
  // A job that only exports the network needs no prediction inputs; the ranges keep bound 0.
  if (job.Encoding.Active()) return LoadSavedNetworkTables(job, TableReaderOf(job));
  if (!job::PredictsOutputs(job)) return true;
  auto fit = [&job](const DataMatrix& values) {
    if (values.ColumnCount() != job.SavedNetwork.InputCount) {
      WriteLog(job.log, job::FillTemplate(kNetworkInputsTemplate, job.nif) +
                            "   Network Inputs: " + std::to_string(job.SavedNetwork.InputCount) +
                            job::ShapeText(DataSet::kPredictionInputs, values));
      return false;
    }
    const Index low = values.ColumnLow();
    job.TrainingInputMin = job::Rebased(job.TrainingInputMin, low);
    job.TrainingInputMax = job::Rebased(job.TrainingInputMax, low);
    job.TrainingOutputMin = job::Rebased(job.TrainingOutputMin, low);
    job.TrainingOutputMax = job::Rebased(job.TrainingOutputMax, low);
    return true;
  };
  return LoadSet(job, DataSet::kPredictionInputs, fit);
}

bool LoadForTraining(JobSettings& job) {
  // The error figures and the curve compare predictions with the outputs as given.
  const bool keeps_outputs = job::WantsFigures(job) || !job.lcf.empty();
  if (job::UsesTableOptions(job)) return LoadTrainingTables(job, TableReaderOf(job), keeps_outputs);
  BeforeScaling keep_outputs;
  if (keeps_outputs) {
    keep_outputs = [&job](const DataMatrix& values) {
      job.TrainingOutputValues = values;
      return true;
    };
  }
  // Cross-validation scales each fold's rows with ranges of their own; a classification job
  // scales its inputs afresh when rows without a label are left out.
  const bool classifies = job::IsClassification(job);
  DataMatrix input_values;
  BeforeScaling keep_inputs;
  if (job.Folds > 0 || classifies) {
    keep_inputs = [&job, &input_values, classifies](const DataMatrix& values) {
      if (job.Folds > 0) job.TrainingInputValues = values;
      if (classifies) input_values = values;
      return true;
    };
  }
  if (!LoadSet(job, DataSet::kTrainingInputs, keep_inputs)) return false;
  if (classifies) {
    DataMatrix labels_read;
    job::TextCells labels;
    if (!LoadSet(job, DataSet::kTrainingOutputs, nullptr, &labels, &labels_read) ||
        !SetTrainingClasses(job, labels_read, labels, input_values, keeps_outputs)) {
      return false;
    }
  } else if (!LoadSet(job, DataSet::kTrainingOutputs, keep_outputs)) {
    return false;
  }
  // The prediction inputs are scaled with the training inputs' ranges, so the order is fixed.
  return !job::PredictsOutputs(job) || LoadSet(job, DataSet::kPredictionInputs);
}

}  // namespace

bool LoadJobData(JobSettings& job) {
  const bool loaded = job::TrainsNetwork(job) ? LoadForTraining(job) : LoadForSavedNetwork(job);
  return loaded && LoadValidationData(job);
}

}  // namespace tarvex::input
