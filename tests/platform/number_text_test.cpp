#include "platform/number_text.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace tarvex::platform {
namespace {

struct NumberCase {
  const char* text;
  const char* separator;
  bool accepted;
  double value;
};

class NumberTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(NumberTest, AcceptsExactlyTheDecimalForms) {
  const NumberCase& c = GetParam();
  double value = -12345;
  bool accepted = ConvertLocaleNumber(c.text, c.separator, value);
  ASSERT_EQ(accepted, c.accepted) << "'" << c.text << "' with separator '" << c.separator << "'";
  if (c.accepted) {
    EXPECT_EQ(value, c.value) << c.text;
    EXPECT_EQ(std::signbit(value), std::signbit(c.value)) << c.text;
  } else {
    EXPECT_EQ(value, -12345) << "a rejected text must leave the target alone";
  }
}

INSTANTIATE_TEST_SUITE_P(
    PointAndComma, NumberTest,
    ::testing::Values(NumberCase{"0.5", ".", true, 0.5},
                      NumberCase{"  -2.25\r\n", ".", true, -2.25},
                      NumberCase{"\t+3e2 ", ".", true, 300}, NumberCase{".5", ".", true, 0.5},
                      NumberCase{"5.", ".", true, 5}, NumberCase{"-0", ".", true, -0.0},
                      NumberCase{"1E-3", ".", true, 0.001}, NumberCase{"1e-400", ".", true, 0.0},
                      NumberCase{"-1e-400", ".", true, -0.0},
                      NumberCase{"4.9406564584124654e-324", ".", true, 4.9406564584124654e-324},
                      NumberCase{"1.7976931348623157e308", ".", true, 1.7976931348623157e308},
                      NumberCase{"1e400", ".", false, 0}, NumberCase{"-1e400", ".", false, 0},
                      NumberCase{"1.2.3", ".", false, 0}, NumberCase{"0x10", ".", false, 0},
                      NumberCase{"inf", ".", false, 0}, NumberCase{"nan", ".", false, 0},
                      NumberCase{"1,5", ".", false, 0}, NumberCase{"", ".", false, 0},
                      NumberCase{" ", ".", false, 0}, NumberCase{".", ".", false, 0},
                      NumberCase{"-", ".", false, 0}, NumberCase{"1e", ".", false, 0},
                      NumberCase{"1e+", ".", false, 0}, NumberCase{"e5", ".", false, 0},
                      NumberCase{"1 000", ".", false, 0}, NumberCase{"$1", ".", false, 0},
                      NumberCase{"1\v", ".", false, 0}, NumberCase{"--1", ".", false, 0},
                      NumberCase{"1,5", ",", true, 1.5}, NumberCase{",5", ",", true, 0.5},
                      NumberCase{"-2,25e1", ",", true, -22.5}, NumberCase{"1.5", ",", false, 0},
                      NumberCase{"1,2,3", ",", false, 0}, NumberCase{"1.000,5", ",", false, 0},
                      NumberCase{"42", ",", true, 42}));

TEST(NumberTest, ConvertsToTheCorrectlyRoundedDouble) {
  // Strings that a naive digit-by-digit conversion gets wrong.
  double value;
  ASSERT_TRUE(ConvertLocaleNumber("0.1", ".", value));
  EXPECT_EQ(value, 0.1);
  ASSERT_TRUE(ConvertLocaleNumber("2.2250738585072011e-308", ".", value));
  EXPECT_EQ(value, 2.2250738585072011e-308);
  ASSERT_TRUE(ConvertLocaleNumber("9007199254740993", ".", value));
  EXPECT_EQ(value, 9007199254740992.0);  // the tie goes to even
  ASSERT_TRUE(ConvertLocaleNumber("0,1", ",", value));
  EXPECT_EQ(value, 0.1);
  ASSERT_TRUE(ConvertLocaleNumber("1,7976931348623157e308", ",", value));
  EXPECT_EQ(value, std::numeric_limits<double>::max());
}

TEST(NumberTest, HandlesVeryLongDigitStrings) {
  std::string digits = "0." + std::string(100000, '3');
  double value = 0;
  ASSERT_TRUE(ConvertLocaleNumber(digits, ".", value));
  EXPECT_EQ(value, 1.0 / 3.0);
  std::string comma = "0," + std::string(100000, '3');
  ASSERT_TRUE(ConvertLocaleNumber(comma, ",", value));
  EXPECT_EQ(value, 1.0 / 3.0);
}

struct FormatCase {
  double value;
  const char* point;
  const char* comma;
};

TEST(FormatGeneralNumberTest, WritesFifteenDigitsInTheGeneralForm) {
  const FormatCase cases[] = {
      {0.5, "0.5", "0,5"},
      {-2.25, "-2.25", "-2,25"},
      {3, "3", "3"},
      {1.0 / 3.0, "0.333333333333333", "0,333333333333333"},
      {2.0 / 3.0, "0.666666666666667", "0,666666666666667"},
      {0.0001, "0.0001", "0,0001"},
      {0.00001, "1E-05", "1E-05"},
      {1e15, "1E+15", "1E+15"},
      {1234567890123456.0, "1.23456789012346E+15", "1,23456789012346E+15"},
      {999999999999999.0, "999999999999999", "999999999999999"},
      {999999999999999.9, "1E+15", "1E+15"},
      {0.000099999999999999999, "0.0001", "0,0001"},
      {0.3, "0.3", "0,3"},
      {0.001, "0.001", "0,001"},
      {100, "100", "100"},
      {-0.0, "0", "0"},
      {0, "0", "0"},
      {1.5e-300, "1.5E-300", "1,5E-300"},
      {-1.25e100, "-1.25E+100", "-1,25E+100"},
      {123.456, "123.456", "123,456"},
  };
  for (const FormatCase& c : cases) {
    EXPECT_EQ(FormatGeneralNumber(c.value, "."), c.point) << c.value;
    EXPECT_EQ(FormatGeneralNumber(c.value, ","), c.comma) << c.value;
  }
}

TEST(FormatGeneralNumberTest, ReadsBackWithinFifteenDigits) {
  for (double value : {0.1, 1.0 / 7.0, 6.02214076e23, -9.87654321e-7, 12345.6789}) {
    double back;
    ASSERT_TRUE(ConvertLocaleNumber(FormatGeneralNumber(value, "."), ".", back));
    EXPECT_NEAR(back, value, std::fabs(value) * 1e-14);
  }
}

}  // namespace
}  // namespace tarvex::platform

namespace tarvex::platform {
namespace {

// The fast paths against the C library's correctly rounded strtod, on the forms data files hold.
TEST(NumberTest, AgreesWithStrtodOnRandomNumbers) {
  std::mt19937_64 generator(2026);
  std::uniform_real_distribution<double> unit(-1, 1);
  std::uniform_int_distribution<int> power(-320, 310);
  std::uniform_int_distribution<int> digit_count(1, 40);
  char text[128];
  for (int i = 0; i < 200000; ++i) {
    switch (i % 4) {
      case 0:
        std::snprintf(text, sizeof text, "%.17g",
                      unit(generator) * std::pow(10.0, power(generator) % 30));
        break;
      case 1:
        std::snprintf(text, sizeof text, "%.10g",
                      unit(generator) * std::pow(10.0, power(generator)));
        break;
      case 2: {  // long digit strings with a point somewhere and an exponent
        int n = digit_count(generator);
        std::string digits;
        for (int d = 0; d < n; ++d) digits += static_cast<char>('0' + generator() % 10);
        digits.insert(generator() % (n + 1), ".");
        std::snprintf(text, sizeof text, "%s%se%d", (generator() & 1) ? "-" : "", digits.c_str(),
                      power(generator));
        if (std::strcmp(text, ".") == 0) continue;
        break;
      }
      default:
        std::snprintf(text, sizeof text, "%.6f", unit(generator) * 1000);
        break;
    }
    errno = 0;
    char* end;
    double expected = std::strtod(text, &end);
    double value = 0;
    bool accepted = ConvertLocaleNumber(text, ".", value);
    if (std::isinf(expected)) {
      EXPECT_FALSE(accepted) << text;
      continue;
    }
    ASSERT_TRUE(accepted) << text;
    ASSERT_EQ(value, expected) << text;
    ASSERT_EQ(std::signbit(value), std::signbit(expected)) << text;
  }
}

}  // namespace
}  // namespace tarvex::platform
