#include <WQBL/PeakProcessing.h>
#include <WQDataFile/SyntheticRun.h>
#include <gmock/gmock.h>

#include <cmath>

namespace WQDataFile {
namespace {

using ::testing::SizeIs;

SyntheticRunSettings SmallRun(std::uint32_t seed) {
  SyntheticRunSettings settings;
  settings.ScanCount = 40;
  settings.HighMZ = 1000.0;
  settings.Calibrants = SyntheticRunSettings::SodiumIodideClusters(100.0, 1000.0, 20000.0);
  settings.Seed = seed;
  return settings;
}

TEST(SyntheticRun, SameSeedGivesTheSameRunAndAnotherSeedAnotherOne) {
  const CalDataFile first = GenerateSyntheticRun(L"/cal/a.dat", SmallRun(7));
  const CalDataFile again = GenerateSyntheticRun(L"/cal/a.dat", SmallRun(7));
  const CalDataFile other = GenerateSyntheticRun(L"/cal/a.dat", SmallRun(8));
  ASSERT_EQ(first.QNumScanSpectra(), 40u);
  EXPECT_EQ(first.QScan(20).Intensity, again.QScan(20).Intensity);
  EXPECT_NE(first.QScan(20).Intensity, other.QScan(20).Intensity);
  EXPECT_EQ(first.QMethod(), other.QMethod());
  EXPECT_EQ(first.QTuneRun(0).TuneId, 1);
}

TEST(SyntheticRun, CalibrantsRiseAndFallOverTheRun) {
  const WQBL::ICObj tic = GenerateSyntheticRun(L"/cal/a.dat", SmallRun(1)).GenerateTIC();
  WQBL::ICObj chromatogram = tic;
  WQBL::Changed changed;
  std::wstring message;
  ASSERT_TRUE(WQBL::ExecutePeakDetect(chromatogram, changed, message));
  ASSERT_THAT(chromatogram.QPeaks(), SizeIs(1));
  EXPECT_NEAR(chromatogram.QPeaks()[0].ApexIndex, 19.5, 2.0);
  EXPECT_LT(tic.QYValues().front(), tic.QYValues()[20] / 3.0);
}

// The detector finds every calibrant of the sodium iodide series in the middle of the run, close
// to its true m/z, and nothing else.
TEST(SyntheticRun, PeakDetectorFindsTheCalibrantMasses) {
  const SyntheticRunSettings settings = SmallRun(3);
  const CalDataFile file = GenerateSyntheticRun(L"/cal/a.dat", settings);
  for (const std::vector<std::uint32_t>& scans :
       {std::vector<std::uint32_t>{20}, std::vector<std::uint32_t>{18, 19, 20, 21, 22}}) {
    std::unique_ptr<WQBL::Spectrum> spectrum = file.GenerateAveragedSpectrum(scans, {});
    WQBL::Changed changed;
    std::wstring message;
    ASSERT_TRUE(WQBL::ExecutePeakDetect(*spectrum, changed, message));
    ASSERT_THAT(spectrum->QPeaks(), SizeIs(settings.Calibrants.size()));
    for (std::size_t i = 0; i < settings.Calibrants.size(); ++i) {
      const double found = spectrum->FractionalIndexToXAxisVal(spectrum->QPeaks()[i].CentroidIndex);
      EXPECT_NEAR(found, settings.Calibrants[i].MZ, 0.01);
    }
  }
}

}  // namespace
}  // namespace WQDataFile
