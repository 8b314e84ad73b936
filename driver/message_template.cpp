#include "driver/message_template.h"

#include "platform/text.h"

namespace tarvex {

std::string FillTemplate(std::string_view message_template, std::string_view first,
                         std::string_view second) {
  std::string text = platform::ReplaceAll(message_template, "Parameter0", first);
  if (second.empty()) return text;
  return platform::ReplaceAll(text, "Parameter1", second);
}

}  // namespace tarvex
