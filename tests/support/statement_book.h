#pragma once
// Statement workbooks for tests and benchmarks: the blank workbook of the command line, filled
// as a user would fill it (values typed into the formatted cells).
#include <string>

namespace vestrano::test {

struct StatementSpec {
  std::string dic = "27082440";
  int year = 2026;
  int month = 11;  // 0: the quarter instead
  int quarter = 4;
  std::string form = "B";
  int rows = 4;              // data rows, half in A4 and half in B2
  bool invalid_dic = false;  // the first A4 row carries a DIČ the import refuses
};

// Writes a statement whose document the form's schema accepts (unless invalid_dic).
void WriteStatementWorkbook(const std::string& path, const StatementSpec& spec = {});

}  // namespace vestrano::test
