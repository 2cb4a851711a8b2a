#include "cli/report.h"

#include <functional>

#include "cli/json.h"
#include "data/text.h"

namespace vestrano::cli {

namespace {
std::string PadRight(const std::string& s, std::size_t width) {
  const std::size_t n = CharLength(s);
  return n >= width ? s : s + std::string(width - n, ' ');
}
std::string PadLeft(const std::string& s, std::size_t width) {
  const std::size_t n = CharLength(s);
  return n >= width ? s : std::string(width - n, ' ') + s;
}
}  // namespace

const char* VerdictName(Verdict v) {
  switch (v) {
    case Verdict::Valid:
      return "valid";
    case Verdict::Invalid:
      return "invalid";
    case Verdict::NotRun:
      return "not-run";
  }
  return "not-run";
}

namespace {
void List(std::string& out, const char* title, const std::vector<std::string>& lines) {
  out += "\n";
  out += title;
  out += " (" + std::to_string(lines.size()) + ")\n";
  for (const auto& line : lines) out += "  " + ToValidUtf8(line) + "\n";
}

std::string Lines(const std::vector<std::string>& lines) {
  std::string out = "[";
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i) out += ", ";
    out += JsonString(lines[i]);
  }
  return out + "]";
}
}  // namespace

std::string ReportText(const TStatement& st, const RunReport& report) {
  std::string out;
  if (report.failure && !report.export_result && st.workbook.Sheets.Count() == 0) return out;
  out += "Výsledek načtení vstupního souboru\n";
  for (int row = 0; row < 5; ++row) {
    out += PadRight(st.stats.At(0, row), 12);
    for (int col = 1; col <= 8; ++col) out += PadLeft(st.stats.At(col, row), 8);
    out += "\n";
  }
  out += "\nKontrola - mezisoučty sloupců\n";
  for (const auto& [key, value] : st.subtotals.lines)
    out += PadRight(key, 30) + PadLeft(value, 26) + "\n";
  List(out, "Upozornění", st.warnings);
  List(out, "Chybové hlášení", st.errors);
  out += "\n";
  if (report.export_result) {
    const ExportResult& r = *report.export_result;
    out += "XML: " + r.path + "\n";
    if (r.validated) {
      out += std::string("Ověření podle schémy XSD: ") + VerdictName(r.verdict) + "\n";
      out += ToValidUtf8(r.message) + "\n";
    } else {
      out += "Ověření podle schémy XSD: vynecháno\n";
    }
  } else if (!report.failure) {
    out += "XML: nezapsáno\n";
  }
  return out;
}

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
