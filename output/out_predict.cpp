#include "output/out_predict.h"

#include <exception>
#include <string>

#include "driver/run_log.h"
#include "output/text_writer.h"
#include "platform/failure.h"
#include "platform/locale_text.h"

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
  size_t dot = pof.rfind('.');
  if (dot == std::string::npos) return {Target::kText, ','};
  std::string_view extension = std::string_view(pof).substr(dot + 1);
  size_t first = extension.find_first_not_of(' ');
  extension = first == std::string_view::npos
                  ? std::string_view()
                  : extension.substr(first, extension.find_last_not_of(' ') - first + 1);
  std::string lowered = platform::LowerCaseText(extension);
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
