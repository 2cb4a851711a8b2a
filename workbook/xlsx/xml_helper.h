#pragma once
// The one XML layer of the package reader: parser options (no network, no DTD loading, no
// entity substitution, only the entities that XML defines), tree reads of the small parts, the pull
// reader for worksheets with its walk inside an element, the white-space rule, and errors that
// name the part and the line.
#include <libxml/tree.h>
#include <libxml/xmlreader.h>

#include <exception>
#include <string>
#include <string_view>

namespace vestrano::xlsx {

class PartStream;

// While alive, libxml2 prints nothing: errors that it raises without a parser context (such as
// encoding errors) would otherwise go to stderr. They are counted instead, and a part during
// which one came is refused. The previous handler comes back at the end.
class QuietXmlErrors {
 public:
  QuietXmlErrors();
  ~QuietXmlErrors();
  QuietXmlErrors(const QuietXmlErrors&) = delete;
  QuietXmlErrors& operator=(const QuietXmlErrors&) = delete;

 private:
  xmlGenericErrorFunc saved_func_;
  void* saved_context_;
};

// Namespaces whose "id" attribute names a relationship (transitional and strict form).
inline constexpr std::string_view kRelNs =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
inline constexpr std::string_view kRelNsStrict =
    "http://purl.oclc.org/ooxml/officeDocument/relationships";

inline std::string_view View(const xmlChar* s) {
  return s ? std::string_view(reinterpret_cast<const char*>(s)) : std::string_view();
}
// Local name of an element or attribute, whatever its prefix.
inline std::string_view LocalName(const xmlNode* n) { return View(n->name); }
inline bool IsElement(const xmlNode* n, std::string_view local) {
  return n && n->type == XML_ELEMENT_NODE && LocalName(n) == local;
}

// Child elements with a given local name: for (auto* c : Children(node, "sheet")) …
class ChildRange {
 public:
  class It {
   public:
    It(const xmlNode* n, std::string_view name) : n_(n), name_(name) { Settle(); }
    const xmlNode* operator*() const { return n_; }
    It& operator++() {
      n_ = n_->next;
      Settle();
      return *this;
    }
    bool operator!=(const It& o) const { return n_ != o.n_; }

   private:
    void Settle() {
      while (n_ && !(n_->type == XML_ELEMENT_NODE && (name_.empty() || LocalName(n_) == name_)))
        n_ = n_->next;
    }
    const xmlNode* n_;
    std::string_view name_;
  };
  ChildRange(const xmlNode* parent, std::string_view name)
      : first_(parent ? parent->children : nullptr), name_(name) {}
  It begin() const { return It(first_, name_); }
  It end() const { return It(nullptr, name_); }

 private:
  const xmlNode* first_;
  std::string_view name_;
};
// Empty name: every child element.
inline ChildRange Children(const xmlNode* parent, std::string_view name = {}) {
  return ChildRange(parent, name);
}
const xmlNode* FirstChild(const xmlNode* parent, std::string_view name);
// The value of an attribute node without copying where libxml2 keeps it as one text.
std::string_view AttrValue(const xmlAttr* a, std::string& scratch);
// Value of an attribute without a namespace (found: true), such as r, s, t, ref.
bool Attr(const xmlNode* n, std::string_view name, std::string& out);
std::string Attr(const xmlNode* n, std::string_view name);
// The relationship id attribute (r:id, r:embed, …) in either relationships namespace.
std::string RelAttr(const xmlNode* n, std::string_view name);

// The white-space rule. When a is xml:space, sets preserve from its value (one beginning with
// "p" or "P" keeps white space, anything else trims it) and returns true; otherwise leaves
// preserve alone. The one test of the attribute, for readers that walk attributes anyway.
inline bool ReadXmlSpace(const xmlAttr* a, bool& preserve, std::string& scratch) {
  if (!a->ns || View(a->ns->prefix) != "xml" || View(a->name) != "space") return false;
  const std::string_view v = AttrValue(a, scratch);
  preserve = !v.empty() && (v[0] == 'p' || v[0] == 'P');
  return true;
}
// The setting of n's own xml:space, else the inherited one.
inline bool SpaceOf(const xmlNode* n, bool inherited, std::string& scratch) {
  for (const xmlAttr* a = n->properties; a; a = a->next)
    if (ReadXmlSpace(a, inherited, scratch)) break;
  return inherited;
}
// True when xml:space with a value beginning with "p" or "P" applies to n (itself or an ancestor).
bool PreservesSpace(const xmlNode* n);
// Removes leading and trailing characters up to U+0020, in place (the buffer is kept).
inline void TrimXmlSpace(std::string& text) {
  std::size_t end = text.size();
  while (end > 0 && static_cast<unsigned char>(text[end - 1]) <= 0x20) --end;
  std::size_t begin = 0;
  while (begin < end && static_cast<unsigned char>(text[begin]) <= 0x20) ++begin;
  if (end < text.size()) text.erase(end);
  if (begin > 0) text.erase(0, begin);
}
// Character data of n and its descendants; the white-space rule applied per element that holds
// the text directly.
void AppendText(const xmlNode* n, std::string& out);

// A parsed small part. Malformed XML raises EWorkbookFileError naming the part and the line; with
// recover set, libxml2's recovery mode is used instead (legacy VML is often not well-formed).
class XmlDocument {
 public:
  XmlDocument(std::string_view bytes, std::string part_name, bool recover = false);
  ~XmlDocument();
  XmlDocument(const XmlDocument&) = delete;
  XmlDocument& operator=(const XmlDocument&) = delete;
  const xmlNode* Root() const;  // nullptr for a document without elements (recover mode)

 private:
  xmlDoc* doc_ = nullptr;
};

// A parser context kept for many tiny documents (shared-string entries).
class FragmentParser {
 public:
  FragmentParser();
  ~FragmentParser();
  FragmentParser(const FragmentParser&) = delete;
  FragmentParser& operator=(const FragmentParser&) = delete;
  // Parses bytes; the returned document is owned by the caller (xmlFreeDoc). On malformed XML
  // returns nullptr and sets error to a message that names where (built only then).
  template <class Where>
  xmlDoc* Parse(std::string_view bytes, Where&& where, std::string& error) {
    xmlDoc* doc = ParseRaw(bytes);
    if (!doc) error = Describe(where());
    return doc;
  }

 private:
  xmlDoc* ParseRaw(std::string_view bytes);
  std::string Describe(const std::string& where) const;
  xmlParserCtxt* ctxt_;
};

// Streams one part through xmlTextReader straight from its ZIP entry.
class PullReader {
 public:
  PullReader(PartStream& stream, std::string part_name);
  ~PullReader();
  PullReader(const PullReader&) = delete;
  PullReader& operator=(const PullReader&) = delete;

  // Advances to the next node; false at the end of the document. Raises on malformed XML and on
  // a damaged entry.
  bool Next();
  // Advances to the next start tag (the root element, first); false at the end of the document.
  bool NextElement();
  // Skips the current element's subtree; afterwards the reader is on the node after it.
  // Returns false at the end of the document.
  bool SkipSubtree();
  int Type() const { return xmlTextReaderNodeType(reader_); }
  int Depth() const { return xmlTextReaderDepth(reader_); }
  bool IsEmptyElement() const { return xmlTextReaderIsEmptyElement(reader_) == 1; }
  // Interned local name of the current node; compare with Intern("c") by pointer.
  const xmlChar* Name() const { return xmlTextReaderConstLocalName(reader_); }
  const xmlChar* Intern(const char* s) const {
    return xmlTextReaderConstString(reader_, reinterpret_cast<const xmlChar*>(s));
  }
  const xmlChar* Value() const { return xmlTextReaderConstValue(reader_); }
  // The current element as a node (attributes in properties); valid until the next move.
  xmlNode* Node() const { return xmlTextReaderCurrentNode(reader_); }
  // The current element's whole subtree as a tree (for the small structures after the cells).
  const xmlNode* Expand();
  [[noreturn]] void Fail(const std::string& what) const;
  const std::string& PartName() const { return part_; }

 private:
  static int ReadCallback(void* context, char* buffer, int len);
  static void ErrorCallback(void* context, xmlError* error);
  [[noreturn]] void FailFromParser();
  bool Settle(int rc);
  xmlTextReader* reader_ = nullptr;
  PartStream& stream_;
  std::string part_;
  std::string error_;
  bool error_fatal_ = false;
  bool refused_ = false;    // an entity that XML does not define was referred to
  bool root_seen_ = false;  // the document type was checked
  xmlDoc* doc_ = nullptr;   // the reader's document, once asked for: freed here
  unsigned long errors_before_ = 0;
  std::exception_ptr stream_error_;
};

// "While inside this element": walks the content of the element the reader is on and stops on
// its end tag (at once when the element is empty). Each step may hand a child to code that reads
// into it and stops anywhere inside it (on its start tag, below it, or on its end tag); the walk
// goes on after the child. Use one of the two walks per element:
//   for (InsideElement row(x); row.NextChild();)   // the start tag of each child element
//     if (x.Name() == c) ReadCell();
//   for (InsideElement v(x); v.NextNode();)        // every node below, in document order
//     if (IsTextNodeType(x.Type())) text += View(x.Value());
class InsideElement {
 public:
  explicit InsideElement(PullReader& x) : x_(x), depth_(x.Depth()), ended_(x.IsEmptyElement()) {}
  InsideElement(const InsideElement&) = delete;
  InsideElement& operator=(const InsideElement&) = delete;

  bool NextChild() {
    if (ended_) return false;
    // Past what the previous child's reader left unread; into the element at the first step.
    bool ok = started_ ? x_.SkipSubtree() : x_.Next();
    started_ = true;
    while (ok) {
      const int depth = x_.Depth();
      if (depth <= depth_) break;  // the element's end tag
      if (depth == depth_ + 1 && x_.Type() == XML_READER_TYPE_ELEMENT) return true;
      ok = x_.SkipSubtree();  // text between children, or what lies below a child
    }
    ended_ = true;
    return false;
  }
  bool NextNode() {
    if (ended_) return false;
    if (x_.Next() && x_.Depth() > depth_) return true;
    ended_ = true;
    return false;
  }

 private:
  PullReader& x_;
  const int depth_;
  bool ended_;
  bool started_ = false;
};

// Character data nodes as the reader reports them.
inline bool IsTextNodeType(int type) {
  return type == XML_READER_TYPE_TEXT || type == XML_READER_TYPE_CDATA ||
         type == XML_READER_TYPE_WHITESPACE || type == XML_READER_TYPE_SIGNIFICANT_WHITESPACE;
}

}  // namespace vestrano::xlsx
