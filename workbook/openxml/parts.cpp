// Following relationships between the parts of a package, and reading small parts as trees.
#include "workbook/openxml/parts.h"

#include <cstring>

#include "workbook/format/workbook_file.h"

namespace tarvex::workbook::openxml {

std::string RelationshipsPartOf(std::string_view source) {
  size_t slash = source.rfind('/');
  std::string_view folder = slash == std::string_view::npos ? "" : source.substr(0, slash + 1);
  std::string_view name = slash == std::string_view::npos ? source : source.substr(slash + 1);
  return std::string(folder) + "_rels/" + std::string(name) + ".rels";
}

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') return (c | 0x20) - 'a' + 10;
  return -1;
}

std::string PercentDecoded(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
        HexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

std::string ResolveTarget(std::string_view source, std::string_view target) {
  std::string decoded = PercentDecoded(target);
  std::vector<std::string> segments;
  std::string_view rest = decoded;
  if (!rest.empty() && rest.front() == '/') {
    rest.remove_prefix(1);
  } else {
    size_t slash = source.rfind('/');
    std::string_view folder = slash == std::string_view::npos ? "" : source.substr(0, slash);
    while (!folder.empty()) {
      size_t next = folder.find('/');
      segments.emplace_back(folder.substr(0, next));
      folder = next == std::string_view::npos ? "" : folder.substr(next + 1);
    }
  }
  while (!rest.empty()) {
    size_t next = rest.find('/');
    std::string_view segment = rest.substr(0, next);
    rest = next == std::string_view::npos ? "" : rest.substr(next + 1);
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
    } else if (!segment.empty() && segment != ".") {
      segments.emplace_back(segment);
    }
  }
  std::string part;
  for (const std::string& segment : segments) {
    if (!part.empty()) part += '/';
    part += segment;
  }
  return part;
}

std::vector<Relationship> ReadRelationships(const ZipPackage& package, std::string_view source) {
  const std::string rels_part = RelationshipsPartOf(source);
  std::vector<Relationship> relationships;
  if (!package.Has(rels_part)) return relationships;
  pugi::xml_document document = ParseXmlPart(package.Read(rels_part), rels_part);
  pugi::xml_node root = ChildNamed(document, "Relationships");
  for (pugi::xml_node node : root.children()) {
    if (LocalNameOf(node.name()) != "Relationship") continue;
    Relationship relationship;
    relationship.id = AttributeNamed(node, "Id");
    relationship.type = AttributeNamed(node, "Type");
    relationship.external = AttributeNamed(node, "TargetMode") == "External";
    std::string_view target = AttributeNamed(node, "Target");
    relationship.target =
        relationship.external ? std::string(target) : ResolveTarget(source, target);
    relationships.push_back(std::move(relationship));
  }
  return relationships;
}

bool IsRelationshipOf(std::string_view type, std::string_view kind) {
  return type.size() > kind.size() && type.substr(type.size() - kind.size()) == kind &&
         type[type.size() - kind.size() - 1] == '/';
}

pugi::xml_document ParseXmlPart(std::string_view text, std::string_view part) {
  pugi::xml_document document;
  pugi::xml_parse_result result = document.load_buffer(text.data(), text.size());
  if (!result) {
    throw WorkbookError("The part " + std::string(part) + " is not well-formed XML: " +
                        result.description() + " (at byte " + std::to_string(result.offset) + ")");
  }
  return document;
}

std::string_view LocalNameOf(const char* name) {
  const char* colon = std::strchr(name, ':');
  return colon == nullptr ? std::string_view(name) : std::string_view(colon + 1);
}

pugi::xml_node ChildNamed(pugi::xml_node parent, std::string_view local_name) {
  for (pugi::xml_node child : parent.children()) {
    if (child.type() == pugi::node_element && LocalNameOf(child.name()) == local_name) {
      return child;
    }
  }
  return {};
}

std::string_view AttributeNamed(pugi::xml_node node, std::string_view local_name) {
  for (pugi::xml_attribute attribute : node.attributes()) {
    if (LocalNameOf(attribute.name()) == local_name) return attribute.value();
  }
  return {};
}

}  // namespace tarvex::workbook::openxml
