// The manual pages that the build made: their options read as the help's, word for word, each
// page renders without a warning in three formatters, and Scribbon's page names the keys that
// Scribbon reads.
#include "packaging/manual_page.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "platform/text.h"
#include "scriptfix/script_fixer.h"
#include "tests/support/test_support.h"

namespace tarvex::packaging {
namespace {

using testing::RunProgram;
using testing::fs::path;

const path kManual = TARVEX_MANUAL_DIR;
const char* const kPages[] = {"tarvex.1", "scribbon.1"};

using Entry = std::vector<std::string>;

// The entries of a list whose keys stand key_indent blanks in and whose text lines deeper, each
// as its words; double quotes go, since the help quotes what the page sets in bold.
std::vector<Entry> ListEntries(const std::string& text, size_t key_indent) {
  std::vector<Entry> entries;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    const size_t indent = line.find_first_not_of(' ');
    if (indent == std::string::npos || indent < key_indent) continue;
    if (indent == key_indent || entries.empty()) entries.emplace_back();
    std::istringstream words(platform::ReplaceAll(line, "\"", ""));
    for (std::string word; words >> word;) entries.back().push_back(word);
  }
  return entries;
}

// The lines of text from the line `from` up to the next line that starts in the first column.
std::string Section(const std::string& text, const std::string& from) {
  const size_t start = text.find("\n" + from + "\n");
  if (start == std::string::npos) return "";
  const size_t body = start + from.size() + 2;
  size_t end = body;
  while ((end = text.find('\n', end)) != std::string::npos && end + 1 < text.size() &&
         (text[end + 1] == ' ' || text[end + 1] == '\n')) {
    ++end;
  }
  return text.substr(body, end == std::string::npos ? std::string::npos : end - body);
}

bool Installed(const path& program) {
  if (testing::fs::exists(program)) return true;
  ADD_FAILURE() << program << " is missing; scripts/test installs it";
  return false;
}

// Rendered as plain ASCII on lines too long to break, so that no word is hyphenated.
std::string RenderedPlain(const std::string& page) {
  const testing::RunResult rendered = RunProgram(
      "/usr/bin/groff",
      {"-man", "-Tascii", "-rLL=2000n", "-P-c", "-P-b", "-P-u", (kManual / page).string()});
  EXPECT_EQ(rendered.exit_status, 0) << rendered.standard_error;
  return rendered.standard_output;
}

TEST(ManualPageTest, OptionsReadAsTheHelpWordForWord) {
  if (!Installed("/usr/bin/groff")) return;
  const testing::RunResult help = RunProgram(testing::BinFolder() / "tarvex", {"--help"});
  ASSERT_EQ(help.exit_status, 0);
  const std::vector<Entry> help_options = ListEntries(Section(help.standard_output, "Options:"), 2);
  const std::vector<Entry> page_options =
      ListEntries(Section(RenderedPlain("tarvex.1"), "OPTIONS"), 7);
  ASSERT_EQ(help_options.size(), driver::OptionHelpTable().size());
  EXPECT_NE(std::search(page_options.begin(), page_options.end(), help_options.begin(),
                        help_options.end()),
            page_options.end())
      << "the page's options differ from the help's";
}

TEST(ManualPageTest, PagesRenderWithoutWarnings) {
  if (!Installed("/usr/bin/groff") || !Installed("/usr/bin/mandoc") || !Installed("/usr/bin/man")) {
    return;
  }
  for (const char* page : kPages) {
    const std::string file = (kManual / page).string();
    const testing::RunResult groff =
        RunProgram("/usr/bin/groff", {"-ww", "-man", "-z", "-Tutf8", file});
    EXPECT_EQ(groff.exit_status, 0) << page;
    EXPECT_EQ(groff.standard_error, "") << page;
    const testing::RunResult mandoc =
        RunProgram("/usr/bin/mandoc", {"-T", "lint", "-W", "warning", file});
    EXPECT_EQ(mandoc.exit_status, 0) << page;
    EXPECT_EQ(mandoc.standard_output + mandoc.standard_error, "") << page;
    // As lintian reads a page.
    testing::RunOptions lintian_locale;
    lintian_locale.environment = {{"LC_ALL", "C.UTF-8"}, {"MANWIDTH", "80"}};
    const testing::RunResult man = RunProgram(
        "/usr/bin/man", {"--warnings", "-E", "UTF-8", "-l", "-Tutf8", "-Z", file}, lintian_locale);
    EXPECT_EQ(man.exit_status, 0) << page;
    EXPECT_EQ(man.standard_error, "") << page;
  }
}

TEST(ManualPageTest, ScribbonPageNamesTheKeysScribbonReads) {
  if (!Installed("/usr/bin/groff")) return;
  const std::vector<Entry> options =
      ListEntries(Section(RenderedPlain("scribbon.1"), "OPTIONS"), 7);
  ASSERT_EQ(options.size(), 3u);
  std::vector<std::string> read;
  for (const Entry& option : options) {
    const scriptfix::ScriptFolders folders =
        scriptfix::ReadScriptFolders(option.front() + "\\given");
    for (const std::string* value : {&folders.pexe, &folders.pdoc, &folders.pbat}) {
      if (*value == "\\given") read.push_back(option.front());
    }
  }
  EXPECT_EQ(read, (std::vector<std::string>{"/pexe=", "/pdoc=", "/pbat="}));
}

}  // namespace
}  // namespace tarvex::packaging
