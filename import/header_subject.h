#pragma once
// The two fixed-layout sheets: the header (Hlavička) and the subject (Subjekt).
#include <optional>

#include "data/date_text.h"
#include "import/statement.h"

namespace vestrano {

// Reads column B of the rows the field tables name from the header and subject sheets that the
// lookup found, into the header and subject records, and judges them: the follow-up statement's
// date-or-call line, the header's messages in row order, the subject's in row order, then the
// rules that join the two. A missing sheet reads as empty rows, so whatever the form needs is
// reported missing rather than made up.
void ReadHeaderAndSubject(TStatement& st);

// The first and last day of the statement's period, when its year and its month (or, without a
// month, its quarter) are values the form takes.
struct TPeriod {
  TCivilDate first;
  TCivilDate last;
};
std::optional<TPeriod> PeriodOf(const tDataHeader& header);

}  // namespace vestrano
