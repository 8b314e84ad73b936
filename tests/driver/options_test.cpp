#include "driver/options.h"

#include <gtest/gtest.h>

#include <limits>

#include "job/parse_number.h"

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

}  // namespace
}  // namespace tarvex::driver
