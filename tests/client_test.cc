// The client line: who a statement is for, as its header and subject sheets state it.
#include "import/client.h"

#include <gtest/gtest.h>

namespace vestrano {
namespace {

// The header's form, year, quarter and month and the subject's type, DIČ, trade name, first name
// and surname, as a workbook states them.
struct Stated {
  const char *form, *year, *quarter, *month, *type, *dic, *trade, *first, *last;
};
TClient ClientOf(const Stated& s) {
  tDataHeader header;
  header.khdph_forma = s.form;
  header.rok = s.year;
  header.ctvrt = s.quarter;
  header.mesic = s.month;
  tSubject subject;
  subject.typ_ds = s.type;
  subject.dic = s.dic;
  subject.zkrobchjm = s.trade;
  subject.jmeno = s.first;
  subject.prijmeni = s.last;
  return ClientOf(header, subject);
}

TEST(ClientLine, NamesTheClientThePeriodAndTheFormType) {
  const struct {
    const char* what;
    Stated stated;
    const char* line;
  } cases[] = {
      {"a legal entity for a month",
       {"B", "2026", "", "11", "P", "27082440", "Alfa stavby s.r.o.", "", ""},
       "Alfa stavby s.r.o. · DIČ 27082440 · 11/2026 · řádné"},
      {"a natural person for a quarter",
       {"O", "2026", "3", "", "F", "7001011234", "", "Jan", "Novák"},
       "Jan Novák · DIČ 7001011234 · 3. čtvrtletí 2026 · řádné/opravné"},
      {"a natural person's trade name is not their name",
       {"N", "2026", "", "2", "F", "7001011234", "Truhlářství", "Jan", "Novák"},
       "Jan Novák · DIČ 7001011234 · 2/2026 · následné"},
      {"a natural person known only by a trade name",
       {"E", "2025", "", "12", "F", "7001011234", "Truhlářství", "", ""},
       "Truhlářství · DIČ 7001011234 · 12/2025 · následné/opravné"},
      {"the month wins over the quarter, as in the filing",
       {"B", "2026", "4", "11", "P", "1", "A", "", ""},
       "A · DIČ 1 · 11/2026 · řádné"},
      {"the year alone; a code that is none of the four",
       {"X", "2026", "", "", "", "", "", "Eva", ""},
       "Eva · 2026 · X"},
      {"blanks around the texts",
       {" B ", " 2026", "", "11 ", " P", " 27082440 ", "  Alfa  ", "", ""},
       "Alfa · DIČ 27082440 · 11/2026 · řádné"},
      {"nothing stated", {"", "", "", "", "", "", "", "", ""}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ClientLine(ClientOf(c.stated)), c.line);
  }
}

TEST(ClientLine, KeepsWhatWasReadForOtherReports) {
  const TClient c = ClientOf(Stated{"B", "2026", "3", "11", "P", "27082440", "A", "", ""});
  EXPECT_EQ(c.name, "A");
  EXPECT_EQ(c.dic, "27082440");
  EXPECT_EQ(c.year, "2026");
  EXPECT_EQ(c.month, "11");
  EXPECT_EQ(c.quarter, "3");
  EXPECT_EQ(c.form, "B");
  EXPECT_EQ(c.period, "11/2026");
  EXPECT_EQ(c.form_words, "řádné");
}

// A workbook's texts are not to be trusted: the line stays one line of valid UTF-8.
TEST(ClientLine, IsOneLineOfValidText) {
  const TClient c =
      ClientOf(Stated{"B", "2026", "", "11", "P", "1", "Alfa\r\nBeta\t\x01 \xff s.r.o.", "", ""});
  EXPECT_EQ(ClientLine(c), "Alfa  Beta   \xEF\xBF\xBD s.r.o. · DIČ 1 · 11/2026 · řádné");
}

}  // namespace
}  // namespace vestrano
