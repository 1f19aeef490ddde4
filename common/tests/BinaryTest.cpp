#include <WQCommon/Binary.h>
#include <gmock/gmock.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace WQCommon {
namespace {

using ::testing::StrEq;
using ::testing::ThrowsMessage;
using namespace std::string_literals;

template <typename T>
T Read(BinaryReader& reader) {
  T value{};
  reader >> value;
  return value;
}

// The fixed-size layouts are pinned by the golden files, whose strings are all of the Basic
// Multilingual Plane; a string is UTF-16 with its count. The hexadecimal text of a record is read
// back by the evaluation step's XML tests.
TEST(BinaryStream, StringsAreUtf16WithSurrogatePairs) {
  std::stringstream stream;
  BinaryWriter writer(stream);
  writer << std::wstring(L"\U0001F600");
  EXPECT_EQ(stream.str(), "\x02\x00\x00\x00\x3D\xD8\x00\xDE"s);
  BinaryReader reader(stream);
  EXPECT_EQ(Read<std::wstring>(reader), L"\U0001F600");
}

// Any nonzero byte is true; a lone surrogate becomes the replacement character.
TEST(BinaryStream, ReadingToleratesOddBoolsAndLoneSurrogates) {
  std::stringstream stream("\x02\xFF\x02\x00\x00\x00\x00\xD8\x21\x00"s);
  BinaryReader reader(stream);
  EXPECT_TRUE(Read<bool>(reader));
  EXPECT_TRUE(Read<bool>(reader));
  EXPECT_EQ(Read<std::wstring>(reader), L"\xFFFD!");
}

// From a stream and from memory, a list read at once gives the doubles written one at a time.
TEST(BinaryStream, DoublesReadInBlocksAreTheDoublesWritten) {
  std::vector<double> written(1500);
  for (std::size_t i = 0; i < written.size(); ++i) written[i] = -1.0 / (3.0 + i);
  std::stringstream stream;
  BinaryWriter writer(stream);
  for (const double value : written) writer << value;
  const std::string bytes = stream.str();
  BinaryReader fromStream(stream);
  BinaryReader fromMemory(bytes.data(), bytes.size());
  for (BinaryReader* reader : {&fromStream, &fromMemory}) {
    std::vector<double> read(written.size());
    ReadDoubles(*reader, read.data(), read.size());
    EXPECT_EQ(read, written);
    EXPECT_THROW(ReadDoubles(*reader, read.data(), 1), StreamError);
  }
}

TEST(BinaryStream, StreamEndingEarlyIsRefusedBeforeAllocating) {
  const std::tuple<std::string, std::function<void(BinaryReader&)>, const char*> cases[] = {
      {"\x01\x02\x03", Read<std::int64_t>,
       "Binary stream ended early: a value needs 8 bytes, 3 remain"},
      {"\xFF\xFF\xFF\xFF\x41\x00"s, Read<std::wstring>,
       "Binary stream holds a count of 4294967295 items, more than its remaining 2 bytes can "
       "hold"}};
  for (const auto& [bytes, read, message] : cases) {
    std::stringstream stream(bytes);
    BinaryReader reader(stream);
    EXPECT_THAT([&] { read(reader); }, ThrowsMessage<StreamError>(StrEq(message)));
    BinaryReader inMemory(bytes.data(), bytes.size());
    EXPECT_THAT([&] { read(inMemory); }, ThrowsMessage<StreamError>(StrEq(message)));
  }
}

}  // namespace
}  // namespace WQCommon
