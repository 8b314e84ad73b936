#include "platform/terminal.h"

#include <gtest/gtest.h>

namespace tarvex::platform {
namespace {

TEST(TerminalTextTest, ControlCharactersCannotReachTheTerminal) {
  EXPECT_EQ(PrintableText("a\tb\033[2Jc\r\n\x7f\x01 z"), "a b?[2Jc???? z");
  EXPECT_EQ(PrintableText("Größe"), "Größe");  // UTF-8 bytes are no control characters
}

TEST(TerminalTextTest, FitsCharactersNotBytes) {
  struct Case {
    std::string_view text;
    size_t width;
    std::string_view fitted;
  };
  const Case cases[] = {
      {"abcdef", 3, "abc"}, {"abc", 3, "abc"}, {"abc", 10, "abc"}, {"", 2, ""},
      {"äöüß", 2, "äö"},    {"aä", 1, "a"},    {"€uro", 2, "€u"},  {"x", 0, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(FitToWidth(c.text, c.width), c.fitted) << c.text;
}

}  // namespace
}  // namespace tarvex::platform
