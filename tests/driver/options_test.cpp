#include "driver/options.h"

#include <gtest/gtest.h>

#include <limits>
#include <type_traits>

#include "driver/command_line.h"
#include "driver/parameter_file.h"
#include "driver/usage.h"
#include "job/option_table.h"
#include "job/own_files.h"
#include "job/parse_number.h"
#include "tests/support/test_support.h"

namespace tarvex::driver {

using namespace tarvex::job;
namespace {

TEST(ConvertWholeNumberTest, RoundsHalvesToEvenAndRejectsWhatDoesNotFit) {
  struct Case {
    const char* text;
    const char* separator;
    bool numeric;
    std::int32_t value;
  };
  const Case cases[] = {
      {"12.5", ".", true, 12},
      {"13.5", ".", true, 14},
      {"-12.5", ".", true, -12},
      {"0.5", ".", true, 0},
      {"1.5", ".", true, 2},
      {"2.4999", ".", true, 2},
      {" 5000 ", ".", true, 5000},
      {"1e3", ".", true, 1000},
      {"abc", ".", false, 0},
      {"", ".", false, 0},
      {"12,5", ",", true, 12},
      {"12.5", ",", false, 0},
      {"2147483647", ".", true, std::numeric_limits<std::int32_t>::max()},
      {"-2147483648", ".", true, std::numeric_limits<std::int32_t>::min()},
      {"2147483647.4", ".", true, std::numeric_limits<std::int32_t>::max()},
  };
  for (const Case& c : cases) {
    std::int32_t number = 3000;
    EXPECT_EQ(ConvertWholeNumber(c.text, c.separator, number), c.numeric) << c.text;
    EXPECT_EQ(number, c.numeric ? c.value : 3000) << c.text;
  }
  for (const char* too_large :
       {"2147483647.5", "2147483648", "-2147483649", "1e300", "18446744073709551616"}) {
    std::int32_t number = 3000;
    EXPECT_THROW(ConvertWholeNumber(too_large, ".", number), Failure) << too_large;
    EXPECT_EQ(number, 3000);
  }
}

TEST(ApplyProgramFolderRuleTest, ResolvesOnlyDotBackslash) {
  const std::pair<const char*, const char*> cases[] = {
      {".\\ti.txt", "/opt/tarvex\\ti.txt"},
      {".\\data\\ti.txt", "/opt/tarvex\\data\\ti.txt"},
      {".\\", "/opt/tarvex\\"},
      {"..\\ti.txt", "..\\ti.txt"},
      {"ti.txt", "ti.txt"},
      {"./ti.txt", "./ti.txt"},
      {".", "."},
      {"", ""},
      {"c:\\.\\x", "c:\\.\\x"},
  };
  for (const auto& [path, expected] : cases) {
    EXPECT_EQ(ApplyProgramFolderRule(path, "/opt/tarvex"), expected) << path;
  }
}

TEST(ParseNumberTest, ReadsAPointUnderEveryLocale) {
  struct Case {
    const char* text;
    const char* separator;
    bool accepted;
    double value;
  };
  const Case cases[] = {
      {"0.05", ".", true, 0.05},       {"0.05", ",", true, 0.05}, {"0,05", ",", true, 0.05},
      {"0,05", ".", false, 0},         {"1.2,3", ",", false, 0},  {"1.2.3", ",", false, 0},
      {"-1.5e-3", ",", true, -0.0015}, {"abc", ",", false, 0},    {"", ",", false, 0},
  };
  for (const Case& c : cases) {
    double target = 0.3;
    EXPECT_EQ(ParseNumber(c.text, target, c.separator), c.accepted) << c.text << c.separator;
    EXPECT_EQ(target, c.accepted ? c.value : 0.3) << c.text << c.separator;
  }
}

// A value of the option's form, lower case so that the command line keeps it, and the setting
// that it gives.
std::string ValueFor(const OptionDefinition& option) {
  switch (option.form) {
    case ValueForm::kDecimal:
      return "0.125";
    case ValueForm::kWhole:
      return "7";
    case ValueForm::kActivationCode:
      return "4";
    case ValueForm::kPath:
    case ValueForm::kText:
      break;
  }
  return "nofolder\\v.txt";  // no log is made there: its folder is missing
}

bool HasValue(const JobSettings& job, const OptionDefinition& option) {
  return std::visit(
      [&job, &option](auto setting) {
        const auto& value = job.*setting;
        using Type = std::remove_cvref_t<decltype(value)>;
        if constexpr (std::is_same_v<Type, std::string>) return value == ValueFor(option);
        if constexpr (std::is_same_v<Type, double>) return value == 0.125;
        if constexpr (std::is_same_v<Type, std::int32_t>) return value == 7;
        if constexpr (std::is_same_v<Type, std::int16_t>) return value == 4;
      },
      option.setting);
}

JobSettings DefaultJob() {
  JobSettings job;
  job.DecimalSeparator = ".";
  SetDefaults(job);
  return job;
}

// Every key of the table reaches its setting from the command line and, unless it is the
// parameter file's own, from the parameter file, and --help shows it.
TEST(OptionTableTest, EveryKeyIsReadFromBothSourcesAndExplained) {
  const testing::TempFolder folder;
  const std::string help = AnswerToQuestion("--help").value_or("");
  for (const OptionDefinition& option : OptionTable()) {
    const std::string key(option.key);
    const std::string item = "/" + key + "=" + ValueFor(option);
    JobSettings from_command_line = DefaultJob();
    ReadCommandLine(from_command_line, item);
    EXPECT_TRUE(HasValue(from_command_line, option)) << item;

    const std::string ini = (folder / "job.ini").string();
    testing::WriteFile(ini, "[Parameter]\n" + item + "\n");
    JobSettings from_file = DefaultJob();
    EXPECT_TRUE(ReadParameterFile(from_file, ini));
    EXPECT_EQ(HasValue(from_file, option), (option.marks & kCommandLineOnly) == 0) << item;

    EXPECT_NE(help.find("/" + key + "="), std::string::npos) << key;
  }
}

// A key marked as naming a file is one whose file the job guards as its own (no output may
// replace it, the log may not grow into it), and the completion offers file names for it.
TEST(OptionTableTest, FileKeysAreTheJobsOwnFiles) {
  const testing::TempFolder folder;
  const std::string probe = (folder / "probe.txt").string();
  testing::WriteFile(probe, "");
  for (const OptionDefinition& option : OptionTable()) {
    JobSettings job = DefaultJob();
    bool taken = true;
    try {
      ApplyOption(option, job, probe);
    } catch (const Failure&) {
      taken = false;  // a number option that refuses the text
    }
    const bool own = taken && OwnFileAt(job, probe, true).has_value();
    EXPECT_EQ(own, (option.marks & kNamesFile) != 0) << option.key;
  }
}

}  // namespace
}  // namespace tarvex::driver
