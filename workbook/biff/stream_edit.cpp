// The edit of the whole Workbook stream: the edited sheet put in its place, the other sheets'
// positions (BOUNDSHEET, INDEX) moved with it, and recalculation asked for.
#include <algorithm>
#include <numeric>

#include "platform/large_memory.h"
#include "platform/little_endian.h"
#include "workbook/biff/edit.h"

namespace tarvex::workbook::biff {

using platform::PutU32;
using platform::ReadU32;

namespace {

// INDEX, which follows a sheet's BOF record (after UNCALCED at most), holds positions in the
// stream: a sheet moved by delta bytes must move them too.
void ShiftIndex(std::string& out, size_t sheet_at, std::int64_t delta) {
  if (delta == 0) return;
  std::string_view view(out);
  size_t offset = sheet_at;
  for (int i = 0; i < 3; ++i) {
    Record record = ReadRecord(view, offset);
    if ((i == 0 && record.type != kBof) || record.type == kEof) return;
    if (record.type == kIndex && record.data.size() >= 16) {
      size_t data_at = record.offset + kHeaderSize;
      // From byte 12 on: the DEFCOLWIDTH position (0 when there is none), then DBCELL ones.
      for (size_t field = 12; field + 4 <= record.data.size(); field += 4) {
        std::uint32_t position = ReadU32(view, data_at + field);
        if (position != 0) {
          PutU32(out, data_at + field, static_cast<std::uint32_t>(position + delta));
        }
      }
      return;
    }
    offset = record.end();
  }
}

// Sorted by row and column; of several writes to one cell the last stays.
std::vector<Target> OnePerCell(std::vector<Target> targets) {
  std::stable_sort(targets.begin(), targets.end(), [](const Target& a, const Target& b) {
    return std::pair(a.row, a.column) < std::pair(b.row, b.column);
  });
  std::vector<Target> unique;
  unique.reserve(targets.size());
  for (const Target& target : targets) {
    if (!unique.empty() && unique.back().row == target.row &&
        unique.back().column == target.column) {
      unique.back() = target;
    } else {
      unique.push_back(target);
    }
  }
  return unique;
}

}  // namespace

EditedStream WriteNumbersToStream(std::string_view stream, const Globals& globals, size_t tab,
                                  std::vector<Target> targets) {
  targets = OnePerCell(std::move(targets));
  const std::vector<SheetEntry>& sheets = globals.sheets;
  std::vector<size_t> order(sheets.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::sort(order.begin(), order.end(),
            [&](size_t a, size_t b) { return sheets[a].offset < sheets[b].offset; });
  for (size_t k = 0; k < order.size(); ++k) {
    std::uint32_t offset = sheets[order[k]].offset;
    if (offset < globals.end || offset >= stream.size() ||
        (k > 0 && offset == sheets[order[k - 1]].offset)) {
      Damaged("the sheet '" + sheets[order[k]].name + "' does not start at a valid offset");
    }
  }
  SheetLayout layout = ReadSheetLayout(stream, sheets[tab].offset);

  std::string out;
  size_t room = stream.size() + 20 * targets.size() + 4096;
  out.reserve(room);
  platform::AdviseHugePages(out.data(), room);
  out.append(stream.substr(0, sheets[order.front()].offset));
  std::vector<std::uint32_t> new_offsets(sheets.size());
  for (size_t k = 0; k < order.size(); ++k) {
    size_t s = order[k];
    size_t begin = sheets[s].offset;
    size_t end = k + 1 < order.size() ? sheets[order[k + 1]].offset : stream.size();
    new_offsets[s] = static_cast<std::uint32_t>(out.size());
    if (s == tab) {
      size_t sheet_end = layout.records.back().end();
      if (sheet_end > end) Damaged("the sheet '" + sheets[s].name + "' overlaps the next sheet");
      AppendEditedSheet(out, stream, layout, globals, sheets[s].name, targets);
      out.append(stream.substr(sheet_end, end - sheet_end));
    } else {
      size_t at = out.size();
      out.append(stream.substr(begin, end - begin));
      ShiftIndex(out, at, static_cast<std::int64_t>(at) - static_cast<std::int64_t>(begin));
    }
  }
  for (size_t s = 0; s < sheets.size(); ++s) {
    PutU32(out, sheets[s].record_offset + kHeaderSize + kBoundSheetPosition, new_offsets[s]);
  }
  // A calculation engine id of 0 is older than every reader's, so readers recalculate the
  // formulas on opening: some of them depend on the numbers just written.
  if (globals.recalc_id_offset) {
    PutU32(out, *globals.recalc_id_offset + kHeaderSize + kRecalcIdEngine, 0);
  }
  return {std::move(out), std::move(new_offsets)};
}

}  // namespace tarvex::workbook::biff
