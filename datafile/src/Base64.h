// Base64 text decoded as it comes, in pieces of any length, into bytes of bounded length.
// Internal to the data-file library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace WQDataFile::detail {

// Bytes of growing length, never initialised before they are written.
class Bytes {
 public:
  unsigned char* Data() { return data_.get(); }
  const unsigned char* Data() const { return data_.get(); }
  std::size_t Size() const { return size_; }
  void Clear() { size_ = 0; }
  // Room for `more` bytes after Size(); the caller writes them and calls Grow.
  unsigned char* Reserve(std::size_t more);
  void Grow(std::size_t count) { size_ += count; }

 private:
  std::unique_ptr<unsigned char[]> data_;
  std::size_t capacity_ = 0;
  std::size_t size_ = 0;
};

// Decodes base64 text into Bytes, appending at most a bound. Blanks may stand anywhere; of a
// strict decoder, padding only at the end and nothing outside the alphabet, which a lenient
// decoder skips instead (for text whose reader will judge it: only its length matters).
class Base64Decoder {
 public:
  enum class Result { Fine, Full, Invalid };
  enum class Mode { Strict, Lenient };

  explicit Base64Decoder(Mode mode) : mode_(mode) {}

  // Starts a text, to be decoded into `out`, which it clears, up to `bound` bytes.
  void Start(Bytes& out, std::uint64_t bound);
  // The next piece of the text. Full when its bytes would pass the bound, Invalid when it is not
  // base64 (never of a lenient decoder); the text is then refused.
  Result Feed(const char* data, const char* end);
  // The end of the text: the bits of a last group without padding make their bytes.
  Result Finish();

 private:
  Result Character(char c);
  void Put(std::uint32_t group);

  const Mode mode_;
  Bytes* out_ = nullptr;
  std::uint64_t bound_ = 0;
  std::uint32_t bits_ = 0;
  int count_ = 0;
  bool padded_ = false;
};

}  // namespace WQDataFile::detail
