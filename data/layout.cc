#include "data/layout.h"

namespace vestrano {

const char* SectionCode(Section s) {
  static const char* const kCodes[kSectionCount] = {"A1", "A2", "A3", "A4", "A5", "B1", "B2", "B3"};
  return kCodes[static_cast<std::size_t>(s)];
}

tDataSheets::tDataSheets() {
  for (std::size_t i = 0; i < kSectionCount; ++i) name[i] = SectionCode(static_cast<Section>(i));
}

tDataOffsets::tDataOffsets() { offset.fill(1); }

namespace {
std::size_t FirstFieldOf(Section s) {
  std::size_t first = 0;
  for (std::size_t i = 0; i < static_cast<std::size_t>(s); ++i) first += kSectionFieldCounts[i];
  return first;
}
}  // namespace

tDataOrder::tDataOrder() {
  std::size_t i = 0;
  for (int count : kSectionFieldCounts)
    for (int k = 1; k <= count; ++k) position[i++] = k;
}

int tDataOrder::Of(Section s, std::size_t k) const { return position[FirstFieldOf(s) + k]; }

namespace {
constexpr const char* kHeaderRowLabels[] = {
    "Druh hlášení (B, O, N, E)",  // 2 khdph_forma
    "Rok",                        // 3 rok
    "Čtvrtletí",                  // 4 ctvrt
    "Měsíc",                      // 5 mesic
    "Datum podání",               // 6 d_poddp
    "Poznámka 1",                 // 7 t_extra1
    "Poznámka 2",                 // 8 t_extra2
    "Datum 1",                    // 9 d_extra1
    "Datum 2",                    // 10 d_extra2
    "Datum 3",                    // 11 d_extra3
    "Datum zjištění důvodů",      // 12 d_zjist
    "Č.j. výzvy",                 // 13 c_jed_vyzvy
};

constexpr const char* kSubjectRowLabels[] = {
    "Typ subjektu (P, F)",          // 2 typ_ds
    "DIČ",                          // 3 dic
    "Kód finančního úřadu",         // 4 c_ufo
    "Obchodní jméno",               // 5 zkrobchjm
    "Titul",                        // 6 titul
    "Příjmení",                     // 7 prijmeni
    "Jméno",                        // 8 jmeno
    "Obec",                         // 9 naz_obce
    "Ulice",                        // 10 ulice
    "Číslo orientační",             // 11 c_orient
    "Číslo popisné",                // 12 c_pop
    "PSČ",                          // 13 psc
    "Stát",                         // 14 stat
    "Telefon",                      // 15 c_telef
    "E-mail",                       // 16 email
    "ID datové schránky",           // 17 id_dats
    "Kód územního pracoviště",      // 18 c_pracufo
    "Typ zástupce",                 // 19 zast_typ
    "Kód zástupce",                 // 20 zast_kod
    "Název zástupce",               // 21 zast_nazev
    "IČ zástupce",                  // 22 zast_ic
    "Oprávněná osoba - jméno",      // 23 opr_jmeno
    "Oprávněná osoba - příjmení",   // 24 opr_prijmeni
    "Oprávněná osoba - postavení",  // 25 opr_postaveni
    "Zástupce - jméno",             // 26 zast_jmeno
    "Zástupce - příjmení",          // 27 zast_prijmeni
    "Zástupce - datum narození",    // 28 zast_dat_nar
    "Zástupce - evidenční číslo",   // 29 zast_ev_cislo
    "Sestavil - jméno",             // 30 sest_jmeno
    "Sestavil - příjmení",          // 31 sest_prijmeni
    "Sestavil - telefon",           // 32 sest_telef
};
}  // namespace

std::span<const char* const> HeaderRowLabels() { return kHeaderRowLabels; }
std::span<const char* const> SubjectRowLabels() { return kSubjectRowLabels; }

}  // namespace vestrano
