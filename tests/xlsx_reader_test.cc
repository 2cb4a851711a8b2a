// The package reader on hand-made packages: every cell type, the structures that make rows and
// cells exist, part lookup, and the mended readings of real files.
#include "workbook/xlsx/xlsx_reader.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/sheet_builder.h"
#include "support/xlsx_package.h"
#include "workbook/errors.h"
#include "workbook/model.h"
#include "workbook/progress.h"

namespace vestrano {
namespace {

using test::Grid;

using test::MinimalWorkbook;
using test::SharedStringsXml;
using test::SheetXml;
using test::StylesXml;
using test::XlsxPackage;

std::unique_ptr<TWorkbook> Load(const XlsxPackage& package, ProgressSink* progress = nullptr) {
  const std::vector<std::byte> bytes = package.Bytes();
  auto book = std::make_unique<TWorkbook>();
  xlsx::Read(*book, bytes, progress);
  return book;
}

std::unique_ptr<TWorkbook> OneSheet(const std::string& sheet_data, const std::string& after = "",
                                    const std::string& sst = "", const std::string& styles = "",
                                    const std::string& workbook_pr = "") {
  return Load(MinimalWorkbook({{"S", SheetXml(sheet_data, after)}}, sst, styles, workbook_pr));
}

const TExportCell& Cell(const TWorkbook& book, int row, int col, int sheet = 0) {
  return book.Sheets.Items(sheet).Rows.All().at(static_cast<std::size_t>(row)).Cells.Items(col);
}

TEST(XlsxCells, ValuesOfEveryTypeGiveTheirTexts) {
  const std::string sst =
      SharedStringsXml({"<si><t>Zero</t></si>", "<si/>", "<si><t>Two</t></si>"});
  const std::string styles = StylesXml(
      "<numFmt numFmtId=\"164\" formatCode=\"d.m.yyyy\"/>"
      "<numFmt numFmtId=\"165\" formatCode=\"d.m.yyyy h:mm\"/>",
      {0, 14, 164, 165, 45, 4});
  struct Case {
    const char* cell;  // the c element, in row 1 at column A
    const char* text;
    CellKind kind;
  };
  const Case cases[] = {
      {"<c r=\"A1\"><v>42400</v></c>", "42400", CellKind::Number},
      {"<c r=\"A1\" s=\"1\"><v>42400</v></c>", "2016-01-31", CellKind::DateTime},
      {"<c r=\"A1\" s=\"2\"><v>42400.75</v></c>", "2016-01-31", CellKind::DateTime},
      {"<c r=\"A1\" s=\"3\"><v>42400.5</v></c>", "2016-01-31 12:00:00", CellKind::DateTime},
      {"<c r=\"A1\" s=\"4\"><v>0.5</v></c>", "0.5", CellKind::Number},
      {"<c r=\"A1\" s=\"1\"><v>0</v></c>", "0000-00-00", CellKind::DateTime},
      {"<c r=\"A1\" s=\"5\"><v>1500000</v></c>", "1500000", CellKind::Number},
      {"<c r=\"A1\" s=\"99\"><v>42400</v></c>", "42400", CellKind::Number},  // no such style
      {"<c r=\"A1\"><v>1,5</v></c>", "1.5", CellKind::Number},
      {"<c r=\"A1\"><v> -2.5E3 </v></c>", "-2500", CellKind::Number},
      {"<c r=\"A1\"><v>12abc</v></c>", "", CellKind::Empty},
      {"<c r=\"A1\" t=\"s\"><v>2</v></c>", "Two", CellKind::String},
      {"<c r=\"A1\" t=\"s\"><v>1</v></c>", "", CellKind::String},    // the self-closed si
      {"<c r=\"A1\" t=\"s\"><v>999</v></c>", "", CellKind::String},  // past the table
      {"<c r=\"A1\" t=\"s\"><v>x</v></c>", "", CellKind::String},
      {"<c r=\"A1\" t=\"s\"/>", "", CellKind::String},
      {"<c r=\"A1\" t=\"inlineStr\"><is><r><t>Ab</t></r><r><t>c</t></r></is></c>", "Abc",
       CellKind::String},
      {"<c r=\"A1\" t=\"inlineStr\"><is><t>plain</t><r><t>run</t></r></is></c>", "plain",
       CellKind::String},
      {"<c r=\"A1\" t=\"inlineStr\"><is><t xml:space=\"preserve\"> a </t></is></c>", " a ",
       CellKind::String},
      {"<c r=\"A1\" t=\"inlineStr\"><is><t> a </t></is></c>", "a", CellKind::String},
      {"<c r=\"A1\" t=\"inlineStr\"><is><t>one\ntwo</t></is></c>", "one\r\ntwo", CellKind::String},
      {"<c r=\"A1\" t=\"str\"><f>A2&amp;\"x\"</f><v>from &lt;formula&gt;</v></c>", "from <formula>",
       CellKind::String},
      {"<c r=\"A1\" t=\"b\"><v>1</v></c>", "1", CellKind::Boolean},
      {"<c r=\"A1\" t=\"b\"><v>0</v></c>", "0", CellKind::Boolean},
      {"<c r=\"A1\" t=\"b\"/>", "0", CellKind::Boolean},
      {"<c r=\"A1\" t=\"e\"><v>#DIV/0!</v></c>", "", CellKind::Empty},
      {"<c r=\"A1\"><f>1/0</f><v>#DIV/0!</v></c>", "", CellKind::Empty},
      {"<c r=\"A1\" t=\"n\"><f>1+1</f><v>2</v></c>", "2", CellKind::Number},
      // ISO dates: a date-only or date-time format of their own, never shifted.
      {"<c r=\"A1\" t=\"d\"><v>2016-01-31</v></c>", "2016-01-31", CellKind::DateTime},
      {"<c r=\"A1\" t=\"d\"><v>2016-01-31T12:30:15</v></c>", "2016-01-31 12:30:15",
       CellKind::DateTime},
      {"<c r=\"A1\" t=\"d\"><v>2016-01-31T00:00:00Z</v></c>", "2016-01-31", CellKind::DateTime},
      {"<c r=\"A1\" t=\"d\" s=\"2\"><v>2016-01-31T18:00:00</v></c>", "2016-01-31",
       CellKind::DateTime},
      {"<c r=\"A1\" t=\"d\"><v>2016-02-30</v></c>", "2016-02-30", CellKind::String},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cell);
    auto book = OneSheet(std::string("<row r=\"1\">") + c.cell + "</row>", "", sst, styles);
    const TExportCell& cell = Cell(*book, 0, 0);
    EXPECT_EQ(cell.AsText(*book), c.text);
    EXPECT_EQ(cell.Kind(), c.kind);
  }
}

TEST(XlsxCells, DateSystem1904ShiftsStoredNumbersButNotIsoDates) {
  const std::string styles = StylesXml("", {0, 14});
  auto book = OneSheet(
      "<row r=\"1\"><c r=\"A1\" s=\"1\"><v>40938</v></c><c r=\"B1\" t=\"d\"><v>2016-01-31</v></c>"
      "<c r=\"C1\"><v>40938</v></c></row>",
      "", "", styles, "<workbookPr date1904=\"1\"/>");
  EXPECT_TRUE(book->Date1904);
  EXPECT_EQ(Grid(*book), "2016-01-31|2016-01-31|40938");
  for (const char* pr :
       {"<workbookPr date1904=\"true\"/>", "<workbookPr date1904=\"0\"/>", "<workbookPr/>"}) {
    auto b =
        OneSheet("<row r=\"1\"><c r=\"A1\" s=\"1\"><v>40938</v></c></row>", "", "", styles, pr);
    EXPECT_EQ(b->Date1904, std::string(pr).find("\"true\"") != std::string::npos) << pr;
  }
}

TEST(XlsxCells, FormatCodeComesFromTheStyle) {
  const std::string styles = StylesXml(
      "<numFmt numFmtId=\"164\" formatCode=\"#,##0.00\\ &quot;Kč&quot;\"/>", {0, 164, 14, 7});
  auto book = OneSheet(
      "<row r=\"1\"><c r=\"A1\" s=\"1\"><v>5</v></c><c r=\"B1\" s=\"2\"><v>5</v></c>"
      "<c r=\"C1\" s=\"3\"><v>5</v></c><c r=\"D1\" s=\"1\"/><c r=\"E1\" t=\"s\" "
      "s=\"1\"><v>0</v></c></row>",
      "", "", styles);
  EXPECT_EQ(Cell(*book, 0, 0).FormatCode(*book), "#,##0.00\\ \"Kč\"");
  EXPECT_EQ(Cell(*book, 0, 0).Kind(), CellKind::Currency);
  EXPECT_EQ(book->Format(Cell(*book, 0, 1).FormatIndex()).builtin_id, 14);
  EXPECT_EQ(Cell(*book, 0, 2).FormatCode(*book), "");    // id 7 is not built in: General
  EXPECT_EQ(Cell(*book, 0, 3).Kind(), CellKind::Empty);  // a style and no value
  EXPECT_EQ(Cell(*book, 0, 3).FormatCode(*book), "#,##0.00\\ \"Kč\"");
  // Formats are interned once per style, not per cell.
  EXPECT_LE(book->FormatCount(), 4u);
}

TEST(XlsxRows, RowsAndColumnsLandWhereTheFileSays) {
  struct Case {
    const char* sheet_data;
    const char* grid;
  };
  const Case cases[] = {
      {"<row r=\"5\"><c r=\"A5\"><v>1</v></c></row>", "\n\n\n\n1"},
      {"<row r=\"7\"><c r=\"A7\"><v>1</v></c><c r=\"C7\"><v>3</v></c></row>", "\n\n\n\n\n\n1|~|3"},
      {"<row r=\"2\"><c r=\"B2\" s=\"0\"/></row>", "\n~|~"},
      {"<row><c><v>1</v></c><c><v>2</v></c></row><row><c r=\"B9\"><v>3</v></c></row>",
       "1|2\n~|3"},  // no r: appended; the row part of a cell reference is not used
      {"<row r=\"2\"><c r=\"C2\"><v>1</v></c><c r=\"A2\"><v>2</v></c></row>", "\n~|~|1|2"},
      {"<row r=\"3\"><c r=\"B3\"><v>1</v></c></row><row r=\"1\"/><row r=\"3\"><c "
       "r=\"D3\"><v>2</v></c></row>",
       "\n\n~|1|~|2"},  // a row number that exists again reuses the row
      {"<row r=\"1\"><c r=\"AA1\"><v>1</v></c></row>",
       "~|~|~|~|~|~|~|~|~|~|~|~|~|~|~|~|~|~|~|~|~|~|~|~|~|~|1"},
      {"<row r=\"0\"><c r=\"A1\"><v>1</v></c></row><row r=\"x\"/>", "1\n"},
      {"<row r=\"1\"><c r=\"1A1\"><v>1</v></c><c r=\"ABCD1\"><v>2</v></c></row>", "1|2"},
      {"<row r=\"2\"/>", "\n"},
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sheet_data);
    EXPECT_EQ(Grid(*OneSheet(c.sheet_data)), c.grid);
  }
}

TEST(XlsxSharedStrings, EntriesAreCutAndResolvedExactly) {
  struct Case {
    const char* si;
    const char* text;
  };
  const Case cases[] = {
      {"<si><t>plain</t></si>", "plain"},
      {"<si><t xml:space=\"preserve\"> A </t></si>", " A "},
      {"<si><t> A </t></si>", "A"},
      {"<si><r><t>Ab</t></r><r><rPr><b/></rPr><t xml:space=\"preserve\">c </t></r></si>", "Abc "},
      {"<si><t>x</t><rPh sb=\"0\" eb=\"1\"><t>y</t></rPh><phoneticPr fontId=\"1\"/></si>", "xy"},
      {"<si><t>a\r\nb\nc\rd</t></si>", "a\r\nb\r\nc\r\nd"},
      {"<si><t>a_x000D_\nb_X000d_</t></si>", "a\r\nb"},
      {"<si><t>_x0041_ _x005F_x000D_</t></si>", "_x0041_ _x005F"},
      {"<si><t>&lt;&amp;&gt;&quot;&apos;&#x10D;&#269;</t></si>", "<&>\"'čč"},
      {"<si><t>a&#13;&#10;b&#10;c</t></si>", "a\r\nb\r\nc"},
      {"<si><t><![CDATA[<raw>]]></t></si>", "<raw>"},
      {"<si><t>Žluťoučký kůň</t></si>", "Žluťoučký kůň"},
      {"<si>\n  <t>x</t>\n</si>", "x"},
      {"<si><t/></si>", ""},
      {"<si></si>", ""},
  };
  std::vector<std::string> items;
  for (const Case& c : cases) items.push_back(c.si);
  std::string cells;
  for (std::size_t i = 0; i < items.size(); ++i)
    cells += "<row><c t=\"s\"><v>" + std::to_string(i) + "</v></c></row>";
  auto book = OneSheet(cells, "", SharedStringsXml(items));
  for (std::size_t i = 0; i < items.size(); ++i)
    EXPECT_EQ(Cell(*book, static_cast<int>(i), 0).AsText(*book), cases[i].text) << cases[i].si;

  // The same texts through the full parser (a blank inside the tag avoids the plain-entry path).
  items.clear();
  for (const Case& c : cases) {
    std::string si = c.si;
    if (si.starts_with("<si><t>")) si.replace(0, 7, "<si ><t >");
    items.push_back(si);
  }
  auto parsed = OneSheet(cells, "", SharedStringsXml(items));
  for (std::size_t i = 0; i < items.size(); ++i)
    EXPECT_EQ(Cell(*parsed, static_cast<int>(i), 0).AsText(*parsed), cases[i].text) << items[i];
}

TEST(XlsxSharedStrings, EachStringIsPooledOnce) {
  auto book = OneSheet(
      "<row><c t=\"s\"><v>0</v></c><c t=\"s\"><v>0</v></c><c t=\"s\"><v>1</v></c><c "
      "t=\"s\"><v>0</v></c></row>",
      "", SharedStringsXml({"<si><t>same</t></si>", "<si><t>other</t></si>"}));
  EXPECT_EQ(Cell(*book, 0, 0).StringIndex(), Cell(*book, 0, 1).StringIndex());
  EXPECT_EQ(Cell(*book, 0, 0).StringIndex(), Cell(*book, 0, 3).StringIndex());
  EXPECT_NE(Cell(*book, 0, 0).StringIndex(), Cell(*book, 0, 2).StringIndex());
}

TEST(XlsxSharedStrings, PrefixedElementsAndOddPartNames) {
  const std::string sst =
      "<x:sst xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
      "<x:si><x:t>one</x:t></x:si><x:si><x:r><x:t>tw</x:t></x:r><x:r><x:t>o</x:t></x:r></x:si></"
      "x:sst>";
  XlsxPackage p = MinimalWorkbook(
      {{"S", SheetXml("<row><c t=\"s\"><v>0</v></c><c t=\"s\"><v>1</v></c></row>")}}, sst);
  EXPECT_EQ(Grid(*Load(p)), "one|two");
  // The part found without its relationship, under another letter case.
  p.Remove("xl/sharedStrings.xml").Add("xl/SharedStrings.xml", sst);
  p.Replace(
      "xl/_rels/workbook.xml.rels",
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
      "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
      "relationships/worksheet\" Target=\"worksheets/sheet1.xml\"/></Relationships>");
  EXPECT_EQ(Grid(*Load(p)), "one|two");
  // No table at all: every shared-string cell is an empty string.
  p.Remove("xl/SharedStrings.xml");
  EXPECT_EQ(Grid(*Load(p)), "|");
}

TEST(XlsxStructures, MergedRangesHyperlinksBreaksAndConditionalFormats) {
  struct Case {
    const char* sheet_data;
    const char* after;
    const char* grid;
  };
  const Case cases[] = {
      {"<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>",
       "<mergeCells count=\"1\"><mergeCell ref=\"A1:C1\"/></mergeCells>", "1|~|~"},
      {"<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>",
       "<mergeCells><mergeCell ref=\"B2:D3\"/></mergeCells>", "1\n~|~|~|~"},
      {"<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>",
       "<conditionalFormatting sqref=\"B2:C3 E5\"><cfRule type=\"cellIs\" priority=\"1\"/>"
       "</conditionalFormatting>",
       "1\n~|~|~\n~|~|~"},
      {"<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>",
       "<conditionalFormatting sqref=\"B2:C3\"></conditionalFormatting>", "1"},  // no rule
      {"<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>",
       "<rowBreaks count=\"2\"><brk id=\"3\" max=\"16383\" man=\"1\"/><brk id=\"6\" man=\"0\"/>"
       "</rowBreaks>",
       "1\n\n\n"},
      {"<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>",
       "<hyperlinks><hyperlink ref=\"C2\" r:id=\"rId1\"/><hyperlink ref=\"D4\" location=\"S!A1\"/>"
       "<hyperlink ref=\"E5\" r:id=\"rId2\"/></hyperlinks>",
       "1\n~|~|"},
      // Whole columns and rows end where the sheet's own cells end.
      {"<row r=\"1\"><c r=\"A1\"><v>1</v></c></row><row r=\"3\"><c r=\"C3\"><v>3</v></c></row>",
       "<conditionalFormatting sqref=\"B1:B1048576\"><cfRule "
       "type=\"expression\"/></conditionalFormatting>",
       "1|~\n~|~\n~|~|3"},
      {"<row r=\"1\"><c r=\"A1\"><v>1</v></c></row><row r=\"2\"><c r=\"B2\"><v>2</v></c></row>",
       "<conditionalFormatting sqref=\"A:A\"><cfRule/></conditionalFormatting>"
       "<mergeCells><mergeCell ref=\"A4:XFD4\"/></mergeCells>",
       "1\n~|2"},
      {"<row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"C1\"><v>3</v></c></row>",
       "<mergeCells><mergeCell ref=\"A2:XFD2\"/></mergeCells>", "1|~|3"},
      {"<row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"C1\"><v>3</v></c></row><row r=\"2\"/>",
       "<mergeCells><mergeCell ref=\"A2:XFD2\"/></mergeCells>", "1|~|3\n~|~|~"},
      {"", "<conditionalFormatting sqref=\"E1:E1048576\"><cfRule/></conditionalFormatting>", ""},
      // Before sheetData these are not read.
      {"<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>", "", "1"},
  };
  const std::string rels =
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
      "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
      "relationships/hyperlink\" Target=\"http://example.com/\" TargetMode=\"External\"/>"
      "<Relationship Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
      "relationships/hyperlink\" Target=\"#S!A1\"/></Relationships>";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.after);
    XlsxPackage p = MinimalWorkbook({{"S", SheetXml(c.sheet_data, c.after)}});
    p.Add("xl/worksheets/_rels/sheet1.xml.rels", rels);
    EXPECT_EQ(Grid(*Load(p)), c.grid);
  }
  auto before = Load(MinimalWorkbook(
      {{"S", SheetXml("", "", "<mergeCells><mergeCell ref=\"A1:C3\"/></mergeCells>")}}));
  EXPECT_EQ(before->Sheets.Items(0).Rows.Count(), 0);
}

TEST(XlsxStructures, ConditionalFormatOverDataMakesEveryRowOfTheRange) {
  std::string data;
  for (int r = 1; r <= 20; ++r)
    data += "<row r=\"" + std::to_string(r) + "\"><c r=\"A" + std::to_string(r) + "\"><v>" +
            std::to_string(r) + "</v></c></row>";
  auto book = OneSheet(
      data,
      "<conditionalFormatting sqref=\"A2:F300\"><cfRule type=\"cellIs\"/></conditionalFormatting>");
  const TExportWorkSheet& s = book->Sheets.Items(0);
  ASSERT_EQ(s.Rows.Count(), 300);
  EXPECT_EQ(s.Rows.All()[0].Cells.Count(), 1);
  for (int r = 1; r < 300; ++r)
    EXPECT_EQ(s.Rows.All()[static_cast<std::size_t>(r)].Cells.Count(), 6) << r;
  EXPECT_EQ(Cell(*book, 19, 0).AsText(*book), "20");
}

TEST(XlsxStructures, ARangeBeyondTheCellBudgetIsRefusedAtOnce) {
  try {
    OneSheet("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>",
             "<conditionalFormatting sqref=\"A1:XFC1048575\"><cfRule/></conditionalFormatting>");
    FAIL() << "no error";
  } catch (const EWorkbookFileError& e) {
    EXPECT_NE(std::string(e.what()).find("too large"), std::string::npos) << e.what();
  }
}

TEST(XlsxStructures, ManyConditionalFormatsOverTheSameRowsEndInTime) {
  // Identical ranges are skipped; ranges that each walk the rows again are bounded in total.
  std::string same = "<conditionalFormatting sqref=\"A1:B50000\"><cfRule/></conditionalFormatting>";
  std::string walking = same;
  for (int k = 0; k < 5000; ++k)
    same += "<conditionalFormatting sqref=\"A1:A50000\"><cfRule/></conditionalFormatting>";
  for (int k = 1; k <= 200; ++k)
    walking += "<conditionalFormatting sqref=\"A" + std::to_string(k) + ":A" +
               std::to_string(50000 + k) + "\"><cfRule/></conditionalFormatting>";
  const std::string data = "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>";
  TWorkbook a;
  a.SetCellBudget(200000);
  xlsx::Read(a, MinimalWorkbook({{"S", SheetXml(data, same)}}).Bytes(), nullptr);
  EXPECT_EQ(a.Sheets.Items(0).Rows.Count(), 50000);
  TWorkbook b;
  b.SetCellBudget(200000);
  try {
    xlsx::Read(b, MinimalWorkbook({{"S", SheetXml(data, walking)}}).Bytes(), nullptr);
    FAIL() << "no error";
  } catch (const EWorkbookFileError& e) {
    EXPECT_EQ(std::string(e.what()),
              "The workbook is too large: its conditional formats cover more than 4000000 rows.");
  }
}

TEST(XlsxRows, ARowNumberRepeatedManyTimesGrowsThatRow) {
  std::string data;
  for (int k = 0; k < 20000; ++k)
    data += "<row r=\"2\"><c><v>" + std::to_string(k) + "</v></c></row>";
  auto book = OneSheet(data + "<row r=\"1\"><c><v>7</v></c></row>");
  const TExportWorkSheet& s = book->Sheets.Items(0);
  ASSERT_EQ(s.Rows.Count(), 2);
  EXPECT_EQ(Cell(*book, 0, 0).AsText(*book), "7");
  ASSERT_EQ(s.Rows.All()[1].Cells.Count(), 20000);
  EXPECT_EQ(Cell(*book, 1, 19999).AsText(*book), "19999");
}

TEST(XlsxStructures, PicturesAndCommentsMakeTheirCellsExist) {
  const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
  const std::string rels_ns =
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
  XlsxPackage p = MinimalWorkbook({{"S", SheetXml("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>")}});
  p.Add("xl/worksheets/_rels/sheet1.xml.rels",
        rels_ns + "<Relationship Id=\"rId1\" Type=\"" + rel +
            "drawing\" Target=\"../drawings/drawing1.xml\"/>" +
            "<Relationship Id=\"rId2\" Type=\"" + rel + "comments\" Target=\"../comments1.xml\"/>" +
            "<Relationship Id=\"rId3\" Type=\"" + rel +
            "vmlDrawing\" Target=\"../drawings/vmlDrawing1.vml\"/>" + "</Relationships>");
  p.Add(
      "xl/drawings/drawing1.xml",
      "<xdr:wsDr xmlns:xdr=\"http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing\" "
      "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
      "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
      "<xdr:twoCellAnchor><xdr:from><xdr:col>2</xdr:col><xdr:colOff>0</xdr:colOff><xdr:row>4</"
      "xdr:row>"
      "</xdr:from><xdr:to><xdr:col>5</xdr:col><xdr:row>9</xdr:row></xdr:to><xdr:pic><xdr:blipFill>"
      "<a:blip r:embed=\"rId1\"/></xdr:blipFill></xdr:pic><xdr:clientData/></xdr:twoCellAnchor>"
      "<xdr:oneCellAnchor><xdr:from><xdr:col>7</xdr:col><xdr:row>7</xdr:row></xdr:from><xdr:pic>"
      "<xdr:blipFill><a:blip "
      "r:embed=\"rId9\"/></xdr:blipFill></xdr:pic></xdr:oneCellAnchor></xdr:wsDr>");
  p.Add("xl/drawings/_rels/drawing1.xml.rels",
        rels_ns + "<Relationship Id=\"rId1\" Type=\"" + rel +
            "image\" Target=\"../media/image1.png\"/></Relationships>");
  p.Add("xl/media/image1.png", "PNG");
  p.Add(
      "xl/comments1.xml",
      "<comments "
      "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><authors><author>a</"
      "author>"
      "</authors><commentList><comment ref=\"B2\" authorId=\"0\"><text><t>note</t></text></comment>"
      "</commentList></comments>");
  // Legacy VML as Excel writes it, with an unclosed <br>.
  p.Add("xl/drawings/vmlDrawing1.vml",
        "<xml xmlns:v=\"urn:schemas-microsoft-com:vml\" "
        "xmlns:o=\"urn:schemas-microsoft-com:office:office\" "
        "xmlns:x=\"urn:schemas-microsoft-com:office:excel\"><v:shape id=\"_x0000_s1025\" "
        "type=\"#_x0000_t202\">"
        "<v:textbox><div>a<br>b</div></v:textbox><x:ClientData ObjectType=\"Note\"><x:Row>1</x:Row>"
        "<x:Column>1</x:Column></x:ClientData></v:shape><v:shape><x:ClientData><x:Row>0</x:Row>"
        "<x:Column>3</x:Column></x:ClientData></v:shape></xml>");
  auto book = Load(p);
  EXPECT_EQ(Grid(*book), "1|~|~|~\n~|~\n\n\n~|~|~");
  // Without its VML part the comments part makes nothing exist.
  p.Remove("xl/drawings/vmlDrawing1.vml");
  EXPECT_EQ(Grid(*Load(p)), "1\n\n\n\n~|~|~");
}

TEST(XlsxWorkbook, SheetsFollowTheirPartNumbersAndGetTheirNames) {
  const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
  XlsxPackage p;
  p.Add("_rels/.rels",
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" Type=\"" +
            rel + "officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>");
  p.Add("xl/workbook.xml",
        "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
        "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>"
        "<sheet name=\"Second\" sheetId=\"1\" r:id=\"rId2\"/><sheet name=\"First/1\" sheetId=\"2\" "
        "r:id=\"rId1\"/>"
        "<sheet name=\"Chart\" sheetId=\"3\" r:id=\"rId3\"/></sheets></workbook>");
  p.Add("xl/_rels/workbook.xml.rels",
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId2\" Type=\"" +
            rel +
            "worksheet\" Target=\"worksheets/sheet2.xml\"/>"
            "<Relationship Id=\"rId1\" Type=\"" +
            rel +
            "worksheet\" Target=\"/xl/worksheets/sheet1.xml\"/>"
            "<Relationship Id=\"rId3\" Type=\"" +
            rel +
            "chartsheet\" Target=\"chartsheets/sheet3.xml\"/>"
            "<Relationship Id=\"rId4\" Type=\"" +
            rel +
            "worksheet\" Target=\"worksheets/sheet4.xml\"/>"
            "</Relationships>");
  p.Add("xl/worksheets/sheet1.xml",
        SheetXml("<row><c t=\"inlineStr\"><is><t>one</t></is></c></row>"));
  p.Add("xl/worksheets/sheet2.xml",
        SheetXml("<row><c t=\"inlineStr\"><is><t>two</t></is></c></row>"));
  auto book = Load(p);
  ASSERT_EQ(book->Sheets.Count(), 3);
  EXPECT_EQ(book->Sheets.Items(0).Name, "First-1");
  EXPECT_EQ(Grid(*book, 0), "one");
  EXPECT_EQ(book->Sheets.Items(1).Name, "Second");
  EXPECT_EQ(Grid(*book, 1), "two");
  EXPECT_EQ(book->Sheets.Items(2).Name, "");  // named by no sheet element; its part is missing
  EXPECT_EQ(book->Sheets.Items(2).Rows.Count(), 0);
}

TEST(XlsxWorkbook, StrictFormAndAWorkbookPartElsewhere) {
  const std::string rel = "http://purl.oclc.org/ooxml/officeDocument/relationships/";
  XlsxPackage p;
  p.Add("_rels/.rels",
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" Type=\"" +
            rel + "officeDocument\" Target=\"book/Main.xml\"/></Relationships>");
  p.Add("book/Main.xml",
        "<workbook xmlns=\"http://purl.oclc.org/ooxml/spreadsheetml/main\" "
        "xmlns:r=\"http://purl.oclc.org/ooxml/officeDocument/relationships\"><workbookPr "
        "date1904=\"1\"/><sheets>"
        "<sheet name=\"Strict\" sheetId=\"1\" r:id=\"rId7\"/></sheets></workbook>");
  p.Add("book/_rels/Main.xml.rels",
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId7\" Type=\"" +
            rel +
            "worksheet\" Target=\"./sheets/../sheets/s1.xml\"/>"
            "<Relationship Id=\"rId8\" Type=\"" +
            rel +
            "sharedStrings\" Target=\"strings.xml\"/>"
            "<Relationship Id=\"rId9\" Type=\"" +
            rel + "styles\" Target=\"look.xml\"/></Relationships>");
  p.Add("book/sheets/s1.xml",
        SheetXml("<row><c t=\"s\"><v>0</v></c><c s=\"1\"><v>40938</v></c></row>"));
  p.Add("book/strings.xml", SharedStringsXml({"<si><t>strict</t></si>"}));
  p.Add("book/look.xml", StylesXml("", {0, 14}));
  auto book = Load(p);
  ASSERT_EQ(book->Sheets.Count(), 1);
  EXPECT_EQ(book->Sheets.Items(0).Name, "Strict");
  EXPECT_EQ(Grid(*book), "strict|2016-01-31");
}

TEST(XlsxWorkbook, APartMayDeclareAnotherEncoding) {
  // "Čáp" in UTF-16 with a byte-order mark, and in windows-1250 by declaration.
  std::string utf16 = "\xFF\xFE";
  const std::string ascii =
      "<?xml version=\"1.0\" encoding=\"UTF-16\"?><worksheet><sheetData><row><c "
      "t=\"inlineStr\"><is><t>";
  for (char c : ascii) utf16 += c, utf16 += '\0';
  utf16 += std::string("\x0C\x01\xE1\x00p\x00", 6);
  for (char c : std::string("</t></is></c></row></sheetData></worksheet>"))
    utf16 += c, utf16 += '\0';
  XlsxPackage p = MinimalWorkbook({{"S", utf16}});
  EXPECT_EQ(Grid(*Load(p)), "Čáp");
  p.Replace("xl/worksheets/sheet1.xml",
            "<?xml version=\"1.0\" encoding=\"windows-1250\"?><worksheet><sheetData><row>"
            "<c t=\"inlineStr\"><is><t>\xC8\xE1p</t></is></c></row></sheetData></worksheet>");
  EXPECT_EQ(Grid(*Load(p)), "Čáp");
  // Bytes that do not fit the declared encoding: an error, and nothing printed by the parser.
  p.Replace("xl/worksheets/sheet1.xml",
            "<?xml version=\"1.0\" encoding=\"UCS-4\"?><worksheet><sheetData><row><c "
            "t=\"inlineStr\"><is><t>\xC2\xC2\xC2\xC2</t></is></c></row></sheetData></worksheet>");
  testing::internal::CaptureStderr();
  try {
    Load(p);
    ADD_FAILURE() << "no error";
  } catch (const EWorkbookFileError& e) {
    EXPECT_EQ(std::string(e.what()),
              "The part xl/worksheets/sheet1.xml is not well-formed XML: its text does not fit its "
              "encoding.");
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(XlsxWorkbook, PartNamesIgnoreCaseAndSeparators) {
  XlsxPackage p = MinimalWorkbook({{"S", SheetXml("<row><c><v>1</v></c></row>")}});
  p.Remove("xl/worksheets/sheet1.xml")
      .Add("XL\\Worksheets\\Sheet1.XML", SheetXml("<row><c><v>7</v></c></row>"));
  EXPECT_EQ(Grid(*Load(p)), "7");
}

class Recorder : public ProgressSink {
 public:
  void Progress(std::string_view text, double fraction) override {
    if (texts.empty() || texts.back() != text) texts.emplace_back(text);
    EXPECT_GE(fraction, 0.0);
    EXPECT_LE(fraction, 1.0);
    ++calls;
  }
  std::vector<std::string> texts;
  int calls = 0;
};

TEST(XlsxWorkbook, ProgressTexts) {
  std::string big;
  for (int r = 1; r <= 2500; ++r)
    big +=
        "<row><c><v>1</v></c><c><v>2</v></c><c><v>3</v></c><c><v>4</v></c><c><v>5</v></c><c><v>6</"
        "v></c><c><v>7</v></c><c><v>8</v></c><c><v>9</v></c><c><v>0</v></c></row>";
  XlsxPackage p = MinimalWorkbook({{"A1", SheetXml(big)}, {"", SheetXml("")}});
  Recorder rec;
  Load(p, &rec);
  EXPECT_EQ(rec.texts, (std::vector<std::string>{"Loading", "Shared strings", "Worksheet 1/2: A1",
                                                 "Worksheet 2/2"}));
  EXPECT_EQ(rec.calls, 2 + 1 + 2 + 1);  // 25000 cells: two updates past the first sheet text
}

// Sheets read on threads of their own: the same book as one by one, the progress reported from
// the caller's thread only, and the error of the first sheet that fails.
class AtOnce {
 public:
  static constexpr xlsx::ReadOptions kOneByOne{.threads = 1};
  static constexpr xlsx::ReadOptions kAtOnce{.threads = 4, .parallel_min_bytes = 0};

  // Three sheets that share shared strings (plain ones and one that needs the parser), with
  // inline strings, formulas, ISO dates and merged cells, long enough for the threads to overlap.
  static XlsxPackage Mixed(const std::string& broken_sheet_data = "") {
    std::vector<std::string> sst;
    for (int i = 0; i < 500; ++i) sst.push_back("<si><t>text " + std::to_string(i) + "</t></si>");
    sst.push_back("<si><r><t>rich</t></r><r><t xml:space=\"preserve\"> run</t></r></si>");
    std::vector<test::SheetPart> sheets;
    for (int s = 0; s < 3; ++s) {
      std::string data;
      for (int r = 1; r <= 1500; ++r) {
        const std::string n = std::to_string(r);
        data += "<row r=\"" + n + "\"><c r=\"A" + n + "\" t=\"s\"><v>" +
                std::to_string((r * (s + 1)) % 501) + "</v></c><c r=\"B" + n +
                "\" t=\"inlineStr\"><is><t>in " + n + "</t></is></c><c r=\"C" + n +
                "\" t=\"d\"><v>2024-0" + std::to_string(1 + r % 9) + "-1" + std::to_string(r % 10) +
                (r % 2 ? "T10:30:00" : "") + "</v></c><c r=\"D" + n + "\" t=\"str\"><f>X</f><v>" +
                n + "</v></c><c r=\"F" + n + "\"><v>" + n + ".25</v></c></row>";
      }
      if (s == 2 && !broken_sheet_data.empty()) data = broken_sheet_data;
      sheets.push_back({"S" + std::to_string(s + 1),
                        SheetXml(data,
                                 "<mergeCells count=\"1\"><mergeCell ref=\"F2:H2\"/>"
                                 "</mergeCells>")});
    }
    return MinimalWorkbook(sheets, SharedStringsXml(sst));
  }

  static std::string Outcome(const XlsxPackage& package, const xlsx::ReadOptions& options,
                             ProgressSink* progress = nullptr) {
    TWorkbook book;
    try {
      xlsx::Read(book, package.Bytes(), progress, options);
    } catch (const EWorkbookFileError& e) {
      return std::string("error: ") + e.what();
    }
    return test::BookFingerprint(book);
  }
};

TEST(XlsxAtOnce, SameBookAsOneByOne) {
  const XlsxPackage p = AtOnce::Mixed();
  const std::string expected = AtOnce::Outcome(p, AtOnce::kOneByOne);
  ASSERT_NE(expected.find("String:rich run:"), std::string::npos);
  ASSERT_NE(expected.find("DateTime:2024-02-11 10:30:00:"), std::string::npos);
  for (int round = 0; round < 5; ++round)  // the threads interleave differently each time
    EXPECT_EQ(AtOnce::Outcome(p, AtOnce::kAtOnce), expected);
}

TEST(XlsxAtOnce, ProgressComesFromTheCallersThread) {
  class Checker : public ProgressSink {
   public:
    void Progress(std::string_view text, double fraction) override {
      EXPECT_EQ(std::this_thread::get_id(), caller_);
      EXPECT_GE(fraction, last_);
      EXPECT_LE(fraction, 1.0);
      if (text.starts_with("Worksheet")) last_ = fraction;
      texts.emplace_back(text);
    }
    std::vector<std::string> texts;

   private:
    std::thread::id caller_ = std::this_thread::get_id();
    double last_ = 0;
  } checker;
  AtOnce::Outcome(AtOnce::Mixed(), AtOnce::kAtOnce, &checker);
  ASSERT_GE(checker.texts.size(), 3u);
  EXPECT_EQ(checker.texts[0], "Loading");
  EXPECT_EQ(checker.texts[1], "Shared strings");
  EXPECT_EQ(checker.texts[2], "Worksheet 1/3: S1");
}

TEST(XlsxAtOnce, TheFirstFailingSheetNamesTheError) {
  struct Case {
    const char* what;
    std::string sheet3;     // what the third sheet holds instead
    const char* sst_entry;  // replaces entry 7, which every sheet uses; "" keeps it
  };
  const Case cases[] = {
      {"only the last sheet is not well-formed", "<row><c><v>1</v></row>", ""},
      {"a shared string every sheet uses is damaged", "", "<si><t>a</b></si>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    XlsxPackage p = AtOnce::Mixed(c.sheet3);
    if (*c.sst_entry) {
      std::vector<std::string> sst;
      for (int i = 0; i < 500; ++i)
        sst.push_back(i == 7 ? c.sst_entry : "<si><t>text " + std::to_string(i) + "</t></si>");
      p.Replace("xl/sharedStrings.xml", SharedStringsXml(sst));
    }
    const std::string expected = AtOnce::Outcome(p, AtOnce::kOneByOne);
    ASSERT_TRUE(expected.starts_with("error: ")) << expected.substr(0, 100);
    for (int round = 0; round < 5; ++round)
      EXPECT_EQ(AtOnce::Outcome(p, AtOnce::kAtOnce), expected);
  }
}

// A cancelled load stops at its next progress step with ECancelled: sheet after sheet, within a
// sheet, and while the sheets are read at once (no sheet starts once it is set, and the sheets
// being read poll it on their threads).
TEST(XlsxAtOnce, ACancelStopsTheLoad) {
  class Canceller : public ProgressSink {
   public:
    explicit Canceller(int at) : at_(at) {}
    void Progress(std::string_view, double) override {
      if (++calls == at_) cancel.Set();
    }
    int calls = 0;

   private:
    int at_;
  };
  std::string rows;
  for (int r = 1; r <= 2500; ++r) {
    rows += "<row>";
    for (int c = 0; c < 10; ++c) rows += "<c><v>" + std::to_string(r * c) + "</v></c>";
    rows += "</row>";
  }
  const XlsxPackage p = MinimalWorkbook({{"S1", SheetXml(rows)}, {"S2", SheetXml(rows)}});

  Canceller never(0);
  AtOnce::Outcome(p, AtOnce::kOneByOne, &never);
  ASSERT_GE(never.calls, 6);  // Loading, Shared strings, and two steps of 10000 cells per sheet
  for (int k = 1; k <= never.calls; ++k) {
    SCOPED_TRACE("one by one, cancelled at step " + std::to_string(k));
    Canceller c(k);
    TWorkbook book;
    EXPECT_THROW(xlsx::Read(book, p.Bytes(), &c, AtOnce::kOneByOne), ECancelled);
    EXPECT_EQ(c.calls, k);
  }
  for (int k = 3; k <= 4; ++k) {
    SCOPED_TRACE("at once, cancelled at step " + std::to_string(k));
    Canceller c(k);
    TWorkbook book;
    EXPECT_THROW(xlsx::Read(book, p.Bytes(), &c, AtOnce::kAtOnce), ECancelled);
    if (k == 3) {  // before the threads took a sheet
      EXPECT_EQ(book.Sheets.Items(0).Rows.Count(), 0);
      EXPECT_EQ(book.Sheets.Items(1).Rows.Count(), 0);
    }
  }
}

TEST(XlsxErrors, BadFilesGiveClearErrors) {
  XlsxPackage good = MinimalWorkbook({{"S", SheetXml("<row><c><v>1</v></c></row>")}});
  struct Case {
    const char* what;
    std::vector<std::byte> bytes;
    const char* message;  // the start of the message, or its whole text when exact
    bool exact;
  };
  auto text = [](std::string_view s) {
    std::vector<std::byte> v(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) v[i] = static_cast<std::byte>(s[i]);
    return v;
  };
  std::vector<std::byte> truncated = good.Bytes();
  truncated.resize(truncated.size() / 2);
  std::vector<std::byte> encrypted(4096, std::byte{0});
  const unsigned char cfb[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
  for (std::size_t i = 0; i < sizeof cfb; ++i) encrypted[i] = std::byte{cfb[i]};

  // A stored sheet with one byte changed fails its checksum.
  XlsxPackage stored = MinimalWorkbook({});
  const std::string sheet = SheetXml("<row><c><v>12345</v></c></row>");
  stored.Add("xl/worksheets/sheet1.xml", sheet, /*stored=*/true);
  stored.Replace(
      "xl/workbook.xml",
      "<workbook xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
      "<sheets><sheet name=\"S\" r:id=\"rId1\"/></sheets></workbook>");
  stored.Replace(
      "xl/_rels/workbook.xml.rels",
      "<Relationships><Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/"
      "officeDocument/2006/relationships/worksheet\" "
      "Target=\"worksheets/sheet1.xml\"/></Relationships>");
  std::vector<std::byte> damaged = stored.Bytes();
  const std::string haystack(reinterpret_cast<const char*>(damaged.data()), damaged.size());
  const std::size_t at = haystack.find("12345");
  ASSERT_NE(at, std::string::npos);
  damaged[at] = std::byte{'9'};

  XlsxPackage malformed = MinimalWorkbook({{"S", SheetXml("<row><c><v>1</v></row>")}});
  XlsxPackage bad_sst = MinimalWorkbook({{"S", SheetXml("<row><c t=\"s\"><v>0</v></c></row>")}},
                                        SharedStringsXml({"<si><t>a</b></si>"}));
  XlsxPackage no_workbook = good;
  no_workbook.Remove("xl/workbook.xml");

  const Case cases[] = {
      {"text", text("just some text, not a package"),
       "The file is not a valid XLSX (Excel 2007) file.", true},
      {"empty", {}, "The file is not a valid XLSX (Excel 2007) file.", true},
      {"encrypted", encrypted, "The file is not a valid XLSX (Excel 2007) file.", true},
      {"truncated", truncated, "The file is not a valid XLSX (Excel 2007) file.", false},
      {"checksum", damaged, "The ZIP entry xl/worksheets/sheet1.xml is damaged: CRC error", true},
      {"malformed sheet", malformed.Bytes(),
       "The part xl/worksheets/sheet1.xml is not well-formed XML (line 2", false},
      {"malformed string", bad_sst.Bytes(),
       "The part xl/sharedStrings.xml (string 0) is not well-formed XML", false},
      {"no workbook part", no_workbook.Bytes(),
       "The file is not a valid XLSX (Excel 2007) file. (It has no workbook part.)", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TWorkbook book;
    try {
      xlsx::Read(book, c.bytes, nullptr);
      ADD_FAILURE() << "no error";
    } catch (const EWorkbookFileError& e) {
      if (c.exact)
        EXPECT_EQ(std::string(e.what()), c.message);
      else
        EXPECT_TRUE(std::string(e.what()).starts_with(c.message)) << e.what();
    }
  }
}

// A little-endian field of a part's central directory record (offset 10: the compression
// method, 24: the uncompressed size), patched; the method also in the local header.
std::vector<std::byte> PatchDirectory(std::vector<std::byte> zip, const std::string& part,
                                      std::size_t offset, std::uint32_t value, int width) {
  const std::string bytes(reinterpret_cast<const char*>(zip.data()), zip.size());
  const auto u16 = [&](std::size_t o) {
    return static_cast<std::size_t>(static_cast<unsigned char>(bytes[o])) |
           static_cast<std::size_t>(static_cast<unsigned char>(bytes[o + 1])) << 8;
  };
  const auto put = [&](std::size_t at) {
    for (int i = 0; i < width; ++i)
      zip[at + static_cast<std::size_t>(i)] = static_cast<std::byte>(value >> (8 * i));
  };
  bool found = false;
  for (std::size_t at = bytes.find("PK\x01\x02"); at != std::string::npos;
       at = bytes.find("PK\x01\x02", at + 4))
    if (bytes.compare(at + 46, u16(at + 28), part) == 0) put(at + offset), found = true;
  for (std::size_t at = bytes.find("PK\x03\x04"); offset == 10 && at != std::string::npos;
       at = bytes.find("PK\x03\x04", at + 4))
    if (bytes.compare(at + 30, u16(at + 26), part) == 0) put(at + 8);
  EXPECT_TRUE(found) << part;
  return zip;
}

TEST(XlsxErrors, DamagedEntriesNameTheirFault) {
  std::string rows;
  for (int r = 0; r < 2000; ++r) rows += "<row><c><v>1</v></c></row>";
  const std::vector<std::byte> zip = MinimalWorkbook({{"S", SheetXml(rows)}}).Bytes();
  const std::string part = "xl/worksheets/sheet1.xml";
  const struct {
    std::size_t offset;
    std::uint32_t value;
    int width;
    const char* message;
  } cases[] = {
      {24, 100, 4,
       "The ZIP entry xl/worksheets/sheet1.xml is damaged: the entry inflates to more than its "
       "declared size"},
      {24, 2'000'000'000, 4,
       "The ZIP entry xl/worksheets/sheet1.xml is damaged: the entry would inflate to more than 1 "
       "GiB"},
      {24, 500'000'000, 4,
       "The ZIP entry xl/worksheets/sheet1.xml is damaged: the entry's compression ratio is not "
       "plausible"},
      {10, 12, 2, "The ZIP entry xl/worksheets/sheet1.xml is damaged: Compressed data invalid"},
  };
  for (const auto& c : cases) {
    TWorkbook book;
    try {
      xlsx::Read(book, PatchDirectory(zip, part, c.offset, c.value, c.width), nullptr);
      ADD_FAILURE() << "no error for " << c.message;
    } catch (const EWorkbookFileError& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
  }
}

// Only the entities that XML itself defines are read: any other reference, in a worksheet's
// text or attributes or in a part read as a tree, refuses the part instead of dropping out of the
// value; a document type that declares entities is refused before any is fetched or expanded.
TEST(XlsxErrors, OnlyTheEntitiesThatXmlDefinesAreRead) {
  const std::string system = "<?xml version=\"1.0\"?>\n<!DOCTYPE worksheet SYSTEM \"x.dtd\">\n";
  auto sheet = [](const std::string& prolog, const std::string& row) {
    std::string xml = SheetXml(row);
    if (!prolog.empty()) xml.replace(0, xml.find("<worksheet"), prolog);
    return MinimalWorkbook({{"S", xml}});
  };
  std::string laughs = "<!ENTITY a \"aaaaaaaaaa\">";
  for (char c = 'b'; c <= 'j'; ++c) {
    laughs += std::string("<!ENTITY ") + c + " \"";
    for (int i = 0; i < 10; ++i) laughs += std::string("&") + static_cast<char>(c - 1) + ";";
    laughs += "\">";
  }
  auto declared = [](const std::string& dtd) {
    return "<?xml version=\"1.0\"?>\n<!DOCTYPE worksheet [" + dtd + "]>\n";
  };
  const std::string inline_text =
      "<row><c t=\"inlineStr\"><is><t>Firma &ie; s.r.o.</t></is></c></row>";
  const std::string sheet_part = "The part xl/worksheets/sheet1.xml is not well-formed XML";
  const struct {
    XlsxPackage package;
    std::string message;  // its beginning, or the whole of it
  } cases[] = {
      {sheet("", inline_text), sheet_part + " (line 2, column"},
      {sheet(system, inline_text), sheet_part + " (line 3, column"},
      {sheet(system, "<row><c t=\"str\"><v>A&ie;B</v></c></row>"), sheet_part + " (line 3, column"},
      {sheet(system, "<row><c r=\"B&ie;5\"><v>1</v></c></row>"), sheet_part + " (line 3, column"},
      {sheet(declared("<!ENTITY ie \"abc\">"), inline_text),
       sheet_part +
           ": it declares the entity 'ie', and only the entities that XML defines are read."},
      // Never fetched, never expanded.
      {sheet(declared("<!ENTITY secret SYSTEM \"file:///etc/hostname\">"),
             "<row><c t=\"inlineStr\"><is><t>x&secret;y</t></is></c></row>"),
       sheet_part +
           ": it declares the entity 'secret', and only the entities that XML defines are read."},
      // Refused by the parser already, for the loop of references in the declarations.
      {sheet(declared(laughs), "<row><c t=\"str\"><v>&j;&j;</v></c></row>"), sheet_part},
  };
  for (const auto& c : cases) {
    TWorkbook book;
    try {
      xlsx::Read(book, c.package.Bytes(), nullptr);
      ADD_FAILURE() << "no error for " << c.message;
    } catch (const EWorkbookFileError& e) {
      EXPECT_TRUE(std::string(e.what()).starts_with(c.message)) << e.what();
      if (c.message.ends_with(" column")) {
        EXPECT_TRUE(std::string(e.what()).ends_with("Entity 'ie' not defined.")) << e.what();
      }
    }
  }
  // A part read as a tree: the workbook part with a sheet name that would lose its entity.
  XlsxPackage tree = MinimalWorkbook({{"S", SheetXml("")}});
  tree.Replace("xl/workbook.xml",
               "<?xml version=\"1.0\"?>\n<!DOCTYPE workbook SYSTEM \"x.dtd\">\n<workbook "
               "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
               "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
               "<sheets><sheet name=\"S&ie;1\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>");
  TWorkbook book;
  try {
    xlsx::Read(book, tree.Bytes(), nullptr);
    ADD_FAILURE() << "the workbook part was read";
  } catch (const EWorkbookFileError& e) {
    EXPECT_TRUE(std::string(e.what()).starts_with(
        "The part xl/workbook.xml is not well-formed XML (line 3, column"))
        << e.what();
    EXPECT_TRUE(std::string(e.what()).ends_with("Entity 'ie' not defined.")) << e.what();
  }
  // The five that XML defines and character references are text like any other.
  TWorkbook fine;
  xlsx::Read(
      fine,
      sheet(
          system,
          "<row><c t=\"inlineStr\"><is><t>&lt;&gt;&amp;&quot;&apos;&#x41;&#66;</t></is></c></row>")
          .Bytes(),
      nullptr);
  EXPECT_EQ(Grid(fine), "<>&\"'AB");
}

TEST(XlsxErrors, WhatWasReadBeforeAFailureStays) {
  XlsxPackage p = MinimalWorkbook({{"Good", SheetXml("<row><c><v>1</v></c></row>")},
                                   {"Bad", SheetXml("<row><c><v>2</v></c><row>")}});
  TWorkbook book;
  EXPECT_THROW(xlsx::Read(book, p.Bytes(), nullptr), EWorkbookFileError);
  ASSERT_EQ(book.Sheets.Count(), 2);
  EXPECT_EQ(Grid(book, 0), "1");
}

}  // namespace
}  // namespace vestrano
