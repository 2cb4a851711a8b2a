#pragma once
// The export: the filing document written atomically, then the schema check.
// export/xml_writer.h has the document text in memory (BuildDocument) and the save dialog's
// name rule (WithXmlExtension); export/schema_check.h has the check on its own.
#include <string>

#include "data/records.h"

namespace vestrano {

enum class Verdict { Valid, Invalid, NotRun };

// The caption of the message box that shows ExportResult::message.
inline constexpr const char* kExportCaption = "Výsledok exportu XML";

struct ExportResult {
  std::string path;        // the absolute path written
  bool validated = false;  // a schema check was attempted
  Verdict verdict = Verdict::NotRun;
  // What the validator printed (stdout, then stderr), every byte as it came, or why the check
  // could not be completed. Pass it through ToValidUtf8 (data/text.h) to show it as text.
  std::string output;
  std::string message;  // the message box text the user is shown; valid UTF-8
  std::string heading;  // message up to where output follows (all of it when valid)
};

// Writes the document to the absolute path (a relative one is taken from the current directory),
// then (when validate) runs the schema check in start_directory (or next to the program's
// schema; schema_file, when not empty, names the schema outright). Raises EFileWriteError
// (export/atomic_file.h), naming the file and the system's reason, when the file cannot be
// written; the check is then not run.
ExportResult ExportStatement(const TFilingData& data, const std::string& absolute_path,
                             bool validate, const std::string& start_directory,
                             const std::string& schema_file = {});

}  // namespace vestrano
