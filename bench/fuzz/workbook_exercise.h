// Shared by the workbook fuzz targets: the bytes as a workbook file, every sheet read over a
// fixed area, a few numbers written and saved, and what was saved read back exactly.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "workbook/format_choice.h"

namespace tarvex::fuzz {

// Writes outside the area read back (the last cells a sheet can hold) are saved but not checked.
inline void ExerciseWorkbook(const std::string& bytes, const std::string& file_name,
                             const std::string& defined_name,
                             const std::vector<workbook::CellWrite>& writes) {
  namespace fs = std::filesystem;
  using workbook::CellArea;
  using workbook::CellKind;
  // A real file in memory-backed storage: saving replaces it through a temporary file beside it.
  static const fs::path folder = [] {
    fs::path made = fs::path("/dev/shm") / ("tarvex-fuzz-" + std::to_string(getpid()));
    fs::create_directories(made);
    return made;
  }();
  const fs::path path = folder / file_name;
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  try {
    auto book = workbook::OpenWorkbookFile(path.string());
    if (!book) __builtin_trap();  // the file is there
    std::vector<std::string> sheets = book->SheetNames();
    for (size_t sheet = 0; sheet < sheets.size(); ++sheet) {
      book->ReadCells(sheet, CellArea{0, 0, 60, 12});
    }
    book->FindDefinedName(defined_name);
    book->ActiveSheet();
    if (sheets.empty()) return;
    book->WriteNumbers(0, writes);
    book->Save();
  } catch (const workbook::WorkbookError&) {
    return;  // refused with a description: the expected end for most inputs
  } catch (const std::runtime_error&) {
    return;  // a system failure with its description
  }
  constexpr CellArea kChecked{0, 0, 40, 7};
  auto saved = workbook::OpenWorkbookFile(path.string());
  if (!saved) __builtin_trap();
  std::vector<workbook::CellValue> values = saved->ReadCells(0, kChecked);
  for (const workbook::CellWrite& write : writes) {
    if (write.row > kChecked.last_row || write.column > kChecked.last_column) continue;
    const workbook::CellValue& value =
        values[write.row * (kChecked.last_column + 1) + write.column];
    // A cell whose format is a date reads back as a date of the same number.
    if ((value.kind != CellKind::kNumber && value.kind != CellKind::kDate) ||
        value.number != write.value) {
      __builtin_trap();
    }
  }
}

}  // namespace tarvex::fuzz
