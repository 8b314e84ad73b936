// Reading the workbook part, the styles and the shared strings of an Office Open XML package.
#include "workbook/openxml/book.h"

#include <charconv>
#include <map>

#include "workbook/format/number_format.h"
#include "workbook/format/workbook_file.h"
#include "workbook/openxml/parts.h"
#include "workbook/openxml/xml_scanner.h"

namespace tarvex::workbook::openxml {

namespace {

size_t ToIndex(std::string_view text, size_t fallback) {
  size_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() ? value : fallback;
}

[[noreturn]] void Dangling(const std::string& source, const Relationship& relationship) {
  throw WorkbookError("The relationship " + relationship.id + " of " + source + " points to " +
                      relationship.target + ", which the package does not hold");
}

}  // namespace

BookParts ReadBookParts(const ZipPackage& package) {
  BookParts book;
  for (const Relationship& relationship : ReadRelationships(package, "")) {
    if (relationship.external || !IsRelationshipOf(relationship.type, "officeDocument")) continue;
    if (!package.Find(relationship.target, book.workbook_part))
      Dangling("_rels/.rels", relationship);
    break;
  }
  if (book.workbook_part.empty()) {
    throw WorkbookError("The package has no workbook part (_rels/.rels names none)");
  }
  std::map<std::string, Relationship> by_id;
  for (Relationship& relationship : ReadRelationships(package, book.workbook_part)) {
    if (relationship.external) continue;
    std::string entry;
    const bool held = package.Find(relationship.target, entry);
    if (IsRelationshipOf(relationship.type, "sharedStrings") && held) {
      book.shared_strings_part = entry;
    } else if (IsRelationshipOf(relationship.type, "styles") && held) {
      book.styles_part = entry;
    } else if (IsRelationshipOf(relationship.type, "calcChain") && held) {
      book.calc_chain_part = entry;
      book.calc_chain_id = relationship.id;
    }
    if (held) relationship.target = entry;
    by_id.emplace(relationship.id, std::move(relationship));
  }

  pugi::xml_document document = ParseXmlPart(package.Read(book.workbook_part), book.workbook_part);
  pugi::xml_node root = ChildNamed(document, "workbook");
  if (!root) throw WorkbookError("The part " + book.workbook_part + " holds no workbook");
  const size_t active_tab = ToIndex(
      AttributeNamed(ChildNamed(ChildNamed(root, "bookViews"), "workbookView"), "activeTab"), 0);
  size_t tab = 0;
  for (pugi::xml_node sheet : ChildNamed(root, "sheets").children()) {
    if (LocalNameOf(sheet.name()) != "sheet") continue;
    std::string id(AttributeNamed(sheet, "id"));
    auto found = by_id.find(id);
    if (found == by_id.end()) {
      throw WorkbookError("The sheet '" + std::string(AttributeNamed(sheet, "name")) +
                          "' refers to the relationship '" + id + "', which " + book.workbook_part +
                          " does not have");
    }
    const Relationship& relationship = found->second;
    if (IsRelationshipOf(relationship.type, "worksheet")) {
      if (!package.Has(relationship.target)) Dangling(book.workbook_part, relationship);
      if (tab == active_tab) book.active = book.sheets.size();
      book.sheets.push_back({std::string(AttributeNamed(sheet, "name")), relationship.target});
    }
    ++tab;
  }
  if (book.sheets.empty()) {
    throw WorkbookError("The workbook " + book.workbook_part + " has no worksheet");
  }
  for (pugi::xml_node name : ChildNamed(root, "definedNames").children()) {
    if (LocalNameOf(name.name()) != "definedName") continue;
    if (!AttributeNamed(name, "localSheetId").empty()) continue;  // a sheet's own name
    book.names.push_back({std::string(AttributeNamed(name, "name")), name.child_value()});
  }
  return book;
}

std::vector<bool> ReadDateStyles(std::string_view styles_xml, std::string_view part) {
  pugi::xml_document document = ParseXmlPart(styles_xml, part);
  pugi::xml_node root = ChildNamed(document, "styleSheet");
  std::map<int, std::string> codes;
  for (pugi::xml_node format : ChildNamed(root, "numFmts").children()) {
    if (LocalNameOf(format.name()) != "numFmt") continue;
    codes[static_cast<int>(ToIndex(AttributeNamed(format, "numFmtId"), 0))] =
        AttributeNamed(format, "formatCode");
  }
  std::vector<bool> dates;
  for (pugi::xml_node xf : ChildNamed(root, "cellXfs").children()) {
    if (LocalNameOf(xf.name()) != "xf") continue;
    const int id = static_cast<int>(ToIndex(AttributeNamed(xf, "numFmtId"), 0));
    // A code stored in the workbook wins over the built-in one of the same number.
    auto code = codes.find(id);
    dates.push_back(code != codes.end() ? IsDateFormatCode(code->second) : IsBuiltInDateFormat(id));
  }
  return dates;
}

std::vector<std::string> ReadSharedStrings(std::string_view xml, std::string_view part) {
  std::vector<std::string> strings;
  XmlScanner scanner(xml, part);
  // Inside <si>: the text of <t> elements, except those of phonetic runs (<rPh>).
  size_t item_depth = 0, phonetic_depth = 0, text_depth = 0;
  for (XmlScanner::Token token; (token = scanner.Next()) != XmlScanner::Token::kEndOfDocument;) {
    if (token == XmlScanner::Token::kStart) {
      std::string_view name = scanner.LocalName();
      if (scanner.Depth() == 2 && name == "si") {
        item_depth = 2;
        strings.emplace_back();
      } else if (item_depth != 0 && name == "rPh" && phonetic_depth == 0) {
        phonetic_depth = scanner.Depth();
      } else if (item_depth != 0 && phonetic_depth == 0 && name == "t") {
        text_depth = scanner.Depth();
      }
    } else if (token == XmlScanner::Token::kEnd) {
      if (scanner.Depth() == text_depth) text_depth = 0;
      if (scanner.Depth() == phonetic_depth) phonetic_depth = 0;
      if (scanner.Depth() == item_depth) item_depth = 0;
    } else if (text_depth != 0 && scanner.Depth() == text_depth) {
      scanner.AppendText(strings.back());
    }
  }
  return strings;
}

}  // namespace tarvex::workbook::openxml
