// What the user's locale decides: the decimal separator, lower-casing and the time stamp text.
#pragma once

#include <ctime>
#include <string>
#include <string_view>

namespace tarvex::platform {

// Takes the user's locale (LANG, LC_ALL, ...) for the whole process.
void UseUserLocale();

// The decimal separator of the current locale ("." under C, "," under de_DE).
std::string LocaleDecimalSeparator();

// Lower-cases ASCII letters and, in a multi-byte locale, the characters that the locale
// lower-cases; bytes that do not form a character are kept as they are.
std::string LowerCaseText(std::string_view text);

// The locale's short date form and long time form joined by a blank; the date alone at
// exactly 00:00:00.
std::string TimeStampText(const std::tm& local_time);
std::string LocalTimeStamp();

}  // namespace tarvex::platform
