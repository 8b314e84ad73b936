#include "workbook/biff_workbook.h"

namespace tarvex::workbook {

std::unique_ptr<WorkbookFile> OpenBiffWorkbook(const std::string&) {
  throw WorkbookError("Legacy .xls workbooks cannot be read yet");
}

}  // namespace tarvex::workbook
