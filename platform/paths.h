// Paths and files: where a path setting meets the file system.
#pragma once

#include <string>
#include <string_view>

namespace tarvex::platform {

// Every "\" becomes "/": settings keep their text, the file system gets the native form.
std::string ToNativePath(std::string_view path);

// The folder of the running executable, without a trailing separator.
const std::string& ProgramFolder();

// An existing ordinary file (a folder or a device does not count). Takes a native path.
bool IsExistingFile(const std::string& native_path);
bool FolderExists(const std::string& native_path);
bool CreateFolder(const std::string& native_path);

// Reads the whole file; throws Failure with the system's description when it cannot.
std::string ReadWholeFile(const std::string& native_path);

// A whole file's bytes, mapped into memory where the system allows it (no copy), else read.
// Throws Failure with the system's description when the file cannot be opened or read.
class FileText {
 public:
  explicit FileText(const std::string& native_path);
  ~FileText();
  FileText(const FileText&) = delete;
  FileText& operator=(const FileText&) = delete;

  std::string_view view() const { return view_; }

 private:
  void* mapping_ = nullptr;
  size_t mapped_size_ = 0;
  std::string copy_;
  std::string_view view_;
};

// The system's description of an error number ("Permission denied").
std::string SystemErrorText(int error_number);

}  // namespace tarvex::platform
