#include "support/xlsx_package.h"

#include <zip.h>

#include <cstring>
#include <stdexcept>

namespace vestrano::test {

namespace {
constexpr const char* kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr const char* kRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

void AddParts(zip_t* za, const auto& parts) {
  for (const auto& p : parts) {
    zip_source_t* src = zip_source_buffer(za, p.content.data(), p.content.size(), 0);
    if (!src) throw std::runtime_error("zip_source_buffer failed");
    const zip_int64_t idx =
        zip_file_add(za, p.name.c_str(), src, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8);
    if (idx < 0) {
      zip_source_free(src);
      throw std::runtime_error(std::string("zip_file_add: ") + zip_strerror(za));
    }
    zip_set_file_compression(za, static_cast<zip_uint64_t>(idx),
                             p.stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0);
  }
}
}  // namespace

XlsxPackage& XlsxPackage::Add(std::string name, std::string content, bool stored) {
  parts_.push_back({std::move(name), std::move(content), stored});
  return *this;
}

XlsxPackage& XlsxPackage::Replace(const std::string& name, std::string content) {
  for (Part& p : parts_)
    if (p.name == name) {
      p.content = std::move(content);
      return *this;
    }
  return Add(name, std::move(content));
}

XlsxPackage& XlsxPackage::Remove(const std::string& name) {
  std::erase_if(parts_, [&](const Part& p) { return p.name == name; });
  return *this;
}

std::vector<std::byte> XlsxPackage::Bytes() const {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
  zip_t* za = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
  if (!za) throw std::runtime_error("zip_open_from_source failed");
  zip_source_keep(buffer);
  AddParts(za, parts_);
  if (zip_close(za) != 0) throw std::runtime_error("zip_close failed");
  std::vector<std::byte> out;
  zip_stat_t st;
  if (zip_source_stat(buffer, &st) == 0 && zip_source_open(buffer) == 0) {
    out.resize(st.size);
    zip_source_read(buffer, out.data(), st.size);
    zip_source_close(buffer);
  }
  zip_source_free(buffer);
  zip_error_fini(&error);
  return out;
}

void XlsxPackage::WriteFile(const std::string& path) const {
  int err = 0;
  zip_t* za = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
  if (!za) throw std::runtime_error("cannot create " + path);
  AddParts(za, parts_);
  if (zip_close(za) != 0) throw std::runtime_error("cannot write " + path);
}

std::string SheetXml(std::string_view sheet_data, std::string_view after, std::string_view before) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<worksheet xmlns=\"";
  out += kMain;
  out += "\" xmlns:r=\"";
  out += kRel;
  out += "\">";
  out += before;
  out += "<sheetData>";
  out += sheet_data;
  out += "</sheetData>";
  out += after;
  out += "</worksheet>";
  return out;
}

std::string SharedStringsXml(const std::vector<std::string>& si_elements) {
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<sst xmlns=\"";
  out += kMain;
  out += "\" count=\"" + std::to_string(si_elements.size()) + "\" uniqueCount=\"" +
         std::to_string(si_elements.size()) + "\">";
  for (const std::string& si : si_elements) out += si;
  out += "</sst>";
  return out;
}

std::string StylesXml(std::string_view num_fmts, const std::vector<int>& xf_num_fmt_ids) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<styleSheet xmlns=\"";
  out += kMain;
  out += "\">";
  if (!num_fmts.empty()) {
    out += "<numFmts>";
    out += num_fmts;
    out += "</numFmts>";
  }
  out += "<cellXfs count=\"" + std::to_string(xf_num_fmt_ids.size()) + "\">";
  for (int id : xf_num_fmt_ids)
    out += "<xf numFmtId=\"" + std::to_string(id) +
           "\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>";
  out += "</cellXfs></styleSheet>";
  return out;
}

XlsxPackage MinimalWorkbook(const std::vector<SheetPart>& sheets, const std::string& shared_strings,
                            const std::string& styles, const std::string& workbook_pr) {
  XlsxPackage p;
  std::string types =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Types "
      "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
      "<Default Extension=\"rels\" "
      "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
      "<Default Extension=\"xml\" ContentType=\"application/xml\"/></Types>";
  p.Add("[Content_Types].xml", types);
  p.Add("_rels/.rels",
        std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Relationships "
                    "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                    "<Relationship Id=\"rId1\" Type=\"") +
            kRel + "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>");
  std::string wb = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<workbook xmlns=\"") +
                   kMain + "\" xmlns:r=\"" + kRel + "\">" + workbook_pr + "<sheets>";
  std::string rels =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Relationships "
      "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    const std::string n = std::to_string(i + 1);
    wb += "<sheet name=\"" + sheets[i].name + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
    rels += "<Relationship Id=\"rId" + n + "\" Type=\"" + kRel +
            "/worksheet\" Target=\"worksheets/sheet" + n + ".xml\"/>";
    p.Add("xl/worksheets/sheet" + n + ".xml", sheets[i].xml);
  }
  wb += "</sheets></workbook>";
  const std::size_t extra = sheets.size() + 1;
  if (!shared_strings.empty()) {
    rels += "<Relationship Id=\"rId" + std::to_string(extra) + "\" Type=\"" + kRel +
            "/sharedStrings\" Target=\"sharedStrings.xml\"/>";
    p.Add("xl/sharedStrings.xml", shared_strings);
  }
  if (!styles.empty()) {
    rels += "<Relationship Id=\"rId" + std::to_string(extra + 1) + "\" Type=\"" + kRel +
            "/styles\" Target=\"styles.xml\"/>";
    p.Add("xl/styles.xml", styles);
  }
  rels += "</Relationships>";
  p.Add("xl/workbook.xml", wb);
  p.Add("xl/_rels/workbook.xml.rels", rels);
  return p;
}

}  // namespace vestrano::test
