#include "platform/number_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

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

// Any count of significant digits against printf's correctly rounded %.*e: the same value, and
// no more digits than asked for.
TEST(FormatNumberTest, RoundsLikePrintfToTheDigitsAsked) {
  std::mt19937_64 random(3);
  std::uniform_real_distribution<double> exponent(-12, 18), mantissa(1, 10);
  for (int trial = 0; trial < 20000; ++trial) {
    const int digits = 1 + trial % 17;
    const double value = (trial % 2 ? -1 : 1) * mantissa(random) * std::pow(10.0, exponent(random));
    const std::string text = FormatNumber(value, digits, ".");
    char expected[64];
    std::snprintf(expected, sizeof expected, "%.*e", digits - 1, value);
    double back;
    ASSERT_TRUE(ConvertLocaleNumber(text, ".", back)) << text;
    EXPECT_EQ(back, std::strtod(expected, nullptr)) << value << " to " << digits << ": " << text;
    std::string significant;  // the mantissa's digits without the zeros on either side
    for (char c : text.substr(0, text.find('E'))) {
      if (c >= '0' && c <= '9' && (!significant.empty() || c != '0')) significant += c;
    }
    while (!significant.empty() && significant.back() == '0') significant.pop_back();
    EXPECT_LE(significant.size(), static_cast<std::size_t>(digits)) << text;
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

// Digit strings of every length up to several hundred, built from runs (zeros, nines, random
// digits) so that the integer part's accumulator wraps on powers of two, against strtod_l in
// the C locale: once as a whole text, once with a decimal comma, once as a field of a line.
TEST(NumberTest, AgreesWithStrtodOnLongDigitRuns) {
  const locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  std::mt19937_64 generator(64);
  auto runs = [&generator](size_t length) {
    std::string digits;
    while (digits.size() < length) {
      size_t run = 1 + generator() % 40;
      switch (generator() % 4) {
        case 0:
          digits.append(run, '0');
          break;
        case 1:
          digits.append(run, '9');
          break;
        default:
          for (size_t i = 0; i < run; ++i) digits += static_cast<char>('0' + generator() % 10);
      }
    }
    digits.resize(length);
    return digits;
  };
  std::vector<std::string> texts = {"18446744073709551616", "18446744073709551616.5",
                                    "1" + std::string(64, '0'), "36893488147419103232",
                                    "000018446744073709551616e-3"};
  for (int i = 0; i < 100000; ++i) {
    std::string text = (generator() % 3 == 0) ? "-" : "";
    text += runs(1 + generator() % (i % 10 == 0 ? 600 : 45));
    if (generator() % 2) text += "." + runs(generator() % 80);
    if (generator() % 3 == 0) {
      // Exponents that put the value near the ends of a double's range.
      int magnitude = static_cast<int>(text.size());
      int exponent = static_cast<int>(generator() % 700) - 350 - (generator() % 2) * magnitude;
      text += "e" + std::to_string(exponent);
    }
    texts.push_back(text);
  }
  for (const std::string& text : texts) {
    double expected = strtod_l(text.c_str(), nullptr, c_locale);
    std::string comma = text;
    std::replace(comma.begin(), comma.end(), '.', ',');
    const std::string line = text + "\t7";
    double value = 0, comma_value = 0, field_value = 0;
    const bool accepted = ConvertLocaleNumber(text, ".", value);
    const bool comma_accepted = ConvertLocaleNumber(comma, ",", comma_value);
    const char* field_end =
        ScanNumberField(line.data(), line.data() + line.size(), '\t', '.', ',', field_value);
    if (std::isinf(expected)) {
      EXPECT_FALSE(accepted || comma_accepted || field_end != nullptr) << text;
      continue;
    }
    ASSERT_TRUE(accepted && comma_accepted && field_end != nullptr) << text;
    ASSERT_EQ(std::bit_cast<std::uint64_t>(value), std::bit_cast<std::uint64_t>(expected)) << text;
    ASSERT_EQ(std::bit_cast<std::uint64_t>(comma_value), std::bit_cast<std::uint64_t>(expected))
        << comma;
    ASSERT_EQ(std::bit_cast<std::uint64_t>(field_value), std::bit_cast<std::uint64_t>(expected))
        << text;
    ASSERT_EQ(field_end, line.data() + text.size()) << text;
  }
  freelocale(c_locale);
}

}  // namespace
}  // namespace tarvex::platform
