#include "data/text.h"

namespace vestrano {

namespace {
bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Length of the well-formed sequence starting at s[i], or 0 when it is ill-formed.
std::size_t SequenceLength(std::string_view s, std::size_t i) {
  char32_t cp;
  const std::size_t len = DecodeUtf8(s, i, cp);
  return cp >= 0xD800 && cp <= 0xDFFF ? 0 : len;
}
}  // namespace

std::size_t DecodeUtf8(std::string_view s, std::size_t i, char32_t& cp) {
  const auto c = static_cast<unsigned char>(s[i]);
  if (c < 0x80) {
    cp = c;
    return 1;
  }
  std::size_t len;
  char32_t min;
  if ((c & 0xE0) == 0xC0) {
    len = 2, min = 0x80, cp = c & 0x1F;
  } else if ((c & 0xF0) == 0xE0) {
    len = 3, min = 0x800, cp = c & 0x0F;
  } else if ((c & 0xF8) == 0xF0) {
    len = 4, min = 0x10000, cp = c & 0x07;
  } else {
    return 0;
  }
  if (i + len > s.size()) return 0;
  for (std::size_t k = 1; k < len; ++k) {
    const auto d = static_cast<unsigned char>(s[i + k]);
    if (!IsContinuation(d)) return 0;
    cp = (cp << 6) | (d & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF) return 0;
  return len;
}

std::size_t CharLength(std::string_view s) {
  std::size_t n = 0;
  for (unsigned char c : s) n += IsContinuation(c) ? 0 : 1;
  return n;
}

std::string FirstChars(std::string_view s, std::size_t n) {
  std::size_t i = 0;
  std::size_t count = 0;
  while (i < s.size()) {
    if (!IsContinuation(static_cast<unsigned char>(s[i]))) {
      if (count == n) break;
      ++count;
    }
    ++i;
  }
  return std::string(s.substr(0, i));
}

std::string ToValidUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  std::size_t i = 0;
  while (i < s.size()) {
    const std::size_t len = SequenceLength(s, i);
    if (len == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
    } else {
      out.append(s.substr(i, len));
      i += len;
    }
  }
  return out;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = 0xFFFD;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string_view PluralForm(std::size_t n, std::string_view one, std::string_view few,
                            std::string_view many) {
  if (n == 1) return one;
  if (n >= 2 && n <= 4) return few;
  return many;
}

std::string Counted(std::size_t n, std::string_view one, std::string_view few,
                    std::string_view many) {
  return std::to_string(n) + " " + std::string(PluralForm(n, one, few, many));
}

}  // namespace vestrano
