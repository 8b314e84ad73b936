// Parts and relationships of an Office Open XML package: where a relationship points, and the
// small parts read as XML trees.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

#include "workbook/openxml/zip_package.h"

namespace tarvex::workbook::openxml {

struct Relationship {
  std::string id;
  std::string type;
  std::string target;  // the part it points to, as a zip entry name ("xl/worksheets/sheet1.xml")
  bool external = false;
};

// The relationships part of a part: "xl/_rels/workbook.xml.rels" for "xl/workbook.xml",
// "_rels/.rels" for the package itself (source "").
std::string RelationshipsPartOf(std::string_view source);

// A relationship target resolved against the folder of its source part: "worksheets/a.xml" from
// "xl/workbook.xml" is "xl/worksheets/a.xml"; "/xl/a.xml" is absolute; ".." steps up; %XX is
// decoded.
std::string ResolveTarget(std::string_view source, std::string_view target);

// The relationships of the source part; none when the package has no relationships part for it.
std::vector<Relationship> ReadRelationships(const ZipPackage& package, std::string_view source);

// True when the relationship type is of that kind ("worksheet", "officeDocument"), in the
// transitional and the strict vocabulary alike.
bool IsRelationshipOf(std::string_view type, std::string_view kind);

// The part parsed as a tree. Throws WorkbookError with the parser's words when it is not
// well-formed.
pugi::xml_document ParseXmlPart(std::string_view text, std::string_view part);

// An element's or attribute's name without its namespace prefix.
std::string_view LocalNameOf(const char* name);

// The first child element of that local name; an empty node when there is none.
pugi::xml_node ChildNamed(pugi::xml_node parent, std::string_view local_name);

// The value of the attribute of that local name, whatever its prefix; empty when missing.
std::string_view AttributeNamed(pugi::xml_node node, std::string_view local_name);

}  // namespace tarvex::workbook::openxml
