#include "workbook/openxml_workbook.h"

namespace tarvex::workbook {

std::unique_ptr<WorkbookFile> OpenOpenXmlWorkbook(const std::string&) {
  throw WorkbookError("Office Open XML workbooks cannot be read yet");
}

}  // namespace tarvex::workbook
