#include "support/statement_book.h"

#include "cli/template.h"

namespace vestrano::test {

namespace {

class Filler {
 public:
  Filler(cli::TemplateWorkbook& book, const char* sheet)
      : book_(book), name_(sheet), sheet_(book.Sheet(sheet)) {}
  void Text(int row, int col, const std::string& text) {
    worksheet_write_string(sheet_, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(col),
                           text.c_str(), book_.CellFormat(name_, row, col));
  }
  void Number(int row, int col, double value) {
    worksheet_write_number(sheet_, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(col), value,
                           book_.CellFormat(name_, row, col));
  }
  void Date(int row, int col, int year, int month, int day) {
    lxw_datetime d{year, month, day, 0, 0, 0};
    worksheet_write_datetime(sheet_, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(col), &d,
                             book_.CellFormat(name_, row, col));
  }

 private:
  cli::TemplateWorkbook& book_;
  std::string name_;
  lxw_worksheet* sheet_;
};

// A partner's DIČ with a valid check digit, one of 97.
std::string PartnerDic(int n) {
  std::string digits = std::to_string(2559664 + n % 97 * 100);
  int sum = 0;
  for (std::size_t i = 0; i < 7; ++i) sum += (digits[i] - '0') * static_cast<int>(8 - i);
  return digits + static_cast<char>('0' + (11 - sum % 11) % 10);
}

}  // namespace

void WriteStatementWorkbook(const std::string& path, const StatementSpec& s) {
  cli::TemplateWorkbook book(path);
  Filler header(book, "Hlavička");  // column B of sheet rows 2 …: row index = sheet row - 1
  header.Text(1, 1, s.form);
  header.Number(2, 1, s.year);
  if (s.month > 0) {
    header.Number(4, 1, s.month);
  } else {
    header.Number(3, 1, s.quarter);
  }
  // Filed on the 10th of the month after the period.
  const int last_month = s.month > 0 ? s.month : s.quarter * 3;
  header.Date(5, 1, s.year + (last_month == 12 ? 1 : 0), last_month % 12 + 1, 10);

  // A legal entity files for months, so a quarter's statement is a natural person's.
  const bool person = s.month == 0;
  Filler subject(book, "Subjekt");
  subject.Text(1, 1, person ? "F" : "P");
  subject.Text(2, 1, s.dic);
  subject.Text(3, 1, "451");
  if (person) {
    subject.Text(6, 1, "Klientová");
    subject.Text(7, 1, "Jana");
  } else {
    subject.Text(4, 1, "Klient " + s.dic + " s.r.o.");
    subject.Text(22, 1, "Jana");
    subject.Text(23, 1, "Nováková");
    subject.Text(24, 1, "jednatelka");
  }
  subject.Text(8, 1, "Praha");
  subject.Text(9, 1, "Vinohradská");
  subject.Text(10, 1, "12");
  subject.Text(11, 1, "1511");
  subject.Text(12, 1, "12000");
  subject.Text(13, 1, "ČESKÁ REPUBLIKA");
  subject.Text(14, 1, "222123456");
  subject.Text(17, 1, "2001");

  const int month = s.month > 0 ? s.month : s.quarter * 3;
  Filler a4(book, "A4");
  Filler b2(book, "B2");
  const int a4_rows = (s.rows + 1) / 2;
  for (int i = 1; i <= s.rows; ++i) {
    const bool in_a4 = i <= a4_rows;
    const int n = in_a4 ? i : i - a4_rows;
    Filler& f = in_a4 ? a4 : b2;
    const double base = 10000 + (n * 37 % 9000) + (n % 100) / 100.0;
    const double tax = static_cast<long long>(base * 21 + 0.5) / 100.0;
    f.Number(n, 0, n);
    const std::string partner = PartnerDic(n);
    f.Text(n, 1, in_a4 && n == 1 && s.invalid_dic ? "12AB" : partner);
    f.Text(n, 2, (in_a4 ? "FV" : "FP") + std::to_string(s.year) + "-" + std::to_string(n));
    f.Date(n, 3, s.year, month, 1 + n % 28);
    f.Number(n, 4, base);
    f.Number(n, 5, tax);
    f.Text(n, 10, in_a4 ? "0" : "N");
    f.Text(n, 11, "N");
  }
  book.Close();
}

}  // namespace vestrano::test
