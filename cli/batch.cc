#include "cli/batch.h"

#include <algorithm>
#include <array>
#include <csignal>
#include <filesystem>
#include <map>
#include <tuple>

#include "cli/czech.h"
#include "cli/report.h"
#include "data/text.h"
#include "export/atomic_file.h"
#include "export/export.h"
#include "export/xml_writer.h"
#include "import/client.h"
#include "import/run.h"
#include "workbook/model.h"
#include "workbook/tasks.h"

namespace vestrano::cli {

namespace fs = std::filesystem;

std::string Absolute(const std::string& path, const std::string& cwd) {
  if (!path.empty() && path[0] == '/') return path;
  return cwd == "/" ? "/" + path : cwd + "/" + path;
}

namespace {

// path with the part after the last "." of its last component replaced by extension (appended
// when there is none).
std::string WithExtension(const std::string& path, const char* extension) {
  const std::size_t sep = path.find_last_of('/');
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) return path + extension;
  return path.substr(0, dot) + extension;
}

std::string BaseName(const std::string& path) {
  const std::size_t sep = path.find_last_of('/');
  return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::string InFolder(const std::string& folder, const std::string& name) {
  return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

// A message on one line: CR and LF runs become one blank.
std::string OneLine(const std::string& text) {
  std::string out;
  for (char c : ToValidUtf8(text)) {
    if (c == '\r' || c == '\n') {
      if (!out.empty() && out.back() != ' ') out += ' ';
    } else {
      out += c;
    }
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

std::size_t StoredRecords(const TStatementRecords& r) {
  return r.a1.size() + r.a2.size() + r.a3.size() + r.a4.size() + (r.a5 ? 1 : 0) + r.b1.size() +
         r.b2.size() + (r.b3 ? 1 : 0);
}

}  // namespace

std::vector<std::string> ExpandArguments(const std::vector<std::string>& arguments, bool recursive,
                                         std::string& error) {
  std::vector<std::string> out;
  for (const std::string& arg : arguments) {
    std::error_code ec;
    if (!fs::is_directory(arg, ec)) {
      out.push_back(arg);
      continue;
    }
    std::vector<std::string> found;  // paths below the folder
    auto consider = [&](const fs::directory_entry& entry, const fs::path& relative) {
      const std::string name = entry.path().filename().string();
      std::error_code type_ec;
      if (name.starts_with("~$") || !IsWorkbookFileName(name) || !entry.is_regular_file(type_ec))
        return;
      found.push_back(relative.string());
    };
    if (recursive) {
      fs::recursive_directory_iterator it(arg, ec), end;
      for (; !ec && it != end; it.increment(ec))
        consider(*it, fs::path(it->path()).lexically_relative(arg));
    } else {
      fs::directory_iterator it(arg, ec), end;
      for (; !ec && it != end; it.increment(ec)) consider(*it, it->path().filename());
    }
    if (ec) {
      error = "složku " + arg + " nelze číst: " + ec.message();
      return {};
    }
    if (found.empty()) {
      error = "ve složce " + arg + " není žádný sešit (.xlsx, .xlsm, .xltx, .xltm, .xls, .xlt)";
      return {};
    }
    SortByName(found);
    for (const std::string& relative : found) out.push_back(InFolder(arg, relative));
  }
  return out;
}

std::string XmlPathOf(const std::string& workbook, const RunSettings& s) {
  if (s.output) return Absolute(*s.output, s.start_directory);
  if (s.output_dir)
    return Absolute(InFolder(*s.output_dir, WithExtension(BaseName(workbook), ".xml")),
                    s.start_directory);
  return Absolute(WithExtension(workbook, ".xml"), s.start_directory);
}

std::string ReportPathOf(const std::string& workbook, const RunSettings& s) {
  return Absolute(InFolder(s.report_dir.value_or(""), WithExtension(BaseName(workbook), ".txt")),
                  s.start_directory);
}

std::string FindCollision(const std::vector<std::string>& workbooks, const RunSettings& s) {
  std::map<std::string, const std::string*> writers;  // normalised path → workbook
  auto claim = [&](const std::string& path, const std::string& workbook) -> std::string {
    const std::string key = fs::path(path).lexically_normal().string();
    const auto [it, fresh] = writers.emplace(key, &workbook);
    if (fresh) return {};
    return *it->second + " i " + workbook + " by zapsaly týž soubor " + path;
  };
  for (const std::string& w : workbooks) {
    if (!s.no_export)
      if (std::string e = claim(XmlPathOf(w, s), w); !e.empty()) return e;
    if (s.report_dir)
      if (std::string e = claim(ReportPathOf(w, s), w); !e.empty()) return e;
  }
  return {};
}

std::string CheckOutputs(const std::vector<std::string>& workbooks, const RunSettings& s) {
  std::vector<std::string> inputs = workbooks;
  if (!s.schema.empty()) inputs.push_back(s.schema);
  for (const auto& [option, dir] :
       {std::pair{"--output-dir", &s.output_dir}, std::pair{"--report-dir", &s.report_dir}}) {
    std::error_code ec;
    if (*dir && fs::exists(Absolute(**dir, s.start_directory), ec) &&
        !fs::is_directory(Absolute(**dir, s.start_directory), ec))
      return std::string(option) + " určuje " + **dir + ", což není složka";
  }
  auto judge = [&](const std::string& path, bool named) -> std::string {
    std::error_code ec;
    if (!named && !fs::is_directory(fs::path(path).parent_path(), ec)) return {};
    return CheckOutputTarget(path, inputs).problem;
  };
  for (const std::string& w : workbooks) {
    if (!s.no_export)
      if (std::string e = judge(XmlPathOf(w, s), s.output.has_value()); !e.empty()) return e;
    if (s.report_dir)
      if (std::string e = judge(ReportPathOf(w, s), false); !e.empty()) return e;
  }
  return {};
}

std::string PeriodText(const tDataHeader& h) {
  const std::optional<TFilingPeriod> period = FilingPeriod(h);
  if (!period || h.rok.empty()) return "-";
  return (period->attribute == std::string_view("ctvrt") ? "Q" : "") + period->value + "/" + h.rok;
}

namespace {

// Hands progress on and cancels the import at its next step once the run is to stop.
class StopSink : public ProgressSink {
 public:
  StopSink(ProgressSink* inner, const std::atomic<int>& stop) : inner_(inner), stop_(stop) {}
  void Progress(std::string_view text, double fraction) override {
    if (inner_) inner_->Progress(text, fraction);
    if (stop_.load(std::memory_order_relaxed) != 0) cancel.Set();
  }

 private:
  ProgressSink* inner_;
  const std::atomic<int>& stop_;
};

}  // namespace

WorkbookOutcome RunWorkbook(const std::string& file, const RunSettings& settings, bool keep_report,
                            ProgressSink* progress, const std::function<void()>& after_import) {
  WorkbookOutcome out;
  out.file = file;
  const auto stopped = [&] {
    return settings.stop && settings.stop->load(std::memory_order_relaxed) != 0;
  };
  std::optional<StopSink> stop_sink;
  if (settings.stop) progress = &stop_sink.emplace(progress, *settings.stop);
  TStatement st;
  st.start_directory = settings.start_directory;
  st.release_workbook = true;  // the command line never shows the workbook
  st.workbook.ReadThreads = settings.read_threads;
  RunReport report;
  report.file = file;
  try {
    RunImport(st, file, progress);
    out.imported = true;
  } catch (const std::exception& e) {
    report.failure = e.what();
  } catch (...) {
    report.failure = "neznámá chyba";
  }
  if (after_import) after_import();
  // The last moment to leave the workbook without a trace: nothing of it is written yet.
  if (stopped()) {
    out.reached = Reached::Abandoned;
    out.imported = false;
    return out;
  }
  if (!report.failure && !settings.no_export) {
    try {
      report.export_result =
          ExportStatement(st.Filing(), XmlPathOf(file, settings), !settings.no_validate,
                          st.start_directory, settings.schema);
    } catch (const std::exception& e) {
      report.failure = e.what();
    } catch (...) {
      report.failure = "neznámá chyba";
    }
  }
  if (settings.report_dir) {
    std::string text = ReportText(st, report);
    if (report.failure) text += "vestrano-cli: " + ToValidUtf8(*report.failure) + "\n";
    try {
      WriteFileAtomically(ReportPathOf(file, settings), text);
    } catch (const std::exception& e) {
      if (!report.failure) report.failure = e.what();
    }
  }
  if (keep_report) out.report = settings.json ? ReportJson(st, report) : ReportText(st, report);

  out.failure = report.failure;
  if (report.export_result) out.xml = report.export_result->path;
  const TClient client = ClientOf(st.header, st.subject);
  out.dic = client.dic;
  out.period = PeriodText(st.header);
  out.form = client.form;
  out.rows = StoredRecords(st.records);
  out.warnings = st.warnings.size();
  out.errors = st.errors.size();
  const auto& r = report.export_result;
  if (report.failure) {
    out.check = "selhalo";
    out.status = 2;
  } else {
    out.check = !r ? "-" : !r->validated ? "vynecháno" : VerdictName(r->verdict);
    out.status = !st.errors.empty() || (r && r->validated && r->verdict != Verdict::Valid) ? 1 : 0;
  }
  return out;
}

std::vector<WorkbookOutcome> RunWorkbooks(const std::vector<std::string>& files,
                                          const RunSettings& settings, int jobs, bool keep_reports,
                                          const std::function<void(std::size_t)>& on_done) {
  std::vector<WorkbookOutcome> outcomes(files.size());
  const std::size_t wanted = std::min<std::size_t>(std::max(jobs, 1), files.size());
  // Workbooks side by side already keep the cores busy: each reads its sheets one by one.
  RunSettings each = settings;
  if (wanted > 1) each.read_threads = 1;
  // Each outcome goes in its workbook's place, so the order of the results is that of the input.
  auto run = [&](std::size_t i, int) {
    if (settings.stop && settings.stop->load(std::memory_order_relaxed) != 0) {
      outcomes[i].file = files[i];
      outcomes[i].reached = Reached::NotStarted;
      return;
    }
    try {
      outcomes[i] = RunWorkbook(files[i], each, keep_reports);
    } catch (const std::exception& e) {  // out of memory while reporting, say
      outcomes[i].file = files[i];
      outcomes[i].failure = e.what();
      outcomes[i].check = "selhalo";
      outcomes[i].status = 2;
    }
  };
  std::size_t reported = 0;
  RunTasks(files.size(), static_cast<int>(wanted), run, [&](std::size_t done) {
    if (done == reported) return;
    reported = done;
    if (on_done) on_done(done);
  });
  return outcomes;
}

std::string SummaryText(const std::vector<WorkbookOutcome>& outcomes) {
  constexpr std::size_t kColumns = 8;
  using Line = std::array<std::string, kColumns>;
  // Text columns left-aligned, counts right-aligned.
  constexpr std::array<bool, kColumns> kRight = {false, false, false, false,
                                                 true,  true,  true,  false};
  std::vector<Line> lines = {
      {"Soubor", "DIČ", "Období", "Druh", "Řádků", "Upozornění", "Chyb", "Ověření"}};
  for (const WorkbookOutcome& o : outcomes) {
    if (o.reached != Reached::Finished) continue;
    if (o.imported) {
      const auto shown = [](const std::string& s) { return s.empty() ? std::string("-") : s; };
      lines.push_back({o.file, shown(o.dic), o.period, shown(o.form), std::to_string(o.rows),
                       std::to_string(o.warnings), std::to_string(o.errors), o.check});
    } else {
      lines.push_back({o.file, "-", "-", "-", "-", "-", "-", o.check});
    }
    for (std::string& cell : lines.back()) cell = OneLine(cell);
  }
  std::array<std::size_t, kColumns> width{};
  for (const Line& line : lines)
    for (std::size_t c = 0; c < kColumns; ++c) width[c] = std::max(width[c], CharLength(line[c]));
  std::string out;
  for (const Line& line : lines) {
    std::string text;
    for (std::size_t c = 0; c < kColumns; ++c) {
      const std::string gap(width[c] - CharLength(line[c]), ' ');
      if (c) text += "  ";
      text += kRight[c] ? gap + line[c] : line[c] + gap;
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    out += text + "\n";
  }
  std::size_t finished = 0, with_errors = 0, invalid = 0;
  for (const WorkbookOutcome& o : outcomes) {
    if (o.reached != Reached::Finished) continue;
    if (o.failure) out += OneLine(o.file) + ": " + OneLine(*o.failure) + "\n";
    ++finished;
    with_errors += o.failure || o.errors > 0;
    invalid += o.check == "invalid";
  }
  out += "Celkem: " + Counted(finished, "sešit", "sešity", "sešitů") + ", " +
         std::to_string(with_errors) + " s chybami, " +
         Counted(invalid, "neplatný", "neplatné", "neplatných") + "\n";
  return out;
}

std::string StoppedText(const std::vector<WorkbookOutcome>& outcomes, int signal) {
  std::vector<std::pair<std::string_view, std::string>> lines;  // state, what
  std::size_t written = 0;
  for (const WorkbookOutcome& o : outcomes) {
    std::string what = OneLine(o.file);
    std::string_view state;
    if (o.xml) {
      state = "zapsán";
      what += " → " + OneLine(*o.xml);
      ++written;
    } else if (o.reached == Reached::Abandoned) {
      state = "přerušen";
    } else if (o.reached == Reached::NotStarted) {
      state = "nezahájen";
    } else {
      state = o.failure ? "selhal" : "hotov";
    }
    lines.emplace_back(state, std::move(what));
  }
  const std::size_t not_written = outcomes.size() - written;
  const std::string name = signal == SIGINT    ? "SIGINT"
                           : signal == SIGTERM ? "SIGTERM"
                                               : std::to_string(signal);
  // "1 sešit zapsán", "3 sešity zapsány", "5 sešitů zapsáno".
  const auto workbooks = [](std::size_t n, std::string_view one, std::string_view few,
                            std::string_view many) {
    return Counted(n, "sešit", "sešity", "sešitů") + " " +
           std::string(PluralForm(n, one, few, many));
  };
  std::string out = "vestrano-cli: přerušeno signálem " + name + ": " +
                    workbooks(written, "zapsán", "zapsány", "zapsáno") + ", " +
                    workbooks(not_written, "nezapsán", "nezapsány", "nezapsáno") + "\n";
  const std::size_t width = CharLength("nezahájen");  // the longest state
  for (const auto& [state, what] : lines) {
    const std::string gap(width - CharLength(state) + 2, ' ');
    out += "  " + std::string(state) + gap + what + "\n";
  }
  return out;
}

std::vector<std::string> DoubleFilings(const std::vector<WorkbookOutcome>& outcomes) {
  std::vector<std::tuple<std::string, std::string, std::string>> keys;
  std::vector<std::vector<std::string>> groups;
  for (const WorkbookOutcome& o : outcomes) {
    if (!o.imported || o.dic.empty()) continue;  // nothing identifies the client
    const auto key = std::make_tuple(o.dic, o.period, o.form);
    const auto at = std::find(keys.begin(), keys.end(), key);
    if (at == keys.end()) {
      keys.push_back(key);
      groups.push_back({o.file});
    } else {
      groups[static_cast<std::size_t>(at - keys.begin())].push_back(o.file);
    }
  }
  std::vector<std::string> lines;
  for (const auto& group : groups) {
    if (group.size() < 2) continue;
    std::string line = "Možné dvojí podání: ";
    for (std::size_t i = 0; i < group.size(); ++i) line += (i ? ", " : "") + OneLine(group[i]);
    lines.push_back(line);
  }
  return lines;
}

}  // namespace vestrano::cli
