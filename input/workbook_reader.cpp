#include "input/workbook_reader.h"

#include "job/messages.h"
#include "job/run_log.h"

namespace tarvex::input {

using job::DataMatrix;
using job::JobSettings;
using job::WriteLog;

bool ReadWorkbookRange(const JobSettings& job, const std::string&, DataMatrix&,
                       const std::string& path) {
  WriteLog(job.log, job::FileNameLine(path, "Reading workbook files is not available yet."));
  return false;
}

}  // namespace tarvex::input
