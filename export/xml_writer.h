#pragma once
// The filing document: UTF-8 without byte-order mark, one element per line, CR LF after every
// line. Built in memory so that the file write and the tests see the same bytes.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/records.h"

namespace vestrano {

// The document with where each of its lines came from.
struct TFilingDocument {
  std::string text;
  // One entry per line (index = line number - 1): " (ř.č.N v sekci A1)" for a section record,
  // " (list Hlavička)" for VetaD, " (list Subjekt)" for VetaP, " (oddíl C)" for VetaC, and
  // empty for the lines that no record fed.
  std::vector<std::string> line_sources;
};
TFilingDocument BuildFilingDocument(const TFilingData& data);

// The period as VetaD states it: the month when filled, whatever the quarter holds; else the
// quarter; nullopt when neither is filled (the import reports it; nothing is made up).
struct TFilingPeriod {
  const char* attribute;  // "mesic" or "ctvrt"
  std::string value;
};
std::optional<TFilingPeriod> FilingPeriod(const tDataHeader& header);

// The whole document text for the statement.
std::string BuildDocument(const TFilingData& data);

// An attribute value as XML 1.0 can hold it inside double quotes: & < " as entity references,
// TAB LF CR as character references (a parser would turn them into blanks otherwise); characters
// XML 1.0 cannot hold are left out, and bytes that are not UTF-8 become U+FFFD.
std::string EscapeXml(std::string_view value);

// The filing form of an amount text ("." or "," fraction, optional sign, exponent, blanks
// around): its exact decimal value rounded to two decimals half away from zero, in fixed notation
// with ".", no trailing zeros, "0" for zero. nullopt when the text is not in that syntax.
std::optional<std::string> FilingAmount(std::string_view text);

// A section C total in the filing form: rounded to two decimals half away from zero.
std::string FilingTotal(long double value);

// The save dialog's name rule: the extension (".xml", ".txt") appended unless the name already
// ends in it (any case).
std::string WithSaveExtension(const std::string& name, std::string_view extension);
std::string WithXmlExtension(const std::string& name);  // with ".xml"

}  // namespace vestrano
