#include "XmlSplice.h"

#include <algorithm>
#include <pugixml.hpp>
#include <stdexcept>

#include "Commands.h"

namespace wqtool {
namespace {

// A change to the bytes of a document: [begin, end) replaced by `text`.
struct Edit {
  std::size_t begin;
  std::size_t end;
  std::string text;
};

std::runtime_error Refusal(const std::string& path, const std::string& reason) {
  return std::runtime_error(Shown(path) + " " + reason +
                            ": it was kept as it is, and nothing was stored");
}

// Parses `bytes` as UTF-8 (offsets then count the bytes of the file); refuses a document that
// does not parse.
void Parse(pugi::xml_document& document, const std::string& bytes, const std::string& path) {
  const pugi::xml_parse_result result =
      document.load_buffer(bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_utf8);
  if (!result || !document.document_element()) {
    throw Refusal(path, std::string("is not a well-formed XML document (") +
                            (result ? "it has no element" : result.description()) + " at byte " +
                            std::to_string(result.offset) + ")");
  }
}

// The position of `what` from `at` on; the document was parsed, so it is there.
std::size_t Find(const std::string& bytes, const std::string& what, std::size_t at) {
  const std::size_t found = bytes.find(what, at);
  if (found == std::string::npos) throw std::logic_error("a parsed XML document ends early");
  return found;
}

// Where the element whose start tag begins at `begin` ends: past its end tag, or past the start
// tag when it is empty. Quoted attribute values, comments, CDATA sections and processing
// instructions may hold markup characters that delimit nothing.
std::size_t ElementEnd(const std::string& bytes, std::size_t begin) {
  int depth = 0;
  std::size_t at = begin;
  for (;;) {
    at = Find(bytes, "<", at);
    if (bytes.compare(at, 4, "<!--") == 0) {
      at = Find(bytes, "-->", at) + 3;
    } else if (bytes.compare(at, 9, "<![CDATA[") == 0) {
      at = Find(bytes, "]]>", at) + 3;
    } else if (bytes.compare(at, 2, "<?") == 0) {
      at = Find(bytes, "?>", at) + 2;
    } else if (bytes.compare(at, 2, "</") == 0) {
      at = Find(bytes, ">", at) + 1;
      if (--depth == 0) return at;
    } else {
      char quote = 0;
      std::size_t end = at + 1;
      for (; quote || bytes.at(end) != '>'; ++end) {
        const char c = bytes[end];
        if (quote)
          quote = c == quote ? 0 : quote;
        else if (c == '"' || c == '\'')
          quote = c;
      }
      const bool empty = bytes[end - 1] == '/';
      at = end + 1;
      if (!empty) ++depth;
      if (depth == 0) return at;
    }
  }
}

// Where the start tag of `element` begins.
std::size_t ElementBegin(pugi::xml_node element) {
  return static_cast<std::size_t>(element.offset_debug()) - 1;
}

std::size_t LineStart(const std::string& bytes, std::size_t at) {
  const std::size_t newline = at == 0 ? std::string::npos : bytes.rfind('\n', at - 1);
  return newline == std::string::npos ? 0 : newline + 1;
}

// Whether only blanks come before `at` on its line.
bool StartsLine(const std::string& bytes, std::size_t at) {
  return bytes.find_first_not_of(" \t", LineStart(bytes, at)) >= at;
}

// The blanks that `at` follows on its line, when only blanks do.
std::string IndentOf(const std::string& bytes, std::size_t at) {
  const std::size_t start = LineStart(bytes, at);
  return StartsLine(bytes, at) ? bytes.substr(start, at - start) : std::string();
}

// `text` (an element as TopElementText gives it, ending in a line feed) indented by `indent` on
// every line but its first.
std::string Indented(std::string text, const std::string& indent) {
  while (!text.empty() && text.back() == '\n') text.pop_back();
  for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1)) {
    text.insert(at + 1, indent);
  }
  return text;
}

std::string Applied(std::string bytes, std::vector<Edit> edits) {
  std::stable_sort(edits.begin(), edits.end(),
                   [](const Edit& a, const Edit& b) { return a.begin > b.begin; });
  for (const Edit& edit : edits) bytes.replace(edit.begin, edit.end - edit.begin, edit.text);
  return bytes;
}

// The removal of the element at [begin, end), with its line when it stands alone on it.
Edit Removal(const std::string& bytes, std::size_t begin, std::size_t end) {
  if (StartsLine(bytes, begin) && bytes.compare(end, 1, "\n") == 0) {
    return {LineStart(bytes, begin), end + 1, ""};
  }
  return {begin, end, ""};
}

// The insertion of `elements` as the last children of `top`, which spans [begin, end).
Edit Appending(const std::string& bytes, pugi::xml_node top, std::size_t begin, std::size_t end,
               const std::vector<const StoredElement*>& elements) {
  const pugi::xml_node last = top.last_child();
  const std::string topIndent = IndentOf(bytes, begin);
  std::string indent = topIndent + "\t";
  for (pugi::xml_node child = last; child; child = child.previous_sibling()) {
    if (child.type() == pugi::node_element) {
      indent = IndentOf(bytes, ElementBegin(child));
      break;
    }
  }
  std::string text;
  if (bytes.compare(end - 2, 2, "/>") == 0) {
    // An empty top element opens, takes the elements a line each and closes.
    for (const StoredElement* element : elements)
      text += "\n" + indent + Indented(element->Text, indent);
    return {end - 2, end, ">" + text + "\n" + topIndent + "</" + top.name() + ">"};
  }
  // Before the end tag, or before its line when it stands alone on it.
  const std::size_t endTag = bytes.rfind("</", end);
  const bool ownLine = StartsLine(bytes, endTag);
  for (const StoredElement* element : elements) {
    const std::string one = Indented(element->Text, indent);
    text += ownLine ? indent + one + "\n" : one;
  }
  const std::size_t at = ownLine ? LineStart(bytes, endTag) : endTag;
  return {at, at, text};
}

}  // namespace

std::string TopElementName(const std::string& bytes, const std::string& path) {
  pugi::xml_document document;
  Parse(document, bytes, path);
  return document.document_element().name();
}

std::string WithTopElement(const std::string& bytes, const std::string& path,
                           const std::string& text) {
  pugi::xml_document document;
  Parse(document, bytes, path);
  const std::size_t begin = ElementBegin(document.document_element());
  const std::size_t end = ElementEnd(bytes, begin);
  return Applied(bytes, {{begin, end, Indented(text, IndentOf(bytes, begin))}});
}

std::string WithChildren(const std::string& bytes, const std::string& path, const std::string& top,
                         const std::vector<StoredElement>& elements) {
  pugi::xml_document document;
  Parse(document, bytes, path);
  const pugi::xml_node parent = document.document_element();
  if (parent.name() != top) {
    throw Refusal(path, "holds the element " + Shown(std::string(parent.name())) + ", not " + top);
  }
  std::vector<Edit> edits;
  std::vector<const StoredElement*> missing;
  for (const StoredElement& element : elements) {
    bool replaced = false;
    for (const pugi::xml_node child : parent.children(element.Name.c_str())) {
      const std::size_t begin = ElementBegin(child);
      const std::size_t end = ElementEnd(bytes, begin);
      if (replaced) {
        edits.push_back(Removal(bytes, begin, end));
      } else {
        edits.push_back({begin, end, Indented(element.Text, IndentOf(bytes, begin))});
        replaced = true;
      }
    }
    if (!replaced) missing.push_back(&element);
  }
  if (!missing.empty()) {
    const std::size_t begin = ElementBegin(parent);
    edits.push_back(Appending(bytes, parent, begin, ElementEnd(bytes, begin), missing));
  }
  return Applied(bytes, std::move(edits));
}

}  // namespace wqtool
