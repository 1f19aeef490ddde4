#include "Base64.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "XmlScanner.h"

namespace WQDataFile::detail {

namespace {

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

}  // namespace

unsigned char* Bytes::Reserve(std::size_t more) {
  if (size_ + more > capacity_) {
    const std::size_t capacity = std::max(size_ + more, capacity_ + capacity_ / 2);
    std::unique_ptr<unsigned char[]> data(new unsigned char[capacity]);
    if (size_ > 0) std::memcpy(data.get(), data_.get(), size_);
    data_ = std::move(data);
    capacity_ = capacity;
  }
  return data_.get() + size_;
}

void Base64Decoder::Start(Bytes& out, std::uint64_t bound) {
  out_ = &out;
  bound_ = bound;
  out.Clear();
  bits_ = 0;
  count_ = 0;
  padded_ = false;
}

Base64Decoder::Result Base64Decoder::Feed(const char* data, const char* end) {
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

Base64Decoder::Result Base64Decoder::Finish() {
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

Base64Decoder::Result Base64Decoder::Character(char c) {
  const auto byte = static_cast<unsigned char>(c);
  const std::uint32_t value = kDecode3[byte];
  if (mode_ == Mode::Lenient && (value & kInvalid)) return Result::Fine;
  if (byte <= ' ' && IsXmlSpace(c)) return Result::Fine;
  if (c == '=') {
    padded_ = true;
    return Result::Fine;
  }
  if (padded_ || (value & kInvalid)) return Result::Invalid;
  bits_ = bits_ << 6 | value;
  if (++count_ == 4) {
    if (out_->Size() + 3 > bound_) return Result::Full;
    Put(bits_);
    bits_ = 0;
    count_ = 0;
  }
  return Result::Fine;
}

void Base64Decoder::Put(std::uint32_t group) {
  unsigned char* out = out_->Reserve(3);
  out[0] = static_cast<unsigned char>(group >> 16);
  out[1] = static_cast<unsigned char>(group >> 8);
  out[2] = static_cast<unsigned char>(group);
  out_->Grow(3);
}

}  // namespace WQDataFile::detail
