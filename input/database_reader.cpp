#include "input/database_reader.h"

#include "driver/run_log.h"

namespace tarvex {

bool ReadDatabaseQuery(const JobSettings& job, const std::string&, DataMatrix&,
                       const std::string& path) {
  WriteLog(job.log, "File name: " + path + "  Reading database files is not available yet.");
  return false;
}

}  // namespace tarvex
