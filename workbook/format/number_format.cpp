// The date rule of number formats: built-in date formats and date codes in format text.
#include "workbook/format/number_format.h"

#include "platform/text.h"

namespace tarvex::workbook {

namespace {

bool IsDateLetter(char c) {
  switch (platform::AsciiLower(c)) {
    case 'd':
    case 'm':
    case 'y':
    case 'h':
    case 's':
      return true;
    default:
      return false;
  }
}

// [h], [mm], [ss]: elapsed times; [Red], [<100], [$-409]: colours, conditions, locales.
bool IsElapsedTime(std::string_view bracketed) {
  if (bracketed.empty()) return false;
  char first = platform::AsciiLower(bracketed.front());
  if (first != 'h' && first != 'm' && first != 's') return false;
  for (char c : bracketed) {
    if (platform::AsciiLower(c) != first) return false;
  }
  return true;
}

}  // namespace

bool IsBuiltInDateFormat(int format_id) {
  return (format_id >= 14 && format_id <= 22) || (format_id >= 27 && format_id <= 36) ||
         (format_id >= 45 && format_id <= 47) || (format_id >= 50 && format_id <= 58);
}

bool IsDateFormatCode(std::string_view code) {
  for (size_t i = 0; i < code.size(); ++i) {
    char c = code[i];
    if (c == ';') return false;
    if (c == '"') {
      size_t close = code.find('"', i + 1);
      if (close == std::string_view::npos) return false;
      i = close;
    } else if (c == '\\' || c == '_' || c == '*') {
      ++i;
    } else if (c == '[') {
      size_t close = code.find(']', i + 1);
      if (close == std::string_view::npos) return false;
      if (IsElapsedTime(code.substr(i + 1, close - i - 1))) return true;
      i = close;
    } else if (platform::AsciiLower(c) == 'g' &&
               platform::EqualIgnoringAsciiCase(code.substr(i, 7), "general")) {
      i += 6;
    } else if (IsDateLetter(c)) {
      return true;
    }
  }
  return false;
}

}  // namespace tarvex::workbook
