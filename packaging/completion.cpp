#include "packaging/completion.h"

#include "driver/options.h"
#include "job/activation_table.h"
#include "packaging/manual_page.h"
#include "platform/text.h"

namespace tarvex::packaging {

namespace {

// Codes outside the table scale every value to one point, so they are no choice to offer.
std::vector<std::string> ActivationCodes() {
  std::vector<std::string> codes;
  for (const job::Activation& activation : job::ActivationTable()) {
    codes.push_back(std::to_string(activation.code));
  }
  return codes;
}

// The `keys` of a help table row, without their backticks: every second part between them.
std::vector<std::string> KeysOf(std::string_view keys) {
  const std::vector<std::string_view> parts = platform::SplitAll(keys, '`');
  std::vector<std::string> found;
  for (size_t i = 1; i < parts.size(); i += 2) found.emplace_back(parts[i]);
  return found;
}

std::string BashArray(std::string_view name, const std::vector<std::string>& words) {
  std::string line = std::string(name) + "=(";
  for (const std::string& word : words) line += (line.ends_with('(') ? "'" : " '") + word + "'";
  return line + ")\n";
}

}  // namespace

CompletionLists ReadCompletionLists() {
  CompletionLists lists;
  for (const driver::OptionRow& row : driver::CommandLineOptions()) {
    lists.tarvex_keys.emplace_back(row.key);
    if ((row.option->marks & job::kNamesFile) != 0) lists.tarvex_file_keys.emplace_back(row.key);
  }
  lists.activation_codes = ActivationCodes();
  for (const driver::OptionHelp& option : ScribbonOptionTable()) {
    for (const std::string& key : KeysOf(option.keys)) {
      lists.scribbon_keys.push_back(key.substr(1, key.size() - 2));  // "/pexe=": "pexe"
    }
  }
  return lists;
}

std::string CompletionScript(const CompletionLists& lists, std::string_view functions) {
  return "# Bash completion for tarvex and scribbon, made by the build from their option "
         "tables.\n" +
         BashArray("_tarvex_keys", lists.tarvex_keys) +
         BashArray("_tarvex_file_keys", lists.tarvex_file_keys) +
         BashArray("_tarvex_activation_codes", lists.activation_codes) +
         BashArray("_scribbon_keys", lists.scribbon_keys) + std::string(functions);
}

}  // namespace tarvex::packaging
