#include "workbook/biff/globals.h"

#include <algorithm>
#include <unordered_map>

#include "platform/little_endian.h"
#include "workbook/biff/names.h"
#include "workbook/format/number_format.h"

namespace tarvex::workbook::biff {

using platform::ReadU16;
using platform::ReadU32;

namespace {

constexpr std::uint16_t kOlderBofTypes[] = {0x0009, 0x0209, 0x0409};

SheetEntry ReadBoundSheet(const Record& record) {
  RequireSize(record, 8);
  SheetEntry sheet;
  sheet.offset = ReadU32(record.data, 0);
  sheet.type = static_cast<std::uint8_t>(record.data[5]);
  sheet.record_offset = record.offset;
  size_t at = 7;
  sheet.name = ReadCharacters(record.data, at, static_cast<std::uint8_t>(record.data[6]));
  return sheet;
}

std::vector<std::string> ReadSharedStrings(std::vector<std::string_view> parts) {
  size_t bytes = 0;
  for (std::string_view part : parts) bytes += part.size();
  ContinuedData data(std::move(parts));
  data.U32();  // the count of string references in the workbook, not needed here
  size_t count = data.U32();
  std::vector<std::string> strings;
  // Every string takes at least three bytes, so a false count cannot make a huge reservation.
  strings.reserve(std::min(count, bytes / 3));
  for (size_t i = 0; i < count; ++i) strings.push_back(data.RichString());
  return strings;
}

}  // namespace

void RefuseOlderFormat() {
  throw WorkbookError(
      "The workbook is in the Excel 5.0/95 format or older (BIFF5 or before), which cannot be "
      "read; save it in the Excel 97-2003 format");
}

void CheckBof(const Record& record, std::uint16_t substream_type) {
  if (record.type != kBof) {
    if (std::find(std::begin(kOlderBofTypes), std::end(kOlderBofTypes), record.type) !=
        std::end(kOlderBofTypes)) {
      RefuseOlderFormat();
    }
    Damaged("no BOF record at byte " + std::to_string(record.offset));
  }
  RequireSize(record, 4);
  if (ReadU16(record.data, 0) != kBiff8Version) RefuseOlderFormat();
  if (ReadU16(record.data, 2) != substream_type) {
    Damaged("the BOF record at byte " + std::to_string(record.offset) +
            " opens a substream of an unexpected type");
  }
}

Globals ReadGlobals(std::string_view stream) {
  Globals globals;
  NameRecords name_records;
  std::vector<std::string_view> sst_parts;
  std::unordered_map<std::uint16_t, std::string> formats;
  std::vector<std::uint16_t> style_formats;
  bool window_seen = false;
  std::uint16_t previous = 0;
  for (size_t offset = 0;;) {
    if (offset >= stream.size()) Damaged("the workbook globals end before their EOF record");
    Record record = ReadRecord(stream, offset);
    if (offset == 0) CheckBof(record, kWorkbookGlobals);
    CheckContinue(record, previous);
    switch (record.type) {
      case kFilePass:
        throw WorkbookError(
            "The workbook is encrypted (protected by a password to open), which cannot be read");
      case kBoundSheet:
        globals.sheets.push_back(ReadBoundSheet(record));
        break;
      case kSst:
        sst_parts = {record.data};
        break;
      case kContinue:
        if (previous == kSst) sst_parts.push_back(record.data);
        break;
      case kFormat: {
        RequireSize(record, 4);
        size_t at = 4;
        formats[ReadU16(record.data, 0)] = ReadCharacters(record.data, at, ReadU16(record.data, 2));
        break;
      }
      case kXf:
        RequireSize(record, 4);
        style_formats.push_back(ReadU16(record.data, 2));
        break;
      case kName:
        name_records.names.push_back(record.data);
        break;
      case kExternSheet:
        name_records.extern_sheet = record.data;
        break;
      case kSupBook:
        name_records.sup_books.push_back(record.data);
        break;
      case kWindow1:
        RequireSize(record, 12);
        if (!window_seen) globals.active_tab = ReadU16(record.data, 10);
        window_seen = true;
        break;
      case kRecalcId:
        RequireSize(record, 8);
        globals.recalc_id_offset = record.offset;
        break;
      default:
        break;
    }
    if (record.type == kEof) {
      globals.end = record.end();
      break;
    }
    // CONTINUE records of the shared strings keep counting as part of them.
    if (record.type != kContinue) previous = record.type;
    offset = record.end();
  }
  if (!sst_parts.empty()) globals.strings = ReadSharedStrings(sst_parts);
  globals.date_styles.reserve(style_formats.size());
  for (std::uint16_t format : style_formats) {
    auto code = formats.find(format);
    globals.date_styles.push_back(code != formats.end() ? IsDateFormatCode(code->second)
                                                        : IsBuiltInDateFormat(format));
  }
  globals.names = ResolveNames(name_records, globals.sheets.size());
  return globals;
}

}  // namespace tarvex::workbook::biff
