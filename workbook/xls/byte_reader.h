#pragma once
// A bounded little-endian cursor over bytes. Every read of the compound file and of BIFF records
// goes through it, so no read can pass the end of the data it was given.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "workbook/errors.h"

namespace vestrano::xls {

// Raised when a read runs past the end of the data; the caller turns it into a message that says
// where (record, offset).
class EShortData : public EWorkbookFileError {
 public:
  EShortData() : EWorkbookFileError("data runs past the end") {}
};

class ByteReader {
 public:
  explicit ByteReader(std::span<const std::byte> data) : data_(data) {}

  std::size_t Position() const { return pos_; }
  std::size_t Size() const { return data_.size(); }
  std::size_t Remaining() const { return data_.size() - pos_; }
  bool AtEnd() const { return pos_ == data_.size(); }

  std::uint8_t U8() {
    Need(1);
    return static_cast<std::uint8_t>(data_[pos_++]);
  }
  std::uint16_t U16() {
    Need(2);
    const auto* p = reinterpret_cast<const unsigned char*>(data_.data() + pos_);
    pos_ += 2;
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
  }
  std::uint32_t U32() {
    Need(4);
    const auto* p = reinterpret_cast<const unsigned char*>(data_.data() + pos_);
    pos_ += 4;
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
  }
  std::uint64_t U64() {
    const std::uint64_t lo = U32();
    return lo | (static_cast<std::uint64_t>(U32()) << 32);
  }
  double F64() { return std::bit_cast<double>(U64()); }
  std::span<const std::byte> Bytes(std::size_t n) {
    Need(n);
    auto s = data_.subspan(pos_, n);
    pos_ += n;
    return s;
  }
  void Skip(std::size_t n) {
    Need(n);
    pos_ += n;
  }
  void Seek(std::size_t pos) {
    if (pos > data_.size()) throw EShortData();
    pos_ = pos;
  }

 private:
  void Need(std::size_t n) const {
    if (n > data_.size() - pos_) throw EShortData();
  }

  std::span<const std::byte> data_;
  std::size_t pos_ = 0;
};

}  // namespace vestrano::xls
