// Placeholder until the writer lands.
#include "export/export.h"

#include <stdexcept>

namespace vestrano {

ExportResult ExportStatement(const TFilingData&, const std::string&, bool, const std::string&) {
  throw std::runtime_error("The XML export is not implemented yet.");
}

}  // namespace vestrano
