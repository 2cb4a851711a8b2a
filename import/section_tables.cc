#include "import/section_tables.h"

#include <array>
#include <stdexcept>
#include <string_view>
#include <utility>

namespace vestrano {

namespace {

// The tables name fields by member pointer, so a misspelt field does not compile; they are
// resolved once into field indices.
template <class R>
using Member = std::string R::*;

template <class R>
struct CheckDef {
  CheckDef(CheckKind k, Rule r, Member<R> f, std::vector<Member<R>> c = {})
      : kind(k), rule(r), field(f), companions(std::move(c)) {}
  CheckKind kind;
  Rule rule;
  Member<R> field;
  std::vector<Member<R>> companions;
};

template <class R>
struct SumDef {
  Member<R> field;
  std::string subtotal_key;
};

template <class R>
struct SectionDef {
  Section section;
  Member<R> key;
  std::vector<Member<R>> required;
  const char* skip_suffix;
  std::vector<CheckDef<R>> checks;
  std::vector<SumDef<R>> sums;
};

template <class R>
SectionTable Resolve(const SectionDef<R>& def) {
  const auto fields = Fields<R>();
  if (fields.size() > kMaxSectionFields) throw std::logic_error("record too wide for the frame");
  SectionTable t;
  t.section = def.section;
  t.record_fields = fields.data();
  for (const FieldDef<R>& f : fields)
    t.fields.push_back({f.name, f.label, f.kind, f.slot, f.max_length, f.heading});
  if (def.key) t.key = FieldIndex(fields, def.key);
  for (std::size_t k = 0; k < fields.size(); ++k)
    if (fields[k].kind == FieldKind::CountryCode) t.country = k;
  for (Member<R> m : def.required) t.required.push_back(FieldIndex(fields, m));
  t.skip_suffix = def.skip_suffix;
  for (const CheckDef<R>& c : def.checks) {
    FieldCheck check{c.kind, c.rule, FieldIndex(fields, c.field), {}};
    for (Member<R> m : c.companions) check.companions.push_back(FieldIndex(fields, m));
    t.checks.push_back(std::move(check));
  }
  for (const SumDef<R>& s : def.sums) {
    const TotalSlot slot = fields[FieldIndex(fields, s.field)].slot;
    if (slot == TotalSlot::None) throw std::logic_error("summed field without a totals slot");
    t.sums.push_back({slot, s.subtotal_key});
  }
  return t;
}

template <class R>
constexpr std::array<Member<R>, 6> kSixAmounts = {&R::zakl_dane1, &R::dan1,       &R::zakl_dane2,
                                                  &R::dan2,       &R::zakl_dane3, &R::dan3};

// The amount test on the six amounts, then the negative test on them, both in field order.
template <class R>
std::vector<CheckDef<R>> WithSixAmountTests(std::vector<CheckDef<R>> checks) {
  for (Member<R> m : kSixAmounts<R>) checks.push_back({CheckKind::IfFilled, Rule::Amount, m});
  for (Member<R> m : kSixAmounts<R>) checks.push_back({CheckKind::Negative, Rule::None, m});
  return checks;
}

// The six sums with their subtotal lines, keyed "A2-Základ daně 1", "A2-Daň 1", …
template <class R>
std::vector<SumDef<R>> SixSums(Section s) {
  std::vector<SumDef<R>> sums;
  for (Member<R> m : kSixAmounts<R>)
    sums.push_back(
        {m, std::string(SectionCode(s)) + "-" + Fields<R>()[FieldIndex(Fields<R>(), m)].label});
  return sums;
}

using K = CheckKind;
using U = Rule;

SectionTable A1() {
  using R = tDataA1;
  return Resolve<R>({
      .section = Section::A1,
      .key = &R::c_evid_dd,
      .required = {&R::c_evid_dd, &R::zakl_dane1},
      .skip_suffix = " v sekci A1 (chybí Ev.č.d.d.)",
      .checks = {{K::Judged, U::DocNumber, &R::c_evid_dd},
                 {K::EmptyWarns, U::Date, &R::duzp},
                 {K::EmptyWarns, U::Amount, &R::zakl_dane1},
                 {K::EmptyWarns, U::DIC, &R::dic_odb},
                 {K::EmptyWarns, U::SupplyCode, &R::kod_pred_pl},
                 {K::Negative, U::None, &R::zakl_dane1}},
      .sums = {{&R::zakl_dane1, "A1-Základ daně"}},
  });
}

SectionTable A2() {
  using R = tDataA2;
  return Resolve<R>({
      .section = Section::A2,
      .key = &R::dppd,
      .required = {&R::dppd},
      .skip_suffix = " v sekci A2 (chybí DPPD)",
      .checks = WithSixAmountTests<R>({{K::Judged, U::Date, &R::dppd},
                                       {K::EmptyWarns, U::VatId, &R::vatid_dod},
                                       {K::EmptyWarns, U::CountryCode, &R::k_stat},
                                       {K::EmptyWarns, U::DocNumber, &R::c_evid_dd}}),
      .sums = SixSums<R>(Section::A2),
  });
}

SectionTable A3() {
  using R = tDataA3;
  return Resolve<R>({
      .section = Section::A3,
      .key = &R::c_evid_dd,
      .required = {&R::c_evid_dd, &R::dup, &R::osv_plneni},
      .skip_suffix = " v sekci A3 (chybí Ev. číslo daňového dokladu)",
      .checks =
          {{K::Judged, U::Date, &R::dup},
           {K::IfFilled, U::Amount, &R::osv_plneni},
           {K::EmptyWarns, U::CountryCode, &R::k_stat},
           // Identification or a customer without one: warned only when all four are empty.
           {K::EmptyWarns,
            U::VatId,
            &R::vatid_odb,
            {&R::jm_prijm_obch, &R::d_narozeni, &R::m_pobytu_sidlo}},
           // A customer without identification needs all three of name, birth date and place.
           {K::EmptyInGroup, U::None, &R::jm_prijm_obch, {&R::d_narozeni, &R::m_pobytu_sidlo}},
           {K::EmptyInGroup, U::None, &R::d_narozeni, {&R::jm_prijm_obch, &R::m_pobytu_sidlo}},
           {K::EmptyInGroup, U::None, &R::m_pobytu_sidlo, {&R::jm_prijm_obch, &R::d_narozeni}},
           {K::IfFilled, U::Length, &R::jm_prijm_obch},
           {K::IfFilled, U::Date, &R::d_narozeni},
           {K::IfFilled, U::Length, &R::m_pobytu_sidlo},
           {K::Judged, U::DocNumber, &R::c_evid_dd},
           {K::Negative, U::None, &R::osv_plneni}},
      .sums = {{&R::osv_plneni, "A3-Hodnota osv. plnění"}},
  });
}

SectionTable A4() {
  using R = tDataA4;
  return Resolve<R>({
      .section = Section::A4,
      .key = &R::c_evid_dd,
      .required = {&R::dppd, &R::c_evid_dd, &R::dic_odb, &R::kod_rezim_pl, &R::zdph_44},
      .skip_suffix = " v sekci A4 (chybí Ev. číslo d.d.)",
      .checks = WithSixAmountTests<R>({{K::Judged, U::Date, &R::dppd},
                                       {K::Judged, U::DocNumber, &R::c_evid_dd},
                                       {K::Judged, U::DIC, &R::dic_odb},
                                       {K::Judged, U::RegimeCode, &R::kod_rezim_pl},
                                       {K::Judged, U::YesNo, &R::zdph_44}}),
      .sums = SixSums<R>(Section::A4),
  });
}

SectionTable B1() {
  using R = tDataB1;
  return Resolve<R>({
      .section = Section::B1,
      .key = &R::c_evid_dd,
      .required = {&R::duzp, &R::c_evid_dd, &R::dic_dod},
      .skip_suffix = " v sekci B1 (chybí Ev. číslo d.d.)",
      .checks = WithSixAmountTests<R>({{K::Judged, U::Date, &R::duzp},
                                       {K::Judged, U::DocNumber, &R::c_evid_dd},
                                       {K::Judged, U::DIC, &R::dic_dod},
                                       {K::Judged, U::SupplyCode, &R::kod_pred_pl}}),
      .sums = SixSums<R>(Section::B1),
  });
}

SectionTable B2() {
  using R = tDataB2;
  return Resolve<R>({
      .section = Section::B2,
      .key = &R::c_evid_dd,
      .required = {&R::dppd, &R::c_evid_dd, &R::dic_dod, &R::pomer, &R::zdph_44},
      .skip_suffix = " v sekci B2 (chybí Ev. číslo d.d.)",
      .checks = WithSixAmountTests<R>({{K::Judged, U::Date, &R::dppd},
                                       {K::Judged, U::DocNumber, &R::c_evid_dd},
                                       {K::Judged, U::DIC, &R::dic_dod},
                                       {K::Judged, U::RatioFlag, &R::pomer},
                                       {K::Judged, U::YesNo, &R::zdph_44}}),
      .sums = SixSums<R>(Section::B2),
  });
}

// A.5 and B.3: one aggregate row of six amounts.
template <class R>
SectionTable Aggregate(Section s) {
  return Resolve<R>({.section = s,
                     .key = nullptr,
                     .required = {},
                     .skip_suffix = "",
                     .checks = WithSixAmountTests<R>({}),
                     .sums = SixSums<R>(s)});
}

}  // namespace

const SectionTable& SectionTableOf(Section s) {
  static const std::array<SectionTable, kSectionCount> tables = {A1(),
                                                                 A2(),
                                                                 A3(),
                                                                 A4(),
                                                                 Aggregate<tDataA5>(Section::A5),
                                                                 B1(),
                                                                 B2(),
                                                                 Aggregate<tDataB3>(Section::B3)};
  return tables[static_cast<std::size_t>(s)];
}

}  // namespace vestrano
