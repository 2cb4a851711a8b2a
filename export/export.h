#pragma once
// The export: the filing document written atomically, then the schema check.
#include <string>

#include "data/records.h"

namespace vestrano {

enum class Verdict { Valid, Invalid, NotRun };

struct ExportResult {
  std::string path;        // the absolute path written
  bool validated = false;  // a schema check was attempted
  Verdict verdict = Verdict::NotRun;
  std::string output;   // what the validator printed (stdout, then stderr), or why it did not run
  std::string message;  // the message box text the user is shown
};

// Writes the document to the absolute path, then (when validate) runs the schema check in
// start_directory (or next to the program's schema). Raises an exception naming the file and the
// system's reason when the file cannot be written.
ExportResult ExportStatement(const TFilingData& data, const std::string& absolute_path,
                             bool validate, const std::string& start_directory);

}  // namespace vestrano
