#include "platform/number_text.h"

#include <charconv>
#include <clocale>
#include <cmath>
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

}  // namespace

bool ConvertLocaleNumber(std::string_view text, std::string_view decimal_separator, double& value) {
  const char* p = text.data();
  const char* end = p + text.size();
  while (p < end && IsBlank(*p)) ++p;
  const char* number_start = p;
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) {
    negative = *p == '-';
    ++p;
  }
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

  // from_chars wants "." as separator and no "+"; the common case needs no copy.
  if (separator_at == nullptr || decimal_separator == ".") {
    const char* first = (*number_start == '+') ? number_start + 1 : number_start;
    double parsed;
    auto [ptr, ec] = std::from_chars(first, number_end, parsed);
    if (ec == std::errc() && ptr == number_end) {
      value = parsed;
      return true;
    }
    if (ec != std::errc::result_out_of_range) return false;
    return ConvertOutOfRange(std::string(first, number_end), value);
  }
  std::string c_text;
  c_text.reserve(number_end - number_start);
  if (negative) c_text += '-';
  c_text.append(digits_start, separator_at);
  c_text += '.';
  c_text.append(separator_at + decimal_separator.size(), number_end);
  double parsed;
  auto [ptr, ec] = std::from_chars(c_text.data(), c_text.data() + c_text.size(), parsed);
  if (ec == std::errc() && ptr == c_text.data() + c_text.size()) {
    value = parsed;
    return true;
  }
  if (ec != std::errc::result_out_of_range) return false;
  return ConvertOutOfRange(c_text, value);
}

std::string FormatGeneralNumber(double value, std::string_view decimal_separator) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
  if (value == 0) return "0";  // negative zero too

  // Fifteen significant digits, rounded once, then laid out by hand.
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                              std::chars_format::scientific, 14);
  std::string_view scientific(buffer, result.ptr - buffer);
  size_t e_at = scientific.find('e');
  std::string digits;
  digits += scientific[0];
  digits.append(scientific.substr(2, e_at - 2));
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
  std::string exponent_digits = std::to_string(std::abs(exponent));
  if (exponent_digits.size() < 2) exponent_digits.insert(0, "0");
  text += exponent_digits;
  return text;
}

}  // namespace tarvex::platform
