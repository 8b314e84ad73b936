// Office Open XML workbooks (.xlsx, .xlsm): a zip package of XML parts.
#pragma once

#include <memory>
#include <string>

#include "workbook/format/workbook_file.h"

namespace tarvex::workbook::openxml {

// Throws WorkbookError when the package cannot be read as a workbook.
std::unique_ptr<WorkbookFile> OpenWorkbook(const std::string& native_path);

}  // namespace tarvex::workbook::openxml
