#include "driver/command_line.h"

#include <exception>
#include <optional>
#include <string>

#include "driver/export_options.h"
#include "driver/options.h"
#include "driver/parameter_file.h"
#include "driver/validation_options.h"
#include "input/load_data_set.h"
#include "job/console.h"
#include "job/messages.h"
#include "job/own_files.h"
#include "job/run_log.h"
#include "job/scaling.h"
#include "netfile/network_store.h"
#include "platform/command_text.h"
#include "platform/paths.h"

namespace tarvex::driver {

using job::DataMatrix;
using job::Index;
using job::JobSettings;
using job::WriteLog;

namespace {

constexpr std::string_view kNetworkInputsTemplate =
    "Prediction inputs do not match the network. File: 'Parameter0'";
constexpr std::string_view kNetworkValidationTemplate =
    "Validation Parameter0 do not match the network. File: 'Parameter1'";

// A file given for a data set wins over values given for it.
bool LoadFromFileOrValues(JobSettings& job, const std::string& file, const std::string& values,
                          const std::string& selector, DataMatrix& target, input::DataSet set,
                          std::string_view option_name,
                          const input::BeforeScaling& before_scaling = nullptr) {
  if (!file.empty()) {
    return input::LoadDataSet(job, file, target, input::Source::kFile, set, selector,
                              before_scaling);
  }
  if (!values.empty()) {
    return input::LoadDataSet(job, values, target, input::Source::kValues, set, "", before_scaling);
  }
  WriteLog(job.log, job::FillTemplate(job::kEmptyParameterTemplate, option_name));
  return false;
}

// In place of the training data: the saved network's ranges, then the prediction inputs scaled
// with them. Their columns must be the network's inputs; the saved ranges then take their column
// bounds, as ranges computed from training inputs of the same kind of source would have.
bool LoadForSavedNetwork(JobSettings& job) {
  if (!netfile::ReadNetworkFile(job)) return false;
  // A job that only exports the network needs no prediction inputs; the ranges keep bound 0.
  if (!job::PredictsOutputs(job)) return true;
  auto fit = [&job](const DataMatrix& values) {
    if (values.ColumnCount() != job.SavedNetwork.InputCount) {
      WriteLog(job.log, job::FillTemplate(kNetworkInputsTemplate, job.nif) +
                            "   Network Inputs: " + std::to_string(job.SavedNetwork.InputCount) +
                            "   Prediction Inputs Array(" + std::to_string(values.RowCount()) +
                            "," + std::to_string(values.ColumnCount()) + ")");
      return false;
    }
    const Index low = values.ColumnLow();
    job.TrainingInputMin = job::Rebased(job.TrainingInputMin, low);
    job.TrainingInputMax = job::Rebased(job.TrainingInputMax, low);
    job.TrainingOutputMin = job::Rebased(job.TrainingOutputMin, low);
    job.TrainingOutputMax = job::Rebased(job.TrainingOutputMax, low);
    return true;
  };
  return LoadFromFileOrValues(job, job.pif, job.piv, job.pifh, job.PredictionInputs,
                              input::DataSet::kPredictionInputs, "'/pif'", fit);
}

// The validation data, after the data sets of every job: inputs as wide as the network's inputs,
// outputs as wide as its outputs (checked before scaling, which needs a range per column), the
// outputs also kept as given for the error figures.
bool LoadValidationData(JobSettings& job) {
  if (!job::HasValidationSource(job)) return true;
  const bool trains = job::TrainsNetwork(job);
  auto fits = [&job, trains](const DataMatrix& values, bool inputs) {
    const DataMatrix& training = inputs ? job.TrainingInputs : job.TrainingOutputs;
    const Index expected = trains   ? training.ColumnCount()
                           : inputs ? job.SavedNetwork.InputCount
                                    : job.SavedNetwork.OutputCount;
    if (values.ColumnCount() == expected) return true;
    const char* label = inputs ? "Validation Inputs" : "Validation Outputs";
    const std::string shape = job::DimensionsText(label, values.RowCount(), values.ColumnCount());
    if (trains) {
      using input::DataSet;
      WriteLog(job.log,
               job::FillTemplate(job::kNotAlignedTemplate,
                                 input::QuotedLabel(inputs ? DataSet::kTrainingInputs
                                                           : DataSet::kTrainingOutputs),
                                 input::QuotedLabel(inputs ? DataSet::kValidationInputs
                                                           : DataSet::kValidationOutputs)) +
                   job::DimensionsText(inputs ? "Traning Inputs" : "Traning Outputs",
                                       training.RowCount(), training.ColumnCount()) +
                   shape);
    } else {
      WriteLog(job.log, job::FillTemplate(kNetworkValidationTemplate, inputs ? "inputs" : "outputs",
                                          job.nif) +
                            (inputs ? "   Network Inputs: " : "   Network Outputs: ") +
                            std::to_string(expected) + shape);
    }
    return false;
  };
  return LoadFromFileOrValues(job, job.vif, job.viv, job.vifh, job.ValidationInputs,
                              input::DataSet::kValidationInputs, "'/vif'",
                              [&fits](const DataMatrix& values) { return fits(values, true); }) &&
         LoadFromFileOrValues(job, job.vof, job.vov, job.vofh, job.ValidationOutputs,
                              input::DataSet::kValidationOutputs, "'/vof'",
                              [&job, &fits](const DataMatrix& values) {
                                if (!fits(values, false)) return false;
                                job.ValidationOutputValues = values;
                                return true;
                              });
}

}  // namespace

bool ReadCommandLine(JobSettings& job, std::string_view command_text) {
  // No log path is known yet, so an empty command text ends the run without a word.
  if (command_text.empty()) {
    job::NoteSilentFailure("no options were given (tarvex --help lists them)");
    return false;
  }
  try {
    platform::ForEachOptionItem(command_text, [&job](std::string_view key, std::string_view value) {
      for (const OptionRow& option : CommandLineOptions()) {
        if (option.key == key) {
          option.apply(job, value);  // a later item with the same key overwrites
          return;
        }
      }
    });
    // The parameter file is read last, so its values replace the command line's.
    if (!job.ini.empty() && !ReadParameterFile(job, job.ini)) return false;
    job.pof = job::ApplyProgramFolderRule(job.pof, platform::ProgramFolder());
    SetExportFiles(job);
    // Before the first entry, and before the options count as read, so that no summary follows
    // either: a log that would damage a file has nowhere to say so.
    if (std::optional<std::string> clash = job::RunLogClash(job)) {
      job::NoteSilentFailure(*clash + "; nothing was written");
      return false;
    }
    job.Options = job::OptionsState::kRead;

    // Fixed before any loading: the loader scales every value into this range.
    job.ScaleLow = job::GetScaleLow(job);
    job.ScaleHigh = job::GetScaleHigh(job);

    // Saving a network needs training; a saved network is not trained.
    if (!job.nif.empty() && !job.nof.empty()) {
      WriteLog(job.log, job::FillTemplate(job::kExclusiveParametersTemplate, "'/nif'", "'/nof'"));
      return false;
    }
    if (!CheckValidationOptions(job)) return false;
    if (!CheckExportOptions(job)) return false;
    if (job.pof.empty() && job::PredictsOutputs(job)) {
      WriteLog(job.log, job::FillTemplate(job::kEmptyParameterTemplate, "'/pof'"));
      return false;
    }
    if (!job::TrainsNetwork(job)) return LoadForSavedNetwork(job) && LoadValidationData(job);

    // The error figures and the curve compare predictions with the outputs as given.
    input::BeforeScaling keep_outputs;
    if (job::WantsFigures(job) || !job.lcf.empty()) {
      keep_outputs = [&job](const DataMatrix& values) {
        job.TrainingOutputValues = values;
        return true;
      };
    }
    // Cross-validation scales each fold's rows with ranges of their own.
    input::BeforeScaling keep_inputs;
    if (job.Folds > 0) {
      keep_inputs = [&job](const DataMatrix& values) {
        job.TrainingInputValues = values;
        return true;
      };
    }
    // The prediction inputs are scaled with the training inputs' ranges, so the order is fixed.
    return LoadFromFileOrValues(job, job.tif, job.tiv, job.tifh, job.TrainingInputs,
                                input::DataSet::kTrainingInputs, "'/tif'", keep_inputs) &&
           LoadFromFileOrValues(job, job.tof, job.tov, job.tofh, job.TrainingOutputs,
                                input::DataSet::kTrainingOutputs, "'/tof'", keep_outputs) &&
           (!job::PredictsOutputs(job) ||
            LoadFromFileOrValues(job, job.pif, job.piv, job.pifh, job.PredictionInputs,
                                 input::DataSet::kPredictionInputs, "'/pif'")) &&
           LoadValidationData(job);
  } catch (const std::exception& failure) {
    job::NoteSilentFailure("reading the options", failure);
    return false;
  }
}

}  // namespace tarvex::driver
