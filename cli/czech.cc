#include "cli/czech.h"

#include <locale.h>
#include <string.h>

#include <algorithm>
#include <utility>

namespace vestrano::cli {

namespace {

// Made once and kept for the life of the process; (locale_t)0 when the system lacks it. A locale
// object of its own, so that the process's locale stays "C" for every other conversion.
locale_t CzechCollation() {
  static const locale_t czech = ::newlocale(LC_COLLATE_MASK, "cs_CZ.UTF-8", locale_t{});
  return czech;
}

std::string CollationKey(const std::string& text, locale_t czech) {
  std::string key(text.size() * 4 + 16, '\0');
  std::size_t n = ::strxfrm_l(key.data(), text.c_str(), key.size(), czech);
  if (n >= key.size()) {
    key.assign(n + 1, '\0');
    n = ::strxfrm_l(key.data(), text.c_str(), key.size(), czech);
  }
  key.resize(std::min(n, key.size()));
  return key;
}

// The keys of each name of a path: its part before the last "." and the extension apart, since
// the collation passes over punctuation ("z.xlsx" would come after "zeta.xlsx").
std::vector<std::string> PathKeys(const std::string& path, locale_t czech) {
  std::vector<std::string> keys;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string name = path.substr(start, end - start);
    const std::size_t dot = name.rfind('.');
    const bool split = dot != std::string::npos && dot > 0;
    keys.push_back(CollationKey(split ? name.substr(0, dot) : name, czech));
    keys.push_back(CollationKey(split ? name.substr(dot + 1) : std::string(), czech));
    start = end + 1;
  }
  return keys;
}

}  // namespace

bool HasCzechOrder() { return CzechCollation() != locale_t{}; }

void SortByName(std::vector<std::string>& paths) {
  const locale_t czech = CzechCollation();
  if (czech == locale_t{}) {
    std::sort(paths.begin(), paths.end());
    return;
  }
  std::vector<std::pair<std::vector<std::string>, std::string>> keyed;
  keyed.reserve(paths.size());
  for (std::string& path : paths) {
    std::vector<std::string> keys = PathKeys(path, czech);
    keyed.emplace_back(std::move(keys), std::move(path));
  }
  std::sort(keyed.begin(), keyed.end());  // keys, then bytes: a total order
  for (std::size_t i = 0; i < paths.size(); ++i) paths[i] = std::move(keyed[i].second);
}

}  // namespace vestrano::cli
