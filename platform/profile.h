// Reading values from a profile (INI) file by section and key.
#pragma once

#include <string>
#include <string_view>

namespace tarvex::platform {

// Holds one profile file's text so that many keys can be looked up with one read. Lookup rules:
// section and key compared without regard to ASCII case, the first match wins, blanks around key
// and value dropped, one pair of enclosing double or single quotes removed, lines starting with
// ";" are comments, LF or CR LF line ends, a UTF-8 byte-order mark at the start skipped. A
// missing or unreadable file reads as empty values.
class ProfileReader {
 public:
  explicit ProfileReader(const std::string& native_path);

  // Empty when the section or key is missing. Values are read whole: a cut value would silently
  // change direct values mid-number.
  std::string Read(std::string_view section, std::string_view key) const;

 private:
  std::string text_;
};

}  // namespace tarvex::platform
