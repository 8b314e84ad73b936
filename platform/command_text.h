// The command text of a program: its arguments as one string.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace tarvex::platform {

// argv[1] onwards joined by single blanks; empty when there are no arguments.
std::string CommandText(int argc, const char* const* argv);

// Splits the command text at every "/" (there is no escape: a "/" inside quotes or values splits
// too). Each item loses its leading and trailing spaces and every double quote, and is lower-cased
// whole; an item that is then empty or holds no "=" is skipped. The key is the text before the
// first "=", the value all the rest; neither is trimmed again, so "/lr =1" has the key "lr ".
void ForEachOptionItem(
    std::string_view command_text,
    const std::function<void(std::string_view key, std::string_view value)>& use);

}  // namespace tarvex::platform
