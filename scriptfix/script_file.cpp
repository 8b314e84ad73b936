#include "scriptfix/script_file.h"

#include <exception>

#include "platform/file_replacement.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace tarvex::scriptfix {

bool ReadWholeFile(const std::string& path, std::string& text) {
  const std::string native = platform::ToNativePath(path);
  if (!platform::IsExistingFile(native)) return false;
  try {
    text = platform::ReadWholeFile(native);
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

bool WriteWholeFile(const std::string& path, std::string_view text) {
  const std::string native = platform::ToNativePath(path);
  if (!platform::IsExistingFile(native)) return true;
  try {
    // Scribbon rewrites read-only scripts too; the mode is set on the new file, so a read-only
    // script never has to be made writable.
    platform::FileReplacement replacement(native, platform::ReadOnlyTarget::kReplaced);
    replacement.Write(text);
    replacement.Commit();
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace tarvex::scriptfix
