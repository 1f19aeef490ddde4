#include <WQCommon/XMLNumbers.h>
#include <gmock/gmock.h>

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <utility>

namespace WQCommon {
namespace {

using ::testing::ThrowsMessage;

TEST(XMLNumbers, EachWritingRuleHasItsOwnDigits) {
  EXPECT_EQ(FullPrecisionText(0.1), L"0.10000000000000001");
  EXPECT_EQ(ShortestExactText(0.1), L"0.1");
  EXPECT_EQ(SixDigitText(1234.5678), L"1234.57");
  EXPECT_EQ(SixDigitText(1.5e7), L"1.5e+07");
  EXPECT_EQ(TwoDecimalText(0.7), L"0.70");
  EXPECT_EQ(DecimalText(std::numeric_limits<std::int32_t>::min()), L"-2147483648");
}

TEST(XMLNumbers, StrictParseAllowsBlanksAroundButRefusesAnythingElse) {
  EXPECT_EQ(ParseWholeNumber<std::int32_t>(L" +7 ", "Owner"), 7);
  EXPECT_THAT([] { ParseWholeNumber<std::int32_t>(L"1.5", "Owner"); },
              ThrowsMessage<std::runtime_error>("Invalid number \"1.5\" in Owner."));
  EXPECT_THAT([] { ParseWholeNumber<double>(L"", "Owner"); },
              ThrowsMessage<std::runtime_error>("Invalid number \"\" in Owner."));
}

TEST(XMLNumbers, LenientReadsKeepTheValueForTextThatIsNoNumber) {
  double whole = 1.0;
  for (const wchar_t* text : {L" 3", L"+3", L"3x", L""}) ReadWholeNumberOrKeep(text, whole);
  EXPECT_EQ(whole, 1.0);
  std::int32_t leading = 9;
  ReadLeadingNumberOrKeep(L" 12abc", leading);
  EXPECT_EQ(leading, 12);
  for (const wchar_t* text : {L"abc", L"2147483648"}) ReadLeadingNumberOrKeep(text, leading);
  EXPECT_EQ(leading, 12);
  // Plain decimals, and texts that only begin like them, read as a stream reads them.
  const std::pair<const wchar_t*, double> cases[] = {
      {L"0.25", 0.25},    {L"5.", 5.0},
      {L".5", 0.5},       {L"0.1000000000000000055511151231257827", 0.1},
      {L" 2.5e1x", 25.0}, {L"-1.5", -1.5},
      {L"1e", 7.0},       {L".", 7.0},
      {L"1..2", 1.0}};
  for (const auto& [text, expected] : cases) {
    double number = 7.0;
    ReadLeadingNumberOrKeep(text, number);
    EXPECT_EQ(number, expected) << text;
  }
}

}  // namespace
}  // namespace WQCommon
