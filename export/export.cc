#include "export/export.h"

#include <filesystem>

#include "data/text.h"
#include "export/atomic_file.h"
#include "export/schema_check.h"
#include "export/xml_writer.h"

namespace vestrano {

ExportResult ExportStatement(const TFilingData& data, const std::string& absolute_path,
                             bool validate, const std::string& start_directory,
                             const std::string& schema_file) {
  ExportResult result;
  // The validator runs in another folder, so a relative path would not be found there.
  result.path = std::filesystem::path(absolute_path).is_absolute()
                    ? absolute_path
                    : std::filesystem::absolute(absolute_path).string();
  const TFilingDocument document = BuildFilingDocument(data);
  WriteFileAtomically(result.path, document.text);
  if (!validate) {
    result.message = ToValidUtf8("Soubor XML byl uložený do " + result.path);
    result.heading = result.message;
    return result;
  }
  result.validated = true;
  TSchemaCheck check = CheckSchema(result.path, start_directory, kValidatorTimeout, schema_file);
  result.verdict = check.verdict;
  // An invalid verdict names document lines; the user needs the spreadsheet rows behind them.
  result.output = result.verdict == Verdict::Invalid
                      ? AnnotateValidatorOutput(check.output, result.path, document.line_sources)
                      : std::move(check.output);
  result.message = ResultMessage(result.path, result.verdict, result.output);
  result.heading = ResultHeading(result.path, result.verdict);
  return result;
}

}  // namespace vestrano
