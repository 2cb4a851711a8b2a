// The shared-string table: cut into raw si entries by a byte scan, each entry parsed on first use.
#include <libxml/parser.h>

#include <atomic>
#include <functional>
#include <limits>
#include <mutex>

#include "data/text.h"
#include "workbook/errors.h"
#include "workbook/xlsx/parts.h"
#include "workbook/xlsx/xml_helper.h"
#include "workbook/xlsx/zip_package.h"

namespace vestrano::xlsx {

namespace {
constexpr std::uint64_t kUnresolved = std::numeric_limits<std::uint64_t>::max();

std::uint64_t Slot(std::uint32_t index, std::size_t length) {
  return static_cast<std::uint64_t>(length) << 32 | index;
}
SharedStrings::Pooled Unpack(std::uint64_t slot) {
  return {static_cast<std::uint32_t>(slot), static_cast<std::uint32_t>(slot >> 32)};
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// End of the tag that starts at p (one past its ">"), skipping quoted attribute values.
std::size_t TagEnd(std::string_view s, std::size_t p) {
  char quote = 0;
  for (std::size_t i = p + 1; i < s.size(); ++i) {
    const char c = s[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '>') {
      return i + 1;
    }
  }
  return s.size();
}

std::string_view LocalPart(std::string_view qname) {
  const std::size_t colon = qname.rfind(':');
  return colon == std::string_view::npos ? qname : qname.substr(colon + 1);
}

// Removes every "_x000D_" in any letter case, in one pass.
std::string WithoutCrEscapes(std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  for (std::size_t i = 0; i < raw.size();) {
    if (raw[i] == '_' && i + 7 <= raw.size() && (raw[i + 1] == 'x' || raw[i + 1] == 'X') &&
        raw.substr(i + 2, 3) == "000" && (raw[i + 5] == 'd' || raw[i + 5] == 'D') &&
        raw[i + 6] == '_') {
      i += 7;
      continue;
    }
    out.push_back(raw[i++]);
  }
  return out;
}

bool IsXmlChar(char32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// Character data as an XML parser delivers it (line ends normalised, references decoded), or
// false when the text holds anything that needs the full parser to judge.
bool DecodeCharacterData(std::string_view s, std::string& out) {
  out.clear();
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    // A run of printable ASCII without markup goes over as it is.
    std::size_t run = i;
    while (run < s.size()) {
      const unsigned char b = static_cast<unsigned char>(s[run]);
      if (b < 0x20 || b >= 0x80 || b == '<' || b == '&' || b == ']') break;
      ++run;
    }
    if (run > i) {
      out.append(s.data() + i, run - i);
      i = run;
      continue;
    }
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == '<') return false;
    if (c == '&') {
      const std::size_t semi = s.find(';', i);
      if (semi == std::string_view::npos || semi - i > 12) return false;
      const std::string_view ref = s.substr(i + 1, semi - i - 1);
      if (ref == "lt")
        out.push_back('<');
      else if (ref == "gt")
        out.push_back('>');
      else if (ref == "amp")
        out.push_back('&');
      else if (ref == "quot")
        out.push_back('"');
      else if (ref == "apos")
        out.push_back('\'');
      else if (ref.size() >= 2 && ref[0] == '#') {
        char32_t cp = 0;
        const bool hex = ref[1] == 'x';
        const std::string_view digits = ref.substr(hex ? 2 : 1);
        if (digits.empty()) return false;
        for (char d : digits) {
          int v;
          if (d >= '0' && d <= '9')
            v = d - '0';
          else if (hex && d >= 'a' && d <= 'f')
            v = d - 'a' + 10;
          else if (hex && d >= 'A' && d <= 'F')
            v = d - 'A' + 10;
          else
            return false;
          cp = cp * (hex ? 16 : 10) + static_cast<char32_t>(v);
          if (cp > 0x10FFFF) return false;
        }
        if (!IsXmlChar(cp)) return false;
        AppendUtf8(out, cp);
      } else {
        return false;
      }
      i = semi + 1;
      continue;
    }
    if (c == ']' && s.substr(i, 3) == "]]>") return false;
    if (c == '\r') {  // CR LF and a lone CR both reach the application as LF
      out.push_back('\n');
      i += (i + 1 < s.size() && s[i + 1] == '\n') ? 2 : 1;
      continue;
    }
    if (c < 0x80) {
      if (c < 0x20 && c != '\t' && c != '\n') return false;
      out.push_back(static_cast<char>(c));
      ++i;
      continue;
    }
    // A multi-byte sequence must be well-formed UTF-8 of an XML character.
    int len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
    if (len == 0 || i + static_cast<std::size_t>(len) > s.size()) return false;
    char32_t cp = c & (len == 2 ? 0x1F : len == 3 ? 0x0F : 0x07);
    for (int k = 1; k < len; ++k) {
      const unsigned char b = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
      if ((b & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (b & 0x3F);
    }
    if ((len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) || !IsXmlChar(cp)) return false;
    out.append(s.substr(i, static_cast<std::size_t>(len)));
    i += static_cast<std::size_t>(len);
  }
  return true;
}

// The plain entry <si><t>…</t></si>, the common case, without a parser; false to use the parser.
bool ResolvePlain(std::string_view raw, std::string& out) {
  constexpr std::string_view kOpen = "<si><t", kClose = "</t></si>";
  if (!raw.starts_with(kOpen) || !raw.ends_with(kClose) ||
      raw.size() < kOpen.size() + kClose.size())
    return false;
  std::string_view rest = raw.substr(kOpen.size(), raw.size() - kOpen.size() - kClose.size());
  bool preserve = false;
  if (rest.starts_with(">")) {
    rest.remove_prefix(1);
  } else if (rest.starts_with(" xml:space=\"preserve\">")) {
    rest.remove_prefix(22);
    preserve = true;
  } else {
    return false;
  }
  if (!DecodeCharacterData(rest, out)) return false;
  if (!preserve) TrimXmlSpace(out);
  return true;
}
}  // namespace

bool ResolvePlainSharedString(std::string_view raw_entry, std::string& out) {
  out.clear();
  // Most entries hold no "_" at all, and so no escape to remove.
  std::string stripped;
  std::string_view raw = raw_entry;
  if (raw_entry.find('_') != std::string_view::npos) raw = stripped = WithoutCrEscapes(raw_entry);
  if (!ResolvePlain(raw, out)) return false;
  MakeCrLf(out);
  return true;
}

std::string ResolveSharedString(std::string_view raw_entry, std::string_view root_open,
                                std::string_view root_close, FragmentParser& parser,
                                const std::function<std::string()>& where) {
  std::string out;
  if (ResolvePlainSharedString(raw_entry, out)) return out;
  std::string stripped;
  std::string_view raw = raw_entry;
  if (raw_entry.find('_') != std::string_view::npos) raw = stripped = WithoutCrEscapes(raw_entry);
  out.clear();
  {
    std::string wrapped;
    wrapped.reserve(root_open.size() + raw.size() + root_close.size());
    wrapped.append(root_open).append(raw).append(root_close);
    std::string error;
    xmlDoc* doc = parser.Parse(wrapped, where, error);
    if (!doc) throw EWorkbookFileError(error);
    const xmlNode* root = xmlDocGetRootElement(doc);
    const xmlNode* si = FirstChild(root, "si");
    for (const xmlNode* child : Children(si)) {
      if (LocalName(child) == "r") {
        for (const xmlNode* t : Children(child, "t")) AppendText(t, out);
      } else {
        AppendText(child, out);
      }
    }
    xmlFreeDoc(doc);
  }
  MakeCrLf(out);
  return out;
}

SharedStrings::SharedStrings(TWorkbook& book, std::string part)
    : book_(book), part_(std::move(part)) {}

SharedStrings::~SharedStrings() { delete parser_; }

void SharedStrings::Load(const ZipPackage& package) {
  std::string bytes;
  if (!package.ReadWhole(part_, bytes)) return;  // no table: every shared-string cell is empty
  part_ = package.NameOf(package.Find(part_));
  LoadBytes(std::move(bytes));
}

void SharedStrings::LoadBytes(std::string bytes) {
  data_ = std::move(bytes);
  Cut();
  pool_.assign(entries_.size(), kUnresolved);
  book_.ReserveStrings(entries_.size());
}

void SharedStrings::Cut() {
  const std::string_view s = data_;
  bool in_entry = false, root_seen = false;
  std::size_t entry_start = 0;
  auto add = [&](std::size_t from, std::size_t to) {
    entries_.emplace_back(static_cast<std::uint32_t>(from), static_cast<std::uint32_t>(to - from));
  };
  for (std::size_t p = s.find('<'); p != std::string_view::npos; p = s.find('<', p)) {
    if (p + 1 >= s.size()) break;
    const char next = s[p + 1];
    if (next == '?' || next == '!') {
      p += 2;
      continue;
    }
    const bool closing = next == '/';
    std::size_t name_end = p + (closing ? 2 : 1);
    while (name_end < s.size() && !IsBlank(s[name_end]) && s[name_end] != '>' && s[name_end] != '/')
      ++name_end;
    const std::string_view qname =
        s.substr(p + (closing ? 2 : 1), name_end - p - (closing ? 2 : 1));
    const bool is_si = LocalPart(qname) == "si";
    if (closing) {
      if (is_si && in_entry) {
        const std::size_t end = TagEnd(s, p);
        add(entry_start, end);
        in_entry = false;
        p = end;
      } else {
        p += 2;
      }
      continue;
    }
    const std::size_t end = TagEnd(s, p);
    if (is_si) {
      if (in_entry) add(entry_start, p);  // an entry left open ends where the next begins
      if (end >= 2 && s[end - 2] == '/' && s[end - 1] == '>') {
        add(p, end);
        in_entry = false;
      } else {
        in_entry = true;
        entry_start = p;
      }
    } else if (!root_seen && !in_entry) {
      root_seen = true;
      root_open_ = std::string(s.substr(p, end - p));
      if (root_open_.ends_with("/>")) root_open_.erase(root_open_.size() - 2, 1);
      if (!root_open_.ends_with(">")) root_open_ += ">";
      // Only the namespace declarations matter; an absurdly long root tag is not copied around.
      if (root_open_.size() > 65536) root_open_ = "<" + std::string(qname) + ">";
      root_close_ = "</" + std::string(qname) + ">";
    }
    p = end;
  }
  if (in_entry) add(entry_start, s.size());
  if (!root_seen) root_open_ = "<sst>", root_close_ = "</sst>";
}

SharedStrings::Pooled SharedStrings::PoolIndex(std::uint64_t i) {
  if (i >= entries_.size()) return {0, 0};
  std::uint64_t& slot = pool_[static_cast<std::size_t>(i)];
  if (!lock_) {
    if (slot == kUnresolved) {
      std::string text = Resolve(static_cast<std::size_t>(i));
      const std::size_t length = text.size();
      slot = Slot(book_.AddString(std::move(text)), length);
    }
    return Unpack(slot);
  }
  // Sheets read at once: a resolved slot is read without the lock; an entry is resolved outside
  // it, and the first of two threads that resolved the same entry adds it to the pool.
  //
  // The slots are plain integers, reached through atomic_ref only in this phase. Mixing plain
  // and atomic access to one object is sound only when the two never overlap, and here the
  // threads' start and join order them: the plain writes (LoadBytes, which sizes the vector for
  // good, and a sheet read before) happen before the threads start, which synchronises with
  // everything the threads do; the plain accesses after ShareAmongThreads(nullptr) happen after
  // the join, which synchronises with everything they did. lock_ itself is a plain pointer for
  // the same reason. Within the phase every store happens under the lock (so the relaxed load
  // under it sees any earlier store), and the release store pairs with the first, acquiring
  // load, so a thread that finds a slot set also sees the string added to the pool before it.
  std::atomic_ref<std::uint64_t> shared(slot);
  if (const std::uint64_t v = shared.load(std::memory_order_acquire); v != kUnresolved)
    return Unpack(v);
  std::string text = Resolve(static_cast<std::size_t>(i));
  const std::size_t length = text.size();
  const std::lock_guard hold(*lock_);
  std::uint64_t v = shared.load(std::memory_order_relaxed);
  if (v == kUnresolved) {
    v = Slot(book_.AddString(std::move(text)), length);
    shared.store(v, std::memory_order_release);
  }
  return Unpack(v);
}

std::string SharedStrings::Resolve(std::size_t i) {
  const auto [offset, length] = entries_[i];
  const std::string_view raw = std::string_view(data_).substr(offset, length);
  const auto where = [&] { return part_ + " (string " + std::to_string(i) + ")"; };
  std::string out;
  if (!ResolvePlainSharedString(raw, out)) {
    std::unique_lock hold(parser_mutex_, std::defer_lock);
    if (lock_) hold.lock();
    if (!parser_) parser_ = new FragmentParser();
    out = ResolveSharedString(raw, root_open_, root_close_, *parser_, where);
  }
  if (out.size() > TWorkbook::kMaxCellText)
    throw EWorkbookFileError("The part " + where() + " holds a text longer than " +
                             std::to_string(TWorkbook::kMaxCellText) +
                             " bytes, more than a cell takes.");
  return out;
}

}  // namespace vestrano::xlsx
