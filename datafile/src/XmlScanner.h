// The lexical rules of XML as the data-file library's readers take a file apart, and a scanner
// that reads the tags of a file through a window of bounded size. Internal to the data-file
// library.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "ReadLimits.h"

namespace WQPlatform {
class ReadOnlyFile;
}

namespace WQDataFile::detail {

// True for the blanks of XML: space, tab, carriage return and line feed.
bool IsXmlSpace(char c);
// The name of the element that the text of a start tag (between '<' and '>') opens.
std::string_view TagName(std::string_view tag);
// The value of the attribute `name` in the text of a start tag, as it stands (references not
// resolved): name, '=' and a value in single or double quotes, with blanks between them. Nothing
// when the tag has no such attribute or is malformed before it.
std::optional<std::string_view> TagAttribute(std::string_view tag, std::string_view name);
// The value of the attribute `name` with its character and entity references resolved (a
// character as UTF-8); empty when the tag has no such attribute. A reference to no character, or
// to an entity XML does not predefine, is kept as it stands.
std::string TagAttributeText(std::string_view tag, std::string_view name);

// Where a tag, declaration or processing instruction ends: at the first '>' outside a quoted
// attribute value, in single or double quotes.
class TagEnd {
 public:
  // True when `c`, the next byte after the '<', ends the markup.
  bool Ends(char c) {
    if (quote_ != 0) {
      if (c == quote_) quote_ = 0;
    } else if (c == '>') {
      return true;
    } else if (c == '"' || c == '\'') {
      quote_ = c;
    }
    return false;
  }

 private:
  char quote_ = 0;
};

// Why an XML node longer than kMaxNodeBytes is refused.
std::string NodeTooLongReason();

// Throws the DataFileError of a file that cannot be read: "<failure>: <reason>.".
[[noreturn]] void FailToRead(const std::string& failure, const std::string& reason);

// Takes a file's XML apart from a position on, through a window of the file that holds at least
// the node being read: a tag whole, text a chunk at a time. A node (text, with the CDATA sections
// in it, tag, comment or processing instruction) may be kMaxNodeBytes long. Every error is a
// DataFileError whose message begins with the `failure` given.
class XmlScanner {
 public:
  // Reads `file` from `position`, a chunk at a time but not past `expectedEnd` until the bytes
  // before it are used up.
  XmlScanner(const WQPlatform::ReadOnlyFile& file, std::uint64_t position,
             std::uint64_t expectedEnd, const std::string& failure)
      : file_(file), base_(position), expectedEnd_(expectedEnd), failure_(failure) {}
  XmlScanner(const XmlScanner&) = delete;
  XmlScanner& operator=(const XmlScanner&) = delete;

  // A tag as read: its text between '<' and '>' and its name; valid until the next read.
  struct Tag {
    std::string_view Text;
    std::string_view Name;
    bool End = false;    // "</name>"
    bool Empty = false;  // "<name/>"
  };

  // Reads on to the next start or end tag, handing the text before it to `text` when it is set
  // (else only measuring it). False at the end of what may be read.
  template <typename TextSink>
  bool NextTag(Tag& tag, TextSink&& text) {
    for (;;) {
      const char* data = Begin();
      const char* end = End();
      // Nothing read yet is no buffer at all, which memchr may not be given.
      const auto* open =
          data == end ? nullptr : static_cast<const char*>(std::memchr(data, '<', end - data));
      const char* stop = open ? open : end;
      Text(data, stop, text);
      Consume(static_cast<std::size_t>(stop - data));
      if (!open) {
        if (!More()) return false;
        continue;
      }
      if (Markup(tag, text)) return true;
    }
  }
  bool NextTag(Tag& tag) {
    return NextTag(tag, [](const char*, const char*) {});
  }

  // Hands each child element of `element`, whose start tag was just read, to `visit`, which reads
  // it to its end, up to the end tag of `element`.
  template <typename Visit>
  void Children(const Tag& element, Visit&& visit) {
    if (element.Empty) return;
    const std::string name(element.Name);
    Tag tag;
    for (;;) {
      if (!NextTag(tag)) Fail("it ends inside an element " + name);
      if (tag.End) {
        if (tag.Name != name) Fail("an end tag " + std::string(tag.Name) + " closes " + name);
        return;
      }
      visit(tag);
    }
  }

  // Skips the element whose start tag was just read, with everything in it.
  void SkipElement(const Tag& start) {
    Children(start, [this](const Tag& child) { SkipElement(child); });
  }

  std::uint64_t Position() const { return base_ + begin_; }
  // Where the last markup read began, at its '<'.
  std::uint64_t MarkupStart() const { return markupStart_; }

  [[noreturn]] void Fail(const std::string& reason) const { FailToRead(failure_, reason); }

 private:
  const char* Begin() const { return buffer_.get() + begin_; }
  const char* End() const { return buffer_.get() + end_; }
  void Consume(std::size_t count) { begin_ += count; }

  // Reads more of the file after End(), keeping the bytes from Begin(). False when nothing is left
  // to read.
  bool More();
  // Makes the `count` bytes from Begin() readable; false when the file ends first.
  bool Have(std::size_t count);
  [[noreturn]] void NodeTooLong() const;
  // Counts `size` more bytes of the text node being read.
  void CountText(std::size_t size);

  template <typename TextSink>
  void Text(const char* data, const char* end, TextSink& text) {
    CountText(static_cast<std::size_t>(end - data));
    if (data < end) text(data, end);
  }

  // Skips what follows Begin() up to and with `terminator`, handing it to `text` when it is text
  // (CDATA).
  template <typename TextSink>
  void SkipPast(std::string_view terminator, TextSink* text) {
    std::uint64_t length = 0;
    for (;;) {
      const std::string_view bytes(Begin(), static_cast<std::size_t>(End() - Begin()));
      const std::size_t found = bytes.find(terminator);
      // Keep the bytes that may begin the terminator.
      const std::size_t taken = found != std::string_view::npos
                                    ? found
                                    : bytes.size() - std::min(bytes.size(), terminator.size() - 1);
      length += taken;
      if (text) {
        Text(Begin(), Begin() + taken, *text);
      } else if (length > kMaxNodeBytes) {
        NodeTooLong();
      }
      Consume(taken);
      if (found != std::string_view::npos) {
        Consume(terminator.size());
        return;
      }
      if (!More()) Fail("it ends inside an XML node");
    }
  }

  // Reads the markup at Begin() ('<'); true when it is a tag, which `tag` then holds.
  template <typename TextSink>
  bool Markup(Tag& tag, TextSink& text) {
    markupStart_ = Position();
    Have(9);
    const std::string_view start(Begin(), std::min<std::size_t>(9, End() - Begin()));
    if (start.rfind("<![CDATA[", 0) == 0) {
      Consume(9);
      SkipPast("]]>", &text);
      return false;
    }
    // Other markup ends the text before it.
    textBytes_ = 0;
    if (start.rfind("<!--", 0) == 0) {
      Consume(4);
      SkipPast<TextSink>("-->", nullptr);
      return false;
    }
    if (start.rfind("<?", 0) == 0) {
      Consume(2);
      SkipPast<TextSink>("?>", nullptr);
      return false;
    }
    return Tagged(tag);
  }

  // Reads the tag or declaration at Begin() ('<') into `tag`; true when it is a tag.
  bool Tagged(Tag& tag);

  const WQPlatform::ReadOnlyFile& file_;
  std::uint64_t base_;  // the file offset of buffer_[0]
  std::uint64_t expectedEnd_;
  const std::string& failure_;
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_ = 0;
  std::size_t begin_ = 0;        // the read position in buffer_
  std::size_t end_ = 0;          // the end of the bytes read into buffer_
  std::uint64_t textBytes_ = 0;  // of the text node being read
  std::uint64_t markupStart_ = 0;
};

}  // namespace WQDataFile::detail
