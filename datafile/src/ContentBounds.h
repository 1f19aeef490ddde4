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
#include "ReadLimits.h"
#include "XmlScanner.h"

namespace WQDataFile::detail {

enum class Format { None, MzML, MzXML, MGF };

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

  // Where the reader is: in text, in markup, in a CDATA section, or in markup that ends only
  // after closersNeeded_ bytes closer_ and a '>'.
  enum class Lex { Text, Markup, CData, Skipped };
  void SkipTo(Lex lex, char closer, int closersNeeded);

  const Format format_;
  const std::string failure_;
  std::string reason_;  // why the bytes were refused
  // Where the reader is: the kind of node; the length of the text so far (with the CDATA sections
  // in it) and of the markup; the markup since its '<', where it ends; whether the markup begun
  // may still be a CDATA section.
  Lex lex_ = Lex::Text;
  std::uint64_t textBytes_ = 0;
  std::uint64_t markupBytes_ = 0;
  std::string markup_;
  TagEnd tagEnd_;
  char closer_ = 0;
  int closersNeeded_ = 0;
  int closers_ = 0;  // the bytes closer_ just read
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
