#include "platform/file_replacement.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <thread>

#include "platform/files.h"

namespace tarvex::platform {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void ThrowSystemError(int error) { throw SystemError(SystemErrorText(error)); }

// The permissions a newly created file gets: 0666 less the umask (read without changing it).
mode_t NewFileMode() {
  mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

}  // namespace

FileReplacement::FileReplacement(const std::string& native_target, ReadOnlyTarget read_only) {
  if (native_target.empty()) ThrowSystemError(ENOENT);  // the path names no file at all
  // A link is replaced where it points; a rename over the link would replace the link itself.
  std::error_code error;
  fs::path target = fs::weakly_canonical(fs::absolute(native_target, error), error);
  if (error || target.empty()) target = native_target;
  target_ = target.string();

  struct stat old;
  if (stat(target_.c_str(), &old) == 0) {
    existed_ = true;
    mode_ = old.st_mode & 07777;
    owner_ = old.st_uid;
    group_ = old.st_gid;
    // The rename needs only the folder's permission; the file's own must not be passed over.
    if (read_only == ReadOnlyTarget::kRefused &&
        faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0) {
      ThrowSystemError(errno);
    }
  } else {
    mode_ = NewFileMode();
  }
  fs::path folder = target.parent_path();
  temporary_ = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
  fd_ = mkostemp(temporary_.data(), O_CLOEXEC);
  if (fd_ < 0) {
    int failure = errno;
    temporary_.clear();
    ThrowSystemError(failure);
  }
}

FileReplacement::~FileReplacement() {
  if (fd_ >= 0) close(fd_);
  if (!committed_ && !temporary_.empty()) unlink(temporary_.c_str());
}

void FileReplacement::Write(std::string_view text) {
  if (int error = WriteAll(fd_, text)) ThrowSystemError(error);
}

void FileReplacement::Commit() {
  if (existed_ && fchown(fd_, owner_, group_) != 0) {
    // Where the owner cannot be kept, the group may still be; otherwise the file is ours, as any
    // file an editor saves would be, which is no failure.
    [[maybe_unused]] int group_kept = fchown(fd_, static_cast<uid_t>(-1), group_);
  }
  // The mode comes after the owner, since a change of owner clears the set-ID bits.
  if (fchmod(fd_, mode_) != 0 || fsync(fd_) != 0) ThrowSystemError(errno);
  int fd = fd_;
  fd_ = -1;
  if (close(fd) != 0) ThrowSystemError(errno);
  if (rename(temporary_.c_str(), target_.c_str()) != 0) ThrowSystemError(errno);
  committed_ = true;
}

ReplacementLock::ReplacementLock(const std::string& native_path, std::chrono::seconds wait) {
  const auto deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    const int fd = open(native_path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return;
    struct stat locked;
    if (fstat(fd, &locked) != 0 || !S_ISREG(locked.st_mode)) {
      close(fd);
      return;
    }
    // Polled rather than blocking, so that the wait has an end.
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int error = errno;
      if (error != EWOULDBLOCK && error != EINTR) {
        close(fd);
        throw SystemError("The file cannot be locked against other runs: " +
                          SystemErrorText(error));
      }
      if (std::chrono::steady_clock::now() >= deadline) {
        close(fd);
        throw SystemError("Another run is writing into the file: it stayed locked for " +
                          std::to_string(wait.count()) + " seconds");
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    struct stat named;
    if (stat(native_path.c_str(), &named) == 0 && named.st_dev == locked.st_dev &&
        named.st_ino == locked.st_ino) {
      fd_ = fd;
      return;
    }
    close(fd);  // replaced while this run waited: the new file is the one to lock
  }
}

ReplacementLock::~ReplacementLock() {
  if (fd_ >= 0) close(fd_);
}

}  // namespace tarvex::platform
