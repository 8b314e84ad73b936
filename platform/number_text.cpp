#include "platform/number_text.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace tarvex::platform {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// from_chars reports both overflow and underflow as out of range; strtod in the C locale tells
// them apart and rounds an underflow to the nearest subnormal or zero.
bool ConvertOutOfRange(const std::string& c_text, double& value) {
  static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  double converted = strtod_l(c_text.c_str(), nullptr, c_locale);
  if (std::isinf(converted)) return false;
  value = converted;
  return true;
}

// Eight bytes as one word, the first byte lowest.
std::uint64_t LoadEight(const char* p) {
  std::uint64_t word;
  std::memcpy(&word, p, 8);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
  return word;
}

constexpr std::uint64_t kWholePowersOfTen[] = {1,      10,      100,      1000,     10000,
                                               100000, 1000000, 10000000, 100000000};

// Reads a run of digits into mantissa (wrapping on overflow; callers count the digits). Eight
// bytes at a time where there are eight: the run's length within them comes from a mask rather
// than from a branch per digit, which data files make unpredictable.
[[gnu::always_inline]] inline const char* TakeDigits(const char* p, const char* end,
                                                     std::uint64_t& mantissa) {
  while (end - p >= 8) {
    const std::uint64_t values = LoadEight(p) ^ 0x3030303030303030;
    // A byte is a digit when its value is below 10; the top bit of each byte says it is not.
    const std::uint64_t non_digits =
        (((values & 0x7F7F7F7F7F7F7F7F) + 0x7676767676767676) | values) & 0x8080808080808080;
    const int count = non_digits != 0 ? std::countr_zero(non_digits) >> 3 : 8;
    if (count == 0) return p;
    // The run moves to the top of the word; the bytes below it read as leading zeros.
    std::uint64_t digits = values << (8 * (8 - count));
    digits = (digits * 10) + (digits >> 8);
    digits = (((digits & 0x000000FF000000FF) * 0x000F424000000064) +
              (((digits >> 16) & 0x000000FF000000FF) * 0x0000271000000001)) >>
             32;
    mantissa = mantissa * kWholePowersOfTen[count] + digits;
    p += count;
    if (count < 8) return p;
  }
  for (; p < end && IsDigit(*p); ++p) mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
  return p;
}

}  // namespace

const char* ScanNumberField(const char* p, const char* end, int delimiter, char decimal_a,
                            char decimal_b, double& value) {
  while (p < end && IsBlank(*p) && *p != delimiter) ++p;
  const char* number_start = p;
  bool negative = false;
  if (p < end) {
    negative = *p == '-';
    p += (*p == '-' || *p == '+');
  }
  const char* digits_start = p;
  // Significant digits are counted from the first non-zero one. The accumulator wraps past 19
  // digits, so its value cannot tell whether a nonzero digit has been seen (2^64 wraps to 0).
  while (p < end && *p == '0') ++p;
  const char* significant_start = p;
  std::uint64_t mantissa = 0;
  p = TakeDigits(p, end, mantissa);
  std::ptrdiff_t digit_count = p - digits_start;
  std::ptrdiff_t significant = p - significant_start;
  int exponent = 0;
  const char* separator_at = nullptr;
  if (p < end && (*p == decimal_a || *p == decimal_b) && *p != delimiter) {
    separator_at = p++;
    const char* fraction_start = p;
    if (significant == 0) {
      while (p < end && *p == '0') ++p;
    }
    const char* fraction_significant = p;
    p = TakeDigits(p, end, mantissa);
    significant += p - fraction_significant;
    digit_count += p - fraction_start;
    exponent = -static_cast<int>(std::min<std::ptrdiff_t>(p - fraction_start, 1000000));
  }
  if (digit_count == 0) return nullptr;
  if (p < end && (*p == 'e' || *p == 'E')) {
    ++p;
    bool negative_exponent = false;
    if (p < end && (*p == '+' || *p == '-')) {
      negative_exponent = *p == '-';
      ++p;
    }
    if (p == end || !IsDigit(*p)) return nullptr;
    int written = 0;
    for (; p < end && IsDigit(*p); ++p) {
      if (written < 100000) written = written * 10 + (*p - '0');  // beyond any double anyway
    }
    exponent += negative_exponent ? -written : written;
  }
  // More than 19 significant digits do not fit the mantissa: the slow path converts them.
  const bool exact = significant <= 19;
  const char* number_end = p;
  while (p < end && IsBlank(*p) && *p != delimiter) ++p;
  if (p != end && *p != delimiter) return nullptr;

  // Clinger's fast path: both operands are exact doubles, so one operation rounds correctly.
  static constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                            1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  double converted;
  if (exact && mantissa == 0) {
    converted = negative ? -0.0 : 0.0;
  } else if (exact && mantissa <= (std::uint64_t{1} << 53) && exponent >= -22 && exponent <= 22) {
    double m = static_cast<double>(mantissa);
    converted = exponent < 0 ? m / kPowersOfTen[-exponent] : m * kPowersOfTen[exponent];
    // The sign goes in without a branch: it is as unpredictable as the data.
    converted = std::bit_cast<double>(std::bit_cast<std::uint64_t>(converted) |
                                      (static_cast<std::uint64_t>(negative) << 63));
  } else {
    std::string c_text;
    c_text.reserve(number_end - number_start);
    for (const char* q = number_start; q < number_end; ++q) {
      if (q == separator_at) {
        c_text += '.';
      } else if (*q != '+' || q != number_start) {
        c_text += *q;
      }
    }
    auto [ptr, ec] = std::from_chars(c_text.data(), c_text.data() + c_text.size(), converted);
    if (ec == std::errc::result_out_of_range) {
      if (!ConvertOutOfRange(c_text, converted)) return nullptr;
    } else if (ec != std::errc() || ptr != c_text.data() + c_text.size()) {
      return nullptr;
    }
  }
  value = converted;
  return p;
}

bool ConvertLocaleNumber(std::string_view text, std::string_view decimal_separator, double& value) {
  const char* end = text.data() + text.size();
  if (decimal_separator.size() == 1) {
    return ScanNumberField(text.data(), end, -1, decimal_separator[0], decimal_separator[0],
                           value) == end;
  }
  // A separator of several bytes (a few locales have one): test the syntax, then convert a copy
  // written with ".".
  const char* p = text.data();
  while (p < end && IsBlank(*p)) ++p;
  const char* number_start = p;
  if (p < end && (*p == '+' || *p == '-')) ++p;
  const char* digits_start = p;
  while (p < end && IsDigit(*p)) ++p;
  size_t digit_count = p - digits_start;
  const char* separator_at = nullptr;
  if (!decimal_separator.empty() && static_cast<size_t>(end - p) >= decimal_separator.size() &&
      std::memcmp(p, decimal_separator.data(), decimal_separator.size()) == 0) {
    separator_at = p;
    p += decimal_separator.size();
    const char* fraction_start = p;
    while (p < end && IsDigit(*p)) ++p;
    digit_count += p - fraction_start;
  }
  if (digit_count == 0) return false;
  if (p < end && (*p == 'e' || *p == 'E')) {
    ++p;
    if (p < end && (*p == '+' || *p == '-')) ++p;
    const char* exponent_start = p;
    while (p < end && IsDigit(*p)) ++p;
    if (p == exponent_start) return false;
  }
  const char* number_end = p;
  while (p < end && IsBlank(*p)) ++p;
  if (p != end) return false;
  std::string c_text;
  if (*number_start == '-') c_text += '-';
  c_text.append(digits_start, separator_at ? separator_at : number_end);
  if (separator_at) {
    c_text += '.';
    c_text.append(separator_at + decimal_separator.size(), number_end);
  }
  return ScanNumberField(c_text.data(), c_text.data() + c_text.size(), -1, '.', '.', value) ==
         c_text.data() + c_text.size();
}

std::string FormatGeneralNumber(double value, std::string_view decimal_separator) {
  return FormatNumber(value, 15, decimal_separator);
}

std::string FormatNumber(double value, int significant_digits, std::string_view decimal_separator) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
  if (value == 0) return "0";  // negative zero too

  // The significant digits, rounded once, then laid out by hand.
  char buffer[64];
  auto result =
      std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::scientific,
                    std::clamp(significant_digits, 1, 17) - 1);
  std::string_view scientific(buffer, result.ptr - buffer);
  size_t e_at = scientific.find('e');
  std::string digits;
  digits += scientific[0];
  if (e_at > 2) digits.append(scientific.substr(2, e_at - 2));  // one digit has no point
  int exponent = std::atoi(std::string(scientific.substr(e_at + 1)).c_str());
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string text = value < 0 ? "-" : "";
  if (exponent >= -4 && exponent < 15) {
    if (exponent >= 0) {
      size_t integer_digits = static_cast<size_t>(exponent) + 1;
      if (digits.size() <= integer_digits) {
        text += digits;
        text.append(integer_digits - digits.size(), '0');
      } else {
        text.append(digits, 0, integer_digits);
        text += decimal_separator;
        text.append(digits, integer_digits);
      }
    } else {
      text += '0';
      text += decimal_separator;
      text.append(static_cast<size_t>(-exponent - 1), '0');
      text += digits;
    }
    return text;
  }
  text += digits[0];
  if (digits.size() > 1) {
    text += decimal_separator;
    text.append(digits, 1);
  }
  text += 'E';
  text += exponent < 0 ? '-' : '+';
  if (std::abs(exponent) < 10) text += '0';
  text += std::to_string(std::abs(exponent));
  return text;
}

}  // namespace tarvex::platform
