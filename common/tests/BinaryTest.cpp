#include <WQCommon/Binary.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

namespace WQCommon {
namespace {

using ::testing::StrEq;
using ::testing::ThrowsMessage;

std::uint64_t Bits(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

std::vector<unsigned char> Bytes(const std::stringstream& stream) {
  const std::string text = stream.str();
  return {text.begin(), text.end()};
}

std::stringstream StreamOf(const std::vector<unsigned char>& bytes) {
  return std::stringstream(std::string(bytes.begin(), bytes.end()));
}

// A record as the repository's records are written: a version, then its fields.
struct Sample : IWQSerial {
  std::int32_t offset = 0;
  void Serialize(BinaryReader& reader) override {
    std::uint32_t version = 0;
    reader >> version >> offset;
  }
  void Serialize(BinaryWriter& writer) const override { writer << std::uint32_t{1} << offset; }
  using IWQSerial::Serialize;
};

TEST(BinaryStream, EveryTypeRoundTripsIncludingExtremes) {
  const std::vector<double> doubles = {
      std::numeric_limits<double>::quiet_NaN(),  std::numeric_limits<double>::infinity(),
      -std::numeric_limits<double>::infinity(),  -0.0,
      std::numeric_limits<double>::denorm_min(), 1.5e300};
  const std::vector<std::wstring> strings = {L"", L"Grüße, 50 µL/min", L"smile \U0001F600"};
  std::stringstream stream;
  BinaryWriter writer(stream);
  writer << true << false << std::numeric_limits<std::int32_t>::min()
         << std::numeric_limits<std::int32_t>::max() << std::numeric_limits<std::uint32_t>::max()
         << std::numeric_limits<std::int64_t>::min() << std::numeric_limits<std::int64_t>::max();
  for (const double value : doubles) writer << value;
  for (const std::wstring& value : strings) writer << value;

  BinaryReader reader(stream);
  bool yes = false, no = true;
  std::int32_t int32Min = 0, int32Max = 0;
  std::uint32_t uint32Max = 0;
  std::int64_t int64Min = 0, int64Max = 0;
  reader >> yes >> no >> int32Min >> int32Max >> uint32Max >> int64Min >> int64Max;
  EXPECT_TRUE(yes);
  EXPECT_FALSE(no);
  EXPECT_EQ(int32Min, std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(int32Max, std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(uint32Max, std::numeric_limits<std::uint32_t>::max());
  EXPECT_EQ(int64Min, std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(int64Max, std::numeric_limits<std::int64_t>::max());
  for (const double expected : doubles) {
    double value = 0;
    reader >> value;
    EXPECT_EQ(Bits(value), Bits(expected));
  }
  for (const std::wstring& expected : strings) {
    std::wstring value = L"stale";
    reader >> value;
    EXPECT_EQ(value, expected);
  }
  EXPECT_EQ(reader.Remaining(), 0u);
}

TEST(BinaryStream, ValuesAreWrittenLittleEndian) {
  std::stringstream stream;
  BinaryWriter writer(stream);
  writer << std::uint32_t{1} << std::int32_t{-2} << std::int64_t{0x0102030405060708} << 1.0
         << std::wstring(L"A") << std::wstring(L"\U0001F600");
  EXPECT_EQ(Bytes(stream),
            (std::vector<unsigned char>{0x01, 0x00, 0x00, 0x00,                          // 1
                                        0xFE, 0xFF, 0xFF, 0xFF,                          // -2
                                        0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01,  //
                                        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF0, 0x3F,  // 1.0
                                        0x01, 0x00, 0x00, 0x00, 0x41, 0x00,              // "A"
                                        0x02, 0x00, 0x00, 0x00, 0x3D, 0xD8, 0x00, 0xDE}));
}

TEST(BinaryStream, AnyNonzeroByteReadsAsTrue) {
  std::stringstream stream = StreamOf({0x02, 0xFF});
  BinaryReader reader(stream);
  bool first = false, second = false;
  reader >> first >> second;
  EXPECT_TRUE(first);
  EXPECT_TRUE(second);
}

TEST(BinaryStream, LoneSurrogateReadsAsReplacementCharacter) {
  std::stringstream stream = StreamOf({0x02, 0x00, 0x00, 0x00, 0x00, 0xD8, 0x21, 0x00});
  BinaryReader reader(stream);
  std::wstring value;
  reader >> value;
  EXPECT_EQ(value, L"\xFFFD!");
}

TEST(BinaryStream, ValueCutShortIsRefused) {
  std::stringstream stream = StreamOf({0x01, 0x02, 0x03});
  BinaryReader reader(stream);
  std::int64_t value = 0;
  EXPECT_THAT([&] { reader >> value; },
              ThrowsMessage<StreamError>(
                  StrEq("Binary stream ended early: a value needs 8 bytes, 3 remain")));
}

TEST(BinaryStream, StringLongerThanTheStreamIsRefusedBeforeAllocating) {
  std::stringstream stream = StreamOf({0xFF, 0xFF, 0xFF, 0xFF, 0x41, 0x00});
  BinaryReader reader(stream);
  std::wstring value;
  EXPECT_THAT([&] { reader >> value; },
              ThrowsMessage<StreamError>(StrEq("Binary stream holds a count of 4294967295 items, "
                                               "more than its remaining 2 bytes can hold")));
}

TEST(BinaryStream, RecordRoundTripsAndPrintsAsLowerCaseHex) {
  Sample written;
  written.offset = -2;
  std::stringstream stream;
  BinaryWriter writer(stream);
  writer << written;
  Sample read;
  BinaryReader reader(stream);
  reader >> read;
  EXPECT_EQ(read.offset, -2);

  std::wstring text;
  written.Serialize(text);
  EXPECT_EQ(text, L"01000000feffffff");
}

}  // namespace
}  // namespace WQCommon
