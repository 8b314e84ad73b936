// Whole-file reads and writes, byte for byte, with the system's description of what failed.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tarvex::platform {

// A failed system call; what() is the system's description ("Permission denied").
class SystemError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads the whole file; throws SystemError with the system's description when it cannot.
std::string ReadWholeFile(const std::string& native_path);

// A whole file's bytes, read at once. Throws SystemError with the system's description when the
// file cannot be opened or read, or when it changed while it was read (a file that another
// program is writing or truncating).
class FileText {
 public:
  explicit FileText(const std::string& native_path);
  FileText(const FileText&) = delete;
  FileText& operator=(const FileText&) = delete;

  std::string_view view() const { return view_; }

 private:
  std::unique_ptr<char[]> buffer_;
  std::string text_;
  std::string_view view_;
};

// The system's description of an error number ("Permission denied").
std::string SystemErrorText(int error_number);

// Writes all of text to fd, going on after short writes and interruptions. Returns 0, or the
// error number of the write that failed.
int WriteAll(int fd, std::string_view text);

}  // namespace tarvex::platform
