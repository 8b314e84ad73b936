#include "driver/run_main.h"

#include <exception>

#include "driver/command_line.h"
#include "job/console.h"
#include "job/job_settings.h"
#include "network/data_check.h"
#include "network/saved_predict.h"
#include "network/train_predict.h"
#include "output/out_predict.h"
#include "platform/locale_text.h"

namespace tarvex::driver {

using job::JobSettings;

namespace {

constexpr int kSucceeded = 0;
constexpr int kFailed = 1;

int RunStages(JobSettings& job, std::string_view command_text) {
  try {
    job.DecimalSeparator = platform::LocaleDecimalSeparator();
    job::SetDefaults(job);
    // Each stage logs its own failure; a stage runs only when every stage before it succeeded.
    if (!ReadCommandLine(job, command_text)) return kFailed;
    if (!network::CheckTrainingData(job)) return kFailed;
    // A job with a saved network predicts with it instead of training one.
    const bool succeeded = job::TrainsNetwork(job) ? network::TrainAndPredict(job)
                                                   : network::PredictWithSavedNetwork(job);
    if (!succeeded) return kFailed;
    // A job that only saves its network has no output target.
    if (!job::PredictsOutputs(job)) return kSucceeded;
    return output::OutPredictToFile(job) ? kSucceeded : kFailed;
  } catch (const std::exception& failure) {
    job::NoteSilentFailure("running the job", failure);
    return kFailed;
  }
}

}  // namespace

int RunMain(std::string_view command_text) {
  job::ConsoleSession console;  // at a terminal only: the progress line and the failure lines
  JobSettings job;
  const int status = RunStages(job, command_text);
  console.Finish(status == kSucceeded, !job.log.empty());
  return status;
}

}  // namespace tarvex::driver
