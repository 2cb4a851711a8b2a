#include "import/statement.h"

#include <stdexcept>

#include "data/section_c.h"

namespace vestrano {

namespace {
// clang-format off
const char* const kSubtotalKeys[] = {
    "A1-Základ daně",
    "A2-Základ daně 1", "A2-Daň 1", "A2-Základ daně 2", "A2-Daň 2", "A2-Základ daně 3", "A2-Daň 3",
    "A3-Hodnota osv. plnění",
    "A4-Základ daně 1", "A4-Daň 1", "A4-Základ daně 2", "A4-Daň 2", "A4-Základ daně 3", "A4-Daň 3",
    "A5-Základ daně 1", "A5-Daň 1", "A5-Základ daně 2", "A5-Daň 2", "A5-Základ daně 3", "A5-Daň 3",
    "B1-Základ daně 1", "B1-Daň 1", "B1-Základ daně 2", "B1-Daň 2", "B1-Základ daně 3", "B1-Daň 3",
    "B2-Základ daně 1", "B2-Daň 1", "B2-Základ daně 2", "B2-Daň 2", "B2-Základ daně 3", "B2-Daň 3",
    "B3-Základ daně 1", "B3-Daň 1", "B3-Základ daně 2", "B3-Daň 2", "B3-Základ daně 3", "B3-Daň 3",
};
// clang-format on
static_assert(sizeof(kSubtotalKeys) / sizeof(kSubtotalKeys[0]) == 38);
}  // namespace

TStatsGrid::TStatsGrid() {
  static const char* const kRows[5] = {"Řádky/oddíl", "Načteno", "Vynecháno", "Chybné", "CELKEM"};
  for (int r = 0; r < 5; ++r) cell[0][r] = kRows[r];
  for (int c = 1; c <= 8; ++c) cell[c][0] = SectionCode(static_cast<Section>(c - 1));
}

TSubtotalsList::TSubtotalsList() {
  lines.reserve(46);
  for (const char* key : kSubtotalKeys) lines.emplace_back(key, "0");
  for (const SectionCLine* line : SectionCLinesListed()) lines.emplace_back(line->key, "0");
}

void TSubtotalsList::Set(const std::string& key, std::string value) {
  for (auto& line : lines) {
    if (line.first == key) {
      line.second = std::move(value);
      return;
    }
  }
  throw std::logic_error("unknown subtotal key " + key);
}

const std::string& TSubtotalsList::Get(const std::string& key) const {
  for (const auto& line : lines)
    if (line.first == key) return line.second;
  throw std::logic_error("unknown subtotal key " + key);
}

TStatement::TStatement() = default;

void TStatement::AddError(std::string text, TMessagePlace place) {
  errors.push_back(std::move(text));
  error_places.push_back(place);
}

void TStatement::AddWarning(std::string text, TMessagePlace place) {
  warnings.push_back(std::move(text));
  warning_places.push_back(place);
}

const std::string& TStatement::SheetName(SheetSlot s) const {
  static const std::string kHeader = "Hlavička", kSubject = "Subjekt";
  if (s == SheetSlot::Header) return kHeader;
  if (s == SheetSlot::Subject) return kSubject;
  return sheets.Of(static_cast<Section>(static_cast<int>(s) - 2));
}

}  // namespace vestrano
