// Reading records with their bounds checked, and strings that run on through CONTINUE records.
#include "workbook/biff/records.h"

#include "platform/little_endian.h"
#include "workbook/compound/utf16_text.h"
#include "workbook/format/workbook_file.h"

namespace tarvex::workbook::biff {

using compound::AppendLatin1;
using compound::AppendUtf16;

using platform::ReadU16;

void Damaged(const std::string& what) {
  throw WorkbookError("The Workbook stream is damaged: " + what);
}

Record ReadRecord(std::string_view stream, size_t offset) {
  if (offset > stream.size() || stream.size() - offset < kHeaderSize) {
    Damaged("a record header at byte " + std::to_string(offset) + " runs past the end");
  }
  Record record;
  record.type = ReadU16(stream, offset);
  record.offset = offset;
  size_t size = ReadU16(stream, offset + 2);
  if (stream.size() - offset - kHeaderSize < size) {
    Damaged("the record at byte " + std::to_string(offset) + " runs past the end of the stream");
  }
  record.data = stream.substr(offset + kHeaderSize, size);
  return record;
}

void RequireSize(const Record& record, size_t size) {
  if (record.data.size() < size) {
    Damaged("the record at byte " + std::to_string(record.offset) + " is too short for its type");
  }
}

void CheckContinue(const Record& record, std::uint16_t previous) {
  if (record.type != kContinue) return;
  switch (previous) {
    case kBof:
    case kEof:
    case kBoundSheet:
    case kXf:
    case kFormat:
    case kWindow1:
    case kRecalcId:
    case kFilePass:
    case kIndex:
    case kDimensions:
    case kRow:
    case kDbCell:
    case kNumber:
    case kRk:
    case kMulRk:
    case kLabelSst:
    case kLabel:
    case kBlank:
    case kMulBlank:
    case kBoolErr:
    case kFormula:
      Damaged("a CONTINUE record at byte " + std::to_string(record.offset) +
              " follows a record that cannot continue");
    default:
      return;
  }
}

std::string ReadCharacters(std::string_view data, size_t& at, size_t count) {
  if (at >= data.size()) Damaged("a string runs past the end of its record");
  bool wide = (data[at] & 0x01) != 0;
  ++at;
  size_t size = wide ? 2 * count : count;
  if (data.size() - at < size) Damaged("a string runs past the end of its record");
  std::string text;
  if (wide) {
    std::u16string units(count, u'\0');
    for (size_t i = 0; i < count; ++i) units[i] = ReadU16(data, at + 2 * i);
    AppendUtf16(text, units);
  } else {
    AppendLatin1(text, data.substr(at, count));
  }
  at += size;
  return text;
}

std::string_view ContinuedData::Remaining() {
  while (part_ < parts_.size() && at_ >= parts_[part_].size()) {
    ++part_;
    at_ = 0;
  }
  if (part_ >= parts_.size()) Damaged("a string runs past the end of its records");
  return parts_[part_].substr(at_);
}

void ContinuedData::ReadInto(unsigned char* out, size_t size) {
  while (size > 0) {
    std::string_view rest = Remaining();
    size_t take = std::min(size, rest.size());
    for (size_t i = 0; i < take; ++i) out[i] = static_cast<unsigned char>(rest[i]);
    out += take;
    size -= take;
    at_ += take;
  }
}

std::uint8_t ContinuedData::U8() {
  unsigned char value;
  ReadInto(&value, 1);
  return value;
}

std::uint16_t ContinuedData::U16() {
  unsigned char b[2];
  ReadInto(b, 2);
  return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
}

std::uint32_t ContinuedData::U32() {
  std::uint32_t low = U16();
  return low | (static_cast<std::uint32_t>(U16()) << 16);
}

void ContinuedData::Skip(size_t size) {
  while (size > 0) {
    size_t take = std::min(size, Remaining().size());
    at_ += take;
    size -= take;
  }
}

void ContinuedData::AppendCharacters(std::string& out, size_t count, bool wide) {
  units_.clear();
  while (units_.size() < count) {
    if (part_ >= parts_.size() || at_ >= parts_[part_].size()) {
      // A string continued in the next record starts that record with a fresh flag byte.
      Remaining();
      wide = (U8() & 0x01) != 0;
    }
    std::string_view rest = Remaining();
    size_t want = count - units_.size();
    if (wide) {
      size_t take = std::min(want, rest.size() / 2);
      if (take == 0) Damaged("a two-byte character is split between records");
      for (size_t i = 0; i < take; ++i) units_.push_back(ReadU16(rest, 2 * i));
      at_ += 2 * take;
    } else {
      size_t take = std::min(want, rest.size());
      for (size_t i = 0; i < take; ++i) units_.push_back(static_cast<unsigned char>(rest[i]));
      at_ += take;
    }
  }
  AppendUtf16(out, units_);
}

std::string ContinuedData::RichString() {
  size_t count = U16();
  std::uint8_t flags = U8();
  size_t runs = (flags & 0x08) ? U16() : 0;
  size_t extension = (flags & 0x04) ? U32() : 0;
  std::string text;
  AppendCharacters(text, count, (flags & 0x01) != 0);
  Skip(4 * runs + extension);
  return text;
}

}  // namespace tarvex::workbook::biff
