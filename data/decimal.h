#pragma once
// The decimal arithmetic of amounts: a text is parsed once into its exact decimal value, and every
// amount, total and sum the program shows or files is rounded by one rule, to whole hundredths
// half away from zero. Independent of any locale.
#include <optional>
#include <string>
#include <string_view>

namespace vestrano {

// The value of an amount text as a decimal: digits × 10^exponent.
struct DecimalNumber {
  bool negative = false;
  std::string digits;  // significant digits without leading or trailing zeros; empty for zero
  long exponent = 0;
};

// Amount syntax: blanks, sign, digits, optional fraction, optional exponent, blanks. "." and ","
// are both the decimal separator; at least one digit or the separator. nullopt otherwise.
std::optional<DecimalNumber> ParseDecimal(std::string_view s);

// The magnitude, correctly rounded (ties to even) into extended precision; +inf when it is
// certainly beyond the double range.
long double ToExtended(const DecimalNumber& d);
// The double nearest to the value; nullopt when it lies outside the double range.
std::optional<double> ToDouble(const DecimalNumber& d);

// A value rounded to whole hundredths, half away from zero: the magnitude × 100 as decimal
// digits without leading zeros ("0" for zero, which never carries a sign).
struct Hundredths {
  bool negative = false;
  std::string digits = "0";
};
// nullopt when the value has more than a thousand digits (no amount has).
std::optional<Hundredths> RoundToHundredths(const DecimalNumber& d);
// A finite value, exactly as the binary number stands.
Hundredths RoundToHundredths(long double value);

// "-12.5", "1500", "0": a decimal point, no trailing zeros (the filing's form).
std::string PlainText(const Hundredths& h);
// "-12.50", "1500.00", "0.00": always two decimals.
std::string TwoDecimalsText(const Hundredths& h);
// The whole part and the two decimals: {"1234", "50"}.
std::pair<std::string, std::string> WholeAndCents(const Hundredths& h);

}  // namespace vestrano
