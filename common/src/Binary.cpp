#include <WQCommon/Binary.h>
#include <WQCommon/Text.h>

#include <cstring>
#include <istream>
#include <ostream>
#include <sstream>
#include <stdexcept>

namespace WQCommon {

namespace {

template <std::size_t Size>
void WriteLittleEndian(BinaryWriter& writer, std::uint64_t value) {
  unsigned char bytes[Size];
  for (std::size_t i = 0; i < Size; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
  writer.WriteBytes(bytes, Size);
}

template <std::size_t Size>
std::uint64_t ReadLittleEndian(BinaryReader& reader) {
  unsigned char bytes[Size];
  reader.ReadBytes(bytes, Size);
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < Size; ++i) value |= std::uint64_t{bytes[i]} << (8 * i);
  return value;
}

std::wstring LowerCaseHex(const std::string& bytes) {
  static const wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring hex;
  hex.reserve(bytes.size() * 2);
  for (const char byte : bytes) {
    const auto value = static_cast<unsigned char>(byte);
    hex.push_back(kDigits[value >> 4]);
    hex.push_back(kDigits[value & 0x0F]);
  }
  return hex;
}

}  // namespace

IWQSerial::~IWQSerial() = default;

void IWQSerial::Serialize(std::wstring& text) const {
  std::ostringstream bytes;
  BinaryWriter writer(bytes);
  Serialize(writer);
  text = LowerCaseHex(bytes.str());
}

BinaryWriter::BinaryWriter(std::ostream& out) : out_(out) {}

void BinaryWriter::WriteBytes(const void* data, std::size_t size) {
  out_.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

BinaryReader::BinaryReader(const void* data, std::size_t size)
    : next_(static_cast<const unsigned char*>(data)), left_(size) {}

BinaryReader::BinaryReader(std::istream& in) : in_(&in) {}

namespace {

StreamError EndedEarly(std::size_t needed, std::size_t got) {
  return StreamError("Binary stream ended early: a value needs " + std::to_string(needed) +
                     " bytes, " + std::to_string(got) + " remain");
}

}  // namespace

void BinaryReader::ReadBytesChecked(void* data, std::size_t size) {
  if (in_ == nullptr) throw EndedEarly(size, left_);
  in_->read(static_cast<char*>(data), static_cast<std::streamsize>(size));
  const auto got = static_cast<std::size_t>(in_->gcount());
  if (got < size) throw EndedEarly(size, got);
}

void BinaryReader::CheckCount(std::uint64_t count, std::size_t minItemBytes) {
  if (minItemBytes == 0) return;
  const std::uint64_t remaining = Remaining();
  if (count > remaining / minItemBytes) {
    throw StreamError("Binary stream holds a count of " + std::to_string(count) +
                      " items, more than its remaining " + std::to_string(remaining) +
                      " bytes can hold");
  }
}

std::uint64_t BinaryReader::Remaining() {
  if (in_ == nullptr) return left_;
  const std::istream::pos_type current = in_->tellg();
  if (current == std::istream::pos_type(-1)) return 0;
  in_->seekg(0, std::ios::end);
  const std::istream::pos_type end = in_->tellg();
  in_->seekg(current);
  if (end == std::istream::pos_type(-1) || end < current) return 0;
  return static_cast<std::uint64_t>(end - current);
}

void BinaryReader::RequireEnd() {
  const std::uint64_t left = Remaining();
  if (left != 0) {
    throw StreamError("Binary stream holds " + std::to_string(left) +
                      " bytes after its last value");
  }
}

BinaryWriter& operator<<(BinaryWriter& writer, bool value) {
  WriteLittleEndian<1>(writer, value ? 1 : 0);
  return writer;
}

BinaryWriter& operator<<(BinaryWriter& writer, std::int32_t value) {
  return writer << static_cast<std::uint32_t>(value);
}

BinaryWriter& operator<<(BinaryWriter& writer, std::uint32_t value) {
  WriteLittleEndian<4>(writer, value);
  return writer;
}

BinaryWriter& operator<<(BinaryWriter& writer, std::int64_t value) {
  WriteLittleEndian<8>(writer, static_cast<std::uint64_t>(value));
  return writer;
}

BinaryWriter& operator<<(BinaryWriter& writer, double value) {
  static_assert(sizeof(double) == sizeof(std::uint64_t), "double must be IEEE-754 binary64");
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  WriteLittleEndian<8>(writer, bits);
  return writer;
}

BinaryWriter& operator<<(BinaryWriter& writer, const std::wstring& value) {
  const std::u16string units = WQWideToUtf16(value);
  writer << static_cast<std::uint32_t>(units.size());
  for (const char16_t unit : units) WriteLittleEndian<2>(writer, unit);
  return writer;
}

BinaryWriter& operator<<(BinaryWriter& writer, const IWQSerial& value) {
  value.Serialize(writer);
  return writer;
}

BinaryReader& operator>>(BinaryReader& reader, bool& value) {
  value = ReadLittleEndian<1>(reader) != 0;
  return reader;
}

BinaryReader& operator>>(BinaryReader& reader, std::int32_t& value) {
  value = static_cast<std::int32_t>(ReadLittleEndian<4>(reader));
  return reader;
}

BinaryReader& operator>>(BinaryReader& reader, std::uint32_t& value) {
  value = static_cast<std::uint32_t>(ReadLittleEndian<4>(reader));
  return reader;
}

BinaryReader& operator>>(BinaryReader& reader, std::int64_t& value) {
  value = static_cast<std::int64_t>(ReadLittleEndian<8>(reader));
  return reader;
}

BinaryReader& operator>>(BinaryReader& reader, double& value) {
  const std::uint64_t bits = ReadLittleEndian<8>(reader);
  std::memcpy(&value, &bits, sizeof value);
  return reader;
}

// The bytes are read straight into place and each value decoded where it lies; on a
// little-endian host the decoding compiles to plain loads and stores.
void ReadDoubles(BinaryReader& reader, double* values, std::size_t count) {
  reader.ReadBytes(values, count * sizeof(double));
  auto* bytes = reinterpret_cast<unsigned char*>(values);
  for (std::size_t i = 0; i < count; ++i, bytes += sizeof(double)) {
    // Spelled out, so that the compiler sees one little-endian load.
    const std::uint64_t bits = std::uint64_t{bytes[0]} | std::uint64_t{bytes[1]} << 8 |
                               std::uint64_t{bytes[2]} << 16 | std::uint64_t{bytes[3]} << 24 |
                               std::uint64_t{bytes[4]} << 32 | std::uint64_t{bytes[5]} << 40 |
                               std::uint64_t{bytes[6]} << 48 | std::uint64_t{bytes[7]} << 56;
    std::memcpy(bytes, &bits, sizeof bits);
  }
}

BinaryReader& operator>>(BinaryReader& reader, std::wstring& value) {
  std::uint32_t length = 0;
  reader >> length;
  reader.CheckCount(length, 2);
  // The little-endian bytes are read into the units themselves and then put in host order.
  std::u16string units(length, u'\0');
  reader.ReadBytes(units.data(), std::size_t{length} * 2);
  for (char16_t& unit : units) {
    unsigned char bytes[2];
    std::memcpy(bytes, &unit, 2);
    unit = static_cast<char16_t>(bytes[0] | bytes[1] << 8);
  }
  value = WQUtf16ToWide(units);
  return reader;
}

BinaryReader& operator>>(BinaryReader& reader, IWQSerial& value) {
  value.Serialize(reader);
  return reader;
}

void ReadRecordVersion(BinaryReader& reader, std::uint32_t expected, const char* record) {
  std::uint32_t version = 0;
  reader >> version;
  if (version != expected) throw std::runtime_error(std::string("Unknown ") + record + " version.");
}

}  // namespace WQCommon
