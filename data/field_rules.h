#pragma once
// Field normalisers and checks. Pure functions that never fail: a value they do not accept gives
// the empty text or false. The import judges every row with them; the XML writer uses the same
// normalisers to write an accepted value in its normal form.
#include <optional>
#include <string>
#include <string_view>

namespace vestrano {

std::string NormalizeDIC(std::string_view s);          // 8, 9 or 10 digits
std::string NormalizeCountryCode(std::string_view s);  // EU code, any case → upper case
bool IsVATIDValid(std::string_view s);
std::string NormalizeAmount(std::string_view s);  // at most two decimals → general number text
bool IsDocNumberValid(std::string_view s);
bool IsRegimeCodeValid(std::string_view s);
bool IsYesNoValid(std::string_view s);  // zdph_44: A, N or P in either case
bool IsSupplyCodeValid(std::string_view s);
bool IsRatioFlagValid(std::string_view s);

// A VAT ID that IsVATIDValid accepts and that begins, in any case, with its row's country code
// (k_stat as NormalizeCountryCode accepts it), without those two letters: the filing carries
// the country in k_stat only. nullopt when the VAT ID is to be written as it is.
std::optional<std::string> VatIdWithoutCountry(std::string_view vat_id, std::string_view k_stat);

// The value of an amount text read as NormalizeAmount reads it ("." and "," both decimal
// separators), parsed straight into extended precision; nullopt when the syntax does not match.
std::optional<long double> AmountValue(std::string_view s);

}  // namespace vestrano
