// One workbook file behind the workbook object model: the part that knows a file format. The
// object model (application, workbooks, sheets, ranges) sits on this interface and never meets a
// zip entry or a BIFF record; each format implements it in a room of its own below the model.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::workbook {

// kUncalculated: a formula whose result the workbook does not hold, as libraries that do not
// calculate write them.
enum class CellKind { kEmpty, kNumber, kText, kBoolean, kDate, kError, kUncalculated };

// A cell's value as the workbook holds it (for a formula: its cached result).
struct CellValue {
  CellKind kind = CellKind::kEmpty;
  double number = 0;  // kNumber; kDate: the serial date number; kBoolean: 1 or 0
  std::string text;   // kText; kError: the error's text, such as "#DIV/0!"
};

// A rectangle of cells, rows and columns counted from 0 (A1 is row 0, column 0), bounds included.
struct CellArea {
  std::int64_t first_row = 0;
  std::int64_t first_column = 0;
  std::int64_t last_row = 0;
  std::int64_t last_column = 0;
};

// One value to put into a cell: the number, or the text where text is set (it stays the
// caller's and must outlive the write). Every other cell stays as it is.
struct CellWrite {
  std::int64_t row = 0;
  std::int64_t column = 0;
  double value = 0;
  const std::string* text = nullptr;
};

// A workbook-level defined name that refers to one rectangle of one sheet.
struct DefinedArea {
  size_t sheet = 0;  // index into SheetNames()
  CellArea area;
};

// What is wrong with a workbook file, or why an operation on it was refused; what() says it in
// words that go into the run log.
class WorkbookError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class WorkbookFile {
 public:
  virtual ~WorkbookFile() = default;

  // The sheet's limits: 1,048,576 x 16,384 for Office Open XML, 65,536 x 256 for BIFF8.
  virtual std::int64_t RowLimit() const = 0;
  virtual std::int64_t ColumnLimit() const = 0;

  // Worksheet names in workbook order.
  virtual std::vector<std::string> SheetNames() const = 0;
  // Index into SheetNames() of the active sheet; the first sheet when none is marked.
  virtual size_t ActiveSheet() const = 0;
  // The workbook-level defined name of that text (compared without regard to ASCII case) when
  // it refers to one rectangle of one sheet; none otherwise.
  virtual std::optional<DefinedArea> FindDefinedName(std::string_view name) const = 0;

  // The values of the area's cells, row by row: (rows x columns) values. The area lies within
  // the limits (the caller checked). Throws WorkbookError for a damaged sheet.
  virtual std::vector<CellValue> ReadCells(size_t sheet, const CellArea& area) = 0;

  // Puts the numbers and texts into the cells, in memory; each cell keeps its style, a formula
  // there is replaced by the value. Refuses the whole write with WorkbookError, changing nothing,
  // when a cell cannot take a value on its own (inside an array or data-table formula, the master
  // of a shared formula) or the format cannot hold a text.
  virtual void WriteNumbers(size_t sheet, std::span<const CellWrite> cells) = 0;

  // Writes the workbook back to its file: to a temporary file in the same folder that is renamed
  // over the original, keeping its permissions, so that a failure or a kill never leaves a
  // damaged workbook. Everything that no write touched is copied unchanged. Throws WorkbookError.
  virtual void Save() = 0;
};

}  // namespace tarvex::workbook
