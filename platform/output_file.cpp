#include "platform/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/files.h"

namespace tarvex::platform {

namespace {

[[noreturn]] void ThrowSystemError(int error) { throw SystemError(SystemErrorText(error)); }

// What stands at the path, links followed; none when nothing does.
std::optional<mode_t> KindAt(const std::string& native_path) {
  struct stat info;
  if (native_path.empty() || stat(native_path.c_str(), &info) != 0) return std::nullopt;
  return info.st_mode & S_IFMT;
}

}  // namespace

void CheckOutputTarget(const std::string& native_path) {
  const std::optional<mode_t> kind = KindAt(native_path);
  if (!kind || *kind == S_IFREG || *kind == S_IFCHR) return;
  if (*kind == S_IFDIR) ThrowSystemError(EISDIR);
  throw SystemError("The output is not a file: only a file, a terminal or a device can take it");
}

OutputFile::OutputFile(const std::string& native_path) {
  CheckOutputTarget(native_path);
  if (KindAt(native_path) == S_IFCHR) {
    device_ = open(native_path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (device_ < 0) ThrowSystemError(errno);
    return;
  }
  replacement_.emplace(native_path);
}

OutputFile::~OutputFile() {
  if (device_ >= 0) close(device_);
}

void OutputFile::Write(std::string_view text) {
  if (replacement_) {
    replacement_->Write(text);
  } else if (int error = WriteAll(device_, text)) {
    ThrowSystemError(error);
  }
}

void OutputFile::Close() {
  if (replacement_) {
    replacement_->Commit();
    return;
  }
  const int fd = device_;
  device_ = -1;
  if (close(fd) != 0) ThrowSystemError(errno);
}

}  // namespace tarvex::platform
