// The choice of a workbook file's format by its content, which the object model makes before it
// reads a sheet: the one place that knows both formats.
#pragma once

#include <memory>
#include <string>

#include "workbook/format/workbook_file.h"

namespace tarvex::workbook {

// Opens the workbook at native_path, its format chosen by the file's content (a zip package or a
// compound document), not by its name. Returns nullptr when no file exists there; throws
// WorkbookError when the file exists but is not a readable workbook.
std::unique_ptr<WorkbookFile> OpenWorkbookFile(const std::string& native_path);

}  // namespace tarvex::workbook
