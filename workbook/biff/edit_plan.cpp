// The plan of an edit: the place of every target cell, the row blocks that take new cells, and
// the targets refused before a byte changes.
#include "workbook/biff/edit_plan.h"

#include <algorithm>
#include <map>
#include <string>

#include "platform/little_endian.h"
#include "workbook/format/address.h"

namespace tarvex::workbook::biff {

using platform::ReadU16;

namespace {

constexpr std::int64_t kBlockRows = 32;  // rows per row block, as the format's readers expect
constexpr std::uint16_t kRowHasStyle = 0x0080;

class Planner {
 public:
  Planner(const SheetLayout& layout, const Globals& globals, std::string_view sheet_name,
          std::span<const Target> targets)
      : layout_(layout),
        sheet_name_(sheet_name),
        targets_(targets),
        matched_(targets.size(), false),
        row_record_block_(kRowLimit, -1),
        row_cell_block_(kRowLimit, -1) {
    plan_.new_first_column.assign(kRowLimit, -1);
    plan_.new_last_column.assign(kRowLimit, -1);
    plan_.row_style.assign(kRowLimit, -1);
    plan_.column_style.assign(kColumnLimit, -1);
    plan_.default_style = globals.style_count() > kNormalStyle ? kNormalStyle : 0;
    // A sheet that lists its row blocks in INDEX gets a DBCELL record for each new block too.
    plan_.use_db_cells = layout.has_db_cells || layout.index.has_value();
  }

  EditPlan Run() {
    IndexRows();
    CheckRefusals();
    MatchExistingCells();
    PlanNewCells();
    return std::move(plan_);
  }

 private:
  std::pair<size_t, size_t> Find(std::uint16_t row, std::uint16_t first, std::uint16_t last) {
    return finder_.Find(row, first, last);
  }

  void IndexRows() {
    for (size_t b = 0; b < layout_.blocks.size(); ++b) {
      const RowBlock& block = layout_.blocks[b];
      BlockPlan plan;
      plan.original = b;
      plan.row_records = block.row_records.size();
      auto cover = [&](std::int64_t row) {
        plan.first_row = plan.first_row < 0 ? row : std::min(plan.first_row, row);
        plan.last_row = std::max(plan.last_row, row);
      };
      for (size_t index : block.row_records) {
        std::string_view data = layout_.records[index].data;
        std::uint16_t row = ReadU16(data, kRowRow);
        if (row_record_block_[row] < 0) row_record_block_[row] = static_cast<int>(b);
        if (ReadU16(data, kRowFlags) & kRowHasStyle) {
          plan_.row_style[row] = ReadU16(data, kRowStyle) & 0x0FFF;
        }
        cover(row);
      }
      for (const CellUnit& unit : block.units) {
        if (!unit.is_cell) continue;
        if (row_cell_block_[unit.position.row] < 0) {
          row_cell_block_[unit.position.row] = static_cast<int>(b);
        }
        cover(unit.position.row);
      }
      if (plan.first_row >= 0) by_first_row_.emplace(plan.first_row, b);
      plan_.blocks.push_back(std::move(plan));
    }
    for (size_t index : layout_.column_infos) {
      std::string_view data = layout_.records[index].data;
      std::uint16_t last = std::min<std::uint16_t>(ReadU16(data, kColInfoLast), kColumnLimit - 1);
      for (std::uint16_t c = ReadU16(data, kColInfoFirst); c <= last; ++c) {
        plan_.column_style[c] = ReadU16(data, kColInfoStyle);
      }
    }
  }

  // The area of a RefU structure (ARRAY, TABLE and SHRFMLA records start with one).
  static std::optional<CellArea> ReferenceArea(std::string_view data) {
    if (data.size() < 6) return std::nullopt;
    return CellArea{ReadU16(data, 0), static_cast<std::uint8_t>(data[4]), ReadU16(data, 2),
                    static_cast<std::uint8_t>(data[5])};
  }

  std::string CellOfSheet(size_t target) const {
    return "The cell " + CellName(targets_[target].row, targets_[target].column) + " of sheet '" +
           std::string(sheet_name_) + "'";
  }

  void RefuseInside(const CellArea& area, const char* kind) {
    for (std::int64_t row = area.first_row; row <= area.last_row; ++row) {
      auto [begin, end] =
          Find(static_cast<std::uint16_t>(row), static_cast<std::uint16_t>(area.first_column),
               static_cast<std::uint16_t>(area.last_column));
      if (begin != end) {
        throw WorkbookError(CellOfSheet(begin) + " lies in the " + kind + " " + AreaName(area) +
                            " and cannot take a value of its own");
      }
    }
  }

  // Cells of array formulas and data tables, and the cell that holds a shared formula, cannot
  // become plain numbers without breaking the formulas of other cells.
  void CheckRefusals() {
    for (const RowBlock& block : layout_.blocks) {
      for (const CellUnit& unit : block.units) {
        for (size_t i = unit.first_record + 1; unit.is_cell && i < unit.end_record; ++i) {
          const Record& record = layout_.records[i];
          std::optional<CellArea> area = ReferenceArea(record.data);
          if (!area) continue;
          if (record.type == kArray) {
            RefuseInside(*area, "array formula");
          } else if (record.type == kTable) {
            RefuseInside(*area, "data table");
          } else if (record.type == kShrFmla) {
            auto [begin, end] =
                Find(unit.position.row, unit.position.first_column, unit.position.first_column);
            if (begin != end) {
              throw WorkbookError(CellOfSheet(begin) + " holds the shared formula of " +
                                  AreaName(*area) + ", which other cells use");
            }
          }
        }
      }
    }
  }

  void MatchExistingCells() {
    for (const RowBlock& block : layout_.blocks) {
      for (const CellUnit& unit : block.units) {
        if (!unit.is_cell) continue;
        auto [begin, end] =
            Find(unit.position.row, unit.position.first_column, unit.position.last_column);
        for (size_t t = begin; t < end; ++t) matched_[t] = true;
      }
    }
  }

  // The block that takes a new row with a new ROW record: the block before it when the row
  // keeps that block within 32 rows, else a new block right after it.
  size_t PlaceNewRow(std::uint16_t row) {
    std::vector<BlockPlan>& blocks = plan_.blocks;
    std::optional<size_t> candidate;
    auto after = by_first_row_.upper_bound(row);
    if (after != by_first_row_.begin()) candidate = std::prev(after)->second;
    if (candidate) {
      BlockPlan& block = blocks[*candidate];
      if (std::max<std::int64_t>(block.last_row, row) - block.first_row < kBlockRows &&
          block.row_records < static_cast<size_t>(kBlockRows)) {
        block.last_row = std::max<std::int64_t>(block.last_row, row);
        block.new_rows.push_back(row);
        ++block.row_records;
        return *candidate;
      }
    }
    size_t id = blocks.size();
    BlockPlan block;
    block.first_row = block.last_row = row;
    block.new_rows = {row};
    block.row_records = 1;
    if (candidate) {
      block.anchor = blocks[*candidate].original ? candidate : blocks[*candidate].anchor;
    }
    if (block.anchor) {
      blocks[*block.anchor].followers.push_back(id);
    } else {
      plan_.leading.push_back(id);
    }
    blocks.push_back(std::move(block));
    by_first_row_.emplace(row, id);
    return id;
  }

  void PlanNewCells() {
    size_t block = 0;
    int current_row = -1;
    for (size_t t = 0; t < targets_.size(); ++t) {
      if (matched_[t]) continue;
      const Target& target = targets_[t];
      if (target.row != current_row) {
        current_row = target.row;
        if (row_record_block_[target.row] >= 0) {
          block = static_cast<size_t>(row_record_block_[target.row]);
        } else if (row_cell_block_[target.row] >= 0) {
          block = static_cast<size_t>(row_cell_block_[target.row]);
        } else {
          block = PlaceNewRow(target.row);
        }
        plan_.new_first_column[target.row] = target.column;
      }
      plan_.new_last_column[target.row] = target.column;
      plan_.blocks[block].new_cells.push_back(t);
    }
  }

  const SheetLayout& layout_;
  std::string_view sheet_name_;
  std::span<const Target> targets_;
  std::vector<bool> matched_;
  std::vector<int> row_record_block_;
  std::vector<int> row_cell_block_;
  std::map<std::int64_t, size_t> by_first_row_;
  TargetFinder finder_{targets_};
  EditPlan plan_;
};

}  // namespace

std::uint16_t EditPlan::NewCellStyle(const Target& target) const {
  if (row_style[target.row] >= 0) return static_cast<std::uint16_t>(row_style[target.row]);
  if (column_style[target.column] >= 0) {
    return static_cast<std::uint16_t>(column_style[target.column]);
  }
  return default_style;
}

EditPlan PlanEdit(const SheetLayout& layout, const Globals& globals, std::string_view sheet_name,
                  std::span<const Target> targets) {
  return Planner(layout, globals, sheet_name, targets).Run();
}

std::pair<size_t, size_t> TargetFinder::Find(std::uint16_t row, std::uint16_t first,
                                             std::uint16_t last) {
  auto before = [](const Target& t, std::uint16_t r, std::uint16_t c) {
    return t.row < r || (t.row == r && t.column < c);
  };
  size_t begin = hint_;
  bool hint_fits = (begin == 0 || before(targets_[begin - 1], row, first)) &&
                   (begin == targets_.size() || !before(targets_[begin], row, first));
  if (!hint_fits) {
    auto found =
        std::lower_bound(targets_.begin(), targets_.end(), std::pair(row, first),
                         [&](const Target& t, std::pair<std::uint16_t, std::uint16_t> key) {
                           return before(t, key.first, key.second);
                         });
    begin = static_cast<size_t>(found - targets_.begin());
  }
  size_t end = begin;
  while (end < targets_.size() && targets_[end].row == row && targets_[end].column <= last) ++end;
  hint_ = end;
  return {begin, end};
}

}  // namespace tarvex::workbook::biff
