#include <WQCommon/Text.h>
#include <WQCommon/XML.h>
#include <WQPlatform/Platform.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <ostream>
#include <pugixml.hpp>
#include <sstream>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace WQCommon {

namespace {

// Whitespace that is an element's whole text is kept, so that a value of blanks reads back as
// written; whitespace between elements is still dropped.
constexpr unsigned int kParseOptions = pugi::parse_default | pugi::parse_ws_pcdata_single;

// Passes the text of a document to a stream. pugixml writes a carriage return in element text as
// it is, and reading it back would turn it into a line feed (end-of-line normalisation); as a
// character reference it reads back unchanged. In attribute values pugixml writes references for
// tab, line feed and carriage return itself, and no other node the builder or the parser holds can
// contain a carriage return. UTF-8 has no other byte 0x0D.
class DocumentTextWriter : public pugi::xml_writer {
 public:
  explicit DocumentTextWriter(std::ostream& out) : out_(out) {}

  void write(const void* data, std::size_t size) override {
    const char* rest = static_cast<const char*>(data);
    const char* const end = rest + size;
    while (const char* carriageReturn = static_cast<const char*>(
               std::memchr(rest, '\r', static_cast<std::size_t>(end - rest)))) {
      Put(rest, carriageReturn);
      out_ << "&#13;";
      rest = carriageReturn + 1;
    }
    Put(rest, end);
  }

 private:
  void Put(const char* begin, const char* end) {
    out_.write(begin, static_cast<std::streamsize>(end - begin));
  }

  std::ostream& out_;
};

constexpr char kIndent[] = "\t";
constexpr char kDeclaration[] = "<?xml version=\"1.0\"?>\n";

std::string DocumentText(const pugi::xml_document& document) {
  std::ostringstream text;
  DocumentTextWriter writer(text);
  document.save(writer, kIndent, pugi::format_default, pugi::encoding_utf8);
  return text.str();
}

std::string Narrow(const std::wstring& text) { return WQWideToNarrowStr(text); }

// Text of a document, which can carry characters only: the escape of a byte that is not UTF-8 (a
// file name's, say) is written as U+FFFD.
std::string NarrowText(const std::wstring& text) {
  return WQWideToNarrowStr(text, InvalidBytes::Replace);
}

std::string CodePoint(wchar_t character) {
  char text[16];
  std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(character));
  return text;
}

// A Char of XML 1.0.
bool IsXMLChar(wchar_t character) {
  const auto value = static_cast<std::uint32_t>(character);
  if (value < 0x20) return value == 0x9 || value == 0xA || value == 0xD;
  return value < 0xD800 || (value >= 0xE000 && value <= 0xFFFD) ||
         (value >= 0x10000 && value <= 0x10FFFF);
}

struct Range {
  std::uint32_t first, last;
};

// NameStartChar of XML 1.0 (fifth edition).
constexpr Range kNameStartRanges[] = {
    {':', ':'},       {'A', 'Z'},       {'_', '_'},       {'a', 'z'},
    {0xC0, 0xD6},     {0xD8, 0xF6},     {0xF8, 0x2FF},    {0x370, 0x37D},
    {0x37F, 0x1FFF},  {0x200C, 0x200D}, {0x2070, 0x218F}, {0x2C00, 0x2FEF},
    {0x3001, 0xD7FF}, {0xF900, 0xFDCF}, {0xFDF0, 0xFFFD}, {0x10000, 0xEFFFF}};
// What NameChar adds to NameStartChar.
constexpr Range kNameRestRanges[] = {
    {'-', '.'}, {'0', '9'}, {0xB7, 0xB7}, {0x300, 0x36F}, {0x203F, 0x2040}};

template <std::size_t Count>
bool InRanges(wchar_t character, const Range (&ranges)[Count]) {
  const auto value = static_cast<std::uint32_t>(character);
  for (const Range& range : ranges) {
    if (value >= range.first && value <= range.last) return true;
  }
  return false;
}

bool IsNameChar(wchar_t character, bool first) {
  return InRanges(character, kNameStartRanges) || (!first && InRanges(character, kNameRestRanges));
}

// Throws XMLError "Cannot write <what()>: ..." unless `name` is an XML name. `what` is called only
// then, so that the common case builds no message.
template <typename Describe>
void RequireXMLName(const std::wstring& name, Describe what) {
  if (name.empty()) throw XMLError("Cannot write " + what() + ": it has no name");
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (!IsNameChar(name[i], i == 0)) {
      throw XMLError("Cannot write " + what() + ": " + CodePoint(name[i]) +
                     (i == 0 ? " cannot begin" : " cannot stand in") + " an XML name");
    }
  }
}

// Throws XMLError "Cannot write <what()>: ..." when `text` holds a character XML 1.0 cannot carry.
// A byte escape passes: it is written as U+FFFD.
template <typename Describe>
void RequireXMLText(const std::wstring& text, Describe what) {
  const auto refused = std::find_if_not(text.begin(), text.end(), [](wchar_t character) {
    return IsXMLChar(character) || IsByteEscape(character);
  });
  if (refused != text.end()) {
    throw XMLError("Cannot write " + what() + ": it holds " + CodePoint(*refused) +
                   ", which XML 1.0 cannot carry");
  }
}

// "the element Name", or "an element" when it has no name.
std::string Labelled(const char* kind, const std::string& name) {
  return name.empty() ? std::string("an ") + kind : std::string("the ") + kind + " " + name;
}

std::string ElementLabel(const std::wstring& name) { return Labelled("element", Narrow(name)); }

std::string ElementLabel(const pugi::xml_node& element) {
  return element.type() == pugi::node_element ? Labelled("element", element.name())
                                              : std::string("the document");
}

// Stops at the first element nested deeper than kMaxDocumentDepth. pugixml walks the tree in a
// loop and keeps the depth itself, so no document is too deep to be measured.
class DepthWalker : public pugi::xml_tree_walker {
 public:
  bool for_each(pugi::xml_node& node) override {
    // depth() counts from 0 for the top element.
    tooDeep_ = node.type() == pugi::node_element && depth() >= kMaxDocumentDepth;
    return !tooDeep_;
  }

  bool TooDeep() const { return tooDeep_; }

 private:
  bool tooDeep_ = false;
};

// Text shorter than this cannot nest elements deeper than kMaxDocumentDepth: each level takes an
// opening tag of at least three bytes ("<a>") in any encoding.
constexpr std::size_t kShallowTextSize = 3 * kMaxDocumentDepth;

// Parses `content`, in `encoding`, into `document`; false, and `document` left empty, when it holds
// no well-formed document. Throws XMLError naming `source`, leaving `document` empty, when its
// elements nest deeper than kMaxDocumentDepth.
bool ParseDocument(const std::string& content, pugi::xml_encoding encoding,
                   const std::string& source, pugi::xml_document& document) {
  // A failed parse keeps what it read before the fault; dropped, as a deep one would be costly.
  if (!document.load_buffer(content.data(), content.size(), kParseOptions, encoding) ||
      !document.document_element()) {
    document.reset();
    return false;
  }
  if (content.size() < kShallowTextSize) return true;
  DepthWalker walker;
  document.traverse(walker);
  if (walker.TooDeep()) {
    document.reset();
    throw XMLError("Cannot load " + source + ": its elements nest deeper than " +
                   std::to_string(kMaxDocumentDepth) + " levels");
  }
  return true;
}

// Loads the file at `path` into `document`; false when the file is missing, unreadable or holds no
// well-formed document. Throws as XMLParser::LoadFile does.
bool LoadDocumentFile(const std::wstring& path, pugi::xml_document& document) {
  document.reset();
  const std::string narrowPath = Narrow(path);
  const std::optional<std::string> content = WQPlatform::ReadFile(narrowPath);
  return content && ParseDocument(*content, pugi::encoding_auto, narrowPath, document);
}

}  // namespace

IWQXML::~IWQXML() = default;

XMLResultException::XMLResultException(int code, std::wstring message)
    : Code(code), Message(std::move(message)) {}

struct XMLBuilder::Impl {
  pugi::xml_document document;
  std::vector<pugi::xml_node> open;
  // Elements given as text, each in the place of an empty node of the tree.
  std::unordered_map<pugi::xml_node_struct*, std::string> elementTexts;
  // The nodes that hold an element given as text at any depth, the document included.
  std::unordered_set<pugi::xml_node_struct*> holders;

  pugi::xml_node Innermost() { return open.empty() ? pugi::xml_node(document) : open.back(); }

  // Writes the document's nodes from the top element on, at `depth`.
  void WriteChildren(pugi::xml_node parent, unsigned depth, DocumentTextWriter& writer) const {
    for (const pugi::xml_node child : parent.children()) WriteNode(child, depth, writer);
  }

  void WriteNode(pugi::xml_node node, unsigned depth, DocumentTextWriter& writer) const {
    const auto text = elementTexts.find(node.internal_object());
    if (text != elementTexts.end()) {
      WriteIndented(text->second, depth, writer);
    } else if (holders.count(node.internal_object()) != 0) {
      WriteStartTag(node, depth, writer);
      WriteChildren(node, depth + 1, writer);
      WriteTabs(depth, writer);
      writer.write("</", 2);
      writer.write(node.name(), std::strlen(node.name()));
      writer.write(">\n", 2);
    } else {
      node.print(writer, kIndent, pugi::format_default, pugi::encoding_utf8, depth);
    }
  }

  // The element's start tag as pugixml writes it: its own empty copy ends in " />" instead.
  static void WriteStartTag(pugi::xml_node element, unsigned depth, DocumentTextWriter& writer) {
    pugi::xml_document alone;
    pugi::xml_node copy = alone.append_child(element.name());
    for (const pugi::xml_attribute attribute : element.attributes()) copy.append_copy(attribute);
    std::ostringstream text;
    copy.print(text, kIndent, pugi::format_default, pugi::encoding_utf8, depth);
    const std::string tag = text.str();
    constexpr std::size_t kEmptyEnd = sizeof " />\n" - 1;
    writer.write(tag.data(), tag.size() - kEmptyEnd);
    writer.write(">\n", 2);
  }

  static void WriteTabs(unsigned depth, DocumentTextWriter& writer) {
    for (unsigned level = 0; level < depth; ++level) writer.write(kIndent, 1);
  }

  // Each line of `text` after `depth` tabs.
  static void WriteIndented(const std::string& text, unsigned depth, DocumentTextWriter& writer) {
    std::size_t start = 0;
    while (start < text.size()) {
      const std::size_t end = std::min(text.find('\n', start), text.size() - 1) + 1;
      WriteTabs(depth, writer);
      writer.write(text.data() + start, end - start);
      start = end;
    }
  }

  void Write(std::ostream& out, unsigned int flags) const {
    DocumentTextWriter writer(out);
    if (elementTexts.empty()) {
      document.save(writer, kIndent, flags, pugi::encoding_utf8);
      return;
    }
    if ((flags & pugi::format_no_declaration) == 0) out << kDeclaration;
    WriteChildren(document, 0, writer);
  }
};

XMLBuilder::XMLBuilder() : impl_(std::make_unique<Impl>()) {}

XMLBuilder::~XMLBuilder() = default;

void XMLBuilder::StartNode(const std::wstring& name) {
  RequireXMLName(name, [&] { return ElementLabel(name); });
  impl_->open.push_back(impl_->Innermost().append_child(Narrow(name).c_str()));
}

void XMLBuilder::EndNode() {
  if (!impl_->open.empty()) impl_->open.pop_back();
}

void XMLBuilder::WNode(const std::wstring& name, const std::wstring& text) {
  RequireXMLName(name, [&] { return ElementLabel(name); });
  RequireXMLText(text, [&] { return "the text of " + ElementLabel(name); });
  pugi::xml_node child = impl_->Innermost().append_child(Narrow(name).c_str());
  // An empty text node would save as <name></name>, which reads back and saves as <name />.
  if (!text.empty()) child.text().set(NarrowText(text).c_str());
}

void XMLBuilder::WAttribute(const std::wstring& name, const std::wstring& value) {
  const auto attribute = [&] {
    return Labelled("attribute", Narrow(name)) + " of " + ElementLabel(impl_->Innermost());
  };
  RequireXMLName(name, attribute);
  RequireXMLText(value, attribute);
  impl_->Innermost().append_attribute(Narrow(name).c_str()).set_value(NarrowText(value).c_str());
}

void XMLBuilder::WText(const std::wstring& text) {
  RequireXMLText(text, [&] { return "the text of " + ElementLabel(impl_->Innermost()); });
  impl_->Innermost().append_child(pugi::node_pcdata).set_value(NarrowText(text).c_str());
}

void XMLBuilder::WElementText(std::string text) {
  pugi::xml_node place = impl_->Innermost().append_child(pugi::node_element);
  impl_->elementTexts.emplace(place.internal_object(), std::move(text));
  impl_->holders.insert(impl_->document.internal_object());
  for (const pugi::xml_node element : impl_->open) impl_->holders.insert(element.internal_object());
}

void XMLBuilder::Save(const std::wstring& path) const {
  WQPlatform::AtomicFile file(Narrow(path), true, WQPlatform::kDocumentSizeLimit);
  Write(file.Stream());
  file.Commit();
}

void XMLBuilder::Write(std::ostream& out) const { impl_->Write(out, pugi::format_default); }

std::string XMLBuilder::TopElementText() const {
  std::ostringstream text;
  impl_->Write(text, pugi::format_default | pugi::format_no_declaration);
  return text.str();
}

bool XMLBuilder::AppendXMLFile(const std::wstring& path) {
  pugi::xml_document other;
  if (!LoadDocumentFile(path, other)) return false;
  impl_->Innermost().append_copy(other.document_element());
  return true;
}

std::wstring XMLBuilder::QXML() const {
  std::ostringstream text;
  Write(text);
  return WQNarrowToWideStr(text.str());
}

struct XMLParser::Impl {
  // An entered element. Inside a list, `lastItem` is the item entered last, so that the next
  // StartNode moves on to the following one.
  struct Level {
    pugi::xml_node element;
    bool isList = false;
    pugi::xml_node lastItem;
  };

  pugi::xml_document document;
  std::vector<Level> levels;
  std::wstring source;
  // The narrow form of `wide`, valid until the thread's next lookup. One buffer a thread serves
  // every lookup without an allocation, and keeps the const queries safe to call from several
  // threads at once.
  static const char* Narrowed(std::wstring_view wide) {
    thread_local std::string name;
    WQWideToNarrowStr(wide, name);
    return name.c_str();
  }

  pugi::xml_node Current() const {
    return levels.empty() ? pugi::xml_node(document) : levels.back().element;
  }

  pugi::xml_node FindChild(const char* name) const {
    if (levels.empty()) {
      const pugi::xml_node top = document.document_element();
      return std::strcmp(name, top.name()) == 0 ? top : pugi::xml_node();
    }
    return levels.back().element.child(name);
  }

  pugi::xml_node FindNextItem(const char* name) {
    Level& list = levels.back();
    const pugi::xml_node item =
        list.lastItem ? list.lastItem.next_sibling(name) : list.element.child(name);
    if (item) list.lastItem = item;
    return item;
  }
};

XMLParser::XMLParser() : impl_(std::make_unique<Impl>()) {}

XMLParser::~XMLParser() = default;

bool XMLParser::LoadFile(const std::wstring& path) {
  impl_->levels.clear();
  impl_->source.clear();
  if (!LoadDocumentFile(path, impl_->document)) return false;
  impl_->source = path;
  return true;
}

bool XMLParser::LoadXML(const std::wstring& text) {
  impl_->levels.clear();
  impl_->source.clear();
  if (!ParseDocument(Narrow(text), pugi::encoding_utf8, "XML text", impl_->document)) return false;
  impl_->source = L"XML text";
  return true;
}

bool XMLParser::StartNode(std::wstring_view name) {
  const bool inList = !impl_->levels.empty() && impl_->levels.back().isList;
  const char* narrowName = impl_->Narrowed(name);
  const pugi::xml_node element =
      inList ? impl_->FindNextItem(narrowName) : impl_->FindChild(narrowName);
  if (!element) return false;
  impl_->levels.push_back({element, false, {}});
  return true;
}

void XMLParser::EndNode() {
  if (!impl_->levels.empty()) impl_->levels.pop_back();
}

bool XMLParser::QNode(std::wstring_view name, std::wstring& text) const {
  const pugi::xml_node child = impl_->Current().child(impl_->Narrowed(name));
  if (!child) return false;
  WQNarrowToWideStr(child.child_value(), text);
  return true;
}

bool XMLParser::StartList(std::wstring_view name, int& count) {
  const pugi::xml_node list = impl_->FindChild(impl_->Narrowed(name));
  if (!list) return false;
  count = 0;
  for (const pugi::xml_node item : list.children()) {
    if (item.type() == pugi::node_element) ++count;
  }
  impl_->levels.push_back({list, true, {}});
  return true;
}

void XMLParser::EndList() { EndNode(); }

std::wstring XMLParser::QXML() const { return WQNarrowToWideStr(DocumentText(impl_->document)); }

std::wstring XMLParser::QSource() const { return impl_->source; }

}  // namespace WQCommon
