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
      {"1e15", "1E15"},
      {"-2500000000000000", "-2.5E15"},
      // more than two decimals
      {"12,345", ""},
      {"0.005", ""},
      {"2.675", ""},
      {"125e-3", ""},
      {"0.001", ""},
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
    // A third decimal that is not zero is refused at every magnitude the double resolves.
    if (digits <= 13) {
      const std::string three = text + static_cast<char>('1' + rng() % 9);
      ASSERT_EQ(NormalizeAmount(three), "") << three;
    }
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
  const TextCase cases[] = {
      {"12345678", "12345678"}, {"123456789", "123456789"}, {"1234567890", "1234567890"},
      {"1234567", ""},          {"12345678901", ""},        {"CZ12345678", ""},
      {"1234567A", ""},         {"1234 5678", ""},          {"", ""},
      {" 12345678", ""},
  };
  for (auto [in, out] : cases) EXPECT_EQ(NormalizeDIC(in), out) << in;
}

TEST(NormalizeCountryCode, Cases) {
  const TextCase cases[] = {
      {"sk", "SK"}, {"SK", "SK"}, {"De", "DE"}, {"EL", "EL"}, {"CZ", "CZ"},
      {"gb", "GB"}, {"GR", ""},   {"CH", ""},   {"S", ""},    {"SVK", ""},
      {"", ""},     {" SK", ""},  {"SK ", ""},
  };
  for (auto [in, out] : cases) EXPECT_EQ(NormalizeCountryCode(in), out) << in;
}

TEST(FieldChecks, Cases) {
  const std::string sixty(60, 'x');
  const std::string sixty_one(61, 'x');
  std::string sixty_czech;  // 60 characters, 120 bytes
  for (int i = 0; i < 60; ++i) sixty_czech += "č";

  const FlagCase vatid[] = {
      {"", true},       {"AB123", true},  {"DE123456789", true},    {"AB1234567890", true},
      {"ABC12", false}, {"AB12", false},  {"AB12345678901", false}, {"AB1X3", false},
      {"ČŘ123", true},  {"ČŘ12Š", false},
  };
  for (auto [in, ok] : vatid) EXPECT_EQ(IsVATIDValid(in), ok) << "VAT ID " << in;

  EXPECT_TRUE(IsDocNumberValid(""));
  EXPECT_TRUE(IsDocNumberValid(sixty));
  EXPECT_TRUE(IsDocNumberValid(sixty_czech));  // characters, not bytes
  EXPECT_FALSE(IsDocNumberValid(sixty_one));

  const FlagCase regime[] = {{"", true},   {"0", true},   {"1", true},  {"2", true},
                             {"3", false}, {"00", false}, {" 1", false}};
  for (auto [in, ok] : regime) EXPECT_EQ(IsRegimeCodeValid(in), ok) << "regime " << in;

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
  };
  for (const auto& c : country_cases)
    EXPECT_EQ(VatIdWithoutCountry(c.vat_id, c.k_stat), c.written) << c.vat_id << " / " << c.k_stat;

  const FlagCase supply[] = {
      {"", true},    {"1", true},   {"3", true},   {"4", true},   {"5", true},
      {"11", true},  {"17", true},  {"2", false},  {"6", false},  {"10", false},
      {"18", false}, {"01", false}, {" 1", false}, {"1 ", false},
  };
  for (auto [in, ok] : supply) EXPECT_EQ(IsSupplyCodeValid(in), ok) << "supply " << in;

  const FlagCase ratio[] = {{"A", true},  {"N", true},  {"", false},
                            {"a", false}, {"n", false}, {"AN", false}};
  for (auto [in, ok] : ratio) EXPECT_EQ(IsRatioFlagValid(in), ok) << "ratio " << in;
}

}  // namespace
}  // namespace vestrano
