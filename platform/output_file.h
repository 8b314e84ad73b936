// The target of an output that a run writes whole (predictions, network, curve, summary, report):
// an ordinary file is replaced through a temporary file, a terminal or another character device
// (/dev/null) is written directly, and anything else (a folder, a named pipe, a socket) cannot
// take an output, so that no run ever renames a file over a device or blocks on a pipe.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/file_replacement.h"

namespace tarvex::platform {

// Throws SystemError when the path names something that cannot take an output: a folder ("Is a
// directory") or what is neither a file nor a character device. A missing path can.
void CheckOutputTarget(const std::string& native_path);

class OutputFile {
 public:
  // Opens the device, or prepares the replacement of the file; throws SystemError as
  // CheckOutputTarget does, or when neither can be done.
  explicit OutputFile(const std::string& native_path);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Throws SystemError when the write fails.
  void Write(std::string_view text);
  // Puts the file in place (or closes the device); throws SystemError when that fails.
  void Close();

 private:
  std::optional<FileReplacement> replacement_;
  int device_ = -1;
};

}  // namespace tarvex::platform
