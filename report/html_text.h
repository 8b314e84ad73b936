// Text for the report's HTML: what the job gives (paths, log lines, which are bytes as the user
// wrote them) escaped and made valid UTF-8, and coordinates in the SVG's own number form.
#pragma once

#include <string>
#include <string_view>

namespace tarvex::report {

// text as character data or an attribute value: "&", "<", ">", '"' and "'" escaped, bytes that
// do not form UTF-8 replaced by U+FFFD, control characters other than TAB and LF by a space.
std::string Escaped(std::string_view text);

// A coordinate with one decimal and "." whatever the locale, as SVG reads it.
void AppendCoordinate(std::string& out, double value);

}  // namespace tarvex::report
