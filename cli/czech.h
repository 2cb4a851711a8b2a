#pragma once
// The order of file names in the Czech alphabet.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vestrano::cli {

// Whether the system has the Czech collation (the C library's locale cs_CZ.UTF-8).
bool HasCzechOrder();
// Sorts paths ("a/b.xlsx") folder by folder, each name by the Czech alphabet regardless of letter
// case ("ch" after "h", "č" after "c", the name before its extension) where the system has the
// Czech collation, else by bytes; names that collate alike by bytes. The process's own locale
// is never changed.
void SortByName(std::vector<std::string>& paths);

}  // namespace vestrano::cli
