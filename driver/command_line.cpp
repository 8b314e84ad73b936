#include "driver/command_line.h"

#include <exception>
#include <optional>
#include <string>

#include "driver/export_options.h"
#include "driver/option_checks.h"
#include "driver/options.h"
#include "driver/parameter_file.h"
#include "input/load_job_data.h"
#include "job/console.h"
#include "job/option_table.h"
#include "job/own_files.h"
#include "job/scaling.h"
#include "netfile/network_store.h"
#include "platform/command_text.h"
#include "platform/paths.h"

namespace tarvex::driver {

using job::JobSettings;

namespace {

// The command line's items, then the parameter file, whose values replace theirs; then what
// follows from all of them together.
bool ReadOptions(JobSettings& job, std::string_view command_text) {
  platform::ForEachOptionItem(command_text, [&job](std::string_view key, std::string_view value) {
    for (const OptionRow& option : CommandLineOptions()) {
      if (option.key == key) {
        option.apply(job, value);  // a later item with the same key overwrites
        return;
      }
    }
  });
  if (!job.ini.empty() && !ReadParameterFile(job, job.ini)) return false;
  job.pof = job::ApplyProgramFolderRule(job.pof, platform::ProgramFolder());
  SetExportFiles(job);
  return true;
}

}  // namespace

bool ReadCommandLine(JobSettings& job, std::string_view command_text) {
  // No log path is known yet, so an empty command text ends the run without a word.
  if (command_text.empty()) {
    job::NoteSilentFailure("no options were given (tarvex --help lists them)");
    return false;
  }
  try {
    if (!ReadOptions(job, command_text)) return false;
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
    if (!CheckOptions(job)) return false;
    // A saved network's ranges take the place of those of the training data.
    if (!job::TrainsNetwork(job) &&
        (!netfile::ReadNetworkFile(job) || !CheckSavedCategories(job))) {
      return false;
    }
    return input::LoadJobData(job);
  } catch (const std::exception& failure) {
    job::NoteSilentFailure("reading the options", failure);
    return false;
  }
}

}  // namespace tarvex::driver
