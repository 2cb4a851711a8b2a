#pragma once
// The blank statement workbook: "Hlavička" and "Subjekt" with a label for each field in column A
// and a formatted cell in column B, and the eight section sheets with one heading row, column
// formats and drop-down lists for the code fields, all where the import reads them.
#include <xlsxwriter.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vestrano::cli {

class TemplateWorkbook {
 public:
  // Lays out every sheet of a workbook that Close writes to path. Raises std::runtime_error;
  // messages name shown_path when it is given (a temporary file stands in for the target).
  explicit TemplateWorkbook(const std::string& path, const std::string& shown_path = {});
  ~TemplateWorkbook();  // without Close nothing is written
  TemplateWorkbook(const TemplateWorkbook&) = delete;
  TemplateWorkbook& operator=(const TemplateWorkbook&) = delete;

  // The sheet with that name; nullptr when there is none.
  lxw_worksheet* Sheet(std::string_view name) const;
  // The format that a value typed into the cell (0-based row and column) takes: its row's in
  // column B of the header and subject sheets, its column's in a section sheet; nullptr for the
  // general format. Whoever fills the workbook writes with it, as a spreadsheet program would.
  lxw_format* CellFormat(std::string_view sheet, int row, int column) const;

  // Writes the file. Raises std::runtime_error naming the file and the library's reason.
  void Close();

 private:
  struct SheetFormats {
    std::string name;
    lxw_worksheet* sheet;
    bool by_row;                       // header and subject: formats of column B by row
    std::vector<lxw_format*> formats;  // by row or by column, 0-based
  };
  void AddFixedSheet(const char* name, bool header);
  void AddSectionSheets();

  std::string path_;
  lxw_workbook* book_ = nullptr;
  lxw_format* bold_ = nullptr;
  lxw_format* text_ = nullptr;
  lxw_format* date_ = nullptr;
  lxw_format* amount_ = nullptr;
  std::vector<SheetFormats> sheets_;
};

// Writes the blank workbook to path, which must not exist yet (a filled workbook is never
// overwritten); the file appears complete or not at all. Raises std::runtime_error.
void WriteTemplate(const std::string& path);

}  // namespace vestrano::cli
