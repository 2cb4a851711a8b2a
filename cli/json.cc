#include "cli/json.h"

#include "data/text.h"

namespace vestrano::cli {

std::string JsonString(std::string_view s) {
  const std::string valid = ToValidUtf8(s);
  std::string out;
  out.reserve(valid.size() + 2);
  out += '"';
  for (char c : valid) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          static const char kHex[] = "0123456789abcdef";
          out += "\\u00";
          out += kHex[(c >> 4) & 0xF];
          out += kHex[c & 0xF];
        } else {
          out += c;
        }
    }
  }
  out += '"';
  return out;
}

std::string JsonStringOrNull(std::string_view s) { return s.empty() ? "null" : JsonString(s); }

}  // namespace vestrano::cli
