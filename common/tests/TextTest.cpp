#include <WQCommon/Instrument.h>
#include <WQCommon/Text.h>
#include <gmock/gmock.h>

#include <string>
#include <utility>
#include <vector>

namespace WQCommon {
namespace {

using ::testing::StrEq;
using ::testing::ThrowsMessage;

const std::wstring kReplacement = L"\xFFFD";

// The conversions into a caller's buffer replace whatever it held, longer or shorter. Characters of
// every length in UTF-8 go through them; the UTF-16 forms are pinned by the binary stream's tests.
TEST(TextConversion, ConversionsIntoABufferReplaceItsContent) {
  std::string narrow = "a longer text than the next one";
  WQWideToNarrowStr(L"\u00E9t\u20AC\U0001F600", narrow);
  EXPECT_EQ(narrow, "\xC3\xA9t\xE2\x82\xAC\xF0\x9F\x98\x80");
  std::wstring wide = L"ab";
  WQNarrowToWideStr("x\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xFF", wide);
  EXPECT_EQ(wide, L"x\u00E9\u20AC\U0001F600\xDCFF");
}

TEST(TextConversion, EachInvalidSequenceOrCharacterBecomesOneReplacement) {
  const std::vector<std::pair<std::string, std::wstring>> cases = {
      {"a\xC3!", L"a" + kReplacement + L"!"},  // lead byte without its trail
      {"\xF0\x9F\x98", kReplacement},          // cut at the end
      {"\xED\xA0\x80x", kReplacement + L"x"},  // encoded surrogate
      {"\xC0\xAF", kReplacement},              // overlong form
      {"\xFF\x80\x80", kReplacement},          // never a lead byte
      {"\xF4\x90\x80\x80", kReplacement},      // beyond U+10FFFF
  };
  for (const auto& [narrow, wide] : cases)
    EXPECT_EQ(WQNarrowToWideStr(narrow, InvalidBytes::Replace), wide) << narrow;
  // Characters outside Unicode and lone surrogates, the other way.
  const std::wstring text = {L'x', static_cast<wchar_t>(0xDC00), static_cast<wchar_t>(0x110000),
                             static_cast<wchar_t>(-1)};
  EXPECT_EQ(WQWideToNarrowStr(text), "x\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
  EXPECT_EQ(WQWideToUtf16(text), u"x\xFFFD\xFFFD\xFFFD");
  EXPECT_EQ(WQUtf16ToWide(u"\xD83Dx\xDE00"), kReplacement + L"x" + kReplacement);
  EXPECT_EQ(WQUtf16ToWide(u"x\xD83D"), L"x" + kReplacement);
}

// A file name in another encoding is carried through wide text byte for byte, each byte that is
// not UTF-8 as its escape; text that must be characters gets U+FFFD for an escape instead.
TEST(TextConversion, BytesThatAreNotUtf8ComeBackUnchanged) {
  const std::vector<std::pair<std::string, std::wstring>> cases = {
      {"Old\xE9", L"Old\xDCE9"},                              // Latin-1
      {"a\xC3!", L"a\xDCC3!"},                                // lead byte without its trail
      {"\xF0\x9F\x98", L"\xDCF0\xDC9F\xDC98"},                // cut at the end
      {"\xED\xA0\x80\xC3\xA9", L"\xDCED\xDCA0\xDC80\u00E9"},  // encoded surrogate, then é
      {"\xC0\xAF\x80", L"\xDCC0\xDCAF\xDC80"}};               // overlong form, stray trail
  for (const auto& [narrow, wide] : cases) {
    EXPECT_EQ(WQNarrowToWideStr(narrow), wide) << narrow;
    EXPECT_EQ(WQWideToNarrowStr(wide), narrow) << narrow;
  }
  EXPECT_EQ(WQWideToNarrowStr(L"Old\xDCE9", InvalidBytes::Replace), "Old\xEF\xBF\xBD");
  // Only bytes from 0x80 have escapes: the low surrogates below them stay unencodable.
  EXPECT_EQ(WQWideToNarrowStr(L"\xDC41\xDD00"), "\xEF\xBF\xBD\xEF\xBF\xBD");
}

// A known probe's name, with its id or without, and a polarity's text are pinned by the golden
// files.
TEST(Probes, NamesCarryTheirIdsAndGiveTheIdBack) {
  EXPECT_EQ(Probes::GetName(static_cast<Probes::ProbeTypes>(7)), L"Unknown (7)");
  EXPECT_EQ(Probes::GetNameNoId(static_cast<Probes::ProbeTypes>(-1)), L"Unknown");
  for (const auto probe : {Probes::ESI, Probes::APCI, Probes::ESCi, Probes::APPI}) {
    EXPECT_EQ(Probes::GetId(Probes::GetName(probe)), probe);
    EXPECT_EQ(Probes::GetId(Probes::GetNameNoId(probe)), probe);
  }
  EXPECT_EQ(Probes::GetId(L"apci"), -1);
  EXPECT_EQ(Probes::GetId(L"Unknown (7)"), -1);
}

TEST(Polarity, UnknownTextOrValueIsRefused) {
  EXPECT_THAT([] { PolarityFromWStr(L"positive"); },
              ThrowsMessage<UnknownPolarityError>(StrEq("Unknown polarity text (positive)")));
  EXPECT_THAT([] { PolarityToWStr(static_cast<PolarityTypes>(2)); },
              ThrowsMessage<UnknownPolarityError>(StrEq("Unknown polarity text (2)")));
}

}  // namespace
}  // namespace WQCommon
