#pragma once
// BIFF8 records of the Workbook stream: the record iterator (with CONTINUE joining) and the
// unicode strings stored in records. Knows nothing of the workbook model.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "workbook/xls/byte_reader.h"

namespace vestrano::xls {

constexpr std::uint16_t kContinue = 60;

struct Record {
  std::uint16_t type = 0;
  std::size_t offset = 0;  // of the record header in the stream
  std::span<const std::byte> data;
};

// Walks the records of a stream by their lengths. A header or data that runs past the end of the
// stream raises EWorkbookFileError naming the offset.
class RecordIterator {
 public:
  explicit RecordIterator(std::span<const std::byte> stream) : stream_(stream) {}

  // The next record, or false at the end of the stream.
  bool Next(Record& record);
  // Appends the data of the CONTINUE records that directly follow the last record and steps past
  // them, so a record and its continuations read as one.
  void TakeContinues(std::vector<std::span<const std::byte>>& parts);
  std::size_t Position() const { return pos_; }
  void Seek(std::size_t pos) { pos_ = pos; }
  std::size_t Size() const { return stream_.size(); }
  bool AtEnd() const { return pos_ >= stream_.size(); }

 private:
  std::span<const std::byte> stream_;
  std::size_t pos_ = 0;
};

// "The file is not a valid XLS (Excel 97-2003) file." followed by where and what.
EWorkbookFileError DamagedRecord(const char* name, const Record& record, const std::string& what);

// UTF-16 code units to UTF-8. A surrogate pair may be split between two calls (a string split
// across CONTINUE records); a lone surrogate becomes U+FFFD. Line breaks (LF, CR, CR LF) become
// CR LF, as the workbook model holds them.
class Utf16ToUtf8 {
 public:
  explicit Utf16ToUtf8(std::string& out) : out_(out) {}
  void Latin1(std::span<const std::byte> bytes);
  void Utf16(std::span<const std::byte> bytes);  // an even number of bytes, little-endian
  void Finish();

 private:
  void Unit(char16_t u);
  std::string& out_;
  char16_t high_ = 0;
  bool after_cr_ = false;
};

// A BIFF8 unicode string held in one record: a count of count_size (1 or 2) bytes, the option
// byte, then run count and extended-data size when flagged, then the characters. Formatting runs
// and extended data after the characters are stepped over as far as present.
std::string ReadRecordString(ByteReader& r, int count_size);

// The raw characters of a string (count and options already read) from one record.
void ReadChars(ByteReader& r, std::size_t count, bool wide, std::string& out);

// Reads across a record and its CONTINUE parts. Thrown when the parts run out: the caller decides
// what that means (the shared-string table reports "Expected CONTINUE not found.").
class EPartsEnded : public EWorkbookError {
 public:
  EPartsEnded() : EWorkbookError("Expected CONTINUE not found.") {}
};

class ContinuedReader {
 public:
  explicit ContinuedReader(std::span<const std::span<const std::byte>> parts);
  bool AtEnd();  // no bytes left in any part
  std::uint8_t U8();
  std::uint16_t U16();
  std::uint32_t U32();
  void Skip(std::size_t n);
  // A unicode string with a 16-bit count, as in the shared-string table: a part of the characters
  // that continues in the next record starts with a new option byte giving its width.
  std::string String();
  // The same string after its count.
  std::string StringBody(std::size_t count);

 private:
  bool NextPart();  // false when no part remains
  std::span<const std::span<const std::byte>> parts_;
  std::size_t part_ = 0;
  std::size_t pos_ = 0;
};

}  // namespace vestrano::xls
