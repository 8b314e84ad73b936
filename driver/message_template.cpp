#include "driver/message_template.h"

namespace tarvex {

namespace {

std::string ReplaceAll(std::string_view text, std::string_view what, std::string_view with) {
  std::string result;
  size_t start = 0;
  for (size_t at; (at = text.find(what, start)) != std::string_view::npos;
       start = at + what.size()) {
    result.append(text.substr(start, at - start));
    result.append(with);
  }
  result.append(text.substr(start));
  return result;
}

}  // namespace

std::string FillTemplate(std::string_view message_template, std::string_view first,
                         std::string_view second) {
  std::string text = ReplaceAll(message_template, "Parameter0", first);
  if (second.empty()) return text;
  return ReplaceAll(text, "Parameter1", second);
}

}  // namespace tarvex
