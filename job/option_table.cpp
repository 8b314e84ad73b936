#include "job/option_table.h"

#include <cmath>
#include <limits>
#include <type_traits>
#include <utility>

#include "job/failure.h"
#include "job/messages.h"
#include "job/parse_number.h"
#include "platform/number_text.h"
#include "platform/paths.h"

namespace tarvex::job {

namespace {

using J = JobSettings;
using enum ValueForm;

constexpr OptionDefinition kOptions[] = {
    {.key = "lr",
     .setting = &J::lr,
     .form = kDecimal,
     .summary_place = 1,
     .help = "learning rate",
     .default_value = "0.3"},
    {.key = "m",
     .setting = &J::m,
     .form = kDecimal,
     .summary_place = 2,
     .help = "momentum",
     .default_value = "0.6"},
    {.key = "wd",
     .setting = &J::wd,
     .form = kDecimal,
     .summary_place = 3,
     .help = "target minimum weight delta in percent: training stops after an epoch in which no "
             "step changed the weights by more",
     .default_value = "0.001"},
    {.key = "ep",
     .setting = &J::ep,
     .form = kWhole,
     .summary_place = 4,
     .help = "limit of epochs (whole number, halves round to even)",
     .default_value = "3000"},
    {.key = "af",
     .setting = &J::af,
     .form = kActivationCode,
     .summary_place = 6,
     .help = "activation:",  // the codes follow, from job/activation_table.h
     .default_value = "0"},
    {.key = "n",
     .setting = &J::n,
     .form = kWhole,
     .summary_place = 7,
     .help = "neurons in the hidden layer; 0 means 2 x inputs + 2",
     .default_value = "0"},
    {.key = "iw",
     .setting = &J::iw,
     .form = kDecimal,
     .summary_place = 5,
     .help = "initial weights are drawn from [-iw, iw]",
     .default_value = "0.3"},
    {.key = "tif",
     .setting = &J::tif,
     .form = kPath,
     .marks = kNamesFile,
     .summary_place = 12,
     .help = "training inputs, training outputs, prediction inputs: file paths"},
    {.key = "tof", .setting = &J::tof, .form = kPath, .marks = kNamesFile, .summary_place = 14},
    {.key = "pif", .setting = &J::pif, .form = kPath, .marks = kNamesFile, .summary_place = 16},
    {.key = "tiv",
     .setting = &J::tiv,
     .help = "the same data given directly: rows separated by `;`, values by `,` (a file wins "
             "over values)"},
    {.key = "tov", .setting = &J::tov},
    {.key = "piv", .setting = &J::piv},
    {.key = "tifh",
     .setting = &J::tifh,
     .summary_place = 13,
     .help = "selector of a data file: for text files a comma-separated list of header names to "
             "take, in order; for workbooks a sheet and range (`Sheet1!A1:C10`) or a defined "
             "name; for databases the SELECT statement"},
    {.key = "tofh", .setting = &J::tofh, .summary_place = 15},
    {.key = "pifh", .setting = &J::pifh, .summary_place = 17},
    {.key = "tis", .setting = &J::tifh, .marks = kAlias},
    {.key = "tos", .setting = &J::tofh, .marks = kAlias},
    {.key = "pis", .setting = &J::pifh, .marks = kAlias},
    // Taken as text: the program folder rule follows once the parameter file is read too.
    {.key = "pof",
     .setting = &J::pof,
     .marks = kNamesFile,
     .summary_place = 22,
     .help = "the prediction output file (required, except for a job that only saves or exports "
             "its network)"},
    {.key = "pos",
     .setting = &J::pos,
     .summary_place = 23,
     .help = "output address: for workbook targets a range, for database targets the INSERT "
             "statement"},
    {.key = "log",
     .setting = &J::log,
     .form = kPath,
     .marks = kNamesFile,
     .summary_place = 24,
     .help = "the run log; without it nothing is logged"},
    {.key = "ini",
     .setting = &J::ini,
     .form = kPath,
     .marks = kNamesFile | kCommandLineOnly,
     .summary_place = 25,
     .help = "a parameter file, read after the command line: its values win"},
    {.key = "nof",
     .setting = &J::nof,
     .form = kPath,
     .marks = kNamesFile,
     .summary_place = 26,
     .help = "network output file: the trained network is saved there (see \"Keeping a trained "
             "network\")"},
    {.key = "nif",
     .setting = &J::nif,
     .form = kPath,
     .marks = kNamesFile,
     .summary_place = 27,
     .help = "network input file: predict with the network saved there instead of training"},
    {.key = "vif",
     .setting = &J::vif,
     .form = kPath,
     .marks = kNamesFile,
     .summary_place = 18,
     .help = "validation inputs and outputs, from any source the training data takes: file paths "
             "(see \"How good is the network\")"},
    {.key = "vof", .setting = &J::vof, .form = kPath, .marks = kNamesFile, .summary_place = 20},
    {.key = "viv", .setting = &J::viv, .help = "the same given directly as values"},
    {.key = "vov", .setting = &J::vov},
    {.key = "vifh",
     .setting = &J::vifh,
     .summary_place = 19,
     .help = "selectors of the validation files"},
    {.key = "vofh", .setting = &J::vofh, .summary_place = 21},
    {.key = "vis", .setting = &J::vifh, .marks = kAlias},
    {.key = "vos", .setting = &J::vofh, .marks = kAlias},
    {.key = "vf",
     .setting = &J::vf,
     .summary_place = 10,
     .checked = &J::ValidationFraction,
     .help = "hold out this fraction (0 < vf < 1) of the training rows as validation data "
             "instead, drawn by the seed"},
    {.key = "es",
     .setting = &J::es,
     .summary_place = 9,
     .checked = &J::Patience,
     .help = "early stopping: stop after this many epochs without a better validation error and "
             "keep the best epoch's network; 0 is off; `auto`: patience that grows with the best "
             "epoch (see \"Getting a good network\")",
     .default_value = "0"},
    // Only where given, so that the summaries of jobs without it stay as they were.
    {.key = "cv",
     .setting = &J::cv,
     .marks = kSummaryWhereGiven,
     .summary_place = 11,
     .checked = &J::Folds,
     .help = "cross-validation: train this many networks, each on all folds of the training rows "
             "but one and validated on that one, then the network on all rows (see "
             "\"Cross-validation\")"},
    {.key = "refit",
     .setting = &J::refit,
     .marks = kSummaryWhereGiven,
     .summary_place = 37,
     .help = "1: after early stopping (`/es`) or cross-validation (`/cv`), train the network that "
             "predicts once more on every training row, held-out ones included, for the best "
             "epoch's number of epochs (see \"Getting a good network\")",
     .default_value = "0"},
    {.key = "ens",
     .setting = &J::ens,
     .marks = kSummaryWhereGiven,
     .summary_place = 38,
     .help = "ensemble: train this many networks (1 to 1000), each from its own seed, and "
             "predict with their mean output (see \"Getting a good network\")",
     .default_value = "1"},
    {.key = "sd",
     .setting = &J::sd,
     .summary_place = 8,
     .checked = &J::Seed,
     .help = "seed of the initial weights, of the `/vf` draw and of the `/cv` folds, 0 to "
             "4294967295; without it the weights are those of every earlier run"},
    // Only where given, so that the summaries of regression jobs stay as they were.
    {.key = "task",
     .setting = &J::task,
     .marks = kSummaryWhereGiven,
     .summary_place = 30,
     .help = "`regression` (numbers) or `classification`: the training outputs name each row's "
             "class, as one column of labels or as columns of 0 and 1, and the output layer is "
             "softmax whatever `/af` says (see \"Classes\")",
     .default_value = "regression"},
    {.key = "cw",
     .setting = &J::cw,
     .marks = kSummaryWhereGiven,
     .summary_place = 31,
     .help = "class weights of a classification job: `balanced`, or `LABEL:W,LABEL:W` (other "
             "classes 1)"},
    {.key = "pp",
     .setting = &J::pp,
     .marks = kSummaryWhereGiven,
     .summary_place = 32,
     .help = "1: each predicted label is followed by one probability per class, in class order",
     .default_value = "0"},
    // Only where given, so that the summaries of jobs without them stay as they were.
    {.key = "cat",
     .setting = &J::cat,
     .marks = kSummaryWhereGiven,
     .summary_place = 33,
     .help = "categorical input columns: header names or column numbers from 1, comma-separated, "
             "or `auto` for every column with a text that is not a number; each becomes one 0/1 "
             "input per category of the training rows (see \"Tables with texts and gaps\")"},
    {.key = "na",
     .setting = &J::na,
     .marks = kSummaryWhereGiven,
     .summary_place = 34,
     .help = "texts that mean a missing cell besides an empty one, comma-separated (`NA,?`)"},
    {.key = "mv",
     .setting = &J::mv,
     .marks = kSummaryWhereGiven,
     .summary_place = 35,
     .help = "a missing numeric input becomes `zero`, the `mean` or `median` of its column's "
             "training rows, or is refused (`refuse`)",
     .default_value = "zero"},
    {.key = "mvi",
     .setting = &J::mvi,
     .marks = kSummaryWhereGiven,
     .summary_place = 36,
     .help = "1: one more 0/1 input per numeric column that had a missing training cell",
     .default_value = "0"},
    {.key = "lcf",
     .setting = &J::lcf,
     .form = kPath,
     .marks = kNamesFile,
     .summary_place = 28,
     .help = "learning curve file (CSV): training and validation error per epoch"},
    {.key = "sof",
     .setting = &J::sof,
     .form = kPath,
     .marks = kNamesFile,
     .summary_place = 29,
     .help = "run summary file (JSON): the job, its data, network, training, error figures and "
             "outputs; written also when the run fails"},
    {.key = "rof",
     .setting = &J::rof,
     .form = kPath,
     .marks = kNamesFile,
     .help = "report file (HTML): the learning curve, the fit and the figures as pictures and "
             "tables for a person; written also when the run fails"},
    {.key = "onnx",
     .setting = &J::onnx,
     .form = kPath,
     .marks = kNamesFile,
     .help = "ONNX model file: the network with its scaling, for onnxruntime and other ONNX "
             "runtimes (see \"Exporting to ONNX\")"},
    {.key = "onnxf",
     .setting = &J::onnxf,
     .help = "1: a float model as well, beside the ONNX model with `_float` before its extension",
     .default_value = "0"},
};

// Each form fits the type of its setting; an alias stands for a key of its own help row, above
// it; no two keys share a place in the summary.
constexpr bool RowsAreConsistent() {
  std::size_t row_start = 0;
  for (std::size_t i = 0; i < std::size(kOptions); ++i) {
    const OptionDefinition& option = kOptions[i];
    const bool fits = std::visit(
        [&option](auto member) {
          using Type = std::remove_cvref_t<decltype(std::declval<J>().*member)>;
          switch (option.form) {
            case kDecimal:
              return std::is_same_v<Type, double>;
            case kWhole:
              return std::is_same_v<Type, std::int32_t>;
            case kActivationCode:
              return std::is_same_v<Type, std::int16_t>;
            case kPath:
            case kText:
              return std::is_same_v<Type, std::string>;
          }
          return false;
        },
        option.setting);
    if (!fits) return false;
    if (!option.help.empty()) row_start = i;
    if ((option.marks & kAlias) != 0) {
      bool stands_for_one = false;
      for (std::size_t j = row_start; j < i; ++j) {
        if ((kOptions[j].marks & kAlias) == 0 && kOptions[j].setting == option.setting) {
          stands_for_one = true;
        }
      }
      if (!stands_for_one || !option.help.empty()) return false;
    }
    for (std::size_t j = 0; j < i; ++j) {
      if (option.summary_place != 0 && kOptions[j].summary_place == option.summary_place) {
        return false;
      }
    }
  }
  return !kOptions[0].help.empty();
}
static_assert(RowsAreConsistent());

}  // namespace

std::span<const OptionDefinition> OptionTable() { return kOptions; }

void ApplyOption(const OptionDefinition& option, JobSettings& job, std::string_view value) {
  switch (option.form) {
    case kDecimal:
      // A value that is not a number leaves the setting as it was.
      ParseNumber(value, job.*std::get<double J::*>(option.setting), job.DecimalSeparator);
      return;
    case kWhole:
      ConvertWholeNumber(value, job.DecimalSeparator,
                         job.*std::get<std::int32_t J::*>(option.setting));
      return;
    case kActivationCode: {
      std::int32_t number;
      if (!ConvertWholeNumber(value, job.DecimalSeparator, number)) return;
      if (number < std::numeric_limits<std::int16_t>::min() ||
          number > std::numeric_limits<std::int16_t>::max()) {
        throw Failure(kOverflow);
      }
      job.*std::get<std::int16_t J::*>(option.setting) = static_cast<std::int16_t>(number);
      return;
    }
    case kPath:
      job.*std::get<std::string J::*>(option.setting) =
          ApplyProgramFolderRule(value, platform::ProgramFolder());
      return;
    case kText:
      job.*std::get<std::string J::*>(option.setting) = value;
      return;
  }
}

std::string ApplyProgramFolderRule(std::string_view path, std::string_view program_folder) {
  if (path.starts_with(".\\")) return std::string(program_folder) + std::string(path.substr(1));
  return std::string(path);
}

bool ConvertWholeNumber(std::string_view value, std::string_view decimal_separator,
                        std::int32_t& number) {
  double parsed;
  if (!platform::ConvertLocaleNumber(value, decimal_separator, parsed)) return false;
  double rounded = std::nearbyint(parsed);  // the default rounding mode sends halves to even
  if (!(rounded >= std::numeric_limits<std::int32_t>::min() &&
        rounded <= std::numeric_limits<std::int32_t>::max())) {
    throw Failure(kOverflow);
  }
  number = static_cast<std::int32_t>(rounded);
  return true;
}

}  // namespace tarvex::job
