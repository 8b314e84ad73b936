#include "job/messages.h"

#include "job/data_set.h"

#include "platform/text.h"

namespace tarvex::job {

std::string FillTemplate(std::string_view message_template, std::string_view first,
                         std::string_view second) {
  std::string text = platform::ReplaceAll(message_template, "Parameter0", first);
  if (second.empty()) return text;
  return platform::ReplaceAll(text, "Parameter1", second);
}

std::string FileNameLine(std::string_view path, std::string_view description) {
  std::string line = "File name: ";
  line += path;
  line += "  ";
  line += description;
  return line;
}

std::string DimensionsText(std::string_view label, long long rows, long long columns) {
  return "   " + std::string(label) + " " + ArrayText(rows, columns);
}

}  // namespace tarvex::job
