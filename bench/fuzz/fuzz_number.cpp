// The number test and its conversion against an independent model: a small grammar checker of
// the accepted forms and the C library's correctly rounded strtod_l. Any disagreement, in the
// answer or in a single bit of the value, stops the run. With the first byte odd, the number
// formatter instead: eight bytes as a double, written and read back, must equal glibc's own
// rounding to 15 significant digits.
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "bench/fuzz/fuzz_support.h"
#include "job/parse_number.h"
#include "platform/number_text.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The accepted forms: blanks, a sign, digits with at most one separator (one of separators) and
// digits on at least one side, an exponent with digits, blanks. Writes the number as strtod
// reads it, with "." as the point.
bool Model(std::string_view text, std::string_view separators, std::string& c_text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  c_text.clear();
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) c_text += text[i++];
  size_t digits = 0;
  while (i < text.size() && IsDigit(text[i])) c_text += text[i++], ++digits;
  if (i < text.size() && separators.find(text[i]) != std::string_view::npos) {
    c_text += '.';
    ++i;
    while (i < text.size() && IsDigit(text[i])) c_text += text[i++], ++digits;
  }
  if (digits == 0) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    c_text += text[i++];
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) c_text += text[i++];
    size_t exponent_digits = 0;
    while (i < text.size() && IsDigit(text[i])) c_text += text[i++], ++exponent_digits;
    if (exponent_digits == 0) return false;
  }
  while (i < text.size() && IsBlank(text[i])) ++i;
  return i == text.size();
}

const locale_t kC = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));

// Traps when the scanner's answer differs from the model's.
void Compare(bool accepted, double value, bool model_accepts, const std::string& c_text) {
  if (!model_accepts) {
    if (accepted) __builtin_trap();
    return;
  }
  const double expected = strtod_l(c_text.c_str(), nullptr, kC);
  if (std::isinf(expected)) {
    if (accepted) __builtin_trap();  // beyond a double: not a number
    return;
  }
  if (!accepted || std::memcmp(&value, &expected, sizeof value) != 0) __builtin_trap();
}

void CheckScanner(std::string_view text) {
  std::string c_text;
  double value = 0;
  bool accepted = tarvex::platform::ConvertLocaleNumber(text, ".", value);
  Compare(accepted, value, Model(text, ".", c_text), c_text);
  accepted = tarvex::platform::ConvertLocaleNumber(text, ",", value);
  Compare(accepted, value, Model(text, ",", c_text), c_text);
  // Either separator, as ParseNumber reads under a comma locale.
  accepted = tarvex::job::ParseNumber(text, value, ",");
  Compare(accepted, value, Model(text, ".,", c_text), c_text);
  // One field of a line: the field ends at the first TAB.
  const std::string_view field = text.substr(0, text.find('\t'));
  const char* end = tarvex::platform::ScanNumberField(text.data(), text.data() + text.size(), '\t',
                                                      '.', ',', value);
  const bool model_accepts = Model(field, ".,", c_text);
  Compare(end != nullptr, value, model_accepts, c_text);
  if (end != nullptr && end != text.data() + field.size()) __builtin_trap();
}

void CheckFormatter(const std::uint8_t* data, std::size_t size) {
  double value;
  if (size < sizeof value) return;
  std::memcpy(&value, data, sizeof value);
  if (!std::isfinite(value)) return;
  const std::string text = tarvex::platform::FormatGeneralNumber(value, ".");
  char peer[64];
  std::snprintf(peer, sizeof peer, "%.14e", value);  // 15 significant digits, rounded by glibc
  double read_back = 0;
  const bool accepted = tarvex::platform::ConvertLocaleNumber(text, ".", read_back);
  const double expected = strtod_l(peer, nullptr, kC);
  // Near the largest double, 15 digits round past it: then no reader takes the text back.
  if (accepted != std::isfinite(expected)) __builtin_trap();
  if (accepted && read_back != expected) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  if (data[0] & 1) {
    CheckFormatter(data + 1, size - 1);
  } else {
    CheckScanner(tarvex::fuzz::AsText(data + 1, size - 1));
  }
  return 0;
}
