#include <WQCommon/Binary.h>
#include <gmock/gmock.h>

#include <sstream>
#include <string>

namespace WQCommon {
namespace {

using ::testing::ElementsAre;
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
// Multilingual Plane; every byte of the doubles counts. A stream ending early, or too short for its
// count, is met by the data file's tests; memory ending early by the module's readers.
TEST(BinaryStream, ValuesReadBackAsWrittenAndACountBeyondTheInputIsRefusedBeforeAllocating) {
  std::stringstream stream;
  BinaryWriter writer(stream);
  writer << std::wstring(L"\U0001F600");
  EXPECT_EQ(stream.str(), "\x02\x00\x00\x00\x3D\xD8\x00\xDE"s);
  writer << -1.0 / 3.0 << 0.1;
  BinaryReader reader(stream);
  EXPECT_EQ(Read<std::wstring>(reader), L"\U0001F600");
  double doubles[2];
  ReadDoubles(reader, doubles, 2);
  EXPECT_THAT(doubles, ElementsAre(-1.0 / 3.0, 0.1));
  // Any nonzero byte is true.
  BinaryReader odd("\x02", 1);
  EXPECT_TRUE(Read<bool>(odd));
  const std::string bytes = "\xFF\xFF\xFF\xFF\x41\x00"s;
  BinaryReader counted(bytes.data(), bytes.size());
  EXPECT_THAT([&] { Read<std::wstring>(counted); },
              ThrowsMessage<StreamError>(StrEq("Binary stream holds a count of 4294967295 items, "
                                               "more than its remaining 2 bytes can hold")));
}

}  // namespace
}  // namespace WQCommon
