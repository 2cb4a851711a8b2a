#include "import/header_subject.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "data/date_text.h"
#include "data/field_rules.h"
#include "data/text.h"

namespace vestrano {

namespace {

// One fixed-layout sheet as the judge sees it: the whole text of each field's cell (table
// order) and whether that cell held a number.
struct SheetTexts {
  std::vector<std::string> text;
  std::vector<bool> number;
};

const TExportCell* ColumnB(const TExportWorkSheet* sheet, int sheet_row) {
  if (sheet == nullptr) return nullptr;
  // A row cut short after column A, or one past the sheet's last row, is an empty value: it
  // reads as "" and the sheet is not grown.
  const TExportRow* row = sheet->Rows.Find(sheet_row - 1);
  if (row == nullptr || row->Cells.Count() <= 1) return nullptr;
  return &row->Cells.Items(1);
}

// The sheet of a slot when the lookup found it; nullptr otherwise.
const TExportWorkSheet* FoundSheet(const TStatement& st, SheetSlot slot) {
  const std::optional<int> index = st.SheetIndex(slot);
  return index ? &st.workbook.Sheets.Items(*index) : nullptr;
}

template <class R>
SheetTexts ReadTexts(const TStatement& st, SheetSlot slot,
                     std::span<const SheetFieldDef<R>> fields) {
  const TExportWorkSheet* sheet = FoundSheet(st, slot);
  SheetTexts out;
  for (const SheetFieldDef<R>& f : fields) {
    const TExportCell* cell = ColumnB(sheet, f.sheet_row);
    // A date cell gives its day whatever time it shows.
    out.text.push_back(!cell                       ? std::string()
                       : f.rule == SheetRule::Date ? cell->DayText(st.workbook)
                                                   : cell->AsText(st.workbook));
    out.number.push_back(cell && IsNumberKind(cell->Kind()));
  }
  return out;
}

std::string RowRef(int row) { return " (ř.č." + std::to_string(row) + ")"; }

// Messages of one fixed-layout sheet, each naming the row by its label and number.
template <class R>
class SheetJudge {
 public:
  SheetJudge(TStatement& st, SheetSlot slot, std::span<const SheetFieldDef<R>> fields,
             const SheetTexts& texts)
      : st_(st),
        slot_(slot),
        fields_(fields),
        texts_(texts),
        suffix_(" na listu " + st.SheetName(slot)) {}

  const SheetFieldDef<R>& Def(std::string R::*member) const { return fields_[Index(member)]; }
  const std::string& Text(std::string R::*member) const { return texts_.text[Index(member)]; }
  bool Filled(std::string R::*member) const { return !Text(member).empty(); }
  // "Měsíc (ř.č.5)"
  std::string Ref(std::string R::*member) const {
    const SheetFieldDef<R>& f = Def(member);
    return f.label + RowRef(f.sheet_row);
  }
  TMessagePlace Place(std::string R::*member) const {
    const SheetFieldDef<R>& f = Def(member);
    return {slot_, f.sheet_row, f.name};
  }

  void Error(std::string_view text, std::string R::*member) {
    st_.AddError(std::string(text) + suffix_, Place(member));
  }
  void Warning(std::string_view text, std::string R::*member) {
    st_.AddWarning(std::string(text) + suffix_, Place(member));
  }
  void Missing(std::string R::*member) { Error("Chybí " + Ref(member), member); }
  void Invalid(std::string R::*member, std::string_view reason = {}) {
    st_.AddError("Neplatný údaj " + Ref(member) + suffix_ +
                     (reason.empty() ? std::string() : ": " + std::string(reason)),
                 Place(member));
  }

  // The fields in sheet-row order, for messages in the order a user reads the sheet.
  std::vector<const SheetFieldDef<R>*> InRowOrder() const {
    std::vector<const SheetFieldDef<R>*> out;
    for (const SheetFieldDef<R>& f : fields_) out.push_back(&f);
    std::stable_sort(out.begin(), out.end(),
                     [](auto* a, auto* b) { return a->sheet_row < b->sheet_row; });
    return out;
  }
  const std::string& TextOf(const SheetFieldDef<R>& f) const {
    return texts_.text[static_cast<std::size_t>(&f - fields_.data())];
  }
  bool NumberCell(const SheetFieldDef<R>& f) const {
    return texts_.number[static_cast<std::size_t>(&f - fields_.data())];
  }

 private:
  std::size_t Index(std::string R::*member) const { return FieldIndex(fields_, member); }

  TStatement& st_;
  SheetSlot slot_;
  std::span<const SheetFieldDef<R>> fields_;
  const SheetTexts& texts_;
  std::string suffix_;
};

// Whether a filled value of a field passes its rule; stat is the subject's country, zast_typ
// its representative's type (the rules that need them).
bool Passes(SheetRule rule, const std::string& text, std::size_t max_length,
            const std::string& stat, const std::string& zast_typ) {
  switch (rule) {
    case SheetRule::None:
    case SheetRule::CallReference:  // its form is only warned about
      break;
    case SheetRule::FormType:
      return IsFormTypeValid(text);
    case SheetRule::Year:
      return IsYearValid(text);
    case SheetRule::Quarter:
      return IsQuarterValid(text);
    case SheetRule::Month:
      return IsMonthValid(text);
    case SheetRule::Date:
      return !NormalizeDate(text).empty();
    case SheetRule::CallReply:
      return IsCallReplyValid(text);
    case SheetRule::SubjectType:
      return IsSubjectTypeValid(text);
    case SheetRule::Dic:
      return !NormalizeDIC(text).empty();
    case SheetRule::TaxOffice:
      return IsTaxOfficeValid(text);
    case SheetRule::Digits:
      return IsDigits(text, max_length);
    case SheetRule::Psc: {
      const auto psc = NormalizePsc(text, stat);
      return psc && CharLength(*psc) <= max_length;
    }
    case SheetRule::RepresentativeCode:
      // Without a valid type (reported on its own row) either type's list will do.
      if (IsSubjectTypeValid(zast_typ)) return IsRepresentativeCodeValid(text, zast_typ);
      return IsRepresentativeCodeValid(text, "F") || IsRepresentativeCodeValid(text, "P");
  }
  return max_length == 0 || CharLength(text) <= max_length;
}

// The value a header field keeps: a date the form takes as "dd.mm.yyyy"; a date that is not
// one stays as read when the document carries it (so the document shows it) and is dropped
// when it does not; everything else as read.
std::string HeaderValue(const HeaderFieldDef& f, const std::string& text) {
  if (f.rule != SheetRule::Date) return text;
  std::string date = NormalizeDate(text);
  return date.empty() && f.written ? text : date;
}

void JudgeHeader(TStatement& st, SheetJudge<tDataHeader>& j) {
  using H = tDataHeader;
  const tDataHeader& h = st.header;
  // A follow-up statement must say when its reasons were found or which call it answers; the
  // schema cannot say "one of the two".
  if ((h.khdph_forma == "N" || h.khdph_forma == "E") && h.d_zjist.empty() && h.c_jed_vyzvy.empty())
    j.Error("Chybí datum zjištění" + RowRef(j.Def(&H::d_zjist).sheet_row) + " nebo č.j. výzvy" +
                RowRef(j.Def(&H::c_jed_vyzvy).sheet_row),
            &H::d_zjist);
  const bool reply = IsCallReplyValid(h.vyzva_odp);
  for (const HeaderFieldDef* f : j.InRowOrder()) {
    if (!f->written) continue;  // the user's own notes
    const std::string& text = j.TextOf(*f);
    if (text.empty()) {
      if (f->required || (f->member == &H::c_jed_vyzvy && reply)) j.Missing(f->member);
    } else if (!Passes(f->rule, text, f->max_length, {}, {})) {
      j.Invalid(f->member);
    } else if (f->rule == SheetRule::CallReference && !IsUsualCallReference(text)) {
      j.Warning("Neobvyklý tvar údaje " + j.Ref(f->member), f->member);
    }
    if (f->member == &H::ctvrt && !j.Filled(&H::mesic) && !j.Filled(&H::ctvrt))
      j.Error("Chybí " + j.Ref(&H::mesic) + " nebo " + j.Ref(&H::ctvrt), &H::mesic);
    if (f->member == &H::d_poddp) {
      // A statement is filed after its period has begun; a period still ahead is a slip.
      const auto period = PeriodOf(h);
      const auto filed = text.empty() ? std::optional<TCivilDate>(Today()) : DateOf(text);
      if (period && filed && period->first > *filed)
        j.Warning("Období začíná po datu podání" + RowRef(f->sheet_row), f->member);
    }
  }
}

void JudgeSubject(SheetJudge<tSubject>& j) {
  using S = tSubject;
  const std::string& type = j.Text(&S::typ_ds);
  const std::string& zast_typ = j.Text(&S::zast_typ);
  // Rows 23 to 25, the persons who sign for a legal entity, belong to the filer as much as to a
  // representative, so only the representative's own rows call for its type.
  bool representative = false;
  for (auto m : {&S::zast_kod, &S::zast_nazev, &S::zast_ic, &S::zast_jmeno, &S::zast_prijmeni,
                 &S::zast_dat_nar, &S::zast_ev_cislo})
    representative = representative || j.Filled(m);
  const bool legal_signer = type == "P" || zast_typ == "P";

  for (const SubjectFieldDef* f : j.InRowOrder()) {
    if (!f->written) continue;
    const auto m = f->member;
    const std::string& text = j.TextOf(*f);
    if (text.empty()) {
      if (f->required || (m == &S::zkrobchjm && type == "P") ||
          ((m == &S::jmeno || m == &S::prijmeni) && type == "F") ||
          (m == &S::zast_typ && representative) ||
          ((m == &S::zast_nazev || m == &S::zast_ic) && zast_typ == "P") ||
          ((m == &S::zast_jmeno || m == &S::zast_prijmeni) && zast_typ == "F")) {
        j.Missing(m);
      } else if (m == &S::zast_dat_nar && zast_typ == "F" && !j.Filled(&S::zast_ev_cislo)) {
        j.Error("Chybí " + j.Ref(&S::zast_dat_nar) + " nebo " + j.Ref(&S::zast_ev_cislo), m);
      } else if ((m == &S::opr_jmeno || m == &S::opr_prijmeni || m == &S::opr_postaveni) &&
                 legal_signer) {
        j.Warning("Chybí " + j.Ref(m), m);
      }
      continue;
    }
    if (f->rule == SheetRule::Dic && j.NumberCell(*f)) {
      j.Invalid(m, "DIČ zadané jako číslo ztrácí úvodní nuly, zadejte je jako text");
    } else if (!Passes(f->rule, text, f->max_length, j.Text(&S::stat), zast_typ)) {
      j.Invalid(m);
    } else if (f->rule == SheetRule::Dic) {
      if (HasCountryPrefix(text)) j.Warning("Kód státu vynechán z údaje " + j.Ref(m), m);
      if (!HasValidCheckDigit(NormalizeDIC(text)))
        j.Warning("Neplatný kontrolní součet " + j.Ref(m), m);
    }
  }
}

// The rules that need both sheets.
void JudgeHeaderWithSubject(const TStatement& st, SheetJudge<tDataHeader>& j) {
  using H = tDataHeader;
  const tDataHeader& h = st.header;
  const std::string& type = st.subject.typ_ds;
  if (type == "P" && h.mesic.empty() && !h.ctvrt.empty())
    j.Error("Právnická osoba podává za měsíc: chybí " + j.Ref(&H::mesic), &H::mesic);

  // Part of a period: a natural person's, inside the period, "from" not after "to".
  const auto period = PeriodOf(h);
  std::optional<TCivilDate> from, to;
  for (auto m : {&H::zdobd_od, &H::zdobd_do}) {
    const auto date = DateOf(j.Text(m));
    if (!date) continue;  // empty, or reported on its row
    if (type != "F") {
      j.Invalid(m, "jen pro fyzickou osobu");
    } else if (period && (*date < period->first || *date > period->last)) {
      j.Invalid(m, "mimo období hlášení");
    } else {
      (m == &H::zdobd_od ? from : to) = date;
    }
  }
  if (from && to && *from > *to) j.Invalid(&H::zdobd_od, "po " + j.Ref(&H::zdobd_do));
}

// The value of a text of digits that its check has accepted.
int DigitsValue(std::string_view s) {
  int v = 0;
  for (char c : s) v = v * 10 + (c - '0');
  return v;
}

}  // namespace

std::optional<TPeriod> PeriodOf(const tDataHeader& h) {
  if (!IsYearValid(h.rok)) return std::nullopt;
  const int year = DigitsValue(h.rok);
  int first_month = 0, months = 0;
  if (!h.mesic.empty()) {
    if (!IsMonthValid(h.mesic)) return std::nullopt;
    first_month = DigitsValue(h.mesic);
    months = 1;
  } else if (IsQuarterValid(h.ctvrt)) {
    first_month = (DigitsValue(h.ctvrt) - 1) * 3 + 1;
    months = 3;
  } else {
    return std::nullopt;
  }
  const int last_month = first_month + months - 1;
  return TPeriod{{year, first_month, 1}, {year, last_month, DaysInMonth(year, last_month)}};
}

void ReadHeaderAndSubject(TStatement& st) {
  const auto header_fields = HeaderFields();
  const SheetTexts header = ReadTexts(st, SheetSlot::Header, header_fields);
  for (std::size_t i = 0; i < header_fields.size(); ++i)
    st.header.*header_fields[i].member = HeaderValue(header_fields[i], header.text[i]);
  const auto subject_fields = SubjectFields();
  const SheetTexts subject = ReadTexts(st, SheetSlot::Subject, subject_fields);
  for (std::size_t i = 0; i < subject_fields.size(); ++i)
    st.subject.*subject_fields[i].member = subject.text[i];

  SheetJudge<tDataHeader> header_judge(st, SheetSlot::Header, header_fields, header);
  SheetJudge<tSubject> subject_judge(st, SheetSlot::Subject, subject_fields, subject);
  JudgeHeader(st, header_judge);
  JudgeSubject(subject_judge);
  JudgeHeaderWithSubject(st, header_judge);
}

}  // namespace vestrano
