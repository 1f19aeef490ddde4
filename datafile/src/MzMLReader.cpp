#include "MzMLReader.h"

#include <WQDataFile/DataFile.h>
#include <WQPlatform/Platform.h>
#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <map>
#include <pwiz/data/common/cv.hpp>
#include <pwiz/data/msdata/BinaryDataEncoder.hpp>
#include <pwiz/utility/misc/Base64.hpp>
#include <string_view>
#include <utility>

#include "ContentBounds.h"

namespace WQDataFile::detail {

namespace {

// How much of the file one read takes.
constexpr std::size_t kChunkBytes = std::size_t{1} << 18;
// The widest value an array holds, and the header that MS-Numpress puts before its values.
constexpr std::uint64_t kValueBytes = 8;
constexpr std::uint64_t kEncodingHeaderBytes = 16;

std::string Mebibytes(std::uint64_t bytes) { return std::to_string(bytes >> 20) + " MiB"; }

// A parameter of the controlled vocabulary: its accession, value and unit, entities resolved.
struct Param {
  std::string Accession;
  std::string Value;
  std::string Unit;
};
using Params = std::vector<Param>;

// The text of an attribute value with its character and entity references resolved.
std::string Unescaped(std::string_view text) {
  std::string plain;
  plain.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t amp = text.find('&', at);
    plain.append(text.substr(at, amp - at));
    if (amp == std::string_view::npos) break;
    const std::size_t semicolon = text.find(';', amp);
    const std::string_view name =
        semicolon == std::string_view::npos ? "" : text.substr(amp + 1, semicolon - amp - 1);
    static const std::pair<std::string_view, char> kEntities[] = {
        {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
    const auto entity = std::find_if(std::begin(kEntities), std::end(kEntities),
                                     [&](const auto& known) { return known.first == name; });
    unsigned long code = 0;
    if (entity != std::end(kEntities)) {
      plain += entity->second;
    } else if (name.size() > 1 && name[0] == '#') {
      const bool hex = name[1] == 'x';
      const std::string digits(name.substr(hex ? 2 : 1));
      char* end = nullptr;
      code = std::strtoul(digits.c_str(), &end, hex ? 16 : 10);
      if (digits.empty() || *end != '\0' || code > 0x10ffff) code = 0;
      // As UTF-8.
      if (code < 0x80) {
        plain += static_cast<char>(code);
      } else if (code < 0x800) {
        plain += static_cast<char>(0xc0 | code >> 6);
        plain += static_cast<char>(0x80 | (code & 0x3f));
      } else if (code < 0x10000) {
        plain += static_cast<char>(0xe0 | code >> 12);
        plain += static_cast<char>(0x80 | (code >> 6 & 0x3f));
        plain += static_cast<char>(0x80 | (code & 0x3f));
      } else {
        plain += static_cast<char>(0xf0 | code >> 18);
        plain += static_cast<char>(0x80 | (code >> 12 & 0x3f));
        plain += static_cast<char>(0x80 | (code >> 6 & 0x3f));
        plain += static_cast<char>(0x80 | (code & 0x3f));
      }
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

std::string AttributeText(std::string_view tag, std::string_view name) {
  const std::optional<std::string_view> value = TagAttribute(tag, name);
  return value ? Unescaped(*value) : std::string();
}

Param ParamOf(std::string_view tag) {
  return Param{AttributeText(tag, "accession"), AttributeText(tag, "value"),
               AttributeText(tag, "unitAccession")};
}

// A number as the vocabulary's values are read: the longest number at the start of the text after
// blanks (an empty text is 0), or nothing when the text starts with none.
std::optional<double> NumberOf(const std::string& text) {
  if (text.empty()) return 0.0;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (end == text.c_str()) return std::nullopt;
  return value;
}

std::optional<long> WholeNumberOf(const std::string& text) {
  if (text.empty()) return 0;
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (end == text.c_str()) return std::nullopt;
  return value;
}

// Seconds in one of the time unit `unit`; 0 for a unit that is no time.
double SecondsPer(std::string_view unit) {
  static const std::pair<std::string_view, double> kUnits[] = {
      {"UO:0000010", 1.0},  {"MS:1000039", 1.0},    {"UO:0000031", 60.0},
      {"MS:1000038", 60.0}, {"UO:0000032", 3600.0}, {"UO:0000028", 1e-3},
      {"UO:0000029", 1e-6}, {"UO:0000150", 1e-9},   {"UO:0000030", 1e-12}};
  for (const auto& [accession, seconds] : kUnits) {
    if (accession == unit) return seconds;
  }
  return 0.0;
}

// The value of each byte in base64 text shifted into place for each of the four characters of a
// group, with the top bit set for a byte outside the alphabet.
constexpr std::uint32_t kInvalid = 0x80000000u;
using DecodeTable = std::array<std::uint32_t, 256>;
constexpr DecodeTable Base64Table(int shift) {
  DecodeTable table{};
  for (std::uint32_t& entry : table) entry = kInvalid;
  for (int i = 0; i < 26; ++i) {
    table['A' + i] = static_cast<std::uint32_t>(i) << shift;
    table['a' + i] = static_cast<std::uint32_t>(26 + i) << shift;
  }
  for (int i = 0; i < 10; ++i) table['0' + i] = static_cast<std::uint32_t>(52 + i) << shift;
  table['+'] = 62u << shift;
  table['/'] = 63u << shift;
  return table;
}
constexpr DecodeTable kDecode0 = Base64Table(18);
constexpr DecodeTable kDecode1 = Base64Table(12);
constexpr DecodeTable kDecode2 = Base64Table(6);
constexpr DecodeTable kDecode3 = Base64Table(0);

// Bytes of growing length up to a bound, never initialised before they are written.
class Bytes {
 public:
  unsigned char* Data() { return data_.get(); }
  const unsigned char* Data() const { return data_.get(); }
  std::size_t Size() const { return size_; }
  void Clear() { size_ = 0; }
  // Room for `more` bytes after Size(); the caller writes them and calls Grow.
  unsigned char* Reserve(std::size_t more) {
    if (size_ + more > capacity_) {
      const std::size_t capacity = std::max(size_ + more, capacity_ + capacity_ / 2);
      std::unique_ptr<unsigned char[]> data(new unsigned char[capacity]);
      if (size_ > 0) std::memcpy(data.get(), data_.get(), size_);
      data_ = std::move(data);
      capacity_ = capacity;
    }
    return data_.get() + size_;
  }
  void Grow(std::size_t count) { size_ += count; }

 private:
  std::unique_ptr<unsigned char[]> data_;
  std::size_t capacity_ = 0;
  std::size_t size_ = 0;
};

// Base64 text decoded into bytes as it comes, up to a bound on the bytes made. Blanks may stand
// anywhere, padding only at the end.
class Base64Decoder {
 public:
  enum class Result { Fine, Full, Invalid };

  void Start(Bytes& out, std::uint64_t bound) {
    out_ = &out;
    bound_ = bound;
    out.Clear();
    bits_ = 0;
    count_ = 0;
    padded_ = false;
  }

  Result Feed(const char* data, const char* end) {
    while (data < end) {
      // Four characters at a time, none of them a blank or padding, which is nearly always.
      if (count_ == 0 && !padded_ && end - data >= 4) {
        const std::size_t groups =
            std::min<std::uint64_t>((end - data) / 4, (bound_ - out_->Size()) / 3);
        unsigned char* out = out_->Reserve(groups * 3);
        std::size_t done = 0;
        for (; done < groups; ++done, data += 4, out += 3) {
          const std::uint32_t group = kDecode0[static_cast<unsigned char>(data[0])] |
                                      kDecode1[static_cast<unsigned char>(data[1])] |
                                      kDecode2[static_cast<unsigned char>(data[2])] |
                                      kDecode3[static_cast<unsigned char>(data[3])];
          if (group & kInvalid) break;
          out[0] = static_cast<unsigned char>(group >> 16);
          out[1] = static_cast<unsigned char>(group >> 8);
          out[2] = static_cast<unsigned char>(group);
        }
        out_->Grow(done * 3);
        if (data == end) break;
      }
      const Result result = Character(*data++);
      if (result != Result::Fine) return result;
    }
    return Result::Fine;
  }

  // The end of the text: the bits of a last group without padding make their bytes.
  Result Finish() {
    if (count_ == 1) return Result::Invalid;
    if (count_ > 1) {
      const int bytes = count_ - 1;
      if (out_->Size() + bytes > bound_) return Result::Full;
      unsigned char* out = out_->Reserve(bytes);
      const std::uint32_t group = bits_ << (6 * (4 - count_));
      for (int i = 0; i < bytes; ++i) out[i] = static_cast<unsigned char>(group >> (16 - 8 * i));
      out_->Grow(bytes);
      count_ = 0;
    }
    return Result::Fine;
  }

 private:
  Result Character(char c) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= ' ' && IsXmlSpace(c)) return Result::Fine;
    if (c == '=') {
      padded_ = true;
      return Result::Fine;
    }
    const std::uint32_t value = kDecode3[byte];
    if (padded_ || (value & kInvalid)) return Result::Invalid;
    bits_ = bits_ << 6 | value;
    if (++count_ == 4) {
      if (out_->Size() + 3 > bound_) return Result::Full;
      unsigned char* out = out_->Reserve(3);
      out[0] = static_cast<unsigned char>(bits_ >> 16);
      out[1] = static_cast<unsigned char>(bits_ >> 8);
      out[2] = static_cast<unsigned char>(bits_);
      out_->Grow(3);
      bits_ = 0;
      count_ = 0;
    }
    return Result::Fine;
  }

  Bytes* out_ = nullptr;
  std::uint64_t bound_ = 0;
  std::uint32_t bits_ = 0;
  int count_ = 0;
  bool padded_ = false;
};

// How an array's values are stored.
enum class ValueType { None, Float32, Float64, Int32, Int64 };
enum class Numpress { None, Linear, Pic, Slof };

// What the parameters of an array say about its encoding.
struct Encoding {
  ValueType Type = ValueType::None;
  bool Zlib = false;
  Numpress Packing = Numpress::None;
  std::string Unsupported;  // a compression the reader cannot undo
};

void AddToEncoding(const std::string& accession, Encoding& encoding) {
  static const std::pair<std::string_view, ValueType> kTypes[] = {
      {"MS:1000521", ValueType::Float32},
      {"MS:1000523", ValueType::Float64},
      {"MS:1000519", ValueType::Int32},
      {"MS:1000522", ValueType::Int64}};
  static const std::tuple<std::string_view, bool, Numpress> kCompressions[] = {
      {"MS:1000574", true, Numpress::None},   {"MS:1002312", false, Numpress::Linear},
      {"MS:1002313", false, Numpress::Pic},   {"MS:1002314", false, Numpress::Slof},
      {"MS:1002746", true, Numpress::Linear}, {"MS:1002747", true, Numpress::Pic},
      {"MS:1002748", true, Numpress::Slof}};
  for (const auto& [term, type] : kTypes) {
    // A 64-bit float wins over any other type named beside it.
    if (term == accession && encoding.Type != ValueType::Float64) encoding.Type = type;
  }
  for (const auto& [term, zlib, packing] : kCompressions) {
    if (term != accession) continue;
    encoding.Zlib = encoding.Zlib || zlib;
    if (packing != Numpress::None) encoding.Packing = packing;
  }
  // Truncation before zlib compression, which the vocabulary names but no library here undoes.
  constexpr std::string_view kTruncations[] = {"MS:1003089", "MS:1003090", "MS:1003091"};
  if (std::find(std::begin(kTruncations), std::end(kTruncations), accession) !=
      std::end(kTruncations)) {
    encoding.Unsupported = accession;
  }
}

}  // namespace

// The parameter groups that the header declares, and what the header says of the run.
struct MzMLReader::Header {
  std::map<std::string, Params, std::less<>> Groups;
  std::vector<std::string> Instrument;
  std::string StartTimeStamp;
  std::uint64_t SpectraStart = 0;  // where the list of spectra begins its content

  const Params* Group(std::string_view id) const {
    const auto found = Groups.find(id);
    return found == Groups.end() ? nullptr : &found->second;
  }
};

// Takes the file's XML apart from a position on, through a window of the file that holds at least
// the node being read: a tag whole, text a chunk at a time.
class MzMLReader::Parser {
 public:
  // Reads `file` from `position`, a chunk at a time but not past `expectedEnd` until the bytes
  // before it are used up.
  Parser(const WQPlatform::ReadOnlyFile& file, std::uint64_t position, std::uint64_t expectedEnd,
         const std::string& failure)
      : file_(file), base_(position), expectedEnd_(expectedEnd), failure_(failure) {}
  ~Parser() {
    if (decompressor_) libdeflate_free_decompressor(decompressor_);
  }
  Parser(const Parser&) = delete;
  Parser& operator=(const Parser&) = delete;

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
      if (!Markup(tag, text)) continue;
      return true;
    }
  }
  bool NextTag(Tag& tag) {
    return NextTag(tag, [](const char*, const char*) {});
  }

  std::uint64_t Position() const { return base_ + begin_; }
  // Where the last markup read began, at its '<'.
  std::uint64_t MarkupStart() const { return markupStart_; }

  [[noreturn]] void Fail(const std::string& reason) const {
    throw DataFileError(failure_ + ": " + reason + ".");
  }

  // The header: parameter groups, instrument configurations and the run, up to the list of
  // spectra.
  void ReadHeader(Header& header);
  // The spectrum whose start tag `tag` was just read, up to its end tag.
  void ReadSpectrum(const Tag& tag, const Header& header, MzMLSpectrum& spectrum);

 private:
  const char* Begin() const { return buffer_.get() + begin_; }
  const char* End() const { return buffer_.get() + end_; }
  void Consume(std::size_t count) { begin_ += count; }

  // Reads more of the file after End(), keeping the bytes from Begin(). False when nothing is left
  // to read.
  bool More() {
    if (begin_ > 0) {
      std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
      base_ += begin_;
      end_ -= begin_;
      begin_ = 0;
    }
    if (capacity_ - end_ < kChunkBytes) {
      // A window need hold no more than the longest node and a chunk after it.
      const std::size_t capacity = std::max<std::size_t>(
          end_ + kChunkBytes,
          std::min<std::size_t>(2 * capacity_, kMaxNodeBytes + 2 * kChunkBytes));
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

  template <typename TextSink>
  void Text(const char* data, const char* end, TextSink& text) {
    textBytes_ += static_cast<std::uint64_t>(end - data);
    if (textBytes_ > kMaxNodeBytes) NodeTooLong();
    if (data < end) text(data, end);
  }

  [[noreturn]] void NodeTooLong() const {
    Fail("an XML node is longer than " + Mebibytes(kMaxNodeBytes) + ", the limit");
  }

  // Makes the `count` bytes from Begin() readable; false when the file ends first.
  bool Have(std::size_t count) {
    while (static_cast<std::size_t>(End() - Begin()) < count) {
      if (!More()) return false;
    }
    return true;
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
    // A tag or declaration ends at the first '>' outside quotes.
    std::size_t at = 1;
    char quote = 0;
    for (;;) {
      const char* data = Begin();
      const std::size_t size = static_cast<std::size_t>(End() - data);
      for (; at < size; ++at) {
        const char c = data[at];
        if (quote) {
          if (c == quote) quote = 0;
        } else if (c == '>') {
          break;
        } else if (c == '"' || c == '\'') {
          quote = c;
        }
      }
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

  const Params& GroupOf(const Tag& reference, const Header& header) {
    const std::string id = AttributeText(reference.Text, "ref");
    const Params* group = header.Group(id);
    if (!group) Fail("it refers to a parameter group " + id + " that it does not declare");
    return *group;
  }

  // The parameters of `element` and, when `withGroups`, of the groups it refers to after them;
  // its other children are skipped.
  Params ReadParams(const Tag& element, const Header& header, bool withGroups) {
    Params params;
    std::vector<const Params*> groups;
    Children(element, [&](const Tag& child) {
      if (child.Name == "cvParam") {
        params.push_back(ParamOf(child.Text));
      } else if (child.Name == "referenceableParamGroupRef" && withGroups) {
        groups.push_back(&GroupOf(child, header));
      }
      SkipElement(child);
    });
    for (const Params* group : groups) params.insert(params.end(), group->begin(), group->end());
    return params;
  }

  std::vector<std::string> ReadInstrument(const Tag& configuration, const Header& header);
  void ReadArray(const Tag& array, std::uint64_t defaultLength, bool decode, const Header& header,
                 std::uint64_t& declaredTotal, std::vector<double>& mz,
                 std::vector<double>& intensity, bool& haveMZ, bool& haveIntensity);
  std::vector<double> ReadBinary(const Tag& binary, const Encoding& encoding,
                                 std::uint64_t declared);
  std::vector<double> Unpacked(Numpress packing, const unsigned char* data, std::size_t size,
                               std::uint64_t declared);
  // Notes the first array of the spectrum read whose values are not as many as it declares: the
  // spectrum is refused for that at its end, once every bound has been kept.
  void Miscounted(const std::string& fault) {
    if (miscounted_.empty()) miscounted_ = fault;
  }
  const unsigned char* Inflated(std::uint64_t bound, const std::string& tooMany, std::size_t& size);

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
  std::string miscounted_;
  // The decoding of arrays.
  Base64Decoder decoder_;
  Bytes encoded_;
  Bytes inflated_;
  libdeflate_decompressor* decompressor_ = nullptr;
};

namespace {

// The first parameter `accession` among `params`, or nothing.
const Param* Find(const Params& params, std::string_view accession) {
  for (const Param& param : params) {
    if (param.Accession == accession) return &param;
  }
  return nullptr;
}

// The name that the vocabulary gives `param`, with its value after a blank when `withValue` and it
// has one; empty for a term the vocabulary does not know.
std::string TermName(const Param& param, bool withValue) {
  const pwiz::cv::CVTermInfo& term = pwiz::cv::cvTermInfo(param.Accession);
  if (term.cvid == pwiz::cv::CVID_Unknown) return "";
  if (!withValue || param.Value.empty()) return term.name;
  return term.name + " " + param.Value;
}

// The four or eight bytes at `data`, least significant first. Spelled out, so that the compiler
// sees one little-endian load (a loop over the bytes stays a loop at -O2).
template <std::size_t Size>
auto LittleEndian(const unsigned char* data) {
  const std::uint32_t low = std::uint32_t{data[0]} | std::uint32_t{data[1]} << 8 |
                            std::uint32_t{data[2]} << 16 | std::uint32_t{data[3]} << 24;
  if constexpr (Size == 4) {
    return low;
  } else {
    const std::uint32_t high = std::uint32_t{data[4]} | std::uint32_t{data[5]} << 8 |
                               std::uint32_t{data[6]} << 16 | std::uint32_t{data[7]} << 24;
    return std::uint64_t{high} << 32 | low;
  }
}

// `count` values of type T, stored least significant byte first, as doubles.
template <typename T>
std::vector<double> ValuesOf(const unsigned char* data, std::size_t count) {
  std::vector<double> values(count);
  for (std::size_t i = 0; i < count; ++i, data += sizeof(T)) {
    const auto bits = LittleEndian<sizeof(T)>(data);
    T value;
    std::memcpy(&value, &bits, sizeof value);
    values[i] = static_cast<double>(value);
  }
  return values;
}

std::size_t WidthOf(ValueType type) {
  return type == ValueType::Float32 || type == ValueType::Int32 ? 4 : 8;
}

constexpr std::string_view kMSLevel = "MS:1000511";
constexpr std::string_view kCentroid = "MS:1000127";
constexpr std::string_view kProfile = "MS:1000128";
constexpr std::string_view kScanStartTime = "MS:1000016";
constexpr std::string_view kMZArray = "MS:1000514";
constexpr std::string_view kIntensityArray = "MS:1000515";

}  // namespace

void MzMLReader::Parser::ReadHeader(Header& header) {
  std::map<std::string, std::vector<std::string>, std::less<>> instruments;
  std::optional<std::vector<std::string>> firstInstrument;
  std::optional<std::string> defaultInstrument;
  Tag tag;
  while (NextTag(tag)) {
    if (tag.End) continue;
    if (tag.Name == "referenceableParamGroup") {
      std::string id = AttributeText(tag.Text, "id");
      header.Groups[std::move(id)] = ReadParams(tag, header, true);
    } else if (tag.Name == "instrumentConfiguration") {
      const std::string id = AttributeText(tag.Text, "id");
      std::vector<std::string> description = ReadInstrument(tag, header);
      if (!firstInstrument) firstInstrument = description;
      instruments.emplace(id, std::move(description));
    } else if (tag.Name == "run") {
      header.StartTimeStamp = AttributeText(tag.Text, "startTimeStamp");
      if (TagAttribute(tag.Text, "defaultInstrumentConfigurationRef")) {
        defaultInstrument = AttributeText(tag.Text, "defaultInstrumentConfigurationRef");
      }
    } else if (tag.Name == "spectrumList") {
      if (!tag.Empty) header.SpectraStart = Position();
      break;
    }
  }
  // A run that names its instrument is described by that one alone.
  if (defaultInstrument) {
    const auto found = instruments.find(*defaultInstrument);
    if (found != instruments.end()) header.Instrument = found->second;
  } else if (firstInstrument) {
    header.Instrument = *firstInstrument;
  }
}

// The configuration's own terms with their values, then the terms without value of its source,
// analyser and detector.
std::vector<std::string> MzMLReader::Parser::ReadInstrument(const Tag& configuration,
                                                            const Header& header) {
  std::vector<std::string> names;
  const auto add = [&](const Param& param, bool withValue) {
    std::string name = TermName(param, withValue);
    if (!name.empty()) names.push_back(std::move(name));
  };
  Children(configuration, [&](const Tag& child) {
    if (child.Name == "cvParam") {
      add(ParamOf(child.Text), true);
      SkipElement(child);
    } else if (child.Name == "componentList") {
      Children(child, [&](const Tag& component) {
        if (component.Name != "source" && component.Name != "analyzer" &&
            component.Name != "detector") {
          SkipElement(component);
          return;
        }
        for (const Param& param : ReadParams(component, header, false)) {
          if (param.Value.empty()) add(param, false);
        }
      });
    } else {
      SkipElement(child);
    }
  });
  return names;
}

void MzMLReader::Parser::ReadSpectrum(const Tag& tag, const Header& header,
                                      MzMLSpectrum& spectrum) {
  spectrum = MzMLSpectrum();
  miscounted_.clear();
  spectrum.Offset = MarkupStart();
  spectrum.Id = AttributeText(tag.Text, "id");
  const std::uint64_t defaultLength = DeclaredCount(TagAttribute(tag.Text, "defaultArrayLength"));
  Params params;  // its own, then those of its groups
  std::vector<const Params*> groups;
  const auto find = [&](std::string_view accession) -> const Param* {
    if (const Param* param = Find(params, accession)) return param;
    for (const Params* group : groups) {
      if (const Param* param = Find(*group, accession)) return param;
    }
    return nullptr;
  };
  const auto level = [&] {
    const Param* param = find(kMSLevel);
    if (!param) return 1;
    const std::optional<long> value = WholeNumberOf(param->Value);
    if (!value) Fail("spectrum \"" + spectrum.Id + "\" has an MS level that is not a number");
    return static_cast<int>(std::clamp<long>(*value, INT32_MIN, INT32_MAX));
  };
  std::optional<Params> scan;
  std::uint64_t declaredTotal = 0;
  bool haveMZ = false;
  bool haveIntensity = false;
  Children(tag, [&](const Tag& child) {
    if (child.Name == "cvParam") {
      params.push_back(ParamOf(child.Text));
      SkipElement(child);
    } else if (child.Name == "referenceableParamGroupRef") {
      groups.push_back(&GroupOf(child, header));
      SkipElement(child);
    } else if (child.Name == "scanList") {
      Children(child, [&](const Tag& entry) {
        if (entry.Name == "scan" && !scan) {
          scan = ReadParams(entry, header, true);
        } else {
          SkipElement(entry);
        }
      });
    } else if (child.Name == "binaryDataArrayList") {
      const bool decode = level() == 1;
      Children(child, [&](const Tag& array) {
        if (array.Name != "binaryDataArray") {
          SkipElement(array);
          return;
        }
        ReadArray(array, defaultLength, decode, header, declaredTotal, spectrum.MZ,
                  spectrum.Intensity, haveMZ, haveIntensity);
      });
    } else if (child.Name == "spectrum") {
      Fail("spectrum " + spectrum.Id + " holds another spectrum");
    } else {
      SkipElement(child);
    }
  });
  if (!miscounted_.empty()) Fail(miscounted_);
  spectrum.MSLevel = level();
  spectrum.Centroid = find(kCentroid) != nullptr;
  spectrum.Profile = find(kProfile) != nullptr;
  if (spectrum.MSLevel != 1) {
    spectrum.MZ.clear();
    spectrum.Intensity.clear();
    return;
  }
  if (const Param* start = scan ? Find(*scan, kScanStartTime) : nullptr) {
    const double seconds = SecondsPer(start->Unit);
    if (seconds != 0.0) {
      const std::optional<double> value = NumberOf(start->Value);
      if (!value) Fail("spectrum \"" + spectrum.Id + "\" has a start time that is not a number");
      spectrum.RetentionTime = *value * seconds;
    }
  }
}

// An array of the spectrum, decoded when `decode`: the first m/z array and the first intensity
// array are kept.
void MzMLReader::Parser::ReadArray(const Tag& array, std::uint64_t defaultLength, bool decode,
                                   const Header& header, std::uint64_t& declaredTotal,
                                   std::vector<double>& mz, std::vector<double>& intensity,
                                   bool& haveMZ, bool& haveIntensity) {
  const std::optional<std::string_view> length = TagAttribute(array.Text, "arrayLength");
  const std::uint64_t declared = length ? DeclaredCount(length) : defaultLength;
  Params params;
  std::vector<double> values;
  bool decoded = false;
  Children(array, [&](const Tag& child) {
    if (child.Name == "cvParam") {
      params.push_back(ParamOf(child.Text));
      SkipElement(child);
    } else if (child.Name == "referenceableParamGroupRef") {
      const Params& group = GroupOf(child, header);
      params.insert(params.end(), group.begin(), group.end());
      SkipElement(child);
    } else if (child.Name == "binary") {
      declaredTotal += declared;
      if (declaredTotal > kMaxSpectrumValues) {
        Fail("a spectrum declares more than " + std::to_string(kMaxSpectrumValues) +
             " values, the limit");
      }
      if (!decode || decoded) {
        SkipElement(child);
        return;
      }
      Encoding encoding;
      for (const Param& param : params) AddToEncoding(param.Accession, encoding);
      values = ReadBinary(child, encoding, declared);
      decoded = true;
    } else {
      SkipElement(child);
    }
  });
  if (!decoded) return;
  if (!haveMZ && Find(params, kMZArray)) {
    mz = std::move(values);
    haveMZ = true;
  } else if (!haveIntensity && Find(params, kIntensityArray)) {
    intensity = std::move(values);
    haveIntensity = true;
  }
}

// The values of the text of `binary`, whose start tag was just read: decoded from base 64,
// inflated, and taken as the encoding says, exactly as many as `declared`.
std::vector<double> MzMLReader::Parser::ReadBinary(const Tag& binary, const Encoding& encoding,
                                                   std::uint64_t declared) {
  if (encoding.Type == ValueType::None && encoding.Packing == Numpress::None) {
    Fail("an array does not name the type of its values");
  }
  if (!encoding.Unsupported.empty()) {
    Fail("an array is compressed as " + encoding.Unsupported + ", which the reader cannot undo");
  }
  // The bytes an array may decode to: eight for each value it declares, and a header.
  const std::uint64_t bound = declared * kValueBytes + kEncodingHeaderBytes;
  const std::string tooMany =
      "an array decodes to more than the " + std::to_string(declared) + " values it declares";
  decoder_.Start(encoded_, encoding.Zlib ? kMaxNodeBytes : bound);
  const auto check = [&](Base64Decoder::Result result) {
    if (result == Base64Decoder::Result::Full) Fail(tooMany);
    if (result == Base64Decoder::Result::Invalid) Fail("an array holds text that is not base 64");
  };
  if (!binary.Empty) {
    Tag tag;
    const bool closed =
        NextTag(tag, [&](const char* data, const char* end) { check(decoder_.Feed(data, end)); });
    if (!closed) Fail("it ends inside an element binary");
    if (!tag.End || tag.Name != "binary") Fail("an element binary holds markup");
  }
  check(decoder_.Finish());
  const unsigned char* data = encoded_.Data();
  std::size_t size = encoded_.Size();
  if (encoding.Zlib) data = Inflated(bound, tooMany, size);
  if (encoding.Packing != Numpress::None) return Unpacked(encoding.Packing, data, size, declared);
  const std::size_t width = WidthOf(encoding.Type);
  if (size != declared * width) {
    Miscounted("an array declares " + std::to_string(declared) + " values but decodes to " +
               std::to_string(size) + " bytes");
    return {};
  }
  switch (encoding.Type) {
    case ValueType::Float32:
      return ValuesOf<float>(data, declared);
    case ValueType::Int32:
      return ValuesOf<std::int32_t>(data, declared);
    case ValueType::Int64:
      return ValuesOf<std::int64_t>(data, declared);
    default:
      return ValuesOf<double>(data, declared);
  }
}

// The bytes that encoded_ inflates to, at most `bound`.
const unsigned char* MzMLReader::Parser::Inflated(std::uint64_t bound, const std::string& tooMany,
                                                  std::size_t& size) {
  if (!decompressor_) {
    decompressor_ = libdeflate_alloc_decompressor();
    if (!decompressor_) throw std::bad_alloc();
  }
  inflated_.Clear();
  unsigned char* out = inflated_.Reserve(bound);
  switch (libdeflate_zlib_decompress(decompressor_, encoded_.Data(), encoded_.Size(), out, bound,
                                     &size)) {
    case LIBDEFLATE_SUCCESS:
      return out;
    case LIBDEFLATE_INSUFFICIENT_SPACE:
      Fail(tooMany);
    default:
      Fail("an array's zlib-compressed data is corrupt");
  }
}

// Values packed by MS-Numpress, unpacked by ProteoWizard's encoder, which takes them as base 64.
std::vector<double> MzMLReader::Parser::Unpacked(Numpress packing, const unsigned char* data,
                                                 std::size_t size, std::uint64_t declared) {
  using Encoder = pwiz::msdata::BinaryDataEncoder;
  Encoder::Config config;
  config.numpress = packing == Numpress::Linear ? Encoder::Numpress_Linear
                    : packing == Numpress::Pic  ? Encoder::Numpress_Pic
                                                : Encoder::Numpress_Slof;
  std::string text(pwiz::util::Base64::binaryToTextSize(size), '\0');
  text.resize(pwiz::util::Base64::binaryToText(data, size, text.data()));
  pwiz::util::BinaryData<double> values;
  try {
    Encoder(config).decode(text, values);
  } catch (const std::exception& error) {
    Fail(std::string("an array's MS-Numpress data cannot be unpacked: ") + error.what());
  }
  if (values.size() != declared) {
    Miscounted("an array declares " + std::to_string(declared) + " values but unpacks to " +
               std::to_string(values.size()));
    return {};
  }
  return std::vector<double>(values.begin(), values.end());
}

MzMLReader::MzMLReader(std::shared_ptr<const WQPlatform::ReadOnlyFile> file, std::string failure)
    : file_(std::move(file)), failure_(std::move(failure)) {
  auto header = std::make_shared<Header>();
  Parser parser(*file_, 0, file_->Size(), failure_);
  parser.ReadHeader(*header);
  header_ = std::move(header);
  if (header_->SpectraStart > 0) {
    sequence_ = std::make_unique<Parser>(*file_, header_->SpectraStart, file_->Size(), failure_);
  }
}

MzMLReader::~MzMLReader() = default;

const std::vector<std::string>& MzMLReader::InstrumentTerms() const { return header_->Instrument; }

const std::string& MzMLReader::StartTimeStamp() const { return header_->StartTimeStamp; }

bool MzMLReader::Next(MzMLSpectrum& spectrum) {
  if (!sequence_) return false;
  Parser::Tag tag;
  for (;;) {
    if (!sequence_->NextTag(tag)) sequence_->Fail("it ends inside the list of spectra");
    if (tag.End) {
      if (tag.Name != "spectrumList") {
        sequence_->Fail("an end tag " + std::string(tag.Name) + " closes spectrumList");
      }
      sequence_.reset();
      return false;
    }
    if (tag.Name == "spectrum") break;
    sequence_->Fail("the list of spectra holds an element " + std::string(tag.Name));
  }
  sequence_->ReadSpectrum(tag, *header_, spectrum);
  spectrum.Length = sequence_->Position() - spectrum.Offset;
  return true;
}

MzMLSpectrum MzMLReader::ReadAt(std::uint64_t offset, std::uint64_t length) const {
  Parser parser(*file_, offset, offset + length, failure_);
  Parser::Tag tag;
  if (!parser.NextTag(tag) || tag.End || tag.Name != "spectrum" || parser.MarkupStart() != offset) {
    parser.Fail("no spectrum starts where one did when the file was opened");
  }
  MzMLSpectrum spectrum;
  parser.ReadSpectrum(tag, *header_, spectrum);
  spectrum.Length = length;
  return spectrum;
}

}  // namespace WQDataFile::detail
