// Binary streams of the common toolkit.
//
// Encoding (fixed; files written by one platform read the same on every other):
//   - little-endian throughout;
//   - bool: one byte, 0 for false and 1 for true; any other byte reads as true;
//   - std::int32_t, std::uint32_t, std::int64_t: 4, 4 and 8 bytes;
//   - double: IEEE-754 binary64, 8 bytes;
//   - std::wstring: its length in UTF-16 code units as std::uint32_t, then each code unit as a
//     little-endian std::uint16_t. Characters outside the Basic Multilingual Plane become
//     surrogate pairs and are joined again on reading;
//   - an enumeration in a record's field list: std::int32_t, one of the enumeration's values;
//   - a list (std::vector): its element count as std::uint32_t, then each element.
#pragma once

#include <WQCommon/Export.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

namespace WQCommon {

class BinaryReader;
class BinaryWriter;

// Raised by BinaryReader when the stream ends before a value is complete, when a length or count
// read from the stream is larger than what the rest of the stream could hold, when bytes follow
// the last value of a file, or when a stored enumeration holds none of its values.
class WQCOMMON_EXPORT StreamError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A record with a binary form. Implementations write their fields through BinaryWriter and
// read them back, in the same order, through BinaryReader.
class WQCOMMON_EXPORT IWQSerial {
 public:
  virtual ~IWQSerial();
  // A printable form of the record: its binary form as lower-case hexadecimal, two digits a byte.
  virtual void Serialize(std::wstring& text) const;
  virtual void Serialize(BinaryReader& reader) = 0;
  virtual void Serialize(BinaryWriter& writer) const = 0;
};

// Writes values to a narrow output stream that the caller owns and keeps open. The writer never
// checks the stream's state; whoever owns the stream decides what a failed write means.
class WQCOMMON_EXPORT BinaryWriter {
 public:
  explicit BinaryWriter(std::ostream& out);
  void WriteBytes(const void* data, std::size_t size);

 private:
  std::ostream& out_;
};

// Reads values from bytes in memory, or from a narrow input stream that the caller owns. Every
// read either completes or throws StreamError; a reader never hands back a value made up of
// missing bytes.
class WQCOMMON_EXPORT BinaryReader {
 public:
  // Decodes the `size` bytes at `data` through a cursor, checking each read and count against the
  // bytes left. The bytes are not copied: the caller keeps them alive and unchanged meanwhile.
  BinaryReader(const void* data, std::size_t size);
  // Decodes from `in` as it is read, a value at a time, for content not held in memory. Remaining()
  // and CheckCount() need a seekable stream, as file and string streams are.
  explicit BinaryReader(std::istream& in);

  // Reads exactly `size` bytes or throws StreamError.
  void ReadBytes(void* data, std::size_t size) {
    // Inline: fixed-size values from memory come down to a load and a compare.
    if (in_ != nullptr || size > left_) return ReadBytesChecked(data, size);
    if (size != 0) std::memcpy(data, next_, size);
    next_ += size;
    left_ -= size;
  }

  // Throws StreamError unless `count` items of at least `minItemBytes` bytes each fit into what is
  // left of the input. Callers check every count read from a file before they size anything by it.
  void CheckCount(std::uint64_t count, std::size_t minItemBytes);

  // The number of bytes left in the input.
  std::uint64_t Remaining();
  // Throws StreamError "Binary stream holds <n> bytes after its last value" unless the whole input
  // has been read.
  void RequireEnd();

 private:
  // ReadBytes from the stream, or for more bytes than are left.
  void ReadBytesChecked(void* data, std::size_t size);

  const unsigned char* next_ = nullptr;
  std::size_t left_ = 0;
  std::istream* in_ = nullptr;
};

WQCOMMON_EXPORT BinaryWriter& operator<<(BinaryWriter& writer, bool value);
WQCOMMON_EXPORT BinaryWriter& operator<<(BinaryWriter& writer, std::int32_t value);
WQCOMMON_EXPORT BinaryWriter& operator<<(BinaryWriter& writer, std::uint32_t value);
WQCOMMON_EXPORT BinaryWriter& operator<<(BinaryWriter& writer, std::int64_t value);
WQCOMMON_EXPORT BinaryWriter& operator<<(BinaryWriter& writer, double value);
WQCOMMON_EXPORT BinaryWriter& operator<<(BinaryWriter& writer, const std::wstring& value);
WQCOMMON_EXPORT BinaryWriter& operator<<(BinaryWriter& writer, const IWQSerial& value);

WQCOMMON_EXPORT BinaryReader& operator>>(BinaryReader& reader, bool& value);
WQCOMMON_EXPORT BinaryReader& operator>>(BinaryReader& reader, std::int32_t& value);
WQCOMMON_EXPORT BinaryReader& operator>>(BinaryReader& reader, std::uint32_t& value);
WQCOMMON_EXPORT BinaryReader& operator>>(BinaryReader& reader, std::int64_t& value);
WQCOMMON_EXPORT BinaryReader& operator>>(BinaryReader& reader, double& value);
WQCOMMON_EXPORT BinaryReader& operator>>(BinaryReader& reader, std::wstring& value);
WQCOMMON_EXPORT BinaryReader& operator>>(BinaryReader& reader, IWQSerial& value);

// Reads `count` doubles into `values` in one read, where a read of each would pass through the
// stream once per value: the arrays of a spectrum hold hundreds of thousands. Throws
// StreamError when the input ends first, leaving `values` partly read; the caller checks `count`
// against what remains before it sizes `values`.
WQCOMMON_EXPORT void ReadDoubles(BinaryReader& reader, double* values, std::size_t count);

// Writes the element count as std::uint32_t, then each element through its own operator<<.
template <typename Element>
void WriteCountedList(BinaryWriter& writer, const std::vector<Element>& elements) {
  writer << static_cast<std::uint32_t>(elements.size());
  for (const Element& element : elements) writer << element;
}

// Room made for a list's elements before any is read: a corrupt count costs no more than this.
constexpr std::uint32_t kListReserveLimit = 64;

// Reads a list that WriteCountedList wrote. Elements are read one by one, so a corrupt count ends
// in StreamError at the end of the stream instead of sizing an allocation beyond
// kListReserveLimit elements.
template <typename Element>
std::vector<Element> ReadCountedList(BinaryReader& reader) {
  std::uint32_t count = 0;
  reader >> count;
  std::vector<Element> elements;
  elements.reserve(std::min(count, kListReserveLimit));
  for (std::uint32_t i = 0; i < count; ++i) {
    Element element{};
    reader >> element;
    elements.push_back(std::move(element));
  }
  return elements;
}

// What a stored enumeration may hold. Every enumeration that records store has a function
// `StoredValues(Enum)`, declared beside it and found by argument-dependent lookup, that gives the
// name of the field that holds it and its first and last values.
struct StoredEnumeration {
  const char* Field;
  std::int32_t First;
  std::int32_t Last;
};

// Reads an enumeration stored as std::int32_t. Throws StreamError "the field <Field> holds <n>,
// which is not one of its values (<First> to <Last>)" for any value outside StoredValues(Enum).
template <typename Enum>
Enum ReadEnumeration(BinaryReader& reader) {
  std::int32_t stored = 0;
  reader >> stored;
  const StoredEnumeration values = StoredValues(Enum{});
  if (stored < values.First || stored > values.Last) {
    throw StreamError(std::string("the field ") + values.Field + " holds " +
                      std::to_string(stored) + ", which is not one of its values (" +
                      std::to_string(values.First) + " to " + std::to_string(values.Last) + ")");
  }
  return static_cast<Enum>(stored);
}

// A record names its stored fields once, in the order of its binary form, as a tuple of
// references made by std::tie; its writer, its reader and its comparison all follow that list.
namespace detail {

template <typename Value>
void Write(BinaryWriter& writer, const Value& value) {
  if constexpr (std::is_enum_v<Value>)
    writer << static_cast<std::int32_t>(value);
  else
    writer << value;
}

template <typename Element>
void Write(BinaryWriter& writer, const std::vector<Element>& elements) {
  WriteCountedList(writer, elements);
}

template <typename Value>
void Read(BinaryReader& reader, Value& value) {
  if constexpr (std::is_enum_v<Value>) {
    value = ReadEnumeration<Value>(reader);
  } else {
    reader >> value;
  }
}

template <typename Element>
void Read(BinaryReader& reader, std::vector<Element>& elements) {
  elements = ReadCountedList<Element>(reader);
}

}  // namespace detail

// Writes each field of `fields` in turn.
template <typename... Fields>
void WriteFields(BinaryWriter& writer, const std::tuple<Fields&...>& fields) {
  std::apply([&writer](const auto&... field) { (detail::Write(writer, field), ...); }, fields);
}

// Reads each field of `fields` in turn, in place: a short stream leaves the fields read so far
// changed.
template <typename... Fields>
void ReadFields(BinaryReader& reader, const std::tuple<Fields&...>& fields) {
  std::apply([&reader](auto&... field) { (detail::Read(reader, field), ...); }, fields);
}

// Reads a record's version word and throws std::runtime_error "Unknown <record> version." unless it
// is `expected`.
WQCOMMON_EXPORT void ReadRecordVersion(BinaryReader& reader, std::uint32_t expected,
                                       const char* record);

// Writes `version`, then the fields that Record::Fields lists.
template <typename Record>
void WriteRecord(BinaryWriter& writer, std::uint32_t version, const Record& record) {
  writer << version;
  WriteFields(writer, Record::Fields(record));
}

// Reads a record that WriteRecord wrote as a whole: another version throws std::runtime_error
// "Unknown <name> version.", and a short stream StreamError, and either leaves `record` as it was.
template <typename Record>
void ReadRecord(BinaryReader& reader, std::uint32_t version, const char* name, Record& record) {
  ReadRecordVersion(reader, version, name);
  Record read(record);
  ReadFields(reader, Record::Fields(read));
  record = std::move(read);
}

}  // namespace WQCommon
