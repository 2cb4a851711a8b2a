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

const HeaderFieldDef kHeader[] = {
    {"khdph_forma", &tDataHeader::khdph_forma, 2, HeaderFieldDef::Unchanged, 0},
    {"rok", &tDataHeader::rok, 3, HeaderFieldDef::FirstChars, 4},
    {"ctvrt", &tDataHeader::ctvrt, 4, HeaderFieldDef::FirstChars, 1},
    {"mesic", &tDataHeader::mesic, 5, HeaderFieldDef::FirstChars, 2},
    {"d_poddp", &tDataHeader::d_poddp, 6, HeaderFieldDef::Date, 0},
    {"d_extra1", &tDataHeader::d_extra1, 9, HeaderFieldDef::Date, 0},
    {"d_extra2", &tDataHeader::d_extra2, 10, HeaderFieldDef::Date, 0},
    {"d_extra3", &tDataHeader::d_extra3, 11, HeaderFieldDef::Date, 0},
    {"t_extra1", &tDataHeader::t_extra1, 7, HeaderFieldDef::Unchanged, 0},
    {"t_extra2", &tDataHeader::t_extra2, 8, HeaderFieldDef::Unchanged, 0},
    {"d_zjist", &tDataHeader::d_zjist, 12, HeaderFieldDef::Date, 0},
    {"c_jed_vyzvy", &tDataHeader::c_jed_vyzvy, 13, HeaderFieldDef::Unchanged, 0},
};

// Record order; the sheet rows of titul/prijmeni/jmeno and c_telef/email/id_dats run the other way.
const SubjectFieldDef kSubject[] = {
    {"typ_ds", &tSubject::typ_ds, 2, 1},
    {"dic", &tSubject::dic, 3, 0},
    {"c_ufo", &tSubject::c_ufo, 4, 0},
    {"zkrobchjm", &tSubject::zkrobchjm, 5, 0},
    {"jmeno", &tSubject::jmeno, 8, 0},
    {"prijmeni", &tSubject::prijmeni, 7, 0},
    {"titul", &tSubject::titul, 6, 0},
    {"naz_obce", &tSubject::naz_obce, 9, 0},
    {"ulice", &tSubject::ulice, 10, 0},
    {"c_orient", &tSubject::c_orient, 11, 0},
    {"c_pop", &tSubject::c_pop, 12, 0},
    {"psc", &tSubject::psc, 13, 0},
    {"stat", &tSubject::stat, 14, 0},
    {"id_dats", &tSubject::id_dats, 17, 0},
    {"email", &tSubject::email, 16, 0},
    {"c_telef", &tSubject::c_telef, 15, 0},
    {"c_pracufo", &tSubject::c_pracufo, 18, 0},
    {"zast_typ", &tSubject::zast_typ, 19, 0},
    {"zast_kod", &tSubject::zast_kod, 20, 0},
    {"zast_nazev", &tSubject::zast_nazev, 21, 0},
    {"zast_ic", &tSubject::zast_ic, 22, 0},
    {"opr_jmeno", &tSubject::opr_jmeno, 23, 0},
    {"opr_prijmeni", &tSubject::opr_prijmeni, 24, 0},
    {"opr_postaveni", &tSubject::opr_postaveni, 25, 0},
    {"zast_jmeno", &tSubject::zast_jmeno, 26, 0},
    {"zast_prijmeni", &tSubject::zast_prijmeni, 27, 0},
    {"zast_dat_nar", &tSubject::zast_dat_nar, 28, 0},
    {"zast_ev_cislo", &tSubject::zast_ev_cislo, 29, 0},
    {"sest_jmeno", &tSubject::sest_jmeno, 30, 0},
    {"sest_prijmeni", &tSubject::sest_prijmeni, 31, 0},
    {"sest_telef", &tSubject::sest_telef, 32, 0},
};

const FieldDef<tDataA1> kA1[] = {
    {"c_radku", "", &tDataA1::c_radku, K::LineNo, S::None},
    {"dic_odb", "DIČ odběratele", &tDataA1::dic_odb, K::Text, S::None},
    {"c_evid_dd", kDoc, &tDataA1::c_evid_dd, K::Text, S::None},
    {"duzp", "DUZP", &tDataA1::duzp, K::Date, S::None},
    {"zakl_dane1", "Základ daně", &tDataA1::zakl_dane1, K::Amount, S::A1_zakl_dane1},
    {"kod_pred_pl", "Kód předmětu plnění", &tDataA1::kod_pred_pl, K::Text, S::None},
};

const FieldDef<tDataA2> kA2[] = {
    {"c_radku", "", &tDataA2::c_radku, K::LineNo, S::None},
    {"k_stat", "Kód státu", &tDataA2::k_stat, K::Text, S::None},
    {"vatid_dod", "Identifikace dodavatele (VAT ID)", &tDataA2::vatid_dod, K::Text, S::None},
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
    {"k_stat", "Kód státu", &tDataA3::k_stat, K::Text, S::None},
    {"vatid_odb", "Identifikace odběratele (DIČ/VAT ID)", &tDataA3::vatid_odb, K::Text, S::None},
    {"jm_prijm_obch", "Odb. bez DIČ/VAT ID - Jméno", &tDataA3::jm_prijm_obch, K::Text, S::None},
    {"d_narozeni", "Odb. bez DIČ/VAT ID - Datum nar.", &tDataA3::d_narozeni, K::Date, S::None},
    {"m_pobytu_sidlo", "Odb. bez DIČ/VAT ID - Místo pobytu/sídlo", &tDataA3::m_pobytu_sidlo,
     K::Text, S::None},
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
    {"dic_odb", "DIČ odběratele", &tDataA4::dic_odb, K::Text, S::None},
    {"c_evid_dd", kDoc, &tDataA4::c_evid_dd, K::Text, S::None},
    {"dppd", "DPPD", &tDataA4::dppd, K::Date, S::None},
    VESTRANO_SIX_AMOUNTS(tDataA4, A4),
    {"kod_rezim_pl", "Kód režimu plnění", &tDataA4::kod_rezim_pl, K::Text, S::None},
    {"zdph_44", "§ 44 ZDPH", &tDataA4::zdph_44, K::Text, S::None},
};

const FieldDef<tDataA5> kA5[] = {VESTRANO_SIX_AMOUNTS(tDataA5, A5)};

const FieldDef<tDataB1> kB1[] = {
    {"c_radku", "", &tDataB1::c_radku, K::LineNo, S::None},
    // The supplier's DIČ is named as in the customer sections; the messages say so.
    {"dic_dod", "DIČ odběratele", &tDataB1::dic_dod, K::Text, S::None},
    {"c_evid_dd", kDoc, &tDataB1::c_evid_dd, K::Text, S::None},
    {"duzp", "DUZP", &tDataB1::duzp, K::Date, S::None},
    VESTRANO_SIX_AMOUNTS(tDataB1, B1),
    {"kod_pred_pl", "Kód předmětu plnění", &tDataB1::kod_pred_pl, K::Text, S::None},
};

const FieldDef<tDataB2> kB2[] = {
    {"c_radku", "", &tDataB2::c_radku, K::LineNo, S::None},
    {"dic_dod", "DIČ odběratele", &tDataB2::dic_dod, K::Text, S::None},
    {"c_evid_dd", kDoc, &tDataB2::c_evid_dd, K::Text, S::None},
    {"dppd", "DPPD", &tDataB2::dppd, K::Date, S::None},
    VESTRANO_SIX_AMOUNTS(tDataB2, B2),
    {"pomer", "Použitý poměr", &tDataB2::pomer, K::Text, S::None},
    {"zdph_44", "§ 44 ZDPH", &tDataB2::zdph_44, K::Text, S::None},
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
