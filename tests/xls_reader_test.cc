// The XLS reader on Workbook streams built record by record.
#include "workbook/xls/xls_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/biff_writer.h"
#include "workbook/errors.h"
#include "workbook/model.h"
#include "workbook/progress.h"

namespace vestrano {
namespace {

using test::BiffWriter;
using test::Bytes;
using Grid = std::vector<std::vector<std::string>>;

constexpr const char* kNotXls = "The file is not a valid XLS (Excel 97-2003) file.";

void Load(TWorkbook& book, const std::vector<std::byte>& file, ProgressSink* progress = nullptr) {
  book.Clear();
  xls::Read(book, file, progress);
}

void LoadStream(TWorkbook& book, const BiffWriter& w) { Load(book, test::XlsFile(w.Stream())); }

Grid Texts(const TWorkbook& book, int sheet) {
  Grid g;
  for (const TExportRow& row : book.Sheets.Items(sheet).Rows.All()) {
    auto& r = g.emplace_back();
    for (const TExportCell& c : row.Cells.All()) r.push_back(c.AsText(book));
  }
  return g;
}

std::vector<std::string> Kinds(const TWorkbook& book, int sheet, int row) {
  std::vector<std::string> out;
  for (const TExportCell& c :
       book.Sheets.Items(sheet).Rows.All()[static_cast<std::size_t>(row)].Cells.All())
    out.push_back(CellKindName(c.Kind()));
  return out;
}

std::string ErrorOf(const std::vector<std::byte>& file) {
  TWorkbook book;
  try {
    Load(book, file);
  } catch (const EWorkbookError& e) {
    return e.what();
  }
  return "(no error)";
}

// One worksheet "S" holding the records that body adds.
template <typename F>
BiffWriter OneSheet(F body, const std::vector<std::uint16_t>& xfs = {0},
                    const std::vector<std::string>& strings = {}) {
  BiffWriter w;
  w.Globals({"S"}, xfs, strings).Bof(16);
  body(w);
  w.Eof();
  return w;
}

TEST(XlsReader, SheetListSkipsChartSheetsAndKeepsHiddenOnes) {
  BiffWriter w;
  w.Bof(5).Xf(0).BoundSheet("Hlavička").BoundSheet("Graf", 2).BoundSheet("A/1", 0, 1).Eof();
  w.Bof(16).Label(0, 0, "first").Eof();
  w.Bof(32).Number(0, 0, 0, 99).Eof();  // the chart sheet's substream
  w.Bof(16).Label(0, 0, "second").Eof();
  TWorkbook book;
  LoadStream(book, w);
  ASSERT_EQ(book.Sheets.Count(), 2);
  EXPECT_EQ(book.Sheets.Items(0).Name, "Hlavička");
  EXPECT_EQ(book.Sheets.Items(1).Name, "A-1");
  EXPECT_EQ(Texts(book, 0), (Grid{{"first"}}));
  EXPECT_EQ(Texts(book, 1), (Grid{{"second"}}));
}

TEST(XlsReader, CellsAndRowsAppearWhereTheRecordsSay) {
  TWorkbook book;
  LoadStream(book, OneSheet([](BiffWriter& w) {
               w.Number(0, 3, 0, 5);  // only record of its row: three empty cells before it
               w.Row(2);              // a row record alone makes the row exist
               w.Label(3, 1, "b").Label(3, 0, "a");  // a column behind Count is ignored
               w.Label(4, 0, "x").Label(4, 0, "y");  // the first record for a cell wins
               w.Blank(5, 1);
             }));
  EXPECT_EQ(Texts(book, 0), (Grid{{"", "", "", "5"}, {}, {}, {"", "b"}, {"x"}, {"", ""}}));
  EXPECT_EQ(Kinds(book, 0, 0), (std::vector<std::string>{"Empty", "Empty", "Empty", "Number"}));
}

TEST(XlsReader, CellValuesByRecordType) {
  TWorkbook book;
  LoadStream(
      book,
      OneSheet(
          [](BiffWriter& w) {
            w.LabelSst(0, 0, 1).LabelSst(0, 1, 7).LabelSst(0, 2, 0);  // index 7 is past the table
            w.BoolErr(1, 0, 1, false).BoolErr(1, 1, 0x07, true).BoolErr(1, 2, 0, false);
            w.Formula(2, 0, test::FormulaSpecial(0)).String("abc");
            w.Formula(2, 1, test::FormulaSpecial(2, 0x07));  // an error result makes no cell
            w.Formula(2, 2, test::FormulaSpecial(1, 1)).Formula(2, 3, test::FormulaNumber(2.5));
            w.Formula(2, 4, test::FormulaSpecial(0)).String("");
            w.Rk(3, 0, 0, (12345u << 2) | 3);  // integer / 100
            w.Rk(3, 1, 0, (static_cast<std::uint32_t>(-7) << 2) | 2);
            w.Rk(3, 2, 0, 0x3FF00000);      // the high bits of 1.0
            w.Rk(3, 3, 0, 0x405EDD2C | 1);  // the high bits of 123.4558..., then / 100
            w.Label(4, 0, "").Label(4, 1, "line\nbreak").Label(4, 2, "cr\rlf\r\n");
          },
          {0}, {"", "shared"}));
  const Grid g = Texts(book, 0);
  EXPECT_EQ(g[0], (std::vector<std::string>{"shared", "", ""}));
  EXPECT_EQ(g[1], (std::vector<std::string>{"1", "0", "0"}));
  EXPECT_EQ(Kinds(book, 0, 1), (std::vector<std::string>{"Boolean", "Boolean", "Boolean"}));
  EXPECT_EQ(g[2], (std::vector<std::string>{"abc", "", "1", "2.5", ""}));
  EXPECT_EQ(Kinds(book, 0, 2),
            (std::vector<std::string>{"String", "Empty", "Boolean", "Number", "Empty"}));
  EXPECT_EQ(g[3], (std::vector<std::string>{"123.45", "-7", "1", "1.23455810546875"}));
  EXPECT_EQ(g[4], (std::vector<std::string>{"", "line\r\nbreak", "cr\r\nlf\r\n"}));
  EXPECT_EQ(Kinds(book, 0, 4)[0], "Empty");
}

TEST(XlsReader, MulRkAndMulBlankFillConsecutiveColumns) {
  TWorkbook book;
  LoadStream(
      book,
      OneSheet(
          [](BiffWriter& w) {
            w.Record(
                189,
                Bytes().U16(0).U16(1).U16(0).U32((10u << 2) | 2).U16(1).U32((20u << 2) | 2).U16(2));
            // XF indices for columns 1 and 2, last column 4: the row is padded to hold it.
            w.Record(190, Bytes().U16(1).U16(1).U16(0).U16(0).U16(4));
          },
          {0, 14}));
  EXPECT_EQ(Texts(book, 0), (Grid{{"", "10", "1900-01-19"}, {"", "", "", "", ""}}));
}

TEST(XlsReader, FormatsComeFromTheXfAndDatesFollowTheDateSystem) {
  for (bool is1904 : {false, true}) {
    BiffWriter w;
    w.Bof(5);
    if (is1904) w.DateMode(true);
    w.Format(164, "d.m.yyyy h:mm").Format(165, "0.00%").Xf(0).Xf(14).Xf(164).Xf(165).Xf(300);
    w.BoundSheet("S").Eof().Bof(16);
    const double base = is1904 ? 40938 : 42400;
    w.Number(0, 0, 1, base).Number(0, 1, 2, base + 0.5).Number(0, 2, 3, 0.25).Number(0, 3, 4, base);
    w.Number(0, 4, 9, base);  // an XF the file does not define: General
    w.Eof();
    TWorkbook book;
    LoadStream(book, w);
    SCOPED_TRACE(is1904 ? "1904" : "1900");
    EXPECT_EQ(book.Date1904, is1904);
    EXPECT_EQ(Texts(book, 0)[0],
              (std::vector<std::string>{"2016-01-31", "2016-01-31 12:00:00", "0.25",
                                        std::to_string(int(base)), std::to_string(int(base))}));
    const auto& cells = book.Sheets.Items(0).Rows.All()[0].Cells.All();
    EXPECT_EQ(cells[1].FormatCode(book), "d.m.yyyy h:mm");
    EXPECT_EQ(cells[2].FormatCode(book), "0.00%");
    EXPECT_EQ(Kinds(book, 0, 0)[2], "Percent");
  }
}

TEST(XlsReader, StringsDecodeAsLatin1AndUtf16) {
  TWorkbook book;
  LoadStream(
      book, OneSheet([](BiffWriter& w) {
        w.Record(516,
                 Bytes().U16(0).U16(0).U16(0).U16(3).U8(0).U8(0x63).U8(0xE8).U8(0x21));  // "cè!"
        w.Label(0, 1, "Příliš 😀");  // a surrogate pair
        w.Record(516, Bytes().U16(0).U16(2).U16(0).U16(3).U8(1).U16('a').U16(0xD800).U16(
                          'b'));                                                        // lone high
        w.Record(516, Bytes().U16(0).U16(3).U16(0).U16(2).U8(1).U16(0xDC00).U16('z'));  // lone low
      }));
  EXPECT_EQ(Texts(book, 0)[0], (std::vector<std::string>{"cè!", "Příliš 😀",
                                                         "a\xEF\xBF\xBD"
                                                         "b",
                                                         "\xEF\xBF\xBDz"}));
}

TEST(XlsReader, SharedStringsAcrossContinueRecords) {
  // "abcdef" starts 8-bit and goes on 16-bit in a CONTINUE; "ž" starts right at the next
  // boundary; a run count and extended data also cross a boundary, and so does a surrogate pair.
  std::vector<std::vector<std::byte>> parts;
  parts.push_back(Bytes().U16(6).U8(0).Chars("abc", false).Take());
  parts.push_back(Bytes().U8(1).Chars("def", true).Take());
  parts.push_back(Bytes().Str("ž").U16(2).U8(0x0C).U16(1).U32(3).Chars("q", false).Take());
  parts.push_back(Bytes().U8(0).Chars("r", false).U32(0).U16(0).Take());
  parts.push_back(
      Bytes().U8(0).Str("last").U16(2).U8(1).U16(0xD83D).Take());  // a surrogate pair split
  parts.push_back(Bytes().U8(1).U16(0xDE00).Take());
  BiffWriter w;
  w.Bof(5).Xf(0).BoundSheet("S").Sst(5, parts).Eof();
  w.Bof(16)
      .LabelSst(0, 0, 0)
      .LabelSst(0, 1, 1)
      .LabelSst(0, 2, 2)
      .LabelSst(0, 3, 3)
      .LabelSst(0, 4, 4)
      .Eof();
  TWorkbook book;
  LoadStream(book, w);
  EXPECT_EQ(Texts(book, 0)[0], (std::vector<std::string>{"abcdef", "ž", "qr", "last", "😀"}));
  // One pool entry per shared string, however many cells use it.
  EXPECT_EQ(book.Sheets.Items(0).Rows.All()[0].Cells.All()[0].StringIndex(), 1u);
}

TEST(XlsReader, SharedStringTableShorterThanDeclaredKeepsItsStrings) {
  BiffWriter w;
  w.Bof(5).Xf(0).BoundSheet("S").Sst(5, {Bytes().Str("one").Str("two").Take()}).Eof();
  w.Bof(16).LabelSst(0, 0, 0).LabelSst(0, 1, 1).LabelSst(0, 2, 2).Eof();
  TWorkbook book;
  LoadStream(book, w);
  EXPECT_EQ(Texts(book, 0)[0], (std::vector<std::string>{"one", "two", ""}));
}

TEST(XlsReader, StringCutOffInsideTheSharedStringTable) {
  BiffWriter w;
  w.Bof(5).Xf(0).BoundSheet("S").Sst(1, {Bytes().U16(10).U8(0).Chars("abc", false).Take()}).Eof();
  w.Bof(16).LabelSst(0, 0, 0).Eof();
  TWorkbook book;
  try {
    LoadStream(book, w);
    FAIL() << "no error";
  } catch (const EWorkbookError& e) {
    EXPECT_STREQ(e.what(), "Expected CONTINUE not found.");
  }
  EXPECT_EQ(book.Sheets.Count(), 1);  // what was appended before the failure stays
}

TEST(XlsReader, EmbeddedChartDoesNotEndTheWorksheet) {
  TWorkbook book;
  LoadStream(book, OneSheet([](BiffWriter& w) {
               w.Label(0, 0, "before");
               // Nested chart substreams.
               w.Bof(32).Number(5, 5, 0, 1).Bof(32).Eof().Number(6, 6, 0, 2).Eof();
               w.Label(1, 0, "after").MergedCells({{2, 3, 1, 3}});
             }));
  EXPECT_EQ(Texts(book, 0), (Grid{{"before"}, {"after"}, {"", "", "", ""}}));
}

TEST(XlsReader, RecordsThatMakeCellsExist) {
  TWorkbook book;
  LoadStream(book, OneSheet([](BiffWriter& w) {
               w.Label(0, 0, "a");
               w.Record(27, Bytes().U16(1).U16(3).U16(0).U16(255));  // page break before row 3
               Bytes cf;
               cf.U16(1).U16(0).U16(1).U16(9).U16(2).U16(4).U16(1).U16(1).U16(9).U16(2).U16(4);
               w.Record(432, std::move(cf));  // conditional format over C2:E10: C2 exists
               const std::vector<std::uint8_t> url_moniker = {0xE0, 0xC9, 0xEA, 0x79, 0xF9, 0xBA,
                                                              0xCE, 0x11, 0x8C, 0x82, 0x00, 0xAA,
                                                              0x00, 0x4B, 0xA9, 0x0B};
               auto hlink = [&](int row, int col, const std::string& url) {
                 Bytes h;
                 h.U16(static_cast<std::uint16_t>(row)).U16(static_cast<std::uint16_t>(row));
                 h.U16(static_cast<std::uint16_t>(col)).U16(static_cast<std::uint16_t>(col));
                 for (int i = 0; i < 16; ++i) h.U8(0);
                 h.U32(2).U32(0x17);  // moniker, absolute, display name
                 h.U32(2).U16('x').U16(0);
                 for (auto b : url_moniker) h.U8(b);
                 h.U32(static_cast<std::uint32_t>((url.size() + 1) * 2)).Chars(url, true).U16(0);
                 w.Record(440, std::move(h));
               };
               hlink(4, 1, "http://example.test/");
               hlink(5, 0, "");          // no URL text: nothing
               hlink(0, 0, "http://x");  // an existing cell is not changed
             }));
  EXPECT_EQ(Texts(book, 0), (Grid{{"a"}, {"", "", ""}, {}, {}, {"", ""}}));
  EXPECT_EQ(Kinds(book, 0, 4)[1], "String");
  EXPECT_EQ(Kinds(book, 0, 1)[2], "Empty");
}

TEST(XlsReader, PasswordProtectedWorkbookIsRefused) {
  BiffWriter w;
  w.Bof(5)
      .Record(47, Bytes().U16(1).U16(1).U16(1))
      .Xf(0)
      .BoundSheet("S")
      .Eof()
      .Bof(16)
      .Label(0, 0, "x")
      .Eof();
  EXPECT_EQ(ErrorOf(test::XlsFile(w.Stream())),
            "The file is encrypted with a password and can't be read.");
}

TEST(XlsReader, GlobalsOnlyGiveNoSheets) {
  BiffWriter w;
  w.Bof(5).Xf(0).BoundSheet("S");  // no EOF: the stream ends with the globals
  TWorkbook book;
  LoadStream(book, w);
  EXPECT_EQ(book.Sheets.Count(), 0);
}

TEST(XlsReader, ZeroPaddingAfterTheLastRecordEndsTheStream) {
  BiffWriter w;
  w.Globals({"S", "T"})
      .Bof(16)
      .Label(0, 0, "x")
      .Eof()
      .Append(std::vector<std::byte>(10));  // T has no substream
  TWorkbook book;
  LoadStream(book, w);
  ASSERT_EQ(book.Sheets.Count(), 2);
  EXPECT_EQ(Texts(book, 0), (Grid{{"x"}}));
  EXPECT_EQ(book.Sheets.Items(1).Rows.Count(), 0);
}

TEST(XlsReader, ProgressTexts) {
  struct Sink : ProgressSink {
    std::vector<std::string> texts;
    void Progress(std::string_view text, double) override {
      if (texts.empty() || texts.back() != text) texts.emplace_back(text);
    }
  } sink;
  BiffWriter w;
  w.Globals({"A1", ""}).Bof(16);
  for (int i = 0; i < 25000; ++i) w.Number(i % 60000, 0, 0, i);
  w.Eof().Bof(16).Eof();
  TWorkbook book;
  Load(book, test::XlsFile(w.Stream()), &sink);
  EXPECT_EQ(sink.texts,
            (std::vector<std::string>{"Loading", "Worksheet 1/2: A1", "Worksheet 2/2"}));
}

// Every progress step is a point where a cancelled load stops, with ECancelled.
TEST(XlsReader, ACancelStopsTheLoadAtTheNextStep) {
  struct Sink : ProgressSink {
    int calls = 0, cancel_at = 0;
    void Progress(std::string_view, double) override {
      if (++calls == cancel_at) cancel.Set();
    }
  };
  BiffWriter w;
  w.Globals({"A1", "B"}).Bof(16);
  for (int i = 0; i < 25000; ++i) w.Number(i % 60000, 0, 0, i);
  w.Eof().Bof(16).Eof();
  const std::vector<std::byte> file = test::XlsFile(w.Stream());
  Sink all;
  TWorkbook book;
  Load(book, file, &all);
  ASSERT_GE(all.calls, 4);
  for (int k = 1; k <= all.calls; ++k) {
    SCOPED_TRACE("cancelled at step " + std::to_string(k));
    Sink sink;
    sink.cancel_at = k;
    EXPECT_THROW(Load(book, file, &sink), ECancelled);
    EXPECT_EQ(sink.calls, k);
  }
}

// Streams that must fail with a message that says what is wrong.
TEST(XlsReader, MalformedStreamsFailClearly) {
  struct Case {
    const char* what;
    std::vector<std::byte> stream;
    const char* message_start;
  };
  auto sheet = [](auto body) { return OneSheet(body).Stream(); };
  auto cut = [](std::vector<std::byte> s, std::size_t n) {
    s.resize(s.size() - n);
    return s;
  };
  const Case cases[] = {
      {"column 256", sheet([](BiffWriter& w) { w.Number(0, 256, 0, 1); }), kNotXls},
      {"merged range past column 255", sheet([](BiffWriter& w) {
         w.MergedCells({{0, 0, 0, 300}});
       }),
       kNotXls},
      {"MULBLANK last column past 255",
       sheet([](BiffWriter& w) { w.Record(190, Bytes().U16(0).U16(250).U16(0).U16(256)); }),
       kNotXls},
      {"short NUMBER",
       sheet([](BiffWriter& w) { w.Record(515, Bytes().U16(0).U16(0).U16(0).U32(0)); }), kNotXls},
      {"record cut short", cut(OneSheet([](BiffWriter& w) { w.Number(0, 0, 0, 1); }).Stream(), 8),
       kNotXls},
      {"header cut short", cut(OneSheet([](BiffWriter& w) { w.Number(0, 0, 0, 1); }).Stream(), 2),
       kNotXls},
      {"LABEL longer than its record", sheet([](BiffWriter& w) {
         w.Record(516, Bytes().U16(0).U16(0).U16(0).U16(50).U8(0).Raw("ab"));
       }),
       kNotXls},
  };
  for (const Case& c : cases) {
    const std::string msg = ErrorOf(test::XlsFile(c.stream));
    EXPECT_EQ(msg.rfind(c.message_start, 0), 0u) << c.what << ": " << msg;
    EXPECT_GT(msg.size(), std::string(c.message_start).size())
        << c.what << ": the message says no more";
  }
}

TEST(XlsCompoundFile, StreamNamesAndContainers) {
  BiffWriter w;
  w.Globals({"S"}).Bof(16).Label(0, 0, "x").Eof();
  const std::string old_format =
      "The file can't be opened because it has an old XLS format (Excel 5.0/95).\r\n\r\n"
      "Please open the file in Excel and resave it as XLS for Excel 97-XP or XLSX for Excel "
      "2007-2010.";
  std::vector<std::byte> zip = Bytes().Raw("PK\x03\x04").Take();
  zip.resize(2048);
  BiffWriter rows;
  rows.Globals({"S"}).Bof(16);
  for (int i = 0; i < 1000; ++i) rows.Number(i, 0, 0, i);
  rows.Eof();
  struct Case {
    const char* what;
    std::vector<std::byte> file;
    std::string error;  // empty: loads
  };
  const Case cases[] = {
      {"Workbook in the mini stream", test::XlsFile(w.Stream()), ""},
      {"Workbook in regular sectors", test::XlsFile(rows.Stream()), ""},
      {"version 4, 4096-byte sectors", test::CompoundFile({{"Workbook", rows.Stream()}}, 4), ""},
      {"version 4, mini stream", test::CompoundFile({{"Workbook", w.Stream()}}, 4), ""},
      {"name in another case, beside other streams",
       test::CompoundFile(
           {{"\x05SummaryInformation", std::vector<std::byte>(200)}, {"WORKBOOK", w.Stream()}}),
       ""},
      {"Book only", test::CompoundFile({{"Book", w.Stream()}}), old_format},
      {"Book beside Workbook",
       test::CompoundFile({{"Book", std::vector<std::byte>(64)}, {"Workbook", w.Stream()}}), ""},
      {"neither", test::CompoundFile({{"Other", w.Stream()}}), kNotXls},
      {"ZIP package", zip, kNotXls},
      {"shorter than a header", std::vector<std::byte>(100), kNotXls},
      {"empty", {}, kNotXls},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ErrorOf(c.file), c.error.empty() ? "(no error)" : c.error) << c.what;
}

TEST(XlsCompoundFile, DamagedStructuresFailWithoutReadingPastTheFile) {
  BiffWriter rows;
  rows.Globals({"S"}).Bof(16);
  for (int i = 0; i < 1000; ++i) rows.Number(i, 0, 0, i);
  rows.Eof();
  const std::vector<std::byte> good = test::XlsFile(rows.Stream());
  auto u32_at = [](const std::vector<std::byte>& f, std::size_t at) {
    return static_cast<std::uint32_t>(f[at]) | static_cast<std::uint32_t>(f[at + 1]) << 8 |
           static_cast<std::uint32_t>(f[at + 2]) << 16 |
           static_cast<std::uint32_t>(f[at + 3]) << 24;
  };
  auto put = [](std::vector<std::byte>& f, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) f[at + static_cast<std::size_t>(i)] = std::byte(v >> (8 * i));
  };
  const std::size_t fat = (u32_at(good, 76) + 1) * 512;
  struct Case {
    const char* what;
    std::size_t at;
    std::uint32_t value;
  };
  const Case cases[] = {
      {"stream chain loops", fat + 4 * 3, 1},
      {"stream chain leaves the file", fat + 4 * 3, 5000},
      {"stream chain ends early", fat + 4 * 3, 0xFFFFFFFE},
      {"directory sector past the end", 48, 99999},
      {"FAT sector past the end", 76, 77777},
      {"too many FAT sectors", 44, 0x7FFFFFFF},
      {"bad sector size", 30, 0x0006000A},
  };
  for (const Case& c : cases) {
    std::vector<std::byte> f = good;
    put(f, c.at, c.value);
    const std::string msg = ErrorOf(f);
    EXPECT_EQ(msg.rfind(kNotXls, 0), 0u) << c.what << ": " << msg;
  }
  std::vector<std::byte> truncated(good.begin(),
                                   good.begin() + static_cast<std::ptrdiff_t>(good.size() / 2));
  EXPECT_EQ(ErrorOf(truncated).rfind(kNotXls, 0), 0u);
}

TEST(XlsCompoundFile, LargeStreamNeedsDifatSectors) {
  // Past 109 FAT sectors (about 7 MB) the FAT sector list goes on in DIFAT sectors.
  BiffWriter w;
  w.Globals({"S"}).Bof(16);
  constexpr int kRecords = 480000;
  for (int i = 0; i < kRecords; ++i) w.Number(i % 65536, i / 65536, 0, i);
  w.Eof();
  ASSERT_GT(w.Stream().size(), 110u * 128 * 512);
  TWorkbook book;
  LoadStream(book, w);
  const auto& rows = book.Sheets.Items(0).Rows.All();
  ASSERT_EQ(rows.size(), 65536u);
  EXPECT_EQ(rows[65535].Cells.All()[6].AsText(book), std::to_string(6 * 65536 + 65535));
  EXPECT_EQ(rows[0].Cells.All()[7].AsText(book), std::to_string(7 * 65536));
}

TEST(XlsCompoundFile, XlsxRenamedToXlsFailsThroughLoadFromFile) {
  const std::string path = std::string(VESTRANO_BINARY_DIR) + "/xls_renamed_package.xls";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_TRUE(f);
  const char zip_head[] = "PK\x03\x04\x14\x00\x00\x00\x08\x00";
  std::fwrite(zip_head, 1, sizeof zip_head - 1, f);
  for (int i = 0; i < 1000; ++i) std::fputc(i & 0xFF, f);
  std::fclose(f);
  TWorkbook book;
  try {
    book.LoadFromFile(path);
    FAIL() << "no error";
  } catch (const EWorkbookFileError& e) {
    EXPECT_STREQ(e.what(), kNotXls);
  }
  std::remove(path.c_str());
}

}  // namespace
}  // namespace vestrano
