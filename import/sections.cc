#include "import/sections.h"

namespace vestrano {

void ReadSections(TStatement&) {}
void WriteSectionCLines(TStatement&) {}

}  // namespace vestrano
