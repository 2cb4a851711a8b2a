#pragma once
// The Czech of the command line's own texts: counted words and the order of file names.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vestrano::cli {

// The form of a word that goes with n: one for 1, few for 2, 3 and 4, many for every other
// number (0, 5, 11, 22, 25, …).
std::string_view PluralForm(std::size_t n, std::string_view one, std::string_view few,
                            std::string_view many);
// "1 sešit", "3 sešity", "5 sešitů".
std::string Counted(std::size_t n, std::string_view one, std::string_view few,
                    std::string_view many);

// Whether the system has the Czech collation (the C library's locale cs_CZ.UTF-8).
bool HasCzechOrder();
// Sorts paths ("a/b.xlsx") folder by folder, each name by the Czech alphabet regardless of letter
// case ("ch" after "h", "č" after "c", the name before its extension) where the system has the
// Czech collation, else by bytes; names that collate alike by bytes. The process's own locale
// is never changed.
void SortByName(std::vector<std::string>& paths);

}  // namespace vestrano::cli
