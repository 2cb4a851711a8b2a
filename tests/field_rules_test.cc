#include "data/field_rules.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <utility>

namespace vestrano {
namespace {

using TextCase = std::pair<const char*, const char*>;
using FlagCase = std::pair<const char*, bool>;

TEST(NormalizeAmount, Cases) {
  // clang-format off
  const TextCase cases[] = {
      // decimal point and decimal comma read alike; the result has a point and no trailing zeros
      {"1234.5", "1234.5"},
      {"1234,50", "1234.5"},
      {"-7", "-7"},
      {"7.0", "7"},
      {"+5", "5"},
      {"100", "100"},
      {"1e3", "1000"},
      {"1E+2", "100"},
      {"0.1e1", "1"},
      {"1.5e-1", "0.15"},
      {"0.01", "0.01"},
      {"1e-2", "0.01"},
      {",", "0"},
      {"1,", "1"},
      {",5", "0.5"},
      {" 7 ", "7"},
      {"   -3,25  ", "-3.25"},
      {"-0.0", "0"},
      {"-,", "0"},
      {"007", "7"},
      // values whose double is not exact: the extended 0.01 must accept them
      {"0.29", "0.29"},
      {"1.15", "1.15"},
      {"1,89", "1.89"},
      {"-547,31", "-547.31"},
      {"0.07", "0.07"},
      {"4.35", "4.35"},
      {"1234567.89", "1234567.89"},
      {"9999999999999.99", "9999999999999.99"},
      // more than 15 significant digits: written with 15
      {"12345678901234.56", "12345678901234.6"},
      {"99999999999999.99", "100000000000000"},
      {"123456789012345.67", "123456789012346"},
      // judged on the text: only digits that carry value count
      {"1,000", "1"},
      {"2.50000", "2.5"},
      {"000000000000000000001", "1"},
      {"999999999999999", "999999999999999"},
      {"1.5e14", "150000000000000"},
      // more than 15 digits before the decimal point: the form has 17 in all, two of them decimals
      {"1e15", ""},
      {"-2500000000000000", ""},
      {"1234567890123456", ""},
      {"12345678901234567890", ""},
      {"1e300", ""},
      // more than two decimals, also where the double cannot tell them apart
      {"12,345", ""},
      {"0.005", ""},
      {"2.675", ""},
      {"125e-3", ""},
      {"0.001", ""},
      {"123456789012345,675", ""},
      {"10000000000000.001", ""},
      // syntax
      {"", ""},
      {"-", ""},
      {"+", ""},
      {"1 234,50", ""},
      {"1.234,50", ""},
      {"1,2,3", ""},
      {"abc", ""},
      {"12a", ""},
      {"1e", ""},
      {"1e+", ""},
      {"e5", ""},
      {"\t7", ""},
      {"7\n", ""},
      {"--1", ""},
      {"1-", ""},
      {"0x10", ""},
      {"inf", ""},
      {"nan", ""},
      {"1 e3", ""},
      // too large for a double
      {"1e400", ""},
      {"-1e400", ""},
      {"1e99999999999999999999", ""},
  };
  // clang-format on
  for (auto [in, out] : cases) EXPECT_EQ(NormalizeAmount(in), out) << "input '" << in << "'";
}

// Every amount with at most two decimals and up to 15 significant digits passes and comes back
// as its own digits, whether written with a point or a comma; one more decimal is refused.
TEST(NormalizeAmount, AcceptsEveryTwoDecimalAmount) {
  std::mt19937_64 rng(7);
  for (int i = 0; i < 200000; ++i) {
    const int digits = 1 + static_cast<int>(rng() % 15);
    std::uint64_t limit = 1;
    for (int k = 0; k < digits; ++k) limit *= 10;
    const std::uint64_t cents = rng() % limit;
    const bool negative = rng() % 2;
    const std::string whole = std::to_string(cents / 100);
    std::string frac = std::to_string(cents % 100);
    if (frac.size() < 2) frac.insert(0, "0");
    const std::string text = (negative ? "-" : "") + whole + (i % 2 ? "," : ".") + frac;
    std::string expected = whole;
    while (!frac.empty() && frac.back() == '0') frac.pop_back();
    if (!frac.empty()) expected += "." + frac;
    if (negative && cents != 0) expected.insert(0, "-");
    ASSERT_EQ(NormalizeAmount(text), expected) << text;
    // A third decimal that is not zero is refused at every magnitude.
    const std::string three = text + static_cast<char>('1' + rng() % 9);
    ASSERT_EQ(NormalizeAmount(three), "") << three;
  }
}

TEST(AmountValue, ExactExtendedValues) {
  // The value is the text read into extended precision, not a double widened.
  EXPECT_EQ(*AmountValue("0.1"), 0.1L);
  EXPECT_NE(*AmountValue("0.1"), static_cast<long double>(0.1));
  EXPECT_EQ(*AmountValue("1,89"), 1.89L);
  EXPECT_EQ(*AmountValue("-547,31"), -547.31L);
  EXPECT_EQ(*AmountValue(" 1e3 "), 1000.0L);
  EXPECT_EQ(*AmountValue(","), 0.0L);
  EXPECT_TRUE(std::signbit(*AmountValue("-0")));
  // Ties between neighbouring extended values go to the even significand.
  EXPECT_EQ(*AmountValue("18446744073709551617"), 18446744073709551616.0L);
  EXPECT_EQ(*AmountValue("18446744073709551619"), 18446744073709551620.0L);
  // Too large, or not the syntax: no value.
  for (const char* bad : {"", "-", "1 234", "1e400", "2e308", "12a", "1,2,3"})
    EXPECT_FALSE(AmountValue(bad).has_value()) << bad;
  EXPECT_TRUE(AmountValue("1e308").has_value());
}

TEST(AmountValue, EveryAcceptedAmountHasAValue) {
  for (const char* s : {"1.7976931348623157e308", "1.7976931348623158e308", "0.29", "-,", "1e-2"}) {
    if (NormalizeAmount(s).empty()) continue;
    EXPECT_TRUE(AmountValue(s).has_value()) << s;
  }
}

// glibc's strtold is correctly rounded for the x87 format; it serves as the oracle here.
long double Oracle(const std::string& s) {
  std::setlocale(LC_NUMERIC, "C");
  return std::strtold(s.c_str(), nullptr);
}

TEST(AmountValue, MatchesCorrectRoundingOnRandomDecimals) {
  std::mt19937_64 rng(20161);
  auto digits = [&](std::size_t n) {
    std::string d;
    for (std::size_t i = 0; i < n; ++i) d += static_cast<char>('0' + rng() % 10);
    return d;
  };
  for (int i = 0; i < 20000; ++i) {
    const std::size_t int_len = 1 + rng() % (i % 10 == 0 ? 400 : 25);
    const std::size_t frac_len = rng() % (i % 7 == 0 ? 900 : 25);
    const int exp = static_cast<int>(rng() % 600) - 300;
    std::string s = digits(int_len);
    if (frac_len) s += "." + digits(frac_len);
    s += "e" + std::to_string(exp);
    const long double expected = Oracle(s);
    if (!(expected <= 1.7e308L) || expected < 1e-300L) continue;  // outside the amount range
    const auto got = AmountValue(s);
    ASSERT_TRUE(got.has_value()) << s;
    ASSERT_EQ(*got, expected) << s;
  }
}

TEST(AmountValue, LongTailsDecideHalfwayCases) {
  // 2^64 + 1 is exactly halfway; any non-zero digit far behind tips it upwards.
  const std::string tie = "18446744073709551617";
  EXPECT_EQ(*AmountValue(tie + "." + std::string(1500, '0')), 18446744073709551616.0L);
  EXPECT_EQ(*AmountValue(tie + "." + std::string(1500, '0') + "1"), 18446744073709551618.0L);
  const std::string long_text = "0." + std::string(2000, '3');
  EXPECT_EQ(*AmountValue(long_text), Oracle(long_text));
}

TEST(NormalizeDIC, Cases) {
  // clang-format off
  const TextCase cases[] = {
      {"12345678", "12345678"}, {"123456789", "123456789"}, {"1234567890", "1234567890"},
      {"1234567", ""},          {"12345678901", ""},        {"CZ12345678", "12345678"},
      {"cz25596641", "25596641"}, {"Cz1234567890", "1234567890"}, {"CZ1234567", ""},
      {"CZ 12345678", ""},      {"CZ", ""},                 {"SK12345678", ""},
      {"1234567A", ""},         {"1234 5678", ""},          {"", ""},
      {" 12345678", ""},
  };
  // clang-format on
  for (auto [in, out] : cases) EXPECT_EQ(NormalizeDIC(in), out) << in;
  EXPECT_TRUE(HasCountryPrefix("CZ25596641"));
  EXPECT_TRUE(HasCountryPrefix("cz25596641"));
  EXPECT_FALSE(HasCountryPrefix("25596641"));
  EXPECT_FALSE(HasCountryPrefix("CZ2559664"));  // not a DIČ the import accepts
}

TEST(DicCheckDigit, Cases) {
  // clang-format off
  const FlagCase cases[] = {
      {"25596641", true},     // IČO whose check digit fits
      {"00006947", true},     // leading zeros are digits
      {"25596642", false},    // one off
      {"12345678", false},
      {"27082440", true},     // remainder 1: check digit 0
      {"69900000", true},     // a VAT group has none to check
      {"6990000001", true},
      {"123456789", true},    // nine digits: nothing to check
      {"7801011240", true},   // a birth number divisible by 11
      {"7801011239", false},
      {"7801011236", false},
      {"5501010010", true},   // the old form: the first nine leave 10, the last is 0
      {"5501010011", false},
  };
  // clang-format on
  for (auto [in, ok] : cases) EXPECT_EQ(HasValidCheckDigit(in), ok) << in;
}

TEST(NormalizeCountryCode, Cases) {
  // clang-format off
  const TextCase cases[] = {
      {"sk", "SK"}, {"SK", "SK"}, {"De", "DE"}, {"EL", "EL"}, {"CZ", "CZ"}, {"gb", "GB"},
      {"xi", "XI"}, {"GR", ""},   {"CH", ""},   {"S", ""},    {"SVK", ""}, {"", ""},
      {" SK", ""},  {"SK ", ""},
  };
  // clang-format on
  for (auto [in, out] : cases) EXPECT_EQ(NormalizeCountryCode(in), out) << in;
}

// One VAT ID each country's format takes and one it refuses; each valid one also with the
// country code before it, which the filing leaves out.
TEST(VatId, EveryCountryOfTheFormsTable) {
  const struct {
    const char* country;
    const char* valid;
    const char* invalid;
  } cases[] = {
      {"AT", "U13585627", "13585627"},
      {"BE", "0123456789", "123456789"},
      {"BG", "123456789", "12345678"},
      {"CY", "12345678X", "123456789"},
      {"CZ", "25596641", "1234567"},
      {"DE", "811907980", "81190798"},
      {"DK", "12345678", "1234567X"},
      {"EE", "123456789", "1234567890"},
      {"EL", "123456789", "12345678"},
      {"ES", "X1234567Z", "123456789"},
      {"FI", "12345678", "123456789"},
      {"FR", "40303265045", "I0303265045"},
      {"GB", "GD123", "GD1234"},
      {"HR", "12345678901", "1234567890"},
      {"HU", "12345678", "1234567"},
      {"IE", "1X34567X", "12345678"},
      {"IT", "12345678901", "1234567890A"},
      {"LT", "123456789012", "1234567890"},
      {"LU", "12345678", "123456789"},
      {"LV", "12345678901", "123456789012"},
      {"MT", "12345678", "1234567"},
      {"NL", "123456789B01", "123456789B00"},
      {"PL", "1234567890", "123456789"},
      {"PT", "123456789", "12345678"},
      {"RO", "019", "12345678901"},
      {"SE", "123456789012", "12345678901"},
      {"SI", "12345678", "1234567"},
      {"SK", "2020317068", "202031706"},
      {"XI", "123456789", "12345678"},
  };
  for (const auto& c : cases) {
    const std::string prefixed = std::string(c.country) + c.valid;
    EXPECT_TRUE(IsVATIDValid(c.valid, c.country)) << c.country << " " << c.valid;
    EXPECT_TRUE(IsVATIDValid(prefixed, c.country)) << prefixed;
    EXPECT_EQ(VatIdWithoutCountry(prefixed, c.country), std::optional<std::string>(c.valid))
        << prefixed;
    EXPECT_FALSE(IsVATIDValid(c.invalid, c.country)) << c.country << " " << c.invalid;
    EXPECT_FALSE(IsVATIDValid(std::string(c.country) + c.invalid, c.country)) << c.invalid;
  }
  // The other forms of the table.
  const std::pair<const char*, const char*> more[] = {
      {"FR", "FR40303265045"}, {"FR", "X1123456789"},    {"FR", "1X123456789"},
      {"FR", "XX123456789"},   {"NL", "NL123456789B01"}, {"NL", "AB+*CDEFGH12"},
      {"IE", "1234567X"},      {"IE", "1234567XY"},      {"ES", "12345678Z"},
      {"ES", "X12345678"},     {"GB", "HA123"},          {"XI", "XI123456789012"},
      {"AT", "ATU13585627"},   {"at", "atU13585627"},    {"RO", "1234567890"},
      {"LT", "123456789"},
  };
  for (auto [country, id] : more) EXPECT_TRUE(IsVATIDValid(id, country)) << country << " " << id;
  // clang-format off
  const std::pair<const char*, const char*> wrong[] = {
      {"NL", "AB+*CDEFGH99"},  // the newer form ends in 02 to 98
      {"NL", "AB+*CDEFGH01"},
      {"FR", "O1123456789"},   // no I or O
      {"IE", "12345678XY"},    // letters at the end only for nine characters
      {"ES", "1234567890"},    // at least one letter
      {"AT", "ATu13585627"},   // the form's letters are capitals
      {"DE", "ATU13585627"},   // another country's ID
  };
  // clang-format on
  for (auto [country, id] : wrong) EXPECT_FALSE(IsVATIDValid(id, country)) << country << " " << id;
  // Without a country to read the format from, any country's format will do.
  EXPECT_TRUE(IsVATIDValid("", ""));
  EXPECT_TRUE(IsVATIDValid("ATU13585627", ""));
  EXPECT_TRUE(IsVATIDValid("811907980", "XX"));
  EXPECT_FALSE(IsVATIDValid("AB", ""));
  EXPECT_FALSE(IsVATIDValid("ATU 13585627", "XX"));
  EXPECT_FALSE(IsVATIDValid("ČŘ123", ""));
}

TEST(AmountTextFaithful, NumberCellsShowTheirCents) {
  EXPECT_TRUE(IsAmountTextFaithful(0.1 + 0.2, "0.3"));  // a formula's residue far below a cent
  EXPECT_TRUE(IsAmountTextFaithful(1234.5, "1234.5"));
  EXPECT_TRUE(IsAmountTextFaithful(99999999999999.98, "99999999999999.98"));
  EXPECT_FALSE(IsAmountTextFaithful(10000000000000.01, "10000000000000"));
  EXPECT_FALSE(IsAmountTextFaithful(12345678901234.56, "12345678901234.6"));
  EXPECT_FALSE(IsAmountTextFaithful(1, "x"));
}

TEST(HeaderAndSubjectCodes, Cases) {
  const struct {
    bool (*check)(std::string_view);
    const char* text;
    bool ok;
  } cases[] = {
      {IsFormTypeValid, "B", true},
      {IsFormTypeValid, "E", true},
      {IsFormTypeValid, "X", false},
      {IsFormTypeValid, "b", false},
      {IsFormTypeValid, "BO", false},
      {IsYearValid, "2026", true},
      {IsYearValid, "1900", true},
      {IsYearValid, "2999", true},
      {IsYearValid, "1899", false},
      {IsYearValid, "20265", false},
      {IsYearValid, "26", false},
      {IsYearValid, "2026.5", false},
      {IsMonthValid, "1", true},
      {IsMonthValid, "12", true},
      {IsMonthValid, "05", true},
      {IsMonthValid, "13", false},
      {IsMonthValid, "0", false},
      {IsMonthValid, "123", false},
      {IsMonthValid, "005", false},
      {IsQuarterValid, "4", true},
      {IsQuarterValid, "5", false},
      {IsQuarterValid, "0", false},
      {IsCallReplyValid, "B", true},
      {IsCallReplyValid, "P", true},
      {IsCallReplyValid, "N", false},
      {IsSubjectTypeValid, "F", true},
      {IsSubjectTypeValid, "PO", false},
      {IsSubjectTypeValid, "X", false},
      {IsTaxOfficeValid, "451", true},
      {IsTaxOfficeValid, "464", true},
      {IsTaxOfficeValid, "13", true},
      {IsTaxOfficeValid, "465", false},
      {IsTaxOfficeValid, "450", false},
      {IsTaxOfficeValid, "013", false},
      {IsUsualCallReference, "12345678/26/2001-00000-123456", true},
      {IsUsualCallReference, "12345678/26/2001-0000-123456", false},
      {IsUsualCallReference, "1234567X/26/2001-00000-123456", false},
  };
  for (const auto& c : cases) EXPECT_EQ(c.check(c.text), c.ok) << c.text;

  EXPECT_TRUE(IsRepresentativeCodeValid("4b", "F"));
  EXPECT_FALSE(IsRepresentativeCodeValid("4b", "P"));
  EXPECT_TRUE(IsRepresentativeCodeValid("4c", "P"));
  EXPECT_FALSE(IsRepresentativeCodeValid("7a", "F"));
  EXPECT_FALSE(IsRepresentativeCodeValid("1", ""));

  EXPECT_EQ(NormalizePsc("120 00", ""), "12000");
  EXPECT_EQ(NormalizePsc("12000", "česká republika"), "12000");
  EXPECT_EQ(NormalizePsc("12000", "Cz"), "12000");
  EXPECT_EQ(NormalizePsc("1200", "ČESKÁ REPUBLIKA"), std::nullopt);
  EXPECT_EQ(NormalizePsc("12A00", ""), std::nullopt);
  EXPECT_EQ(NormalizePsc("SW1A 1AA", "VELKÁ BRITÁNIE"), "SW1A 1AA");  // a foreign one as it is
}

TEST(FieldChecks, Cases) {
  const std::string sixty(60, 'x');
  const std::string sixty_one(61, 'x');
  std::string sixty_czech;  // 60 characters, 120 bytes
  for (int i = 0; i < 60; ++i) sixty_czech += "č";

  EXPECT_TRUE(IsDocNumberValid(""));
  EXPECT_TRUE(IsDocNumberValid(sixty));
  EXPECT_TRUE(IsDocNumberValid(sixty_czech));  // characters, not bytes
  EXPECT_FALSE(IsDocNumberValid(sixty_one));

  // clang-format off
  const FlagCase regime[] = {{"", true},   {"0", true},   {"1", true},  {"2", true},
                             {"3", false}, {"00", false}, {" 1", false}};
  for (auto [in, ok] : regime) EXPECT_EQ(IsRegimeCodeValid(in), ok) << "regime " << in;

  // clang-format off
  const FlagCase yes_no[] = {{"", true},   {"A", true},   {"N", true},   {"P", true},
                             {"a", true},  {"n", true},   {"p", true},   {"Ano", false},
                             {"X", false}, {"AN", false}, {" A", false}, {"PP", false}};
  for (auto [in, ok] : yes_no) EXPECT_EQ(IsYesNoValid(in), ok) << "yes/no " << in;

  // The VAT ID as the filing carries it: without the country code of its row.
  const struct {
    const char* vat_id;
    const char* k_stat;
    std::optional<std::string> written;
  } country_cases[] = {
      {"DE811907980", "DE", "811907980"},
      {"de811907980", "DE", "811907980"},
      {"De811907980", "de", "811907980"},
      {"811907980", "DE", std::nullopt},
      {"DE811907980", "AT", std::nullopt},
      {"DE811907980", "", std::nullopt},
      {"DE811907980", "XX", std::nullopt},  // not a code the import accepts
      {"DEX11907980", "DE", std::nullopt},  // not a VAT ID the import accepts
      {"", "DE", std::nullopt},
      {"ATU1234567", "AT", std::nullopt},
      {"ATU13585627", "AT", "U13585627"},
      {"ELU13585627", "EL", std::nullopt},
  };
  // clang-format on
  // clang-format on
  for (const auto& c : country_cases)
    EXPECT_EQ(VatIdWithoutCountry(c.vat_id, c.k_stat), c.written) << c.vat_id << " / " << c.k_stat;

  // clang-format off
  const FlagCase supply[] = {
      {"", true},    {"1", true},   {"3", true},   {"4", true},   {"5", true},
      {"11", true},  {"17", true},  {"2", false},  {"6", false},  {"10", false},
      {"18", false}, {"01", false}, {" 1", false}, {"1 ", false},
  };
  // clang-format on
  for (auto [in, ok] : supply) EXPECT_EQ(IsSupplyCodeValid(in), ok) << "supply " << in;

  const FlagCase ratio[] = {{"A", true},  {"N", true},  {"", false},
                            {"a", false}, {"n", false}, {"AN", false}};
  for (auto [in, ok] : ratio) EXPECT_EQ(IsRatioFlagValid(in), ok) << "ratio " << in;
}

}  // namespace
}  // namespace vestrano
