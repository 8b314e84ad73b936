#include "platform/profile.h"

#include <exception>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace tarvex::platform {

ProfileReader::ProfileReader(const std::string& native_path) {
  try {
    if (IsExistingFile(native_path)) text_ = ReadWholeFile(native_path);
    // Windows editors start a UTF-8 file with a byte-order mark; it is not part of the first line.
    if (text_.starts_with("\xEF\xBB\xBF")) text_.erase(0, 3);
  } catch (const std::exception&) {
    text_.clear();  // unreadable reads as empty, like a missing file
  }
}

std::string ProfileReader::Read(std::string_view section, std::string_view key) const {
  std::string_view text = text_;
  bool in_section = false;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    line = TrimBlanks(line);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      size_t close = line.find(']');
      std::string_view name =
          line.substr(1, close == std::string_view::npos ? line.npos : close - 1);
      in_section = EqualIgnoringAsciiCase(TrimBlanks(name), section);
      continue;
    }
    if (!in_section) continue;
    size_t equals = line.find('=');
    if (equals == std::string_view::npos ||
        !EqualIgnoringAsciiCase(TrimBlanks(line.substr(0, equals)), key)) {
      continue;
    }
    std::string_view value = TrimBlanks(line.substr(equals + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
    // A value is a C string to the callers that open files with it: it ends at a NUL byte.
    return std::string(value.substr(0, value.find('\0')));
  }
  return {};
}

}  // namespace tarvex::platform
