#include "platform/command_text.h"

namespace tarvex::platform {

std::string CommandText(int argc, const char* const* argv) {
  std::string text;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) text += ' ';
    text += argv[i];
  }
  return text;
}

}  // namespace tarvex::platform
