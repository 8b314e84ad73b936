#include "driver/usage.h"

#include <vector>

#include "platform/text.h"

namespace tarvex::driver {

namespace {

constexpr OptionHelp kOptions[] = {
    {"`/lr=`", "learning rate", "0.3"},
    {"`/m=`", "momentum", "0.6"},
    {"`/wd=`",
     "target minimum weight delta in percent: training stops after an epoch in which no step "
     "changed the weights by more",
     "0.001"},
    {"`/ep=`", "limit of epochs (whole number, halves round to even)", "3000"},
    {"`/af=`",
     "activation: 0 logistic - 0.5, 1 logistic, 2 tanh; 3, 4, 5 the same with a linear output "
     "layer",
     "0"},
    {"`/n=`", "neurons in the hidden layer; 0 means 2 x inputs + 2", "0"},
    {"`/iw=`", "initial weights are drawn from [-iw, iw]", "0.3"},
    {"`/tif=` `/tof=` `/pif=`", "training inputs, training outputs, prediction inputs: file paths",
     ""},
    {"`/tiv=` `/tov=` `/piv=`",
     "the same data given directly: rows separated by `;`, values by `,` (a file wins over "
     "values)",
     ""},
    {"`/tifh=` `/tofh=` `/pifh=` (or `/tis=` `/tos=` `/pis=`)",
     "selector of a data file: for text files a comma-separated list of header names to take, "
     "in order; for databases the SELECT statement",
     ""},
    {"`/pof=`",
     "the prediction output file (required, except for a job that only saves or exports its "
     "network)",
     ""},
    {"`/pos=`",
     "output address: for workbook targets a range, for database targets the INSERT "
     "statement",
     ""},
    {"`/log=`", "the run log; without it nothing is logged", ""},
    {"`/ini=`", "a parameter file, read after the command line: its values win", ""},
    {"`/nof=`",
     "network output file: the trained network is saved there (see \"Keeping a "
     "trained network\")",
     ""},
    {"`/nif=`", "network input file: predict with the network saved there instead of training", ""},
    {"`/vif=` `/vof=`",
     "validation inputs and outputs, from any source the training data takes: file paths (see "
     "\"How good is the network\")",
     ""},
    {"`/viv=` `/vov=`", "the same given directly as values", ""},
    {"`/vifh=` `/vofh=` (or `/vis=` `/vos=`)", "selectors of the validation files", ""},
    {"`/vf=`",
     "hold out this fraction (0 < vf < 1) of the training rows as validation data instead, "
     "drawn by the seed",
     ""},
    {"`/es=`",
     "early stopping: stop after this many epochs without a better validation error and keep "
     "the best epoch's network; 0 is off",
     "0"},
    {"`/cv=`",
     "cross-validation: train this many networks, each on all folds of the training rows but "
     "one and validated on that one, then the network on all rows (see \"Cross-validation\")",
     ""},
    {"`/sd=`",
     "seed of the initial weights, of the `/vf` draw and of the `/cv` folds, 0 to 4294967295; "
     "without it the weights are those of every earlier run",
     ""},
    {"`/lcf=`", "learning curve file (CSV): training and validation error per epoch", ""},
    {"`/sof=`",
     "run summary file (JSON): the job, its data, network, training, error figures and outputs; "
     "written also when the run fails",
     ""},
    {"`/rof=`",
     "report file (HTML): the learning curve, the fit and the figures as pictures and tables for "
     "a person; written also when the run fails",
     ""},
    {"`/onnx=`",
     "ONNX model file: the network with its scaling, for onnxruntime and other ONNX runtimes "
     "(see \"Exporting to ONNX\")",
     ""},
    {"`/onnxf=`",
     "1: a float model as well, beside the ONNX model with `_float` before its extension", "0"},
};

// Lines stop short of the last column of an 80-column terminal, where some wrap at once.
constexpr size_t kLineWidth = 79;
constexpr size_t kMeaningColumn = 22;

constexpr std::string_view kSynopsis =
    "Usage: tarvex /option=value ...\n"
    "       tarvex /ini=<parameter file>\n"
    "       tarvex --help | --version\n"
    "\n"
    "Trains a small feed-forward neural network on numeric data and predicts outputs\n"
    "for new rows, in one unattended run.\n";

constexpr std::string_view kTwoWays =
    "Two ways to give options:\n"
    "  On the command line. The arguments are joined by blanks and split at every\n"
    "  \"/\", so a path is written with \"\\\" in place of \"/\" (quoted for the shell).\n"
    "  Values are lower-cased, paths included; a path that starts with \".\\\" is\n"
    "  relative to the folder of tarvex.\n"
    "  In a parameter file, /ini=<file>: a [Parameter] section with one\n"
    "  /option=value per line. There paths may use \"/\" and values keep their case;\n"
    "  its values win over the command line's.\n";

constexpr std::string_view kExample =
    "Example:\n"
    "  tarvex '/tif=data\\ti.txt' '/tof=data\\to.txt' '/pif=data\\pi.txt' \\\n"
    "         '/pof=out\\po.txt' '/log=out\\run.log' /ep=3000\n"
    "  or, with the same job in job.ini:\n"
    "    [Parameter]\n"
    "    /tif=data/ti.txt\n"
    "    /tof=data/to.txt\n"
    "    /pif=data/pi.txt\n"
    "    /pof=out/po.txt\n"
    "    /log=out/run.log\n"
    "    /ep=3000\n"
    "  tarvex /ini=job.ini\n";

constexpr std::string_view kWhereThingsGo =
    "Where things go:\n"
    "  The predictions go to /pof, one row per line; the file is replaced on every\n"
    "  run. The run log, /log, gets the training report and what went wrong,\n"
    "  appended run after run. At a terminal a progress line and every failure also\n"
    "  show on stderr; elsewhere tarvex prints nothing. Exit status: 0 when the\n"
    "  whole job succeeded, 1 otherwise.\n";

// For the terminal: keys lose their backticks, code in a meaning stands in double quotes.
std::string PlainKeys(std::string_view keys) { return platform::ReplaceAll(keys, "`", ""); }
std::string PlainMeaning(std::string_view meaning) {
  return platform::ReplaceAll(meaning, "`", "\"");
}

// The words of text in lines of at most width characters (a longer word has a line of its own).
std::vector<std::string> WrapWords(std::string_view text, size_t width) {
  std::vector<std::string> lines(1);
  for (std::string_view word : platform::SplitAll(text, ' ')) {
    if (word.empty()) continue;
    if (!lines.back().empty() && lines.back().size() + 1 + word.size() > width) {
      lines.emplace_back();
    }
    if (!lines.back().empty()) lines.back() += ' ';
    lines.back() += word;
  }
  return lines;
}

std::string OptionsText() {
  const std::string indent(kMeaningColumn, ' ');
  std::string text = "Options:\n";
  for (const OptionHelp& option : kOptions) {
    std::string meaning = PlainMeaning(option.meaning);
    if (!option.default_value.empty()) {
      meaning += " (default " + std::string(option.default_value) + ")";
    }
    std::string margin = "  " + PlainKeys(option.keys);
    // Keys too long for their column stand on a line of their own.
    if (margin.size() + 2 > kMeaningColumn) {
      text += margin + "\n";
      margin.clear();
    }
    margin.resize(kMeaningColumn, ' ');
    for (const std::string& line : WrapWords(meaning, kLineWidth - kMeaningColumn)) {
      text += margin + line + "\n";
      margin = indent;
    }
  }
  return text;
}

}  // namespace

std::span<const OptionHelp> OptionHelpTable() { return kOptions; }

std::optional<std::string> AnswerToQuestion(std::string_view command_text) {
  if (command_text == "/?" || command_text == "-h" || command_text == "--help") {
    return std::string(kSynopsis) + "\n" + OptionsText() + "\n" + std::string(kTwoWays) + "\n" +
           std::string(kExample) + "\n" + std::string(kWhereThingsGo);
  }
  if (command_text == "--version") {
    return "tarvex " TARVEX_VERSION
           "\nCopyright (c) 2026 the Tarvex authors; released under the MIT licence\n";
  }
  return std::nullopt;
}

std::string OptionsMarkdownTable() {
  std::string table = "| Option | Meaning | Default |\n|---|---|---|\n";
  for (const OptionHelp& option : kOptions) {
    table += "| " + std::string(option.keys) + " | " + std::string(option.meaning) + " |";
    table +=
        option.default_value.empty() ? " |\n" : " " + std::string(option.default_value) + " |\n";
  }
  return table;
}

}  // namespace tarvex::driver
