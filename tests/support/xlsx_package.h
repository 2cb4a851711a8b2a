#pragma once
// Builds .xlsx packages in memory from XML strings, for tests and benchmarks.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vestrano::test {

class XlsxPackage {
 public:
  // Adds a part; stored keeps it uncompressed (so tests can damage its bytes).
  XlsxPackage& Add(std::string name, std::string content, bool stored = false);
  // Replaces the content of a part added before (adds it when absent).
  XlsxPackage& Replace(const std::string& name, std::string content);
  XlsxPackage& Remove(const std::string& name);
  std::vector<std::byte> Bytes() const;
  void WriteFile(const std::string& path) const;

 private:
  struct Part {
    std::string name, content;
    bool stored;
  };
  std::vector<Part> parts_;
};

struct SheetPart {
  std::string name;  // the sheet's name in the workbook part
  std::string xml;   // the whole worksheet part
};

// A worksheet part: sheet_data goes inside sheetData, after follows it.
std::string SheetXml(std::string_view sheet_data, std::string_view after = "",
                     std::string_view before = "");
// A shared-string part from raw si elements.
std::string SharedStringsXml(const std::vector<std::string>& si_elements);
// A styles part: custom number formats ("<numFmt …/>" elements) and one xf per numFmtId.
std::string StylesXml(std::string_view num_fmts, const std::vector<int>& xf_num_fmt_ids);

// Content types, package and workbook relationships, the workbook part and one worksheet part
// per sheet (xl/worksheets/sheet1.xml, …); shared strings and styles when not empty.
XlsxPackage MinimalWorkbook(const std::vector<SheetPart>& sheets,
                            const std::string& shared_strings = "", const std::string& styles = "",
                            const std::string& workbook_pr = "");

}  // namespace vestrano::test
