#pragma once
// The ZIP container of a package, read from memory through libzip. Parts are looked up by name
// case-insensitively, with "/" or "\" as separator; every read is capped.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

struct zip;
struct zip_file;
struct zip_source;

namespace vestrano::xlsx {

// No single part may inflate to more than this.
inline constexpr std::uint64_t kMaxPartSize = std::uint64_t{1} << 30;
// Deflate cannot exceed about 1032:1; anything beyond this is a lie in the directory or a bomb.
inline constexpr std::uint64_t kMaxCompressionRatio = 1100;

class ZipPackage;

// One entry opened for a forward read of its inflated bytes.
class PartStream {
 public:
  PartStream(const ZipPackage& package, std::uint64_t index, std::string name);
  ~PartStream();
  PartStream(const PartStream&) = delete;
  PartStream& operator=(const PartStream&) = delete;

  // Reads up to size bytes; 0 at the end. Raises EWorkbookFileError on a damaged entry or a cap.
  std::size_t Read(char* buffer, std::size_t size);
  // Reads what is left so that the ZIP layer checks the entry's checksum.
  void Drain();
  const std::string& Name() const { return name_; }
  std::uint64_t DeclaredSize() const { return declared_size_; }
  std::uint64_t BytesRead() const { return read_; }

 private:
  [[noreturn]] void Fail(std::string_view what) const;
  zip_file* file_ = nullptr;
  std::string name_;
  std::uint64_t declared_size_ = 0;
  std::uint64_t limit_ = 0;
  std::uint64_t read_ = 0;
  bool at_end_ = false;
};

class ZipPackage {
 public:
  static constexpr std::uint64_t kNotFound = ~std::uint64_t{0};

  // Raises EWorkbookFileError "The file is not a valid XLSX (Excel 2007) file." when the bytes
  // are not a ZIP archive (an encrypted workbook is a compound file, so it lands here too).
  explicit ZipPackage(std::span<const std::byte> file);
  ~ZipPackage();
  ZipPackage(const ZipPackage&) = delete;
  ZipPackage& operator=(const ZipPackage&) = delete;

  // Index of the part, or kNotFound. Letter case, the separator and a trailing one do not matter.
  std::uint64_t Find(std::string_view part_name) const;
  bool Has(std::string_view part_name) const { return Find(part_name) != kNotFound; }
  // The whole inflated part; empty optional-like: found is false when the part is absent.
  bool ReadWhole(std::string_view part_name, std::string& out) const;
  std::string NameOf(std::uint64_t index) const;
  // The inflated size the directory claims for the part at index (0 when it says none).
  std::uint64_t DeclaredSize(std::uint64_t index) const;

 private:
  friend class PartStream;
  zip* archive_ = nullptr;
  std::unordered_map<std::string, std::uint64_t> index_;  // key: NormalizePartName
};

// Lower case ASCII, "\" as "/", no leading or trailing separator.
std::string NormalizePartName(std::string_view name);

}  // namespace vestrano::xlsx
