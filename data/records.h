#pragma once
// The records that hold one imported control statement, and one field table per record type.
// Field names are the XML attribute names; the import, the subtotals and the XML writer all read
// the same tables, so a field is described exactly once.
#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace vestrano {

// How a field's text is judged and written.
enum class FieldKind {
  Text,         // any text
  LineNo,       // c_radku: stored through NormalizeAmount
  Date,         // date text as read; normalised when written
  Amount,       // amount text as read; summed into a totals slot
  Dic,          // a Czech DIČ as read; written without its "CZ"
  CountryCode,  // k_stat as read; written in capitals
  VatId,        // as read; written without the country code that k_stat carries
  Code,         // a code as read; an accepted one written in capitals
};

// The 38 running sums, in the order of tDataTotals.
// clang-format off
enum class TotalSlot : int {
  None = -1,
  A1_zakl_dane1 = 0,
  A2_zakl_dane1, A2_dan1, A2_zakl_dane2, A2_dan2, A2_zakl_dane3, A2_dan3,
  A3_osv_plneni,
  A4_zakl_dane1, A4_dan1, A4_zakl_dane2, A4_dan2, A4_zakl_dane3, A4_dan3,
  A5_zakl_dane1, A5_dan1, A5_zakl_dane2, A5_dan2, A5_zakl_dane3, A5_dan3,
  B1_zakl_dane1, B1_dan1, B1_zakl_dane2, B1_dan2, B1_zakl_dane3, B1_dan3,
  B2_zakl_dane1, B2_dan1, B2_zakl_dane2, B2_dan2, B2_zakl_dane3, B2_dan3,
  B3_zakl_dane1, B3_dan1, B3_zakl_dane2, B3_dan2, B3_zakl_dane3, B3_dan3,
  Count
};
// clang-format on
inline constexpr std::size_t kTotalSlots = static_cast<std::size_t>(TotalSlot::Count);
static_assert(kTotalSlots == 38);

// The column sums of the last import, one double per amount column. (The section readers sum in
// extended precision and round into these slots when a section is finished.)
struct tDataTotals {
  std::array<double, kTotalSlots> slot{};
  double& operator[](TotalSlot s) { return slot[static_cast<std::size_t>(s)]; }
  double operator[](TotalSlot s) const { return slot[static_cast<std::size_t>(s)]; }
  void Clear() { slot.fill(0.0); }
};

// One field of a record type: where it lives, what the XML calls it, how messages name it.
template <class R>
struct FieldDef {
  const char* name;   // XML attribute and record field name
  const char* label;  // word used in the import's messages; "" when none
  std::string R::*member;
  FieldKind kind;
  TotalSlot slot;                 // the running sum this amount feeds, None otherwise
  std::size_t max_length = 0;     // the form's limit in characters; 0: none, or its rule's own
  const char* heading = nullptr;  // column heading of a blank workbook when not the label
};

struct tDataHeader {
  std::string khdph_forma;
  // The whole cell texts: a value the import refuses is written as the workbook holds it, so
  // that the document says what the error list says.
  std::string rok;
  std::string ctvrt;
  std::string mesic;
  std::string d_poddp;
  std::string d_extra1;
  std::string d_extra2;
  std::string d_extra3;
  std::string t_extra1;
  std::string t_extra2;
  std::string d_zjist;      // follow-up statements: the day their reasons were found
  std::string c_jed_vyzvy;  // follow-up statements: the reference of the tax office's call
  std::string vyzva_odp;    // the quick reply to a call: B (nothing to file) or P (confirmed)
  std::string zdobd_od;     // part of the period (natural persons): from
  std::string zdobd_do;     // to
  bool take_last_row = true;
  void ClearTexts();  // all texts empty, take_last_row kept
};

// clang-format off
struct tSubject {
  std::string typ_ds;
  std::string dic, c_ufo, zkrobchjm, jmeno, prijmeni, titul, naz_obce, ulice, c_orient, c_pop,
      psc, stat, id_dats, email, c_telef, c_pracufo, zast_typ, zast_kod, zast_nazev, zast_ic,
      opr_jmeno, opr_prijmeni, opr_postaveni, zast_jmeno, zast_prijmeni, zast_dat_nar,
      zast_ev_cislo, sest_jmeno, sest_prijmeni, sest_telef;
};
// clang-format on

// How a value of the header or subject sheet is judged; the import judges the whole cell text.
enum class SheetRule {
  None,
  FormType,            // B, O, N, E
  Year,                // four digits, 1900–2999
  Quarter,             // 1–4
  Month,               // 1–12
  Date,                // a date; the header keeps it as "dd.mm.yyyy"
  CallReference,       // 99999999/99/9999-99999-999999 as a rule, other forms warned about
  CallReply,           // B, P
  SubjectType,         // P, F
  Dic,                 // a Czech DIČ; "CZ" dropped when written
  TaxOffice,           // a tax office of the form's list
  Digits,              // 1 to max_length digits
  Psc,                 // a Czech address's PSČ is 5 digits, written without blanks
  RepresentativeCode,  // a code the form lists for the representative's type
};

// A field of a fixed-layout sheet: column B of one row.
template <class R>
struct SheetFieldDef {
  const char* name;  // XML attribute and record field name
  std::string R::*member;
  int sheet_row;  // 1-based
  SheetRule rule;
  bool required;           // the form needs it whatever else the sheet holds
  std::size_t max_length;  // the form's limit in characters; 0: none, or its rule's own
  const char* label;       // column A of a blank workbook's row, and the name messages give
  bool written = true;     // goes into the filing document
};
using HeaderFieldDef = SheetFieldDef<tDataHeader>;
using SubjectFieldDef = SheetFieldDef<tSubject>;
std::span<const HeaderFieldDef> HeaderFields();    // record order
std::span<const SubjectFieldDef> SubjectFields();  // record order

// Each section record keeps sheet_row, the spreadsheet row (1-based) it was read from (0 when it
// was not read from a sheet), so that what the schema check says of its XML line names that row.
struct tDataA1 {
  std::string c_radku, dic_odb, c_evid_dd, duzp, zakl_dane1, kod_pred_pl;
  int sheet_row = 0;
};
struct tDataA2 {
  std::string c_radku, k_stat, vatid_dod, c_evid_dd, dppd, zakl_dane1, dan1, zakl_dane2, dan2,
      zakl_dane3, dan3;
  int sheet_row = 0;
};
struct tDataA3 {
  std::string c_radku, k_stat, vatid_odb, jm_prijm_obch, d_narozeni, m_pobytu_sidlo, c_evid_dd, dup,
      osv_plneni;
  int sheet_row = 0;
};
struct tDataA4 {
  std::string c_radku, dic_odb, c_evid_dd, dppd, zakl_dane1, dan1, zakl_dane2, dan2, zakl_dane3,
      dan3, kod_rezim_pl, zdph_44;
  int sheet_row = 0;
};
struct tDataA5 {
  std::string zakl_dane1, dan1, zakl_dane2, dan2, zakl_dane3, dan3;
  int sheet_row = 0;
};
struct tDataB1 {
  std::string c_radku, dic_dod, c_evid_dd, duzp, zakl_dane1, dan1, zakl_dane2, dan2, zakl_dane3,
      dan3, kod_pred_pl;
  int sheet_row = 0;
};
struct tDataB2 {
  std::string c_radku, dic_dod, c_evid_dd, dppd, zakl_dane1, dan1, zakl_dane2, dan2, zakl_dane3,
      dan3, pomer, zdph_44;
  int sheet_row = 0;
};
struct tDataB3 {
  std::string zakl_dane1, dan1, zakl_dane2, dan2, zakl_dane3, dan3;
  int sheet_row = 0;
};

// Field tables in record order (which is also the default column order).
template <class R>
std::span<const FieldDef<R>> Fields();
// clang-format off
template <> std::span<const FieldDef<tDataA1>> Fields<tDataA1>();
template <> std::span<const FieldDef<tDataA2>> Fields<tDataA2>();
template <> std::span<const FieldDef<tDataA3>> Fields<tDataA3>();
template <> std::span<const FieldDef<tDataA4>> Fields<tDataA4>();
template <> std::span<const FieldDef<tDataA5>> Fields<tDataA5>();
template <> std::span<const FieldDef<tDataB1>> Fields<tDataB1>();
template <> std::span<const FieldDef<tDataB2>> Fields<tDataB2>();
template <> std::span<const FieldDef<tDataB3>> Fields<tDataB3>();
// clang-format on

// The position in a field table (of a record or of a fixed-layout sheet) of the field that lives
// in member. Every table names each of its record's members once; asking for another is a fault
// of the program.
template <class Def, class R>
std::size_t FieldIndex(std::span<const Def> table, std::string R::*member) {
  for (std::size_t k = 0; k < table.size(); ++k)
    if (table[k].member == member) return k;
  throw std::logic_error("a field table lacks the field asked for");
}

// The six row arrays and the two single records of one statement.
struct TStatementRecords {
  std::vector<tDataA1> a1;
  std::vector<tDataA2> a2;
  std::vector<tDataA3> a3;
  std::vector<tDataA4> a4;
  std::optional<tDataA5> a5;
  std::vector<tDataB1> b1;
  std::vector<tDataB2> b2;
  std::optional<tDataB3> b3;
  void ClearRowArrays();
};

// What the filing document is written from: a read-only view of one imported statement.
struct TFilingData {
  const tDataHeader& header;
  const tSubject& subject;
  const TStatementRecords& records;
  const tDataTotals& totals;
  bool a5_sheet_found = false;  // the A.5 sheet was found in the last import
  bool b3_sheet_found = false;
};

}  // namespace vestrano
