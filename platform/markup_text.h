// Text that a program writes into HTML or XML: what a job gives (paths, log lines, which are bytes
// as the user wrote them) escaped and made valid UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace tarvex::platform {

// text as character data or as an attribute value, in either quote: "&", "<", ">", '"' and "'"
// escaped, bytes that do not form UTF-8 replaced by U+FFFD, control characters other than TAB and
// LF by a space (XML allows no other control character but CR, which its readers turn into LF).
std::string MarkupEscaped(std::string_view text);

}  // namespace tarvex::platform
