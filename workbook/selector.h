// The range that a job's selector names in a workbook, as the workbook reader and writer both
// look it up.
#pragma once

#include <string_view>

#include "workbook/application.h"

namespace tarvex::workbook {

// A sheet name, "!" and an address; without a sheet name before a "!", the whole text as a
// defined name or an address on the active sheet. Throws WorkbookError as the lookups do.
workbook::Range SelectRange(const Workbook& book, std::string_view selector);

}  // namespace tarvex::workbook
