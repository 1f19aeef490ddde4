#include <WQCommon/Text.h>
#include <WQCommon/XML.h>
#include <WQPlatform/Platform.h>

#include <optional>
#include <pugixml.hpp>
#include <sstream>
#include <utility>
#include <vector>

namespace WQCommon {

namespace {

// Whitespace that is an element's whole text is kept, so that a value of blanks reads back as
// written; whitespace between elements is still dropped.
constexpr unsigned int kParseOptions = pugi::parse_default | pugi::parse_ws_pcdata_single;

std::string DocumentText(const pugi::xml_document& document) {
  std::ostringstream text;
  document.save(text, "\t", pugi::format_default, pugi::encoding_utf8);
  return text.str();
}

std::string Narrow(const std::wstring& text) { return WQWideToNarrowStr(text); }

// Loads the file at `path` into `document`; false when the file is missing, unreadable or holds no
// well-formed document.
bool LoadDocumentFile(const std::wstring& path, pugi::xml_document& document) {
  const std::optional<std::string> content = WQPlatform::ReadFile(Narrow(path));
  if (!content) return false;
  return document.load_buffer(content->data(), content->size(), kParseOptions) &&
         document.document_element();
}

}  // namespace

IWQXML::~IWQXML() = default;

XMLResultException::XMLResultException(int code, std::wstring message)
    : Code(code), Message(std::move(message)) {}

struct XMLBuilder::Impl {
  pugi::xml_document document;
  std::vector<pugi::xml_node> open;

  pugi::xml_node Innermost() { return open.empty() ? pugi::xml_node(document) : open.back(); }
};

XMLBuilder::XMLBuilder() : impl_(std::make_unique<Impl>()) {}

XMLBuilder::~XMLBuilder() = default;

void XMLBuilder::StartNode(const std::wstring& name) {
  impl_->open.push_back(impl_->Innermost().append_child(Narrow(name).c_str()));
}

void XMLBuilder::EndNode() {
  if (!impl_->open.empty()) impl_->open.pop_back();
}

void XMLBuilder::WNode(const std::wstring& name, const std::wstring& text) {
  pugi::xml_node child = impl_->Innermost().append_child(Narrow(name).c_str());
  // An empty text node would save as <name></name>, which reads back and saves as <name />.
  if (!text.empty()) child.text().set(Narrow(text).c_str());
}

void XMLBuilder::WAttribute(const std::wstring& name, const std::wstring& value) {
  impl_->Innermost().append_attribute(Narrow(name).c_str()).set_value(Narrow(value).c_str());
}

void XMLBuilder::WText(const std::wstring& text) {
  impl_->Innermost().append_child(pugi::node_pcdata).set_value(Narrow(text).c_str());
}

void XMLBuilder::Save(const std::wstring& path) const {
  WQPlatform::AtomicFile file(Narrow(path));
  file.Stream() << DocumentText(impl_->document);
  file.Commit();
}

bool XMLBuilder::AppendXMLFile(const std::wstring& path) {
  pugi::xml_document other;
  if (!LoadDocumentFile(path, other)) return false;
  impl_->Innermost().append_copy(other.document_element());
  return true;
}

std::wstring XMLBuilder::QXML() const { return WQNarrowToWideStr(DocumentText(impl_->document)); }

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

  pugi::xml_node Current() const {
    return levels.empty() ? pugi::xml_node(document) : levels.back().element;
  }

  pugi::xml_node FindChild(const std::string& name) const {
    if (levels.empty()) {
      const pugi::xml_node top = document.document_element();
      return name == top.name() ? top : pugi::xml_node();
    }
    return levels.back().element.child(name.c_str());
  }

  pugi::xml_node FindNextItem(const std::string& name) {
    Level& list = levels.back();
    const pugi::xml_node item =
        list.lastItem ? list.lastItem.next_sibling(name.c_str()) : list.element.child(name.c_str());
    if (item) list.lastItem = item;
    return item;
  }
};

XMLParser::XMLParser() : impl_(std::make_unique<Impl>()) {}

XMLParser::~XMLParser() = default;

bool XMLParser::LoadFile(const std::wstring& path) {
  impl_->levels.clear();
  return LoadDocumentFile(path, impl_->document);
}

bool XMLParser::LoadXML(const std::wstring& text) {
  impl_->levels.clear();
  const std::string content = Narrow(text);
  return impl_->document.load_buffer(content.data(), content.size(), kParseOptions,
                                     pugi::encoding_utf8) &&
         impl_->document.document_element();
}

bool XMLParser::StartNode(const std::wstring& name) {
  const bool inList = !impl_->levels.empty() && impl_->levels.back().isList;
  const pugi::xml_node element =
      inList ? impl_->FindNextItem(Narrow(name)) : impl_->FindChild(Narrow(name));
  if (!element) return false;
  impl_->levels.push_back({element, false, {}});
  return true;
}

void XMLParser::EndNode() {
  if (!impl_->levels.empty()) impl_->levels.pop_back();
}

bool XMLParser::QNode(const std::wstring& name, std::wstring& text) const {
  const pugi::xml_node child = impl_->Current().child(Narrow(name).c_str());
  if (!child) return false;
  text = WQNarrowToWideStr(child.child_value());
  return true;
}

bool XMLParser::StartList(const std::wstring& name, int& count) {
  const pugi::xml_node list = impl_->FindChild(Narrow(name));
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

}  // namespace WQCommon
