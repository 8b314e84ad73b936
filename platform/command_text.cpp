#include "platform/command_text.h"

#include "platform/locale_text.h"
#include "platform/text.h"

namespace tarvex::platform {

std::string CommandText(int argc, const char* const* argv) {
  std::string text;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) text += ' ';
    text += argv[i];
  }
  return text;
}

void ForEachOptionItem(
    std::string_view command_text,
    const std::function<void(std::string_view key, std::string_view value)>& use) {
  for (size_t start = 0;;) {
    size_t slash = command_text.find('/', start);
    std::string_view item = command_text.substr(
        start, slash == std::string_view::npos ? std::string_view::npos : slash - start);
    item = TrimSpaces(item);
    if (!item.empty()) {
      // Quotes are never needed (only "/" separates items), so they are simply dropped.
      std::string unquoted;
      unquoted.reserve(item.size());
      for (char c : item) {
        if (c != '"') unquoted += c;
      }
      const std::string lowered = LowerCaseText(unquoted);
      size_t equals = lowered.find('=');
      if (equals != std::string::npos) {
        use(std::string_view(lowered).substr(0, equals),
            std::string_view(lowered).substr(equals + 1));
      }
    }
    if (slash == std::string_view::npos) return;
    start = slash + 1;
  }
}

}  // namespace tarvex::platform
