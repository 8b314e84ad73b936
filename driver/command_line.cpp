#include "driver/command_line.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <string>

#include "driver/options.h"
#include "driver/parameter_file.h"
#include "input/load_data_set.h"
#include "job/console.h"
#include "job/messages.h"
#include "job/own_files.h"
#include "job/run_log.h"
#include "job/scaling.h"
#include "network/network_store.h"
#include "platform/command_text.h"
#include "platform/paths.h"

namespace tarvex::driver {

using job::BoundedVector;
using job::DataMatrix;
using job::Index;
using job::JobSettings;
using job::WriteLog;

namespace {

constexpr std::string_view kBothNetworkFiles =
    "The Parameters '/nif' and '/nof' cannot be used together.";
constexpr std::string_view kNetworkInputsTemplate =
    "Prediction inputs do not match the network. File: 'Parameter0'";

// A file given for a data set wins over values given for it.
bool LoadFromFileOrValues(JobSettings& job, const std::string& file, const std::string& values,
                          const std::string& selector, DataMatrix& target, std::string_view code,
                          std::string_view option_name,
                          const input::BeforeScaling& before_scaling = nullptr) {
  if (!file.empty()) {
    return input::LoadDataSet(job, file, target, "F", code, selector, before_scaling);
  }
  if (!values.empty()) {
    return input::LoadDataSet(job, values, target, "D", code, "", before_scaling);
  }
  WriteLog(job.log, job::FillTemplate(job::kEmptyParameterTemplate, option_name));
  return false;
}

BoundedVector Rebased(const BoundedVector& vector, Index low) {
  BoundedVector rebased(low, low + vector.High() - vector.Low());
  std::ranges::copy(vector.Values(), rebased.Values().begin());
  return rebased;
}

// In place of the training data: the saved network's ranges, then the prediction inputs scaled
// with them. Their columns must be the network's inputs; the saved ranges then take their column
// bounds, as ranges computed from training inputs of the same kind of source would have.
bool LoadForSavedNetwork(JobSettings& job) {
  if (!network::ReadNetworkFile(job)) return false;
  auto fit = [&job](const DataMatrix& values) {
    if (values.ColumnCount() != job.SavedNetwork.InputCount) {
      WriteLog(job.log, job::FillTemplate(kNetworkInputsTemplate, job.nif) +
                            "   Network Inputs: " + std::to_string(job.SavedNetwork.InputCount) +
                            "   Prediction Inputs Array(" + std::to_string(values.RowCount()) +
                            "," + std::to_string(values.ColumnCount()) + ")");
      return false;
    }
    const Index low = values.ColumnLow();
    job.TrainingInputMin = Rebased(job.TrainingInputMin, low);
    job.TrainingInputMax = Rebased(job.TrainingInputMax, low);
    job.TrainingOutputMin = Rebased(job.TrainingOutputMin, low);
    job.TrainingOutputMax = Rebased(job.TrainingOutputMax, low);
    return true;
  };
  return LoadFromFileOrValues(job, job.pif, job.piv, job.pifh, job.PredictionInputs, "IP", "'/pif'",
                              fit);
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

    // Fixed before any loading: the loader scales every value into this range.
    job.ScaleLow = job::GetScaleLow(job);
    job.ScaleHigh = job::GetScaleHigh(job);

    job.pof = ApplyProgramFolderRule(job.pof, platform::ProgramFolder());
    // Before the first entry: a log that would damage a file has nowhere to say so.
    if (std::optional<std::string> clash = job::RunLogClash(job)) {
      job::NoteSilentFailure(*clash + "; nothing was written");
      return false;
    }

    // Saving a network needs training; a saved network is not trained.
    if (!job.nif.empty() && !job.nof.empty()) {
      WriteLog(job.log, kBothNetworkFiles);
      return false;
    }
    if (job.pof.empty() && job::PredictsOutputs(job)) {
      WriteLog(job.log, job::FillTemplate(job::kEmptyParameterTemplate, "'/pof'"));
      return false;
    }
    if (!job::TrainsNetwork(job)) return LoadForSavedNetwork(job);

    // The prediction inputs are scaled with the training inputs' ranges, so the order is fixed.
    return LoadFromFileOrValues(job, job.tif, job.tiv, job.tifh, job.TrainingInputs, "IT",
                                "'/tif'") &&
           LoadFromFileOrValues(job, job.tof, job.tov, job.tofh, job.TrainingOutputs, "OT",
                                "'/tof'") &&
           (!job::PredictsOutputs(job) ||
            LoadFromFileOrValues(job, job.pif, job.piv, job.pifh, job.PredictionInputs, "IP",
                                 "'/pif'"));
  } catch (const std::exception& failure) {
    job::NoteSilentFailure("reading the options", failure);
    return false;
  }
}

}  // namespace tarvex::driver
