// Numbers written with "." as decimal point, read the same under every locale.
#pragma once

#include <string_view>

namespace tarvex::job {

// Replaces every "." by the decimal separator, then applies the locale number test. Stores the
// number and returns true, or returns false and leaves target as it was. Under a comma locale
// "0,5" passes as well, which users of such locales rely on.
bool ParseNumber(std::string_view text, double& target, std::string_view decimal_separator);

}  // namespace tarvex::job
