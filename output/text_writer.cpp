#include "output/text_writer.h"

#include <optional>
#include <string>

#include "job/class_list.h"
#include "job/create_folder_path.h"
#include "output/class_rows.h"
#include "output/statement.h"
#include "platform/number_text.h"
#include "platform/output_file.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace tarvex::output {

using job::DataMatrix;
using job::Index;
using job::JobSettings;

void WriteTextOutput(const JobSettings& job, char delimiter) {
  std::optional<platform::OutputFile> file;
  AtStatement(kCreateTextFile, [&] {
    job::CreateFolderPath(job.pof);
    file.emplace(platform::ToNativePath(job.pof));
  });
  const DataMatrix& outputs = job.PredictionOutputs;
  const bool labels = job::IsClassification(job);
  const bool probabilities = labels && job::WritesProbabilities(job);
  std::string lines;
  AtStatement(kWriteTextLine, [&] {
    for (Index row = outputs.RowLow(); row <= outputs.RowHigh(); ++row) {
      std::span<const double> values = outputs.Row(row);
      if (labels) lines += platform::DelimitedField(PredictedLabel(job, row), delimiter);
      if (!labels || probabilities) {
        for (size_t column = 0; column < values.size(); ++column) {
          if (column > 0 || labels) lines += delimiter;
          lines += platform::FormatGeneralNumber(values[column], job.DecimalSeparator);
        }
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
