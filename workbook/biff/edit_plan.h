// Where the target cells of an edit go: which cells already exist, which rows and row blocks
// take the new ones, which styles new cells get; and which targets must be refused.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "workbook/biff/cell_table.h"
#include "workbook/biff/edit.h"
#include "workbook/biff/globals.h"

namespace tarvex::workbook::biff {

inline constexpr std::uint16_t kNormalStyle = 15;  // the first cell style of every workbook

// One row block of the edited sheet: an original block, or a new one that follows an original
// block (or stands before the first).
struct BlockPlan {
  std::optional<size_t> original;  // index into SheetLayout::blocks
  std::int64_t first_row = -1;
  std::int64_t last_row = -1;
  size_t row_records = 0;
  std::vector<std::uint16_t> new_rows;  // rows that get a new ROW record in this block
  std::vector<size_t> new_cells;        // targets that become new cells here, in order
  std::vector<size_t> followers;        // new blocks that come right after this one
  std::optional<size_t> anchor;         // for a new block: the original block it follows
};

struct EditPlan {
  std::vector<BlockPlan> blocks;      // the original blocks in their order, then the new ones
  std::vector<size_t> leading;        // new blocks before the first original one
  std::vector<int> new_first_column;  // per row: the first column of its new cells, or -1
  std::vector<int> new_last_column;   // per row: the last column of its new cells, or -1
  std::vector<int> row_style;         // per row: the style its ROW record gives, or -1
  std::vector<int> column_style;      // per column: the style its COLINFO record gives, or -1
  std::uint16_t default_style = 0;
  bool use_db_cells = false;  // new blocks get a DBCELL record

  // A new cell takes its row's style, else its column's, else the normal style.
  std::uint16_t NewCellStyle(const Target& target) const;
};

// Plans the edit. Throws WorkbookError, naming the cell, when a target cannot take a number on
// its own (in an array formula or a data table, or the cell of a shared formula).
EditPlan PlanEdit(const SheetLayout& layout, const Globals& globals, std::string_view sheet_name,
                  std::span<const Target> targets);

// Finds the targets (sorted) in one row with a column from first to last: a range of indices.
// Cells are mostly asked for in order, so the search starts where the last one ended.
class TargetFinder {
 public:
  explicit TargetFinder(std::span<const Target> targets) : targets_(targets) {}
  std::pair<size_t, size_t> Find(std::uint16_t row, std::uint16_t first, std::uint16_t last);

 private:
  std::span<const Target> targets_;
  size_t hint_ = 0;
};

}  // namespace tarvex::workbook::biff
