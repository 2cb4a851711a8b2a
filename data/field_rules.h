#pragma once
// Field normalisers and checks. Pure functions that never fail: a value they do not accept gives
// the empty text or false. The import judges every row with them; the XML writer uses the same
// normalisers to write an accepted value in its normal form.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "data/decimal.h"

namespace vestrano {

// A Czech DIČ of 8, 9 or 10 digits, with or without "CZ" (any case) before them: the digits.
std::string NormalizeDIC(std::string_view s);
// The same digits seen in place in s; empty when s is not such a DIČ.
std::string_view DicDigits(std::string_view s);
// Whether an accepted DIČ was written with its "CZ", which the filing leaves out.
bool HasCountryPrefix(std::string_view dic);
// A VAT group's DIČ (the group's own digits begin with 699): it has no check digit, and its
// members may repeat document numbers.
bool IsVatGroup(std::string_view dic_digits);
// The check digit of the digits NormalizeDIC gives: an IČO's for 8 digits, a birth number's for
// 10 (divisible by 11, or the old form: the first nine leave 10 and the last is 0). 9 digits
// and VAT groups have none to check, so they pass.
bool HasValidCheckDigit(std::string_view dic_digits);

std::string NormalizeCountryCode(std::string_view s);  // code of the form's table, any case → upper

// A VAT ID as the form takes it for the row's country (k_stat, any case): the format that the
// form's table gives for that country, with or without the country code before it (the filing
// leaves it out). The empty text passes. Without a known country, any country's format will do.
bool IsVATIDValid(std::string_view vat_id, std::string_view k_stat);

// At most two decimals and 15 digits before the decimal point, judged on the text ("1,000" has
// no decimals that carry value, "12,345" three) → general number text; else "".
std::string NormalizeAmount(std::string_view s);
// The same judgement, giving the amount's exact decimal value; nullopt for a text it refuses.
std::optional<DecimalNumber> AcceptedAmount(std::string_view s);
// Whether a number cell's value is its text's value to less than half a cent: a cell shows 15
// significant digits, so an amount of ten trillion with cents has lost them in its text.
bool IsAmountTextFaithful(double cell_value, std::string_view text);
bool IsDocNumberValid(std::string_view s);
bool IsRegimeCodeValid(std::string_view s);
bool IsYesNoValid(std::string_view s);  // zdph_44: A, N or P in either case
bool IsSupplyCodeValid(std::string_view s);
bool IsRatioFlagValid(std::string_view s);

// The header and subject sheets. Each takes the whole cell text.
bool IsFormTypeValid(std::string_view s);       // khdph_forma: B, O, N, E
bool IsYearValid(std::string_view s);           // four digits, 1900 to 2999
bool IsMonthValid(std::string_view s);          // 1 to 12 (a leading zero allowed)
bool IsQuarterValid(std::string_view s);        // 1 to 4
bool IsCallReplyValid(std::string_view s);      // vyzva_odp: B, P
bool IsSubjectTypeValid(std::string_view s);    // typ_ds, zast_typ: P, F
bool IsTaxOfficeValid(std::string_view s);      // c_ufo: 451 to 464, or 13
bool IsUsualCallReference(std::string_view s);  // 99999999/99/9999-99999-999999
// zast_kod for the representative's type ("F" or "P"): the codes the form lists for that type.
bool IsRepresentativeCodeValid(std::string_view code, std::string_view type);
// 1 to max_digits digits and nothing else.
bool IsDigits(std::string_view s, std::size_t max_digits);
// An address in the Czech Republic: stat empty, "ČESKÁ REPUBLIKA" or "CZ", in any case.
bool IsCzechAddress(std::string_view stat);
// The PSČ as the form wants it: a Czech one is 5 digits once its blanks are dropped (nullopt
// when it is not), a foreign one is taken as it is.
std::optional<std::string> NormalizePsc(std::string_view psc, std::string_view stat);

// A VAT ID that IsVATIDValid accepts for its row's country written with that country's code
// before it (in any case): the VAT ID without those two letters, since the filing carries the
// country in k_stat only. nullopt when the VAT ID is to be written as it is.
std::optional<std::string> VatIdWithoutCountry(std::string_view vat_id, std::string_view k_stat);

// The value of an amount text read as NormalizeAmount reads it ("." and "," both decimal
// separators), parsed straight into extended precision; nullopt when the syntax does not match.
std::optional<long double> AmountValue(std::string_view s);
// The value of an amount that NormalizeAmount accepts, parsed once; nullopt for any other text.
std::optional<long double> AcceptedAmountValue(std::string_view s);

}  // namespace vestrano
