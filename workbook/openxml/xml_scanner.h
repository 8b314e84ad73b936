// A forward-only scanner over the text of an XML part: elements, attributes and character data
// with their positions in the text. Large sheet parts are read without building a tree (a tree
// of a sheet takes five to six times the text) and edited by splicing text, which leaves every
// byte that no edit touches as it was. The scanner checks that the text is well-formed and
// refuses document type declarations, so no entity is ever expanded. It runs at the speed of
// memory where it can: a vector search finds the next character that ends a stretch of text or
// a value, and the plain cells of a sheet's data are taken whole.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarvex::workbook::openxml {

struct XmlAttribute {
  std::string_view name;   // as written, prefix included
  std::string_view value;  // as written between the quotes, references not yet replaced
  size_t begin = 0;        // where the name starts in the text
  size_t end = 0;          // just after the closing quote
};

class XmlScanner {
 public:
  enum class Token { kStart, kEnd, kText, kEndOfDocument };

  // part names the text in failure descriptions.
  XmlScanner(std::string_view text, std::string_view part);
  // Resumes a scan of text at position, inside the open elements named there (the root first),
  // as if a scan from the start had arrived there: for a part scanned in pieces.
  XmlScanner(std::string_view text, std::string_view part, size_t position,
             std::span<const std::string_view> open);

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
  // Where the next token starts; whether the scanner stands there between tokens with that many
  // elements open, as a scan resumed there would.
  size_t Position() const { return position_; }
  bool StandsAt(size_t position, size_t open_elements) const {
    return position_ == position && !pending_end_ && open_.size() == open_elements;
  }

  // kText: the character data, references replaced (a CDATA section as it stands).
  void AppendText(std::string& out) const;

  // The plain cell that makes up most of a sheet's data, scanned whole where the text at the
  // scanner's place is one: <Pc> with no attributes but r, s and t (each at most once, their
  // values free of references and markup), closed by "/>", or by ">", an optional <Pv>value</Pv>
  // (free of references and markup) and </Pc>; P is prefix, and no tag has white space but
  // blanks between its attributes; the cell stands at depth. True with Name(), Attributes(),
  // TokenBegin(), TokenEnd() and Depth() as for the cell's kStart (TokenEnd() after its end), and
  // PlainValue(); false, with the scanner unmoved, for any other text, which Next() scans as
  // always. The tokens that Next() would give for such a cell hold nothing more, so either way a
  // caller sees the same cell.
  bool NextPlainCell(std::string_view prefix, size_t depth);
  // After NextPlainCell: whether the cell has a <v>, and its text (which needs no decoding).
  bool PlainHasValue() const { return plain_has_value_; }
  std::string_view PlainValue() const { return raw_text_; }

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
  bool plain_has_value_ = false;
  std::string_view name_;
  std::string_view raw_text_;
  std::vector<XmlAttribute> attributes_;
};

// Throws the WorkbookError that says that the part is not well-formed XML: what, and where.
[[noreturn]] void ThrowNotWellFormed(std::string_view part, std::string_view what, size_t position);

// Decodes the references in text written as XML character data or an attribute value that the
// scanner accepted.
void AppendXmlDecoded(std::string& out, std::string_view raw);

}  // namespace tarvex::workbook::openxml
