#pragma once
// A minimal JSON writer for the command line's reports: strings are escaped, invalid UTF-8
// becomes U+FFFD.
#include <string>
#include <string_view>

namespace vestrano::cli {

// The JSON string literal of s, quotes included.
std::string JsonString(std::string_view s);
// The same, or null for an empty s.
std::string JsonStringOrNull(std::string_view s);

}  // namespace vestrano::cli
