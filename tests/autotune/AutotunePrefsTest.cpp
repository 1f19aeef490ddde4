#include <WQRepos/Autotune.h>
#include <gmock/gmock.h>

#include "support/DataDirectory.h"
#include "support/Serial.h"

namespace {

using namespace wqtest;
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

TEST(AutotunePrefsBinary, OtherVersionsResetTheRecordAndReadNoFurther) {
  const std::string body = BytesOf(FivePoints()).substr(4);
  for (const std::uint32_t version : {4u, 6u}) {
    AutotunePrefs read = FivePoints();
    EXPECT_EQ(ReadFrom(U32(version) + body, read), body.size()) << version;
    EXPECT_EQ(read, AutotunePrefs()) << version;
  }
}

TEST(AutotunePrefsBinary, MorePointsThanTheStreamHoldsResetsTheRecord) {
  AutotunePrefs read = FivePoints();
  ReadFrom(U32(5) + U32(0) + U32(0xFFFFFFFFu), read);
  EXPECT_EQ(read, AutotunePrefs());
}

}  // namespace
