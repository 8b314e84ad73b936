// Edits of the workbook-wide parts after a sheet was written, each a splice of their text.
#include "workbook/openxml/edits.h"

#include <array>
#include <optional>

#include "platform/text.h"
#include "workbook/format/workbook_file.h"
#include "workbook/openxml/xml_scanner.h"

namespace tarvex::workbook::openxml {

namespace {

// The workbook's children that follow calcPr in the schema's order.
constexpr std::array<std::string_view, 9> kAfterCalcPr = {
    "oleSize",       "customWorkbookViews", "pivotCaches",       "smartTagPr", "smartTagTypes",
    "webPublishing", "fileRecoveryPr",      "webPublishObjects", "extLst"};

bool FollowsCalcPr(std::string_view name) {
  for (std::string_view after : kAfterCalcPr) {
    if (name == after) return true;
  }
  return false;
}

}  // namespace

std::string WithFullCalcOnLoad(std::string_view workbook_xml, std::string_view part) {
  std::string out(workbook_xml);
  XmlScanner scanner(workbook_xml, part);
  using Token = XmlScanner::Token;
  std::string prefix;
  for (Token token; (token = scanner.Next()) != Token::kEndOfDocument;) {
    if (token == Token::kStart && scanner.Depth() == 1) prefix = scanner.Prefix();
    if (token == Token::kStart && scanner.Depth() == 2 && scanner.LocalName() == "calcPr") {
      if (const XmlAttribute* full = scanner.FindAttribute("fullCalcOnLoad")) {
        const size_t begin = full->end - 1 - full->value.size();
        return out.replace(begin, full->value.size(), "1");
      }
      return out.insert(scanner.TokenBegin() + 1 + scanner.Name().size(), " fullCalcOnLoad=\"1\"");
    }
    const bool before_follower =
        token == Token::kStart && scanner.Depth() == 2 && FollowsCalcPr(scanner.LocalName());
    const bool at_root_end = token == Token::kEnd && scanner.Depth() == 1;
    if (before_follower || at_root_end) {
      return out.insert(scanner.TokenBegin(), "<" + prefix + "calcPr fullCalcOnLoad=\"1\"/>");
    }
  }
  throw WorkbookError("The part " + std::string(part) + " holds no workbook");
}

std::string WithoutElements(std::string_view xml, std::string_view part,
                            std::string_view local_name, std::string_view attribute,
                            std::string_view value) {
  std::string out;
  size_t copied = 0;
  std::optional<size_t> removing;
  XmlScanner scanner(xml, part);
  using Token = XmlScanner::Token;
  for (Token token; (token = scanner.Next()) != Token::kEndOfDocument;) {
    if (scanner.Depth() != 2 || token == Token::kText) continue;
    if (token == Token::kStart && scanner.LocalName() == local_name) {
      std::string decoded;
      AppendXmlDecoded(decoded, scanner.Attribute(attribute).value_or(""));
      if (platform::EqualIgnoringAsciiCase(decoded, value)) removing = scanner.TokenBegin();
    } else if (token == Token::kEnd && removing) {
      out.append(xml, copied, *removing - copied);
      copied = scanner.TokenEnd();
      removing.reset();
    }
  }
  out.append(xml, copied);
  return out;
}

}  // namespace tarvex::workbook::openxml
