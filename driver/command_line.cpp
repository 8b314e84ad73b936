#include "driver/command_line.h"

#include <exception>
#include <string>

#include "driver/options.h"
#include "driver/parameter_file.h"
#include "input/load_data_set.h"
#include "job/console.h"
#include "job/messages.h"
#include "job/run_log.h"
#include "job/scaling.h"
#include "platform/command_text.h"
#include "platform/paths.h"

namespace tarvex::driver {

using job::DataMatrix;
using job::JobSettings;
using job::WriteLog;

namespace {

// A file given for a data set wins over values given for it.
bool LoadFromFileOrValues(JobSettings& job, const std::string& file, const std::string& values,
                          const std::string& selector, DataMatrix& target, std::string_view code,
                          std::string_view option_name) {
  if (!file.empty()) return input::LoadDataSet(job, file, target, "F", code, selector);
  if (!values.empty()) return input::LoadDataSet(job, values, target, "D", code, "");
  WriteLog(job.log, job::FillTemplate(job::kEmptyParameterTemplate, option_name));
  return false;
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

    if (job.pof.empty()) {
      WriteLog(job.log, job::FillTemplate(job::kEmptyParameterTemplate, "'/pof'"));
      return false;
    }
    job.pof = ApplyProgramFolderRule(job.pof, platform::ProgramFolder());

    // The prediction inputs are scaled with the training inputs' ranges, so the order is fixed.
    return LoadFromFileOrValues(job, job.tif, job.tiv, job.tifh, job.TrainingInputs, "IT",
                                "'/tif'") &&
           LoadFromFileOrValues(job, job.tof, job.tov, job.tofh, job.TrainingOutputs, "OT",
                                "'/tof'") &&
           LoadFromFileOrValues(job, job.pif, job.piv, job.pifh, job.PredictionInputs, "IP",
                                "'/pif'");
  } catch (const std::exception& failure) {
    job::NoteSilentFailure("reading the options", failure);
    return false;
  }
}

}  // namespace tarvex::driver
