#include "import/across_rows.h"

#include <algorithm>
#include <array>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "data/date_text.h"
#include "data/field_rules.h"
#include "import/header_subject.h"

namespace vestrano {

namespace {

// The order of the rules within one row.
enum RuleOrder { kOwnDic, kRepeated, kBefore2016, kThirdRate, kSmallDocument, kCountryCz };

struct Finding {
  int section;
  int row;
  int rule;
  bool error;
  std::string text;
  TMessagePlace place;
};

template <class R>
const FieldDef<R>& Field(std::string R::*member) {
  return Fields<R>()[FieldIndex(Fields<R>(), member)];
}

// Collects the findings of every rule, to be put into the lists in section and row order.
class Findings {
 public:
  // text + " v ř.č.N v sekci X" + tail
  template <class R>
  void Add(Section s, const R& row, RuleOrder rule, bool error, std::string_view text,
           std::string R::*member, std::string_view tail = {}) {
    std::string m(text);
    m += " v ř.č." + std::to_string(row.sheet_row) + " v sekci " + SectionCode(s);
    m += tail;
    all_.push_back({static_cast<int>(s),
                    row.sheet_row,
                    rule,
                    error,
                    std::move(m),
                    {SheetSlotOf(s), row.sheet_row, member ? Field<R>(member).name : nullptr}});
  }
  void PutInto(TStatement& st) {
    std::stable_sort(all_.begin(), all_.end(), [](const Finding& a, const Finding& b) {
      if (a.section != b.section) return a.section < b.section;
      if (a.row != b.row) return a.row < b.row;
      return a.rule < b.rule;
    });
    for (Finding& f : all_) {
      if (f.error)
        st.AddError(std::move(f.text), f.place);
      else
        st.AddWarning(std::move(f.text), f.place);
    }
  }

 private:
  std::vector<Finding> all_;
};

// What rows are compared by: texts seen in place in the records (a number may be long; nothing
// is copied) and a day. Texts are compared as the form compares them: a DIČ without "CZ", a date
// as the day it stands for; a value the import refused as read.
struct RowKey {
  std::array<std::string_view, 3> texts{};
  long day = 0;  // yyyymmdd of a date that is one; 0 otherwise
  bool operator==(const RowKey&) const = default;
};
std::size_t Hash(const RowKey& k) {
  std::size_t h = std::hash<long>{}(k.day);
  for (std::string_view t : k.texts) h = h * 1099511628211u ^ std::hash<std::string_view>{}(t);
  return h;
}

// For each row, the first row (in row order) with an equal key: itself when it is the first of
// its kind; kNone for a row left out. Sorting by hash keeps this fast for 100,000s of rows, and
// rows of one kind are compared with that kind's first row only.
constexpr std::size_t kNone = static_cast<std::size_t>(-1);
std::vector<std::size_t> FirstOfItsKind(const std::vector<RowKey>& keys,
                                        const std::vector<bool>& left_out) {
  std::vector<std::pair<std::size_t, std::size_t>> order;  // hash, row
  order.reserve(keys.size());
  for (std::size_t i = 0; i < keys.size(); ++i)
    if (!left_out[i]) order.emplace_back(Hash(keys[i]), i);
  std::sort(order.begin(), order.end());
  std::vector<std::size_t> first(keys.size(), kNone);
  std::vector<std::size_t> kinds;  // the first rows of the kinds seen under one hash
  for (std::size_t a = 0; a < order.size();) {
    std::size_t b = a;
    kinds.clear();
    for (; b < order.size() && order[b].first == order[a].first; ++b) {
      const std::size_t i = order[b].second;
      auto kind = std::find_if(kinds.begin(), kinds.end(),
                               [&](std::size_t k) { return keys[k] == keys[i]; });
      if (kind == kinds.end()) kind = kinds.insert(kinds.end(), i);
      first[i] = *kind;
    }
    a = b;
  }
  return first;
}

template <class R>
std::vector<RowKey> KeysOf(const std::vector<R>& rows, const std::function<RowKey(const R&)>& key) {
  std::vector<RowKey> keys;
  keys.reserve(rows.size());
  for (const R& row : rows) keys.push_back(key(row));
  return keys;
}

std::string_view Dic(const std::string& dic) {
  const std::string_view digits = DicDigits(dic);
  return digits.empty() ? std::string_view(dic) : digits;
}
// A date that is one as its day, and its text then left out of the key; any other as read.
RowKey WithDay(RowKey key, std::size_t slot, const std::string& date) {
  if (const auto d = DateOf(date))
    key.day = d->year * 10000L + d->month * 100 + d->day;
  else
    key.texts[slot] = date;
  return key;
}

// The value of an amount the import accepted; 0 for an empty or refused one.
long double AmountOr0(const std::string& text) {
  if (text.empty()) return 0;
  return AcceptedAmountValue(text).value_or(0.0L);
}

template <class R>
void OwnDic(Findings& out, Section s, const std::vector<R>& rows, std::string R::*dic,
            const std::string& own) {
  if (own.empty()) return;
  for (const R& row : rows)
    if (DicDigits(row.*dic) == own)
      out.Add(s, row, kOwnDic, true, "Vlastní DIČ v údaji " + std::string(Field<R>(dic).label),
              dic);
}

// A document number is repeated when an earlier row has the same values in one of the key sets
// (number and the fields that the form names); the later row is reported with the first such
// earlier row.
template <class R>
void Repeated(Findings& out, Section s, const std::vector<R>& rows,
              const std::vector<std::function<RowKey(const R&)>>& keys,
              const std::function<bool(const R&)>& exempt) {
  std::vector<bool> left_out(rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) left_out[i] = exempt(rows[i]);
  std::vector<std::vector<std::size_t>> first;
  for (const auto& key : keys) first.push_back(FirstOfItsKind(KeysOf(rows, key), left_out));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    std::size_t earlier = kNone;
    for (const auto& f : first)
      if (f[i] != kNone && f[i] != i) earlier = std::min(earlier, f[i]);
    if (earlier != kNone)
      out.Add(s, rows[i], kRepeated, true, "Duplicitní Ev. číslo daňového dokladu", &R::c_evid_dd,
              " (shodné s ř.č." + std::to_string(rows[earlier].sheet_row) + ")");
  }
}

template <class R>
void Before2016(Findings& out, Section s, const std::vector<R>& rows) {
  for (const R& row : rows)
    if (const auto date = DateOf(row.duzp); date && *date < TCivilDate{2016, 1, 1})
      out.Add(s, row, kBefore2016, true, "DUZP před 1.1.2016", &R::duzp);
}

// The second reduced rate ended with 2023; an amount at it after that is a slip of column.
constexpr TCivilDate kLastDayOfThirdRate{2023, 12, 31};

template <class R>
bool HasThirdRate(const R& row) {
  return AmountOr0(row.zakl_dane3) != 0 || AmountOr0(row.dan3) != 0;
}

template <class R>
void ThirdRate(Findings& out, Section s, const std::vector<R>& rows, std::string R::*date) {
  for (const R& row : rows) {
    if (!HasThirdRate(row)) continue;  // first: most rows have none
    const auto day = DateOf(row.*date);
    if (day && *day > kLastDayOfThirdRate)
      out.Add(s, row, kThirdRate, false, "Základ daně 3 nebo Daň 3 po 31.12.2023", &R::zakl_dane3);
  }
}

template <class R>
void ThirdRateInAggregate(Findings& out, Section s, const std::optional<R>& aggregate,
                          const std::optional<TPeriod>& period) {
  if (aggregate && period && period->first > kLastDayOfThirdRate && HasThirdRate(*aggregate))
    out.Add(s, *aggregate, kThirdRate, false, "Základ daně 3 nebo Daň 3 po 31.12.2023",
            &R::zakl_dane3);
}

// A document of at most 10,000 CZK with tax belongs to the aggregate (A.5, B.3) unless it
// corrects a bad debt; its rows are those of one number (of one supplier in B.2).
template <class R>
void SmallDocuments(Findings& out, Section s, const std::vector<R>& rows,
                    const std::function<RowKey(const R&)>& document,
                    const std::function<bool(const R&)>& may_be_aggregated, const char* tail) {
  // Each document is kept at its first row.
  const std::vector<std::size_t> first =
      FirstOfItsKind(KeysOf(rows, document), std::vector<bool>(rows.size()));
  std::vector<long double> total(rows.size());
  std::vector<bool> aggregable(rows.size(), true);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const R& row = rows[i];
    const std::size_t d = first[i];
    for (auto m : {&R::zakl_dane1, &R::dan1, &R::zakl_dane2, &R::dan2, &R::zakl_dane3, &R::dan3})
      total[d] += AmountOr0(row.*m);
    const std::string& z = row.zdph_44;
    aggregable[d] = aggregable[d] && may_be_aggregated(row) && (z.empty() || z == "N" || z == "n");
  }
  for (std::size_t i = 0; i < rows.size(); ++i)
    if (first[i] == i && aggregable[i] && total[i] > 0 && total[i] <= 10000)
      out.Add(s, rows[i], kSmallDocument, false, "Doklad do 10 000 Kč včetně daně", &R::c_evid_dd,
              tail);
}

}  // namespace

void JudgeAcrossRows(TStatement& st) {
  const TStatementRecords& r = st.records;
  const std::string own = NormalizeDIC(st.subject.dic);
  // A VAT group's members may repeat numbers; the group files with its own DIČ (699…).
  const bool filer_is_group = IsVatGroup(own);
  const auto period = PeriodOf(st.header);
  Findings out;

  OwnDic(out, Section::A1, r.a1, &tDataA1::dic_odb, own);
  Repeated<tDataA1>(out, Section::A1, r.a1, {[](const tDataA1& x) {
                      return RowKey{{x.c_evid_dd, x.kod_pred_pl}};
                    }},
                    [&](const tDataA1&) { return filer_is_group; });
  Before2016(out, Section::A1, r.a1);

  ThirdRate(out, Section::A2, r.a2, &tDataA2::dppd);
  for (const tDataA2& row : r.a2)
    if (NormalizeCountryCode(row.k_stat) == "CZ")
      out.Add(Section::A2, row, kCountryCz, false, "Kód státu CZ", &tDataA2::k_stat);

  OwnDic(out, Section::A4, r.a4, &tDataA4::dic_odb, own);
  Repeated<tDataA4>(out, Section::A4, r.a4,
                    {[](const tDataA4& x) {
                       return RowKey{{x.c_evid_dd, x.kod_rezim_pl}};
                     },
                     [](const tDataA4& x) { return WithDay({{x.c_evid_dd}}, 1, x.dppd); }},
                    [&](const tDataA4&) { return filer_is_group; });
  ThirdRate(out, Section::A4, r.a4, &tDataA4::dppd);
  SmallDocuments<tDataA4>(
      out, Section::A4, r.a4, [](const tDataA4& x) { return RowKey{{x.c_evid_dd}}; },
      [](const tDataA4& x) { return x.kod_rezim_pl.empty() || x.kod_rezim_pl == "0"; },
      " (patří do A5)");
  ThirdRateInAggregate(out, Section::A5, r.a5, period);

  OwnDic(out, Section::B1, r.b1, &tDataB1::dic_dod, own);
  Repeated<tDataB1>(out, Section::B1, r.b1, {[](const tDataB1& x) {
                      return RowKey{{Dic(x.dic_dod), x.c_evid_dd, x.kod_pred_pl}};
                    }},
                    [](const tDataB1& x) { return IsVatGroup(NormalizeDIC(x.dic_dod)); });
  Before2016(out, Section::B1, r.b1);
  ThirdRate(out, Section::B1, r.b1, &tDataB1::duzp);

  OwnDic(out, Section::B2, r.b2, &tDataB2::dic_dod, own);
  Repeated<tDataB2>(out, Section::B2, r.b2,
                    {[](const tDataB2& x) {
                       return WithDay({{Dic(x.dic_dod), x.c_evid_dd}}, 2, x.dppd);
                     },
                     [](const tDataB2& x) {
                       return RowKey{{Dic(x.dic_dod), x.c_evid_dd, x.pomer}};
                     }},
                    [](const tDataB2& x) { return IsVatGroup(NormalizeDIC(x.dic_dod)); });
  ThirdRate(out, Section::B2, r.b2, &tDataB2::dppd);
  SmallDocuments<tDataB2>(
      out, Section::B2, r.b2,
      [](const tDataB2& x) {
        return RowKey{{Dic(x.dic_dod), x.c_evid_dd}};
      },
      [](const tDataB2&) { return true; }, " (patří do B3)");
  ThirdRateInAggregate(out, Section::B3, r.b3, period);
  out.PutInto(st);

  // A quick reply to a call confirms the last statement or says there is none: it has no rows.
  if (IsCallReplyValid(st.header.vyzva_odp)) {
    const bool has_rows[kSectionCount] = {!r.a1.empty(), !r.a2.empty(),    !r.a3.empty(),
                                          !r.a4.empty(), r.a5.has_value(), !r.b1.empty(),
                                          !r.b2.empty(), r.b3.has_value()};
    for (std::size_t i = 0; i < kSectionCount; ++i) {
      const auto s = static_cast<Section>(i);
      if (has_rows[i])
        st.AddError(std::string("Odpověď na výzvu nesmí mít řádky v sekci ") + SectionCode(s),
                    {SheetSlotOf(s), 0, nullptr});
    }
  }
}

}  // namespace vestrano
