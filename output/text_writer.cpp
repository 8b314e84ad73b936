#include "output/text_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>

#include "job/create_folder_path.h"
#include "output/statement.h"
#include "platform/files.h"
#include "platform/number_text.h"
#include "platform/paths.h"

namespace tarvex::output {

using job::DataMatrix;
using job::Index;
using job::JobSettings;

namespace {

// An open output file; closed on every path, and a failed close is reported on the normal one.
class OutputFile {
 public:
  explicit OutputFile(const std::string& native_path)
      : fd_(open(native_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)) {
    if (fd_ < 0) throw platform::SystemError(platform::SystemErrorText(errno));
  }
  ~OutputFile() {
    if (fd_ >= 0) close(fd_);
  }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  void Write(std::string_view text) {
    if (int error = platform::WriteAll(fd_, text)) {
      throw platform::SystemError(platform::SystemErrorText(error));
    }
  }

  void Close() {
    int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0) throw platform::SystemError(platform::SystemErrorText(errno));
  }

 private:
  int fd_;
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
