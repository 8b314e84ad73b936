#include "platform/text.h"

#include "platform/locale_text.h"

namespace tarvex::platform {

std::string ReplaceAll(std::string_view text, std::string_view what, std::string_view with) {
  std::string result;
  result.reserve(text.size());
  for (size_t start = 0;;) {
    size_t found = text.find(what, start);
    if (found == std::string_view::npos || what.empty()) {
      result.append(text.substr(start));
      return result;
    }
    result.append(text.substr(start, found - start));
    result.append(with);
    start = found + what.size();
  }
}

std::vector<std::string_view> SplitAll(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (size_t start = 0;;) {
    size_t at = text.find(separator, start);
    if (at == std::string_view::npos) {
      parts.push_back(text.substr(start));
      return parts;
    }
    parts.push_back(text.substr(start, at - start));
    start = at + 1;
  }
}

std::string_view TrimSpaces(std::string_view text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string_view TrimBlanks(std::string_view text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

std::optional<std::string> LowerCaseExtension(std::string_view path) {
  size_t dot = path.rfind('.');
  if (dot == std::string_view::npos) return std::nullopt;
  return LowerCaseText(TrimSpaces(path.substr(dot + 1)));
}

std::string CutText(std::string_view text, std::size_t most) {
  if (text.size() <= most) return std::string(text);
  std::size_t end = most;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return std::string(text.substr(0, end)) + "...";
}

std::string DelimitedField(std::string_view text, char delimiter) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  const bool quoted =
      text.find_first_of(std::string{delimiter, '"', '\r', '\n'}) != std::string_view::npos ||
      (!text.empty() && (blank(text.front()) || blank(text.back())));
  if (!quoted) return std::string(text);
  return '"' + ReplaceAll(text, "\"", "\"\"") + '"';
}

}  // namespace tarvex::platform
