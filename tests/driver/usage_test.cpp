#include "driver/usage.h"

#include <gtest/gtest.h>

#include <regex>
#include <tuple>

#include "driver/options.h"
#include "tests/support/test_support.h"

namespace tarvex::driver {
namespace {

using tarvex::testing::ReadFile;
using tarvex::testing::SourceFolder;

TEST(UsageTest, ReadmeShowsTheOptionsTableOfTheHelp) {
  const std::string readme = ReadFile(SourceFolder() / "README.md");
  EXPECT_NE(readme.find(OptionsMarkdownTable()), std::string::npos)
      << "README's options table differs from the help's; it should read:\n"
      << OptionsMarkdownTable();
}

TEST(UsageTest, EveryOptionKeyIsExplained) {
  std::string keys;
  for (const OptionHelp& row : OptionHelpTable()) keys += std::string(row.keys) + " ";
  for (const OptionRow& option : CommandLineOptions()) {
    EXPECT_NE(keys.find("`/" + std::string(option.key) + "=`"), std::string::npos) << option.key;
  }
  for (const OptionRow& option : ParameterFileOptions()) {
    EXPECT_NE(keys.find("`" + std::string(option.key) + "=`"), std::string::npos) << option.key;
  }
}

// The defaults that the help names are those that the run starts from: giving an option its
// named default changes nothing.
TEST(UsageTest, NamedDefaultsAreTheDefaults) {
  auto numbers = [](const job::JobSettings& job) {
    return std::tuple(job.lr, job.m, job.wd, job.ep, job.af, job.n, job.iw);
  };
  job::JobSettings defaults;
  defaults.DecimalSeparator = ".";
  job::SetDefaults(defaults);
  for (const OptionHelp& row : OptionHelpTable()) {
    if (row.default_value.empty()) continue;
    const std::string_view key = row.keys.substr(2, row.keys.find('=') - 2);  // "`/lr=`": "lr"
    bool found = false;
    for (const OptionRow& option : CommandLineOptions()) {
      if (option.key != key) continue;
      found = true;
      job::JobSettings given = defaults;
      option.apply(given, row.default_value);
      EXPECT_EQ(numbers(given), numbers(defaults)) << row.keys << " " << row.default_value;
    }
    EXPECT_TRUE(found) << row.keys;
  }
}

TEST(UsageTest, OnlyAWholeCommandTextAsksAQuestion) {
  for (const char* question : {"/?", "-h", "--help"}) {
    EXPECT_TRUE(AnswerToQuestion(question).value_or("").starts_with("Usage: tarvex ")) << question;
  }
  for (const char* job :
       {"", "--HELP", "/? /log=run.log", "-help", "/h", "/help=1", " --help", "--version /ep=3"}) {
    EXPECT_EQ(AnswerToQuestion(job), std::nullopt) << job;
  }
}

TEST(UsageTest, VersionIsTheProjectVersion) {
  const std::string cmake = ReadFile(SourceFolder() / "CMakeLists.txt");
  std::smatch version;
  ASSERT_TRUE(std::regex_search(cmake, version, std::regex(R"(project\(\w+ VERSION ([0-9.]+))")));
  EXPECT_EQ(AnswerToQuestion("--version"),
            "tarvex " + version[1].str() +
                "\nCopyright (c) 2026 the Tarvex authors; released under the MIT licence\n");
}

TEST(UsageTest, HelpFitsAnEightyColumnTerminal) {
  const std::string help = *AnswerToQuestion("--help");
  ASSERT_TRUE(help.ends_with("\n"));
  size_t start = 0;
  for (size_t end; (end = help.find('\n', start)) != std::string::npos; start = end + 1) {
    EXPECT_LT(end - start, 80u) << help.substr(start, end - start);
  }
}

}  // namespace
}  // namespace tarvex::driver
