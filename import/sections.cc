#include "import/sections.h"

#include "import/frame.h"
#include "import/section_tables.h"
#include "import/stats.h"

namespace vestrano {

void ReadSections(TStatement& st) {
  TStatementRecords& r = st.records;
  ReadRowSection(st, SectionTableOf(Section::A1), r.a1);
  ReadRowSection(st, SectionTableOf(Section::A2), r.a2);
  ReadRowSection(st, SectionTableOf(Section::A3), r.a3);
  ReadRowSection(st, SectionTableOf(Section::A4), r.a4);
  ReadAggregateSection(st, SectionTableOf(Section::A5), r.a5);
  ReadRowSection(st, SectionTableOf(Section::B1), r.b1);
  ReadRowSection(st, SectionTableOf(Section::B2), r.b2);
  ReadAggregateSection(st, SectionTableOf(Section::B3), r.b3);
}

void WriteSectionCLines(TStatement& st) { WriteCLines(st); }

}  // namespace vestrano
