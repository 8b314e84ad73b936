#include "platform/files.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tarvex::platform {

std::string SystemErrorText(int error_number) {
  char buffer[256];
  // The GNU strerror_r returns the text, which may or may not live in the buffer.
  const char* text = strerror_r(error_number, buffer, sizeof buffer);
  return text != nullptr && *text != '\0' ? text : "Unknown error " + std::to_string(error_number);
}

std::string ReadWholeFile(const std::string& native_path) {
  int fd = open(native_path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw SystemError(SystemErrorText(errno));
  struct stat info;
  std::string text;
  if (fstat(fd, &info) == 0 && info.st_size > 0) text.reserve(info.st_size);
  char buffer[1 << 16];
  for (;;) {
    // Read straight into the string once its room is reserved; small reads go via the buffer.
    size_t room = text.capacity() - text.size();
    ssize_t n;
    if (room >= sizeof buffer) {
      size_t old_size = text.size();
      text.resize(text.capacity());
      n = read(fd, text.data() + old_size, room);
      text.resize(old_size + (n > 0 ? n : 0));
    } else {
      n = read(fd, buffer, sizeof buffer);
      if (n > 0) text.append(buffer, n);
    }
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      int error = errno;
      close(fd);
      throw SystemError(SystemErrorText(error));
    }
  }
  close(fd);
  return text;
}

FileText::FileText(const std::string& native_path) {
  int fd = open(native_path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw SystemError(SystemErrorText(errno));
  struct stat info;
  if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
    // Populated at once: the pages come straight from the page cache, without a copy.
    void* mapping = mmap(nullptr, info.st_size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    if (mapping != MAP_FAILED) {
      close(fd);
      mapping_ = mapping;
      mapped_size_ = static_cast<size_t>(info.st_size);
      view_ = std::string_view(static_cast<const char*>(mapping), mapped_size_);
      return;
    }
  }
  close(fd);
  copy_ = ReadWholeFile(native_path);
  view_ = copy_;
}

FileText::~FileText() {
  if (mapping_ != nullptr) munmap(mapping_, mapped_size_);
}

int WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    ssize_t written = write(fd, text.data(), text.size());
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return errno;
    if (written == 0) return EIO;
    text.remove_prefix(static_cast<size_t>(written));
  }
  return 0;
}

}  // namespace tarvex::platform
