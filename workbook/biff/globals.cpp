// The workbook globals substream: sheets, shared strings, number formats, names, active sheet.
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
  sheet.offset = ReadU32(record.data, kBoundSheetPosition);
  sheet.type = static_cast<std::uint8_t>(record.data[kBoundSheetType]);
  sheet.record_offset = record.offset;
  size_t at = kBoundSheetName;
  sheet.name =
      ReadCharacters(record.data, at, static_cast<std::uint8_t>(record.data[kBoundSheetNameSize]));
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
  if (ReadU16(record.data, kBofVersion) != kBiff8Version) RefuseOlderFormat();
  if (ReadU16(record.data, kBofType) != substream_type) {
    Damaged("the BOF record at byte " + std::to_string(record.offset) +
            " opens a substream of an unexpected type");
  }
}

namespace {

// What the globals' records give before the whole substream is read: the shared strings, number
// formats and names are put together only once every record that holds a part has been seen.
struct GlobalsParts {
  NameRecords name_records;
  std::vector<std::string_view> sst_parts;
  std::unordered_map<std::uint16_t, std::string> formats;
  std::vector<std::uint16_t> style_formats;
  bool window_seen = false;
};

// One record of the globals; previous is the type of the last record that was no CONTINUE.
void TakeGlobalsRecord(const Record& record, std::uint16_t previous, Globals& globals,
                       GlobalsParts& parts) {
  switch (record.type) {
    case kFilePass:
      throw WorkbookError(
          "The workbook is encrypted (protected by a password to open), which cannot be read");
    case kBoundSheet:
      globals.sheets.push_back(ReadBoundSheet(record));
      break;
    case kSst:
      parts.sst_parts = {record.data};
      break;
    case kContinue:
      if (previous == kSst) parts.sst_parts.push_back(record.data);
      break;
    case kFormat: {
      RequireSize(record, 4);
      size_t at = kFormatCode;
      parts.formats[ReadU16(record.data, kFormatIndex)] =
          ReadCharacters(record.data, at, ReadU16(record.data, kFormatCodeSize));
      break;
    }
    case kXf:
      RequireSize(record, 4);
      parts.style_formats.push_back(ReadU16(record.data, kXfFormat));
      break;
    case kName:
      parts.name_records.names.push_back(record.data);
      break;
    case kExternSheet:
      parts.name_records.extern_sheet = record.data;
      break;
    case kSupBook:
      parts.name_records.sup_books.push_back(record.data);
      break;
    case kWindow1:
      // A workbook may hold several windows; the first one's active tab is the active sheet.
      RequireSize(record, 12);
      if (!parts.window_seen) globals.active_tab = ReadU16(record.data, kWindow1ActiveTab);
      parts.window_seen = true;
      break;
    case kRecalcId:
      RequireSize(record, 8);
      globals.recalc_id_offset = record.offset;
      break;
    default:
      break;
  }
}

// The shared strings, each style's date rule and the defined names, from their parts.
void AssembleGlobals(GlobalsParts& parts, Globals& globals) {
  if (!parts.sst_parts.empty()) globals.strings = ReadSharedStrings(std::move(parts.sst_parts));
  globals.date_styles.reserve(parts.style_formats.size());
  for (std::uint16_t format : parts.style_formats) {
    auto code = parts.formats.find(format);
    globals.date_styles.push_back(code != parts.formats.end() ? IsDateFormatCode(code->second)
                                                              : IsBuiltInDateFormat(format));
  }
  globals.names = ResolveNames(parts.name_records, globals.sheets.size());
}

}  // namespace

Globals ReadGlobals(std::string_view stream) {
  Globals globals;
  GlobalsParts parts;
  std::uint16_t previous = 0;
  for (size_t offset = 0;;) {
    if (offset >= stream.size()) Damaged("the workbook globals end before their EOF record");
    Record record = ReadRecord(stream, offset);
    if (offset == 0) CheckBof(record, kWorkbookGlobals);
    CheckContinue(record, previous);
    TakeGlobalsRecord(record, previous, globals, parts);
    if (record.type == kEof) {
      globals.end = record.end();
      break;
    }
    // CONTINUE records of the shared strings keep counting as part of them.
    if (record.type != kContinue) previous = record.type;
    offset = record.end();
  }
  AssembleGlobals(parts, globals);
  return globals;
}

}  // namespace tarvex::workbook::biff
