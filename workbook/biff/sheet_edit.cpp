// Writing one sheet substream again with the target cells holding numbers and texts, row blocks and
// the INDEX and DIMENSIONS records fixed, every other record copied as it was.
#include "platform/little_endian.h"
#include "workbook/biff/edit.h"
#include "workbook/biff/edit_plan.h"

#include <algorithm>
#include <array>
#include <limits>
#include <optional>

namespace tarvex::workbook::biff {

using platform::AppendF64;
using platform::AppendU16;
using platform::AppendU32;
using platform::PutU16;
using platform::PutU32;
using platform::ReadU16;
using platform::ReadU32;

namespace {

constexpr size_t kNone = std::numeric_limits<size_t>::max();
constexpr std::uint16_t kRowDefaults = 0x0100;  // ROW flags: the bit the format sets always
constexpr std::uint16_t kStandardHeight = 0x00FF;
constexpr char kUncompressedCharacters = 0x01;  // XLUnicodeString.fHighByte

void AppendRecord(std::string& out, std::uint16_t type, std::string_view data) {
  AppendU16(out, type);
  AppendU16(out, static_cast<std::uint16_t>(data.size()));
  out.append(data);
}

// Writes the edited sheet record by record as the plan says.
class SheetEditor {
 public:
  SheetEditor(std::string& out, std::string_view stream, const SheetLayout& layout,
              const EditPlan& plan, std::string_view sheet_name, std::span<const Target> targets)
      : out_(out),
        stream_(stream),
        layout_(layout),
        plan_(plan),
        sheet_name_(sheet_name),
        targets_(targets),
        first_cell_at_(kRowLimit, kNone) {}

  void Run() {
    if (layout_.default_row_height) {
      default_height_ =
          ReadU16(layout_.records[*layout_.default_row_height].data, kDefaultRowHeightValue);
    }
    size_t db_cells = PlannedDbCells();
    for (size_t i = 0; i < layout_.table_begin; ++i) AppendOutsideTable(i, db_cells);
    for (size_t id : plan_.leading) EmitBlock(id);
    for (size_t b = 0; b < layout_.blocks.size(); ++b) {
      EmitBlock(b);
      for (size_t id : plan_.blocks[b].followers) EmitBlock(id);
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

 private:
  std::pair<size_t, size_t> Find(std::uint16_t row, std::uint16_t first, std::uint16_t last) {
    return finder_.Find(row, first, last);
  }

  std::string_view RecordBytes(size_t index) const {
    const Record& record = layout_.records[index];
    return stream_.substr(record.offset, record.end() - record.offset);
  }

  void NoteCell(std::uint16_t row) {
    if (first_cell_at_[row] == kNone) {
      first_cell_at_[row] = out_.size();
      touched_rows_.push_back(row);
    }
  }

  // A NUMBER record, or a LABEL record of UTF-16 characters for a text.
  void AppendCell(std::uint16_t row, std::uint16_t column, std::uint16_t style,
                  const Target& target) {
    NoteCell(row);
    std::string data;
    AppendU16(data, row);
    AppendU16(data, column);
    AppendU16(data, style);
    if (target.text == nullptr) {
      AppendF64(data, target.value);
      AppendRecord(out_, kNumber, data);
      return;
    }
    AppendU16(data, static_cast<std::uint16_t>(target.text->size()));
    data.push_back(kUncompressedCharacters);
    for (char16_t unit : *target.text) AppendU16(data, static_cast<std::uint16_t>(unit));
    AppendRecord(out_, kLabel, data);
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
      size_t at = kMulCells + each * (column - position.first_column);
      AppendCell(position.row, column, ReadU16(record.data, at), targets_[t]);
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
          AppendCell(position.row, position.first_column, ReadU16(record.data, kCellStyle),
                     targets_[begin]);
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
    AppendU16(data, static_cast<std::uint16_t>(plan_.new_first_column[row]));
    AppendU16(data, static_cast<std::uint16_t>(plan_.new_last_column[row] + 1));
    AppendU16(data, default_height_);
    AppendU32(data, 0);
    AppendU16(data, kRowDefaults);
    AppendU16(data, kNormalStyle);
    AppendRecord(out_, kRow, data);
  }

  // An existing ROW record, its span of columns widened to the cells it gains.
  void AppendRow(size_t index) {
    const size_t data_at = out_.size() + kHeaderSize;
    out_.append(RecordBytes(index));
    std::uint16_t row = ReadU16(layout_.records[index].data, kRowRow);
    if (plan_.new_first_column[row] < 0) return;
    std::uint16_t first = ReadU16(layout_.records[index].data, kRowFirstColumn);
    std::uint16_t end = ReadU16(layout_.records[index].data, kRowEndColumn);
    auto new_first = static_cast<std::uint16_t>(plan_.new_first_column[row]);
    auto new_end = static_cast<std::uint16_t>(plan_.new_last_column[row] + 1);
    bool empty = first >= end;
    PutU16(out_, data_at + kRowFirstColumn, empty ? new_first : std::min(first, new_first));
    PutU16(out_, data_at + kRowEndColumn, empty ? new_end : std::max(end, new_end));
  }

  bool CellBefore(size_t target, const CellPosition& position) const {
    return std::pair<int, int>(targets_[target].row, targets_[target].column) <
           std::pair<int, int>(position.row, position.first_column);
  }

  void EmitBlock(size_t id) {
    const BlockPlan& plan = plan_.blocks[id];
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
        std::uint16_t row = ReadU16(layout_.records[index].data, kRowRow);
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
        AppendCell(target.row, target.column, plan_.NewCellStyle(target), target);
      }
    };
    if (block) {
      for (const CellUnit& unit : block->units) {
        if (unit.is_cell) new_cells_before(&unit.position);
        AppendUnit(unit);
      }
    }
    new_cells_before(nullptr);
    if (block ? block->db_cell.has_value() : plan_.use_db_cells) {
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
    for (const BlockPlan& plan : plan_.blocks) {
      if (plan.original ? layout_.blocks[*plan.original].db_cell.has_value() : plan_.use_db_cells) {
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
    std::uint32_t first_row = ReadU32(data, kDimensionsFirstRow);
    std::uint32_t end_row = ReadU32(data, kDimensionsEndRow);
    std::uint32_t first_column = ReadU16(data, kDimensionsFirstColumn);
    std::uint32_t end_column = ReadU16(data, kDimensionsEndColumn);
    auto bounds = TargetBounds();
    bool empty = first_row >= end_row || first_column >= end_column;
    PutU32(out_, at + kDimensionsFirstRow, empty ? bounds[0] : std::min(first_row, bounds[0]));
    PutU32(out_, at + kDimensionsEndRow, empty ? bounds[1] + 1 : std::max(end_row, bounds[1] + 1));
    PutU16(out_, at + kDimensionsFirstColumn,
           static_cast<std::uint16_t>(empty ? bounds[2] : std::min(first_column, bounds[2])));
    PutU16(out_, at + kDimensionsEndColumn,
           static_cast<std::uint16_t>(empty ? bounds[3] + 1 : std::max(end_column, bounds[3] + 1)));
  }

  void FixIndex() {
    if (!index_at_) return;
    size_t at = *index_at_ + kHeaderSize;
    if (!targets_.empty()) {
      std::uint32_t first_row = ReadU32(out_, at + kIndexFirstRow);
      std::uint32_t end_row = ReadU32(out_, at + kIndexEndRow);
      bool empty = first_row >= end_row;
      PutU32(
          out_, at + kIndexFirstRow,
          empty ? targets_.front().row : std::min<std::uint32_t>(first_row, targets_.front().row));
      PutU32(out_, at + kIndexEndRow,
             std::max<std::uint32_t>(empty ? 0 : end_row, targets_.back().row + 1u));
    }
    if (default_column_width_at_) {
      PutU32(out_, at + kIndexDefColWidth, static_cast<std::uint32_t>(*default_column_width_at_));
    }
    for (size_t i = 0; i < db_cells_at_.size(); ++i) {
      PutU32(out_, at + kIndexDbCells + 4 * i, static_cast<std::uint32_t>(db_cells_at_[i]));
    }
  }

  std::string& out_;
  std::string_view stream_;
  const SheetLayout& layout_;
  const EditPlan& plan_;
  std::string_view sheet_name_;
  std::span<const Target> targets_;
  TargetFinder finder_{targets_};
  std::vector<size_t> first_cell_at_;
  std::vector<std::uint16_t> touched_rows_;
  std::uint16_t default_height_ = kStandardHeight;
  std::optional<size_t> dimensions_at_;
  std::optional<size_t> index_at_;
  std::optional<size_t> default_column_width_at_;
  std::vector<size_t> db_cells_at_;
};

}  // namespace

void AppendEditedSheet(std::string& out, std::string_view stream, const SheetLayout& layout,
                       const Globals& globals, std::string_view sheet_name,
                       std::span<const Target> targets) {
  EditPlan plan = PlanEdit(layout, globals, sheet_name, targets);
  SheetEditor(out, stream, layout, plan, sheet_name, targets).Run();
}

}  // namespace tarvex::workbook::biff
