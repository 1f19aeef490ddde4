#include "XmlScanner.h"

#include <WQDataFile/DataFile.h>
#include <WQPlatform/Platform.h>

#include <iterator>
#include <utility>

namespace WQDataFile::detail {

namespace {

// How much of the file one read takes.
constexpr std::size_t kChunkBytes = std::size_t{1} << 18;

// The character that the digits of a character reference name ("#65", "#x41"): nothing when they
// name none that XML allows, the surrogates and values past Unicode among them.
std::optional<std::uint32_t> ReferencedCharacter(std::string_view name) {
  if (name.size() < 2 || name[0] != '#') return std::nullopt;
  const bool hex = name[1] == 'x';
  const std::string_view digits = name.substr(hex ? 2 : 1);
  if (digits.empty()) return std::nullopt;
  std::uint32_t code = 0;
  for (const char c : digits) {
    std::uint32_t digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<std::uint32_t>(c - '0');
    } else if (hex && c >= 'a' && c <= 'f') {
      digit = static_cast<std::uint32_t>(c - 'a' + 10);
    } else if (hex && c >= 'A' && c <= 'F') {
      digit = static_cast<std::uint32_t>(c - 'A' + 10);
    } else {
      return std::nullopt;
    }
    code = code * (hex ? 16 : 10) + digit;
    if (code > 0x10ffff) return std::nullopt;
  }
  if (code == 0 || (code >= 0xd800 && code <= 0xdfff)) return std::nullopt;
  return code;
}

void AppendUtf8(std::uint32_t code, std::string& text) {
  if (code < 0x80) {
    text += static_cast<char>(code);
  } else if (code < 0x800) {
    text += static_cast<char>(0xc0 | code >> 6);
    text += static_cast<char>(0x80 | (code & 0x3f));
  } else if (code < 0x10000) {
    text += static_cast<char>(0xe0 | code >> 12);
    text += static_cast<char>(0x80 | (code >> 6 & 0x3f));
    text += static_cast<char>(0x80 | (code & 0x3f));
  } else {
    text += static_cast<char>(0xf0 | code >> 18);
    text += static_cast<char>(0x80 | (code >> 12 & 0x3f));
    text += static_cast<char>(0x80 | (code >> 6 & 0x3f));
    text += static_cast<char>(0x80 | (code & 0x3f));
  }
}

// The text of an attribute value with its character and entity references resolved.
std::string Unescaped(std::string_view text) {
  static const std::pair<std::string_view, char> kEntities[] = {
      {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
  std::string plain;
  plain.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t amp = text.find('&', at);
    plain.append(text.substr(at, amp - at));
    if (amp == std::string_view::npos) break;
    const std::size_t semicolon = text.find(';', amp);
    const std::string_view name =
        semicolon == std::string_view::npos ? "" : text.substr(amp + 1, semicolon - amp - 1);
    const auto entity = std::find_if(std::begin(kEntities), std::end(kEntities),
                                     [&](const auto& known) { return known.first == name; });
    const std::optional<std::uint32_t> code = ReferencedCharacter(name);
    if (entity != std::end(kEntities)) {
      plain += entity->second;
    } else if (code) {
      AppendUtf8(*code, plain);
    } else {
      // Not a reference: kept as it stands.
      plain += '&';
      at = amp + 1;
      continue;
    }
    at = semicolon + 1;
  }
  return plain;
}

}  // namespace

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view TagName(std::string_view tag) {
  std::size_t end = 0;
  while (end < tag.size() && !IsXmlSpace(tag[end]) && tag[end] != '/') ++end;
  return tag.substr(0, end);
}

std::optional<std::string_view> TagAttribute(std::string_view tag, std::string_view name) {
  std::size_t at = TagName(tag).size();
  while (at < tag.size()) {
    while (at < tag.size() && (IsXmlSpace(tag[at]) || tag[at] == '/')) ++at;
    const std::size_t nameStart = at;
    while (at < tag.size() && !IsXmlSpace(tag[at]) && tag[at] != '=') ++at;
    const std::string_view attribute = tag.substr(nameStart, at - nameStart);
    while (at < tag.size() && IsXmlSpace(tag[at])) ++at;
    if (at == tag.size() || tag[at] != '=') return std::nullopt;
    ++at;
    while (at < tag.size() && IsXmlSpace(tag[at])) ++at;
    if (at == tag.size() || (tag[at] != '"' && tag[at] != '\'')) return std::nullopt;
    const std::size_t valueEnd = tag.find(tag[at], at + 1);
    if (valueEnd == std::string_view::npos) return std::nullopt;
    if (attribute == name) return tag.substr(at + 1, valueEnd - at - 1);
    at = valueEnd + 1;
  }
  return std::nullopt;
}

std::string TagAttributeText(std::string_view tag, std::string_view name) {
  const std::optional<std::string_view> value = TagAttribute(tag, name);
  return value ? Unescaped(*value) : std::string();
}

std::string NodeTooLongReason() {
  return "an XML node is longer than " + std::to_string(kMaxNodeBytes >> 20) + " MiB, the limit";
}

void FailToRead(const std::string& failure, const std::string& reason) {
  throw DataFileError(failure + ": " + reason + ".");
}

bool XmlScanner::More() {
  if (begin_ > 0) {
    std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
    base_ += begin_;
    end_ -= begin_;
    begin_ = 0;
  }
  if (capacity_ - end_ < kChunkBytes) {
    // A window need hold no more than the longest node and a chunk after it.
    const std::size_t capacity = std::max<std::size_t>(
        end_ + kChunkBytes, std::min<std::size_t>(2 * capacity_, kMaxNodeBytes + 2 * kChunkBytes));
    std::unique_ptr<char[]> buffer(new char[capacity]);
    if (end_ > 0) std::memcpy(buffer.get(), buffer_.get(), end_);
    buffer_ = std::move(buffer);
    capacity_ = capacity;
  }
  // Up to the end expected, or on when more is wanted: the file may have changed.
  const std::uint64_t at = base_ + end_;
  const std::size_t want =
      at < expectedEnd_
          ? static_cast<std::size_t>(std::min<std::uint64_t>(capacity_ - end_, expectedEnd_ - at))
          : capacity_ - end_;
  const std::size_t got = file_.ReadAt(at, buffer_.get() + end_, want);
  end_ += got;
  return got > 0;
}

bool XmlScanner::Have(std::size_t count) {
  while (static_cast<std::size_t>(End() - Begin()) < count) {
    if (!More()) return false;
  }
  return true;
}

void XmlScanner::NodeTooLong() const { Fail(NodeTooLongReason()); }

void XmlScanner::CountText(std::size_t size) {
  textBytes_ += size;
  if (textBytes_ > kMaxNodeBytes) NodeTooLong();
}

bool XmlScanner::Tagged(Tag& tag) {
  std::size_t at = 1;
  TagEnd tagEnd;
  for (;;) {
    const char* data = Begin();
    const std::size_t size = static_cast<std::size_t>(End() - data);
    while (at < size && !tagEnd.Ends(data[at])) ++at;
    if (at < size) break;
    if (at > kMaxNodeBytes) NodeTooLong();
    if (!More()) Fail("it ends inside an XML node");
  }
  if (at > kMaxNodeBytes) NodeTooLong();
  std::string_view markup(Begin() + 1, at - 1);
  Consume(at + 1);
  if (markup.empty() || markup[0] == '!') return false;
  tag.End = markup[0] == '/';
  if (tag.End) markup.remove_prefix(1);
  tag.Empty = !tag.End && markup.back() == '/';
  tag.Text = markup;
  tag.Name = TagName(markup);
  return true;
}

}  // namespace WQDataFile::detail
