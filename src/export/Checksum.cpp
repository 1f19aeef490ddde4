#include "export/Checksum.h"

#include <libdeflate.h>

#include <algorithm>
#include <boost/locale/utf.hpp>
#include <cstddef>
#include <cstring>

namespace WQRepos {

namespace {

namespace utf = boost::locale::utf;

// UTF-16LE bytes gathered before each call of the CRC.
class Utf16Block {
 public:
  explicit Utf16Block(std::uint32_t crc) : crc_(crc) {}

  // Widens a run of characters below U+0080, one byte each in UTF-8 and nearly all of the
  // document's text, a group at a time; gives how many bytes it took from `data` (0 when the
  // first group holds another character).
  std::size_t AddAscii(const char* data, std::size_t count) {
    std::size_t taken = 0;
    while (count - taken >= kGroup) {
      std::uint64_t bytes[kGroup / 8];
      std::memcpy(bytes, data + taken, kGroup);
      if (((bytes[0] | bytes[1]) & 0x8080808080808080U) != 0) break;
      if (size_ + 2 * kGroup > sizeof bytes_) Flush();
      unsigned char* out = bytes_ + size_;
      for (std::size_t i = 0; i < kGroup; ++i) {
        out[2 * i] = static_cast<unsigned char>(data[taken + i]);
        out[2 * i + 1] = 0;
      }
      size_ += 2 * kGroup;
      taken += kGroup;
    }
    return taken;
  }

  void Add(utf::code_point value) {
    if (value < 0x10000) {
      AddUnit(value);
    } else {
      value -= 0x10000;
      AddUnit(0xD800 + (value >> 10));
      AddUnit(0xDC00 + (value & 0x3FF));
    }
  }

  std::uint32_t Crc() {
    Flush();
    return crc_;
  }

 private:
  static constexpr std::size_t kGroup = 16;

  void AddUnit(std::uint32_t unit) {
    if (size_ + 2 > sizeof bytes_) Flush();
    bytes_[size_++] = static_cast<unsigned char>(unit & 0xFF);
    bytes_[size_++] = static_cast<unsigned char>(unit >> 8);
  }

  void Flush() {
    crc_ = libdeflate_crc32(crc_, bytes_, size_);
    size_ = 0;
  }

  std::uint32_t crc_;
  std::size_t size_ = 0;
  unsigned char bytes_[16384];
};

}  // namespace

std::uint32_t Utf16Crc32(std::uint32_t crc, std::string_view utf8) {
  using Traits = utf::utf_traits<char>;
  Utf16Block block(crc);
  auto position = utf8.begin();
  while (position != utf8.end()) {
    position += static_cast<std::ptrdiff_t>(
        block.AddAscii(&*position, static_cast<std::size_t>(utf8.end() - position)));
    if (position == utf8.end()) break;
    const auto start = position;
    const utf::code_point value = Traits::decode(position, utf8.end());
    if (value == utf::illegal || value == utf::incomplete) {
      position = start + 1;
      while (position != utf8.end() && Traits::is_trail(*position)) ++position;
      block.Add(0xFFFD);
    } else {
      block.Add(value);
    }
  }
  return block.Crc();
}

std::uint32_t SpectrumCrc32(std::uint32_t crc, std::string_view elementText) {
  constexpr std::string_view kDeclaration = "<?xml version=\"1.0\"?>\n";
  constexpr std::size_t kLeftOut = 2;
  return Utf16Crc32(
      Utf16Crc32(crc, kDeclaration),
      elementText.substr(0, elementText.size() - std::min(kLeftOut, elementText.size())));
}

}  // namespace WQRepos
