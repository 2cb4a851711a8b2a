// Placeholder until the field rules are implemented: everything is rejected.
#include "data/field_rules.h"

namespace vestrano {

std::string NormalizeDIC(std::string_view) { return {}; }
std::string NormalizeCountryCode(std::string_view) { return {}; }
bool IsVATIDValid(std::string_view) { return false; }
std::string NormalizeAmount(std::string_view) { return {}; }
bool IsDocNumberValid(std::string_view) { return false; }
bool IsRegimeCodeValid(std::string_view) { return false; }
bool IsYesNoValid(std::string_view) { return false; }
bool IsSupplyCodeValid(std::string_view) { return false; }
bool IsRatioFlagValid(std::string_view) { return false; }
std::optional<long double> AmountValue(std::string_view) { return std::nullopt; }

}  // namespace vestrano
