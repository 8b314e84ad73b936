#include "platform/file_replacement.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <thread>
#include <vector>

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

// Whether the kernel's rule for links in sticky folders that anyone may write (protected_symlinks)
// lets this process follow the link: only its owner, or the folder's owner, may have planted it.
bool MayFollow(const struct stat& link, const std::string& folder) {
  struct stat info;
  if (stat(folder.empty() ? "/" : folder.c_str(), &info) != 0) return true;
  const bool shared = (info.st_mode & S_ISVTX) && (info.st_mode & S_IWOTH);
  return !shared || link.st_uid == info.st_uid || link.st_uid == geteuid();
}

// The path with every link resolved, as the kernel resolves it when it opens the path: folder by
// folder, a link's text taking the place of its name. The rename that replaces the file is done
// by hand on the result, where the kernel would never look at the links, so its rule for links in
// sticky folders is applied here. A name that does not exist ends the resolution: the rest stays
// as written.
fs::path FollowLinks(const std::string& native_path) {
  constexpr int kMostLinks = 40;  // the kernel's bound
  std::error_code error;
  const fs::path absolute = fs::absolute(native_path, error);
  if (error) return native_path;
  std::vector<std::string> pending;  // the names still to walk, the next one last
  for (const fs::path& part : absolute.relative_path()) pending.insert(pending.begin(), part);
  std::string resolved;  // "" is the root
  int links = 0;
  while (!pending.empty()) {
    const std::string name = std::move(pending.back());
    pending.pop_back();
    if (name.empty() || name == ".") continue;
    if (name == "..") {
      resolved.erase(std::min(resolved.size(), resolved.rfind('/')));
      continue;
    }
    const std::string next = resolved + "/" + name;
    struct stat link;
    if (lstat(next.c_str(), &link) != 0) {
      fs::path rest = next;
      while (!pending.empty()) {
        rest /= pending.back();
        pending.pop_back();
      }
      return rest.lexically_normal();
    }
    if (!S_ISLNK(link.st_mode)) {
      resolved = next;
      continue;
    }
    if (++links > kMostLinks) ThrowSystemError(ELOOP);
    if (!MayFollow(link, resolved)) ThrowSystemError(EACCES);
    std::string text(static_cast<size_t>(link.st_size > 0 ? link.st_size : 255) + 1, '\0');
    const ssize_t length = readlink(next.c_str(), text.data(), text.size());
    if (length < 0) ThrowSystemError(errno);
    text.resize(static_cast<size_t>(length));
    const fs::path target = text;
    if (target.is_absolute()) resolved.clear();
    std::vector<std::string> parts;
    for (const fs::path& part : target.relative_path()) parts.push_back(part);
    pending.insert(pending.end(), parts.rbegin(), parts.rend());
  }
  return resolved.empty() ? fs::path("/") : fs::path(resolved);
}

}  // namespace

FileReplacement::FileReplacement(const std::string& native_target, ReadOnlyTarget read_only) {
  if (native_target.empty()) ThrowSystemError(ENOENT);  // the path names no file at all
  // A link is replaced where it points; a rename over the link would replace the link itself.
  const fs::path target = FollowLinks(native_target);
  target_ = target.string();

  struct stat old;
  if (stat(target_.c_str(), &old) == 0) {
    // A rename would put a file where a device, a pipe or a folder was.
    if (S_ISDIR(old.st_mode)) ThrowSystemError(EISDIR);
    if (!S_ISREG(old.st_mode)) throw SystemError("The target is not a file, so it is not replaced");
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
  // The temporary name is the target's with "." before and a random ending after, cut so that a
  // target name of the longest length still leaves room for them.
  constexpr size_t kLongestName = 255, kAdded = 8;
  const std::string name = target.filename().string();
  temporary_ = (folder / ("." + name.substr(0, kLongestName - kAdded) + ".XXXXXX")).string();
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
