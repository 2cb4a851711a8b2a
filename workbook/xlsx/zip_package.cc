#include "workbook/xlsx/zip_package.h"

#include <zip.h>

#include <algorithm>

#include "workbook/errors.h"
#include "workbook/memory.h"

namespace vestrano::xlsx {

namespace {
constexpr const char* kNotXlsx = "The file is not a valid XLSX (Excel 2007) file.";

std::string ZipErrorText(zip_error_t* error) {
  const char* text = zip_error_strerror(error);
  return text ? text : "unknown ZIP error";
}
}  // namespace

std::string NormalizePartName(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  for (char c : name) {
    if (c == '\\') c = '/';
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    out.push_back(c);
  }
  while (!out.empty() && out.back() == '/') out.pop_back();
  std::size_t lead = 0;
  while (lead < out.size() && out[lead] == '/') ++lead;
  out.erase(0, lead);
  return out;
}

ZipPackage::ZipPackage(std::span<const std::byte> file) {
  if (file.empty()) throw EWorkbookFileError(kNotXlsx);
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(file.data(), file.size(), 0, &error);
  if (!source) {
    std::string text = ZipErrorText(&error);
    zip_error_fini(&error);
    throw EWorkbookFileError(std::string(kNotXlsx) + " (" + text + ")");
  }
  archive_ = zip_open_from_source(source, ZIP_RDONLY, &error);
  if (!archive_) {
    const int code = zip_error_code_zip(&error);
    std::string text = ZipErrorText(&error);
    zip_source_free(source);
    zip_error_fini(&error);
    if (code == ZIP_ER_NOZIP) throw EWorkbookFileError(kNotXlsx);
    throw EWorkbookFileError(std::string(kNotXlsx) + " (ZIP: " + text + ")");
  }
  zip_error_fini(&error);
  const zip_int64_t count = zip_get_num_entries(archive_, 0);
  if (count <= 0) {  // an empty archive holds no workbook; the destructor will not run here
    zip_discard(archive_);
    archive_ = nullptr;
    throw EWorkbookFileError(kNotXlsx);
  }
  for (zip_int64_t i = 0; i < count; ++i) {
    const char* name = zip_get_name(archive_, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW);
    if (!name) continue;
    std::string key = NormalizePartName(name);
    auto [it, inserted] = index_.emplace(key, static_cast<std::uint64_t>(i));
    // Of two names that differ only in separators, the one written with "/" wins.
    if (!inserted && std::string_view(name).find('\\') == std::string_view::npos) {
      const char* old = zip_get_name(archive_, it->second, ZIP_FL_ENC_RAW);
      if (old && std::string_view(old).find('\\') != std::string_view::npos)
        it->second = static_cast<std::uint64_t>(i);
    }
  }
}

ZipPackage::~ZipPackage() {
  if (archive_) zip_discard(archive_);
}

std::uint64_t ZipPackage::Find(std::string_view part_name) const {
  auto it = index_.find(NormalizePartName(part_name));
  return it == index_.end() ? kNotFound : it->second;
}

std::string ZipPackage::NameOf(std::uint64_t index) const {
  const char* name = zip_get_name(archive_, index, ZIP_FL_ENC_RAW);
  return name ? name : "";
}

std::uint64_t ZipPackage::DeclaredSize(std::uint64_t index) const {
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_stat_index(archive_, index, 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE)) return 0;
  return st.size;
}

bool ZipPackage::ReadWhole(std::string_view part_name, std::string& out) const {
  out.clear();
  const std::uint64_t index = Find(part_name);
  if (index == kNotFound) return false;
  PartStream stream(*this, index, NameOf(index));
  // Room for the declared size up front (only reserved, so a false claim costs no memory) spares
  // the copies of growing; past the cap a part grows as it is read.
  constexpr std::uint64_t kReserveCap = 64 << 20;
  out.reserve(static_cast<std::size_t>(std::min(stream.DeclaredSize(), kReserveCap)) + 1);
  AdviseHugePages(out.data(), out.capacity());
  char buffer[65536];
  for (;;) {
    const std::size_t n = stream.Read(buffer, sizeof buffer);
    if (n == 0) break;
    out.append(buffer, n);
  }
  return true;
}

PartStream::PartStream(const ZipPackage& package, std::uint64_t index, std::string name)
    : name_(std::move(name)) {
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_stat_index(package.archive_, index, 0, &st) != 0)
    Fail(ZipErrorText(zip_get_error(package.archive_)));
  if (st.valid & ZIP_STAT_SIZE) declared_size_ = st.size;
  if (declared_size_ > kMaxPartSize) Fail("the entry would inflate to more than 1 GiB");
  const std::uint64_t packed = (st.valid & ZIP_STAT_COMP_SIZE) ? st.comp_size : declared_size_;
  if (st.comp_method != ZIP_CM_STORE && declared_size_ > 4096 &&
      declared_size_ / std::max<std::uint64_t>(packed, 1) > kMaxCompressionRatio)
    Fail("the entry's compression ratio is not plausible");
  // The declared size bounds the read, so a directory that understates it cannot hide a bomb.
  limit_ = declared_size_;
  file_ = zip_fopen_index(package.archive_, index, 0);
  if (!file_) Fail(ZipErrorText(zip_get_error(package.archive_)));
}

PartStream::~PartStream() {
  if (file_) zip_fclose(file_);
}

void PartStream::Fail(std::string_view what) const {
  throw EWorkbookFileError("The ZIP entry " + name_ + " is damaged: " + std::string(what));
}

std::size_t PartStream::Read(char* buffer, std::size_t size) {
  if (at_end_ || size == 0) return 0;
  // Ask for one byte more than may remain, to notice an entry longer than it claims.
  const std::uint64_t room = limit_ - read_ + 1;
  const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(size, room));
  const zip_int64_t n = zip_fread(file_, buffer, want);
  if (n < 0) Fail(ZipErrorText(zip_file_get_error(file_)));
  if (n == 0) {
    at_end_ = true;
    return 0;
  }
  read_ += static_cast<std::uint64_t>(n);
  if (read_ > limit_) Fail("the entry inflates to more than its declared size");
  return static_cast<std::size_t>(n);
}

void PartStream::Drain() {
  char buffer[16384];
  while (Read(buffer, sizeof buffer) != 0) {
  }
}

}  // namespace vestrano::xlsx
