#include "driver/option_checks.h"

#include <cmath>
#include <exception>
#include <optional>
#include <string>

#include "driver/export_options.h"
#include "job/class_list.h"
#include "job/job_file.h"
#include "job/messages.h"
#include "job/own_files.h"
#include "job/parse_number.h"
#include "job/required_options.h"
#include "job/run_log.h"
#include "platform/number_text.h"
#include "platform/text.h"
#include "training/training_run.h"

namespace tarvex::driver {

using job::JobSettings;
using job::WriteLog;

namespace {

constexpr double kLargestSeed = 4294967295.0;
// Each network of an ensemble holds an engine and its weights while the others train.
constexpr double kMostEnsembleMembers = 1000.0;

// A whole number from 0 to largest, written as the whole-number options are.
bool ReadCount(const JobSettings& job, const std::string& text, double largest, double& number) {
  double value;
  if (!platform::ConvertLocaleNumber(text, job.DecimalSeparator, value)) return false;
  if (!(value >= 0 && value <= largest) || std::nearbyint(value) != value) return false;
  number = value;
  return true;
}

bool Refuse(const JobSettings& job, const std::string& line) {
  WriteLog(job.log, line);
  return false;
}

std::string Exclusive(std::string_view first, std::string_view second) {
  return job::FillTemplate(job::kExclusiveParametersTemplate, first, second);
}

// The validation option that the job gives, for a line that names it.
std::string_view GivenValidationOption(const JobSettings& job) {
  if (!job.vif.empty()) return "'/vif'";
  if (!job.viv.empty()) return "'/viv'";
  if (!job.vof.empty()) return "'/vof'";
  return "'/vov'";
}

// The files about the run that must not replace one of the job's own files: the summary, the
// report, two new outputs under one name, the saved network.
bool CheckOutputTargets(JobSettings& job) {
  try {
    if (!job.sof.empty()) job::CheckJobFileTarget(job, job.sof, "The run summary file");
  } catch (const std::exception& failure) {
    job.SummaryRefused = true;  // the report is still written and names the line
    return Refuse(job, job::DescribeFailure(failure));
  }
  try {
    if (!job.rof.empty()) job::CheckJobFileTarget(job, job.rof, "The report file");
  } catch (const std::exception& failure) {
    job.ReportRefused = true;  // the summary is still written and names the line
    return Refuse(job, job::DescribeFailure(failure));
  }
  // Two outputs under one new name: the first written would be replaced by the second.
  if (std::optional<job::OutputClash> clash = job::NewOutputsClash(job)) {
    if (clash->path == &job.sof) job.SummaryRefused = true;
    if (clash->path == &job.rof) job.ReportRefused = true;
    return Refuse(job, job::FileNameLine(*clash->path, clash->line + "; nothing was written"));
  }
  try {
    if (!job.nof.empty()) job::CheckJobFileTarget(job, job.nof, "The network output file");
  } catch (const std::exception& failure) {
    return Refuse(job, job::DescribeFailure(failure));
  }
  return true;
}

// /vf, /es, /refit, /ens, /sd and /cv, kept as written, into their numbers.
bool CheckNumberOptions(JobSettings& job) {
  if (!job.vf.empty()) {
    double fraction = 0;
    if (!job::ParseNumber(job.vf, fraction, job.DecimalSeparator) ||
        !(fraction > 0 && fraction < 1)) {
      return Refuse(job,
                    "The Parameter '/vf' must be a fraction between 0 and 1 (both "
                    "excluded): " +
                        job.vf);
    }
    job.ValidationFraction = fraction;
  }
  if (platform::EqualIgnoringAsciiCase(platform::TrimSpaces(job.es), "auto")) {
    job.PatienceFitsCurve = true;
    job.Patience = training::kAutoPatienceFloor;
  } else if (!job.es.empty()) {
    double patience = 0;
    if (!ReadCount(job, job.es, 2147483647.0, patience)) {
      // The line of the fixed patience, as jobs before /es=auto got it.
      return Refuse(job,
                    "The Parameter '/es' must be a whole number of epochs, 0 or more: " + job.es);
    }
    job.Patience = static_cast<std::int32_t>(patience);
  }
  if (!job.refit.empty()) {
    if (job.refit != "0" && job.refit != "1") {
      return Refuse(job, "The Parameter '/refit' must be 0 or 1: " + job.refit);
    }
    job.Refit = job.refit == "1";
  }
  if (!job.ens.empty()) {
    double members = 0;
    if (!ReadCount(job, job.ens, kMostEnsembleMembers, members) || members < 1) {
      return Refuse(job, "The Parameter '/ens' must be a whole number of networks from 1 to " +
                             std::to_string(static_cast<int>(kMostEnsembleMembers)) + ": " +
                             job.ens);
    }
    job.EnsembleSize = static_cast<std::int32_t>(members);
  }
  if (!job.sd.empty()) {
    double seed = 0;
    if (!ReadCount(job, job.sd, kLargestSeed, seed)) {
      return Refuse(job,
                    "The Parameter '/sd' must be a whole number from 0 to 4294967295: " + job.sd);
    }
    job.Seed = static_cast<std::uint32_t>(seed);
  }
  if (!job.cv.empty()) {
    // Whether there are as many training rows as folds is known once they are loaded.
    double folds = 0;
    if (!ReadCount(job, job.cv, 2147483647.0, folds) || folds < 2) {
      return Refuse(job,
                    "The Parameter '/cv' must be a whole number of folds, 2 or more: " + job.cv);
    }
    job.Folds = static_cast<std::int32_t>(folds);
  }
  return true;
}

// The validation options that cannot work together, or with a saved network.
bool CheckOptionCombinations(const JobSettings& job) {
  // A saved network is not trained: it has no rows to hold out, no epochs and no curve.
  if (!job::TrainsNetwork(job)) {
    if (job.ValidationFraction > 0) return Refuse(job, Exclusive("'/nif'", "'/vf'"));
    if (job.Patience > 0) return Refuse(job, Exclusive("'/nif'", "'/es'"));
    if (!job.lcf.empty()) return Refuse(job, Exclusive("'/nif'", "'/lcf'"));
    if (job.Folds > 0) return Refuse(job, Exclusive("'/nif'", "'/cv'"));
    if (job.Refit) return Refuse(job, Exclusive("'/nif'", "'/refit'"));
    if (!job.ens.empty()) return Refuse(job, Exclusive("'/nif'", "'/ens'"));
  }
  // Each fold would need an ensemble of its own.
  if (job.Folds > 0 && job.EnsembleSize > 1) return Refuse(job, Exclusive("'/cv'", "'/ens'"));
  // The folds are the validation data of cross-validation; the final network has none.
  if (job.Folds > 0 && job.ValidationFraction > 0) return Refuse(job, Exclusive("'/cv'", "'/vf'"));
  if (job.Folds > 0 && job::HasValidationSource(job)) {
    return Refuse(job, Exclusive("'/cv'", GivenValidationOption(job)));
  }
  if (job.ValidationFraction > 0 && job::HasValidationSource(job)) {
    return Refuse(job, Exclusive("'/vf'", GivenValidationOption(job)));
  }
  if (job::HasValidationSource(job)) {
    if (job.vif.empty() && job.viv.empty()) {
      return Refuse(job, job::FillTemplate(job::kEmptyParameterTemplate, "'/vif'"));
    }
    if (job.vof.empty() && job.vov.empty()) {
      return Refuse(job, job::FillTemplate(job::kEmptyParameterTemplate, "'/vof'"));
    }
  }
  // The refit network trains for the epochs that the validation rows found best.
  if (job.Refit && !(job.Folds > 0 || (job.Patience > 0 && job.ValidationFraction > 0))) {
    return Refuse(job,
                  "The Parameter '/refit' needs early stopping on held-out rows ('/es' with "
                  "'/vf') or cross-validation ('/cv').");
  }
  if (job.Patience > 0 && !job::HasValidationData(job) && job.Folds == 0) {
    return Refuse(job,
                  "The Parameter '/es' needs validation data: '/vif' and '/vof' (or '/viv' "
                  "and '/vov'), or '/vf'.");
  }
  return true;
}

// Only once the combinations pass: a job with a saved network makes no curve.
bool CheckCurveTarget(const JobSettings& job) {
  try {
    if (!job.lcf.empty()) job::CheckJobFileTarget(job, job.lcf, "The learning curve file");
  } catch (const std::exception& failure) {
    return Refuse(job, job::DescribeFailure(failure));
  }
  return true;
}

// The task and the options that only a classification job takes.
bool CheckClassificationOptions(const JobSettings& job) {
  if (!job.task.empty() && !job::IsClassification(job) &&
      !platform::EqualIgnoringAsciiCase(job.task, "regression")) {
    return Refuse(job, "The Parameter '/task' must be regression or classification: " + job.task);
  }
  if (!job.pp.empty() && job.pp != "0" && job.pp != "1") {
    return Refuse(job, "The Parameter '/pp' must be 0 or 1: " + job.pp);
  }
  // A saved network trains nothing; its file says whether it is a classifier.
  if (!job.nif.empty() && !job.cw.empty()) return Refuse(job, Exclusive("'/nif'", "'/cw'"));
  if (!job::IsClassification(job)) {
    if (!job.pp.empty() && job.nif.empty()) {
      return Refuse(job, Exclusive("'/task=regression'", "'/pp'"));
    }
    if (!job.cw.empty()) return Refuse(job, Exclusive("'/task=regression'", "'/cw'"));
    return true;
  }
  return true;
}

// /mv and /mvi from their lists; a saved network keeps its own rules.
bool CheckTableOptions(const JobSettings& job) {
  try {
    job::ReadTableOptions(job.cat, job.na, job.mv, job.mvi);
  } catch (const std::exception& failure) {
    return Refuse(job, job::DescribeFailure(failure));
  }
  // The model would need the encoding as operators of its own, which it does not have yet.
  if (job::UsesTableOptions(job) && !job.onnx.empty()) {
    return Refuse(job, Exclusive("'/onnx'", !job.cat.empty()  ? "'/cat'"
                                            : !job.na.empty() ? "'/na'"
                                            : !job.mv.empty() ? "'/mv'"
                                                              : "'/mvi'"));
  }
  if (!job.nif.empty()) {
    if (!job.na.empty()) return Refuse(job, Exclusive("'/nif'", "'/na'"));
    if (!job.mv.empty()) return Refuse(job, Exclusive("'/nif'", "'/mv'"));
    if (!job.mvi.empty()) return Refuse(job, Exclusive("'/nif'", "'/mvi'"));
  }
  return true;
}

}  // namespace

bool CheckSavedCategories(const JobSettings& job) {
  if (job.Encoding.Active() && !job.onnx.empty()) {
    return Refuse(job, "The network input file " + job.nif +
                           " encodes its inputs from a table; '/onnx' cannot export it yet");
  }
  if (job.cat.empty()) return true;
  const job::TableOptions options = job::ReadTableOptions(job.cat, job.na, job.mv, job.mvi);
  const auto& columns = job.Encoding.columns;
  bool any = false;
  for (const job::ColumnEncoding& column : columns) any = any || column.categorical;
  if (!any) {
    return Refuse(job, "The Parameter '/cat' names categorical inputs; the network input file " +
                           job.nif + " has none");
  }
  for (const std::string& item : options.cat) {
    bool found = false;
    for (std::size_t c = 0; c < columns.size(); ++c) {
      if (columns[c].categorical && (platform::EqualIgnoringAsciiCase(columns[c].name, item) ||
                                     std::to_string(c + 1) == item)) {
        found = true;
      }
    }
    if (!found) {
      return Refuse(job, "The Parameter '/cat' names \"" + platform::CutText(item, 100) +
                             "\", which is not a categorical input of the network input file " +
                             job.nif);
    }
  }
  return true;
}

bool CheckOptions(JobSettings& job) {
  // Saving a network needs training; a saved network is not trained.
  if (!job.nif.empty() && !job.nof.empty()) {
    return Refuse(job, Exclusive("'/nif'", "'/nof'"));
  }
  if (!CheckOutputTargets(job) || !CheckNumberOptions(job) || !CheckOptionCombinations(job) ||
      !CheckCurveTarget(job)) {
    return false;
  }
  // From here the summary shows the numbers read: the checks below refuse jobs whose numbers are
  // fine, and their summaries have always said so.
  job.Options = job::OptionsState::kNumbersAccepted;
  return CheckClassificationOptions(job) && CheckTableOptions(job) && CheckExportOptions(job) &&
         job::CheckPredictionTargetGiven(job);
}

}  // namespace tarvex::driver
