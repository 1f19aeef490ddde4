// Bounds on what reading one spectrum of a run in an open format may cost, whatever the file
// holds. They are kept on the bytes that the format's reader is handed, before it decodes them: a
// reader never sees the bytes that pass a bound, only the end of the file. Internal to the
// data-file library.
#pragma once

#include <boost/iostreams/categories.hpp>
#include <boost/iostreams/positioning.hpp>
#include <cstddef>
#include <cstdint>
#include <ios>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "FileStream.h"

namespace WQDataFile::detail {

enum class Format { None, MzML, MzXML, MGF };

// The values that the arrays of one spectrum (m/z, intensities and any other) may declare or hold
// together: 2,097,152 points of m/z and intensity, 32 MiB as doubles.
constexpr std::uint64_t kMaxSpectrumValues = std::uint64_t{1} << 22;
// The longest XML node (a text, tag, comment or CDATA section): the base64 text of an array of
// all the values a spectrum may hold fits.
constexpr std::uint64_t kMaxNodeBytes = std::uint64_t{32} << 20;
// The longest line of an MGF file.
constexpr std::uint64_t kMaxLineBytes = std::uint64_t{1} << 20;

// True for the blanks of XML: space, tab, carriage return and line feed.
bool IsXmlSpace(char c);
// The name of the element that the text of a start tag (between '<' and '>') opens.
std::string_view TagName(std::string_view tag);
// The value of the attribute `name` in the text of a start tag, as it stands (references not
// resolved): name, '=' and a value in single or double quotes, with blanks between them. Nothing
// when the tag has no such attribute or is malformed before it.
std::optional<std::string_view> TagAttribute(std::string_view tag, std::string_view name);
// A count of values as a tag declares it: the decimal digits after any blanks, 0 without digits or
// attribute; no more than one past kMaxSpectrumValues, which it passes already.
std::uint64_t DeclaredCount(std::optional<std::string_view> text);

// Watches the bytes of a file of `format` in the order they are read from where the reader last
// moved to, as the reader itself takes them apart: XML nodes, with quoted attribute values and
// CDATA sections, or MGF lines. It refuses an XML node or line longer than its bound, and a NUL
// byte in XML markup. Of the formats that ProteoWizard's readers read, it also refuses a spectrum
// that declares more values than kMaxSpectrumValues (an mzXML scan twice its peaksCount, an MGF
// spectrum two for each peak line), and an mzXML scan's peaks whose base64 text decodes, and
// inflates where the file says they are zlib-compressed, to more than eight bytes for each value
// declared (the widest value) and 16 more. The mzML reader keeps the bounds of its arrays itself:
// of mzML text, only the nodes are watched (as it is inflated from a compressed file).
class ContentBounds {
 public:
  // `failure` begins every message: "Cannot read <format> file <path>".
  ContentBounds(Format format, std::string failure);
  ~ContentBounds();
  ContentBounds(const ContentBounds&) = delete;
  ContentBounds& operator=(const ContentBounds&) = delete;

  // Looks at the next `size` bytes; false when they pass a bound, and from then on until the
  // failure is taken.
  bool Pass(const char* data, std::size_t size);
  // The reader moved elsewhere in the file and starts afresh there.
  void Restart();
  // Why the bytes were refused ("Cannot read ...: ..."), after which they are looked at afresh;
  // empty, changing nothing, when nothing was refused.
  std::string TakeFailure();

 private:
  struct Array;

  bool PassXML(const char* data, const char* end);
  bool PassMGF(const char* data, const char* end);
  bool Text(const char* data, const char* end);
  bool Markup(char c);
  bool EndOfMarkup();
  bool StartArray(std::optional<std::uint64_t> declared, bool zlib);
  bool ArrayText(const char* data, const char* end);
  bool Inflate(const unsigned char* data, std::size_t size);
  bool EndOfLine();
  bool Fail(const std::string& reason);

  enum class Lex { Text, Markup, Quoted, CData };

  const Format format_;
  const std::string failure_;
  std::string reason_;  // why the bytes were refused
  // Where the reader is: the kind of node; the length of the text so far (with the CDATA sections
  // in it) and of the markup; the markup since its '<', the quote an attribute value opened, the
  // ']' that may end a CDATA section; whether the markup begun may still be a CDATA section.
  Lex lex_ = Lex::Text;
  std::uint64_t textBytes_ = 0;
  std::uint64_t markupBytes_ = 0;
  std::string markup_;
  char quote_ = 0;
  int brackets_ = 0;
  bool textOpen_ = false;
  bool nameRead_ = false;    // whether the markup's name is whole
  bool keepMarkup_ = false;  // whether the markup is kept whole, as an element looked at
  // The mzXML scan read: twice its peaksCount when the bytes looked at told it, and the values its
  // peaks declared; the binary text of its peaks being decoded and what to say when it decodes to
  // too much.
  std::optional<std::uint64_t> defaultLength_;
  std::uint64_t spectrumValues_ = 0;
  std::unique_ptr<Array> array_;
  std::string tooMany_;
  // The MGF line read: its length, first bytes and whether it holds '='; whether a spectrum's
  // block is open.
  std::uint64_t lineBytes_ = 0;
  std::string lineStart_;
  bool lineHasEquals_ = false;
  bool inIons_ = false;
};

// A file read through its ContentBounds: once they refuse the bytes, the reader gets the end of
// the file instead.
class BoundedSource {
 public:
  using char_type = char;
  struct category : boost::iostreams::input_seekable, boost::iostreams::device_tag {};

  BoundedSource(FileSource file, std::shared_ptr<ContentBounds> bounds)
      : file_(file), bounds_(std::move(bounds)) {}

  std::streamsize read(char* data, std::streamsize size);
  // Moving restarts the bounds; asking where the reader is does not.
  std::streampos seek(boost::iostreams::stream_offset offset, std::ios_base::seekdir way);

 private:
  FileSource file_;
  std::shared_ptr<ContentBounds> bounds_;
};

}  // namespace WQDataFile::detail
