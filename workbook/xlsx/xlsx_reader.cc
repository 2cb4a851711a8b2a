// The package reader: the order of the steps, the progress texts, and who reads which part.
#include "workbook/xlsx/xlsx_reader.h"

#include "workbook/xlsx/parts.h"
#include "workbook/xlsx/xml_helper.h"
#include "workbook/xlsx/zip_package.h"

namespace vestrano::xlsx {

void Read(TWorkbook& book, std::span<const std::byte> file, ProgressSink* progress) {
  auto report = [&](const std::string& text, double fraction) {
    if (progress) progress->Progress(text, fraction);
  };
  const QuietXmlErrors quiet;
  ZipPackage package(file);
  report("Loading", 0);
  const WorkbookInfo info = ReadWorkbookPart(package, book);
  const std::vector<std::uint32_t> xf_formats = ReadStyles(package, info.styles_part, book);
  for (const SheetEntry& entry : info.sheets) book.AddSheet(entry.name);

  report("Shared strings", 0);
  SharedStrings strings(book, info.shared_strings_part);
  strings.Load(package);

  const int n = static_cast<int>(info.sheets.size());
  SheetContext ctx{package, book, xf_formats, strings, progress, {}, 0, 1};
  for (int i = 0; i < n; ++i) {
    TExportWorkSheet& sheet = book.Sheets.Items(i);
    ctx.progress_text = "Worksheet " + std::to_string(i + 1) + "/" + std::to_string(n);
    if (!sheet.Name.empty()) ctx.progress_text += ": " + sheet.Name;
    ctx.progress_from = static_cast<double>(i) / n;
    ctx.progress_span = 1.0 / n;
    report(ctx.progress_text, ctx.progress_from);
    ReadWorksheet(ctx, info.sheets[static_cast<std::size_t>(i)], sheet);
  }
}

}  // namespace vestrano::xlsx
