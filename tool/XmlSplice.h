// Storing elements into an XML document by replacing their bytes, so that every byte outside them
// stays as it was: comments, blank text, continuation lines and the layout, which a parse and a
// print of the document would change.
#pragma once

#include <string>
#include <vector>

namespace wqtool {

// An element to store: its name, and the element as XMLBuilder::TopElementText gives it.
struct StoredElement {
  std::string Name;
  std::string Text;
};

// The name of the top element of the document `bytes` (the file `path`, for messages). Throws
// std::runtime_error naming the file when the bytes are not a well-formed UTF-8 document.
std::string TopElementName(const std::string& bytes, const std::string& path);

// The document `bytes` with its top element replaced by `text`.
// Throws std::runtime_error naming the file when the bytes are not a well-formed UTF-8 document.
std::string WithTopElement(const std::string& bytes, const std::string& path,
                           const std::string& text);

// The document `bytes` with each of `elements` in place of the first child of its top element
// that has its name, and the later children of that name left out; as the top element's last
// child when it has none of that name. Each is indented as the child it replaces, or as the last
// child. Throws std::runtime_error naming the file when the bytes are not a well-formed UTF-8
// document, or its top element is not named `top`.
std::string WithChildren(const std::string& bytes, const std::string& path, const std::string& top,
                         const std::vector<StoredElement>& elements);

}  // namespace wqtool
