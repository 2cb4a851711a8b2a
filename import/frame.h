#pragma once
// The section reading frame. Every row section (A.1, A.2, A.3, A.4, B.1, B.2) is read by one
// procedure and the two aggregate sections (A.5, B.3) by another; what differs between sections
// is data, a SectionTable: key, required fields, skip suffix, the ordered checks, the sums.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "data/layout.h"
#include "data/records.h"
#include "import/statement.h"
#include "import/stats.h"

namespace vestrano {

// How a check treats the field it looks at. Messages name the field by its label.
enum class CheckKind {
  EmptyWarns,    // empty (and every companion empty): warning "Prázdný údaj"; else rule or error
  Judged,        // rule or error "Neplatný údaj", the empty text judged like any other
  IfFilled,      // empty: nothing; else rule or error
  Negative,      // filled and starting with "-": warning "Záporná hodnota"
  EmptyInGroup,  // empty while a companion is filled: warning "Prázdný údaj"
};

// The field rule a check applies. Amount also adds an accepted value to the field's running sum.
enum class Rule {
  None,
  Date,
  Amount,
  DIC,
  CountryCode,
  VatId,
  DocNumber,
  RegimeCode,
  YesNo,
  SupplyCode,
  RatioFlag,
  Length,  // at most the field's max_length characters
};

inline constexpr std::size_t kNoField = static_cast<std::size_t>(-1);
inline constexpr std::size_t kMaxSectionFields = 12;

struct FieldCheck {
  CheckKind kind;
  Rule rule;
  std::size_t field;                    // index in the record's field table
  std::vector<std::size_t> companions;  // fields that share the empty test
};

struct SectionFieldInfo {
  const char* name;
  const char* label;
  FieldKind kind;
  TotalSlot slot;
  std::size_t max_length;
  const char* heading;  // a blank workbook's column heading when not the label
};

struct SectionTable {
  Section section;
  const void* record_fields = nullptr;   // Fields<R>().data() of the record type the table is for
  std::vector<SectionFieldInfo> fields;  // record order
  std::size_t key = kNoField;            // row sections: the field whose cell must hold text
  std::size_t country = kNoField;        // k_stat: the country whose format a VAT ID has
  std::vector<std::size_t> required;     // row sections: positions a data row must reach
  std::string skip_suffix;               // row sections: ends "Vynechaný řádek č." + n
  std::vector<FieldCheck> checks;        // in order
  std::vector<SubtotalLine> sums;        // in slot order
};

// What reading one section gave, kept apart from the statement until it is put in, so that
// sections on different sheets can be read at once and still leave their messages in order.
struct SectionRun {
  std::vector<std::string> errors;
  std::vector<std::string> warnings;
  std::vector<TMessagePlace> error_places;  // in step with the lists
  std::vector<TMessagePlace> warning_places;
  bool empty_sheet = false;  // found without rows: "-" in its statistics column
  bool finished = false;     // read: its counts, sums and row range go into the statement
  SectionCounts counts;
  RunningSums sums{};
  int row_count = 0;     // R
  int heading_rows = 0;  // H
  int correction = 0;    // c
};

// Reads the row section of the table into rows (which ends up holding exactly this run's
// records), writes its messages, and finishes the section.
template <class R>
void ReadRowSection(TStatement& st, const SectionTable& table, std::vector<R>& rows);

// Reads the single aggregate row of A.5 or B.3; the aggregate exists afterwards exactly when
// that row holds something.
template <class R>
void ReadAggregateSection(TStatement& st, const SectionTable& table, std::optional<R>& aggregate);

// The same in two steps. Reading changes nothing of the statement but the records given and the
// section's own sheet (which it may free as it goes), so sections on different sheets may be
// read at once; putting in appends the messages and finishes the section.
template <class R>
SectionRun ReadRowSectionApart(TStatement& st, const SectionTable& table, std::vector<R>& rows);
template <class R>
SectionRun ReadAggregateSectionApart(TStatement& st, const SectionTable& table,
                                     std::optional<R>& aggregate);
void PutSection(TStatement& st, const SectionTable& table, SectionRun&& run);

}  // namespace vestrano
