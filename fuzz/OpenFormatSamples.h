// Runs of the open formats built as bytes, for the data-file library's tests and the fuzz corpus:
// zlib and gzip data, base64 text, and small mzML and mzXML runs around given arrays.
#pragma once

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <string>

namespace wqfuzz {

// `bytes` deflated as zlib data (window bits 15) or as one gzip member (31).
inline std::string Deflated(const std::string& bytes, int windowBits,
                            int strategy = Z_DEFAULT_STRATEGY) {
  z_stream stream{};
  deflateInit2(&stream, 1, Z_DEFLATED, windowBits, 8, strategy);
  std::string deflated(deflateBound(&stream, bytes.size()), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  stream.avail_in = static_cast<uInt>(bytes.size());
  stream.next_out = reinterpret_cast<Bytef*>(deflated.data());
  stream.avail_out = static_cast<uInt>(deflated.size());
  deflate(&stream, Z_FINISH);
  deflated.resize(stream.total_out);
  deflateEnd(&stream);
  return deflated;
}

inline std::string Gzip(const std::string& bytes) { return Deflated(bytes, 31); }

inline std::string Base64(const std::string& bytes) {
  constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  for (std::size_t at = 0; at < bytes.size(); at += 3) {
    const std::size_t taken = std::min<std::size_t>(3, bytes.size() - at);
    std::uint32_t group = 0;
    for (std::size_t i = 0; i < 3; ++i) {
      group = group << 8 | (i < taken ? static_cast<unsigned char>(bytes[at + i]) : 0u);
    }
    for (std::size_t i = 0; i < 4; ++i)
      text += i <= taken ? kAlphabet[group >> (18 - 6 * i) & 63] : '=';
  }
  return text;
}

// How an mzML file says that an array is zlib-compressed: not at all, in the array, or in a
// parameter group that the array refers to.
enum class Zlib { None, Array, Group };

// An mzML run of one spectrum of `length` points whose m/z and intensity arrays both hold
// `binary`.
inline std::string MzML(std::uint64_t length, const std::string& binary, Zlib zlib) {
  const std::string compression =
      "<cvParam cvRef=\"MS\" accession=\"MS:1000574\" name=\"zlib compression\"/>";
  std::string array = "<binaryDataArray encodedLength=\"" + std::to_string(binary.size()) +
                      "\"><cvParam cvRef=\"MS\" accession=\"MS:1000523\" name=\"64-bit float\"/>";
  if (zlib == Zlib::Array) array += compression;
  if (zlib == Zlib::Group) array += "<referenceableParamGroupRef ref=\"packed\"/>";
  const std::string end = "<binary>" + binary + "</binary></binaryDataArray>";
  return "<mzML><referenceableParamGroupList count=\"1\"><referenceableParamGroup id=\"packed\">" +
         compression +
         "</referenceableParamGroup></referenceableParamGroupList><run id=\"r\"><spectrumList "
         "count=\"1\"><spectrum index=\"0\" id=\"scan=1\" defaultArrayLength=\"" +
         std::to_string(length) + "\"><binaryDataArrayList count=\"2\">" + array +
         "<cvParam cvRef=\"MS\" accession=\"MS:1000514\" name=\"m/z array\"/>" + end + array +
         "<cvParam cvRef=\"MS\" accession=\"MS:1000515\" name=\"intensity array\"/>" + end +
         "</binaryDataArrayList></spectrum></spectrumList></run></mzML>\n";
}

inline std::string MzXML(std::uint64_t peaks, const std::string& binary) {
  return "<mzXML><msRun scanCount=\"1\"><scan num=\"1\" msLevel=\"1\" peaksCount=\"" +
         std::to_string(peaks) +
         "\"><peaks precision=\"32\" byteOrder=\"network\" contentType=\"m/z-int\" "
         "compressionType=\"zlib\">" +
         binary + "</peaks></scan></msRun></mzXML>\n";
}

inline std::string Repeated(const std::string& text, std::size_t times) {
  std::string repeated;
  repeated.reserve(text.size() * times);
  for (std::size_t i = 0; i < times; ++i) repeated += text;
  return repeated;
}

}  // namespace wqfuzz
