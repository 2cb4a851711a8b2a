#pragma once
// UTF-8 text helpers. Every length rule of the statement counts characters (code points), not
// bytes, so "Hlavička" is eight characters long.
#include <cstddef>
#include <string>
#include <string_view>

namespace vestrano {

// Decodes the sequence at s[i]: its length (0 when ill-formed: truncated, overlong, past
// U+10FFFF) and its code point in cp. Encoded surrogates decode (cp in D800–DFFF); callers
// decide what to do with them.
std::size_t DecodeUtf8(std::string_view s, std::size_t i, char32_t& cp);

// Number of code points in a UTF-8 text. A stray continuation byte counts as one character.
std::size_t CharLength(std::string_view s);

// The first n characters of s (all of s when it is shorter).
std::string FirstChars(std::string_view s, std::size_t n);

// Replaces every ill-formed UTF-8 sequence by U+FFFD; valid text comes back unchanged.
std::string ToValidUtf8(std::string_view s);

// Appends the UTF-8 form of code point cp (U+FFFD for a surrogate or a value past U+10FFFF).
void AppendUtf8(std::string& out, char32_t cp);

// The Czech form of a word that goes with n: one for 1, few for 2, 3 and 4, many for every other
// number (0, 5, 11, 22, 25, …).
std::string_view PluralForm(std::size_t n, std::string_view one, std::string_view few,
                            std::string_view many);
// "1 sešit", "3 sešity", "5 sešitů".
std::string Counted(std::size_t n, std::string_view one, std::string_view few,
                    std::string_view many);

}  // namespace vestrano
