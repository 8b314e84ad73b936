#include "platform/paths.h"

#include <sys/stat.h>

#include <filesystem>

namespace tarvex::platform {

std::string ToNativePath(std::string_view path) {
  std::string native(path);
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return native;
}

const std::string& ProgramFolder() {
  static const std::string folder = [] {
    std::error_code error;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return std::string(".");
    std::string text = exe.parent_path().string();
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    return text;
  }();
  return folder;
}

bool IsExistingFile(const std::string& native_path) {
  struct stat info;
  return stat(native_path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool FolderExists(const std::string& native_path) {
  struct stat info;
  return stat(native_path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool CreateFolder(const std::string& native_path) { return mkdir(native_path.c_str(), 0777) == 0; }

}  // namespace tarvex::platform
