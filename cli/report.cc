#include "cli/report.h"

#include <functional>

#include "cli/json.h"

namespace vestrano::cli {

namespace {
std::string Lines(const std::vector<std::string>& lines) {
  std::string out = "[";
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i) out += ", ";
    out += JsonString(lines[i]);
  }
  return out + "]";
}
}  // namespace

std::string ReportJson(const TStatement& st, const RunReport& report) {
  // One line, so that a run over several workbooks gives one object per line.
  std::string out = "{\"file\": " + JsonString(report.file) + ", \"statistics\": {";
  for (int col = 1; col <= 8; ++col) {
    out += col > 1 ? ", " : "";
    out += JsonString(st.stats.At(col, 0)) + ": {";
    for (int row = 1; row <= 4; ++row) {
      if (row > 1) out += ", ";
      out += JsonString(st.stats.At(0, row)) + ": " + JsonString(st.stats.At(col, row));
    }
    out += "}";
  }
  out += "}, \"subtotals\": [";
  for (std::size_t i = 0; i < st.subtotals.lines.size(); ++i) {
    if (i) out += ", ";
    out += "[" + JsonString(st.subtotals.lines[i].first) + ", " +
           JsonString(st.subtotals.lines[i].second) + "]";
  }
  out += "], \"warnings\": " + Lines(st.warnings);
  out += ", \"errors\": " + Lines(st.errors);
  out += ", \"failure\": " + (report.failure ? JsonString(*report.failure) : "null");
  out += ", \"xml\": " + (report.export_result ? JsonString(report.export_result->path) : "null");
  out += ", \"validation\": ";
  if (report.export_result && report.export_result->validated) {
    out += "{\"verdict\": \"" + std::string(VerdictName(report.export_result->verdict)) +
           "\", \"output\": " + JsonString(report.export_result->output) + "}";
  } else {
    out += "null";
  }
  out += "}\n";
  return out;
}

void WriteDumpJson(const TWorkbook& book, const std::function<void(std::string_view)>& write) {
  // Handed on in pieces as the model is walked, so that the dump never holds more than a piece
  // besides the model: a text many cells share would otherwise be copied once for each of them.
  constexpr std::size_t kPiece = 1 << 16;
  std::string out = "{\"date1904\": ";
  auto flush = [&](bool always) {
    if (always || out.size() >= kPiece) {
      write(out);
      out.clear();
    }
  };
  out += book.Date1904 ? "true" : "false";
  out += ",\n \"sheets\": [";
  for (int s = 0; s < book.Sheets.Count(); ++s) {
    const TExportWorkSheet& sheet = book.Sheets.Items(s);
    out += s ? ",\n  " : "";
    out += "{\"name\": " + JsonString(sheet.Name) + ",\n   \"rows\": [";
    for (int r = 0; r < sheet.Rows.Count(); ++r) {
      const TExportRow& row = *sheet.Rows.Find(r);
      out += r ? ",\n     " : "";
      out += "[";
      for (int c = 0; c < row.Cells.Count(); ++c) {
        const TExportCell& cell = row.Cells.Items(c);
        out += c ? ", " : "";
        out += "{\"kind\": \"";
        out += CellKindName(cell.Kind());
        out += "\", \"text\": " + JsonString(cell.AsText(book));
        if (std::string_view code = cell.FormatCode(book); !code.empty())
          out += ", \"format\": " + JsonString(code);
        out += "}";
        flush(false);
      }
      out += "]";
    }
    out += "]}";
  }
  out += "]}\n";
  flush(true);
}

std::string DumpJson(const TWorkbook& book) {
  std::string out;
  WriteDumpJson(book, [&](std::string_view piece) { out += piece; });
  return out;
}

}  // namespace vestrano::cli
