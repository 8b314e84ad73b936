#include "workbook/openxml/xml_scanner.h"

#include <gtest/gtest.h>

#include <pugixml.hpp>
#include <random>

#include "workbook/format/workbook_file.h"
#include "workbook/openxml/xml_search.h"

namespace tarvex::workbook::openxml {
namespace {

// Every token, as "<name", "</name" and the decoded text, for comparisons.
std::vector<std::string> Tokens(std::string_view xml) {
  XmlScanner scanner(xml, "part.xml");
  std::vector<std::string> tokens;
  for (XmlScanner::Token token; (token = scanner.Next()) != XmlScanner::Token::kEndOfDocument;) {
    if (token == XmlScanner::Token::kStart) tokens.push_back("<" + std::string(scanner.Name()));
    if (token == XmlScanner::Token::kEnd) tokens.push_back("</" + std::string(scanner.Name()));
    if (token == XmlScanner::Token::kText) {
      std::string text;
      scanner.AppendText(text);
      tokens.push_back(text);
    }
  }
  return tokens;
}

TEST(XmlScannerTest, MalformedPartsFailWithTheirPartAndPlace) {
  const char* const cases[] = {
      "",
      "<a>",
      "<a></b>",
      "<a><b></a></b>",
      "<a x=1/>",
      "<a x='1' x='2'/>",
      "<a x='<'/>",
      "<a>&nbsp;</a>",
      "<a>&#0;</a>",
      "<a>& </a>",
      "<a/><b/>",
      "<a/>text",
      "text<a/>",
      "<!DOCTYPE a [<!ENTITY e 'x'>]><a>&e;</a>",
      "<a><!-- open</a>",
      "<a><![CDATA[open</a>",
      "<a x='1'y='2'/>",
      "<1a/>",
      "<a/ >",
  };
  for (const char* xml : cases) {
    try {
      Tokens(xml);
      ADD_FAILURE() << "accepted: " << xml;
    } catch (const WorkbookError& error) {
      EXPECT_EQ(std::string(error.what()).rfind("The part part.xml is not well-formed XML: ", 0),
                0u)
          << error.what();
    }
  }
}

TEST(XmlScannerTest, TextAgreesWithPugixml) {
  // Each document's root text, decoded by the scanner and by pugixml.
  const char* const cases[] = {
      "<a>plain</a>",
      "<a>&amp;&lt;&gt;&quot;&apos;</a>",
      "<a>&#65;&#x42;&#xe9;&#x20AC;&#x1F600;</a>",
      "<a><![CDATA[<not> &amp; markup]]></a>",
      "\xEF\xBB\xBF<?xml version='1.0'?><!-- c --><a>after a mark</a>",
      "<x:a xmlns:x='urn:x'>prefixed</x:a>",
      "<a>  spaced  </a>",
  };
  for (const char* xml : cases) {
    pugi::xml_document document;
    ASSERT_TRUE(document.load_string(xml, pugi::parse_default | pugi::parse_ws_pcdata)) << xml;
    std::string expected;
    for (pugi::xml_node child : document.document_element().children()) expected += child.value();
    std::vector<std::string> tokens = Tokens(xml);
    ASSERT_EQ(tokens.size(), 3u) << xml;
    EXPECT_EQ(tokens[1], expected) << xml;
  }
}

TEST(XmlScannerTest, PositionsAllowSplicing) {
  const std::string xml = R"(<x:r xmlns:x="u"><x:c r="B2" s='3'/><x:c>t</x:c></x:r>)";
  XmlScanner scanner(xml, "p");
  ASSERT_EQ(scanner.Next(), XmlScanner::Token::kStart);
  EXPECT_EQ(scanner.LocalName(), "r");
  EXPECT_EQ(scanner.Prefix(), "x:");
  ASSERT_EQ(scanner.Next(), XmlScanner::Token::kStart);
  EXPECT_TRUE(scanner.IsEmptyElement());
  EXPECT_EQ(scanner.Depth(), 2u);
  const XmlAttribute* style = scanner.FindAttribute("s");
  ASSERT_NE(style, nullptr);
  EXPECT_EQ(xml.substr(style->begin, style->end - style->begin), "s='3'");
  EXPECT_EQ(xml.substr(scanner.TokenBegin(), scanner.TokenEnd() - scanner.TokenBegin()),
            R"(<x:c r="B2" s='3'/>)");
  ASSERT_EQ(scanner.Next(), XmlScanner::Token::kEnd);  // the empty element's own end
  EXPECT_EQ(scanner.Depth(), 2u);
  EXPECT_EQ(scanner.TokenBegin(), scanner.TokenEnd());
  EXPECT_EQ(Tokens(xml),
            (std::vector<std::string>{"<x:r", "<x:c", "</x:c", "<x:c", "t", "</x:c", "</x:r"}));
}

TEST(XmlScannerTest, EveryVectorSearchFindsWhatTheByteLoopFinds) {
  // Stop characters at every place of buffers of every length around the vector widths, and in
  // random text, found from every alignment.
  std::mt19937 random(7);
  std::string text(200, 'x');
  for (char& c : text) c = "ab<&\"x "[random() % 7];
  for (size_t length = 0; length <= 70; ++length) {
    for (size_t at = 0; at <= length; ++at) {
      std::string plain(length, 'v');
      if (at < length) plain[at] = '"';
      for (const std::string& buffer : {plain, text.substr(0, length)}) {
        for (size_t from = 0; from <= std::min<size_t>(length, 3); ++from) {
          const char* begin = buffer.data() + from;
          const char* end = buffer.data() + buffer.size();
          const char* expected = FindAnyWith(SearchWidth::kScalar, begin, end, '"', '<', '&');
          for (SearchWidth width : {SearchWidth::kSse2, SearchWidth::kAvx2}) {
            if (!SearchWidthAvailable(width)) continue;
            EXPECT_EQ(FindAnyWith(width, begin, end, '"', '<', '&'), expected) << buffer;
          }
          EXPECT_EQ(FindAny(begin, end, '"', '<', '&'), expected);
        }
      }
    }
  }
}

TEST(XmlScannerTest, PlainCellsStandForTheTokensOfTheSameCell) {
  struct Case {
    const char* cell;
    bool plain;
  };
  const Case cases[] = {
      {R"(<x:c r="A1" s="2" t="n"><x:v>1.5</x:v></x:c>)", true},
      {R"(<x:c t='s'  r='B1'/>)", true},
      {R"(<x:c r="C1"></x:c>)", true},
      {R"(<x:c r="D1"><x:v></x:v></x:c>)", true},
      {R"(<x:c r="A1" cm="1"><x:v>1</x:v></x:c>)", false},  // another attribute
      {R"(<x:c r="A1"><x:f>B1</x:f><x:v>1</x:v></x:c>)", false},
      {R"(<x:c r="A1"><x:v>&#49;</x:v></x:c>)", false},  // a reference
      {R"(<x:c r="A&amp;1"/>)", false},
      {R"(<x:c r="A1"><v>1</v></x:c>)", false},  // another prefix
      {R"(<x:c	r="A1"/>)", false},              // a tab
      {R"(<x:c r="A1" r="B1"/>)", false},        // twice: the tokens fail
      {R"(<x:c r="A1"><x:v>1</x:v></x:c >)", false},
      {R"(<x:c r="A1"><x:v>1</x:v>)", false},  // not closed
  };
  for (const Case& c : cases) {
    const std::string xml = std::string(R"(<x:row xmlns:x="u">)") + c.cell + "</x:row>";
    XmlScanner plain(xml, "p"), tokens(xml, "p");
    ASSERT_EQ(plain.Next(), XmlScanner::Token::kStart);
    ASSERT_EQ(tokens.Next(), XmlScanner::Token::kStart);
    EXPECT_FALSE(plain.NextPlainCell("x:", 3)) << "the wrong depth";
    ASSERT_EQ(plain.NextPlainCell("x:", 2), c.plain) << c.cell;
    if (!c.plain) {
      // Unmoved: what comes next is what comes next without the attempt, failures included.
      auto next = [](XmlScanner& scanner) {
        try {
          scanner.Next();
          return std::to_string(scanner.TokenBegin()) + " " + std::string(scanner.Name());
        } catch (const WorkbookError& error) {
          return std::string(error.what());
        }
      };
      EXPECT_EQ(next(plain), next(tokens)) << c.cell;
      continue;
    }
    ASSERT_EQ(tokens.Next(), XmlScanner::Token::kStart);
    EXPECT_EQ(tokens.TokenBegin(), plain.TokenBegin());
    EXPECT_EQ(tokens.Name(), plain.Name());
    ASSERT_EQ(tokens.Attributes().size(), plain.Attributes().size());
    for (size_t i = 0; i < plain.Attributes().size(); ++i) {
      EXPECT_EQ(tokens.Attributes()[i].value, plain.Attributes()[i].value);
      EXPECT_EQ(tokens.Attributes()[i].begin, plain.Attributes()[i].begin);
      EXPECT_EQ(tokens.Attributes()[i].end, plain.Attributes()[i].end);
    }
    std::string text;
    size_t depth = 2;
    for (XmlScanner::Token token; depth >= 2;) {
      token = tokens.Next();
      if (token == XmlScanner::Token::kText) tokens.AppendText(text);
      if (token == XmlScanner::Token::kStart) ++depth;
      if (token == XmlScanner::Token::kEnd) --depth;
    }
    EXPECT_EQ(tokens.TokenEnd(), plain.TokenEnd()) << c.cell;
    EXPECT_EQ(text, plain.PlainValue()) << c.cell;
    EXPECT_EQ(plain.PlainHasValue(), std::string_view(c.cell).find("v>") != std::string::npos);
    EXPECT_EQ(plain.Next(), XmlScanner::Token::kEnd);  // </x:row>
    EXPECT_EQ(plain.Depth(), 1u);
  }
}

}  // namespace
}  // namespace tarvex::workbook::openxml
