#include "platform/paths.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <vector>

#include "platform/files.h"
#include "platform/locale_text.h"

namespace tarvex::platform {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool Exists(const std::string& native_path) {
  struct stat info;
  return lstat(native_path.c_str(), &info) == 0;
}

// The entries of folder whose names equal name when letter case is ignored.
std::vector<std::string> CaseInsensitiveMatches(const std::string& folder, std::string_view name) {
  std::vector<std::string> matches;
  std::unique_ptr<DIR, int (*)(DIR*)> entries(opendir(folder.empty() ? "." : folder.c_str()),
                                              closedir);
  if (!entries) return matches;
  const std::string lowered = LowerCaseText(name);
  while (const dirent* entry = readdir(entries.get())) {
    std::string_view entry_name = entry->d_name;
    if (entry_name.size() == name.size() || MB_CUR_MAX > 1) {
      if (LowerCaseText(entry_name) == lowered) matches.emplace_back(entry_name);
    }
  }
  return matches;
}

// Walks the components of a path that does not exist as written.
std::string ResolveLetterCase(const std::string& written) {
  std::string resolved;
  size_t start = 0;
  if (written.front() == '/') {
    resolved = "/";
    start = 1;
  }
  while (start <= written.size()) {
    size_t slash = written.find('/', start);
    const std::string component =
        written.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    const std::string rest = slash == std::string::npos ? "" : written.substr(slash);
    const std::string candidate = resolved + component;
    if (component.empty() || component == "." || component == ".." || Exists(candidate)) {
      resolved = candidate;
    } else {
      std::vector<std::string> matches = CaseInsensitiveMatches(resolved, component);
      if (matches.empty()) return candidate + rest;  // the rest as written
      if (matches.size() > 1) {
        std::sort(matches.begin(), matches.end());  // the same line whatever the folder's order
        std::string names;
        for (const std::string& match : matches) names += (names.empty() ? "" : ", ") + match;
        throw SystemError("Several names differ from '" + component + "' only in letter case (" +
                          names + ") in the folder '" + (resolved.empty() ? "." : resolved) + "'");
      }
      resolved += matches.front();
    }
    if (slash == std::string::npos) break;
    resolved += '/';
    start = slash + 1;
  }
  return resolved;
}

}  // namespace

bool IsNetworkSharePath(std::string_view path) {
  return path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]);
}

std::string ToNativePath(std::string_view path) {
  if (IsNetworkSharePath(path)) return {};
  std::string native(path);
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  if (native.empty() || Exists(native)) return native;
  return ResolveLetterCase(native);
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

std::optional<FileIdentity> IdentityOf(const std::string& native_path) {
  struct stat info;
  if (native_path.empty() || stat(native_path.c_str(), &info) != 0) return std::nullopt;
  return FileIdentity{info.st_dev, info.st_ino};
}

std::vector<FileIdentity> ProgramFileIdentities() {
  std::vector<FileIdentity> files;
  if (std::optional<FileIdentity> program = IdentityOf("/proc/self/exe")) files.push_back(*program);
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(ProgramFolder(), error)) {
    if (entry.path().extension() != ".so") continue;
    if (std::optional<FileIdentity> library = IdentityOf(entry.path().string())) {
      files.push_back(*library);
    }
  }
  return files;
}

}  // namespace tarvex::platform
