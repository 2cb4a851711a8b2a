// Loads arbitrary bytes as an .xlsx package and reads every cell's text. Any exception other
// than the workbook errors, any crash, leak or sanitizer report is a finding.
//
// The custom mutator mostly mutates one part inside the package and writes the package again
// (stored, with correct checksums), so that mutations reach the XML readers instead of dying
// at the ZIP layer; now and then it mutates the raw bytes to exercise the ZIP layer itself.
#include <zip.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "fuzz/load_and_walk.h"
#include "workbook/xlsx/xlsx_reader.h"

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t max_size);

namespace {

struct Entry {
  std::string name;
  std::vector<std::uint8_t> content;
};

bool Unpack(const std::uint8_t* data, std::size_t size, std::vector<Entry>& entries) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* src = zip_source_buffer_create(data, size, 0, &error);
  zip_error_fini(&error);
  if (!src) return false;
  zip_t* za = zip_open_from_source(src, ZIP_RDONLY, nullptr);
  if (!za) {
    zip_source_free(src);
    return false;
  }
  const zip_int64_t n = zip_get_num_entries(za, 0);
  for (zip_int64_t i = 0; i < n && i < 64; ++i) {
    zip_stat_t st;
    if (zip_stat_index(za, static_cast<zip_uint64_t>(i), 0, &st) != 0 || st.size > (1 << 20))
      continue;
    zip_file_t* f = zip_fopen_index(za, static_cast<zip_uint64_t>(i), 0);
    if (!f) continue;
    Entry e;
    e.name = st.name;
    e.content.resize(st.size);
    const zip_int64_t got = zip_fread(f, e.content.data(), st.size);
    zip_fclose(f);
    if (got < 0) continue;
    e.content.resize(static_cast<std::size_t>(got));
    entries.push_back(std::move(e));
  }
  zip_discard(za);
  return !entries.empty();
}

std::vector<std::uint8_t> Pack(const std::vector<Entry>& entries) {
  std::vector<std::uint8_t> out;
  zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, nullptr);
  zip_t* za = buffer ? zip_open_from_source(buffer, ZIP_TRUNCATE, nullptr) : nullptr;
  if (!za) {
    if (buffer) zip_source_free(buffer);
    return out;
  }
  zip_source_keep(buffer);
  for (const Entry& e : entries) {
    zip_source_t* s = zip_source_buffer(za, e.content.data(), e.content.size(), 0);
    const zip_int64_t idx = s ? zip_file_add(za, e.name.c_str(), s, ZIP_FL_OVERWRITE) : -1;
    if (idx < 0) {
      if (s) zip_source_free(s);
      continue;
    }
    zip_set_file_compression(za, static_cast<zip_uint64_t>(idx), ZIP_CM_STORE, 0);
  }
  if (zip_close(za) == 0) {
    zip_stat_t st;
    if (zip_source_stat(buffer, &st) == 0 && zip_source_open(buffer) == 0) {
      out.resize(st.size);
      zip_source_read(buffer, out.data(), st.size);
      zip_source_close(buffer);
    }
  } else {
    zip_discard(za);
  }
  zip_source_free(buffer);
  return out;
}

}  // namespace

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size,
                                               std::size_t max_size, unsigned int seed) {
  std::minstd_rand rng(seed);
  std::vector<Entry> entries;
  if (rng() % 8 == 0 || !Unpack(data, size, entries)) return LLVMFuzzerMutate(data, size, max_size);
  Entry& e = entries[rng() % entries.size()];
  const unsigned action = rng() % 16;
  if (action == 0 && entries.size() > 1) {
    entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(rng() % entries.size()));
  } else if (action == 1) {
    for (char& c : e.name)
      if (rng() % 4 == 0)
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c == '/' ? '\\' : c);
  } else {
    const std::size_t old = e.content.size();
    e.content.resize(old * 2 + 64);
    e.content.resize(LLVMFuzzerMutate(e.content.data(), old, e.content.size()));
  }
  const std::vector<std::uint8_t> packed = Pack(entries);
  if (packed.empty() || packed.size() > max_size) return LLVMFuzzerMutate(data, size, max_size);
  std::memcpy(data, packed.data(), packed.size());
  return packed.size();
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return vestrano::fuzz::LoadAndWalk(2'000'000, [&](vestrano::TWorkbook& book) {
    vestrano::xlsx::Read(book, std::span(reinterpret_cast<const std::byte*>(data), size), nullptr);
  });
}
