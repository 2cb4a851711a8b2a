#include "data/records.h"

namespace vestrano {

void tDataHeader::ClearTexts() {
  const bool keep = take_last_row;
  *this = tDataHeader{};
  take_last_row = keep;
}

void TStatementRecords::ClearRowArrays() {
  a1.clear();
  a2.clear();
  a3.clear();
  a4.clear();
  b1.clear();
  b2.clear();
}

namespace {
using K = FieldKind;
using S = TotalSlot;

constexpr const char* kDoc = "Ev. číslo daňového dokladu";
using R = SheetRule;

// clang-format off
// The header: record order. Rows 7 to 11 are the user's own notes and dates, never filed.
const HeaderFieldDef kHeader[] = {
    {"khdph_forma", &tDataHeader::khdph_forma, 2, R::FormType, true, 0, "Druh hlášení (B, O, N, E)"},
    {"rok", &tDataHeader::rok, 3, R::Year, true, 0, "Rok"},
    {"ctvrt", &tDataHeader::ctvrt, 4, R::Quarter, false, 0, "Čtvrtletí"},
    {"mesic", &tDataHeader::mesic, 5, R::Month, false, 0, "Měsíc"},
    {"d_poddp", &tDataHeader::d_poddp, 6, R::Date, false, 0, "Datum podání"},
    {"d_extra1", &tDataHeader::d_extra1, 9, R::Date, false, 0, "Datum 1", false},
    {"d_extra2", &tDataHeader::d_extra2, 10, R::Date, false, 0, "Datum 2", false},
    {"d_extra3", &tDataHeader::d_extra3, 11, R::Date, false, 0, "Datum 3", false},
    {"t_extra1", &tDataHeader::t_extra1, 7, R::None, false, 0, "Poznámka 1", false},
    {"t_extra2", &tDataHeader::t_extra2, 8, R::None, false, 0, "Poznámka 2", false},
    {"d_zjist", &tDataHeader::d_zjist, 12, R::Date, false, 0, "Datum zjištění důvodů"},
    {"c_jed_vyzvy", &tDataHeader::c_jed_vyzvy, 13, R::CallReference, false, 32, "Č.j. výzvy"},
    {"vyzva_odp", &tDataHeader::vyzva_odp, 14, R::CallReply, false, 0, "Odpověď na výzvu (B, P)"},
    {"zdobd_od", &tDataHeader::zdobd_od, 15, R::Date, false, 0, "Období od"},
    {"zdobd_do", &tDataHeader::zdobd_do, 16, R::Date, false, 0, "Období do"},
};

// Record order; the sheet rows of titul/prijmeni/jmeno and c_telef/email/id_dats run the other
// way. The lengths are the form's.
const SubjectFieldDef kSubject[] = {
    {"typ_ds", &tSubject::typ_ds, 2, R::SubjectType, true, 0, "Typ subjektu (P, F)"},
    {"dic", &tSubject::dic, 3, R::Dic, true, 0, "DIČ"},
    {"c_ufo", &tSubject::c_ufo, 4, R::TaxOffice, true, 0, "Kód finančního úřadu"},
    {"zkrobchjm", &tSubject::zkrobchjm, 5, R::None, false, 255, "Obchodní jméno"},
    {"jmeno", &tSubject::jmeno, 8, R::None, false, 30, "Jméno"},
    {"prijmeni", &tSubject::prijmeni, 7, R::None, false, 36, "Příjmení"},
    {"titul", &tSubject::titul, 6, R::None, false, 10, "Titul"},
    {"naz_obce", &tSubject::naz_obce, 9, R::None, false, 48, "Obec"},
    {"ulice", &tSubject::ulice, 10, R::None, false, 38, "Ulice"},
    {"c_orient", &tSubject::c_orient, 11, R::None, false, 4, "Číslo orientační"},
    {"c_pop", &tSubject::c_pop, 12, R::Digits, false, 6, "Číslo popisné"},
    {"psc", &tSubject::psc, 13, R::Psc, false, 10, "PSČ"},
    {"stat", &tSubject::stat, 14, R::None, false, 25, "Stát"},
    // The form dropped the data box ID; it is still read from the sheet, never written.
    {"id_dats", &tSubject::id_dats, 17, R::None, false, 0, "ID datové schránky", false},
    {"email", &tSubject::email, 16, R::None, false, 255, "E-mail"},
    {"c_telef", &tSubject::c_telef, 15, R::None, false, 14, "Telefon"},
    {"c_pracufo", &tSubject::c_pracufo, 18, R::Digits, false, 4, "Kód územního pracoviště"},
    {"zast_typ", &tSubject::zast_typ, 19, R::SubjectType, false, 0, "Typ zástupce"},
    {"zast_kod", &tSubject::zast_kod, 20, R::RepresentativeCode, false, 0, "Kód zástupce"},
    {"zast_nazev", &tSubject::zast_nazev, 21, R::None, false, 255, "Název zástupce"},
    {"zast_ic", &tSubject::zast_ic, 22, R::Digits, false, 10, "IČ zástupce"},
    {"opr_jmeno", &tSubject::opr_jmeno, 23, R::None, false, 20, "Oprávněná osoba - jméno"},
    {"opr_prijmeni", &tSubject::opr_prijmeni, 24, R::None, false, 36, "Oprávněná osoba - příjmení"},
    {"opr_postaveni", &tSubject::opr_postaveni, 25, R::None, false, 40, "Oprávněná osoba - postavení"},
    {"zast_jmeno", &tSubject::zast_jmeno, 26, R::None, false, 20, "Zástupce - jméno"},
    {"zast_prijmeni", &tSubject::zast_prijmeni, 27, R::None, false, 36, "Zástupce - příjmení"},
    {"zast_dat_nar", &tSubject::zast_dat_nar, 28, R::Date, false, 0, "Zástupce - datum narození"},
    {"zast_ev_cislo", &tSubject::zast_ev_cislo, 29, R::None, false, 36, "Zástupce - evidenční číslo"},
    {"sest_jmeno", &tSubject::sest_jmeno, 30, R::None, false, 20, "Sestavil - jméno"},
    {"sest_prijmeni", &tSubject::sest_prijmeni, 31, R::None, false, 36, "Sestavil - příjmení"},
    {"sest_telef", &tSubject::sest_telef, 32, R::None, false, 14, "Sestavil - telefon"},
};
// clang-format on

const FieldDef<tDataA1> kA1[] = {
    {"c_radku", "", &tDataA1::c_radku, K::LineNo, S::None},
    {"dic_odb", "DIČ odběratele", &tDataA1::dic_odb, K::Dic, S::None},
    {"c_evid_dd", kDoc, &tDataA1::c_evid_dd, K::Text, S::None},
    {"duzp", "DUZP", &tDataA1::duzp, K::Date, S::None},
    {"zakl_dane1", "Základ daně", &tDataA1::zakl_dane1, K::Amount, S::A1_zakl_dane1},
    {"kod_pred_pl", "Kód předmětu plnění", &tDataA1::kod_pred_pl, K::Text, S::None},
};

const FieldDef<tDataA2> kA2[] = {
    {"c_radku", "", &tDataA2::c_radku, K::LineNo, S::None},
    {"k_stat", "Kód státu", &tDataA2::k_stat, K::CountryCode, S::None},
    {"vatid_dod", "Identifikace dodavatele (VAT ID)", &tDataA2::vatid_dod, K::VatId, S::None},
    {"c_evid_dd", kDoc, &tDataA2::c_evid_dd, K::Text, S::None},
    {"dppd", "DPPD", &tDataA2::dppd, K::Date, S::None},
    {"zakl_dane1", "Základ daně 1", &tDataA2::zakl_dane1, K::Amount, S::A2_zakl_dane1},
    {"dan1", "Daň 1", &tDataA2::dan1, K::Amount, S::A2_dan1},
    {"zakl_dane2", "Základ daně 2", &tDataA2::zakl_dane2, K::Amount, S::A2_zakl_dane2},
    {"dan2", "Daň 2", &tDataA2::dan2, K::Amount, S::A2_dan2},
    {"zakl_dane3", "Základ daně 3", &tDataA2::zakl_dane3, K::Amount, S::A2_zakl_dane3},
    {"dan3", "Daň 3", &tDataA2::dan3, K::Amount, S::A2_dan3},
};

const FieldDef<tDataA3> kA3[] = {
    {"c_radku", "", &tDataA3::c_radku, K::LineNo, S::None},
    {"k_stat", "Kód státu", &tDataA3::k_stat, K::CountryCode, S::None},
    {"vatid_odb", "Identifikace odběratele (DIČ/VAT ID)", &tDataA3::vatid_odb, K::VatId, S::None},
    {"jm_prijm_obch", "Odb. bez DIČ/VAT ID - Jméno", &tDataA3::jm_prijm_obch, K::Text, S::None, 57},
    {"d_narozeni", "Odb. bez DIČ/VAT ID - Datum nar.", &tDataA3::d_narozeni, K::Date, S::None},
    {"m_pobytu_sidlo", "Odb. bez DIČ/VAT ID - Místo pobytu/sídlo", &tDataA3::m_pobytu_sidlo,
     K::Text, S::None, 100},
    {"c_evid_dd", kDoc, &tDataA3::c_evid_dd, K::Text, S::None},
    {"dup", "DUP", &tDataA3::dup, K::Date, S::None},
    {"osv_plneni", "Hodnota osv.plnění", &tDataA3::osv_plneni, K::Amount, S::A3_osv_plneni},
};

// clang-format off
#define VESTRANO_SIX_AMOUNTS(R, P)                                                     \
  {"zakl_dane1", "Základ daně 1", &R::zakl_dane1, K::Amount, S::P##_zakl_dane1},       \
      {"dan1", "Daň 1", &R::dan1, K::Amount, S::P##_dan1},                             \
      {"zakl_dane2", "Základ daně 2", &R::zakl_dane2, K::Amount, S::P##_zakl_dane2},   \
      {"dan2", "Daň 2", &R::dan2, K::Amount, S::P##_dan2},                             \
      {"zakl_dane3", "Základ daně 3", &R::zakl_dane3, K::Amount, S::P##_zakl_dane3},   \
      {"dan3", "Daň 3", &R::dan3, K::Amount, S::P##_dan3}
// clang-format on

const FieldDef<tDataA4> kA4[] = {
    {"c_radku", "", &tDataA4::c_radku, K::LineNo, S::None},
    {"dic_odb", "DIČ odběratele", &tDataA4::dic_odb, K::Dic, S::None},
    {"c_evid_dd", kDoc, &tDataA4::c_evid_dd, K::Text, S::None},
    {"dppd", "DPPD", &tDataA4::dppd, K::Date, S::None},
    VESTRANO_SIX_AMOUNTS(tDataA4, A4),
    {"kod_rezim_pl", "Kód režimu plnění", &tDataA4::kod_rezim_pl, K::Text, S::None},
    {"zdph_44", "§ 44 ZDPH", &tDataA4::zdph_44, K::Code, S::None},
};

const FieldDef<tDataA5> kA5[] = {VESTRANO_SIX_AMOUNTS(tDataA5, A5)};

const FieldDef<tDataB1> kB1[] = {
    {"c_radku", "", &tDataB1::c_radku, K::LineNo, S::None},
    // The supplier's DIČ: the messages name it as in the customer sections, the blank
    // workbook's heading says whose it is.
    {"dic_dod", "DIČ odběratele", &tDataB1::dic_dod, K::Dic, S::None, 0, "DIČ dodavatele"},
    {"c_evid_dd", kDoc, &tDataB1::c_evid_dd, K::Text, S::None},
    {"duzp", "DUZP", &tDataB1::duzp, K::Date, S::None},
    VESTRANO_SIX_AMOUNTS(tDataB1, B1),
    {"kod_pred_pl", "Kód předmětu plnění", &tDataB1::kod_pred_pl, K::Text, S::None},
};

const FieldDef<tDataB2> kB2[] = {
    {"c_radku", "", &tDataB2::c_radku, K::LineNo, S::None},
    {"dic_dod", "DIČ odběratele", &tDataB2::dic_dod, K::Dic, S::None, 0, "DIČ dodavatele"},
    {"c_evid_dd", kDoc, &tDataB2::c_evid_dd, K::Text, S::None},
    {"dppd", "DPPD", &tDataB2::dppd, K::Date, S::None},
    VESTRANO_SIX_AMOUNTS(tDataB2, B2),
    {"pomer", "Použitý poměr", &tDataB2::pomer, K::Text, S::None},
    {"zdph_44", "§ 44 ZDPH", &tDataB2::zdph_44, K::Code, S::None},
};

const FieldDef<tDataB3> kB3[] = {VESTRANO_SIX_AMOUNTS(tDataB3, B3)};
#undef VESTRANO_SIX_AMOUNTS
}  // namespace

std::span<const HeaderFieldDef> HeaderFields() { return kHeader; }
std::span<const SubjectFieldDef> SubjectFields() { return kSubject; }
// clang-format off
template <> std::span<const FieldDef<tDataA1>> Fields<tDataA1>() { return kA1; }
template <> std::span<const FieldDef<tDataA2>> Fields<tDataA2>() { return kA2; }
template <> std::span<const FieldDef<tDataA3>> Fields<tDataA3>() { return kA3; }
template <> std::span<const FieldDef<tDataA4>> Fields<tDataA4>() { return kA4; }
template <> std::span<const FieldDef<tDataA5>> Fields<tDataA5>() { return kA5; }
template <> std::span<const FieldDef<tDataB1>> Fields<tDataB1>() { return kB1; }
template <> std::span<const FieldDef<tDataB2>> Fields<tDataB2>() { return kB2; }
template <> std::span<const FieldDef<tDataB3>> Fields<tDataB3>() { return kB3; }
// clang-format on

}  // namespace vestrano
