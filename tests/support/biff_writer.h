#pragma once
// Writes BIFF8 record streams and wraps them in a compound file, so tests and benchmarks can
// build exactly the .xls they need in memory.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vestrano::test {

// Little-endian bytes, built field by field.
class Bytes {
 public:
  Bytes& U8(std::uint8_t v);
  Bytes& U16(std::uint16_t v);
  Bytes& U32(std::uint32_t v);
  Bytes& F64(double v);
  Bytes& Raw(const std::vector<std::byte>& b);
  Bytes& Raw(std::string_view s);  // the bytes of s as they are
  // The characters of a UTF-8 text: one byte each (8-bit) or UTF-16LE (wide).
  Bytes& Chars(std::string_view utf8, bool wide);
  // A BIFF8 string: count (count_size 1 or 2 bytes), option byte, characters. 8-bit when every
  // character is below U+0100, else 16-bit.
  Bytes& Str(std::string_view utf8, int count_size = 2);
  std::vector<std::byte> Take() { return std::move(b_); }
  const std::vector<std::byte>& Get() const { return b_; }
  std::size_t Size() const { return b_.size(); }

 private:
  std::vector<std::byte> b_;
};

// UTF-8 to UTF-16 code units (test data is valid UTF-8).
std::u16string Utf16(std::string_view utf8);
bool FitsLatin1(std::string_view utf8);

// A Workbook stream, record by record.
class BiffWriter {
 public:
  BiffWriter& Record(std::uint16_t type, const std::vector<std::byte>& data);
  BiffWriter& Record(std::uint16_t type, Bytes data) { return Record(type, data.Get()); }
  BiffWriter& Append(const std::vector<std::byte>& raw);  // bytes as they are, e.g. a cut record

  // Globals.
  BiffWriter& Bof(std::uint16_t substream);  // 5 globals, 16 worksheet, 32 chart
  BiffWriter& Eof() { return Record(10, Bytes()); }
  BiffWriter& DateMode(bool is1904) { return Record(34, Bytes().U16(is1904 ? 1 : 0)); }
  BiffWriter& BoundSheet(std::string_view name, std::uint8_t type = 0, std::uint8_t hidden = 0);
  BiffWriter& Format(std::uint16_t index, std::string_view code);
  BiffWriter& Xf(std::uint16_t format_index);
  // An SST whose strings are laid out in the given records: the first part follows the counts,
  // each further part becomes a CONTINUE record. Build parts with Bytes::Str and Chars.
  BiffWriter& Sst(std::uint32_t unique_count, const std::vector<std::vector<std::byte>>& parts);
  // Globals with the given sheet names, XFs (format index each) and shared strings in one SST.
  BiffWriter& Globals(const std::vector<std::string>& sheets,
                      const std::vector<std::uint16_t>& xfs = {0},
                      const std::vector<std::string>& strings = {});

  // Worksheet cells.
  BiffWriter& Number(int row, int col, int xf, double v);
  BiffWriter& Rk(int row, int col, int xf, std::uint32_t rk);
  BiffWriter& Blank(int row, int col, int xf = 0);
  BiffWriter& Label(int row, int col, std::string_view text, int xf = 0);
  BiffWriter& LabelSst(int row, int col, std::uint32_t index, int xf = 0);
  BiffWriter& BoolErr(int row, int col, std::uint8_t value, bool error, int xf = 0);
  // result: the 8 bytes of the cached result.
  BiffWriter& Formula(int row, int col, const std::vector<std::byte>& result, int xf = 0);
  BiffWriter& String(std::string_view text);
  BiffWriter& Row(int row);
  BiffWriter& MergedCells(const std::vector<std::vector<int>>& ranges);  // {r1, r2, c1, c2}

  const std::vector<std::byte>& Stream() const { return b_; }

 private:
  std::vector<std::byte> b_;
};

// Cached FORMULA results.
std::vector<std::byte> FormulaNumber(double v);
std::vector<std::byte> FormulaSpecial(
    std::uint8_t kind, std::uint8_t value = 0);  // 0 string, 1 bool, 2 error, 3 empty

// A compound file holding the named streams at the top level: version 3 (512-byte sectors) or
// version 4 (4096-byte sectors).
std::vector<std::byte> CompoundFile(
    const std::vector<std::pair<std::string, std::vector<std::byte>>>& streams, int version = 3);
// A compound file with one stream "Workbook".
std::vector<std::byte> XlsFile(const std::vector<std::byte>& workbook_stream);

}  // namespace vestrano::test
