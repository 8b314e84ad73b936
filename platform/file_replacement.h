// Replacing a file whole: the new content goes to a temporary file beside the target, which is
// renamed over the target only when it is complete, so a failed or killed run leaves the previous
// file as it was.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

namespace tarvex::platform {

// Whether an existing file may be replaced by one who may not write it.
enum class ReadOnlyTarget {
  kRefused,   // as opening it for writing would be: the rule for every output
  kReplaced,  // a read-only file is rewritten and stays read-only
};

class FileReplacement {
 public:
  // Prepares the replacement of the file at native_target (which need not exist yet). A symbolic
  // link is followed: the file it points to is replaced and the link stays a link. Throws
  // SystemError when the temporary file cannot be created, or ("Permission denied") when the
  // existing file may not be written and read_only says it is refused.
  explicit FileReplacement(const std::string& native_target,
                           ReadOnlyTarget read_only = ReadOnlyTarget::kRefused);
  // Removes the temporary file unless the replacement was committed.
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  // The temporary file, open for writing; for libraries that write a file by name, its path.
  int fd() const { return fd_; }
  const std::string& temporary_path() const { return temporary_; }
  // The file that will be replaced (the link's target for a link).
  const std::string& target_path() const { return target_; }

  // Appends text to the temporary file; throws SystemError when the write fails.
  void Write(std::string_view text);

  // Gives the temporary file the target's permissions (and owner where allowed; a new file gets
  // the permissions that the umask leaves), flushes it to disk and renames it over the target.
  // Throws SystemError and removes the temporary file when any step fails.
  void Commit();

 private:
  std::string target_;
  std::string temporary_;
  int fd_ = -1;
  bool existed_ = false;
  mode_t mode_ = 0;
  uid_t owner_ = 0;
  gid_t group_ = 0;
  bool committed_ = false;
};

}  // namespace tarvex::platform
