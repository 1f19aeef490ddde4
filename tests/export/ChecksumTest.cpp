#include <WQCommon/Text.h>
#include <gmock/gmock.h>

#include <boost/crc.hpp>
#include <random>
#include <string>

#include "export/Checksum.h"

namespace {

// Boost's CRC-32 of the UTF-16 code units of `text`, low byte first.
std::uint32_t BoostUtf16Crc(const std::wstring& text) {
  boost::crc_32_type crc;
  for (const char16_t unit : WQCommon::WQWideToUtf16(text)) {
    const unsigned char bytes[] = {static_cast<unsigned char>(unit & 0xFF),
                                   static_cast<unsigned char>(unit >> 8)};
    crc.process_bytes(bytes, 2);
  }
  return crc.checksum();
}

// Random text of code points of one, two, three and four bytes in UTF-8, long enough to span
// several of the blocks that are checksummed at once, cut and continued at random places. An
// invalid sequence counts as the replacement character.
TEST(Utf16Crc32, GivesBoostsCrc32OnRandomTextInPiecesAndOnInvalidSequences) {
  std::mt19937 random(13);
  const std::pair<std::uint32_t, std::uint32_t> ranges[] = {
      {1, 0x7F}, {0x80, 0x7FF}, {0xE000, 0xFFFD}, {0x10000, 0x10FFFF}};
  std::uniform_int_distribution<std::size_t> kind(0, 3);
  for (const std::size_t length : {0, 1, 7, 8192, 40000}) {
    std::wstring text;
    for (std::size_t i = 0; i < length; ++i) {
      const auto [low, high] = ranges[kind(random)];
      text += static_cast<wchar_t>(std::uniform_int_distribution<std::uint32_t>(low, high)(random));
    }
    const std::string utf8 = WQCommon::WQWideToNarrowStr(text);
    const std::string head = WQCommon::WQWideToNarrowStr(text.substr(0, length / 3));
    EXPECT_EQ(WQRepos::Utf16Crc32(0, utf8), BoostUtf16Crc(text)) << length;
    EXPECT_EQ(WQRepos::Utf16Crc32(WQRepos::Utf16Crc32(0, head), utf8.substr(head.size())),
              BoostUtf16Crc(text))
        << length;
  }
  EXPECT_EQ(WQRepos::Utf16Crc32(0, "a\xC3(b\xF0\x9F"), BoostUtf16Crc(L"a\uFFFD(b\uFFFD"));
}

}  // namespace
