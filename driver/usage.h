// What the program answers a person who asks how to use it (--help) or which version it is. Its
// options table is read off the job's option table (job/option_table.h) and is the one README
// shows, so none of them can drift apart.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tarvex::driver {

// One row of the options table, written as README writes it: keys and meaning may hold
// `code` in backticks.
struct OptionHelp {
  std::string_view keys;
  std::string_view meaning;
  std::string_view default_value;  // empty when the option has none
};

std::span<const OptionHelp> OptionHelpTable();

// The usage text for "/?", "-h" and "--help", the version line for "--version"; none for any
// other command text, which is a job.
std::optional<std::string> AnswerToQuestion(std::string_view command_text);

// The options table in README's Markdown form, header included, one line per row.
std::string OptionsMarkdownTable();

}  // namespace tarvex::driver
