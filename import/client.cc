#include "import/client.h"

#include <string_view>
#include <vector>

#include "data/text.h"

namespace vestrano {

namespace {
std::string Trimmed(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return std::string(s);
}

std::string Joined(const std::vector<std::string>& parts, std::string_view separator) {
  std::string out;
  for (const std::string& part : parts) {
    if (part.empty()) continue;
    if (!out.empty()) out += separator;
    out += part;
  }
  return out;
}

const char* FormWords(std::string_view code) {
  struct Form {
    const char* code;
    const char* words;
  };
  static constexpr Form kForms[] = {
      {"B", "řádné"}, {"O", "řádné/opravné"}, {"N", "následné"}, {"E", "následné/opravné"}};
  for (const Form& f : kForms)
    if (code == f.code) return f.words;
  return nullptr;
}
}  // namespace

TClient ClientOf(const tDataHeader& header, const tSubject& subject) {
  TClient c;
  const std::string person = Joined({Trimmed(subject.jmeno), Trimmed(subject.prijmeni)}, " ");
  const std::string trade = Trimmed(subject.zkrobchjm);
  const bool natural = Trimmed(subject.typ_ds) == "F";
  c.name = natural ? (person.empty() ? trade : person) : (trade.empty() ? person : trade);
  c.dic = subject.dic;
  c.year = header.rok;
  c.month = header.mesic;
  c.quarter = header.ctvrt;
  c.form = header.khdph_forma;

  const std::string year = Trimmed(header.rok);
  if (const std::string month = Trimmed(header.mesic); !month.empty())
    c.period = year.empty() ? month : month + "/" + year;
  else if (const std::string quarter = Trimmed(header.ctvrt); !quarter.empty())
    c.period = Joined({quarter + ". čtvrtletí", year}, " ");
  else
    c.period = year;

  const std::string form = Trimmed(header.khdph_forma);
  const char* words = FormWords(form);
  c.form_words = words ? words : form;
  return c;
}

std::string ClientLine(const TClient& client) {
  const std::string dic = Trimmed(client.dic);
  std::string line = ToValidUtf8(Joined(
      {client.name, dic.empty() ? "" : "DIČ " + dic, client.period, client.form_words}, " · "));
  for (char& ch : line)
    if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7f) ch = ' ';
  return line;
}

}  // namespace vestrano
