#pragma once
// Whose statement it is, as its header and subject sheets state it: the one check an accountant
// makes before filing. Plain data for every front end, and one way to write it as a line.
#include <string>

#include "data/records.h"

namespace vestrano {

struct TClient {
  // The trade name (zkrobchjm); for a natural person (typ_ds "F") the first name and surname,
  // and either one where the other is empty.
  std::string name;
  std::string dic;                   // as read
  std::string year, month, quarter;  // rok, mesic, ctvrt as read
  std::string form;                  // khdph_forma as read
  // "11/2026" for a month, "3. čtvrtletí 2026" for a quarter (the month wins when both are
  // filled, as in the filing); the year alone without either; empty without all three.
  std::string period;
  // The form type in words: "řádné" (B), "řádné/opravné" (O), "následné" (N),
  // "následné/opravné" (E); the code itself for any other code; empty when none is stated.
  std::string form_words;
};

TClient ClientOf(const tDataHeader& header, const tSubject& subject);

// "Name · DIČ 12345678 · 11/2026 · řádné": the parts that are not empty, in that order; one line
// of valid UTF-8 (control characters such as line breaks become blanks). Empty when all are empty.
std::string ClientLine(const TClient& client);

}  // namespace vestrano
