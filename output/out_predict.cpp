#include "output/out_predict.h"

#include <exception>
#include <optional>
#include <string>

#include "job/file_kind.h"
#include "job/run_log.h"
#include "output/database_writer.h"
#include "output/statement.h"
#include "output/text_writer.h"
#include "output/workbook_writer.h"
#include "platform/paths.h"

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

// An output must not destroy the job's own files: its log, its parameter file, the program and,
// for a text target that is replaced whole, its input files. Files are compared, not names.
// Workbooks and databases are edited in place, so they may well be the job's input too.
void RefuseOwnFiles(const JobSettings& job, job::FileKind kind) {
  const std::optional<platform::FileIdentity> target =
      platform::IdentityOf(platform::ToNativePath(job.pof));
  if (!target) return;
  struct OwnFile {
    const std::string& path;
    const char* what;
    bool input;
  };
  const OwnFile own_files[] = {
      {job.tif, "the training inputs", true},   {job.tof, "the training outputs", true},
      {job.pif, "the prediction inputs", true}, {job.log, "the run log", false},
      {job.ini, "the parameter file", false},
  };
  for (const OwnFile& own : own_files) {
    if (own.path.empty() || (own.input && kind != job::FileKind::kText)) continue;
    if (platform::IdentityOf(platform::ToNativePath(own.path)) == target) {
      throw job::Failure("The output file " + job.pof + " is " + own.what + " (" + own.path +
                         "); nothing was written");
    }
  }
  for (const platform::FileIdentity& program : platform::ProgramFileIdentities()) {
    if (program == *target) {
      throw job::Failure("The output file " + job.pof +
                         " is a file of the program itself; nothing was written");
    }
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
    switch (format.kind) {
      case job::FileKind::kText:
        WriteTextOutput(job, format.delimiter);
        break;
      case job::FileKind::kWorkbook:
        WriteWorkbookOutput(job);
        break;
      case job::FileKind::kDatabase:
        WriteDatabaseOutput(job);
        break;
    }
    std::string block = "Prediction results:\r\n";
    block += "       Prediction Outputs: Array(" + std::to_string(rows) + "," +
             std::to_string(columns) + ")\r\n";
    block += "       Prediction Outputs file: " + job.pof + "\r\n";
    WriteLog(job.log, block);
    return true;
  } catch (const StatementFailure& failure) {
    WriteLog(job.log, "OutPredictToFile.  Error: " + job::DescribeFailure(failure) +
                          "  in Tarvexapp.mTarvex.OutPredictToFile " + "at line " +
                          std::to_string(failure.statement()));
    return false;
  }
}

}  // namespace tarvex::output
