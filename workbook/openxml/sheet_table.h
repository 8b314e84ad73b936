// A worksheet part scanned once into a table of the cells that hold something, so that every
// range read from the sheet afterwards is a pass over the table, not another scan of the text.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/large_memory.h"
#include "workbook/format/address.h"
#include "workbook/format/workbook_file.h"
#include "workbook/openxml/sheet.h"

namespace tarvex::workbook::openxml {

class SheetTable {
 public:
  // Scans the whole part. What a read of one range would throw is kept, not thrown, so that each
  // read throws as a scan for its own range would: damage to the part (XML that is not
  // well-formed, a row or cell given twice, a reference beyond the limits) after the cells that
  // come before it, a value that its type cannot hold only when the range holds its cell.
  // With only, the cells outside that area are checked for damage but neither converted nor
  // kept, which is what a read of that one area needs.
  // A part of minimum_piece bytes or more is scanned in pieces on the processor's cores, each
  // piece from a row of its own; the table is the same as that of one scan from the start, which
  // is what a part gets whose pieces do not fit together (damage in a piece, rows that a piece
  // repeats or that go back, a cut that lands inside something else).
  SheetTable(std::string_view xml, std::string_view part, const SheetLimits& limits,
             const std::vector<bool>* date_styles, const CellArea* only = nullptr,
             size_t minimum_piece = kMinimumPiece);

  // Below this, a second thread costs more than it saves.
  static constexpr size_t kMinimumPiece = size_t{4} << 20;

  // An upper bound of Bytes() for a part of that size: every cell takes at least 10 bytes of text
  // (<c t="e"/>).
  static std::uint64_t MaxBytesFor(std::uint64_t part_size) { return part_size / 10 * 16; }

  // The values of the area's cells, row by row, as ReadSheetCells gives them for the same text.
  // Shared strings are looked up through context.
  std::vector<CellValue> Read(const CellArea& area, const CellContext& context) const;

  // The memory the table holds.
  std::uint64_t Bytes() const;

 private:
  enum class Stored : std::uint8_t {
    kNumber,
    kDate,
    kBoolean,
    kText,
    kError,
    kUncalculated,
    kShared,  // payload: the shared string's index, looked up when a range holds the cell
    kFailed,  // payload: the index of the failure's description in texts_
  };
  struct Cell {
    std::uint32_t row;
    std::uint16_t column;
    Stored kind;
    std::uint64_t payload;  // the number's bits, or an index
  };
  static_assert(sizeof(Cell) == 16);
  class Scan;

  explicit SheetTable(std::string_view part) : part_(part) {}
  // The scan in pieces, when the part is large enough and the pieces fit together; false leaves
  // the table empty for the scan from the start.
  bool ScanInPieces(std::string_view xml, const SheetLimits& limits,
                    const std::vector<bool>* date_styles, const CellArea* only,
                    size_t minimum_piece);
  void Append(SheetTable&& piece);

  void Add(std::int64_t row, std::int64_t column, const CellValue& value, bool shared,
           std::uint64_t shared_index);

  std::string part_;
  std::vector<Cell, platform::LargeAllocator<Cell>> cells_;  // in the order of the part
  std::vector<std::string> texts_;
  std::optional<std::string> damage_;  // what the scan stopped at
};

}  // namespace tarvex::workbook::openxml
