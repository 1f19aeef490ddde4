#include "ContentBounds.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

namespace WQDataFile::detail {

namespace {

// The widest value an array holds, and the header that a compressed encoding (MS-Numpress) puts
// before its values.
constexpr std::uint64_t kValueBytes = 8;
constexpr std::uint64_t kEncodingHeaderBytes = 16;
// The start of an MGF line that tells whether it opens or closes a spectrum.
constexpr std::size_t kLineStartBytes = 64;
constexpr std::string_view kCDataStart = "![CDATA[";

// The value of each byte in base64 text, -1 for bytes outside its alphabet (whitespace, padding).
constexpr std::array<signed char, 256> kBase64 = [] {
  std::array<signed char, 256> values{};
  for (signed char& value : values) value = -1;
  for (int i = 0; i < 26; ++i) {
    values['A' + i] = static_cast<signed char>(i);
    values['a' + i] = static_cast<signed char>(26 + i);
  }
  for (int i = 0; i < 10; ++i) values['0' + i] = static_cast<signed char>(52 + i);
  values['+'] = 62;
  values['/'] = 63;
  return values;
}();

// The bytes of base64 text between `data` and `end`, blanks and padding aside: a byte outside its
// alphabet is an error that the reader reports. Eight bytes at a time where none of them is a
// blank or padding, which is nearly always, so that the count costs next to nothing.
std::uint64_t Base64Characters(const char* data, const char* end) {
  constexpr std::uint64_t kOnes = 0x0101010101010101;
  constexpr std::uint64_t kHighs = 0x8080808080808080;
  std::uint64_t count = 0;
  while (data < end) {
    if (end - data >= 8) {
      std::uint64_t word;
      std::memcpy(&word, data, 8);
      const std::uint64_t padding = word ^ (kOnes * '=');
      const std::uint64_t blankOrPadding =
          ((word - kOnes * (' ' + 1)) & ~word & kHighs) | ((padding - kOnes) & ~padding & kHighs);
      if (blankOrPadding == 0) {
        count += 8;
        data += 8;
        continue;
      }
    }
    const auto c = static_cast<unsigned char>(*data++);
    count += c > ' ' && c != '=';
  }
  return count;
}

std::string Mebibytes(std::uint64_t bytes) { return std::to_string(bytes >> 20) + " MiB"; }

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

std::uint64_t DeclaredCount(std::optional<std::string_view> text) {
  std::uint64_t count = 0;
  if (!text) return 0;
  std::size_t at = 0;
  while (at < text->size() && IsXmlSpace((*text)[at])) ++at;
  for (; at < text->size() && (*text)[at] >= '0' && (*text)[at] <= '9'; ++at) {
    count = std::min(count * 10 + static_cast<std::uint64_t>((*text)[at] - '0'),
                     kMaxSpectrumValues + 1);
  }
  return count;
}

namespace {

// The elements whose tags tell how large a scan's peaks are, and whether they are compressed.
constexpr std::string_view kWatchedElements[] = {"scan", "peaks"};
constexpr std::size_t kLongestName = 5;

// True when `name`, of a start or end tag, is of an element looked at.
bool IsWatched(std::string_view name) {
  if (!name.empty() && name[0] == '/') name.remove_prefix(1);
  return std::find(std::begin(kWatchedElements), std::end(kWatchedElements), name) !=
         std::end(kWatchedElements);
}

}  // namespace

// The binary text of one array, decoded from base64 and inflated as it comes, counting the bytes
// it makes.
struct ContentBounds::Array {
  // zlib data is inflated raw, past its two-byte header: the reader checks its sums.
  Array(std::uint64_t allowed, bool zlib) : Allowed(allowed), Zlib(zlib) {
    if (Zlib && inflateInit2(&Stream, -15) != Z_OK) Zlib = false;
  }
  ~Array() {
    if (Zlib) inflateEnd(&Stream);
  }
  Array(const Array&) = delete;
  Array& operator=(const Array&) = delete;

  const std::uint64_t Allowed;  // the bytes it may decode to
  bool Zlib;
  std::uint64_t Characters = 0;  // of base64 text, when it is not compressed
  // When it is: the base64 bits not yet made into a byte, the bytes of the zlib header still to
  // come, the bytes inflated, and whether the compressed data ended (or is none that the reader
  // can inflate, which it will report).
  std::uint32_t Bits = 0;
  int BitCount = 0;
  int HeaderLeft = 2;
  std::uint64_t Inflated = 0;
  bool Ended = false;
  z_stream Stream{};
  std::array<unsigned char, 1 << 14> Sink;  // where inflated bytes are counted and dropped
};

ContentBounds::ContentBounds(Format format, std::string failure)
    : format_(format), failure_(std::move(failure)) {}

ContentBounds::~ContentBounds() = default;

bool ContentBounds::Pass(const char* data, std::size_t size) {
  if (!reason_.empty()) return false;
  return format_ == Format::MGF ? PassMGF(data, data + size) : PassXML(data, data + size);
}

void ContentBounds::Restart() {
  lex_ = Lex::Text;
  textBytes_ = 0;
  markupBytes_ = 0;
  markup_.clear();
  textOpen_ = false;
  defaultLength_.reset();
  spectrumValues_ = 0;
  array_.reset();
  lineBytes_ = 0;
  lineStart_.clear();
  lineHasEquals_ = false;
  // A reader that moved into the middle of a spectrum's block reads its peaks.
  inIons_ = true;
}

std::string ContentBounds::TakeFailure() {
  std::string reason;
  std::swap(reason, reason_);
  if (!reason.empty()) Restart();
  return reason;
}

bool ContentBounds::Fail(const std::string& reason) {
  reason_ = failure_ + ": " + reason + ".";
  return false;
}

// Text goes through as a whole, markup a byte at a time.
bool ContentBounds::PassXML(const char* data, const char* end) {
  while (data < end) {
    if (lex_ == Lex::Text) {
      const auto* open = static_cast<const char*>(std::memchr(data, '<', end - data));
      const char* stop = open ? open : end;
      if (!Text(data, stop)) return false;
      data = stop;
      if (open) {
        lex_ = Lex::Markup;
        markup_.clear();
        markupBytes_ = 1;
        textOpen_ = true;
        keepMarkup_ = true;
        nameRead_ = false;
        ++data;
      }
    } else if (lex_ == Lex::CData) {
      // A CDATA section continues the text around it, up to its "]]>".
      const char* stop = data;
      while (stop < end && !(*stop == '>' && brackets_ >= 2)) {
        brackets_ = *stop == ']' ? brackets_ + 1 : 0;
        ++stop;
      }
      if (!Text(data, stop)) return false;
      data = stop;
      if (stop < end) {
        lex_ = Lex::Text;
        ++data;
      }
    } else if (!Markup(*data++)) {
      return false;
    }
  }
  return true;
}

bool ContentBounds::Text(const char* data, const char* end) {
  textBytes_ += static_cast<std::uint64_t>(end - data);
  if (textBytes_ > kMaxNodeBytes) {
    return Fail("an XML node is longer than " + Mebibytes(kMaxNodeBytes) + ", the limit");
  }
  return !array_ || ArrayText(data, end);
}

// The reader reads a tag, comment or declaration up to the first '>' outside quotes, and a CDATA
// section, which may hold quotes and '>', up to its "]]>".
bool ContentBounds::Markup(char c) {
  if (++markupBytes_ > kMaxNodeBytes) {
    return Fail("an XML node is longer than " + Mebibytes(kMaxNodeBytes) + ", the limit");
  }
  // XML allows no NUL character. ProteoWizard's parser counts a tag's attributes past a NUL but
  // reads them as C strings, which stop at it, and then follows pointers it never set.
  if (c == '\0') return Fail("a tag holds a NUL byte, which XML does not allow");
  if (textOpen_) {
    if (c == kCDataStart[markup_.size()]) {
      markup_ += c;
      if (markup_.size() == kCDataStart.size()) {
        lex_ = Lex::CData;
        brackets_ = 0;
      }
      return true;
    }
    textOpen_ = false;
    textBytes_ = 0;
    array_.reset();
  }
  if (lex_ == Lex::Quoted) {
    if (c == quote_) lex_ = Lex::Markup;
  } else if (c == '>') {
    lex_ = Lex::Text;
    return EndOfMarkup();
  } else if (c == '"' || c == '\'') {
    quote_ = c;
    lex_ = Lex::Quoted;
  }
  // Only the elements looked at are kept whole; of the rest, their name.
  if (keepMarkup_ && !nameRead_ &&
      ((!markup_.empty() && (IsXmlSpace(c) || c == '/')) || markup_.size() > kLongestName)) {
    nameRead_ = true;
    keepMarkup_ = IsWatched(markup_);
  }
  if (keepMarkup_) markup_ += c;
  return true;
}

// Of mzXML, whose reader is handed these bytes, a scan tells how many values its peaks hold. A
// scan's peaks come before the scans nested in it, each a spectrum of its own. Of mzML, which has
// a reader of its own that keeps the bounds of its arrays, only the lengths of nodes are watched.
bool ContentBounds::EndOfMarkup() {
  const std::string_view tag = markup_;
  if (format_ != Format::MzXML || tag.empty() || tag[0] == '!' || tag[0] == '?' || tag[0] == '/') {
    return true;
  }
  const std::string_view name = TagName(tag);
  if (name == "scan") {
    spectrumValues_ = 0;
    defaultLength_ = 2 * DeclaredCount(TagAttribute(tag, "peaksCount"));
  } else if (name == "peaks") {
    return StartArray(defaultLength_, TagAttribute(tag, "compressionType") == "zlib");
  }
  return true;
}

// An array whose declared length the bytes looked at did not tell (the reader moved into the
// middle of a spectrum) may take what is left of a spectrum's values.
bool ContentBounds::StartArray(std::optional<std::uint64_t> declared, bool zlib) {
  std::uint64_t values = kMaxSpectrumValues - std::min(spectrumValues_, kMaxSpectrumValues);
  if (declared) {
    spectrumValues_ += *declared;
    if (spectrumValues_ > kMaxSpectrumValues) {
      return Fail("a spectrum declares more than " + std::to_string(kMaxSpectrumValues) +
                  " values, the limit");
    }
    values = *declared;
  }
  array_ = std::make_unique<Array>(values * kValueBytes + kEncodingHeaderBytes, zlib);
  tooMany_ = declared ? "an array decodes to more than the " + std::to_string(values) +
                            " values it declares"
                      : "an array decodes to more than the " + std::to_string(values) +
                            " values left to its spectrum, the limit";
  return true;
}

bool ContentBounds::ArrayText(const char* data, const char* end) {
  Array& array = *array_;
  if (!array.Zlib) {
    array.Characters += Base64Characters(data, end);
    return array.Characters / 4 * 3 <= array.Allowed || Fail(tooMany_);
  }
  std::array<unsigned char, 4096> bytes;
  std::size_t made = 0;
  std::uint32_t bits = array.Bits;
  int bitCount = array.BitCount;
  while (data < end && !array.Ended) {
    if (made + 3 > bytes.size()) {
      if (!Inflate(bytes.data(), made)) return false;
      made = 0;
    }
    // Four characters at a time, where none is a blank or padding.
    if (bitCount == 0 && end - data >= 4) {
      const int a = kBase64[static_cast<unsigned char>(data[0])];
      const int b = kBase64[static_cast<unsigned char>(data[1])];
      const int c = kBase64[static_cast<unsigned char>(data[2])];
      const int d = kBase64[static_cast<unsigned char>(data[3])];
      if ((a | b | c | d) >= 0) {
        const auto group = static_cast<std::uint32_t>(a << 18 | b << 12 | c << 6 | d);
        bytes[made++] = static_cast<unsigned char>(group >> 16);
        bytes[made++] = static_cast<unsigned char>(group >> 8);
        bytes[made++] = static_cast<unsigned char>(group);
        data += 4;
        continue;
      }
    }
    const int value = kBase64[static_cast<unsigned char>(*data++)];
    if (value < 0) continue;
    bits = bits << 6 | static_cast<std::uint32_t>(value);
    bitCount += 6;
    if (bitCount >= 8) {
      bitCount -= 8;
      bytes[made++] = static_cast<unsigned char>(bits >> bitCount);
      bits &= (1u << bitCount) - 1;
    }
  }
  array.Bits = bits;
  array.BitCount = bitCount;
  return Inflate(bytes.data(), made);
}

bool ContentBounds::Inflate(const unsigned char* data, std::size_t size) {
  Array& array = *array_;
  // The header names the method (8, deflate) and whether a preset dictionary, which the reader
  // does not have, follows.
  for (; size > 0 && array.HeaderLeft > 0; ++data, --size) {
    const bool usable = --array.HeaderLeft == 1 ? (*data & 0x0f) == 8 : (*data & 0x20) == 0;
    array.Ended = array.Ended || !usable;
  }
  z_stream& stream = array.Stream;
  stream.next_in = const_cast<unsigned char*>(data);
  stream.avail_in = static_cast<uInt>(size);
  while (stream.avail_in > 0 && !array.Ended) {
    stream.next_out = array.Sink.data();
    stream.avail_out = static_cast<uInt>(array.Sink.size());
    const int status = inflate(&stream, Z_NO_FLUSH);
    array.Inflated += array.Sink.size() - stream.avail_out;
    if (array.Inflated > array.Allowed) return Fail(tooMany_);
    array.Ended = status != Z_OK;
  }
  return true;
}

bool ContentBounds::PassMGF(const char* data, const char* end) {
  while (data < end) {
    const auto* newline = static_cast<const char*>(std::memchr(data, '\n', end - data));
    const char* stop = newline ? newline : end;
    const auto length = static_cast<std::size_t>(stop - data);
    lineBytes_ += length;
    if (lineBytes_ > kMaxLineBytes) {
      return Fail("a line is longer than " + Mebibytes(kMaxLineBytes) + ", the limit");
    }
    lineHasEquals_ = lineHasEquals_ || std::memchr(data, '=', length) != nullptr;
    if (lineStart_.size() < kLineStartBytes) {
      lineStart_.append(data, std::min(length, kLineStartBytes - lineStart_.size()));
    }
    data = stop;
    if (newline) {
      if (!EndOfLine()) return false;
      ++data;
    }
  }
  return true;
}

// The reader ignores blanks after "BEGIN IONS" and "END IONS", and takes every other line of a
// spectrum's block without '=' for a peak.
bool ContentBounds::EndOfLine() {
  std::string_view line;
  if (lineBytes_ <= kLineStartBytes) {
    line = lineStart_;
    while (!line.empty() && IsXmlSpace(line.back())) line.remove_suffix(1);
  }
  const bool blank = lineBytes_ <= kLineStartBytes && line.empty();
  const bool peak = inIons_ && !blank && !lineHasEquals_ && line != "END IONS";
  if (line == "BEGIN IONS" && !inIons_) {
    inIons_ = true;
    spectrumValues_ = 0;
  } else if (line == "END IONS") {
    inIons_ = false;
  }
  lineBytes_ = 0;
  lineStart_.clear();
  lineHasEquals_ = false;
  if (peak && (spectrumValues_ += 2) > kMaxSpectrumValues) {
    return Fail("a spectrum holds more than " + std::to_string(kMaxSpectrumValues / 2) +
                " peaks, the limit");
  }
  return true;
}

std::streamsize BoundedSource::read(char* data, std::streamsize size) {
  const std::streamsize got = file_.read(data, size);
  if (got <= 0) return got;
  return bounds_->Pass(data, static_cast<std::size_t>(got)) ? got : -1;
}

std::streampos BoundedSource::seek(boost::iostreams::stream_offset offset,
                                   std::ios_base::seekdir way) {
  const std::streampos before = file_.seek(0, std::ios_base::cur);
  const std::streampos after = file_.seek(offset, way);
  if (after != before) bounds_->Restart();
  return after;
}

}  // namespace WQDataFile::detail
