// The command text of a program: its arguments as one string.
#pragma once

#include <string>

namespace tarvex::platform {

// argv[1] onwards joined by single blanks; empty when there are no arguments.
std::string CommandText(int argc, const char* const* argv);

}  // namespace tarvex::platform
