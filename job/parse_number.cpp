#include "job/parse_number.h"

#include <string>

#include "platform/number_text.h"

namespace tarvex::job {

bool ParseNumber(std::string_view text, double& target, std::string_view decimal_separator) {
  if (decimal_separator.size() == 1) {
    // Replacing "." by the separator and testing is the same as letting either one serve.
    const char* end = text.data() + text.size();
    return platform::ScanNumberField(text.data(), end, -1, '.', decimal_separator[0], target) ==
           end;
  }
  if (text.find('.') == std::string_view::npos) {
    return platform::ConvertLocaleNumber(text, decimal_separator, target);
  }
  std::string translated;
  translated.reserve(text.size() + 8);
  for (char c : text) {
    if (c == '.') {
      translated += decimal_separator;
    } else {
      translated += c;
    }
  }
  return platform::ConvertLocaleNumber(translated, decimal_separator, target);
}

}  // namespace tarvex::job
