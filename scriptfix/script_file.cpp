#include "scriptfix/script_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <exception>
#include <filesystem>

#include "platform/files.h"
#include "platform/paths.h"

namespace tarvex::scriptfix {

namespace fs = std::filesystem;

namespace {

// Owner and group come back where the system allows it (root, or a group we belong to);
// otherwise the file is ours, as any file an editor saves would be, which is no failure.
void KeepOwner(int fd, const struct stat& old) {
  if (fchown(fd, old.st_uid, old.st_gid) == 0) return;
  [[maybe_unused]] int group_kept = fchown(fd, static_cast<uid_t>(-1), old.st_gid);
}

// Fills the open temporary file: text, owner, then the old mode (after the owner, since a change
// of owner clears the set-user-ID and set-group-ID bits), flushed to disk before the rename.
bool FillTemporaryFile(int fd, std::string_view text, const struct stat& old) {
  if (platform::WriteAll(fd, text) != 0) return false;
  KeepOwner(fd, old);
  return fchmod(fd, old.st_mode & 07777) == 0 && fsync(fd) == 0;
}

}  // namespace

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
  // A linked script is rewritten where it lives; a rename over the link would replace the link.
  std::error_code error;
  const fs::path script = fs::canonical(native, error);
  if (error) return false;
  struct stat old;
  if (stat(script.c_str(), &old) != 0) return false;

  // The mode is set on the new file, so a read-only script never has to be made writable.
  std::string temporary =
      (script.parent_path() / ("." + script.filename().string() + ".XXXXXX")).string();
  int fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return false;
  bool filled = FillTemporaryFile(fd, text, old);
  if (close(fd) == 0 && filled && rename(temporary.c_str(), script.c_str()) == 0) return true;
  unlink(temporary.c_str());
  return false;
}

}  // namespace tarvex::scriptfix
