#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "platform/large_memory.h"

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
  // Read, not mapped: a mapped file that another program truncates kills the reader with SIGBUS.
  int fd = open(native_path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw SystemError(SystemErrorText(errno));
  std::unique_ptr<int, void (*)(int*)> closer(&fd, [](int* open_fd) { close(*open_fd); });
  struct stat before;
  if (fstat(fd, &before) != 0) throw SystemError(SystemErrorText(errno));
  if (!S_ISREG(before.st_mode)) {
    text_ = ReadWholeFile(native_path);
    view_ = text_;
    return;
  }
  const size_t size = static_cast<size_t>(before.st_size);
  buffer_.reset(new char[size + 1]);
  AdviseHugePages(buffer_.get(), size + 1);
  // One byte more than the file holds, so that a file that grew meanwhile is noticed.
  size_t done = 0;
  while (done < size + 1) {
    ssize_t n = read(fd, buffer_.get() + done, size + 1 - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw SystemError(SystemErrorText(errno));
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  struct stat after;
  if (fstat(fd, &after) != 0) throw SystemError(SystemErrorText(errno));
  if (done != size || after.st_size != before.st_size ||
      after.st_mtim.tv_sec != before.st_mtim.tv_sec ||
      after.st_mtim.tv_nsec != before.st_mtim.tv_nsec) {
    throw SystemError("The file changed while it was read");
  }
  view_ = std::string_view(buffer_.get(), size);
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
