#include <WQCommon/Binary.h>
#include <gmock/gmock.h>

#include <sstream>
#include <string>

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
// Multilingual Plane; a string is UTF-16 with its count. The data file's tests read doubles and
// meet a stream ending early; the module's readers meet memory ending early.
TEST(BinaryStream, StringsAreUtf16WithSurrogatePairsAndAnyNonzeroByteIsTrue) {
  std::stringstream stream;
  BinaryWriter writer(stream);
  writer << std::wstring(L"\U0001F600");
  EXPECT_EQ(stream.str(), "\x02\x00\x00\x00\x3D\xD8\x00\xDE"s);
  BinaryReader reader(stream);
  EXPECT_EQ(Read<std::wstring>(reader), L"\U0001F600");
  BinaryReader odd("\x02", 1);
  EXPECT_TRUE(Read<bool>(odd));
}

TEST(BinaryStream, CountBeyondTheBytesInMemoryIsRefusedBeforeAllocating) {
  const std::string bytes = "\xFF\xFF\xFF\xFF\x41\x00"s;
  BinaryReader reader(bytes.data(), bytes.size());
  EXPECT_THAT([&] { Read<std::wstring>(reader); },
              ThrowsMessage<StreamError>(StrEq("Binary stream holds a count of 4294967295 items, "
                                               "more than its remaining 2 bytes can hold")));
}

}  // namespace
}  // namespace WQCommon
