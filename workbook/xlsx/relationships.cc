// Relationship parts: which part plays which role, and where a target points.
#include <vector>

#include "workbook/xlsx/parts.h"
#include "workbook/xlsx/xml_helper.h"
#include "workbook/xlsx/zip_package.h"

namespace vestrano::xlsx {

namespace {
constexpr std::string_view kStrictTypeBase =
    "http://purl.oclc.org/ooxml/officeDocument/relationships/";

std::string_view FolderOf(std::string_view part) {
  const std::size_t slash = part.find_last_of("/\\");
  return slash == std::string_view::npos ? std::string_view() : part.substr(0, slash + 1);
}
}  // namespace

std::string RelationshipsPartOf(std::string_view part) {
  const std::string_view folder = FolderOf(part);
  return std::string(folder) + "_rels/" + std::string(part.substr(folder.size())) + ".rels";
}

std::string ResolveTarget(std::string_view source_part, std::string_view target) {
  std::string path;
  if (!target.empty() && (target[0] == '/' || target[0] == '\\'))
    path = std::string(target.substr(1));
  else
    path = std::string(FolderOf(source_part)) + std::string(target);
  // Follow "." and ".." segments; a ".." above the root stays at the root.
  std::vector<std::string> segments;
  std::string segment;
  auto flush = [&] {
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
    } else if (!segment.empty() && segment != ".") {
      segments.push_back(segment);
    }
    segment.clear();
  };
  for (char c : path) {
    if (c == '/' || c == '\\')
      flush();
    else
      segment.push_back(c);
  }
  flush();
  std::string out;
  for (const std::string& s : segments) {
    if (!out.empty()) out.push_back('/');
    out += s;
  }
  return out;
}

std::vector<Relationship> ReadRelationships(const ZipPackage& package,
                                            std::string_view source_part) {
  std::vector<Relationship> rels;
  const std::string rels_part =
      source_part.empty() ? std::string("_rels/.rels") : RelationshipsPartOf(source_part);
  std::string bytes;
  if (!package.ReadWhole(rels_part, bytes)) return rels;
  XmlDocument doc(bytes, rels_part);
  const xmlNode* root = doc.Root();
  if (!IsElement(root, "Relationships")) return rels;
  for (const xmlNode* n : Children(root, "Relationship")) {
    Relationship rel;
    rel.id = Attr(n, "Id");
    rel.type = Attr(n, "Type");
    if (rel.type.starts_with(kStrictTypeBase))
      rel.type = std::string(kRelTypeBase) + rel.type.substr(kStrictTypeBase.size());
    const std::string mode = Attr(n, "TargetMode");
    rel.external = mode == "External";
    const std::string target = Attr(n, "Target");
    rel.target = rel.external ? target : ResolveTarget(source_part, target);
    rels.push_back(std::move(rel));
  }
  return rels;
}

const Relationship* FindRelationship(const std::vector<Relationship>& rels, std::string_view type) {
  for (const Relationship& r : rels)
    if (IsRelType(r, type)) return &r;
  return nullptr;
}

std::unordered_map<std::string_view, const Relationship*> IndexById(
    const std::vector<Relationship>& rels) {
  std::unordered_map<std::string_view, const Relationship*> index;
  index.reserve(rels.size());
  for (const Relationship& r : rels) index.emplace(r.id, &r);
  return index;
}

}  // namespace vestrano::xlsx
