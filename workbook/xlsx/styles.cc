// The styles part: number formats (numFmts) and the format of each cell style (cellXfs).
#include <unordered_map>

#include "workbook/cell_text.h"
#include "workbook/xlsx/parts.h"
#include "workbook/xlsx/xml_helper.h"
#include "workbook/xlsx/zip_package.h"

namespace vestrano::xlsx {

std::vector<std::uint32_t> ReadStyles(const ZipPackage& package, const std::string& part,
                                      TWorkbook& book) {
  std::vector<std::uint32_t> xf_formats;
  std::string bytes;
  if (!package.ReadWhole(part, bytes)) return xf_formats;  // no styles: every cell is General
  XmlDocument doc(bytes, part);
  const xmlNode* root = doc.Root();
  if (!IsElement(root, "styleSheet")) return xf_formats;

  std::unordered_map<std::int64_t, std::string> custom;
  for (const xmlNode* n : Children(FirstChild(root, "numFmts"), "numFmt")) {
    std::int64_t id = 0;
    if (!ParseInteger(Attr(n, "numFmtId"), id)) continue;
    custom.emplace(id, Attr(n, "formatCode"));  // the first definition of an id counts
  }

  // One interned format per id, so that many styles of one format cost one lookup.
  std::unordered_map<std::int64_t, std::uint32_t> by_id;
  auto format_of = [&](std::int64_t id) {
    auto [it, inserted] = by_id.emplace(id, 0);
    if (!inserted) return it->second;
    auto c = custom.find(id);
    if (c != custom.end())
      it->second = book.InternFormat(c->second, -1);
    else if (id >= 0 && id < 164)
      it->second = book.BuiltinFormat(static_cast<int>(id));
    return it->second;
  };
  for (const xmlNode* n : Children(FirstChild(root, "cellXfs"), "xf")) {
    std::int64_t id = 0;
    std::string text;
    if (Attr(n, "numFmtId", text) && !ParseInteger(text, id)) id = 0;
    xf_formats.push_back(format_of(id));
  }
  return xf_formats;
}

}  // namespace vestrano::xlsx
