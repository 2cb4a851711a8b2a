// The small parsers of attribute and value texts.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <random>
#include <string>

#include "workbook/xlsx/parts.h"

namespace vestrano::xlsx {
namespace {

TEST(XlsxValues, NumbersFollowTheCellSyntax) {
  const std::pair<const char*, double> good[] = {{"0", 0},
                                                 {"42400", 42400},
                                                 {"-0.25", -0.25},
                                                 {"+3", 3},
                                                 {"1,5", 1.5},
                                                 {"1e+20", 1e20},
                                                 {"2.5E-3", 0.0025},
                                                 {".5", 0.5},
                                                 {"5.", 5},
                                                 {"-,5", -0.5},
                                                 {"99.9499999999999999972", 99.95}};
  for (auto [text, value] : good) {
    double v = -1;
    EXPECT_TRUE(ParseNumber(text, v)) << text;
    EXPECT_DOUBLE_EQ(v, value) << text;
  }
  for (const char* bad : {"", "-", ".", "1e", "1e+", "inf", "nan", "0x10", "1 2", "#DIV/0!",
                          "1.2.3", "--1", "1e999", " 1"}) {
    double v = 0;
    EXPECT_FALSE(ParseNumber(bad, v)) << bad;
  }
}

// Short decimals take a shortcut past from_chars; the value must be the same to the last bit.
TEST(XlsxValues, ShortDecimalsReadExactlyAsFromChars) {
  std::mt19937_64 rng(7);
  for (int i = 0; i < 300000; ++i) {
    const int digits = 1 + static_cast<int>(rng() % 17);
    std::string text = rng() % 3 == 0 ? "-" : "";
    const int point = static_cast<int>(rng() % static_cast<std::uint64_t>(digits + 1));
    for (int d = 0; d < digits; ++d) {
      if (d == point) text += '.';
      text += static_cast<char>('0' + rng() % 10);
    }
    double got = 0, want = 0;
    ASSERT_TRUE(ParseNumber(text, got)) << text;
    std::string plain = text.substr(text[0] == '-' ? 1 : 0);
    if (plain[0] == '.') plain.insert(0, "0");
    std::from_chars(plain.data(), plain.data() + plain.size(), want);
    if (text[0] == '-') want = -want;
    ASSERT_EQ(std::signbit(got), std::signbit(want)) << text;
    ASSERT_EQ(got, want) << text;
  }
}

TEST(XlsxValues, ColumnsOfReferences) {
  const std::pair<const char*, int> cases[] = {
      {"A1", 0},   {"Z9", 25},  {"AA1", 26},   {"XFD1048576", 16383},
      {"b2", 1},   {"$C$3", 2}, {"D4:F9", 3},  {"1A1", 0},
      {"12", -1},  {"", -1},    {"ABCD1", -1}, {"XFE1", -1},
      {"ZZZ1", -1}};
  for (auto [ref, col] : cases) EXPECT_EQ(ColumnOfRef(ref), col) << ref;
}

TEST(XlsxValues, RangesAreClippedToTheSheet) {
  struct Case {
    const char* ref;
    bool ok;
    int c1, r1, c2, r2;
  };
  const Case cases[] = {
      {"B2:D3", true, 1, 1, 3, 2},
      {"B2", true, 1, 1, 1, 1},
      {"$A$1:$C$1", true, 0, 0, 2, 0},
      {"D3:B1", true, 1, 0, 3, 2},
      {"E:E", true, 4, 0, 4, 1048575},
      {"3:5", true, 0, 2, 16383, 4},
      {"A1:A9999999", true, 0, 0, 0, 1048575},
      {"A1:ZZZZ2", true, 0, 0, 16383, 1},
      {"A0", false, 0, 0, 0, 0},
      {"A1:B", false, 0, 0, 0, 0},
      {"", false, 0, 0, 0, 0},
      {"A1 B2", false, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    CellRange r;
    ASSERT_EQ(ParseRange(c.ref, r), c.ok) << c.ref;
    if (!c.ok) continue;
    EXPECT_EQ(r.first_col, c.c1) << c.ref;
    EXPECT_EQ(r.first_row, c.r1) << c.ref;
    EXPECT_EQ(r.last_col, c.c2) << c.ref;
    EXPECT_EQ(r.last_row, c.r2) << c.ref;
  }
}

TEST(XlsxValues, IsoDatesBecomeSerials) {
  struct Case {
    const char* text;
    double serial;
    bool has_time;
  };
  const Case good[] = {
      {"2016-01-31", 42400, false},
      {"1899-12-31", 1, false},
      {"1900-03-01", 61, false},
      {"2016-01-31T12:00:00", 42400.5, true},
      {"2016-01-31 06:00", 42400.25, true},
      {"2016-01-31T00:00:00Z", 42400, false},
      {"2016-01-31T18:00:00+02:00", 42400.75, true},
      {"2016-02-29", 42429, false},
      {"12:00:00", 0.5, true},
      {"2016-01-31T00:00:00.500", 42400 + 0.5 / 86400, true},
  };
  for (const Case& c : good) {
    double serial = 0;
    bool has_time = false;
    EXPECT_TRUE(ParseIsoDateTime(c.text, serial, has_time)) << c.text;
    EXPECT_NEAR(serial, c.serial, 1e-9) << c.text;
    EXPECT_EQ(has_time, c.has_time) << c.text;
  }
  for (const char* bad :
       {"", "2016", "2016-13-01", "2015-02-29", "2016-01-32", "2016-1-31", "1899-12-29",
        "2016-01-31T25:00:00", "2016-01-31X", "31.1.2016", "2016-01-31T12:00:00+2"}) {
    double serial = 0;
    bool has_time = false;
    EXPECT_FALSE(ParseIsoDateTime(bad, serial, has_time)) << bad;
  }
}

TEST(XlsxValues, LineBreaksBecomeCrLf) {
  const std::pair<std::string, std::string> cases[] = {{"a\nb", "a\r\nb"},     {"a\r\nb", "a\r\nb"},
                                                       {"a\rb", "a\r\nb"},     {"\n\n", "\r\n\r\n"},
                                                       {"\r\r\n", "\r\n\r\n"}, {"plain", "plain"}};
  for (auto [in, out] : cases) {
    std::string s = in;
    MakeCrLf(s);
    EXPECT_EQ(s, out);
  }
}

TEST(XlsxValues, TargetsResolveAgainstTheirPart) {
  EXPECT_EQ(ResolveTarget("xl/workbook.xml", "worksheets/sheet1.xml"), "xl/worksheets/sheet1.xml");
  EXPECT_EQ(ResolveTarget("xl/workbook.xml", "/xl/worksheets/sheet1.xml"),
            "xl/worksheets/sheet1.xml");
  EXPECT_EQ(ResolveTarget("xl/worksheets/sheet1.xml", "../drawings/d1.xml"), "xl/drawings/d1.xml");
  EXPECT_EQ(ResolveTarget("", "xl/workbook.xml"), "xl/workbook.xml");
  EXPECT_EQ(ResolveTarget("a/b.xml", "../../../c.xml"), "c.xml");
  EXPECT_EQ(RelationshipsPartOf("xl/worksheets/sheet1.xml"), "xl/worksheets/_rels/sheet1.xml.rels");
  EXPECT_EQ(RelationshipsPartOf("book.xml"), "_rels/book.xml.rels");
}

}  // namespace
}  // namespace vestrano::xlsx
