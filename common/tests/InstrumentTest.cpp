#include <WQCommon/Instrument.h>
#include <gmock/gmock.h>

namespace WQCommon {
namespace {

using ::testing::StrEq;
using ::testing::ThrowsMessage;

// A known probe's name with its id, and a polarity's text, are pinned by the centroid document's
// golden file.
TEST(Probes, NamesCarryTheirIdsAndGiveTheIdBack) {
  EXPECT_EQ(Probes::GetNameNoId(Probes::ESCi), L"ESCi");
  EXPECT_EQ(Probes::GetName(static_cast<Probes::ProbeTypes>(7)), L"Unknown (7)");
  EXPECT_EQ(Probes::GetNameNoId(static_cast<Probes::ProbeTypes>(-1)), L"Unknown");
  for (const auto probe : {Probes::ESI, Probes::APCI, Probes::ESCi, Probes::APPI}) {
    EXPECT_EQ(Probes::GetId(Probes::GetName(probe)), probe);
    EXPECT_EQ(Probes::GetId(Probes::GetNameNoId(probe)), probe);
  }
  EXPECT_EQ(Probes::GetId(L"apci"), -1);
  EXPECT_EQ(Probes::GetId(L"Unknown (7)"), -1);
}

TEST(Polarity, TextsRoundTripAndUnknownOnesAreRefused) {
  for (const auto polarity : {Positive, Negative})
    EXPECT_EQ(PolarityFromWStr(PolarityToWStr(polarity)), polarity);
  EXPECT_THAT([] { PolarityFromWStr(L"positive"); },
              ThrowsMessage<UnknownPolarityError>(StrEq("Unknown polarity text (positive)")));
  EXPECT_THAT([] { PolarityToWStr(static_cast<PolarityTypes>(2)); },
              ThrowsMessage<UnknownPolarityError>(StrEq("Unknown polarity text (2)")));
}

}  // namespace
}  // namespace WQCommon
