#include "driver/usage.h"

#include <vector>

#include "job/activation_table.h"
#include "job/option_table.h"
#include "platform/text.h"

namespace tarvex::driver {

namespace {

// "0 logistic - 0.5, 1 logistic, 2 tanh; 3, 4, 5 the same with a linear output layer": the codes
// with one function in both layers by name, then those with a linear output layer, which repeat
// the hidden functions of the first ones in order ("the same"), else each by name.
std::string ActivationCodesText() {
  std::vector<const job::Activation*> same, linear;
  for (const job::Activation& activation : job::ActivationTable()) {
    (activation.output == job::ActivationFunction::kLinear ? linear : same).push_back(&activation);
  }
  auto joined = [](const std::vector<const job::Activation*>& codes, bool named) {
    std::string text;
    for (const job::Activation* activation : codes) {
      if (!text.empty()) text += ", ";
      text += std::to_string(activation->code);
      if (named) text += " " + std::string(job::ActivationName(activation->hidden));
    }
    return text;
  };
  bool repeats = linear.size() == same.size();
  for (std::size_t i = 0; repeats && i < linear.size(); ++i) {
    repeats = linear[i]->hidden == same[i]->hidden;
  }
  if (linear.empty()) return joined(same, true);
  return joined(same, true) + "; " + joined(linear, !repeats) + (repeats ? " the same" : "") +
         " with a linear output layer";
}

// The option table as --help groups it: a row per key with words of its own, which the keys
// after it share; its aliases follow after "or". An activation code's words end with the codes.
struct HelpRowSource {
  std::string keys;
  std::string meaning;
  const job::OptionDefinition* words;
};

std::vector<HelpRowSource> HelpRowSources() {
  std::vector<HelpRowSource> sources;
  std::string aliases;
  auto close_row = [&sources, &aliases] {
    if (!aliases.empty()) sources.back().keys += " (or " + aliases + ")";
    aliases.clear();
  };
  for (const job::OptionDefinition& option : job::OptionTable()) {
    const std::string key = "`/" + std::string(option.key) + "=`";
    if (!option.help.empty()) {
      close_row();
      std::string meaning(option.help);
      if (option.form == job::ValueForm::kActivationCode) meaning += " " + ActivationCodesText();
      sources.push_back({key, meaning, &option});
    } else if ((option.marks & job::kAlias) != 0) {
      aliases += (aliases.empty() ? "" : " ") + key;
    } else {
      sources.back().keys += " " + key;
    }
  }
  close_row();
  return sources;
}

std::span<const OptionHelp> HelpTable() {
  static const std::vector<HelpRowSource> sources = HelpRowSources();
  static const std::vector<OptionHelp> rows = [] {
    std::vector<OptionHelp> made;
    for (const HelpRowSource& source : sources) {
      made.push_back({source.keys, source.meaning, source.words->default_value});
    }
    return made;
  }();
  return rows;
}

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
  for (const OptionHelp& option : HelpTable()) {
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

std::span<const OptionHelp> OptionHelpTable() { return HelpTable(); }

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
  for (const OptionHelp& option : HelpTable()) {
    table += "| " + std::string(option.keys) + " | " + std::string(option.meaning) + " |";
    table +=
        option.default_value.empty() ? " |\n" : " " + std::string(option.default_value) + " |\n";
  }
  return table;
}

}  // namespace tarvex::driver
