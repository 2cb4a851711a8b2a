#pragma once
// The section tables: everything that distinguishes one section's reading from another's.
#include "data/layout.h"
#include "import/frame.h"

namespace vestrano {

// The table of a section (built once, on first use).
const SectionTable& SectionTableOf(Section s);

}  // namespace vestrano
