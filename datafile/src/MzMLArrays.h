// The binary data arrays of mzML: what their parameters say of their encoding, and their base64
// text decoded, inflated and unpacked into values, as many as they declare. Internal to the
// data-file library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Base64.h"

struct libdeflate_decompressor;

namespace WQDataFile::detail {

// How an array's values are stored.
enum class ValueType { None, Float32, Float64, Int32, Int64 };
enum class Numpress { None, Linear, Pic, Slof };

// What the parameters of an array say about its encoding.
struct Encoding {
  ValueType Type = ValueType::None;
  bool TwoTypes = false;  // whether they name two different types
  bool Zlib = false;
  Numpress Packing = Numpress::None;
  std::string Unsupported;  // a compression the reader cannot undo
};

// Adds what the parameter `accession` of an array says to `encoding`.
void AddToEncoding(const std::string& accession, Encoding& encoding);

// Decodes the text of one array after another. Every error is a DataFileError whose message
// begins with the `failure` given.
class ArrayDecoder {
 public:
  explicit ArrayDecoder(const std::string& failure) : failure_(failure) {}
  ~ArrayDecoder();
  ArrayDecoder(const ArrayDecoder&) = delete;
  ArrayDecoder& operator=(const ArrayDecoder&) = delete;

  // Starts the text of an array encoded as `encoding` that declares `declared` values. Throws
  // when the encoding names no type or one the reader cannot undo.
  void Start(const Encoding& encoding, std::uint64_t declared);
  // The next piece of its text. Throws when it is not base64 or makes more bytes than its values
  // may take.
  void Feed(const char* data, const char* end);
  // The values of the text, exactly as many as declared. Throws when they decode, inflate or
  // unpack to too much or not at all. When they are fewer or more, gives none and says why in
  // `miscounted`, for the caller to refuse them once every bound is kept.
  std::vector<double> Finish(std::string& miscounted);

 private:
  void Check(Base64Decoder::Result result) const;
  [[noreturn]] void Fail(const std::string& reason) const;
  const unsigned char* Inflated(std::size_t& size);
  std::vector<double> Unpacked(const unsigned char* data, std::size_t size,
                               std::string& miscounted) const;

  const std::string& failure_;
  Encoding encoding_;
  std::uint64_t declared_ = 0;
  std::uint64_t bound_ = 0;  // the bytes the array may decode to
  std::string tooMany_;
  Base64Decoder decoder_{Base64Decoder::Mode::Strict};
  Bytes encoded_;
  Bytes inflated_;
  libdeflate_decompressor* decompressor_ = nullptr;
};

}  // namespace WQDataFile::detail
