// The records of a BIFF8 Workbook stream: their types, reading one record with its bounds
// checked, and reading strings that run on through CONTINUE records.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::workbook::biff {

enum RecordType : std::uint16_t {
  kFormula = 0x0006,
  kEof = 0x000A,
  kExternSheet = 0x0017,
  kName = 0x0018,
  kFilePass = 0x002F,
  kContinue = 0x003C,
  kWindow1 = 0x003D,
  kDefColWidth = 0x0055,
  kColInfo = 0x007D,
  kBoundSheet = 0x0085,
  kMulRk = 0x00BD,
  kMulBlank = 0x00BE,
  kDbCell = 0x00D7,
  kRString = 0x00D6,
  kXf = 0x00E0,
  kSst = 0x00FC,
  kLabelSst = 0x00FD,
  kRecalcId = 0x01C1,
  kSupBook = 0x01AE,
  kDimensions = 0x0200,
  kBlank = 0x0201,
  kNumber = 0x0203,
  kLabel = 0x0204,
  kBoolErr = 0x0205,
  kString = 0x0207,
  kRow = 0x0208,
  kIndex = 0x020B,
  kArray = 0x0221,
  kDefaultRowHeight = 0x0225,
  kTable = 0x0236,
  kRk = 0x027E,
  kFormat = 0x041E,
  kShrFmla = 0x04BC,
  kBof = 0x0809,
};

inline constexpr std::uint16_t kBiff8Version = 0x0600;
inline constexpr std::uint16_t kWorkbookGlobals = 0x0005;
inline constexpr std::uint16_t kWorksheet = 0x0010;
inline constexpr size_t kHeaderSize = 4;
inline constexpr size_t kMaxRecordData = 8224;
inline constexpr std::int64_t kRowLimit = 65536;
inline constexpr std::int64_t kColumnLimit = 256;
// Field offsets in the records' data, the format's own field names in the comments.
inline constexpr size_t kBofVersion = 0;          // BOF.vers
inline constexpr size_t kBofType = 2;             // BOF.dt
inline constexpr size_t kBoundSheetPosition = 0;  // BOUNDSHEET.lbPlyPos
inline constexpr size_t kBoundSheetType = 5;      // BOUNDSHEET.dt
inline constexpr size_t kBoundSheetNameSize = 6;  // BOUNDSHEET.cch
inline constexpr size_t kBoundSheetName = 7;      // BOUNDSHEET.rgch, after its flags byte
inline constexpr size_t kFormatIndex = 0;         // FORMAT.ifmt
inline constexpr size_t kFormatCodeSize = 2;      // FORMAT.cch
inline constexpr size_t kFormatCode = 4;          // FORMAT.rgb, after its flags byte
inline constexpr size_t kXfFormat = 2;            // XF.ifmt
inline constexpr size_t kWindow1ActiveTab = 10;   // WINDOW1.itabCur
inline constexpr size_t kRecalcIdEngine = 4;      // RECALCID.dwBuild
// Every cell record opens with its row, column and style: NUMBER, RK, LABELSST, LABEL, BOOLERR,
// FORMULA, BLANK; MULRK and MULBLANK with the first column.
inline constexpr size_t kCellRow = 0;     // rw
inline constexpr size_t kCellColumn = 2;  // col, colFirst
inline constexpr size_t kCellStyle = 4;   // ixfe
inline constexpr size_t kCellValue = 6;   // NUMBER.num, RK.rk, LABELSST.isst
inline constexpr size_t kLabelSize = 6;   // LABEL.cch
inline constexpr size_t kLabelText = 8;   // LABEL.rgb, after its flags byte
// A LABEL record holds at most this many characters (UTF-16 code units).
inline constexpr size_t kMostLabelCharacters = 255;
inline constexpr size_t kBoolErrValue = 6;    // BOOLERR.bBoolErr
inline constexpr size_t kBoolErrIsError = 7;  // BOOLERR.fError
inline constexpr size_t kMulCells = 4;  // MULRK.rgrkrec (ixfe and rk, 6 bytes), MULBLANK.rgixfe
inline constexpr size_t kFormulaResult = 6;          // FORMULA.num; for a result that is no number,
inline constexpr size_t kFormulaOtherValue = 8;      //   its kind stands there and its value here,
inline constexpr size_t kFormulaResultMark = 12;     //   and 0xFFFF here (fExprO) marks it
inline constexpr size_t kRowRow = 0;                 // ROW.rw
inline constexpr size_t kRowFirstColumn = 2;         // ROW.colMic
inline constexpr size_t kRowEndColumn = 4;           // ROW.colMac, one past the last
inline constexpr size_t kRowFlags = 12;              // ROW.grbit
inline constexpr size_t kRowStyle = 14;              // ROW.ixfe_val
inline constexpr size_t kColInfoFirst = 0;           // COLINFO.colFirst
inline constexpr size_t kColInfoLast = 2;            // COLINFO.colLast
inline constexpr size_t kColInfoStyle = 6;           // COLINFO.ixfe
inline constexpr size_t kDimensionsFirstRow = 0;     // DIMENSIONS.rwMic
inline constexpr size_t kDimensionsEndRow = 4;       // DIMENSIONS.rwMac, one past the last
inline constexpr size_t kDimensionsFirstColumn = 8;  // DIMENSIONS.colMic
inline constexpr size_t kDimensionsEndColumn = 10;   // DIMENSIONS.colMac, one past the last
inline constexpr size_t kIndexFirstRow = 4;          // INDEX.rwMic
inline constexpr size_t kIndexEndRow = 8;            // INDEX.rwMac
inline constexpr size_t kIndexDefColWidth = 12;      // INDEX.ibXF: where DEFCOLWIDTH stands
inline constexpr size_t kIndexDbCells = 16;          // INDEX.rgibRw: where each DBCELL stands
inline constexpr size_t kDefaultRowHeightValue = 2;  // DEFAULTROWHEIGHT.miyRw

// How messages about a cell beyond those limits end.
inline constexpr const char* kLimitsText = "the sheet's limits of 65,536 rows and 256 columns";

struct Record {
  std::uint16_t type = 0;
  size_t offset = 0;  // of the record's header in the stream
  std::string_view data;
  size_t end() const { return offset + kHeaderSize + data.size(); }
};

// Throws WorkbookError saying that the Workbook stream is damaged, and how.
[[noreturn]] void Damaged(const std::string& what);

// The record whose header starts at offset; throws when it runs past the end of the stream.
Record ReadRecord(std::string_view stream, size_t offset);

// Throws unless the record holds at least size bytes of data.
void RequireSize(const Record& record, size_t size);

// Throws when record is a CONTINUE record that follows a record of type previous, which never
// continues; other records may carry CONTINUE records that this reader does not interpret.
void CheckContinue(const Record& record, std::uint16_t previous);

// A string's text from one record: count characters after a flag byte that says whether they
// are one byte (Latin-1) or two (UTF-16). Advances at past them; throws when they do not fit.
std::string ReadCharacters(std::string_view data, size_t& at, size_t count);

// The data of a record and of the CONTINUE records after it, read as one sequence. Characters of
// a string resume after a CONTINUE boundary behind a fresh flag byte; other fields do not.
class ContinuedData {
 public:
  explicit ContinuedData(std::vector<std::string_view> parts) : parts_(std::move(parts)) {}

  std::uint8_t U8();
  std::uint16_t U16();
  std::uint32_t U32();
  void Skip(size_t size);
  // Appends count characters as UTF-8; wide says whether they start as two-byte characters.
  void AppendCharacters(std::string& out, size_t count, bool wide);
  // One XLUnicodeRichExtendedString (the shared-string table's form) as UTF-8.
  std::string RichString();

 private:
  // Moves to the next part when the current one is used up; throws at the end of all parts.
  std::string_view Remaining();
  void ReadInto(unsigned char* out, size_t size);

  std::vector<std::string_view> parts_;
  size_t part_ = 0;
  size_t at_ = 0;
  std::u16string units_;
};

}  // namespace tarvex::workbook::biff
