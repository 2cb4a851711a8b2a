// The floor for a streaming .xlsx reader built on libzip and libxml2: inflates every worksheet
// part and walks it with xmlTextReader, touching each cell's r, s and t attributes and the text
// of its v element. Shared strings are not resolved and nothing is kept. Prints the cells seen.
//
//   pull_walk FILE.xlsx
#include <libxml/xmlreader.h>
#include <zip.h>

#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

int ReadEntry(void* context, char* buffer, int len) {
  const zip_int64_t n = zip_fread(static_cast<zip_file_t*>(context), buffer, len);
  return n < 0 ? -1 : static_cast<int>(n);
}

int CloseEntry(void*) { return 0; }

struct Totals {
  unsigned long cells = 0;
  unsigned long checksum = 0;  // keeps the touched values live
};

void Walk(zip_t* archive, zip_uint64_t index, Totals& totals) {
  zip_file_t* entry = zip_fopen_index(archive, index, 0);
  if (!entry) return;
  xmlTextReaderPtr reader = xmlReaderForIO(ReadEntry, CloseEntry, entry, nullptr, nullptr,
                                           XML_PARSE_NONET | XML_PARSE_COMPACT);
  const xmlChar* c_name = xmlTextReaderConstString(reader, BAD_CAST "c");
  const xmlChar* v_name = xmlTextReaderConstString(reader, BAD_CAST "v");
  bool in_v = false;
  while (xmlTextReaderRead(reader) == 1) {
    const int type = xmlTextReaderNodeType(reader);
    if (type == XML_READER_TYPE_ELEMENT) {
      const xmlChar* name = xmlTextReaderConstLocalName(reader);
      if (name == c_name) {
        ++totals.cells;
        while (xmlTextReaderMoveToNextAttribute(reader) == 1) {
          const xmlChar* a = xmlTextReaderConstLocalName(reader);
          if ((a[0] == 'r' || a[0] == 's' || a[0] == 't') && a[1] == 0)
            totals.checksum += xmlTextReaderConstValue(reader)[0];
        }
      } else {
        in_v = name == v_name && !xmlTextReaderIsEmptyElement(reader);
      }
    } else if (type == XML_READER_TYPE_TEXT && in_v) {
      totals.checksum +=
          std::strlen(reinterpret_cast<const char*>(xmlTextReaderConstValue(reader)));
    } else if (type == XML_READER_TYPE_END_ELEMENT) {
      in_v = false;
    }
  }
  xmlFreeTextReader(reader);
  zip_fclose(entry);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: pull_walk FILE.xlsx\n");
    return 2;
  }
  int error = 0;
  zip_t* archive = zip_open(argv[1], ZIP_RDONLY, &error);
  if (!archive) {
    std::fprintf(stderr, "pull_walk: cannot open %s\n", argv[1]);
    return 2;
  }
  Totals totals;
  const zip_int64_t count = zip_get_num_entries(archive, 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    const std::string_view name = zip_get_name(archive, static_cast<zip_uint64_t>(i), 0);
    if (name.starts_with("xl/worksheets/") && name.ends_with(".xml"))
      Walk(archive, static_cast<zip_uint64_t>(i), totals);
  }
  zip_close(archive);
  std::printf("%lu cells (%lu)\n", totals.cells, totals.checksum);
  return 0;
}
