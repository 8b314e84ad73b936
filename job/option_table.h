// The one table of the options that a job reads: each key, the setting it fills and how its value
// is taken, whether it names a file, what the run summary writes of it and how --help explains it.
// The command line, the parameter file, the summary and the usage text are all read off it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "job/job_settings.h"

namespace tarvex::job {

// The setting that an option's value goes into.
using OptionSetting = std::variant<double JobSettings::*, std::int32_t JobSettings::*,
                                   std::int16_t JobSettings::*, std::string JobSettings::*>;

// The number into which the option checks read an option kept as text (/vf, /es, /cv, /sd).
using CheckedSetting =
    std::variant<std::monostate, double JobSettings::*, std::int32_t JobSettings::*,
                 std::optional<std::uint32_t> JobSettings::*>;

// How an option's value becomes its setting.
enum class ValueForm {
  kDecimal,         // a number; a value that is none leaves the setting as it was
  kWhole,           // rounded to a whole number, halves to even; "Overflow" beyond 32 bits
  kActivationCode,  // the same within 16 bits: a code of job/activation_table.h
  kPath,            // a path; ".\" at its start is the program folder
  kText,            // the value as given
};

// Marks of a row, or-ed together.
enum OptionMark : std::uint8_t {
  kNamesFile = 1,          // the value names a file: one of the job's own, input or output
  kCommandLineOnly = 2,    // not read from the parameter file
  kAlias = 4,              // another key for the setting of the row above, for older jobs
  kSummaryWhereGiven = 8,  // in the run summary only when given
};

struct OptionDefinition {
  std::string_view key;  // as written before "=", without the "/"
  OptionSetting setting = {};
  ValueForm form = ValueForm::kText;
  std::uint8_t marks = 0;
  // The field's place among the run summary's options, from 1; 0: not in the summary. The order
  // is that of the first summaries: programs that read them may compare texts.
  int summary_place = 0;
  CheckedSetting checked = {};  // the summary shows it once the numbers are accepted
  // --help's words for the key's row, `code` in backticks; empty: the key shares the row above
  // (an alias is shown after "or").
  std::string_view help = {};
  std::string_view default_value = {};  // as --help names it; empty when there is none
};

// In the order in which --help lists the keys. An alias follows the key it stands for, so that
// it wins where a parameter file gives both.
std::span<const OptionDefinition> OptionTable();

// Takes value into the option's setting. Throws Failure ("Overflow") for a whole number that does
// not fit.
void ApplyOption(const OptionDefinition& option, JobSettings& job, std::string_view value);

// A path that begins with ".\" is taken relative to the program folder; any other text stays.
std::string ApplyProgramFolderRule(std::string_view path, std::string_view program_folder);

// The locale number test on the value as written, then rounding to the nearest integer with
// halves to the even neighbour. Returns false for a value that is not a number; throws Failure
// ("Overflow") when the rounded number does not fit into 32 bits.
bool ConvertWholeNumber(std::string_view value, std::string_view decimal_separator,
                        std::int32_t& number);

}  // namespace tarvex::job
