#include "MzMLArrays.h"

#include <libdeflate.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <new>
#include <pwiz/data/msdata/BinaryDataEncoder.hpp>
#include <pwiz/utility/misc/Base64.hpp>
#include <string_view>
#include <tuple>
#include <utility>

#include "ReadLimits.h"
#include "XmlScanner.h"

namespace WQDataFile::detail {

namespace {

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

}  // namespace

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
    if (term != accession) continue;
    encoding.TwoTypes =
        encoding.TwoTypes || (encoding.Type != ValueType::None && encoding.Type != type);
    encoding.Type = type;
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

ArrayDecoder::~ArrayDecoder() {
  if (decompressor_) libdeflate_free_decompressor(decompressor_);
}

void ArrayDecoder::Fail(const std::string& reason) const { FailToRead(failure_, reason); }

void ArrayDecoder::Start(const Encoding& encoding, std::uint64_t declared) {
  if (encoding.Type == ValueType::None && encoding.Packing == Numpress::None) {
    Fail("an array does not name the type of its values");
  }
  if (encoding.TwoTypes) Fail("an array names two types for its values");
  if (!encoding.Unsupported.empty()) {
    Fail("an array is compressed as " + encoding.Unsupported + ", which the reader cannot undo");
  }
  encoding_ = encoding;
  declared_ = declared;
  // The bytes an array may decode to: eight for each value it declares, and a header.
  bound_ = declared * kValueBytes + kEncodingHeaderBytes;
  tooMany_ =
      "an array decodes to more than the " + std::to_string(declared) + " values it declares";
  decoder_.Start(encoded_, encoding.Zlib ? kMaxNodeBytes : bound_);
}

void ArrayDecoder::Check(Base64Decoder::Result result) const {
  if (result == Base64Decoder::Result::Full) Fail(tooMany_);
  if (result == Base64Decoder::Result::Invalid) Fail("an array holds text that is not base 64");
}

void ArrayDecoder::Feed(const char* data, const char* end) { Check(decoder_.Feed(data, end)); }

std::vector<double> ArrayDecoder::Finish(std::string& miscounted) {
  Check(decoder_.Finish());
  const unsigned char* data = encoded_.Data();
  std::size_t size = encoded_.Size();
  if (encoding_.Zlib) data = Inflated(size);
  if (encoding_.Packing != Numpress::None) return Unpacked(data, size, miscounted);
  const std::size_t width = WidthOf(encoding_.Type);
  if (size != declared_ * width) {
    miscounted = "an array declares " + std::to_string(declared_) + " values but decodes to " +
                 std::to_string(size) + " bytes";
    return {};
  }
  switch (encoding_.Type) {
    case ValueType::Float32:
      return ValuesOf<float>(data, declared_);
    case ValueType::Int32:
      return ValuesOf<std::int32_t>(data, declared_);
    case ValueType::Int64:
      return ValuesOf<std::int64_t>(data, declared_);
    default:
      return ValuesOf<double>(data, declared_);
  }
}

// The bytes that encoded_ inflates to, at most bound_.
const unsigned char* ArrayDecoder::Inflated(std::size_t& size) {
  if (!decompressor_) {
    decompressor_ = libdeflate_alloc_decompressor();
    if (!decompressor_) throw std::bad_alloc();
  }
  inflated_.Clear();
  unsigned char* out = inflated_.Reserve(bound_);
  switch (libdeflate_zlib_decompress(decompressor_, encoded_.Data(), encoded_.Size(), out, bound_,
                                     &size)) {
    case LIBDEFLATE_SUCCESS:
      return out;
    case LIBDEFLATE_INSUFFICIENT_SPACE:
      Fail(tooMany_);
    default:
      Fail("an array's zlib-compressed data is corrupt");
  }
}

// Values packed by MS-Numpress, unpacked by ProteoWizard's encoder, which takes them as base 64.
std::vector<double> ArrayDecoder::Unpacked(const unsigned char* data, std::size_t size,
                                           std::string& miscounted) const {
  using Encoder = pwiz::msdata::BinaryDataEncoder;
  Encoder::Config config;
  config.numpress = encoding_.Packing == Numpress::Linear ? Encoder::Numpress_Linear
                    : encoding_.Packing == Numpress::Pic  ? Encoder::Numpress_Pic
                                                          : Encoder::Numpress_Slof;
  std::string text(pwiz::util::Base64::binaryToTextSize(size), '\0');
  text.resize(pwiz::util::Base64::binaryToText(data, size, text.data()));
  pwiz::util::BinaryData<double> values;
  try {
    Encoder(config).decode(text, values);
  } catch (const std::exception& error) {
    Fail(std::string("an array's MS-Numpress data cannot be unpacked: ") + error.what());
  }
  if (values.size() != declared_) {
    miscounted = "an array declares " + std::to_string(declared_) + " values but unpacks to " +
                 std::to_string(values.size());
    return {};
  }
  return std::vector<double>(values.begin(), values.end());
}

}  // namespace WQDataFile::detail
