#include "cli/report.h"

#include <cmath>
#include <functional>

#include "cli/json.h"
#include "data/decimal.h"
#include "data/section_c.h"
#include "import/client.h"
#include "import/section_tables.h"

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

std::string Client(const TStatement& st) {
  const TClient c = ClientOf(st.header, st.subject);
  return "{\"name\": " + JsonStringOrNull(c.name) + ", \"dic\": " + JsonStringOrNull(c.dic) +
         ", \"form\": " + JsonStringOrNull(c.form) + ", \"year\": " + JsonStringOrNull(c.year) +
         ", \"month\": " + JsonStringOrNull(c.month) +
         ", \"quarter\": " + JsonStringOrNull(c.quarter) + "}";
}

std::string Counts(const TStatement& st) {
  std::string out = "{";
  for (std::size_t i = 0; i < kSectionCount; ++i) {
    out += i ? ", \"" : "\"";
    out += SectionCode(static_cast<Section>(i));
    out += "\": ";
    const std::optional<SectionCounts>& c = st.counts[i];
    out += !c ? "null"
              : "{\"read\": " + std::to_string(c->read) +
                    ", \"skipped\": " + std::to_string(c->skipped) +
                    ", \"faulty\": " + std::to_string(c->faulty) +
                    ", \"total\": " + std::to_string(c->total) + "}";
  }
  return out + "}";
}

// "10500.00"; null for a sum beyond any number (which no filing holds).
std::string Amount(long double value) {
  if (!std::isfinite(value)) return "null";
  return "\"" + TwoDecimalsText(RoundToHundredths(value)) + "\"";
}

// Each section's summed columns by XML attribute, then section C as VetaC carries it.
std::string Sums(const TStatement& st) {
  std::string out = "{";
  for (std::size_t i = 0; i < kSectionCount; ++i) {
    const auto section = static_cast<Section>(i);
    out += i ? ", \"" : "\"";
    out += SectionCode(section);
    out += "\": {";
    bool first = true;
    for (const SectionFieldInfo& field : SectionTableOf(section).fields) {
      if (field.slot == TotalSlot::None) continue;
      out += first ? "" : ", ";
      out += JsonString(field.name) + ": " + Amount(st.totals[field.slot]);
      first = false;
    }
    out += "}";
  }
  out += ", \"C\": {";
  bool first = true;
  for (const SectionCLine& line : SectionCLines()) {
    out += first ? "" : ", ";
    out += JsonString(line.attribute) + ": " + Amount(SectionCValue(line, st.totals));
    first = false;
  }
  return out + "}}";
}

// Warnings, then errors, as the text report lists them; each with where it points.
std::string Messages(const TStatement& st) {
  std::string out = "[";
  bool first = true;
  auto add = [&](const char* severity, const std::vector<std::string>& texts,
                 const std::vector<TMessagePlace>& places) {
    for (std::size_t i = 0; i < texts.size(); ++i) {
      // The places are kept in step with the texts; a missing one points nowhere.
      const TMessagePlace place = i < places.size() ? places[i] : TMessagePlace{};
      out += first ? "{" : ", {";
      first = false;
      out += "\"severity\": \"";
      out += severity;
      out += "\", \"text\": " + JsonString(texts[i]);
      out += ", \"sheet\": " + (place.sheet ? JsonString(st.SheetName(*place.sheet)) : "null");
      out += ", \"row\": " + (place.row > 0 ? std::to_string(place.row) : "null");
      out += ", \"field\": " + (place.field ? JsonString(place.field) : "null") + "}";
    }
  };
  add("warning", st.warnings, st.warning_places);
  add("error", st.errors, st.error_places);
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
  // Format 2: what programs read without parsing the texts above. A failed workbook (its import
  // did not reach its end, or its XML could not be written) has no client, counts or sums.
  const bool read = st.imported && !report.failure;
  out += ", \"format\": 2";
  out += ", \"client\": " + (read ? Client(st) : "null");
  out += ", \"counts\": " + (read ? Counts(st) : "null");
  out += ", \"sums\": " + (read ? Sums(st) : "null");
  out += ", \"messages\": " + Messages(st);
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

}  // namespace vestrano::cli
