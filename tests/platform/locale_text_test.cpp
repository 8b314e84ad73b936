#include "platform/locale_text.h"

#include <gtest/gtest.h>

#include "tests/support/locale_guard.h"
#include "tests/support/test_support.h"

namespace tarvex::platform {
namespace {

using tarvex::testing::LocaleGuard;

TEST(LowerCaseTextTest, LowersAsciiAndKeepsOtherBytesInTheCLocale) {
  LocaleGuard c("C");
  EXPECT_EQ(LowerCaseText("/TIF=C:\\Data\\TI.TXT"), "/tif=c:\\data\\ti.txt");
  EXPECT_EQ(LowerCaseText("\xC3\x84\xFF\x01"), "\xC3\x84\xFF\x01");
}

TEST(LowerCaseTextTest, LowersUtf8LettersWithoutBreakingSequences) {
  LocaleGuard utf8(tarvex::testing::kCommaLocale);
  ASSERT_TRUE(utf8.ok()) << "scripts/test generates " << tarvex::testing::kCommaLocale;
  EXPECT_EQ(LowerCaseText("\xC3\x84RGER"), "\xC3\xA4rger");          // Ä -> ä
  EXPECT_EQ(LowerCaseText("\xCE\xA3\xCE\x91"), "\xCF\x83\xCE\xB1");  // ΣΑ -> σα
  // A lone continuation byte and a cut sequence stay as they are, and what follows still lowers.
  EXPECT_EQ(LowerCaseText("A\x80"
                          "B\xC3"),
            "a\x80"
            "b\xC3");
  EXPECT_EQ(LowerCaseText(std::string("X\0Y", 3)), std::string("x\0y", 3));
}

TEST(LocaleDecimalSeparatorTest, FollowsTheLocale) {
  {
    LocaleGuard c("C");
    EXPECT_EQ(LocaleDecimalSeparator(), ".");
  }
  LocaleGuard de(tarvex::testing::kCommaLocale);
  ASSERT_TRUE(de.ok());
  EXPECT_EQ(LocaleDecimalSeparator(), ",");
}

TEST(TimeStampTextTest, ShowsDateAndTimeButTheDateAloneAtMidnight) {
  LocaleGuard c("C");
  std::tm time{};
  time.tm_year = 126;
  time.tm_mon = 11;
  time.tm_mday = 5;
  time.tm_hour = 18;
  time.tm_min = 39;
  time.tm_sec = 19;
  EXPECT_EQ(TimeStampText(time), "12/05/26 18:39:19");
  time.tm_hour = time.tm_min = time.tm_sec = 0;
  EXPECT_EQ(TimeStampText(time), "12/05/26");
  time.tm_sec = 1;
  EXPECT_EQ(TimeStampText(time), "12/05/26 00:00:01");

  LocaleGuard de(tarvex::testing::kCommaLocale);
  ASSERT_TRUE(de.ok());
  time.tm_hour = 18;
  EXPECT_EQ(TimeStampText(time), "05.12.2026 18:00:01");
}

}  // namespace
}  // namespace tarvex::platform
