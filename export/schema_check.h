#pragma once
// The schema check of a written document: XMLStarlet's "val -e -s dphkh1_epo2.xsd P", started
// directly, and the verdict read from its standard output.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "export/export.h"

namespace vestrano {

inline constexpr const char* kSchemaFileName = "dphkh1_epo2.xsd";
inline constexpr std::chrono::milliseconds kValidatorTimeout{60'000};
// At most this much of what the validator prints is kept (for the report, the JSON and the
// window); a document with a few thousand faults is told in far less.
inline constexpr std::size_t kMaxValidatorOutput = 1 << 20;

// The validator on PATH: in each PATH folder in turn, "xmlstarlet" and then "xml". Empty when
// there is none.
std::string FindValidator();

// The folder the validator runs in: the start directory when it holds the schema, otherwise the
// program's installed copy (next to the executable, or <prefix>/share/vestrano/ for an executable
// in <prefix>/bin). The start directory when no copy is found; the validator then says so.
std::string SchemaDirectory(const std::string& start_directory, const std::string& executable_path);
std::string SchemaDirectory(const std::string& start_directory);  // this program's executable

// Valid when stdout begins with path + " - valid", Invalid when it begins with
// path + " - invalid", NotRun otherwise. Exact and case-sensitive.
Verdict VerdictOf(const std::string& path, std::string_view out);

struct TSchemaCheck {
  Verdict verdict = Verdict::NotRun;
  // stdout then stderr, every byte up to kMaxValidatorOutput (cut at a line's end, with a line
  // that says so); or why the check could not be completed
  std::string output;
};

// output cut to at most kMaxValidatorOutput bytes at the end of a line, with a line that says how
// much was left out (dropped: bytes already left out before); output as it is when it fits and
// nothing was dropped.
std::string CapValidatorOutput(std::string output, std::uint64_t dropped);

// Runs the validator on the document at the absolute path. A non-empty schema_file names the
// schema outright (a relative one is taken from the current directory) and wins over the
// start-directory and installed copies; the validator then runs in that file's folder.
TSchemaCheck CheckSchema(const std::string& path, const std::string& start_directory,
                         std::chrono::milliseconds timeout = kValidatorTimeout,
                         const std::string& schema_file = {});

// The validator's output with the source of each document line it names appended: a line that
// begins with path, ":", the line number, ".", the column and ":" gets line_sources[line - 1] at
// its end (before its line break). Every other line, and every byte, stays as it was.
std::string AnnotateValidatorOutput(std::string_view output, const std::string& path,
                                    const std::vector<std::string>& line_sources);

// The text shown under kExportCaption after the file was written to path. Valid UTF-8: bytes of
// the output that are not UTF-8 appear as U+FFFD.
std::string ResultMessage(const std::string& path, Verdict verdict, const std::string& output);
// The same text up to where the validator's output follows (all of it for a valid document), for
// a window that shows the output's lines apart.
std::string ResultHeading(const std::string& path, Verdict verdict);

}  // namespace vestrano
