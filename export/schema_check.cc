#include "export/schema_check.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "data/text.h"
#include "export/command.h"

namespace vestrano {

namespace {

namespace fs = std::filesystem;

bool IsExecutableFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

bool HoldsSchema(const fs::path& folder) {
  std::error_code ec;
  return !folder.empty() && fs::is_regular_file(folder / kSchemaFileName, ec);
}

std::string DurationText(std::chrono::milliseconds d) {
  if (d.count() % 1000 == 0) return std::to_string(d.count() / 1000) + " s";
  return std::to_string(d.count()) + " ms";
}

}  // namespace

std::string FindValidator() {
  const char* path = std::getenv("PATH");
  std::string_view rest = path ? path : "";
  for (;;) {
    const std::size_t colon = rest.find(':');
    std::string folder(rest.substr(0, colon));
    if (folder.empty()) folder = ".";  // an empty PATH entry is the current folder
    for (const char* name : {"xmlstarlet", "xml"}) {
      const std::string candidate = folder + "/" + name;
      if (IsExecutableFile(candidate)) {
        std::error_code ec;
        const fs::path absolute = fs::absolute(candidate, ec);
        return ec ? candidate : absolute.string();
      }
    }
    if (colon == std::string_view::npos) break;
    rest.remove_prefix(colon + 1);
  }
  return {};
}

std::string SchemaDirectory(const std::string& start_directory,
                            const std::string& executable_path) {
  if (HoldsSchema(start_directory)) return start_directory;
  const fs::path bin = fs::path(executable_path).parent_path();
  if (HoldsSchema(bin)) return bin.string();
  const fs::path shared = bin.parent_path() / "share" / "vestrano";
  if (HoldsSchema(shared)) return shared.string();
  return start_directory;
}

std::string SchemaDirectory(const std::string& start_directory) {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return SchemaDirectory(start_directory, ec ? std::string() : self.string());
}

Verdict VerdictOf(const std::string& path, std::string_view out) {
  if (out.starts_with(path + " - valid")) return Verdict::Valid;
  if (out.starts_with(path + " - invalid")) return Verdict::Invalid;
  return Verdict::NotRun;
}

TSchemaCheck CheckSchema(const std::string& path, const std::string& start_directory,
                         std::chrono::milliseconds timeout, const std::string& schema_file) {
  TSchemaCheck check;
  const std::string validator = FindValidator();
  if (validator.empty()) {
    check.output = "Validátor XMLStarlet (xmlstarlet nebo xml) nebyl nalezen v PATH.";
    return check;
  }
  std::string folder;
  std::string schema_name = kSchemaFileName;
  if (schema_file.empty()) {
    folder = SchemaDirectory(start_directory);
  } else {
    std::error_code ec;
    const fs::path schema = fs::absolute(schema_file, ec);
    if (ec || !fs::is_regular_file(schema, ec)) {
      check.output = "Soubor schématu " + schema_file + " nebyl nalezen.";
      return check;
    }
    folder = schema.parent_path().string();
    schema_name = schema.filename().string();
  }
  const TCommandResult run = RunCommand({validator, "val", "-e", "-s", schema_name, path}, folder,
                                        timeout, kMaxValidatorOutput);
  if (!run.started) {
    check.output =
        "Validátor " + validator + " nelze spustit ve složce " + folder + ": " + run.failure + ".";
    return check;
  }
  check.output = CapValidatorOutput(run.out + run.err, run.out_dropped + run.err_dropped);
  if (run.timed_out) {
    if (!check.output.empty() && check.output.back() != '\n') check.output += '\n';
    check.output += "Validátor neskončil do " + DurationText(timeout) + " a byl zastaven.";
    return check;
  }
  if (!run.exited) {
    // Ended by a signal (a stop of the whole session reaches it too): whatever it printed before
    // is no verdict on the whole document.
    if (!check.output.empty() && check.output.back() != '\n') check.output += '\n';
    check.output += "Validátor byl ukončen signálem a ověření nedokončil.";
    return check;
  }
  check.verdict = VerdictOf(path, run.out);
  if (check.verdict == Verdict::NotRun && check.output.empty()) {
    check.output = "Validátor nevypsal žádný výsledek (návratový kód " +
                   std::to_string(run.exit_status) + ").";
  }
  return check;
}

std::string CapValidatorOutput(std::string output, std::uint64_t dropped) {
  if (output.size() <= kMaxValidatorOutput && dropped == 0) return output;
  // Room for the closing line; whole lines only, so that no line is cut in two.
  const std::size_t keep = kMaxValidatorOutput - 200;
  std::size_t end = std::min(output.size(), keep);
  if (end < output.size()) {
    const std::size_t line_end = output.rfind('\n', end - 1);
    end = line_end == std::string::npos ? end : line_end + 1;
  }
  dropped += output.size() - end;
  output.resize(end);
  if (!output.empty() && output.back() != '\n') output += '\n';
  output += "Výpis validátoru byl zkrácen na " + std::to_string(kMaxValidatorOutput >> 20) +
            " MB: " + std::to_string(dropped) + " dalších bajtů bylo vynecháno.\n";
  return output;
}

namespace {
// The document line that a validator line "path:LINE.COLUMN: …" names; 0 when it names none.
std::size_t NamedLine(std::string_view line, const std::string& path) {
  if (!line.starts_with(path) || line.size() <= path.size() || line[path.size()] != ':') return 0;
  std::size_t i = path.size() + 1;
  std::size_t number = 0;
  const std::size_t first_digit = i;
  while (i < line.size() && line[i] >= '0' && line[i] <= '9') {
    if (number > 100'000'000) return 0;  // no document of ours has that many lines
    number = number * 10 + static_cast<std::size_t>(line[i++] - '0');
  }
  if (i == first_digit || i >= line.size() || line[i++] != '.') return 0;
  const std::size_t column_start = i;
  while (i < line.size() && line[i] >= '0' && line[i] <= '9') ++i;
  if (i == column_start || i >= line.size() || line[i] != ':') return 0;
  return number;
}
}  // namespace

std::string AnnotateValidatorOutput(std::string_view output, const std::string& path,
                                    const std::vector<std::string>& line_sources) {
  std::string out;
  out.reserve(output.size());
  while (!output.empty()) {
    std::size_t end = output.find('\n');
    std::string_view line = output.substr(0, end);
    std::string_view brk = end == std::string_view::npos ? std::string_view() : "\n";
    if (line.ends_with('\r')) {
      line.remove_suffix(1);
      brk = end == std::string_view::npos ? "\r" : "\r\n";
    }
    out += line;
    const std::size_t n = NamedLine(line, path);
    if (n >= 1 && n <= line_sources.size()) out += line_sources[n - 1];
    out += brk;
    output.remove_prefix(end == std::string_view::npos ? output.size() : end + 1);
  }
  return out;
}

std::string ResultHeading(const std::string& path, Verdict verdict) {
  const std::string gap = "\r\n\r\n";
  switch (verdict) {
    case Verdict::Valid:
      return ToValidUtf8("Soubor XML bol uložený do " + path + gap +
                         "Ověření podle schémy XSD proběhlo bez chyb.");
    case Verdict::Invalid:
      return ToValidUtf8("Soubor XML byl uložený do " + path + gap +
                         "Overenie podľa schémy XSD prebehlo s chybami." + gap +
                         "Výpis chýb:" + gap);
    case Verdict::NotRun:
      break;
  }
  return ToValidUtf8("Soubor XML byl uložený do " + path + gap +
                     "Ověření podle schémy XSD se nepodařilo provést." + gap);
}

std::string ResultMessage(const std::string& path, Verdict verdict, const std::string& output) {
  const std::string heading = ResultHeading(path, verdict);
  return verdict == Verdict::Valid ? heading : heading + ToValidUtf8(output);
}

}  // namespace vestrano
