// Parts beside a worksheet that make cells exist: anchored pictures of its drawing, and the
// cells of its comments together with their legacy VML shapes.
#include "workbook/xlsx/parts.h"
#include "workbook/xlsx/xml_helper.h"
#include "workbook/xlsx/zip_package.h"

namespace vestrano::xlsx {

namespace {
// The trimmed text of a child element read as a non-negative integer below limit.
bool ChildNumber(const xmlNode* parent, std::string_view name, int limit, int& out) {
  const xmlNode* n = FirstChild(parent, name);
  if (!n) return false;
  std::string text;
  AppendText(n, text);
  TrimXmlSpace(text);
  std::int64_t v = 0;
  if (!ParseInteger(text, v) || v < 0 || v >= limit) return false;
  out = static_cast<int>(v);
  return true;
}

void MakeCellExist(TExportWorkSheet& sheet, int col, int row) {
  sheet.FindCreateCell(col, row, CellKind::Empty);
}

// Every element with the local name, at any depth (VML nests shapes in groups).
template <class F>
void ForEachElement(const xmlNode* n, std::string_view name, F&& f, int depth = 0) {
  if (depth > 256) return;
  for (const xmlNode* c = n ? n->children : nullptr; c; c = c->next) {
    if (c->type != XML_ELEMENT_NODE) continue;
    if (LocalName(c) == name) f(c);
    ForEachElement(c, name, f, depth + 1);
  }
}
}  // namespace

void ReadDrawingAnchors(const ZipPackage& package, const std::string& drawing_part,
                        TExportWorkSheet& sheet) {
  const std::vector<Relationship> rels = ReadRelationships(package, drawing_part);
  std::string bytes;
  if (!package.ReadWhole(drawing_part, bytes)) return;
  XmlDocument doc(bytes, package.NameOf(package.Find(drawing_part)));
  const auto by_id = IndexById(rels);
  for (const xmlNode* anchor : Children(doc.Root())) {
    const xmlNode* pic = FirstChild(anchor, "pic");
    const xmlNode* blip = FirstChild(FirstChild(pic, "blipFill"), "blip");
    if (!blip) continue;
    const auto found = by_id.find(RelAttr(blip, "embed"));
    const Relationship* image = found == by_id.end() ? nullptr : found->second;
    if (!image || image->external || !package.Has(image->target)) continue;
    const xmlNode* from = FirstChild(anchor, "from");
    int col = 0, row = 0;
    if (ChildNumber(from, "col", kMaxCols, col) && ChildNumber(from, "row", kMaxRows, row))
      MakeCellExist(sheet, col, row);
  }
}

void ReadComments(const ZipPackage& package, const std::string& comments_part,
                  const std::string& vml_part, TExportWorkSheet& sheet) {
  std::string bytes;
  package.ReadWhole(comments_part, bytes);
  {
    XmlDocument doc(bytes, package.NameOf(package.Find(comments_part)));
    if (IsElement(doc.Root(), "comments")) {
      for (const xmlNode* c : Children(FirstChild(doc.Root(), "commentList"), "comment")) {
        CellRange r;
        if (ParseRange(Attr(c, "ref"), r)) MakeCellExist(sheet, r.first_col, r.first_row);
      }
    }
  }
  package.ReadWhole(vml_part, bytes);
  // Legacy VML as Excel writes it is often not well-formed (unclosed <br>), so it is read in
  // the parser's recovery mode.
  XmlDocument vml(bytes, package.NameOf(package.Find(vml_part)), /*recover=*/true);
  const xmlNode* root = vml.Root();
  if (!root) return;
  auto shape = [&](const xmlNode* s) {
    const xmlNode* data = FirstChild(s, "ClientData");
    int row = 0, col = 0;
    if (ChildNumber(data, "Row", kMaxRows, row) && ChildNumber(data, "Column", kMaxCols, col))
      MakeCellExist(sheet, col, row);
  };
  if (LocalName(root) == "shape") shape(root);
  ForEachElement(root, "shape", shape);
}

}  // namespace vestrano::xlsx
