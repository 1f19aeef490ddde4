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
#include <set>
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

// Watches the bytes of a file of `format` in the order they are read from where the reader last
// moved to, as the reader itself takes them apart: XML nodes, with quoted attribute values and
// CDATA sections, or MGF lines. It refuses an XML node or line longer than its bound; a spectrum
// whose arrays declare more values than kMaxSpectrumValues (an mzML array its arrayLength or its
// spectrum's defaultArrayLength, an mzXML scan twice its peaksCount, an MGF spectrum two for each
// peak line); and an array whose base64 text decodes, and inflates where the file says it is
// zlib-compressed, to more than eight bytes for each value it declares (the widest value) and 16
// more (the header of a compressed encoding).
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
  // The reader moved elsewhere in the file and starts afresh there. The parameter groups that the
  // header of an mzML file declared are kept.
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
  bool StartTag(std::string_view tag);
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
  // The spectrum or chromatogram read: how deep in its element, its defaultArrayLength (mzXML:
  // twice its peaksCount) when the bytes looked at told it, and the values its arrays declared.
  int spectrumDepth_ = 0;
  std::optional<std::uint64_t> defaultLength_;
  std::uint64_t spectrumValues_ = 0;
  // The mzML array read: its length, whether it is zlib-compressed; the binary text being decoded
  // and what to say when it decodes to too much.
  bool inArray_ = false;
  std::optional<std::uint64_t> arrayLength_;
  bool zlib_ = false;
  std::unique_ptr<Array> array_;
  std::string tooMany_;
  // The ids of the mzML parameter groups that hold a zlib compression, and the group declared.
  std::set<std::string, std::less<>> zlibGroups_;
  std::string group_;
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
