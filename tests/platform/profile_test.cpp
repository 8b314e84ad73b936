#include "platform/profile.h"

#include <gtest/gtest.h>

#include "tests/support/test_support.h"

namespace tarvex::platform {
namespace {

using tarvex::testing::TempFolder;
using tarvex::testing::WriteFile;

class ProfileTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& text) {
    std::string path = (folder_ / "job.ini").string();
    WriteFile(path, text);
    return path;
  }
  TempFolder folder_;
};

TEST_F(ProfileTest, FollowsTheLookupRules) {
  std::string path = Write(
      "; a comment line\r\n"
      "/ep=1\r\n"  // before any section: belongs to none
      "[Other]\r\n"
      "/ep=2\r\n"
      "  [ parameter ]  \r\n"
      "  /EP  =  5000  \r\n"
      "/ep=6000\r\n"  // the first match wins
      ";/lr=0.9\r\n"
      "/tif=\"C:\\My Data\\ti.txt\"\r\n"
      "/tof='x'\r\n"
      "/pif=\"unbalanced\r\n"
      "/pos=INSERT INTO T (A) VALUES (1)\n"
      "/empty=\n"
      "/log=a=b\n"
      "[Parameter]\n"
      "/m=0.7\n"
      "/lr=0.5");  // no newline at the end
  ProfileReader profile(path);
  struct Lookup {
    const char* section;
    const char* key;
    const char* value;
  };
  const Lookup lookups[] = {
      {"Parameter", "/ep", "5000"},
      {"PARAMETER", "/Ep", "5000"},
      {"Other", "/ep", "2"},
      {"Parameter", "/lr", "0.5"},
      {"Parameter", "/m", "0.7"},
      {"Parameter", "/tif", "C:\\My Data\\ti.txt"},
      {"Parameter", "/tof", "x"},
      {"Parameter", "/pif", "\"unbalanced"},
      {"Parameter", "/pos", "INSERT INTO T (A) VALUES (1)"},
      {"Parameter", "/empty", ""},
      {"Parameter", "/log", "a=b"},
      {"Parameter", "/missing", ""},
      {"Missing", "/ep", ""},
  };
  for (const Lookup& l : lookups) {
    EXPECT_EQ(profile.Read(l.section, l.key), l.value) << l.section << " " << l.key;
  }
  EXPECT_EQ(ProfileReader(path).Read("Parameter", "/ep"), "5000");
}

TEST_F(ProfileTest, ReadsLongValuesWholeAndSkipsAByteOrderMark) {
  std::string long_value = "0.123";
  while (long_value.size() < 5000) long_value += ",0.123";
  ProfileReader profile(Write("\xEF\xBB\xBF[Parameter]\n/tiv=" + long_value + "\n"));
  EXPECT_EQ(profile.Read("Parameter", "/tiv"), long_value);
}

TEST_F(ProfileTest, MissingFolderOrGarbageFilesReadAsEmpty) {
  EXPECT_EQ(ProfileReader((folder_ / "none.ini").string()).Read("Parameter", "/ep"), "");
  EXPECT_EQ(ProfileReader(folder_.path().string()).Read("Parameter", "/ep"), "");
  std::string garbage;
  for (int i = 0; i < 5000; ++i) garbage += static_cast<char>((i * 7919) % 256);
  EXPECT_EQ(ProfileReader(Write(garbage)).Read("Parameter", "/ep"), "");
  // A NUL byte ends a value, as it would for any C-string consumer of it.
  ProfileReader with_nul(Write(std::string("[Parameter]\n/tif=ab\0cd\n", 23)));
  EXPECT_EQ(with_nul.Read("Parameter", "/tif"), "ab");
}

TEST_F(ProfileTest, ReadsLargeFiles) {
  std::string text = "[Parameter]\n";
  for (int i = 0; i < 100000; ++i)
    text += "/k" + std::to_string(i) + "=" + std::to_string(i) + "\n";
  text += "/ep=77\n";
  ProfileReader profile(Write(text));
  EXPECT_EQ(profile.Read("Parameter", "/ep"), "77");
  EXPECT_EQ(profile.Read("Parameter", "/k99999"), "99999");
}

}  // namespace
}  // namespace tarvex::platform
