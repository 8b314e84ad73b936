// Black-box tests: the built scribbon on example scripts in temporary folders, compared byte for
// byte with what the rewrite must give.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace tarvex::testing {
namespace {

const char* const kScripts[] = {"ExampleParam.bat", "ExampleXLS.bat", "ExampleTXT.bat"};

std::string Crlf(std::initializer_list<std::string> lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

unsigned ModeOf(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

std::vector<std::string> FolderListing(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// Runs a program that must print nothing and returns its exit status.
int RunQuietly(const fs::path& program, const std::vector<std::string>& arguments,
               const RunOptions& options = {}) {
  const RunResult result = RunProgram(program, arguments, options);
  EXPECT_EQ(result.standard_output, "");
  EXPECT_EQ(result.standard_error, "");
  return result.exit_status;
}

class ScribbonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string path = folder_.path().string();
    // Scribbon lower-cases pbat like every option, so the scripts must lie in a lower-case path.
    if (std::any_of(path.begin(), path.end(), [](unsigned char c) { return std::isupper(c); })) {
      GTEST_SKIP() << "the temporary folder " << path << " has capital letters";
    }
  }

  // The arguments followed by pbat naming the test folder; "/" would split the item, so the
  // folder is written with "\".
  std::vector<std::string> WithPbat(std::vector<std::string> arguments) const {
    std::string folder = folder_.path().string();
    std::replace(folder.begin(), folder.end(), '/', '\\');
    arguments.push_back("/pbat=" + folder);
    return arguments;
  }

  int Scribbon(const std::vector<std::string>& arguments, const RunOptions& options = {}) const {
    return RunQuietly(BinFolder() / "scribbon", WithPbat(arguments), options);
  }

  fs::path Script(const char* name) const { return folder_ / name; }

  void WriteScripts(const std::string& text) const {
    for (const char* name : kScripts) WriteFile(Script(name), text);
  }

  TempFolder folder_;
};

TEST_F(ScribbonTest, RewritesTheShippedExampleScripts) {
  for (const char* name : kScripts) {
    fs::copy_file(SourceFolder() / "examples" / name, Script(name));
  }
  ASSERT_EQ(Scribbon({"/pexe=C:\\Program Files\\Tarvex", "/pdoc=D:\\Work"}), 0);

  const std::string call = R"("c:\program files\tarvex\Tarvex.exe")";
  EXPECT_EQ(ReadFile(Script("ExampleParam.bat")),
            Crlf({"@echo off", "rem Runs the job kept in the parameter file ExampleParam.ini.",
                  call + R"( /ini="d:\work\ExampleParam.ini)"}));
  EXPECT_EQ(
      ReadFile(Script("ExampleXLS.bat")),
      Crlf({"@echo off",
            "rem Trains on sheet Data of the example workbook and writes the predictions into "
            "sheet Predict.",
            call + R"( /tif="d:\work\data\example.xlsm /tis=Data!A2:C121)" +
                R"( /tof="d:\work\data\example.xlsm /tos=Data!D2:D121)" +
                R"( /pif="d:\work\data\example.xlsm /pis=Predict!A2:C11)" +
                R"( /pof="d:\work\data\example.xlsm /pos=Predict!D2:D11)" +
                R"( /log="d:\work\out\run.log)"}));
  EXPECT_EQ(
      ReadFile(Script("ExampleTXT.bat")),
      Crlf({"@echo off",
            R"(rem Trains on the example text files and writes the predictions to out\po.txt.)",
            call + R"( /tif="d:\work\data\ti.txt /tof="d:\work\data\to.txt)" +
                R"( /pif="d:\work\data\pi.txt /pof="d:\work\out\po.txt)" +
                R"( /log="d:\work\out\run.log /ep=3000)"}));
}

TEST_F(ScribbonTest, OptionsAndTextRulesReachTheScripts) {
  struct Case {
    const char* what;
    std::vector<std::string> arguments;
    std::string script, expected;
  };
  const std::string line = "Tarvex.exe /tif=.\\in.txt\r\n";
  const Case cases[] = {
      {"documented example",
       {"/pexe=c:\\program files\\q", "/pdoc=c:\\data"},
       line,
       "\"c:\\program files\\q\\Tarvex.exe\" /tif=\"c:\\data\\in.txt\r\n"},
      {"keys in capitals",
       {"/PEXE=C:\\Q", "/PDOC=C:\\Data"},
       line,
       "\"c:\\q\\Tarvex.exe\" /tif=\"c:\\data\\in.txt\r\n"},
      {"blanks around =",
       {"/pexe = c:\\q", "/pdoc=c:\\d"},
       line,
       "\"\\Tarvex.exe\" /tif=\"c:\\d\\in.txt\r\n"},
      {"value cut at /",
       {"/pexe=c:\\q/x", "/pdoc=c:/d"},
       line,
       "\"c:\\q\\Tarvex.exe\" /tif=\"c:\\in.txt\r\n"},
      {"no pexe", {"/pdoc=c:\\d"}, line, "\"\\Tarvex.exe\" /tif=\"c:\\d\\in.txt\r\n"},
      {"trailing backslashes",
       {"/pexe=c:\\q\\", "/pdoc=c:\\d\\"},
       line,
       "\"c:\\q\\\\Tarvex.exe\" /tif=\"c:\\d\\\\in.txt\r\n"},
      {"neither text",
       {"/pexe=c:\\q", "/pdoc=c:\\d"},
       "@echo off\r\ntarvex.exe /x=./y\r\n",
       "@echo off\r\ntarvex.exe /x=./y\r\n"},
      {"bytes kept",
       {"/pexe=q", "/pdoc=d"},
       std::string("\xEF\xBB\xBF\x80\0\xFF.\\\n", 9),
       std::string("\xEF\xBB\xBF\x80\0\xFF\"d\\\n", 10)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WriteScripts(c.script);
    EXPECT_EQ(Scribbon(c.arguments), 0);
    for (const char* name : kScripts) EXPECT_EQ(ReadFile(Script(name)), c.expected) << name;
  }
}

TEST_F(ScribbonTest, ValuesAreLowerCasedByTheUserLocaleWithoutBreakingBytes) {
  if (!HasLocale("C.UTF-8")) GTEST_SKIP() << "no C.UTF-8 locale";
  // "Ä" is C3 84 and "ä" C3 A4 in UTF-8; the C locale leaves bytes above 127 alone.
  const std::pair<const char*, const char*> cases[] = {{"C.UTF-8", "\"d:\\d\xC3\xA4ten\\in"},
                                                       {"C", "\"d:\\d\xC3\x84ten\\in"}};
  for (const auto& [locale, expected] : cases) {
    SCOPED_TRACE(locale);
    WriteFile(Script("ExampleTXT.bat"), ".\\in");
    RunOptions options;
    options.environment = {{"LC_ALL", locale}};
    EXPECT_EQ(Scribbon({"/pdoc=D:\\D\xC3\x84TEN"}, options), 0);
    EXPECT_EQ(ReadFile(Script("ExampleTXT.bat")), expected);
  }
}

TEST_F(ScribbonTest, RunningTwiceInsertsThePathsAgain) {
  WriteScripts("Tarvex.exe /tif=.\\in.txt");
  ASSERT_EQ(Scribbon({"/pexe=p", "/pdoc=d"}), 0);
  ASSERT_EQ(Scribbon({"/pexe=p", "/pdoc=d"}), 0);
  for (const char* name : kScripts) {
    EXPECT_EQ(ReadFile(Script(name)), "\"p\\\"p\\Tarvex.exe\"\" /tif=\"d\\in.txt") << name;
  }
}

TEST_F(ScribbonTest, ScriptsKeepTheirExactModeReadOnlyIncluded) {
  const unsigned modes[] = {0444, 0751, 0640};
  for (size_t i = 0; i < 3; ++i) {
    WriteFile(Script(kScripts[i]), "Tarvex.exe");
    ASSERT_EQ(chmod(Script(kScripts[i]).c_str(), modes[i]), 0);
  }
  EXPECT_EQ(Scribbon({"/pexe=p"}), 0);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(ReadFile(Script(kScripts[i])), "\"p\\Tarvex.exe\"") << kScripts[i];
    EXPECT_EQ(ModeOf(Script(kScripts[i])), modes[i]) << kScripts[i];
  }
  EXPECT_EQ(FolderListing(folder_.path()).size(), 3u);
}

TEST_F(ScribbonTest, ScriptThatCannotBeWrittenIsLeftWholeAndTheOthersAreRewritten) {
  // The write fails through a file size limit, which holds for root too. The middle script's
  // new text passes the limit (2048 bytes in 512-byte blocks, 4096 in 1024-byte ones).
  const std::string large = "Tarvex.exe " + std::string(8000, 'x');
  WriteScripts("Tarvex.exe");
  WriteFile(Script("ExampleXLS.bat"), large);
  ASSERT_EQ(chmod(Script("ExampleXLS.bat").c_str(), 0444), 0);

  std::vector<std::string> arguments = {"-c", "trap '' XFSZ; ulimit -f 4; exec \"$0\" \"$@\"",
                                        (BinFolder() / "scribbon").string()};
  for (const std::string& argument : WithPbat({"/pexe=p"})) arguments.push_back(argument);
  EXPECT_EQ(RunQuietly("/bin/sh", arguments), 1);

  EXPECT_EQ(ReadFile(Script("ExampleXLS.bat")), large);
  EXPECT_EQ(ModeOf(Script("ExampleXLS.bat")), 0444u);
  EXPECT_EQ(ReadFile(Script("ExampleParam.bat")), "\"p\\Tarvex.exe\"");
  EXPECT_EQ(ReadFile(Script("ExampleTXT.bat")), "\"p\\Tarvex.exe\"");
  EXPECT_EQ(FolderListing(folder_.path()),
            (std::vector<std::string>{"ExampleParam.bat", "ExampleTXT.bat", "ExampleXLS.bat"}));
}

TEST_F(ScribbonTest, ScriptInAFolderWithoutWritePermissionIsLeftAsItWas) {
  if (geteuid() == 0) GTEST_SKIP() << "permission bits do not stop root";
  WriteScripts("Tarvex.exe");
  ASSERT_EQ(chmod(Script("ExampleTXT.bat").c_str(), 0444), 0);
  ASSERT_EQ(chmod(folder_.path().c_str(), 0555), 0);
  EXPECT_EQ(Scribbon({"/pexe=p"}), 1);
  for (const char* name : kScripts) EXPECT_EQ(ReadFile(Script(name)), "Tarvex.exe") << name;
  EXPECT_EQ(ModeOf(Script("ExampleTXT.bat")), 0444u);
  EXPECT_EQ(FolderListing(folder_.path()).size(), 3u);
}

TEST_F(ScribbonTest, MissingScriptsAndFoldersInTheirPlaceAreSkipped) {
  fs::create_directory(Script("ExampleParam.bat"));
  WriteFile(Script("ExampleTXT.bat"), "Tarvex.exe");
  EXPECT_EQ(Scribbon({"/pexe=p"}), 0);
  EXPECT_EQ(ReadFile(Script("ExampleTXT.bat")), "\"p\\Tarvex.exe\"");
  EXPECT_TRUE(fs::is_empty(Script("ExampleParam.bat")));
  EXPECT_FALSE(fs::exists(Script("ExampleXLS.bat")));
}

TEST_F(ScribbonTest, LinkedScriptIsRewrittenWhereItLives) {
  fs::create_directory(folder_ / "real");
  WriteFile(folder_ / "real" / "txt.bat", "Tarvex.exe");
  fs::create_symlink("real/txt.bat", Script("ExampleTXT.bat"));
  EXPECT_EQ(Scribbon({"/pexe=p"}), 0);
  EXPECT_TRUE(fs::is_symlink(Script("ExampleTXT.bat")));
  EXPECT_EQ(ReadFile(folder_ / "real" / "txt.bat"), "\"p\\Tarvex.exe\"");
}

TEST_F(ScribbonTest, EmptyCommandLineTouchesNothing) {
  WriteScripts("Tarvex.exe .\\x");
  RunOptions options;
  options.working_folder = folder_.path();
  EXPECT_EQ(RunQuietly(BinFolder() / "scribbon", {}, options), 0);
  for (const char* name : kScripts) EXPECT_EQ(ReadFile(Script(name)), "Tarvex.exe .\\x") << name;
}

TEST_F(ScribbonTest, WithoutPbatTheScriptsAreLookedForAtTheRoot) {
  for (const char* name : kScripts) {
    if (fs::exists(fs::path("/") / name)) GTEST_SKIP() << "/" << name << " exists; left alone";
  }
  EXPECT_EQ(RunQuietly(BinFolder() / "scribbon", {"/pexe=p"}), 0);
  for (const char* name : kScripts) EXPECT_FALSE(fs::exists(fs::path("/") / name));
}

}  // namespace
}  // namespace tarvex::testing
