// The workbook-wide parts of an Office Open XML package: the workbook part with its sheets,
// defined names and active sheet, the cell styles that make a number a date, the shared strings.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "workbook/openxml/zip_package.h"

namespace tarvex::workbook::openxml {

struct BookSheet {
  std::string name;
  std::string part;  // zip entry of the worksheet part
};

struct BookName {
  std::string name;
  std::string reference;  // as written: "Data!$A$1:$B$2"
};

struct BookParts {
  std::string workbook_part;
  std::vector<BookSheet> sheets;  // worksheets in workbook order; chart sheets are left out
  size_t active = 0;              // index into sheets
  std::vector<BookName> names;    // workbook-level defined names only
  std::string shared_strings_part;
  std::string styles_part;
  std::string calc_chain_part;
  std::string calc_chain_id;  // its relationship in the workbook part's relationships
};

// Follows the package relationships to the workbook part and from there to its worksheets and
// shared parts. Throws WorkbookError for a relationship that points nowhere, or a workbook
// without worksheets.
BookParts ReadBookParts(const ZipPackage& package);

// For each cell format (the s attribute of a cell), whether it shows numbers as dates or times.
std::vector<bool> ReadDateStyles(std::string_view styles_xml, std::string_view part);

// The shared strings in order; each is the text of its runs, phonetic runs left out.
std::vector<std::string> ReadSharedStrings(std::string_view xml, std::string_view part);

}  // namespace tarvex::workbook::openxml
