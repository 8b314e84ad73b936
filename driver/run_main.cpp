#include "driver/run_main.h"

#include <exception>

#include "database/run_connections.h"
#include "driver/command_line.h"
#include "job/console.h"
#include "job/job_settings.h"
#include "job/run_log.h"
#include "network/data_check.h"
#include "network/saved_predict.h"
#include "network/train_predict.h"
#include "network/validation_data.h"
#include "onnx/model_export.h"
#include "output/out_predict.h"
#include "platform/locale_text.h"
#include "report/report_page.h"
#include "results/run_summary.h"
#include "workbook/application.h"

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
    if (!network::CheckValidationData(job)) return kFailed;
    // A job with a saved network predicts with it instead of training one.
    const bool succeeded = job::TrainsNetwork(job) ? network::TrainAndPredict(job)
                                                   : network::PredictWithSavedNetwork(job);
    if (!succeeded) return kFailed;
    // A job that only saves or exports its network has no output target.
    if (job::PredictsOutputs(job)) {
      if (!output::OutPredictToFile(job)) return kFailed;
      job.Results.predictions_written = true;
    }
    // Last, so that a model that cannot be written leaves the job's other outputs as they are.
    return onnx::ExportOnnxModels(job) ? kSucceeded : kFailed;
  } catch (const std::exception& failure) {
    job::NoteSilentFailure("running the job", failure);
    return kFailed;
  }
}

// Every run whose options could be read ends with the files that tell how it went (the report
// for a person, the summary for programs), whether it succeeded or not; one that cannot be
// written fails the run.
template <typename Write>
int WriteClosingFile(const JobSettings& job, int status, bool asked_for, Write write) {
  if (job.Options == job::OptionsState::kNotRead || !asked_for) return status;
  try {
    write(job, status, job::FirstFailure());
    return status;
  } catch (const std::exception& failure) {
    job::WriteLog(job.log, job::DescribeFailure(failure));
    return kFailed;
  }
}

}  // namespace

int RunMain(std::string_view command_text) {
  job::ConsoleSession console;  // at a terminal only: the progress line and the failure lines
  // Workbooks and databases that several data sets (and the output) name are opened once.
  workbook::RunApplication workbooks;
  database::RunConnections databases;
  JobSettings job;
  job::ForgetFailures();
  int status = RunStages(job, command_text);
  // The report comes first, so that the summary tells of a report that could not be written; a
  // summary that cannot be written fails the run, and the report is written again to say so.
  const bool reports = !job.rof.empty() && !job.ReportRefused;
  status = WriteClosingFile(job, status, reports, report::WriteReport);
  const int status_before_summary = status;
  status = WriteClosingFile(job, status, !job.sof.empty() && !job.SummaryRefused,
                            results::WriteRunSummary);
  if (status != status_before_summary) {
    status = WriteClosingFile(job, status, reports, report::WriteReport);
  }
  console.Finish(status == kSucceeded, !job.log.empty());
  return status;
}

}  // namespace tarvex::driver
