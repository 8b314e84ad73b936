// Replacing a file whole: the new content goes to a temporary file beside the target, which is
// renamed over the target only when it is complete, so a failed or killed run leaves the previous
// file as it was.
#pragma once

#include <sys/types.h>

#include <chrono>
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

// An exclusive lock that programs editing one file take in turn, from before they read the file
// until after they have replaced it, so that each reads what the one before it left. It is a
// flock(2) lock on the file itself and survives the rename: one who waited on a file that was
// replaced meanwhile takes the lock again on the file that now stands there.
class ReplacementLock {
 public:
  // Locks the file at native_path, waiting up to wait while another holds it. Locks nothing when
  // no regular file can be opened there (the caller's own open then says why). Throws
  // SystemError when the wait runs out or the file system cannot lock.
  ReplacementLock(const std::string& native_path, std::chrono::seconds wait);
  ~ReplacementLock();
  ReplacementLock(const ReplacementLock&) = delete;
  ReplacementLock& operator=(const ReplacementLock&) = delete;

 private:
  int fd_ = -1;
};

}  // namespace tarvex::platform
