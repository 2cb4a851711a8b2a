#include "import/stats.h"

#include <charconv>

#include "data/decimal.h"
#include "data/section_c.h"

namespace vestrano {

namespace {

std::string IntegerText(int value) {
  char buf[16];
  const auto res = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, res.ptr);
}

}  // namespace

std::string AmountDisplayText(long double value) {
  // A sum that rounds to nothing (for instance -0.001 left over from amounts that cancel out)
  // is shown without a sign: "-0,00 CZK" would read as a negative total.
  const Hundredths h = RoundToHundredths(value);
  const auto [whole, cents] = WholeAndCents(h);
  std::string out;
  out.reserve(whole.size() + whole.size() / 3 + 10);
  if (h.negative) out += '-';
  for (std::size_t i = 0; i < whole.size(); ++i) {
    if (i > 0 && (whole.size() - i) % 3 == 0) out += ' ';
    out += whole[i];
  }
  out += ',';
  out += cents;
  out += " CZK";
  return out;
}

void FinishSection(TStatement& st, Section section, const SectionCounts& counts, int row_count,
                   int heading_rows, int last_row_correction, const RunningSums& sums,
                   std::span<const SubtotalLine> lines) {
  for (const SubtotalLine& line : lines)
    st.totals[line.slot] = static_cast<double>(sums[static_cast<std::size_t>(line.slot)]);
  for (const SubtotalLine& line : lines)
    st.subtotals.Set(line.key, AmountDisplayText(sums[static_cast<std::size_t>(line.slot)]));
  SectionCounts& kept = st.counts[static_cast<std::size_t>(section)].emplace(counts);
  kept.total = row_count - heading_rows - last_row_correction + 1;
  auto& column = st.stats.cell[StatsColumn(section)];
  column[1] = IntegerText(kept.read);
  column[2] = IntegerText(kept.skipped);
  column[3] = IntegerText(kept.faulty);
  column[4] = IntegerText(kept.total);
}

void MarkEmptySheet(TStatement& st, Section section) {
  auto& column = st.stats.cell[StatsColumn(section)];
  // assign(1, '-') rather than = "-": GCC 12 sees a bogus overlap in the latter at -O2.
  for (int row = 1; row <= 4; ++row) column[row].assign(1, '-');
  st.counts[static_cast<std::size_t>(section)].emplace();
}

void WriteCLines(TStatement& st) {
  for (const SectionCLine& line : SectionCLines())
    st.subtotals.Set(line.key, AmountDisplayText(SectionCValue(line, st.totals)));
}

}  // namespace vestrano
