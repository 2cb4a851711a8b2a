#include "workbook/xlsx/xml_helper.h"

#include <libxml/parser.h>

#include <climits>

#include "workbook/errors.h"
#include "workbook/xlsx/zip_package.h"

namespace vestrano::xlsx {

namespace {
// No network, no DTD loading or validation, no entity substitution; CDATA arrives as text.
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOCDATA | XML_PARSE_NOERROR |
                              XML_PARSE_NOWARNING | XML_PARSE_COMPACT;

std::string Where(const std::string& part, const xmlError* e) {
  std::string out = "The part " + part + " is not well-formed XML";
  if (e && e->line > 0) {
    out += " (line " + std::to_string(e->line);
    if (e->int2 > 0) out += ", column " + std::to_string(e->int2);
    out += ")";
  }
  if (e && e->message) {
    std::string msg = e->message;
    while (!msg.empty() && (msg.back() == '\n' || msg.back() == ' ')) msg.pop_back();
    out += ": " + msg;
  }
  return out + ".";
}
// Messages that libxml2 raised without a parser context (encoding and I/O errors); a part during
// which one came is refused, since the parser may have stopped early without saying so.
thread_local unsigned long g_context_free_errors = 0;

void Silent(void*, const char*, ...) { ++g_context_free_errors; }

// libxml2 sets up its global tables on first use, which two threads must not do at once; every
// load passes here before it touches libxml2.
xmlGenericErrorFunc InitialisedGenericError() {
  static const bool initialised = (xmlInitParser(), true);
  (void)initialised;
  return xmlGenericError;
}

std::string EncodingError(const std::string& part) {
  return "The part " + part + " is not well-formed XML: its text does not fit its encoding.";
}

// Only the entities that XML itself defines are read. Without a document type an entity
// reference to any other is not well-formed; with one, libxml2 merely warns and drops the
// reference from the text, and a declared entity would stay an unexpanded reference that the
// text leaves out. Either would change a value without a word, so both refuse the part.
bool IsUndeclaredEntity(const xmlError* e) { return e && e->code == XML_WAR_UNDECLARED_ENTITY; }

// The message for a document whose type declares general entities; empty when it declares none.
std::string DeclaredEntities(const std::string& part, const xmlDoc* doc) {
  const xmlDtd* dtd = doc ? doc->intSubset : nullptr;
  if (!dtd) return {};
  for (const xmlNode* n = dtd->children; n; n = n->next) {
    if (n->type != XML_ENTITY_DECL) continue;
    const auto* entity = reinterpret_cast<const xmlEntity*>(n);
    if (entity->etype == XML_INTERNAL_PARAMETER_ENTITY ||
        entity->etype == XML_EXTERNAL_PARAMETER_ENTITY)
      continue;
    return "The part " + part + " is not well-formed XML: it declares the entity '" +
           std::string(View(entity->name)) + "', and only the entities that XML defines are read.";
  }
  return {};
}

// Catches the warning about an undeclared entity in a tree parse; the context's _private points
// to the flag.
void TreeError(void* context, xmlError* error) {
  auto* ctxt = static_cast<xmlParserCtxt*>(context);
  if (IsUndeclaredEntity(error) && ctxt && ctxt->_private) {
    auto* first = static_cast<xmlError*>(ctxt->_private);
    if (first->code == 0) xmlCopyError(error, first);
  }
}
}  // namespace

QuietXmlErrors::QuietXmlErrors()
    : saved_func_(InitialisedGenericError()), saved_context_(xmlGenericErrorContext) {
  xmlSetGenericErrorFunc(nullptr, &Silent);
}

QuietXmlErrors::~QuietXmlErrors() { xmlSetGenericErrorFunc(saved_context_, saved_func_); }

const xmlNode* FirstChild(const xmlNode* parent, std::string_view name) {
  for (const xmlNode* c : Children(parent, name)) return c;
  return nullptr;
}

std::string_view AttrValue(const xmlAttr* a, std::string& scratch) {
  const xmlNode* c = a->children;
  if (!c) return {};
  if (c->type == XML_TEXT_NODE && !c->next) return View(c->content);
  scratch.clear();
  for (; c; c = c->next)
    if (c->type == XML_TEXT_NODE) scratch += View(c->content);
  return scratch;
}

bool Attr(const xmlNode* n, std::string_view name, std::string& out) {
  for (const xmlAttr* a = n->properties; a; a = a->next) {
    if (a->ns == nullptr && View(a->name) == name) {
      std::string scratch;
      out = AttrValue(a, scratch);
      return true;
    }
  }
  out.clear();
  return false;
}

std::string Attr(const xmlNode* n, std::string_view name) {
  std::string out;
  Attr(n, name, out);
  return out;
}

std::string RelAttr(const xmlNode* n, std::string_view name) {
  for (const xmlAttr* a = n->properties; a; a = a->next) {
    if (a->ns && View(a->name) == name &&
        (View(a->ns->href) == kRelNs || View(a->ns->href) == kRelNsStrict)) {
      std::string scratch;
      return std::string(AttrValue(a, scratch));
    }
  }
  return {};
}

bool PreservesSpace(const xmlNode* n) {
  std::string scratch;
  bool preserve = false;
  for (; n && n->type == XML_ELEMENT_NODE; n = n->parent)
    for (const xmlAttr* a = n->properties; a; a = a->next)
      if (ReadXmlSpace(a, preserve, scratch)) return preserve;
  return false;
}

void AppendText(const xmlNode* n, std::string& out) {
  bool has_elements = false;
  for (const xmlNode* c = n->children; c; c = c->next)
    if (c->type == XML_ELEMENT_NODE) has_elements = true;
  if (has_elements) {
    for (const xmlNode* c = n->children; c; c = c->next)
      if (c->type == XML_ELEMENT_NODE) AppendText(c, out);
    return;
  }
  std::string text;
  for (const xmlNode* c = n->children; c; c = c->next)
    if (c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE) text += View(c->content);
  if (!PreservesSpace(n)) TrimXmlSpace(text);
  out += text;
}

XmlDocument::XmlDocument(std::string_view bytes, std::string part_name, bool recover) {
  if (bytes.size() > INT_MAX) throw EWorkbookFileError("The part " + part_name + " is too large.");
  xmlParserCtxt* ctxt = xmlNewParserCtxt();
  if (!ctxt) throw EWorkbookFileError("Out of memory while reading " + part_name + ".");
  const int options = kParseOptions | (recover ? XML_PARSE_RECOVER : 0);
  const unsigned long errors_before = g_context_free_errors;
  xmlError undeclared{};
  ctxt->_private = &undeclared;
  ctxt->sax->serror = &TreeError;
  // No forced encoding: parts are UTF-8 as a rule, but a byte-order mark or declaration decides.
  doc_ = xmlCtxtReadMemory(ctxt, bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr,
                           options);
  const bool decoded = recover || g_context_free_errors == errors_before;
  // Recovery is for legacy drawings, whose text is never read.
  std::string entities;
  if (!recover && undeclared.code != 0) entities = Where(part_name, &undeclared);
  if (!recover && entities.empty()) entities = DeclaredEntities(part_name, doc_);
  xmlResetError(&undeclared);
  const bool ok = doc_ && (recover || ctxt->wellFormed) && decoded && entities.empty();
  if (!ok) {
    std::string message = !decoded            ? EncodingError(part_name)
                          : !entities.empty() ? entities
                                              : Where(part_name, &ctxt->lastError);
    if (doc_) xmlFreeDoc(doc_);
    doc_ = nullptr;
    xmlFreeParserCtxt(ctxt);
    throw EWorkbookFileError(message);
  }
  xmlFreeParserCtxt(ctxt);
}

XmlDocument::~XmlDocument() {
  if (doc_) xmlFreeDoc(doc_);
}

const xmlNode* XmlDocument::Root() const { return xmlDocGetRootElement(doc_); }

FragmentParser::FragmentParser() : ctxt_(xmlNewParserCtxt()) {
  if (!ctxt_) throw EWorkbookFileError("Out of memory while reading the shared strings.");
}

FragmentParser::~FragmentParser() { xmlFreeParserCtxt(ctxt_); }

xmlDoc* FragmentParser::ParseRaw(std::string_view bytes) {
  if (bytes.size() > INT_MAX) return nullptr;
  xmlDoc* doc = xmlCtxtReadMemory(ctxt_, bytes.data(), static_cast<int>(bytes.size()), nullptr,
                                  "UTF-8", kParseOptions);
  if (doc && !ctxt_->wellFormed) {
    xmlFreeDoc(doc);
    doc = nullptr;
  }
  return doc;
}

std::string FragmentParser::Describe(const std::string& where) const {
  return Where(where, &ctxt_->lastError);
}

PullReader::PullReader(PartStream& stream, std::string part_name)
    : stream_(stream), part_(std::move(part_name)) {
  reader_ =
      xmlReaderForIO(&PullReader::ReadCallback, nullptr, this, nullptr, nullptr, kParseOptions);
  if (!reader_) throw EWorkbookFileError("Cannot read the part " + part_ + ".");
  xmlTextReaderSetStructuredErrorHandler(reader_, &PullReader::ErrorCallback, this);
  errors_before_ = g_context_free_errors;
}

PullReader::~PullReader() {
  if (reader_) xmlFreeTextReader(reader_);
  if (doc_) xmlFreeDoc(doc_);  // after the reader, which no longer frees it
}

int PullReader::ReadCallback(void* context, char* buffer, int len) {
  auto* self = static_cast<PullReader*>(context);
  if (self->stream_error_) return -1;
  try {
    return static_cast<int>(self->stream_.Read(buffer, static_cast<std::size_t>(len)));
  } catch (...) {
    self->stream_error_ = std::current_exception();
    return -1;
  }
}

void PullReader::ErrorCallback(void* context, xmlError* error) {
  auto* self = static_cast<PullReader*>(context);
  if (!error || error->level < XML_ERR_ERROR) return;
  if (IsUndeclaredEntity(error) && !self->refused_) {  // the first such reference ends the read
    self->refused_ = true;
    self->error_ = Where(self->part_, error);
    self->error_fatal_ = true;
    return;
  }
  // Keep the first fatal error (later ones tend to be its consequences), else the first error.
  if (self->error_fatal_ || (!self->error_.empty() && error->level != XML_ERR_FATAL)) return;
  self->error_ = Where(self->part_, error);
  self->error_fatal_ = error->level == XML_ERR_FATAL;
}

void PullReader::FailFromParser() {
  if (stream_error_) std::rethrow_exception(stream_error_);
  if (refused_) throw EWorkbookFileError(error_);
  if (g_context_free_errors != errors_before_) throw EWorkbookFileError(EncodingError(part_));
  if (!error_.empty()) throw EWorkbookFileError(error_);
  throw EWorkbookFileError("The part " + part_ + " is not well-formed XML (line " +
                           std::to_string(xmlTextReaderGetParserLineNumber(reader_)) + ").");
}

bool PullReader::Next() { return Settle(xmlTextReaderRead(reader_)); }

bool PullReader::NextElement() {
  bool ok = Next();
  while (ok && Type() != XML_READER_TYPE_ELEMENT) ok = Next();
  return ok;
}

bool PullReader::SkipSubtree() { return Settle(xmlTextReaderNext(reader_)); }

bool PullReader::Settle(int rc) {
  if (rc == 1) {
    if (refused_) throw EWorkbookFileError(error_);
    // The document type is complete once the root element starts.
    if (!root_seen_ && Type() == XML_READER_TYPE_ELEMENT) {
      root_seen_ = true;
      // Asking for the document makes it ours to free (the reader still frees the nodes it has
      // read past as it goes).
      doc_ = xmlTextReaderCurrentDoc(reader_);
      const std::string declared = DeclaredEntities(part_, doc_);
      if (!declared.empty()) throw EWorkbookFileError(declared);
    }
    return true;
  }
  if (rc == 0) {
    if (stream_error_) std::rethrow_exception(stream_error_);
    if (refused_) throw EWorkbookFileError(error_);
    if (g_context_free_errors != errors_before_) throw EWorkbookFileError(EncodingError(part_));
    return false;
  }
  FailFromParser();
}

const xmlNode* PullReader::Expand() {
  xmlNode* n = xmlTextReaderExpand(reader_);
  if (!n) FailFromParser();
  return n;
}

void PullReader::Fail(const std::string& what) const {
  throw EWorkbookFileError("The part " + part_ + ", line " +
                           std::to_string(xmlTextReaderGetParserLineNumber(reader_)) + ": " + what);
}

}  // namespace vestrano::xlsx
