#include "platform/paths.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/failure.h"

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

std::string SystemErrorText(int error_number) {
  char buffer[256];
  // The GNU strerror_r returns the text, which may or may not live in the buffer.
  const char* text = strerror_r(error_number, buffer, sizeof buffer);
  return text != nullptr && *text != '\0' ? text : "Unknown error " + std::to_string(error_number);
}

std::string ReadWholeFile(const std::string& native_path) {
  int fd = open(native_path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw Failure(SystemErrorText(errno));
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
      throw Failure(SystemErrorText(error));
    }
  }
  close(fd);
  return text;
}

FileText::FileText(const std::string& native_path) {
  int fd = open(native_path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw Failure(SystemErrorText(errno));
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

}  // namespace tarvex::platform
