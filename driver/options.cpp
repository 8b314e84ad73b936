#include "driver/options.h"

#include <string>
#include <vector>

namespace tarvex::driver {

namespace {

using job::OptionDefinition;

std::vector<OptionRow> CommandLineRows() {
  std::vector<OptionRow> rows;
  for (const OptionDefinition& option : job::OptionTable()) rows.push_back({option.key, &option});
  return rows;
}

// "/log" comes first so that every later message of the run goes to the log the file names; the
// rest keep the table's order, in which "/tis" and friends follow "/tifh" and so win when both
// are given. The texts of "/vf", "/es", "/sd" and "/cv" are checked once every option is read.
std::vector<OptionRow> ParameterFileRows() {
  static const std::vector<std::string> keys = [] {
    std::vector<std::string> slashed;
    for (const OptionDefinition& option : job::OptionTable()) {
      slashed.push_back("/" + std::string(option.key));
    }
    return slashed;
  }();
  std::vector<OptionRow> rows;
  const std::span<const OptionDefinition> table = job::OptionTable();
  for (std::size_t i = 0; i < table.size(); ++i) {
    if ((table[i].marks & job::kCommandLineOnly) != 0) continue;
    const OptionRow row{keys[i], &table[i]};
    if (table[i].setting == job::OptionSetting(&job::JobSettings::log)) {
      rows.insert(rows.begin(), row);
    } else {
      rows.push_back(row);
    }
  }
  return rows;
}

}  // namespace

std::span<const OptionRow> CommandLineOptions() {
  static const std::vector<OptionRow> rows = CommandLineRows();
  return rows;
}

std::span<const OptionRow> ParameterFileOptions() {
  static const std::vector<OptionRow> rows = ParameterFileRows();
  return rows;
}

}  // namespace tarvex::driver
