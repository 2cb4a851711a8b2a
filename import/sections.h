#pragma once
// The section readers and the section C lines.
#include "import/statement.h"

namespace vestrano {

// Reads A.1, A.2, A.3, A.4, A.5, B.1, B.2, B.3 in this order from the found sheets.
void ReadSections(TStatement& st);

// Writes the eight section C lines from the slots.
void WriteSectionCLines(TStatement& st);

}  // namespace vestrano
