#include "output/text_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "output/create_folder_path.h"
#include "platform/failure.h"
#include "platform/number_text.h"
#include "platform/paths.h"

namespace tarvex {

namespace {

// An open output file; closed on every path, and a failed close is reported on the normal one.
class OutputFile {
 public:
  explicit OutputFile(const std::string& native_path)
      : fd_(open(native_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)) {
    if (fd_ < 0) throw Failure(platform::SystemErrorText(errno));
  }
  ~OutputFile() {
    if (fd_ >= 0) close(fd_);
  }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  void Write(std::string_view text) {
    while (!text.empty()) {
      ssize_t written = write(fd_, text.data(), text.size());
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) throw Failure(platform::SystemErrorText(written < 0 ? errno : EIO));
      text.remove_prefix(static_cast<size_t>(written));
    }
  }

  void Close() {
    int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0) throw Failure(platform::SystemErrorText(errno));
  }

 private:
  int fd_;
};

}  // namespace

void WriteTextOutput(const JobSettings& job, char delimiter, int& statement) {
  statement = kCreateTextFile;
  CreateFolderPath(job.pof);
  OutputFile file(platform::ToNativePath(job.pof));
  const DataMatrix& outputs = job.PredictionOutputs;
  std::string lines;
  for (Index row = outputs.RowLow(); row <= outputs.RowHigh(); ++row) {
    statement = kWriteTextLine;
    std::span<const double> values = outputs.Row(row);
    for (size_t column = 0; column < values.size(); ++column) {
      if (column > 0) lines += delimiter;
      lines += platform::FormatGeneralNumber(values[column], job.DecimalSeparator);
    }
    lines += "\r\n";
    if (lines.size() >= (1 << 16)) {
      file.Write(lines);
      lines.clear();
    }
  }
  file.Write(lines);
  statement = kCloseTextFile;
  file.Close();
}

}  // namespace tarvex
