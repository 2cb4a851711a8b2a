#pragma once
// The statement state: everything the program keeps between commands. It is the one seam between
// the core and the two front ends; every command is a core function on it.
#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "data/layout.h"
#include "data/records.h"
#include "workbook/model.h"

namespace vestrano {

// Positions of the ten sheet indices.
enum class SheetSlot : int { Header = 0, Subject, A1, A2, A3, A4, A5, B1, B2, B3 };

inline SheetSlot SheetSlotOf(Section s) { return static_cast<SheetSlot>(static_cast<int>(s) + 2); }

// The statistics grid: 9 columns (0 = headings, 1 … 8 = sections) × 5 rows.
struct TStatsGrid {
  std::array<std::array<std::string, 5>, 9> cell;  // cell[column][row]
  TStatsGrid();
  const std::string& At(int column, int row) const { return cell[column][row]; }
};

// The subtotals list: 46 fixed keys with their value texts, initially "0".
struct TSubtotalsList {
  std::vector<std::pair<std::string, std::string>> lines;
  TSubtotalsList();
  // Sets the value of the line with that key (the keys never change).
  void Set(const std::string& key, std::string value);
  const std::string& Get(const std::string& key) const;
};

// What a message of the two lists points at, for programs that read the report: the sheet,
// the spreadsheet row (0: none) and the field's XML attribute (nullptr: none). Kept beside the
// text, never read back out of it.
struct TMessagePlace {
  std::optional<SheetSlot> sheet;
  int row = 0;
  const char* field = nullptr;  // a name from the field tables, which live as long as the program
};

// A section's statistics as numbers, for programs that read the report (the grid holds texts).
struct SectionCounts {
  int read = 0;
  int skipped = 0;
  int faulty = 0;
  int total = 0;  // "CELKEM": the size of the row range, set when the section is finished
  bool operator==(const SectionCounts&) const = default;
};

struct TStatement {
  TWorkbook workbook;
  tDataHeader header;  // take_last_row true at start-up
  tSubject subject;
  tDataTotals totals;
  tDataSheets sheets;
  tDataOffsets offsets;
  tDataOrder order;
  TStatementRecords records;

  // Sheet positions found by the last import (Header, Subject, A1 … B3); none when not found.
  std::array<std::optional<int>, 10> sheet_index;
  bool imported = false;  // the last import run reached its end: there is a statement to export
  // The run frees the workbook's rows as the statement is read from them, so that a big workbook
  // and its records never fill memory together (the command line; the rows are gone afterwards).
  bool release_workbook = false;
  int last_row_correction = 1;
  std::string start_directory;  // current directory at start-up

  // The four result panes as plain data.
  std::vector<std::string> errors;    // "Chybové hlášení"
  std::vector<std::string> warnings;  // "Upozornění"
  // Where each message points, in step with the two lists (AddError and AddWarning keep them so).
  std::vector<TMessagePlace> error_places;
  std::vector<TMessagePlace> warning_places;
  TStatsGrid stats;
  TSubtotalsList subtotals;
  // The statistics grid's numbers by section: none while the section's sheet was not found, all
  // zero for a sheet found without rows (whose grid column shows "-").
  std::array<std::optional<SectionCounts>, kSectionCount> counts;

  TStatement();
  std::optional<int> SheetIndex(SheetSlot s) const { return sheet_index[static_cast<int>(s)]; }
  // The view the XML writer reads.
  TFilingData Filing() const {
    return TFilingData{header,
                       subject,
                       records,
                       totals,
                       SheetIndex(SheetSlot::A5).has_value(),
                       SheetIndex(SheetSlot::B3).has_value()};
  }
  std::optional<int>& SheetIndex(SheetSlot s) { return sheet_index[static_cast<int>(s)]; }
  void AddError(std::string text, TMessagePlace place = {});
  void AddWarning(std::string text, TMessagePlace place = {});
  // The name of a sheet slot: "Hlavička", "Subjekt" or the section's sheet name.
  const std::string& SheetName(SheetSlot s) const;
};

}  // namespace vestrano
