// The XML scanner as the workbook reader had it before its vector search and its path for plain
// cells: kept only as the reference that the differential fuzz target compares the scanner with.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "workbook/openxml/xml_scanner.h"

namespace tarvex::fuzz::reference {

using workbook::openxml::XmlAttribute;

class XmlScanner {
 public:
  enum class Token { kStart, kEnd, kText, kEndOfDocument };

  // part names the text in failure descriptions.
  XmlScanner(std::string_view text, std::string_view part);

  // Moves to the next token. Throws WorkbookError when the text is not well-formed.
  Token Next();

  // kStart and kEnd: the element's name as written, and without its namespace prefix.
  std::string_view Name() const { return name_; }
  std::string_view LocalName() const;
  // The prefix with its colon ("x:"), or nothing.
  std::string_view Prefix() const { return name_.substr(0, name_.size() - LocalName().size()); }
  // kStart of <a/>; its kEnd follows at once, empty, at the end of the tag.
  bool IsEmptyElement() const { return empty_element_; }
  const std::vector<XmlAttribute>& Attributes() const { return attributes_; }
  // The attribute of that name as written (prefix included), its value as written.
  const XmlAttribute* FindAttribute(std::string_view name) const;
  std::optional<std::string_view> Attribute(std::string_view name) const;

  // Where the current token starts and ends in the text.
  size_t TokenBegin() const { return token_begin_; }
  size_t TokenEnd() const { return position_; }
  // Elements open around the current token; a root's kStart and kEnd are at depth 1.
  size_t Depth() const { return depth_; }

  // kText: the character data, references replaced (a CDATA section as it stands).
  void AppendText(std::string& out) const;

  std::string_view text() const { return text_; }
  std::string_view part() const { return part_; }
  [[noreturn]] void Fail(std::string_view what, size_t position) const;

 private:
  std::string_view ScanName(const char* what);
  void ScanStartTag();
  void ScanEndTag();
  void SkipSpace();
  bool SkipSpaceRequired();
  void CheckReferences(std::string_view raw, size_t offset) const;

  std::string_view text_;
  std::string_view part_;
  size_t position_ = 0;
  size_t token_begin_ = 0;
  size_t depth_ = 0;
  std::vector<std::string_view> open_;
  bool root_seen_ = false;
  bool pending_end_ = false;
  bool empty_element_ = false;
  bool cdata_ = false;
  std::string_view name_;
  std::string_view raw_text_;
  std::vector<XmlAttribute> attributes_;
};

}  // namespace tarvex::fuzz::reference
