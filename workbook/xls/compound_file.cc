#include "workbook/xls/compound_file.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "workbook/xls/byte_reader.h"
#include "workbook/xls/xls_errors.h"

namespace vestrano::xls {

namespace {

constexpr std::array<unsigned char, 8> kSignature = {0xD0, 0xCF, 0x11, 0xE0,
                                                     0xA1, 0xB1, 0x1A, 0xE1};
constexpr std::size_t kHeaderSize = 512;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;
constexpr std::uint64_t kMiniStreamCutoff = 4096;
constexpr std::size_t kMiniSectorSize = 64;
constexpr std::size_t kDirEntrySize = 128;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;

enum EntryType : std::uint8_t { kStorage = 1, kStream = 2, kRoot = 5 };

struct DirEntry {
  std::u16string name;
  std::uint8_t type = 0;
  std::uint32_t left = kNoStream, right = kNoStream, child = kNoStream;
  std::uint32_t start = kEndOfChain;
  std::uint64_t size = 0;
};

std::string Num(std::uint64_t n) { return std::to_string(n); }

class CompoundFile {
 public:
  explicit CompoundFile(std::span<const std::byte> file) : file_(file) {
    ReadHeader();
    ReadFat();
    ReadDirectory();
  }

  // A stream directly below the root, by name in any letter case (as the format compares names).
  const DirEntry* FindTopLevel(std::string_view ascii_name) const {
    if (dir_.empty() || dir_[0].type != kRoot) throw DamagedCompoundFile("no root entry");
    std::vector<bool> seen(dir_.size());
    std::vector<std::uint32_t> stack;
    if (dir_[0].child != kNoStream) stack.push_back(dir_[0].child);
    while (!stack.empty()) {
      const std::uint32_t id = stack.back();
      stack.pop_back();
      if (id >= dir_.size())
        throw DamagedCompoundFile("directory entry " + Num(id) + " does not exist");
      if (seen[id]) throw DamagedCompoundFile("the directory tree loops at entry " + Num(id));
      seen[id] = true;
      const DirEntry& e = dir_[id];
      if (e.type == kStream && SameName(e.name, ascii_name)) return &e;
      if (e.left != kNoStream) stack.push_back(e.left);
      if (e.right != kNoStream) stack.push_back(e.right);
    }
    return nullptr;
  }

  StreamBytes Read(const DirEntry& e) const {
    StreamBytes out;
    if (e.size == 0) return out;
    if (e.size < kMiniStreamCutoff) {
      const std::vector<std::byte> mini = MiniStream();
      const std::vector<std::uint32_t> minifat = MiniFat();
      const std::size_t n =
          static_cast<std::size_t>((e.size + kMiniSectorSize - 1) / kMiniSectorSize);
      const auto chain = Chain(e.start, minifat, n, "the mini stream chain",
                               (mini.size() + kMiniSectorSize - 1) / kMiniSectorSize);
      out.owned.reserve(static_cast<std::size_t>(e.size));
      for (std::uint32_t s : chain) {
        const std::size_t at = static_cast<std::size_t>(s) * kMiniSectorSize;
        const std::size_t len = std::min<std::size_t>(kMiniSectorSize, e.size - out.owned.size());
        if (at + len > mini.size())
          throw DamagedCompoundFile("a small stream runs past the end of the mini stream");
        out.owned.insert(out.owned.end(), mini.begin() + static_cast<std::ptrdiff_t>(at),
                         mini.begin() + static_cast<std::ptrdiff_t>(at + len));
      }
      out.bytes = out.owned;
      return out;
    }
    out.owned = RegularStream(e.start, e.size, "stream", &out.bytes);
    if (out.bytes.empty()) out.bytes = out.owned;
    return out;
  }

 private:
  static bool SameName(const std::u16string& name, std::string_view ascii) {
    if (name.size() != ascii.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
      char16_t a = name[i], b = static_cast<unsigned char>(ascii[i]);
      if (a >= 'a' && a <= 'z') a = static_cast<char16_t>(a - 'a' + 'A');
      if (b >= 'a' && b <= 'z') b = static_cast<char16_t>(b - 'a' + 'A');
      if (a != b) return false;
    }
    return true;
  }

  void ReadHeader() {
    if (file_.size() < kHeaderSize ||
        !std::equal(kSignature.begin(), kSignature.end(),
                    reinterpret_cast<const unsigned char*>(file_.data())))
      throw EWorkbookFileError(kNotXlsMessage);
    ByteReader r(file_.first(kHeaderSize));
    r.Seek(28);
    if (r.U16() != 0xFFFE) throw DamagedCompoundFile("wrong byte-order mark");
    const std::uint16_t shift = r.U16();
    if (shift != 9 && shift != 12) throw DamagedCompoundFile("sector size 2^" + Num(shift));
    sector_size_ = std::size_t{1} << shift;
    if (r.U16() != 6) throw DamagedCompoundFile("mini sector size is not 64");
    if (file_.size() <= sector_size_) throw DamagedCompoundFile("no sectors after the header");
    sector_count_ = (file_.size() - sector_size_ + sector_size_ - 1) / sector_size_;
    r.Seek(44);
    fat_sector_count_ = r.U32();
    first_dir_sector_ = r.U32();
    r.Skip(4);  // transaction signature
    r.Skip(4);  // mini stream cutoff, fixed at 4096 by the format
    first_minifat_sector_ = r.U32();
    minifat_sector_count_ = r.U32();
    first_difat_sector_ = r.U32();
    difat_sector_count_ = r.U32();
    for (int i = 0; i < 109; ++i) header_difat_[static_cast<std::size_t>(i)] = r.U32();
  }

  std::span<const std::byte> Sector(std::uint32_t id, const char* what) const {
    if (id >= sector_count_)
      throw DamagedCompoundFile(std::string(what) + " names sector " + Num(id) +
                                " past the end of the file");
    const std::size_t at = (static_cast<std::size_t>(id) + 1) * sector_size_;
    return file_.subspan(at, std::min(sector_size_, file_.size() - at));
  }

  void ReadFat() {
    if (fat_sector_count_ > sector_count_)
      throw DamagedCompoundFile("it declares " + Num(fat_sector_count_) +
                                " FAT sectors in a file of " + Num(sector_count_) + " sectors");
    std::vector<std::uint32_t> fat_sectors;
    fat_sectors.reserve(fat_sector_count_);
    for (std::uint32_t id : header_difat_) {
      if (fat_sectors.size() == fat_sector_count_ || id == kFreeSector) break;
      fat_sectors.push_back(id);
    }
    // Further FAT sector numbers live in a chain of DIFAT sectors, each ending with the next one.
    std::uint32_t difat = first_difat_sector_;
    std::vector<bool> seen(sector_count_);
    for (std::uint32_t n = 0; fat_sectors.size() < fat_sector_count_ && n < difat_sector_count_;
         ++n) {
      if (difat == kEndOfChain || difat == kFreeSector) break;
      auto bytes = Sector(difat, "the DIFAT chain");
      if (seen[difat]) throw DamagedCompoundFile("the DIFAT chain loops at sector " + Num(difat));
      seen[difat] = true;
      if (bytes.size() < sector_size_)
        throw DamagedCompoundFile("DIFAT sector " + Num(difat) + " is cut short");
      ByteReader r(bytes);
      for (std::size_t i = 0; i + 1 < sector_size_ / 4; ++i) {
        const std::uint32_t id = r.U32();
        if (id != kFreeSector && fat_sectors.size() < fat_sector_count_) fat_sectors.push_back(id);
      }
      difat = r.U32();
    }
    const std::size_t per = sector_size_ / 4;
    fat_.reserve(fat_sectors.size() * per);
    for (std::uint32_t id : fat_sectors) {
      ByteReader r(Sector(id, "the FAT sector list"));
      for (std::size_t i = 0; i < per; ++i)
        fat_.push_back(r.Remaining() >= 4 ? r.U32() : kFreeSector);
    }
  }

  // Follows a sector chain for want sectors, each below limit; detects loops and early ends.
  static std::vector<std::uint32_t> Chain(std::uint32_t start,
                                          const std::vector<std::uint32_t>& table, std::size_t want,
                                          const char* what, std::size_t limit) {
    std::vector<std::uint32_t> chain;
    if (want > limit) throw DamagedCompoundFile(std::string(what) + " is longer than the file");
    chain.reserve(want);
    std::vector<bool> seen(std::min(table.size(), limit));
    std::uint32_t id = start;
    while (chain.size() < want) {
      if (id == kEndOfChain) throw DamagedCompoundFile(std::string(what) + " ends early");
      if (id >= table.size() || id >= limit)
        throw DamagedCompoundFile(std::string(what) + " names sector " + Num(id) +
                                  " that does not exist");
      if (seen[id]) throw DamagedCompoundFile(std::string(what) + " loops at sector " + Num(id));
      seen[id] = true;
      chain.push_back(id);
      id = table[id];
    }
    return chain;
  }

  // Chain of unknown length (directory): follows it to its end.
  std::vector<std::uint32_t> WholeChain(std::uint32_t start, const char* what) const {
    std::vector<std::uint32_t> chain;
    std::vector<bool> seen(sector_count_);
    for (std::uint32_t id = start; id != kEndOfChain;) {
      if (id >= fat_.size() || id >= sector_count_)
        throw DamagedCompoundFile(std::string(what) + " names sector " + Num(id) +
                                  " that does not exist");
      if (seen[id]) throw DamagedCompoundFile(std::string(what) + " loops at sector " + Num(id));
      seen[id] = true;
      chain.push_back(id);
      id = fat_[id];
    }
    return chain;
  }

  // A stream in regular sectors. When its sectors are consecutive and wholly in the file, view
  // is set to the bytes in the file and nothing is copied.
  std::vector<std::byte> RegularStream(std::uint32_t start, std::uint64_t size, const char* what,
                                       std::span<const std::byte>* view) const {
    if (size > file_.size())
      throw DamagedCompoundFile(std::string(what) + " is larger than the file");
    const std::size_t n = static_cast<std::size_t>((size + sector_size_ - 1) / sector_size_);
    const auto chain = Chain(start, fat_, n, what, sector_count_);
    bool contiguous = true;
    for (std::size_t i = 1; i < chain.size() && contiguous; ++i)
      contiguous = chain[i] == chain[0] + i;
    const std::size_t first = (static_cast<std::size_t>(chain[0]) + 1) * sector_size_;
    if (contiguous && first + size <= file_.size()) {
      *view = file_.subspan(first, static_cast<std::size_t>(size));
      return {};
    }
    std::vector<std::byte> out;
    out.reserve(static_cast<std::size_t>(size));
    for (std::uint32_t s : chain) {
      auto bytes = Sector(s, what);
      const std::size_t len = std::min<std::size_t>(bytes.size(), size - out.size());
      if (len < std::min<std::size_t>(sector_size_, size - out.size()))
        throw DamagedCompoundFile(std::string(what) + " runs past the end of the file");
      out.insert(out.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(len));
    }
    return out;
  }

  void ReadDirectory() {
    const auto chain = WholeChain(first_dir_sector_, "the directory chain");
    dir_.reserve(chain.size() * (sector_size_ / kDirEntrySize));
    for (std::uint32_t s : chain) {
      auto bytes = Sector(s, "the directory chain");
      for (std::size_t at = 0; at + kDirEntrySize <= bytes.size(); at += kDirEntrySize) {
        ByteReader r(bytes.subspan(at, kDirEntrySize));
        DirEntry e;
        r.Seek(64);
        const std::uint16_t name_bytes = r.U16();
        r.Seek(0);
        const std::size_t chars = name_bytes >= 2 && name_bytes <= 64 ? name_bytes / 2 - 1 : 0;
        for (std::size_t i = 0; i < chars; ++i) e.name.push_back(static_cast<char16_t>(r.U16()));
        r.Seek(66);
        e.type = r.U8();
        r.Skip(1);  // red-black colour
        e.left = r.U32();
        e.right = r.U32();
        e.child = r.U32();
        r.Seek(116);
        e.start = r.U32();
        e.size = r.U64();
        // Version 3 files may leave garbage in the high half of the size.
        if (sector_size_ == 512) e.size &= 0xFFFFFFFFu;
        dir_.push_back(std::move(e));
      }
    }
  }

  std::vector<std::byte> MiniStream() const {
    const DirEntry& root = dir_[0];
    if (root.size == 0) throw DamagedCompoundFile("a small stream has no mini stream to live in");
    std::span<const std::byte> view;
    std::vector<std::byte> out = RegularStream(root.start, root.size, "the mini stream", &view);
    if (!view.empty()) out.assign(view.begin(), view.end());
    return out;
  }

  std::vector<std::uint32_t> MiniFat() const {
    if (minifat_sector_count_ > sector_count_)
      throw DamagedCompoundFile("the mini FAT is longer than the file");
    const auto chain = Chain(first_minifat_sector_, fat_, minifat_sector_count_,
                             "the mini FAT chain", sector_count_);
    std::vector<std::uint32_t> out;
    out.reserve(chain.size() * (sector_size_ / 4));
    for (std::uint32_t s : chain) {
      ByteReader r(Sector(s, "the mini FAT chain"));
      while (r.Remaining() >= 4) out.push_back(r.U32());
    }
    return out;
  }

  std::span<const std::byte> file_;
  std::size_t sector_size_ = 512;
  std::size_t sector_count_ = 0;
  std::uint32_t fat_sector_count_ = 0;
  std::uint32_t first_dir_sector_ = kEndOfChain;
  std::uint32_t first_minifat_sector_ = kEndOfChain;
  std::uint32_t minifat_sector_count_ = 0;
  std::uint32_t first_difat_sector_ = kEndOfChain;
  std::uint32_t difat_sector_count_ = 0;
  std::array<std::uint32_t, 109> header_difat_{};
  std::vector<std::uint32_t> fat_;
  std::vector<DirEntry> dir_;
};

}  // namespace

StreamBytes ReadWorkbookStream(std::span<const std::byte> file) {
  try {
    const CompoundFile cf(file);
    if (const DirEntry* e = cf.FindTopLevel("Workbook")) return cf.Read(*e);
    if (cf.FindTopLevel("Book")) throw EWorkbookFileError(kOldFormatMessage);
    throw EWorkbookFileError(kNotXlsMessage);
  } catch (const EShortData&) {
    throw DamagedCompoundFile("a structure runs past the end of its sector");
  }
}

}  // namespace vestrano::xls
