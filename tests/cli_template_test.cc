// The blank statement workbook: read back by the import, filled with the example's values, and
// written by the command line.
#include <gtest/gtest.h>
#include <zip.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "cli/template.h"
#include "data/layout.h"
#include "data/records.h"
#include "export/xml_writer.h"
#include "import/run.h"
#include "support/run_program.h"
#include "support/sheet_builder.h"
#include "support/temp_dir.h"

namespace vestrano {
namespace {

std::string Example() {
  return std::string(VESTRANO_SOURCE_DIR) + "/examples/kontrolni-hlaseni.xlsx";
}

TStatement Import(const std::string& path) {
  TStatement st;
  RunImport(st, path);
  return st;
}

// The text of one part of an .xlsx package.
std::string Part(const std::string& package, const std::string& name) {
  int error = 0;
  zip_t* zip = zip_open(package.c_str(), ZIP_RDONLY, &error);
  if (!zip) return {};
  std::string out;
  if (zip_file_t* f = zip_fopen(zip, name.c_str(), 0)) {
    char buf[4096];
    for (zip_int64_t n; (n = zip_fread(f, buf, sizeof buf)) > 0;)
      out.append(buf, static_cast<std::size_t>(n));
    zip_fclose(f);
  }
  zip_close(zip);
  return out;
}

TEST(Template, EveryRowTheImportReadsHasALabel) {
  for (const HeaderFieldDef& f : HeaderFields()) {
    ASSERT_GE(f.sheet_row, 2) << f.name;
    EXPECT_STRNE(f.label, "") << f.name;
  }
  for (const SubjectFieldDef& f : SubjectFields()) {
    ASSERT_GE(f.sheet_row, 2) << f.name;
    EXPECT_STRNE(f.label, "") << f.name;
  }
  // The follow-up rows of the header, the reply to a call and the part of a period.
  ASSERT_EQ(HeaderFields().size(), 15u);
  EXPECT_STREQ(HeaderFields()[10].label, "Datum zjištění důvodů");
  EXPECT_STREQ(HeaderFields()[11].label, "Č.j. výzvy");
  EXPECT_STREQ(HeaderFields()[12].label, "Odpověď na výzvu (B, P)");
  EXPECT_STREQ(HeaderFields()[13].label, "Období od");
  EXPECT_STREQ(HeaderFields()[14].label, "Období do");
  EXPECT_EQ(SubjectFields().size(), 31u);
}

TEST(Template, ImportsWithoutMissingSheetsOrRowsAndAsksForWhatTheFormNeeds) {
  const test::TempDir tmp("vestrano-template");
  const std::string path = tmp / "prazdny.xlsx";
  cli::WriteTemplate(path);
  const TStatement st = Import(path);
  EXPECT_TRUE(st.warnings.empty()) << st.warnings.front();
  EXPECT_EQ(st.errors, test::MissingFilerErrors());
  for (int section = 1; section <= 8; ++section) {
    EXPECT_EQ(st.stats.At(section, 1), "0") << section;  // Načteno
    EXPECT_EQ(st.stats.At(section, 3), "0") << section;  // Chybné
  }
  EXPECT_TRUE(st.records.a1.empty() && st.records.a2.empty() && st.records.a3.empty() &&
              st.records.a4.empty() && st.records.b1.empty() && st.records.b2.empty());
  EXPECT_FALSE(st.records.a5 || st.records.b3);

  // Labels in column A, formats on column B, headings as the messages name the fields.
  EXPECT_EQ(st.workbook.Sheets.Items(0).Name, "Hlavička");
  EXPECT_EQ(st.workbook.Sheets.Items(0).Rows.Count(), 16);
  EXPECT_EQ(st.workbook.Sheets.Items(0).Rows.Find(12)->Cells.Items(0).AsText(st.workbook),
            "Č.j. výzvy");
  EXPECT_EQ(st.workbook.Sheets.Items(0).Rows.Find(15)->Cells.Items(1).FormatCode(st.workbook),
            "d.m.yyyy");
  const TExportRow& dic = *st.workbook.Sheets.Items(1).Rows.Find(2);
  EXPECT_EQ(dic.Cells.Items(0).AsText(st.workbook), "DIČ");
  EXPECT_EQ(dic.Cells.Items(1).FormatCode(st.workbook), "@");
  const TExportWorkSheet& a2 = st.workbook.Sheets.Items(3);
  ASSERT_EQ(a2.Rows.Count(), 1);
  EXPECT_EQ(a2.Rows.Find(0)->Cells.Items(2).AsText(st.workbook),
            "Identifikace dodavatele (VAT ID)");
  EXPECT_EQ(a2.Rows.Find(0)->Cells.Count(), 11);

  // The suppliers' sections say whose DIČ it is; the messages keep the customer sections' name.
  EXPECT_EQ(st.workbook.Sheets.Items(7).Rows.Find(0)->Cells.Items(1).AsText(st.workbook),
            "DIČ dodavatele");
  EXPECT_EQ(st.workbook.Sheets.Items(8).Rows.Find(0)->Cells.Items(1).AsText(st.workbook),
            "DIČ dodavatele");
  EXPECT_EQ(st.workbook.Sheets.Items(5).Rows.Find(0)->Cells.Items(1).AsText(st.workbook),
            "DIČ odběratele");

  // Drop-down lists offer exactly the codes the import accepts.
  EXPECT_NE(Part(path, "xl/worksheets/sheet3.xml")
                .find("sqref=\"F2:F1048576\"><formula1>\"1,3,4,5,11,12,13,14,15,16,17\""),
            std::string::npos);
  EXPECT_NE(Part(path, "xl/worksheets/sheet2.xml").find("sqref=\"B2\"><formula1>\"P,F\""),
            std::string::npos);
  const std::string a4 = Part(path, "xl/worksheets/sheet6.xml");
  EXPECT_NE(a4.find("sqref=\"K2:K1048576\"><formula1>\"0,1,2\""), std::string::npos) << a4;
  // The column formats of A4: text, date, amount; no prepared data rows.
  EXPECT_NE(a4.find("<col min=\"2\" max=\"2\""), std::string::npos);
  EXPECT_EQ(a4.find("<row r=\"2\""), std::string::npos);
}

// What a user who types the example's values into the blank workbook gets: the example's
// document, and the same messages.
TEST(Template, FilledWithTheExamplesValuesGivesTheExamplesDocument) {
  const test::TempDir tmp("vestrano-template-filled");
  const std::string path = tmp / "vyplneny.xlsx";
  TWorkbook example;
  example.LoadFromFile(Example());
  {
    cli::TemplateWorkbook book(path);
    for (int s = 0; s < example.Sheets.Count(); ++s) {
      const TExportWorkSheet& sheet = example.Sheets.Items(s);
      lxw_worksheet* target = book.Sheet(sheet.Name);
      ASSERT_NE(target, nullptr) << sheet.Name;
      const bool fixed = sheet.Name == "Hlavička" || sheet.Name == "Subjekt";
      for (int r = 1; r < sheet.Rows.Count(); ++r) {  // below the headings
        const TExportRow& row = *sheet.Rows.Find(r);
        for (int c = fixed ? 1 : 0;
             c < (fixed ? std::min(2, row.Cells.Count()) : row.Cells.Count()); ++c) {
          const TExportCell& cell = row.Cells.Items(c);
          const auto rr = static_cast<lxw_row_t>(r);
          const auto cc = static_cast<lxw_col_t>(c);
          lxw_format* format = book.CellFormat(sheet.Name, r, c);
          if (cell.Kind() == CellKind::String) {
            worksheet_write_string(target, rr, cc, cell.AsText(example).c_str(), format);
          } else if (cell.Kind() != CellKind::Empty) {
            worksheet_write_number(target, rr, cc, cell.Value(), format);
          }
        }
      }
    }
    book.Close();
  }
  const TStatement want = Import(Example());
  const TStatement got = Import(path);
  EXPECT_EQ(got.errors, want.errors);
  EXPECT_EQ(got.warnings, want.warnings);
  const std::string doc = BuildDocument(got.Filing());
  EXPECT_EQ(doc, BuildDocument(want.Filing()));
  EXPECT_NE(doc.find("dic_dod=\"00006947\""), std::string::npos);
}

TEST(Template, CommandLineWritesItAndNeverOverwrites) {
  const test::TempDir tmp("vestrano-template-cli");
  auto r = test::RunProgram({test::CliPath(), "--template", "novy-klient.xlsx"}, tmp.path());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Prázdný sešit kontrolního hlášení: " + tmp.path() + "/novy-klient.xlsx\n");
  EXPECT_TRUE(Import(tmp / "novy-klient.xlsx").warnings.empty());

  std::ofstream(tmp / "vyplneny.xlsx") << "data of a client";
  auto again = test::RunProgram({test::CliPath(), "--template", tmp / "vyplneny.xlsx"});
  EXPECT_EQ(again.status, 2);
  EXPECT_NE(again.err.find(tmp / "vyplneny.xlsx"), std::string::npos) << again.err;
  std::ifstream kept(tmp / "vyplneny.xlsx");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "data of a client");

  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--template", "x.xls"}, {"--template", "x.xlsx", "a.xlsx"}}) {
    std::vector<std::string> argv = {test::CliPath()};
    argv.insert(argv.end(), args.begin(), args.end());
    EXPECT_EQ(test::RunProgram(argv, tmp.path()).status, 2) << args[1];
  }
  EXPECT_FALSE(std::filesystem::exists(tmp / "x.xls"));
  EXPECT_FALSE(std::filesystem::exists(tmp / "x.xlsx"));
}

}  // namespace
}  // namespace vestrano
