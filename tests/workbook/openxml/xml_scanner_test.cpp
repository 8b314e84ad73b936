#include "workbook/openxml/xml_scanner.h"

#include <gtest/gtest.h>

#include <pugixml.hpp>

#include "workbook/format/workbook_file.h"

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

}  // namespace
}  // namespace tarvex::workbook::openxml
