#include "workbook/biff_edit.h"

#include <algorithm>
#include <array>
#include <limits>
#include <map>
#include <optional>

#include "workbook/little_endian.h"

namespace tarvex::workbook::biff {

namespace {

constexpr size_t kNone = std::numeric_limits<size_t>::max();
constexpr std::int64_t kBlockRows = 32;  // rows per row block, as the format's readers expect
constexpr std::uint16_t kRowDefaults = 0x0100;  // ROW flags: the bit the format sets always
constexpr std::uint16_t kRowHasStyle = 0x0080;
constexpr std::uint16_t kStandardHeight = 0x00FF;
constexpr std::uint16_t kNormalStyle = 15;  // the first cell style of every workbook

std::string CellAddress(std::uint16_t row, std::uint16_t column) {
  std::string letters;
  for (int c = column + 1; c > 0; c = (c - 1) / 26) {
    letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
  }
  return letters + std::to_string(row + 1);
}

void AppendRecord(std::string& out, std::uint16_t type, std::string_view data) {
  AppendU16(out, type);
  AppendU16(out, static_cast<std::uint16_t>(data.size()));
  out.append(data);
}

// Where one row block goes and what it gains: an original block, or a new one that follows
// an original block (or stands before the first).
struct BlockPlan {
  std::optional<size_t> original;  // index into SheetLayout::blocks
  std::int64_t first_row = -1;
  std::int64_t last_row = -1;
  size_t row_records = 0;
  std::vector<std::uint16_t> new_rows;  // rows that get a new ROW record in this block
  std::vector<size_t> new_cells;        // targets that become new cells here, in order
  std::vector<size_t> followers;        // new blocks emitted right after this one
  std::optional<size_t> anchor;         // for a new block: the original block it follows
};

class SheetEditor {
 public:
  SheetEditor(std::string& out, std::string_view stream, const SheetLayout& layout,
              const Globals& globals, std::string_view sheet_name, std::span<const Target> targets)
      : out_(out),
        stream_(stream),
        layout_(layout),
        sheet_name_(sheet_name),
        targets_(targets),
        matched_(targets.size(), false),
        row_record_block_(kRowLimit, -1),
        row_cell_block_(kRowLimit, -1),
        row_style_(kRowLimit, -1),
        column_style_(kColumnLimit, -1),
        new_first_column_(kRowLimit, -1),
        new_last_column_(kRowLimit, -1),
        first_cell_at_(kRowLimit, kNone) {
    default_style_ = globals.style_count() > kNormalStyle ? kNormalStyle : 0;
    // A sheet that lists its row blocks in INDEX gets a DBCELL record for each new block too.
    use_db_cells_ = layout.has_db_cells || layout.index.has_value();
  }

  void Run() {
    IndexRows();
    CheckRefusals();
    MatchExistingCells();
    PlanNewCells();
    Emit();
  }

 private:
  // The targets in row with a column from first to last: a range of indices.
  std::pair<size_t, size_t> Find(std::uint16_t row, std::uint16_t first, std::uint16_t last) const {
    auto less = [](const Target& t, std::pair<int, int> key) {
      return std::pair<int, int>(t.row, t.column) < key;
    };
    auto begin =
        std::lower_bound(targets_.begin(), targets_.end(), std::pair<int, int>(row, first), less);
    auto end = std::lower_bound(begin, targets_.end(), std::pair<int, int>(row, last + 1), less);
    return {static_cast<size_t>(begin - targets_.begin()),
            static_cast<size_t>(end - targets_.begin())};
  }

  std::string_view RecordBytes(size_t index) const {
    const Record& record = layout_.records[index];
    return stream_.substr(record.offset, record.end() - record.offset);
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
        std::uint16_t row = ReadU16(data, 0);
        if (row_record_block_[row] < 0) row_record_block_[row] = static_cast<int>(b);
        if (ReadU16(data, 12) & kRowHasStyle) row_style_[row] = ReadU16(data, 14) & 0x0FFF;
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
      plans_.push_back(std::move(plan));
    }
    for (size_t index : layout_.column_infos) {
      std::string_view data = layout_.records[index].data;
      std::uint16_t last = std::min<std::uint16_t>(ReadU16(data, 2), kColumnLimit - 1);
      for (std::uint16_t c = ReadU16(data, 0); c <= last; ++c) column_style_[c] = ReadU16(data, 6);
    }
  }

  [[noreturn]] void Refuse(size_t target, const char* what) const {
    throw WorkbookError("Cell " + CellAddress(targets_[target].row, targets_[target].column) +
                        " of sheet '" + std::string(sheet_name_) + "' " + what +
                        ", so it cannot take a number on its own");
  }

  void RefuseInside(std::string_view reference, const char* what) const {
    if (reference.size() < 6) return;
    std::uint16_t last_row = ReadU16(reference, 2);
    std::uint8_t first_column = static_cast<std::uint8_t>(reference[4]);
    std::uint8_t last_column = static_cast<std::uint8_t>(reference[5]);
    for (std::uint32_t row = ReadU16(reference, 0); row <= last_row; ++row) {
      auto [begin, end] = Find(static_cast<std::uint16_t>(row), first_column, last_column);
      if (begin != end) Refuse(begin, what);
    }
  }

  // Cells of array formulas and data tables, and the cell that holds a shared formula, cannot
  // become plain numbers without breaking the formulas of other cells.
  void CheckRefusals() const {
    for (const RowBlock& block : layout_.blocks) {
      for (const CellUnit& unit : block.units) {
        for (size_t i = unit.first_record + 1; unit.is_cell && i < unit.end_record; ++i) {
          const Record& record = layout_.records[i];
          if (record.type == kArray) {
            RefuseInside(record.data, "is part of an array formula");
          } else if (record.type == kTable) {
            RefuseInside(record.data, "is part of a data table");
          } else if (record.type == kShrFmla) {
            auto [begin, end] =
                Find(unit.position.row, unit.position.first_column, unit.position.first_column);
            if (begin != end) Refuse(begin, "holds a formula that other cells share");
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
    std::optional<size_t> candidate;
    auto after = by_first_row_.upper_bound(row);
    if (after != by_first_row_.begin()) candidate = std::prev(after)->second;
    if (candidate) {
      BlockPlan& plan = plans_[*candidate];
      if (std::max<std::int64_t>(plan.last_row, row) - plan.first_row < kBlockRows &&
          plan.row_records < static_cast<size_t>(kBlockRows)) {
        plan.last_row = std::max<std::int64_t>(plan.last_row, row);
        plan.new_rows.push_back(row);
        ++plan.row_records;
        return *candidate;
      }
    }
    size_t id = plans_.size();
    BlockPlan plan;
    plan.first_row = plan.last_row = row;
    plan.new_rows = {row};
    plan.row_records = 1;
    if (candidate) {
      plan.anchor = plans_[*candidate].original ? candidate : plans_[*candidate].anchor;
    }
    if (plan.anchor) {
      plans_[*plan.anchor].followers.push_back(id);
    } else {
      leading_.push_back(id);
    }
    plans_.push_back(std::move(plan));
    by_first_row_.emplace(row, id);
    return id;
  }

  void PlanNewCells() {
    size_t block = kNone;
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
        new_first_column_[target.row] = target.column;
      }
      new_last_column_[target.row] = target.column;
      plans_[block].new_cells.push_back(t);
    }
  }

  std::uint16_t NewCellStyle(const Target& target) const {
    if (row_style_[target.row] >= 0) return static_cast<std::uint16_t>(row_style_[target.row]);
    if (column_style_[target.column] >= 0) {
      return static_cast<std::uint16_t>(column_style_[target.column]);
    }
    return default_style_;
  }

  void NoteCell(std::uint16_t row) {
    if (first_cell_at_[row] == kNone) {
      first_cell_at_[row] = out_.size();
      touched_rows_.push_back(row);
    }
  }

  void AppendNumber(std::uint16_t row, std::uint16_t column, std::uint16_t style, double value) {
    NoteCell(row);
    std::string data;
    AppendU16(data, row);
    AppendU16(data, column);
    AppendU16(data, style);
    AppendF64(data, value);
    AppendRecord(out_, kNumber, data);
  }

  // The cells first..end-1 of a MULRK or MULBLANK record that stay as they were.
  void AppendRun(const Record& record, std::uint16_t first, std::uint16_t end) {
    if (first >= end) return;
    const CellPosition position = CellRecordPosition(record);
    const size_t each = record.type == kMulRk ? 6 : 2;
    std::string data;
    AppendU16(data, position.row);
    AppendU16(data, first);
    data.append(record.data.substr(4 + each * (first - position.first_column),
                                   each * static_cast<size_t>(end - first)));
    std::uint16_t type = record.type == kMulRk ? kRk : kBlank;
    if (end - first > 1) {
      AppendU16(data, static_cast<std::uint16_t>(end - 1));
      type = record.type;
    }
    NoteCell(position.row);
    AppendRecord(out_, type, data);
  }

  void AppendSplit(const Record& record, size_t begin, size_t end) {
    const CellPosition position = CellRecordPosition(record);
    const size_t each = record.type == kMulRk ? 6 : 2;
    std::uint16_t run = position.first_column;
    for (size_t t = begin; t < end; ++t) {
      std::uint16_t column = targets_[t].column;
      AppendRun(record, run, column);
      size_t at = 4 + each * (column - position.first_column);
      AppendNumber(position.row, column, ReadU16(record.data, at), targets_[t].value);
      run = static_cast<std::uint16_t>(column + 1);
    }
    AppendRun(record, run, static_cast<std::uint16_t>(position.last_column + 1));
  }

  void AppendUnit(const CellUnit& unit) {
    if (unit.is_cell) {
      const CellPosition& position = unit.position;
      auto [begin, end] = Find(position.row, position.first_column, position.last_column);
      if (begin != end) {
        const Record& record = layout_.records[unit.first_record];
        if (record.type == kMulRk || record.type == kMulBlank) {
          AppendSplit(record, begin, end);
        } else {
          // A formula's own records (its STRING result) go with it.
          AppendNumber(position.row, position.first_column, ReadU16(record.data, 4),
                       targets_[begin].value);
        }
        return;
      }
      NoteCell(position.row);
    }
    for (size_t i = unit.first_record; i < unit.end_record; ++i) out_.append(RecordBytes(i));
  }

  void AppendNewRow(std::uint16_t row) {
    std::string data;
    AppendU16(data, row);
    AppendU16(data, static_cast<std::uint16_t>(new_first_column_[row]));
    AppendU16(data, static_cast<std::uint16_t>(new_last_column_[row] + 1));
    AppendU16(data, default_height_);
    AppendU32(data, 0);
    AppendU16(data, kRowDefaults);
    AppendU16(data, kNormalStyle);
    AppendRecord(out_, kRow, data);
  }

  // An existing ROW record, its span of columns widened to the cells it gains.
  void AppendRow(size_t index) {
    size_t at = out_.size();
    out_.append(RecordBytes(index));
    std::uint16_t row = ReadU16(layout_.records[index].data, 0);
    if (new_first_column_[row] < 0) return;
    std::uint16_t first = ReadU16(layout_.records[index].data, 2);
    std::uint16_t end = ReadU16(layout_.records[index].data, 4);
    auto new_first = static_cast<std::uint16_t>(new_first_column_[row]);
    auto new_end = static_cast<std::uint16_t>(new_last_column_[row] + 1);
    bool empty = first >= end;
    PutU16(out_, at + 6, empty ? new_first : std::min(first, new_first));
    PutU16(out_, at + 8, empty ? new_end : std::max(end, new_end));
  }

  bool CellBefore(size_t target, const CellPosition& position) const {
    return std::pair<int, int>(targets_[target].row, targets_[target].column) <
           std::pair<int, int>(position.row, position.first_column);
  }

  void EmitBlock(size_t id) {
    const BlockPlan& plan = plans_[id];
    const RowBlock* block = plan.original ? &layout_.blocks[*plan.original] : nullptr;
    for (std::uint16_t row : touched_rows_) first_cell_at_[row] = kNone;
    touched_rows_.clear();
    std::vector<std::uint16_t> rows;
    size_t first_row_at = kNone;
    size_t first_row_end = kNone;
    auto note_row = [&](std::uint16_t row, size_t at) {
      rows.push_back(row);
      if (first_row_at == kNone) {
        first_row_at = at;
        first_row_end = out_.size();
      }
    };
    size_t next = 0;
    auto new_rows_before = [&](int row) {
      while (next < plan.new_rows.size() && plan.new_rows[next] < row) {
        size_t at = out_.size();
        AppendNewRow(plan.new_rows[next]);
        note_row(plan.new_rows[next++], at);
      }
    };
    if (block) {
      for (size_t index : block->row_records) {
        std::uint16_t row = ReadU16(layout_.records[index].data, 0);
        new_rows_before(row);
        size_t at = out_.size();
        AppendRow(index);
        note_row(row, at);
      }
    }
    new_rows_before(std::numeric_limits<int>::max());
    size_t cell = 0;
    auto new_cells_before = [&](const CellPosition* position) {
      while (cell < plan.new_cells.size() &&
             (!position || CellBefore(plan.new_cells[cell], *position))) {
        const Target& target = targets_[plan.new_cells[cell++]];
        AppendNumber(target.row, target.column, NewCellStyle(target), target.value);
      }
    };
    if (block) {
      for (const CellUnit& unit : block->units) {
        if (unit.is_cell) new_cells_before(&unit.position);
        AppendUnit(unit);
      }
    }
    new_cells_before(nullptr);
    if (block ? block->db_cell.has_value() : use_db_cells_) {
      AppendDbCell(rows, first_row_at, first_row_end);
    }
  }

  // DBCELL: the distance back to the block's first ROW record, then for each row the distance
  // from the previous row's first cell (the first row: from the end of the first ROW record).
  void AppendDbCell(const std::vector<std::uint16_t>& rows, size_t first_row_at,
                    size_t first_row_end) {
    if (4 + 2 * rows.size() > kMaxRecordData) {
      throw WorkbookError("A row block of sheet '" + std::string(sheet_name_) +
                          "' has too many rows for its DBCELL record");
    }
    size_t at = out_.size();
    std::string data;
    AppendU32(data, rows.empty() ? 0 : static_cast<std::uint32_t>(at - first_row_at));
    size_t from = first_row_end;
    for (std::uint16_t row : rows) {
      size_t cell_at = first_cell_at_[row];
      if (cell_at == kNone) {
        AppendU16(data, 0);
        continue;
      }
      // The field has 16 bits; a row whose cells fill more than that cannot be described.
      size_t distance = cell_at > from ? std::min<size_t>(cell_at - from, 0xFFFF) : 0;
      AppendU16(data, static_cast<std::uint16_t>(distance));
      from = cell_at;
    }
    AppendRecord(out_, kDbCell, data);
    db_cells_at_.push_back(at);
  }

  size_t PlannedDbCells() const {
    size_t count = 0;
    for (const BlockPlan& plan : plans_) {
      if (plan.original ? layout_.blocks[*plan.original].db_cell.has_value() : use_db_cells_) {
        ++count;
      }
    }
    return count;
  }

  void AppendOutsideTable(size_t index, size_t db_cells) {
    if (layout_.index == index) {
      if (16 + 4 * db_cells > kMaxRecordData) {
        throw WorkbookError("Sheet '" + std::string(sheet_name_) +
                            "' would need more row blocks than its INDEX record can list");
      }
      index_at_ = out_.size();
      std::string data(layout_.records[index].data.substr(0, 16));
      data.resize(16 + 4 * db_cells, '\0');
      AppendRecord(out_, kIndex, data);
      return;
    }
    if (layout_.dimensions == index) dimensions_at_ = out_.size();
    if (layout_.default_column_width == index) default_column_width_at_ = out_.size();
    out_.append(RecordBytes(index));
  }

  void Emit() {
    if (layout_.default_row_height) {
      default_height_ = ReadU16(layout_.records[*layout_.default_row_height].data, 2);
    }
    size_t db_cells = PlannedDbCells();
    for (size_t i = 0; i < layout_.table_begin; ++i) AppendOutsideTable(i, db_cells);
    for (size_t id : leading_) EmitBlock(id);
    for (size_t b = 0; b < layout_.blocks.size(); ++b) {
      EmitBlock(b);
      for (size_t id : plans_[b].followers) EmitBlock(id);
    }
    for (size_t i = layout_.table_end; i < layout_.records.size(); ++i) {
      AppendOutsideTable(i, db_cells);
    }
    if (out_.size() > std::numeric_limits<std::uint32_t>::max()) {
      throw WorkbookError("The workbook would grow beyond the 4 GB that its format can address");
    }
    FixDimensions();
    FixIndex();
  }

  // Bounds of the target cells: first row, last row, first column, last column.
  std::array<std::uint32_t, 4> TargetBounds() const {
    std::array<std::uint32_t, 4> bounds = {targets_.front().row, targets_.back().row, 0xFFFF, 0};
    for (const Target& target : targets_) {
      bounds[2] = std::min<std::uint32_t>(bounds[2], target.column);
      bounds[3] = std::max<std::uint32_t>(bounds[3], target.column);
    }
    return bounds;
  }

  void FixDimensions() {
    if (!dimensions_at_ || targets_.empty()) return;
    size_t at = *dimensions_at_ + kHeaderSize;
    std::string_view data(out_.data() + at, 12);
    std::uint32_t first_row = ReadU32(data, 0), end_row = ReadU32(data, 4);
    std::uint32_t first_column = ReadU16(data, 8), end_column = ReadU16(data, 10);
    auto bounds = TargetBounds();
    bool empty = first_row >= end_row || first_column >= end_column;
    PutU32(out_, at, empty ? bounds[0] : std::min(first_row, bounds[0]));
    PutU32(out_, at + 4, empty ? bounds[1] + 1 : std::max(end_row, bounds[1] + 1));
    PutU16(out_, at + 8,
           static_cast<std::uint16_t>(empty ? bounds[2] : std::min(first_column, bounds[2])));
    PutU16(out_, at + 10,
           static_cast<std::uint16_t>(empty ? bounds[3] + 1 : std::max(end_column, bounds[3] + 1)));
  }

  void FixIndex() {
    if (!index_at_) return;
    size_t at = *index_at_ + kHeaderSize;
    if (!targets_.empty()) {
      std::uint32_t first_row = ReadU32(out_, at + 4), end_row = ReadU32(out_, at + 8);
      bool empty = first_row >= end_row;
      PutU32(
          out_, at + 4,
          empty ? targets_.front().row : std::min<std::uint32_t>(first_row, targets_.front().row));
      PutU32(out_, at + 8, std::max<std::uint32_t>(empty ? 0 : end_row, targets_.back().row + 1u));
    }
    if (default_column_width_at_) {
      PutU32(out_, at + 12, static_cast<std::uint32_t>(*default_column_width_at_));
    }
    for (size_t i = 0; i < db_cells_at_.size(); ++i) {
      PutU32(out_, at + 16 + 4 * i, static_cast<std::uint32_t>(db_cells_at_[i]));
    }
  }

  std::string& out_;
  std::string_view stream_;
  const SheetLayout& layout_;
  std::string_view sheet_name_;
  std::span<const Target> targets_;
  std::vector<bool> matched_;
  std::vector<int> row_record_block_;
  std::vector<int> row_cell_block_;
  std::vector<int> row_style_;
  std::vector<int> column_style_;
  std::vector<int> new_first_column_;
  std::vector<int> new_last_column_;
  std::vector<size_t> first_cell_at_;
  std::vector<std::uint16_t> touched_rows_;
  std::uint16_t default_style_ = 0;
  bool use_db_cells_ = false;
  std::uint16_t default_height_ = kStandardHeight;
  std::vector<BlockPlan> plans_;
  std::map<std::int64_t, size_t> by_first_row_;
  std::vector<size_t> leading_;
  std::optional<size_t> dimensions_at_;
  std::optional<size_t> index_at_;
  std::optional<size_t> default_column_width_at_;
  std::vector<size_t> db_cells_at_;
};

}  // namespace

void AppendEditedSheet(std::string& out, std::string_view stream, const SheetLayout& layout,
                       const Globals& globals, std::string_view sheet_name,
                       std::span<const Target> targets) {
  SheetEditor(out, stream, layout, globals, sheet_name, targets).Run();
}

}  // namespace tarvex::workbook::biff
