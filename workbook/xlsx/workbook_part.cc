// The workbook part and its relationships: which sheets there are, their order and names, the
// date system, and where the shared strings and styles live.
#include <algorithm>
#include <unordered_map>

#include "workbook/errors.h"
#include "workbook/xlsx/parts.h"
#include "workbook/xlsx/xml_helper.h"
#include "workbook/xlsx/zip_package.h"

namespace vestrano::xlsx {

namespace {
// The part a relationship of the type names when it exists, else the conventional name.
std::string PartOrFallback(const ZipPackage& package, const std::vector<Relationship>& rels,
                           std::string_view type, std::string fallback) {
  for (const Relationship& r : rels)
    if (!r.external && IsRelType(r, type) && package.Has(r.target)) return r.target;
  return fallback;
}
}  // namespace

WorkbookInfo ReadWorkbookPart(const ZipPackage& package, TWorkbook& book) {
  WorkbookInfo info;
  const std::vector<Relationship> package_rels = ReadRelationships(package, "");
  const std::string workbook_part =
      PartOrFallback(package, package_rels, "officeDocument", "xl/workbook.xml");
  if (!package.Has(workbook_part))
    throw EWorkbookFileError(
        "The file is not a valid XLSX (Excel 2007) file. (It has no workbook part.)");

  const std::vector<Relationship> rels = ReadRelationships(package, workbook_part);
  for (const Relationship& r : rels) {
    if (r.external || !IsRelType(r, "worksheet")) continue;
    SheetEntry e;
    e.part = r.target;
    DigitsNumber(r.id, e.rel_number);
    info.sheets.push_back(std::move(e));
  }
  // Sheets follow the number in their part names; a name without digits counts as its position.
  std::vector<std::pair<std::uint64_t, std::size_t>> keys;
  for (std::size_t i = 0; i < info.sheets.size(); ++i) {
    std::uint64_t n = 0;
    if (!DigitsNumber(info.sheets[i].part, n)) n = i + 1;
    keys.emplace_back(n, i);
  }
  std::stable_sort(keys.begin(), keys.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<SheetEntry> ordered;
  ordered.reserve(keys.size());
  for (const auto& k : keys) ordered.push_back(std::move(info.sheets[k.second]));
  info.sheets = std::move(ordered);

  std::string bytes;
  package.ReadWhole(workbook_part, bytes);
  XmlDocument doc(bytes, package.NameOf(package.Find(workbook_part)));
  const xmlNode* root = doc.Root();
  if (IsElement(root, "workbook")) {
    std::unordered_map<std::uint64_t, SheetEntry*> by_number;  // the first entry of each number
    for (SheetEntry& e : info.sheets) by_number.emplace(e.rel_number, &e);
    for (const xmlNode* s : Children(FirstChild(root, "sheets"), "sheet")) {
      std::uint64_t number = 0;
      if (!DigitsNumber(RelAttr(s, "id"), number)) continue;
      const auto found = by_number.find(number);
      if (found != by_number.end()) found->second->name = Attr(s, "name");
    }
    if (const xmlNode* pr = FirstChild(root, "workbookPr")) {
      std::string v;
      if (Attr(pr, "date1904", v)) book.Date1904 = v == "1" || v == "true";
    }
  }
  info.shared_strings_part = PartOrFallback(package, rels, "sharedStrings", "xl/sharedStrings.xml");
  info.styles_part = PartOrFallback(package, rels, "styles", "xl/styles.xml");
  return info;
}

}  // namespace vestrano::xlsx
