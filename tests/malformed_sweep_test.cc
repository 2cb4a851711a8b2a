// Every committed workbook, cut short and with bytes changed, loaded through the import: each load
// ends with a statement (whose XML is then built) or a workbook error, never with a crash, a hang
// or any other exception. The damage is deterministic, so a failure names a case that can be
// replayed; its bytes are kept in the build folder to become a fixture.
#include <gtest/gtest.h>
#include <zip.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <ostream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "export/xml_writer.h"
#include "import/run.h"
#include "support/sheet_builder.h"
#include "support/xlsx_package.h"
#include "workbook/errors.h"
#include "workbook/xls/xls_reader.h"
#include "workbook/xlsx/xlsx_reader.h"

namespace vestrano {
namespace {

namespace fs = std::filesystem;

const fs::path kSource = VESTRANO_SOURCE_DIR;

// Damaged copies of each workbook: raw byte changes, and for .xlsx also changes inside the
// inflated parts of the package (written again, stored), which reach the XML readers instead of
// stopping at the ZIP layer's checksums.
constexpr int kRawFlips = 300;
constexpr int kPartFlips = 300;
constexpr std::size_t kFlipBytes = 2 << 20;  // workbooks up to this size inflated get every flip
// A single load that takes longer than this is a hang.
constexpr auto kHangLimit = std::chrono::seconds(30);

enum class Format { Xlsx, Xls };

struct Fixture {
  fs::path path;
  std::string relative;  // to the source folder, for messages and the seed
  Format format;
};
void PrintTo(const Fixture& f, std::ostream* os) { *os << f.relative; }

std::vector<Fixture> Fixtures() {
  std::vector<Fixture> out;
  auto add = [&](const fs::path& p) {
    std::string ext = p.extension().string();
    for (char& c : ext) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    Format format;
    if (ext == ".xlsx" || ext == ".xlsm" || ext == ".xltx" || ext == ".xltm")
      format = Format::Xlsx;
    else if (ext == ".xls" || ext == ".xlt")
      format = Format::Xls;
    else
      return;
    out.push_back({p, fs::relative(p, kSource).string(), format});
  };
  for (const auto& e : fs::recursive_directory_iterator(kSource / "tests/fixtures"))
    if (e.is_regular_file()) add(e.path());
  for (const auto& e : fs::directory_iterator(kSource / "examples"))
    if (e.is_regular_file()) add(e.path());
  std::sort(out.begin(), out.end(),
            [](const Fixture& a, const Fixture& b) { return a.relative < b.relative; });
  return out;
}

std::vector<std::byte> ReadBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::vector<char> chars((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::byte> out(chars.size());
  std::transform(chars.begin(), chars.end(), out.begin(), [](char c) { return std::byte(c); });
  return out;
}

std::uint32_t Seed(const std::string& text) {  // FNV-1a: the same on every machine
  std::uint32_t h = 2166136261u;
  for (unsigned char c : text) h = (h ^ c) * 16777619u;
  return h;
}

// Changes 1 to 4 bytes: a whole byte replaced, or one bit flipped.
template <class Bytes>
std::string Damage(Bytes& bytes, std::mt19937& rng) {
  std::string what;
  const int count = 1 + static_cast<int>(rng() % 4);
  for (int i = 0; i < count && !bytes.empty(); ++i) {
    const std::size_t at = rng() % bytes.size();
    const unsigned old = static_cast<unsigned char>(bytes[at]);
    const unsigned now = rng() % 2 ? old ^ (1u << (rng() % 8)) : (old + 1 + rng() % 255) % 256;
    bytes[at] = static_cast<typename Bytes::value_type>(now);
    what += (what.empty() ? "" : ", ") + std::to_string(at) + ": " + std::to_string(old) + "->" +
            std::to_string(now);
  }
  return what;
}

struct Part {
  std::string name, content;
};

std::vector<Part> Unpack(const std::vector<std::byte>& file) {
  std::vector<Part> parts;
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* src = zip_source_buffer_create(file.data(), file.size(), 0, &error);
  zip_error_fini(&error);
  zip_t* za = src ? zip_open_from_source(src, ZIP_RDONLY, nullptr) : nullptr;
  if (!za) {
    if (src) zip_source_free(src);
    return parts;
  }
  for (zip_int64_t i = 0; i < zip_get_num_entries(za, 0); ++i) {
    zip_stat_t st;
    zip_file_t* f = zip_stat_index(za, i, 0, &st) == 0 ? zip_fopen_index(za, i, 0) : nullptr;
    if (!f) continue;
    Part part{st.name, std::string(st.size, '\0')};
    const zip_int64_t got = zip_fread(f, part.content.data(), st.size);
    zip_fclose(f);
    if (got == static_cast<zip_int64_t>(st.size)) parts.push_back(std::move(part));
  }
  zip_discard(za);
  return parts;
}

// Fails the process, naming the case, when one load runs past the limit.
class Watchdog {
 public:
  Watchdog() : thread_([this] { Watch(); }) {}
  ~Watchdog() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }
  void Start(std::string what) {
    std::lock_guard lock(mutex_);
    what_ = std::move(what);
    started_ = std::chrono::steady_clock::now();
    running_ = true;
  }
  void Done() {
    std::lock_guard lock(mutex_);
    running_ = false;
  }

 private:
  void Watch() {
    std::unique_lock lock(mutex_);
    while (!stop_) {
      wake_.wait_for(lock, std::chrono::milliseconds(200));
      if (running_ && std::chrono::steady_clock::now() - started_ > kHangLimit) {
        std::fprintf(stderr, "hang: %s still loading after %lld s\n", what_.c_str(),
                     static_cast<long long>(kHangLimit.count()));
        std::abort();
      }
    }
  }
  std::mutex mutex_;
  std::condition_variable wake_;
  std::string what_;
  std::chrono::steady_clock::time_point started_;
  bool running_ = false, stop_ = false;
  std::thread thread_;
};

class MalformedSweep : public ::testing::TestWithParam<Fixture> {
 protected:
  // Loads the bytes as the import does after reading the file; returns what ended the run when
  // it was not a statement or a workbook error.
  std::string Load(const std::vector<std::byte>& bytes) {
    if (GetParam().format == Format::Xlsx) {
      // Sheets read on threads of their own give the same book, or the same error.
      const std::string one_by_one = Outcome(bytes, {.threads = 1});
      const std::string at_once = Outcome(bytes, {.threads = 3, .parallel_min_bytes = 0});
      if (one_by_one != at_once)
        return "read at once: " + at_once.substr(0, 200) +
               "\nread one by one: " + one_by_one.substr(0, 200);
    }
    TStatement st;
    try {
      TWorkbook book;
      if (GetParam().format == Format::Xlsx)
        xlsx::Read(book, bytes, nullptr, {.threads = 1});
      else
        xls::Read(book, bytes, nullptr);
      ImportWorkbook(st, std::move(book));
      BuildDocument(st.Filing());
      ++statements_;
    } catch (const EWorkbookError&) {
    } catch (const EListIndexError&) {  // a failed cell access ends the run with this
    } catch (const std::exception& e) {
      return std::string("exception: ") + e.what();
    } catch (...) {
      return "an exception that is not a std::exception";
    }
    return {};
  }

  // The book a load gives (its fingerprint), or its error.
  static std::string Outcome(const std::vector<std::byte>& bytes,
                             const xlsx::ReadOptions& options) {
    TWorkbook book;
    try {
      xlsx::Read(book, bytes, nullptr, options);
    } catch (const std::exception& e) {
      return std::string("error: ") + e.what();
    }
    return test::BookFingerprint(book);
  }

  void Check(const std::vector<std::byte>& bytes, const std::string& what) {
    watchdog_.Start(GetParam().relative + " " + what);
    const std::string failure = Load(bytes);
    watchdog_.Done();
    ++loads_;
    if (failure.empty()) return;
    // Kept for replay, and to become a fixture once it is fixed.
    const fs::path keep = fs::path(VESTRANO_BINARY_DIR) / "malformed-sweep-failures" /
                          (fs::path(GetParam().relative).filename().string() + "." +
                           std::to_string(Seed(what)) + GetParam().path.extension().string());
    fs::create_directories(keep.parent_path());
    std::ofstream(keep, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    ADD_FAILURE() << GetParam().relative << " " << what << ": " << failure << " (bytes kept in "
                  << keep.string() << ")";
  }

  Watchdog watchdog_;
  int loads_ = 0, statements_ = 0;
};

TEST_P(MalformedSweep, EveryDamagedCopyLoadsOrFailsCleanly) {
  const Fixture& f = GetParam();
  const std::vector<std::byte> original = ReadBytes(f.path);
  ASSERT_FALSE(original.empty()) << f.relative;
  std::mt19937 rng(Seed(f.relative));

  // Whole, through the file reading of the import too.
  {
    TStatement st;
    try {
      RunImport(st, f.path.string());
    } catch (const EWorkbookError&) {
    } catch (const EListIndexError&) {
    }
  }

  // Cut short: the first bytes, the header, fractions, and the end where both formats keep their
  // directories.
  const std::size_t n = original.size();
  std::vector<std::size_t> lengths = {0, 1, 4, 8, 30, 512, n - 1, n > 22 ? n - 22 : 0};
  for (std::size_t k = 1; k < 16; ++k) lengths.push_back(n * k / 16);
  for (int i = 0; i < 8; ++i) lengths.push_back(rng() % n);
  std::sort(lengths.begin(), lengths.end());
  lengths.erase(std::unique(lengths.begin(), lengths.end()), lengths.end());
  for (std::size_t len : lengths) {
    if (len >= n) continue;
    Check({original.begin(), original.begin() + static_cast<std::ptrdiff_t>(len)},
          "cut to " + std::to_string(len) + " bytes");
  }

  // Every copy is loaded whole, so a package of many megabytes inflated (the hostile ones that
  // hold a cell's text of 10 MB) gets fewer copies: about the same number of bytes in all.
  std::size_t inflated = original.size();
  const std::vector<Part> parts = f.format == Format::Xlsx ? Unpack(original) : std::vector<Part>();
  if (!parts.empty()) inflated = 0;
  for (const Part& p : parts) inflated += p.content.size();
  const auto scaled = [&](int flips) {
    return static_cast<int>(std::clamp<std::size_t>(
        flips * kFlipBytes / std::max<std::size_t>(inflated, 1), 30, flips));
  };
  for (int i = 0; i < scaled(kRawFlips); ++i) {
    std::vector<std::byte> bytes = original;
    const std::string what = Damage(bytes, rng);
    Check(bytes, "bytes changed (" + what + ")");
  }

  if (f.format == Format::Xlsx) {
    if (!parts.empty()) {
      for (int i = 0; i < scaled(kPartFlips); ++i) {
        std::vector<Part> changed = parts;
        Part& part = changed[rng() % changed.size()];
        const std::string what = Damage(part.content, rng);
        test::XlsxPackage package;
        for (const Part& p : changed) package.Add(p.name, p.content, true);
        Check(package.Bytes(), part.name + " changed (" + what + ")");
      }
    }
  }
  std::printf("%s: %d damaged loads, %d of them read as a statement\n", f.relative.c_str(), loads_,
              statements_);
}

std::string CaseName(const ::testing::TestParamInfo<Fixture>& info) {
  std::string name = info.param.relative;
  for (char& c : name)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) c = '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Fixtures, MalformedSweep, ::testing::ValuesIn(Fixtures()), CaseName);

}  // namespace
}  // namespace vestrano
