#include <WQBL/PeakProcessing.h>
#include <WQDataFile/SyntheticRun.h>
#include <gmock/gmock.h>

#include <functional>
#include <limits>
#include <utility>

namespace WQDataFile {
namespace {

using ::testing::SizeIs;
using ::testing::StrEq;
using ::testing::ThrowsMessage;

CalDataFile SmallRun(std::uint32_t runNumber) {
  SyntheticRunSettings settings;
  settings.ScanCount = 40;
  settings.HighMZ = 1000.0;
  settings.Calibrants = SyntheticRunSettings::SodiumIodideClusters(100.0, 1000.0, 20000.0);
  settings.RunNumber = runNumber;
  return GenerateSyntheticRun(L"/cal/a.dat", settings);
}

TEST(SyntheticRun, SameRunNumberGivesTheSameRunAndAnotherNumberOtherNoise) {
  const CalDataFile run = SmallRun(7);
  ASSERT_EQ(run.QNumScanSpectra(), 40u);
  EXPECT_EQ(run.QScan(20).Intensity, SmallRun(7).QScan(20).Intensity);
  EXPECT_NE(run.QScan(20).Intensity, SmallRun(8).QScan(20).Intensity);
  EXPECT_EQ(run.QDescription(), L"Synthetic calibration run, 40 scans, run 7");
}

// The total ion current peaks in the middle of the run, and there the peak detector finds every
// calibrant close to its true m/z, and nothing else.
TEST(SyntheticRun, CalibrantsRiseAndFallOverTheRunAtTheirMasses) {
  const CalDataFile file = SmallRun(3);
  WQBL::ICObj tic = file.GenerateTIC();
  WQBL::Changed changed;
  std::wstring message;
  ASSERT_TRUE(WQBL::ExecutePeakDetect(tic, changed, message));
  ASSERT_THAT(tic.QPeaks(), SizeIs(1));
  EXPECT_NEAR(tic.QPeaks()[0].ApexIndex, 19.5, 2.0);
  EXPECT_LT(tic.QYValues().front(), tic.QYValues()[20] / 3.0);
  const auto calibrants = SyntheticRunSettings::SodiumIodideClusters(100.0, 1000.0, 1.0);
  std::unique_ptr<WQBL::Spectrum> spectrum = file.GenerateAveragedSpectrum({20}, {});
  ASSERT_TRUE(WQBL::ExecutePeakDetect(*spectrum, changed, message));
  ASSERT_THAT(spectrum->QPeaks(), SizeIs(calibrants.size()));
  for (std::size_t i = 0; i < calibrants.size(); ++i) {
    EXPECT_NEAR(spectrum->FractionalIndexToXAxisVal(spectrum->QPeaks()[i].CentroidIndex),
                calibrants[i].MZ, 0.01);
  }
}

TEST(SyntheticRun, SettingsThatAreNotFiniteNumbersAreRefusedNamingThem) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double infinity = std::numeric_limits<double>::infinity();
  const std::pair<std::function<void(SyntheticRunSettings&)>, std::string> cases[] = {
      {[&](SyntheticRunSettings& s) { s.HighMZ = nan; }, "HighMZ is not a finite number."},
      {[&](SyntheticRunSettings& s) { s.Baseline = -infinity; },
       "Baseline is not a finite number."},
      {[&](SyntheticRunSettings& s) { s.Calibrants.back().Height = nan; },
       "Calibrants holds a number that is not finite."}};
  for (const auto& [change, message] : cases) {
    SyntheticRunSettings settings;
    change(settings);
    EXPECT_THAT([&] { GenerateSyntheticRun(L"/cal/a.dat", settings); },
                ThrowsMessage<DataFileError>(StrEq("Synthetic run setting " + message)));
  }
  for (const double high : {nan, infinity}) {
    EXPECT_THAT([&] { SyntheticRunSettings::SodiumIodideClusters(100.0, high, 1.0); },
                ThrowsMessage<DataFileError>(
                    StrEq("Sodium iodide clusters need a finite m/z range and height.")));
  }
}

}  // namespace
}  // namespace WQDataFile
