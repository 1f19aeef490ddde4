#include <WQRepos/Autotune.h>
#include <gmock/gmock.h>

#include "support/DataDirectory.h"
#include "support/Serial.h"

namespace {

using namespace wqtest;
using WQRepos::AutotuneDlgPrefs;
using WQRepos::AutotunePrefs;

AutotunePrefs FivePoints() {
  AutotunePrefs prefs;
  prefs.Polarity = WQCommon::Negative;
  prefs.DiverterSource = WQRepos::Waste;
  for (int i = 1; i <= 5; ++i)
    prefs.TunePoints.push_back({L"Cmpd " + std::to_wstring(i), 100.25 * i, -i, 1e6 / i, 0.5 * i});
  prefs.SourceType = WQCommon::Probes::APCI;
  prefs.PrimeDelay = 30;
  return prefs;
}

TEST(AutotunePrefsBinary, RoundTripsKeepEverythingButTheDiverterSource) {
  AutotuneDlgPrefs written;
  written.TuneMixFile = L"/data/Autotune/mix.xtc";
  written.Value1 = -9000000000LL;
  written.Value2 = 42;
  written.Settings = FivePoints();
  const std::string bytes = BytesOf(written);
  EXPECT_EQ(bytes, U32(1) + BytesOf(written.TuneMixFile) + I64(-9000000000LL) + I64(42) +
                       BytesOf(written.Settings));
  AutotuneDlgPrefs read;
  // The stream ends exactly after PrimeDelay.
  EXPECT_EQ(ReadFrom(bytes, read), 0u);
  written.Settings.DiverterSource = WQRepos::Load;
  EXPECT_EQ(read, written);
}

TEST(AutotunePrefsBinary, OtherVersionsResetTheRecordAndReadNoFurther) {
  const std::string body = BytesOf(FivePoints()).substr(4);
  for (const std::uint32_t version : {4u, 6u}) {
    AutotunePrefs read = FivePoints();
    EXPECT_EQ(ReadFrom(U32(version) + body, read), body.size()) << version;
    EXPECT_EQ(read, AutotunePrefs()) << version;
  }
}

TEST(AutotunePrefsBinary, StreamEndingInsideAPointOrHoldingTooFewPointsResetsTheRecord) {
  const AutotunePrefs written = FivePoints();
  // Version, polarity, count, two points, the third's name and part of its mass.
  const std::size_t insideThird =
      12 + BytesOf(written.TunePoints[0]).size() + BytesOf(written.TunePoints[1]).size() + 16 + 3;
  AutotunePrefs read = written;
  ReadFrom(BytesOf(written).substr(0, insideThird), read);
  EXPECT_EQ(read, AutotunePrefs());

  read = written;
  ReadFrom(U32(5) + U32(0) + U32(0xFFFFFFFFu), read);
  EXPECT_EQ(read, AutotunePrefs());
}

}  // namespace
