#include "platform/locale_text.h"

#include <langinfo.h>

#include <climits>
#include <clocale>
#include <cstring>
#include <cwchar>
#include <cwctype>

#include "platform/text.h"

namespace tarvex::platform {

void UseUserLocale() { std::setlocale(LC_ALL, ""); }

std::string LocaleDecimalSeparator() {
  const char* point = std::localeconv()->decimal_point;
  return (point != nullptr && *point != '\0') ? point : ".";
}

std::string LowerCaseText(std::string_view text) {
  std::string lower;
  lower.reserve(text.size());
  const bool multi_byte = MB_CUR_MAX > 1;
  std::mbstate_t state{};
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80 || !multi_byte) {
      lower += AsciiLower(static_cast<char>(c));
      ++i;
      continue;
    }
    wchar_t wide;
    size_t length = std::mbrtowc(&wide, text.data() + i, text.size() - i, &state);
    if (length == static_cast<size_t>(-1) || length == static_cast<size_t>(-2) || length == 0) {
      state = std::mbstate_t{};
      lower += static_cast<char>(c);
      ++i;
      continue;
    }
    char encoded[MB_LEN_MAX];
    std::mbstate_t out_state{};
    size_t written = std::wcrtomb(encoded, static_cast<wchar_t>(std::towlower(wide)), &out_state);
    if (written == static_cast<size_t>(-1)) {
      lower.append(text.data() + i, length);
    } else {
      lower.append(encoded, written);
    }
    i += length;
  }
  return lower;
}

std::string TimeStampText(const std::tm& local_time) {
  std::string format = nl_langinfo(D_FMT);
  if (local_time.tm_hour != 0 || local_time.tm_min != 0 || local_time.tm_sec != 0) {
    format += ' ';
    format += nl_langinfo(T_FMT);
  }
  char buffer[256];
  size_t length = std::strftime(buffer, sizeof buffer, format.c_str(), &local_time);
  return std::string(buffer, length);
}

std::string LocalTimeStamp() {
  std::time_t now = std::time(nullptr);
  std::tm local_time{};
  localtime_r(&now, &local_time);
  return TimeStampText(local_time);
}

}  // namespace tarvex::platform
