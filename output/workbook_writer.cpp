#include "output/workbook_writer.h"

#include "output/statement.h"

namespace tarvex::output {

void WriteWorkbookOutput(const job::JobSettings&) {
  throw StatementFailure(kWriteWorkbook, "Writing workbook files is not available yet.");
}

}  // namespace tarvex::output
