// The forward-only XML scanner: tokens, attributes, entities and character data.
#include "workbook/openxml/xml_scanner.h"

#include <cstring>

#include "workbook/format/workbook_file.h"
#include "workbook/openxml/xml_search.h"

namespace tarvex::workbook::openxml {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool IsNameStart(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || u >= 0x80;
}

bool IsNameChar(char c) { return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }

bool StartsWith(std::string_view text, size_t at, std::string_view prefix) {
  return text.compare(at, prefix.size(), prefix) == 0;
}

void AppendUtf8(std::string& out, unsigned long code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// The code point of a character reference's body ("#65", "#x41"); 0 when it is none or names a
// character that XML does not allow.
unsigned long CharacterReference(std::string_view body) {
  if (body.size() < 2 || body[0] != '#') return 0;
  const bool hex = body[1] == 'x';
  std::string_view digits = body.substr(hex ? 2 : 1);
  if (digits.empty() || digits.size() > 8) return 0;
  unsigned long code = 0;
  for (char c : digits) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (hex && (c | 0x20) >= 'a' && (c | 0x20) <= 'f') {
      digit = (c | 0x20) - 'a' + 10;
    } else {
      return 0;
    }
    code = code * (hex ? 16 : 10) + static_cast<unsigned long>(digit);
  }
  const bool allowed = code == 0x9 || code == 0xA || code == 0xD ||
                       (code >= 0x20 && code <= 0xD7FF) || (code >= 0xE000 && code <= 0xFFFD) ||
                       (code >= 0x10000 && code <= 0x10FFFF);
  return allowed ? code : 0;
}

// The character that a reference's body ("amp", "#65") stands for, appended; false if none.
bool AppendReference(std::string& out, std::string_view body) {
  if (body == "amp") {
    out += '&';
  } else if (body == "lt") {
    out += '<';
  } else if (body == "gt") {
    out += '>';
  } else if (body == "quot") {
    out += '"';
  } else if (body == "apos") {
    out += '\'';
  } else if (unsigned long code = CharacterReference(body)) {
    AppendUtf8(out, code);
  } else {
    return false;
  }
  return true;
}

}  // namespace

XmlScanner::XmlScanner(std::string_view text, std::string_view part) : text_(text), part_(part) {
  // A byte-order mark may open the part.
  if (StartsWith(text_, 0, "\xEF\xBB\xBF")) position_ = 3;
}

XmlScanner::XmlScanner(std::string_view text, std::string_view part, size_t position,
                       std::span<const std::string_view> open)
    : text_(text),
      part_(part),
      position_(position),
      depth_(open.size()),
      open_(open.begin(), open.end()),
      root_seen_(true) {}

void ThrowNotWellFormed(std::string_view part, std::string_view what, size_t position) {
  throw WorkbookError("The part " + std::string(part) + " is not well-formed XML: " +
                      std::string(what) + " (at byte " + std::to_string(position) + ")");
}

void XmlScanner::Fail(std::string_view what, size_t position) const {
  ThrowNotWellFormed(part_, what, position);
}

std::string_view XmlScanner::LocalName() const {
  size_t colon = name_.find(':');
  return colon == std::string_view::npos ? name_ : name_.substr(colon + 1);
}

const XmlAttribute* XmlScanner::FindAttribute(std::string_view name) const {
  for (const XmlAttribute& attribute : attributes_) {
    if (attribute.name == name) return &attribute;
  }
  return nullptr;
}

std::optional<std::string_view> XmlScanner::Attribute(std::string_view name) const {
  const XmlAttribute* attribute = FindAttribute(name);
  if (attribute == nullptr) return std::nullopt;
  return attribute->value;
}

void XmlScanner::AppendText(std::string& out) const {
  if (cdata_) {
    out += raw_text_;
  } else {
    AppendXmlDecoded(out, raw_text_);
  }
}

void XmlScanner::SkipSpace() {
  while (position_ < text_.size() && IsSpace(text_[position_])) ++position_;
}

bool XmlScanner::SkipSpaceRequired() {
  size_t before = position_;
  SkipSpace();
  return position_ > before;
}

std::string_view XmlScanner::ScanName(const char* what) {
  size_t begin = position_;
  if (position_ >= text_.size() || !IsNameStart(text_[position_])) {
    Fail(std::string("a ") + what + " name is missing", position_);
  }
  ++position_;
  while (position_ < text_.size() && IsNameChar(text_[position_])) ++position_;
  return text_.substr(begin, position_ - begin);
}

void XmlScanner::CheckReferences(std::string_view raw, size_t offset) const {
  std::string scratch;
  for (size_t amp = raw.find('&'); amp != std::string_view::npos; amp = raw.find('&', amp + 1)) {
    size_t semicolon = raw.find(';', amp);
    scratch.clear();
    if (semicolon == std::string_view::npos || semicolon - amp > 12 ||
        !AppendReference(scratch, raw.substr(amp + 1, semicolon - amp - 1))) {
      Fail("an '&' that starts no known reference", offset + amp);
    }
  }
}

void XmlScanner::ScanStartTag() {
  if (root_seen_ && open_.empty()) Fail("a second root element", position_);
  ++position_;  // '<'
  name_ = ScanName("element");
  attributes_.clear();
  for (;;) {
    const bool spaced = SkipSpaceRequired();
    if (position_ >= text_.size()) Fail("the text ends inside a tag", position_);
    const char c = text_[position_];
    if (c == '>' || c == '/') break;
    if (!spaced) Fail("attributes must be separated by white space", position_);
    XmlAttribute attribute;
    attribute.begin = position_;
    attribute.name = ScanName("attribute");
    SkipSpace();
    if (position_ >= text_.size() || text_[position_] != '=') {
      Fail("an attribute has no '='", position_);
    }
    ++position_;
    SkipSpace();
    if (position_ >= text_.size() || (text_[position_] != '"' && text_[position_] != '\'')) {
      Fail("an attribute value is not quoted", position_);
    }
    const char quote = text_[position_++];
    const char* const end = text_.data() + text_.size();
    const char* stop = FindAny(text_.data() + position_, end, quote, '<', '&');
    size_t close = static_cast<size_t>(stop - text_.data());
    if (stop == end || *stop != quote) {
      // A value that holds markup or references, or is not closed: checked in full.
      close = text_.find(quote, position_);
      if (close == std::string_view::npos) Fail("an attribute value is not closed", position_);
      if (text_.substr(position_, close - position_).find('<') != std::string_view::npos) {
        Fail("an attribute value holds '<'", position_);
      }
      CheckReferences(text_.substr(position_, close - position_), position_);
    }
    attribute.value = text_.substr(position_, close - position_);
    position_ = close + 1;
    attribute.end = position_;
    for (const XmlAttribute& other : attributes_) {
      if (other.name == attribute.name) Fail("an attribute is given twice", attribute.begin);
    }
    attributes_.push_back(attribute);
  }
  empty_element_ = text_[position_] == '/';
  if (empty_element_) {
    ++position_;
    if (position_ >= text_.size() || text_[position_] != '>') Fail("a '/' inside a tag", position_);
  }
  ++position_;  // '>'
  root_seen_ = true;
  open_.push_back(name_);
  depth_ = open_.size();
  pending_end_ = empty_element_;
}

void XmlScanner::ScanEndTag() {
  position_ += 2;  // "</"
  name_ = ScanName("element");
  SkipSpace();
  if (position_ >= text_.size() || text_[position_] != '>')
    Fail("an end tag is not closed", position_);
  ++position_;
  if (open_.empty() || open_.back() != name_) {
    Fail("</" + std::string(name_) + "> closes no open element of that name", token_begin_);
  }
  depth_ = open_.size();
  open_.pop_back();
}

XmlScanner::Token XmlScanner::Next() {
  if (pending_end_) {
    pending_end_ = false;
    empty_element_ = false;
    token_begin_ = position_;
    depth_ = open_.size();
    open_.pop_back();
    return Token::kEnd;
  }
  for (;;) {
    token_begin_ = position_;
    empty_element_ = false;
    if (position_ >= text_.size()) {
      if (!open_.empty()) {
        Fail("the text ends inside <" + std::string(open_.back()) + ">", position_);
      }
      if (!root_seen_) Fail("there is no root element", position_);
      return Token::kEndOfDocument;
    }
    if (text_[position_] != '<') {
      const char* const last = text_.data() + text_.size();
      const char* stop = FindEither(text_.data() + position_, last, '<', '&');
      const bool references = stop != last && *stop == '&';
      if (references) stop = FindEither(stop, last, '<', '<');
      const size_t end = static_cast<size_t>(stop - text_.data());
      raw_text_ = text_.substr(position_, end - position_);
      if (open_.empty()) {
        for (char c : raw_text_) {
          if (!IsSpace(c)) Fail("text outside the root element", position_);
        }
        position_ = end;
        continue;
      }
      if (references) CheckReferences(raw_text_, position_);
      position_ = end;
      cdata_ = false;
      depth_ = open_.size();
      return Token::kText;
    }
    // Markup: the character after "<" tells which kind, so the common tags cost no compare.
    const char kind = position_ + 1 < text_.size() ? text_[position_ + 1] : '\0';
    if (kind == '/') {
      ScanEndTag();
      return Token::kEnd;
    }
    if (kind == '?') {
      size_t close = text_.find("?>", position_ + 2);
      if (close == std::string_view::npos)
        Fail("a processing instruction is not closed", position_);
      position_ = close + 2;
      continue;
    }
    if (kind == '!') {
      if (StartsWith(text_, position_, "<!--")) {
        size_t close = text_.find("-->", position_ + 4);
        if (close == std::string_view::npos) Fail("a comment is not closed", position_);
        position_ = close + 3;
        continue;
      }
      if (StartsWith(text_, position_, "<![CDATA[")) {
        if (open_.empty()) Fail("a CDATA section outside the root element", position_);
        size_t close = text_.find("]]>", position_ + 9);
        if (close == std::string_view::npos) Fail("a CDATA section is not closed", position_);
        raw_text_ = text_.substr(position_ + 9, close - position_ - 9);
        position_ = close + 3;
        cdata_ = true;
        depth_ = open_.size();
        return Token::kText;
      }
      Fail("document type declarations are not accepted", position_);
    }
    ScanStartTag();
    return Token::kStart;
  }
}

bool XmlScanner::NextPlainCell(std::string_view prefix, size_t depth) {
  if (pending_end_ || open_.empty() || open_.size() + 1 != depth) return false;
  const char* const base = text_.data();
  const char* const end = base + text_.size();
  const char* p = base + position_;
  // The pieces are a few bytes long: compared in line, not through memcmp.
  auto take = [&](std::string_view what) __attribute__((always_inline)) {
    if (static_cast<size_t>(end - p) < what.size()) return false;
    for (size_t i = 0; i < what.size(); ++i) {
      if (p[i] != what[i]) return false;
    }
    p += what.size();
    return true;
  };
  if (!take("<") || !take(prefix) || !take("c")) return false;
  const std::string_view name(p - 1 - prefix.size(), prefix.size() + 1);
  // Kept aside until the whole cell is known to be plain: a cell that is not leaves no trace.
  XmlAttribute found[3];
  size_t count = 0;
  for (;;) {
    if (p == end) return false;
    if (*p == '>' || *p == '/') break;
    if (*p != ' ') return false;
    while (p != end && *p == ' ') ++p;
    if (p == end) return false;
    if (*p == '>' || *p == '/') break;
    const char letter = *p;
    if ((letter != 'r' && letter != 's' && letter != 't') || end - p < 3 || p[1] != '=' ||
        (p[2] != '"' && p[2] != '\'')) {
      return false;
    }
    for (size_t i = 0; i < count; ++i) {
      if (found[i].name[0] == letter) return false;
    }
    const char* value = p + 3;
    const char* close = FindAny(value, end, p[2], '<', '&');
    if (close == end || *close != p[2]) return false;
    found[count++] = {std::string_view(p, 1), std::string_view(value, close - value),
                      static_cast<size_t>(p - base), static_cast<size_t>(close + 1 - base)};
    p = close + 1;
  }
  std::string_view value;
  bool has_value = false;
  if (*p == '/') {
    if (!take("/>")) return false;
  } else {
    ++p;  // '>'
    if (!take("</")) {
      if (!take("<") || !take(prefix) || !take("v>")) return false;
      const char* stop = FindEither(p, end, '<', '&');
      if (stop == end || *stop != '<') return false;
      value = std::string_view(p, static_cast<size_t>(stop - p));
      has_value = true;
      p = stop;
      if (!take("</") || !take(prefix) || !take("v></")) return false;
    }
    if (!take(prefix) || !take("c>")) return false;
  }
  token_begin_ = position_;
  position_ = static_cast<size_t>(p - base);
  name_ = name;
  attributes_.assign(found, found + count);
  raw_text_ = value;
  plain_has_value_ = has_value;
  cdata_ = false;
  empty_element_ = false;
  depth_ = open_.size() + 1;
  return true;
}

void AppendXmlDecoded(std::string& out, std::string_view raw) {
  size_t done = 0;
  for (size_t amp = raw.find('&'); amp != std::string_view::npos; amp = raw.find('&', done)) {
    out.append(raw, done, amp - done);
    size_t semicolon = raw.find(';', amp);
    if (semicolon == std::string_view::npos ||
        !AppendReference(out, raw.substr(amp + 1, semicolon - amp - 1))) {
      // Unreachable for scanned text; kept as it stands otherwise.
      out += '&';
      done = amp + 1;
      continue;
    }
    done = semicolon + 1;
  }
  out.append(raw, done);
}

}  // namespace tarvex::workbook::openxml
