#include "report/text_report.h"

#include "data/text.h"

namespace vestrano {

namespace {
std::string PadRight(const std::string& s, std::size_t width) {
  const std::size_t n = CharLength(s);
  return n >= width ? s : s + std::string(width - n, ' ');
}
std::string PadLeft(const std::string& s, std::size_t width) {
  const std::size_t n = CharLength(s);
  return n >= width ? s : std::string(width - n, ' ') + s;
}

void List(std::string& out, const char* title, const std::vector<std::string>& lines) {
  out += "\n";
  out += title;
  out += " (" + std::to_string(lines.size()) + ")\n";
  for (const auto& line : lines) out += "  " + ToValidUtf8(line) + "\n";
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

}  // namespace vestrano
