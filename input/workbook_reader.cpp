#include "input/workbook_reader.h"

#include "driver/run_log.h"

namespace tarvex {

bool ReadWorkbookRange(const JobSettings& job, const std::string&, DataMatrix&,
                       const std::string& path) {
  WriteLog(job.log, "File name: " + path + "  Reading workbook files is not available yet.");
  return false;
}

}  // namespace tarvex
