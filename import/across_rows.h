#pragma once
// The form's rules that no single value can break: they compare rows with one another, with the
// filer or with the period. They run once every section has been read and leave the statistics
// as they are.
#include "import/statement.h"

namespace vestrano {

// Appends, in section order and within a section in row order: the filer's own DIČ given as a
// partner's, repeated document numbers, taxable supplies dated before 2016, the third rate used
// after 2023, small documents that belong to A.5 or B.3, and A.2 rows with the code CZ; then,
// for a quick reply to a call, one line per section that has rows.
void JudgeAcrossRows(TStatement& st);

}  // namespace vestrano
