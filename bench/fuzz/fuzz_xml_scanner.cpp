// The XML scanner against the one it replaced (bench/fuzz/reference_xml_scanner.h): the same
// tokens with the same names, attributes, places and text, and the same failure at the same
// token; a plain cell taken whole must stand for exactly the tokens the reference gives for it;
// and a sheet's cells read through the table must be the cells that the reference's reading
// gives, or fail with the same words, whether the part is scanned whole or in pieces on several
// threads. With the first byte odd, the rest is put inside a sheet's
// sheetData, so that most inputs reach the cells.
#include <bit>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "bench/fuzz/fuzz_support.h"
#include "bench/fuzz/reference_xml_scanner.h"
#include "workbook/openxml/sheet.h"
#include "workbook/openxml/sheet_table.h"
#include "workbook/openxml/xml_scanner.h"

namespace {

namespace openxml = tarvex::workbook::openxml;
using tarvex::workbook::CellArea;
using tarvex::workbook::CellKind;
using tarvex::workbook::CellValue;
using tarvex::workbook::SheetLimits;
using tarvex::workbook::WorkbookError;
using Reference = tarvex::fuzz::reference::XmlScanner;
using Token = openxml::XmlScanner::Token;

void Check(bool same) {
  if (!same) __builtin_trap();
}

// The reference's next token, or its failure's words.
std::optional<std::string> Step(Reference& scanner, Reference::Token& token) {
  try {
    token = scanner.Next();
    return std::nullopt;
  } catch (const WorkbookError& failure) {
    return std::string(failure.what());
  }
}

void CheckAttributes(const std::vector<openxml::XmlAttribute>& a,
                     const std::vector<openxml::XmlAttribute>& b) {
  Check(a.size() == b.size());
  for (size_t i = 0; i < a.size(); ++i) {
    Check(a[i].name == b[i].name && a[i].value == b[i].value && a[i].begin == b[i].begin &&
          a[i].end == b[i].end);
  }
}

// The reference's tokens for a plain cell that the scanner took whole.
void CheckPlainCell(const openxml::XmlScanner& scanner, Reference& reference) {
  Reference::Token token;
  Check(!Step(reference, token) && token == Reference::Token::kStart);
  Check(reference.Name() == scanner.Name() && reference.TokenBegin() == scanner.TokenBegin() &&
        reference.Depth() == scanner.Depth());
  CheckAttributes(reference.Attributes(), scanner.Attributes());
  if (scanner.PlainHasValue()) {
    Check(!Step(reference, token) && token == Reference::Token::kStart);
    std::string text;
    Check(!Step(reference, token));
    if (token == Reference::Token::kText) {
      reference.AppendText(text);
      Check(!Step(reference, token));
    }
    Check(text == scanner.PlainValue() && token == Reference::Token::kEnd);
  }
  Check(!Step(reference, token) && token == Reference::Token::kEnd);
  Check(reference.TokenEnd() == scanner.TokenEnd() && reference.Depth() == scanner.Depth());
}

void CompareTokens(std::string_view xml) {
  openxml::XmlScanner scanner(xml, "sheet.xml");
  Reference reference(xml, "sheet.xml");
  size_t open = 0;
  std::string prefix;
  for (;;) {
    if (scanner.NextPlainCell(prefix, open + 1)) {
      CheckPlainCell(scanner, reference);
      continue;
    }
    Reference::Token expected;
    const std::optional<std::string> expected_failure = Step(reference, expected);
    Token token;
    try {
      token = scanner.Next();
    } catch (const WorkbookError& failure) {
      Check(expected_failure && *expected_failure == failure.what());
      return;
    }
    Check(!expected_failure && static_cast<int>(token) == static_cast<int>(expected));
    Check(scanner.TokenBegin() == reference.TokenBegin() &&
          scanner.TokenEnd() == reference.TokenEnd() && scanner.Depth() == reference.Depth());
    if (token == Token::kEndOfDocument) return;
    if (token == Token::kText) {
      std::string a, b;
      scanner.AppendText(a);
      reference.AppendText(b);
      Check(a == b);
      continue;
    }
    Check(scanner.Name() == reference.Name() &&
          scanner.IsEmptyElement() == reference.IsEmptyElement());
    if (token == Token::kStart) {
      CheckAttributes(scanner.Attributes(), reference.Attributes());
      prefix = scanner.Prefix();
      open = scanner.IsEmptyElement() ? scanner.Depth() - 1 : scanner.Depth();
    } else {
      open = scanner.Depth() - 1;
    }
  }
}

// Smaller than a real sheet's, so that each run allocates little; both sides take the same.
constexpr SheetLimits kLimits{65536, 1024};
constexpr CellArea kArea{0, 0, 60, 12};
const std::vector<bool> kDateStyles = {false, true, false};
const std::vector<std::string> kSharedStrings = {"one", "", "3.5"};

openxml::CellContext Context() {
  openxml::CellContext context;
  context.date_styles = &kDateStyles;
  context.shared_string = [](std::uint64_t index) -> const std::string& {
    if (index >= kSharedStrings.size())
      throw WorkbookError("no shared string " + std::to_string(index));
    return kSharedStrings[index];
  };
  return context;
}

using Cells = std::variant<std::vector<CellValue>, std::string>;

// The cells of the area as the reading before the table read them: one pass of the reference
// scanner; the first cell of the area that cannot be converted fails the read, else damage
// found anywhere in the part does.
Cells ReferenceCells(std::string_view xml) {
  const openxml::CellContext context = Context();
  const size_t width = static_cast<size_t>(kArea.last_column + 1);
  std::vector<CellValue> cells(static_cast<size_t>(kArea.last_row + 1) * width);
  std::optional<std::string> failure, damage;
  Reference scanner(xml, "sheet.xml");
  bool in_data = false, data_seen = false, in_cell = false, in_area = false, has_value = false,
       has_formula = false;
  std::vector<bool> row_seen(static_cast<size_t>(kLimits.rows));
  std::vector<std::int64_t> row_of_column(static_cast<size_t>(kLimits.columns), -1);
  std::int64_t row = -1, column = -1;
  std::string_view type, style;
  std::string text;
  size_t text_depth = 0, phonetic_depth = 0;
  try {
    for (Reference::Token token; (token = scanner.Next()) != Reference::Token::kEndOfDocument;) {
      const size_t depth = scanner.Depth();
      if (token == Reference::Token::kText) {
        if (in_area && depth == text_depth) scanner.AppendText(text);
        continue;
      }
      std::string_view name = scanner.LocalName();
      if (token == Reference::Token::kStart) {
        if (depth == 2 && name == "sheetData") {
          if (data_seen) throw WorkbookError("The part sheet.xml holds a second sheetData");
          in_data = data_seen = true;
        } else if (in_data && depth == 3 && name == "row") {
          row = openxml::RowNumber(scanner.Attribute("r"), row, kLimits, "sheet.xml",
                                   scanner.TokenBegin());
          if (row_seen[static_cast<size_t>(row)]) {
            throw WorkbookError("The row " + std::to_string(row + 1) +
                                " of sheet.xml appears twice");
          }
          row_seen[static_cast<size_t>(row)] = true;
          column = -1;
        } else if (in_data && depth == 4 && name == "c") {
          column = openxml::ColumnNumber(scanner.Attribute("r"), row, column, kLimits, "sheet.xml");
          if (row_of_column[static_cast<size_t>(column)] == row) {
            throw WorkbookError("The cell " + tarvex::workbook::CellName(row, column) +
                                " of sheet.xml appears twice");
          }
          row_of_column[static_cast<size_t>(column)] = row;
          in_cell = true;
          in_area = row <= kArea.last_row && column <= kArea.last_column;
          if (in_area) {
            type = scanner.Attribute("t").value_or("");
            style = scanner.Attribute("s").value_or("");
            text.clear();
            has_value = has_formula = false;
          }
        } else if (in_cell && in_area) {
          if (depth == 5 && name == "v" && type != "inlineStr") {
            text_depth = depth;
            has_value = true;
          } else if (depth == 5 && name == "f") {
            has_formula = true;
          } else if (name == "rPh" && phonetic_depth == 0) {
            phonetic_depth = depth;
          } else if (name == "t" && phonetic_depth == 0 && type == "inlineStr") {
            text_depth = depth;
            has_value = true;
          }
        }
        continue;
      }
      if (depth == text_depth) text_depth = 0;
      if (depth == phonetic_depth) phonetic_depth = 0;
      if (in_cell && depth == 4) {
        in_cell = false;
        if (!in_area) continue;
        try {
          cells[static_cast<size_t>(row) * width + static_cast<size_t>(column)] =
              openxml::ConvertCell(type, style, text, has_value, has_formula, context, "sheet.xml",
                                   row, column);
        } catch (const WorkbookError& error) {
          if (!failure) failure = error.what();
        }
      } else if (depth == 2 && name == "sheetData") {
        in_data = false;
      }
    }
  } catch (const WorkbookError& error) {
    damage = error.what();
  }
  if (failure) return *failure;
  if (damage) return *damage;
  return cells;
}

template <typename Read>
Cells Attempt(Read read) {
  try {
    return read();
  } catch (const WorkbookError& error) {
    return std::string(error.what());
  }
}

void CheckSame(const Cells& a, const Cells& b) {
  Check(a.index() == b.index());
  if (a.index() == 1) {
    Check(std::get<1>(a) == std::get<1>(b));
    return;
  }
  const auto& x = std::get<0>(a);
  const auto& y = std::get<0>(b);
  Check(x.size() == y.size());
  for (size_t i = 0; i < x.size(); ++i) {
    Check(x[i].kind == y[i].kind && x[i].text == y[i].text &&
          std::bit_cast<std::uint64_t>(x[i].number) == std::bit_cast<std::uint64_t>(y[i].number));
  }
}

void CompareCells(std::string_view xml) {
  const Cells expected = ReferenceCells(xml);
  const openxml::CellContext context = Context();
  CheckSame(
      Attempt([&] { return openxml::ReadSheetCells(xml, "sheet.xml", kLimits, kArea, context); }),
      expected);
  // The table of the whole part gives every range what a scan for that range alone gives.
  CheckSame(
      Attempt([&] {
        return openxml::SheetTable(xml, "sheet.xml", kLimits, &kDateStyles).Read(kArea, context);
      }),
      expected);
  // The same scanned in pieces, each piece from a row of its own.
  CheckSame(Attempt([&] {
              return openxml::SheetTable(xml, "sheet.xml", kLimits, &kDateStyles, nullptr, 1)
                  .Read(kArea, context);
            }),
            expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  std::string_view rest = tarvex::fuzz::AsText(data + 1, size - 1);
  const std::string xml =
      data[0] % 2 == 0 ? std::string(rest)
                       : "<worksheet><sheetData>" + std::string(rest) + "</sheetData></worksheet>";
  CompareTokens(xml);
  CompareCells(xml);
  return 0;
}
