// The option and text rules of Scribbon without files; scribbon_test.cpp runs the program.
#include "scriptfix/script_fixer.h"

#include <gtest/gtest.h>

#include <string_view>

namespace tarvex::scriptfix {
namespace {

using namespace std::literals;

TEST(ReadScriptFoldersTest, ItemsAreSplitTrimmedUnquotedAndLowerCased) {
  struct Case {
    std::string_view command_text, pexe, pdoc, pbat;
  };
  const Case cases[] = {
      {"/pexe=c:\\x /pdoc=d:\\y /pbat=e:\\z", "c:\\x", "d:\\y", "e:\\z"},
      {"/PEXE=C:\\Prog /Pdoc=D:\\Data", "c:\\prog", "d:\\data", ""},
      // Quotes go wherever they are; blanks go only around the whole item.
      {"/pexe=\"c:\\program files\\q\" /pdoc= c:\\d ", "c:\\program files\\q", " c:\\d", ""},
      {"/pexe = c:\\x /pdoc =c:\\y", "", "", ""},
      {"/\tpexe=c:\\x", "", "", ""},
      // A "/" ends a value; what follows is an item of its own.
      {"/pdoc=c:\\a/b\\c /pexe=c:\\x/pbat=d:\\e", "c:\\x", "c:\\a", "d:\\e"},
      {"/pexe=a=b", "a=b", "", ""},
      // The text before the first "/" counts too, and a later item wins.
      {"pexe=first /pexe=second", "second", "", ""},
      {"pdoc=only", "", "only", ""},
      {"/pdoc /pbatx=y /=z /pexe=", "", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command_text);
    const ScriptFolders folders = ReadScriptFolders(c.command_text);
    EXPECT_EQ(folders.pexe, c.pexe);
    EXPECT_EQ(folders.pdoc, c.pdoc);
    EXPECT_EQ(folders.pbat, c.pbat);
  }
}

TEST(FixScriptTextTest, ReplacesTarvexExeThenCurrentFolder) {
  struct Case {
    std::string_view pexe, pdoc, text, expected;
  };
  const Case cases[] = {
      {"c:\\program files\\q", "c:\\data", "Tarvex.exe /tif=.\\in.txt",
       "\"c:\\program files\\q\\Tarvex.exe\" /tif=\"c:\\data\\in.txt"},
      {"", "", "Tarvex.exe .\\a", "\"\\Tarvex.exe\" \"\\a"},
      {"c:\\q\\", "c:\\d\\", "Tarvex.exe .\\a", "\"c:\\q\\\\Tarvex.exe\" \"c:\\d\\\\a"},
      {"p", "d", "Tarvex.exeTarvex.exe tarvex.exe TARVEX.EXE",
       "\"p\\Tarvex.exe\"\"p\\Tarvex.exe\" tarvex.exe TARVEX.EXE"},
      {"p", "d", ".\\.\\x ..\\y", "\"d\\\"d\\x .\"d\\y"},
      // The second replacement also reaches a .\ that the first one put in.
      {".\\bin", "c:\\d", "Tarvex.exe", "\"\"c:\\d\\bin\\Tarvex.exe\""},
      {"p", "d", "\xE4\0\xFF .\\\r\n./x .\r\n"sv, "\xE4\0\xFF \"d\\\r\n./x .\r\n"sv},
      {"p", "d", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const ScriptFolders folders{std::string(c.pexe), std::string(c.pdoc), ""};
    EXPECT_EQ(FixScriptText(c.text, folders), c.expected);
  }
}

}  // namespace
}  // namespace tarvex::scriptfix
