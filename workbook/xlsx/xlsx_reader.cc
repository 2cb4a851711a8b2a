// The package reader: the order of the steps, the progress texts, and who reads which part.
#include "workbook/xlsx/xlsx_reader.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <memory>
#include <mutex>
#include <vector>

#include "workbook/tasks.h"
#include "workbook/xlsx/parts.h"
#include "workbook/xlsx/xml_helper.h"
#include "workbook/xlsx/zip_package.h"

namespace vestrano::xlsx {

namespace {

std::string SheetProgressText(std::size_t i, std::size_t n, const std::string& name) {
  std::string text = "Worksheet " + std::to_string(i + 1) + "/" + std::to_string(n);
  if (!name.empty()) text += ": " + name;
  return text;
}

// What every sheet reader shares, whichever thread it runs on.
struct SheetsJob {
  std::span<const std::byte> file;
  TWorkbook& book;
  const WorkbookInfo& info;
  const std::vector<std::uint32_t>& xf_formats;
  SharedStrings& strings;
  std::atomic<std::uint64_t> structure_work{0};
};

// The declared size of each sheet's part, 0 for a missing one.
std::vector<std::uint64_t> PartSizes(const ZipPackage& package, const WorkbookInfo& info) {
  std::vector<std::uint64_t> sizes;
  for (const SheetEntry& entry : info.sheets) {
    const std::uint64_t index = package.Find(entry.part);
    sizes.push_back(index == ZipPackage::kNotFound ? 0 : package.DeclaredSize(index));
  }
  return sizes;
}

// How many threads read the sheets: one per big part, as far as the options allow; 1 means
// sheet after sheet.
int ThreadsFor(const ReadOptions& options, const std::vector<std::uint64_t>& sizes) {
  const auto big = std::count_if(sizes.begin(), sizes.end(), [&](std::uint64_t size) {
    return size >= options.parallel_min_bytes;
  });
  if (big < 2) return 1;
  return static_cast<int>(std::min<std::ptrdiff_t>(ThreadsOrCores(options.threads), big));
}

void ReadOneByOne(SheetsJob& job, const ZipPackage& package, ProgressSink* progress) {
  const std::size_t n = job.info.sheets.size();
  SheetContext ctx{package, job.book, job.xf_formats, job.strings, job.structure_work};
  ctx.progress = progress;
  for (std::size_t i = 0; i < n; ++i) {
    TExportWorkSheet& sheet = job.book.Sheets.Items(static_cast<int>(i));
    ctx.progress_text = SheetProgressText(i, n, sheet.Name);
    ctx.progress_from = static_cast<double>(i) / static_cast<double>(n);
    ctx.progress_span = 1.0 / static_cast<double>(n);
    Step(progress, ctx.progress_text, ctx.progress_from);
    ReadWorksheet(ctx, job.info.sheets[i], sheet);
  }
}

// Reads the sheets on threads of their own, biggest parts first, while the caller's thread
// reports the progress (a window's sink must be called from its own thread). The result is that
// of reading them one by one: every sheet the same, and the error of the first sheet that fails.
void ReadAtOnce(SheetsJob& job, const std::vector<std::uint64_t>& sizes, int threads,
                ProgressSink* progress) {
  const std::size_t n = job.info.sheets.size();
  std::vector<std::size_t> order(n);
  for (std::size_t i = 0; i < n; ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return sizes[a] > sizes[b]; });

  // Nothing a sheet reader does may change the format table now: it only reads it.
  const std::uint32_t date_format = job.book.BuiltinFormat(14);
  const std::uint32_t date_time_format = job.book.BuiltinFormat(22);
  std::mutex book_lock;
  job.strings.ShareAmongThreads(&book_lock);

  std::vector<std::atomic<double>> share(n);  // of each sheet's part read so far
  std::vector<std::atomic<bool>> started(n);
  std::vector<std::exception_ptr> errors(n);
  std::atomic<std::size_t> first_failed{n};  // sheets after it need not be read any more
  // libzip reads one archive on one thread only: each thread opens its own over the bytes.
  std::vector<std::unique_ptr<ZipPackage>> packages(static_cast<std::size_t>(threads));
  const CancelFlag* cancel = progress ? &progress->cancel : nullptr;

  auto read_sheet = [&](std::size_t k, int worker) {
    const std::size_t i = order[k];
    if (i <= first_failed.load()) {
      started[i].store(true);
      try {
        const QuietXmlErrors quiet;
        auto& package = packages[static_cast<std::size_t>(worker)];
        if (!package) package = std::make_unique<ZipPackage>(job.file);
        SheetContext ctx{*package, job.book, job.xf_formats, job.strings, job.structure_work};
        ctx.book_lock = &book_lock;
        ctx.progress_share = &share[i];
        ctx.cancel = cancel;
        ctx.date_format = date_format;
        ctx.date_time_format = date_time_format;
        ReadWorksheet(ctx, job.info.sheets[i], job.book.Sheets.Items(static_cast<int>(i)));
      } catch (...) {
        errors[i] = std::current_exception();
        std::size_t seen = first_failed.load();
        while (i < seen && !first_failed.compare_exchange_weak(seen, i)) {
        }
      }
    }
    share[i].store(1.0);
  };

  auto report = [&] {
    if (!progress) return;
    // The text names the first sheet being read (else the first one left).
    double done = 0;
    std::size_t current = n, left = n;
    for (std::size_t i = 0; i < n; ++i) {
      const double s = share[i].load();
      done += s;
      if (s < 1.0 && left == n) left = i;
      if (s < 1.0 && started[i].load() && current == n) current = i;
    }
    if (current == n) current = left == n ? n - 1 : left;
    progress->Progress(
        SheetProgressText(current, n, job.book.Sheets.Items(static_cast<int>(current)).Name),
        std::clamp(done / static_cast<double>(n), 0.0, 1.0));
  };

  report();
  // A cancel stops the sheets being read at their next step and the others from starting.
  RunTasks(
      n, threads, read_sheet, [&](std::size_t) { report(); }, kWatchEvery, cancel);
  job.strings.ShareAmongThreads(nullptr);
  if (cancel) cancel->ThrowIfSet();
  // A sheet read alongside may have stopped a sheet before it at the text budget; read one by
  // one, the text would have passed it at the first sheet whose text takes it past, unless an
  // earlier sheet failed first.
  const std::size_t failed = first_failed.load();
  const int stop_at = static_cast<int>(failed == n ? n : failed + 1);
  if (const TExportWorkSheet* passed = job.book.TextBudgetPassedAt(stop_at))
    job.book.FailTextBudget(*passed);
  if (failed < n) std::rethrow_exception(errors[failed]);
}

}  // namespace

void Read(TWorkbook& book, std::span<const std::byte> file, ProgressSink* progress,
          const ReadOptions& options) {
  const QuietXmlErrors quiet;
  ZipPackage package(file);
  Step(progress, "Loading", 0);
  const WorkbookInfo info = ReadWorkbookPart(package, book);
  const std::vector<std::uint32_t> xf_formats = ReadStyles(package, info.styles_part, book);
  for (const SheetEntry& entry : info.sheets) book.AddSheet(entry.name);

  Step(progress, "Shared strings", 0);
  SharedStrings strings(book, info.shared_strings_part);
  strings.Load(package);

  SheetsJob job{file, book, info, xf_formats, strings};
  const std::vector<std::uint64_t> sizes = PartSizes(package, info);
  const int threads = ThreadsFor(options, sizes);
  if (threads > 1)
    ReadAtOnce(job, sizes, threads, progress);
  else
    ReadOneByOne(job, package, progress);
}

}  // namespace vestrano::xlsx
