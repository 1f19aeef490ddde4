#include <WQRepos/Autotune.h>
#include <gmock/gmock.h>

#include <sstream>

#include "support/DataDirectory.h"

namespace {

using WQRepos::AutotuneDlgPrefs;
using WQRepos::AutotunePrefs;
using wqtest::I64;
using wqtest::U32;

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

template <typename Record>
std::string Bytes(const Record& record) {
  std::ostringstream out;
  WQCommon::BinaryWriter writer(out);
  writer << record;
  return out.str();
}

// Reads `bytes` into `record` and gives the number of bytes left unread.
template <typename Record>
std::uint64_t Read(const std::string& bytes, Record& record) {
  std::istringstream in(bytes);
  WQCommon::BinaryReader reader(in);
  reader >> record;
  return reader.Remaining();
}

TEST(AutotunePrefsBinary, RoundTripKeepsEverythingButTheDiverterSource) {
  const AutotunePrefs written = FivePoints();
  AutotunePrefs read;
  // The stream ends exactly after PrimeDelay.
  EXPECT_EQ(Read(Bytes(written), read), 0u);
  AutotunePrefs expected = written;
  expected.DiverterSource = WQRepos::Load;
  EXPECT_EQ(read, expected);
}

TEST(AutotunePrefsBinary, OtherVersionsResetTheRecordAndReadNoFurther) {
  const std::string body = Bytes(FivePoints()).substr(4);
  for (const std::uint32_t version : {4u, 6u}) {
    AutotunePrefs read = FivePoints();
    EXPECT_EQ(Read(U32(version) + body, read), body.size()) << version;
    EXPECT_EQ(read, AutotunePrefs()) << version;
  }
}

TEST(AutotunePrefsBinary, StreamEndingInsideAPointResetsTheRecord) {
  const AutotunePrefs written = FivePoints();
  const std::string bytes = Bytes(written);
  // Version, polarity, count, two points, the third's name and part of its mass.
  const std::size_t insideThird =
      12 + Bytes(written.TunePoints[0]).size() + Bytes(written.TunePoints[1]).size() + 16 + 3;
  AutotunePrefs read = written;
  Read(bytes.substr(0, insideThird), read);
  EXPECT_EQ(read, AutotunePrefs());
}

TEST(AutotunePrefsBinary, HugePointCountWithNothingBehindItIsRefused) {
  AutotunePrefs read = FivePoints();
  Read(U32(5) + U32(0) + U32(0xFFFFFFFFu), read);
  EXPECT_EQ(read, AutotunePrefs());
}

TEST(AutotuneDlgPrefsBinary, RoundTripCarriesTheNestedSettings) {
  AutotuneDlgPrefs written;
  written.TuneMixFile = L"/data/Autotune/mix.xtc";
  written.Value1 = -9000000000LL;
  written.Value2 = 42;
  written.Settings = FivePoints();
  written.Settings.DiverterSource = WQRepos::Load;
  const std::string bytes = Bytes(written);
  EXPECT_EQ(bytes, U32(1) + Bytes(written.TuneMixFile) + I64(-9000000000LL) + I64(42) +
                       Bytes(written.Settings));
  AutotuneDlgPrefs read;
  Read(bytes, read);
  EXPECT_EQ(read, written);
}

}  // namespace
