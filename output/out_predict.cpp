#include "output/out_predict.h"

#include <exception>
#include <optional>
#include <string>

#include "driver/run_log.h"
#include "output/text_writer.h"
#include "platform/failure.h"
#include "platform/text.h"

namespace tarvex {

namespace {

enum class Target { kText, kWorkbook, kDatabase };

struct OutputKind {
  Target target;
  char delimiter;
};

// The extension is the text after the last "." of pof, trimmed and lower-cased; without a "."
// the target is comma-separated text under that exact name.
OutputKind KindOfTarget(const std::string& pof) {
  std::optional<std::string> extension = platform::LowerCaseExtension(pof);
  if (!extension) return {Target::kText, ','};
  const std::string& lowered = *extension;
  if (lowered == "txt" || lowered == "asc") return {Target::kText, '\t'};
  if (lowered == "csv") return {Target::kText, ','};
  if (lowered == "xls" || lowered == "xlsm") return {Target::kWorkbook, 0};
  if (lowered == "mdb") return {Target::kDatabase, 0};
  return {Target::kText, ','};
}

}  // namespace

bool OutPredictToFile(const JobSettings& job) {
  if (job.pof.empty()) return false;
  int statement = kReadOutputBounds;
  try {
    const DataMatrix& outputs = job.PredictionOutputs;
    const Index rows = outputs.RowCount();
    const Index columns = outputs.ColumnCount();
    statement = kChooseTarget;
    const OutputKind kind = KindOfTarget(job.pof);
    switch (kind.target) {
      case Target::kText:
        WriteTextOutput(job, kind.delimiter, statement);
        break;
      case Target::kWorkbook:
        statement = kWriteWorkbook;
        throw Failure("Writing workbook files is not available yet.");
      case Target::kDatabase:
        statement = kWriteDatabase;
        throw Failure("Writing database files is not available yet.");
    }
    std::string block = "Prediction results:\r\n";
    block += "       Prediction Outputs: Array(" + std::to_string(rows) + "," +
             std::to_string(columns) + ")\r\n";
    block += "       Prediction Outputs file: " + job.pof + "\r\n";
    WriteLog(job.log, block);
    return true;
  } catch (const std::exception& failure) {
    WriteLog(job.log, "OutPredictToFile.  Error: " + DescribeFailure(failure) +
                          "  in Tarvexapp.mTarvex.OutPredictToFile " + "at line " +
                          std::to_string(statement));
    return false;
  }
}

}  // namespace tarvex
