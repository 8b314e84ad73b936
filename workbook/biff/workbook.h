// Legacy binary workbooks (.xls): BIFF8 records in the Workbook stream of a compound document.
#pragma once

#include <memory>
#include <string>

#include "workbook/format/workbook_file.h"

namespace tarvex::workbook::biff {

// Throws WorkbookError when the document cannot be read as a BIFF8 workbook.
std::unique_ptr<WorkbookFile> OpenWorkbook(const std::string& native_path);

}  // namespace tarvex::workbook::biff
