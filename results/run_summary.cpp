#include "results/run_summary.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <type_traits>
#include <variant>
#include <vector>

#include "job/class_list.h"
#include "job/job_file.h"
#include "job/option_table.h"
#include "results/training_entry.h"

namespace tarvex::results {

using job::ColumnFigures;
using job::DataMatrix;
using job::JobSettings;
using job::StopReason;
using Json = nlohmann::ordered_json;

namespace {

Json TextOrNull(const std::string& text) { return text.empty() ? Json(nullptr) : Json(text); }

// A number option that ReadCommandLine checks: its number once checked, its text as written
// when it was refused, null when it was not given.
template <typename Number>
Json CheckedOption(const JobSettings& job, const std::string& text, Number number) {
  if (text.empty()) return nullptr;
  if (job.Options != job::OptionsState::kNumbersAccepted) return text;
  return number;
}

// A number setting as it is; a text as it is, or as CheckedOption gives it where the checks read
// it into a number.
Json OptionValue(const JobSettings& job, const job::OptionDefinition& option) {
  return std::visit(
      [&job, &option](auto setting) -> Json {
        const auto& value = job.*setting;
        if constexpr (std::is_same_v<std::remove_cvref_t<decltype(value)>, std::string>) {
          return std::visit(
              [&job, &value, &option](auto checked) -> Json {
                if constexpr (std::is_same_v<decltype(checked), std::monostate>) {
                  return TextOrNull(value);
                } else {
                  // The rule that fits the curve keeps its floor in Patience.
                  if (option.key == "es" && job.PatienceFitsCurve) return Json("auto");
                  const auto& number = job.*checked;
                  if constexpr (requires { number.value_or(0); }) {
                    return CheckedOption(job, value, number.value_or(0));
                  } else {
                    return CheckedOption(job, value, number);
                  }
                }
              },
              option.checked);
        } else {
          return value;
        }
      },
      option.setting);
}

// In the summary's own order of the table's keys.
std::vector<const job::OptionDefinition*> SummaryOptions() {
  std::vector<const job::OptionDefinition*> options;
  for (const job::OptionDefinition& option : job::OptionTable()) {
    if (option.summary_place > 0) options.push_back(&option);
  }
  std::ranges::sort(options, {}, &job::OptionDefinition::summary_place);
  return options;
}

Json Options(const JobSettings& job) {
  static const std::vector<const job::OptionDefinition*> summary_options = SummaryOptions();
  Json options;
  for (const job::OptionDefinition* option : summary_options) {
    if ((option->marks & job::kSummaryWhereGiven) != 0 &&
        (job.*std::get<std::string JobSettings::*>(option->setting)).empty()) {
      continue;
    }
    options[std::string(option->key)] = OptionValue(job, *option);
  }
  return options;
}

// Where a data set came from and its shape as the job used it (null where it was not loaded).
Json DataSet(const std::string& file, const std::string& selector, const std::string& values,
             const DataMatrix& matrix) {
  Json set;
  if (!file.empty()) {
    set["source"] = "file";
    set["name"] = file;
    set["selector"] = TextOrNull(selector);
  } else {
    set["source"] = values.empty() ? Json(nullptr) : Json("values");
    set["name"] = nullptr;
    set["selector"] = nullptr;
  }
  set["rows"] = matrix.HasDimensions() ? Json(matrix.RowCount()) : Json(nullptr);
  set["columns"] = matrix.HasDimensions() ? Json(matrix.ColumnCount()) : Json(nullptr);
  return set;
}

// What each input column of the training inputs held and became.
Json Columns(const JobSettings& job) {
  Json columns = Json::array();
  const job::DataProfile& profile = job.Profile;
  for (std::size_t c = 0; c < job.Encoding.columns.size(); ++c) {
    const job::ColumnEncoding& column = job.Encoding.columns[c];
    const job::ColumnProfile seen =
        c < profile.columns.size() ? profile.columns[c] : job::ColumnProfile();
    Json item;
    item["name"] = column.name;
    item["kind"] = column.categorical ? "categorical" : "numeric";
    item["missing"] = profile.of_training_rows ? Json(seen.missing) : Json(nullptr);
    item["fill"] = column.categorical ? Json(nullptr) : Json(column.fill);
    if (column.categorical) {
      Json categories = Json::array();
      for (const auto& [category, count] : seen.category_counts) {
        categories.push_back({{"category", category}, {"count", count}});
      }
      // A saved network knows its categories, not how often the training rows held them.
      if (seen.category_counts.empty()) {
        for (const std::string& category : column.categories) {
          categories.push_back({{"category", category}, {"count", nullptr}});
        }
      }
      item["categories"] = std::move(categories);
    } else {
      item["categories"] = nullptr;
    }
    item["unseen"] = {{"count", seen.unseen}, {"names", seen.unseen_names}};
    item["indicator"] = column.indicator;
    item["min"] = seen.has_range ? Json(seen.min) : Json(nullptr);
    item["max"] = seen.has_range ? Json(seen.max) : Json(nullptr);
    columns.push_back(std::move(item));
  }
  return columns;
}

Json Data(const JobSettings& job) {
  Json data;
  if (job::TrainsNetwork(job)) {
    data["training_inputs"] = DataSet(job.tif, job.tifh, job.tiv, job.TrainingInputs);
    data["training_outputs"] = DataSet(job.tof, job.tofh, job.tov, job.TrainingOutputs);
  } else {
    data["training_inputs"] = nullptr;
    data["training_outputs"] = nullptr;
  }
  data["prediction_inputs"] = job::PredictsOutputs(job)
                                  ? DataSet(job.pif, job.pifh, job.piv, job.PredictionInputs)
                                  : Json(nullptr);
  if (job.ValidationFraction > 0) {
    for (const auto& [key, matrix] : {std::pair{"validation_inputs", &job.ValidationInputs},
                                      std::pair{"validation_outputs", &job.ValidationOutputs}}) {
      Json set = DataSet("", "", "", *matrix);
      set["source"] = "held_out";
      data[key] = set;
    }
  } else if (job::HasValidationSource(job)) {
    data["validation_inputs"] = DataSet(job.vif, job.vifh, job.viv, job.ValidationInputs);
    data["validation_outputs"] = DataSet(job.vof, job.vofh, job.vov, job.ValidationOutputs);
  } else {
    data["validation_inputs"] = nullptr;
    data["validation_outputs"] = nullptr;
  }
  // Only for jobs with an encoding, so that other summaries stay as they were.
  if (job.Encoding.Active()) data["columns"] = Columns(job);
  return data;
}

Json Network(const JobSettings& job) {
  const job::TrainingResults::Layout& layout = job.Results.network;
  if (layout.inputs == 0) return nullptr;
  Json network;
  network["inputs"] = layout.inputs;
  network["hidden"] = layout.hidden;
  network["outputs"] = layout.outputs;
  network["activation"] = job.af;
  return network;
}

const char* StopName(StopReason stop) {
  switch (stop) {
    case StopReason::kWeightDeltaTarget:
      return "weight_delta_target";
    case StopReason::kEpochLimit:
      return "epoch_limit";
    case StopReason::kEarlyStop:
      return "early_stop";
    case StopReason::kNotTrained:
      break;
  }
  return nullptr;
}

Json Figures(const std::vector<ColumnFigures>& figures);
Json ClassFiguresJson(const JobSettings& job,
                      const std::optional<job::ClassificationFigures>& computed);

Json Training(const JobSettings& job) {
  if (!job::TrainsNetwork(job) || job.Results.network.inputs == 0) return nullptr;
  Json training;
  training["epochs"] = job.LastEpoch;
  training["best_epoch"] =
      job.Results.best_epoch > 0 ? Json(job.Results.best_epoch) : Json(nullptr);
  const char* stop = StopName(job.Results.stop);
  training["stop"] = stop != nullptr ? Json(stop) : Json(nullptr);
  training["seconds"] = job.Results.seconds;
  // Only where there is something to say, so that the summaries of other jobs stay as they were.
  if (job.Results.refit) {
    const job::RefitResult& refit = *job.Results.refit;
    training["refit"] = {{"rows", refit.rows},
                         {"epochs", refit.last_epoch},
                         {"epochs_from", refit.from_folds ? "folds_mean_best_epoch" : "best_epoch"},
                         {"seconds", refit.seconds},
                         {"predicts", true}};
    // Of its own training rows, which are all the rows: none of them is held out from it.
    training["refit"]["training_metrics"] = refit.class_training
                                                ? ClassFiguresJson(job, refit.class_training)
                                                : Figures(refit.training);
  }
  if (!job.Results.ensemble.empty()) {
    Json members = Json::array();
    for (const job::EnsembleMember& member : job.Results.ensemble) {
      Json entry;
      entry["seed"] = member.seed ? Json(*member.seed) : Json(nullptr);  // none: the fixed start
      entry["epochs"] = member.last_epoch;
      entry["best_epoch"] = member.best_epoch > 0 ? Json(member.best_epoch) : Json(nullptr);
      const char* member_stop = StopName(member.stop);
      entry["stop"] = member_stop != nullptr ? Json(member_stop) : Json(nullptr);
      entry["refit_epochs"] = member.refit_epochs > 0 ? Json(member.refit_epochs) : Json(nullptr);
      entry["seconds"] = member.seconds;
      // Of the network that validation watched, on the job's validation rows.
      entry["validation_metrics"] = member.class_validation
                                        ? ClassFiguresJson(job, member.class_validation)
                                        : Figures(member.validation);
      members.push_back(std::move(entry));
    }
    training["ensemble"] = {{"networks", job.Results.ensemble.size()},
                            {"predicts", "mean_output"},
                            {"members", std::move(members)}};
  }
  if (!job.Results.warnings.empty()) training["warnings"] = WarningLines(job);
  return training;
}

Json Figures(const std::vector<ColumnFigures>& figures) {
  if (figures.empty()) return nullptr;
  Json list = Json::array();
  for (std::size_t column = 0; column < figures.size(); ++column) {
    Json entry;
    entry["column"] = column + 1;
    entry["rmse"] = figures[column].rmse;
    entry["mae"] = figures[column].mae;
    entry["r2"] = figures[column].r2 ? Json(*figures[column].r2) : Json(nullptr);
    list.push_back(entry);
  }
  return list;
}

Json Optional(const std::optional<double>& value) { return value ? Json(*value) : Json(nullptr); }

// A classifier's figures; null where they were not computed.
Json ClassFiguresJson(const JobSettings& job,
                      const std::optional<job::ClassificationFigures>& computed) {
  if (!computed) return nullptr;
  const job::ClassificationFigures& figures = *computed;
  Json entry;
  entry["rows"] = figures.rows;
  entry["accuracy"] = figures.accuracy;
  entry["error_rate"] = figures.error_rate;
  entry["majority_error_rate"] = figures.majority_error_rate;
  entry["balanced_accuracy"] = figures.balanced_accuracy;
  entry["log_loss"] = figures.log_loss;
  entry["macro_f1"] = figures.macro_f1;
  entry["kappa"] = Optional(figures.kappa);
  entry["auc"] = Optional(figures.auc);
  Json& classes = entry["classes"] = Json::array();
  for (std::size_t k = 0; k < figures.classes.size(); ++k) {
    const job::ClassFigures& figure = figures.classes[k];
    Json item;
    item["label"] = job.Classes[k];
    item["precision"] = figure.precision;
    item["recall"] = figure.recall;
    item["f1"] = figure.f1;
    item["support"] = figure.support;
    item["auc"] = Optional(figure.auc);
    classes.push_back(item);
  }
  entry["confusion"] = figures.confusion;
  return entry;
}

// Each fold's rows, training and figures, and the mean and standard deviation of the figures;
// null when the run ended before the folds were trained.
Json CrossValidation(const JobSettings& job) {
  const std::vector<job::FoldResult>& folds = job.Results.folds;
  if (folds.empty()) return nullptr;
  Json result;
  result["folds"] = folds.size();
  Json& list = result["per_fold"] = Json::array();
  for (std::size_t index = 0; index < folds.size(); ++index) {
    const job::FoldResult& fold = folds[index];
    Json entry;
    entry["fold"] = index + 1;
    entry["training_rows"] = fold.training_rows;
    entry["validation_rows"] = fold.validation_rows;
    entry["epochs"] = fold.last_epoch;
    entry["best_epoch"] = fold.best_epoch > 0 ? Json(fold.best_epoch) : Json(nullptr);
    const char* stop = StopName(fold.stop);
    entry["stop"] = stop != nullptr ? Json(stop) : Json(nullptr);
    entry["seconds"] = fold.seconds;
    if (job::IsClassification(job)) {
      entry["metrics"]["training"] = ClassFiguresJson(job, fold.class_training);
      entry["metrics"]["validation"] = ClassFiguresJson(job, fold.class_validation);
    } else {
      entry["metrics"]["training"] = Figures(fold.training);
      entry["metrics"]["validation"] = Figures(fold.validation);
    }
    list.push_back(entry);
  }
  for (const bool validation : {true, false}) {
    const job::FoldStatistics& statistics =
        validation ? job.Results.fold_validation : job.Results.fold_training;
    const char* rows = validation ? "validation" : "training";
    if (job::IsClassification(job)) {
      for (const job::ClassFigureStatistics& figure :
           validation ? job.Results.class_fold_validation : job.Results.class_fold_training) {
        result["mean"][rows][figure.name] = Optional(figure.mean);
        result["standard_deviation"][rows][figure.name] = Optional(figure.deviation);
      }
      continue;
    }
    result["mean"][rows] = Figures(statistics.mean);
    result["standard_deviation"][rows] = Figures(statistics.deviation);
  }
  return result;
}

}  // namespace

Json RunSummary(const JobSettings& job, int exit_status,
                const std::optional<std::string>& failure_line) {
  Json summary;
  summary["format"] = kRunSummaryFormat;
  summary["version"] = kRunSummaryVersion;
  summary["status"] = exit_status == 0 ? "succeeded" : "failed";
  summary["exit_status"] = exit_status;
  summary["failure"] = failure_line ? Json(*failure_line) : Json(nullptr);
  summary["options"] = Options(job);
  summary["data"] = Data(job);
  summary["network"] = Network(job);
  summary["training"] = Training(job);
  if (job::IsClassification(job)) {
    summary["metrics"]["training"] = ClassFiguresJson(job, job.Results.class_training);
    summary["metrics"]["validation"] = ClassFiguresJson(job, job.Results.class_validation);
    Json& classification = summary["classification"];
    classification["classes"] = job.Classes;
    classification["labels_are_numbers"] = job.ClassesAreNumbers;
    classification["class_weights"] =
        job.ClassWeights.empty() ? Json(nullptr) : Json(job.ClassWeights);
    classification["unlabelled_training_rows"] = job.UnlabelledTrainingRows;
    classification["unlabelled_validation_rows"] = job.UnlabelledValidationRows;
  } else {
    summary["metrics"]["training"] = Figures(job.Results.training);
    summary["metrics"]["validation"] = Figures(job.Results.validation);
  }
  if (!job.cv.empty()) summary["cross_validation"] = CrossValidation(job);
  if (job.Encoding.Active()) {
    Json& table = summary["table"];
    table["missing"] = job::MissingRuleName(job.Encoding.rule);
    table["na"] = job.Encoding.na;
    table["network_inputs"] = job.Encoding.EncodedCount();
    table["training_rows"] =
        job.Profile.of_training_rows ? Json(job.Profile.training_rows) : Json(nullptr);
    table["training_rows_without_output"] = job.Profile.training_rows_without_output;
    table["validation_rows_without_output"] = job.Profile.validation_rows_without_output;
  }
  Json& outputs = summary["outputs"];
  outputs["predictions"] = job.Results.predictions_written ? Json(job.pof) : Json(nullptr);
  outputs["network"] = job.Results.network_written ? Json(job.nof) : Json(nullptr);
  outputs["curve"] = job.Results.curve_written ? Json(job.lcf) : Json(nullptr);
  return summary;
}

std::string RunSummaryText(const JobSettings& job, int exit_status,
                           const std::optional<std::string>& failure_line) {
  const Json summary = RunSummary(job, exit_status, failure_line);
  // Paths and log lines are bytes as the user gave them; what is not UTF-8 is replaced rather
  // than failing the summary.
  return summary.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

void WriteRunSummary(const JobSettings& job, int exit_status,
                     const std::optional<std::string>& failure_line) {
  job::WriteJobFile(job, job.sof, "The run summary file",
                    RunSummaryText(job, exit_status, failure_line));
}

}  // namespace tarvex::results
