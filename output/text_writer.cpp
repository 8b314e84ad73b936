#include "output/text_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>

#include "job/create_folder_path.h"
#include "output/statement.h"
#include "platform/file_replacement.h"
#include "platform/files.h"
#include "platform/number_text.h"
#include "platform/paths.h"

namespace tarvex::output {

using job::DataMatrix;
using job::Index;
using job::JobSettings;

namespace {

[[noreturn]] void ThrowSystemError(int error) {
  throw platform::SystemError(platform::SystemErrorText(error));
}

// The output file. A file is replaced whole (a failed or killed run leaves the previous one as
// it was); a terminal or another character device (/dev/null) is written directly; anything
// else (a folder, a named pipe, a socket) cannot take the output.
class OutputFile {
 public:
  explicit OutputFile(const std::string& native_path) {
    struct stat info;
    if (!native_path.empty() && stat(native_path.c_str(), &info) == 0) {
      if (S_ISDIR(info.st_mode)) ThrowSystemError(EISDIR);
      if (S_ISCHR(info.st_mode)) {
        device_ = open(native_path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (device_ < 0) ThrowSystemError(errno);
        return;
      }
      if (!S_ISREG(info.st_mode)) {
        throw platform::SystemError(
            "The output is not a file: only a file, a terminal or a device can take it");
      }
    }
    replacement_.emplace(native_path);
  }
  ~OutputFile() {
    if (device_ >= 0) close(device_);
  }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  void Write(std::string_view text) {
    if (replacement_) {
      replacement_->Write(text);
    } else if (int error = platform::WriteAll(device_, text)) {
      ThrowSystemError(error);
    }
  }

  void Close() {
    if (replacement_) {
      replacement_->Commit();
      return;
    }
    int fd = device_;
    device_ = -1;
    if (close(fd) != 0) ThrowSystemError(errno);
  }

 private:
  std::optional<platform::FileReplacement> replacement_;
  int device_ = -1;
};

}  // namespace

void WriteTextOutput(const JobSettings& job, char delimiter) {
  std::optional<OutputFile> file;
  AtStatement(kCreateTextFile, [&] {
    job::CreateFolderPath(job.pof);
    file.emplace(platform::ToNativePath(job.pof));
  });
  const DataMatrix& outputs = job.PredictionOutputs;
  std::string lines;
  AtStatement(kWriteTextLine, [&] {
    for (Index row = outputs.RowLow(); row <= outputs.RowHigh(); ++row) {
      std::span<const double> values = outputs.Row(row);
      for (size_t column = 0; column < values.size(); ++column) {
        if (column > 0) lines += delimiter;
        lines += platform::FormatGeneralNumber(values[column], job.DecimalSeparator);
      }
      lines += "\r\n";
      if (lines.size() >= (1 << 16)) {
        file->Write(lines);
        lines.clear();
      }
    }
    file->Write(lines);
  });
  AtStatement(kCloseTextFile, [&] { file->Close(); });
}

}  // namespace tarvex::output
