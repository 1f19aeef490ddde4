#include <WQBL/Ranges.h>
#include <WQCommon/Text.h>
#include <gmock/gmock.h>

#include <tuple>

#include "SerialTesting.h"

namespace WQBL {
namespace {

using ::testing::ThrowsMessage;

// Doubles that no short decimal form holds exactly.
auto Samples() {
  ICFilter filter;
  filter.Function = 3;
  filter.Polarity = ICFilter::NegativeOnly;
  return std::make_tuple(Sample{MZRange(MZRange::Bounded, 0.1, 1999.0 / 3.0), "MZRange"},
                         Sample{ICRange(1.0 / 3.0, 12.7), "ICRange"}, Sample{filter, "ICFilter"},
                         Sample{MZPeakField(MZPeakField::Width), "MZPeakField"});
}

TEST(Ranges, EveryValueReadsBackExactlyFromItsXmlForm) {
  ForEachSample(Samples(), [](const auto& sample) {
    auto read = decltype(sample.Value)();
    ReadXml(XmlOf(sample.Value), read);
    EXPECT_TRUE(read == sample.Value) << sample.Name;
  });
}

TEST(Ranges, MissingElementIsReportedByName) {
  ForEachSample(Samples(), [](const auto& sample) {
    auto read = sample.Value;
    ExpectMissingElement(L"<Top/>", read, WQCommon::WQNarrowToWideStr(sample.Name));
  });
}

TEST(MZRangeXml, FieldThatIsNoNumberIsRefusedQuotingItsText) {
  const std::wstring xml = XmlOf(MZRange(MZRange::Bounded, 5.0, 6.0));
  MZRange read;
  EXPECT_THAT([&] { ReadXml(Replaced(xml, L">5<", L">5x<"), read); },
              ThrowsMessage<std::runtime_error>("Invalid number \"5x\" in MZRange."));
  EXPECT_TRUE(read == MZRange());
}

}  // namespace
}  // namespace WQBL
