// XML documents of the common toolkit: a builder that writes a document element by element and a
// parser that walks a loaded one. Both are thin layers over pugixml. Documents are saved as UTF-8
// with an XML declaration, indented with tabs, one element a line.
#pragma once

#include <WQCommon/Export.h>

#include <iosfwd>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace WQCommon {

// The deepest nesting of elements a document may have to be loaded, the top element being level 1.
// Far beyond any document the module or its users write; the indented text of a deeper one grows
// with the square of its depth.
constexpr int kMaxDocumentDepth = 256;

// Raised for a document the toolkit refuses to load and for text a document cannot carry. The
// message names the file or the element.
class WQCOMMON_EXPORT XMLError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class XMLBuilder;
class XMLParser;

// A record with an XML form.
class WQCOMMON_EXPORT IWQXML {
 public:
  virtual ~IWQXML();
  virtual void Serialize(XMLParser& parser) = 0;
  virtual void Serialize(XMLBuilder& builder) const = 0;
};

// The result code of an XMLResultException for a required element that is missing.
constexpr int kMissingElementCode = 1001;

// Raised by readers of XML records for a required element that is missing, with the code
// kMissingElementCode and the element's name as the message. Not a standard exception, as the
// toolkit's callers expect: a catch of std::exception lets it pass, and it is caught by its name.
struct WQCOMMON_EXPORT XMLResultException {
  XMLResultException(int code, std::wstring message);
  int Code;
  std::wstring Message;
};

class WQCOMMON_EXPORT XMLBuilder {
 public:
  XMLBuilder();
  ~XMLBuilder();
  XMLBuilder(const XMLBuilder&) = delete;
  XMLBuilder& operator=(const XMLBuilder&) = delete;

  // Element and attribute names must be XML names; text and attribute values may hold any
  // character of XML 1.0: tab, line feed, carriage return and everything from U+0020 but the
  // surrogates, U+FFFE and U+FFFF; a value written by WNode or WAttribute reads back unchanged. The
  // escape of a byte that is not UTF-8 (WQCommon/Text.h) is written as U+FFFD.
  // Any other character (U+0000 included) is refused with an XMLError naming the element and the
  // character, before anything is written.

  // Opens a child of the innermost open element; the first call opens the top element.
  void StartNode(const std::wstring& name);
  // Closes the innermost open element. Closing with nothing open is a no-op.
  void EndNode();
  // Writes a whole child element holding `text` into the innermost open element.
  void WNode(const std::wstring& name, const std::wstring& text);
  // Sets an attribute of the innermost open element.
  void WAttribute(const std::wstring& name, const std::wstring& value);
  // Adds text to the innermost open element.
  void WText(const std::wstring& text);

  // Appends an element given as text, as TopElementText of another builder gives it, as the last
  // child of the innermost open element (the top element when none is open). It is indented to
  // its depth when the document is written, and is not checked again. The elements that hold it
  // must hold no text of their own.
  void WElementText(std::string text);

  // Saves the document atomically and durably to `path`, writing it straight into the new file.
  // Throws std::runtime_error naming the file when it cannot be written, or would be larger than
  // LoadFile reads (WQPlatform::kDocumentSizeLimit); the earlier file, if any, is then left as it
  // was.
  void Save(const std::wstring& path) const;
  // Writes the document as QXML gives it, in UTF-8, to `out`; the caller checks the stream.
  void Write(std::ostream& out) const;
  // The top element and what it holds in UTF-8, as QXML gives them after the declaration's line.
  std::string TopElementText() const;
  // Inserts the top element of the XML file at `path` into the innermost open element. Returns
  // false, and inserts nothing, when the file is missing, unreadable or not well-formed. Throws
  // std::runtime_error naming the file, and inserts nothing, when it is not a regular file or is
  // larger than WQPlatform::kDocumentSizeLimit (WQPlatform::ReadError), or when its elements nest
  // deeper than kMaxDocumentDepth (XMLError).
  bool AppendXMLFile(const std::wstring& path);
  // The document as text, declaration included, ending in a line feed.
  std::wstring QXML() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

class WQCOMMON_EXPORT XMLParser {
 public:
  XMLParser();
  ~XMLParser();
  XMLParser(const XMLParser&) = delete;
  XMLParser& operator=(const XMLParser&) = delete;

  // Loads a document; false when the file is missing, unreadable or not well-formed. A loaded
  // parser stands before the top element. Throws std::runtime_error naming the file when it is
  // not a regular file or is larger than WQPlatform::kDocumentSizeLimit (WQPlatform::ReadError),
  // or when its elements nest deeper than kMaxDocumentDepth (XMLError). After a false return or a
  // throw the parser holds no document.
  bool LoadFile(const std::wstring& path);
  // Loads a document from text; false when it is not well-formed. Throws XMLError, naming
  // "XML text", when its elements nest deeper than kMaxDocumentDepth. After a false return or a
  // throw the parser holds no document.
  bool LoadXML(const std::wstring& text);

  // Enters the child `name` of the current element (before the top element: the top element if it
  // has that name). Inside a list opened by StartList it enters the next item of that name after
  // the one entered before. False, and no move, when there is none.
  bool StartNode(std::wstring_view name);
  // Goes back to the parent of the current element.
  void EndNode();
  // The text of the child `name` of the current element; false, and `text` unchanged, when absent.
  bool QNode(std::wstring_view name, std::wstring& text) const;
  // Enters the list element `name` and gives the number of its child elements as `count`.
  bool StartList(std::wstring_view name, int& count);
  // Leaves the list element.
  void EndList();
  // The loaded document as text, declaration included.
  std::wstring QXML() const;
  // Where the loaded document came from, for messages: the path given to LoadFile, or "XML text"
  // after LoadXML; empty when no document is loaded.
  std::wstring QSource() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace WQCommon
