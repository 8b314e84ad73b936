#include "output/out_predict.h"

#include <exception>
#include <optional>
#include <string>

#include "job/data_set.h"
#include "job/file_kind.h"
#include "job/own_files.h"
#include "job/progress.h"
#include "job/run_log.h"
#include "output/database_writer.h"
#include "output/statement.h"
#include "output/text_writer.h"
#include "output/workbook_writer.h"

namespace tarvex::output {

using job::Index;
using job::JobSettings;
using job::WriteLog;

namespace {

enum DispatchStatement : int {
  kReadOutputBounds = 10,
  kChooseTarget = 20,
  kCheckTarget = 30,
};

// An output must not destroy the job's own files. Workbooks and databases are edited in place,
// so they may well be the job's input too.
void RefuseOwnFiles(const JobSettings& job, job::FileKind kind) {
  if (std::optional<std::string> own = job::OwnFileAt(job, job.pof, kind == job::FileKind::kText)) {
    throw job::Failure("The output file " + job.pof + " is " + *own + "; nothing was written");
  }
}

}  // namespace

bool OutPredictToFile(const JobSettings& job) {
  if (job.pof.empty()) return false;
  try {
    Index rows = 0, columns = 0;
    AtStatement(kReadOutputBounds, [&] {
      rows = job.PredictionOutputs.RowCount();
      columns = job.PredictionOutputs.ColumnCount();
    });
    // Without a "." the target is comma-separated text under that exact name.
    const job::FileFormat format = AtStatement(kChooseTarget, [&] {
      return job::FormatOfPath(job.pof).value_or(job::FileFormat{job::FileKind::kText, ','});
    });
    AtStatement(kCheckTarget, [&] { RefuseOwnFiles(job, format.kind); });
    // Where in the target the rows went, for the results block; the workbook branch may also
    // end without one.
    std::string detail_line;
    job::ShowWriting(job.pof);
    switch (format.kind) {
      case job::FileKind::kText:
        WriteTextOutput(job, format.delimiter);
        break;
      case job::FileKind::kWorkbook:
        if (WriteWorkbookOutput(job) != WorkbookOutcome::kWritten) return false;
        if (!job.pos.empty()) detail_line = "       Output Address: " + job.pos + "\r\n";
        break;
      case job::FileKind::kDatabase:
        detail_line = "       Query: " + WriteDatabaseOutput(job) + "\r\n";
        break;
    }
    std::string block = "Prediction results:\r\n";
    block += "       Prediction Outputs: " + job::ArrayText(rows, columns) + "\r\n";
    block += detail_line;
    block += "       Prediction Outputs file: " + job.pof + "\r\n";
    WriteLog(job.log, block, job::LogEntry::kReport);
    return true;
  } catch (const StatementFailure& failure) {
    WriteLog(job.log, "OutPredictToFile.  Error: " + job::DescribeFailure(failure) +
                          "  in Tarvexapp.mTarvex.OutPredictToFile " + "at line " +
                          std::to_string(failure.statement()));
    return false;
  }
}

}  // namespace tarvex::output
