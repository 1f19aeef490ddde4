#include <WQBL/PeakProcessing.h>
#include <WQDataFile/DataFile.h>
#include <WQDataFile/SyntheticRun.h>
#include <WQDataFile/SyntheticSpectrum.h>
#include <gmock/gmock.h>

#include <cmath>
#include <functional>
#include <limits>

namespace WQDataFile {
namespace {

using ::testing::SizeIs;
using ::testing::StrEq;
using ::testing::ThrowsMessage;

// One to one, nearest pair first: the reference peak at 100.01 takes the found peak at 100.0, not
// the one at 100.05, which stays unmatched; 200.35 is beyond the wide tolerance of 200.2. The top
// half of the reference is the peak at 100.01, so only found peaks of 60 or more count for
// precision, and the differences are those of that one pair. Of thirty matched pairs, an even count
// beyond the smallest sets that are simply sorted, the differences are 0.001 times -15 to 14 in
// scrambled order: the median signed difference is -0.0005, the median absolute one 0.0075.
TEST(PeakListAgreement, PairsAreMatchedOneToOneNearestFirstAndMediansAreOfTheSortedDifferences) {
  const WQBL::PeakListAgreement agreement = WQBL::ComparePeakLists(
      {100.0, 100.05, 200.35, 300.0}, {70.0, 65.0, 62.0, 1.0}, {100.01, 200.2}, {60.0, 20.0});
  EXPECT_EQ(std::tie(agreement.FoundPeaks, agreement.ReferencePeaks, agreement.RecallTop10,
                     agreement.RecallTop50, agreement.PrecisionNarrow, agreement.PrecisionWide),
            std::make_tuple(4u, 2u, 1.0, 1.0, 1.0 / 3.0, 1.0 / 3.0));
  // 100.05, left without a partner, lies nearest to 100.01: that peak was found twice.
  EXPECT_EQ(std::tie(agreement.Recall, agreement.Precision, agreement.SplitPeaks),
            std::make_tuple(0.5, 0.25, 1u));
  EXPECT_NEAR(agreement.MedianSignedDifference, -0.01, 1e-12);
  EXPECT_NEAR(agreement.MedianAbsoluteDifference, 0.01, 1e-12);
  std::vector<double> found, reference, heights;
  for (int i = 0; i < 60; ++i) {
    reference.push_back(100.0 * (i + 1));
    found.push_back(reference.back() + 0.001 * ((i * 17) % 30 - 15));
    heights.push_back(1000.0 - i);
  }
  const WQBL::PeakListAgreement many = WQBL::ComparePeakLists(found, heights, reference, heights);
  EXPECT_NEAR(many.MedianSignedDifference, -0.0005, 1e-9);
  EXPECT_NEAR(many.MedianAbsoluteDifference, 0.0075, 1e-9);
}

// The peaks of a measured profile spectrum (MALDI-TOF, 120,544 points) against the centroids that
// an established open-source picker found in it, with the export's default spectrum parameters. The
// bounds hold the figures reached with a small margin (docs/peak-detection.md).
WQBL::PeakListAgreement AgreementWithTheReference(bool smooth) {
  const CalDataFile profile(WQDATAFILE_TEST_DATA L"/peakpicker_tutorial_1.mzML");
  const CalDataFile picked(WQDATAFILE_TEST_DATA L"/peakpicker_tutorial_1_picked.mzML");
  const auto spectrum = profile.GenerateAveragedSpectrum({profile.QScan(0).ScanNumber}, {});
  const auto reference = picked.GenerateAveragedSpectrum({picked.QScan(0).ScanNumber}, {});
  WQBL::Changed changed;
  std::wstring message;
  EXPECT_TRUE(!smooth || WQBL::ExecuteSmooth(*spectrum, changed, message));
  EXPECT_TRUE(WQBL::ExecutePeakDetect(*spectrum, changed, message));
  std::vector<double> x, height;
  for (const WQBL::Peak& peak : spectrum->QPeaks()) {
    x.push_back(spectrum->FractionalIndexToXAxisVal(peak.CentroidIndex));
    height.push_back(peak.Amplitude);
  }
  return WQBL::ComparePeakLists(x, height, reference->QXAxis(), reference->QYValues());
}

TEST(PeakPicking, MeasuredSpectrumMatchesTheReferenceCentroids) {
  const WQBL::PeakListAgreement plain = AgreementWithTheReference(false);
  EXPECT_EQ(plain.RecallTop10, 1.0);
  EXPECT_GE(plain.RecallTop50, 0.95);
  EXPECT_GE(plain.PrecisionWide, 0.90);
  EXPECT_LT(plain.MedianAbsoluteDifference, 0.005);
  EXPECT_LT(std::abs(plain.MedianSignedDifference), 0.001);
  // Smoothing first neither moves the centroids nor lets noise pass as peaks.
  const WQBL::PeakListAgreement smoothed = AgreementWithTheReference(true);
  EXPECT_GE(smoothed.RecallTop10, 0.95);
  EXPECT_GE(smoothed.PrecisionWide, 0.95);
  EXPECT_LT(smoothed.MedianAbsoluteDifference, 0.005);
  EXPECT_LE(smoothed.FoundPeaks, plain.FoundPeaks * 11 / 10);
}

// How the peaks found in synthetic spectra agree with their true peaks: all, and the lone ones
// between clusters. A match within a sixth of the unit-resolution width is a peak found.
struct SyntheticAgreement {
  WQBL::PeakListAgreement All;
  WQBL::PeakListAgreement Lone;
};

// The profile of `truth` as a spectrum.
WQBL::Spectrum ProfileOf(const SyntheticSpectrum& truth) {
  WQBL::Spectrum spectrum;
  spectrum.AssignXAxis(truth.MZ);
  spectrum.AssignYValues(truth.Intensity);
  return spectrum;
}

// The profile of `truth` with its peaks detected as the export detects them; the centres and
// heights of those peaks go into `x` and `height`.
WQBL::Spectrum DetectPeaks(const SyntheticSpectrum& truth, std::vector<double>& x,
                           std::vector<double>& height) {
  WQBL::Spectrum spectrum = ProfileOf(truth);
  WQBL::Changed changed;
  std::wstring message;
  EXPECT_TRUE(WQBL::ExecutePeakDetect(spectrum, changed, message));
  for (const WQBL::Peak& peak : spectrum.QPeaks()) {
    x.push_back(spectrum.FractionalIndexToXAxisVal(peak.CentroidIndex));
    height.push_back(peak.Amplitude);
  }
  return spectrum;
}

SyntheticAgreement PickSynthetic(SyntheticSpectrumSettings settings, std::uint32_t spectra,
                                 double tolerance = 0.1) {
  WQBL::PeakListComparison all(tolerance, 5.0 * tolerance);
  WQBL::PeakListComparison lone(tolerance, 5.0 * tolerance);
  for (std::uint32_t number = 1; number <= spectra; ++number) {
    settings.SpectrumNumber = number;
    const SyntheticSpectrum truth = GenerateSyntheticSpectrum(settings);
    std::vector<double> x, height, trueX, trueHeight, loneX, loneHeight;
    const WQBL::Spectrum spectrum = DetectPeaks(truth, x, height);
    for (const WQBL::Peak& peak : spectrum.QPeaks()) EXPECT_GT(peak.CentroidAmplitude, 0.0);
    for (const SyntheticPeak& peak : truth.Peaks) {
      trueX.push_back(peak.MZ);
      trueHeight.push_back(peak.Height);
      if (!peak.Lone) continue;
      loneX.push_back(peak.MZ);
      loneHeight.push_back(peak.Height);
    }
    lone.Add(x, height, loneX, loneHeight);
    all.Add(x, height, trueX, trueHeight);
  }
  return {all.Agreement(), lone.Agreement()};
}

// Clusters of four peaks (5000, 3000, 1200 and 400 counts) every 8 m/z on a baseline of 40
// counts, with a weak peak midway between each two: busy enough that most points of a noise
// block lie on a peak.
TEST(PeakPicking, WeakPeaksBetweenBusyClustersAreFound) {
  for (const double step : {0.02, 0.05, 0.1}) {
    for (const double weak : {400.0, 200.0, 100.0}) {
      SCOPED_TRACE(testing::Message() << "step " << step << ", weak peaks of " << weak);
      SyntheticSpectrumSettings settings;
      settings.MZStep = step;
      settings.ClusterSpacing = 8.0;
      settings.ClusterHeights = {5000.0, 3000.0, 1200.0, 400.0};
      settings.HeightDecades = 0.0;
      settings.LoneHeight = weak;
      const SyntheticAgreement found = PickSynthetic(settings, 3);
      EXPECT_GE(found.Lone.Recall, weak >= 200.0 ? 0.95 : 0.80);
      EXPECT_GE(found.All.Recall, 0.95);
      EXPECT_GE(found.All.Precision, 0.98);
    }
  }
}

// Counting noise at the top of a high peak is many times the noise of the baseline; finely
// sampled, a dip between two of its points splits nothing.
TEST(PeakPicking, NoIsolatedPeakIsSplitAtAnySamplingStep) {
  for (int hundredths = 2; hundredths <= 10; ++hundredths) {
    SCOPED_TRACE(testing::Message() << "step 0.0" << hundredths);
    SyntheticSpectrumSettings settings;  // heights from 100 to 100,000 counts
    settings.MZStep = hundredths / 100.0;
    const WQBL::PeakListAgreement found = PickSynthetic(settings, 2).All;
    EXPECT_EQ(found.SplitPeaks, 0u);
    EXPECT_EQ(found.FoundPeaks, found.ReferencePeaks);
    EXPECT_EQ(found.Recall, 1.0);
  }
}

// Single peaks every 10 m/z at unit resolution; isotope clusters every 15 m/z at a resolving power
// of 20,000, on a baseline of 2 counts, where most points are a few counts or none.
TEST(PeakPicking, SparseSpectraAreFoundWhereTheyAre) {
  const WQBL::PeakListAgreement unit = PickSynthetic(SyntheticSpectrumSettings(), 10).All;
  EXPECT_GE(unit.Recall, 0.99);
  EXPECT_GE(unit.Precision, 0.98);
  EXPECT_LE(unit.MedianAbsoluteDifference, 0.0036);
  const WQBL::PeakListAgreement resolved =
      PickSynthetic(SyntheticSpectrumSettings::HighResolution(), 5, 0.02).All;
  EXPECT_GE(resolved.Recall, 0.99);
  EXPECT_GE(resolved.Precision, 0.98);
  EXPECT_LE(resolved.MedianAbsoluteDifference, 0.0002);
}

// Two equal peaks one width apart (at half height) dip by 6% between their tops, at a few hundred
// counts less than the counting noise there; but their top is flatter than a single peak's, and
// the far flank of each, mirrored, gives the share it has under the other. Both are found, each
// within a tenth of the width of its truth (cut at the valley, the tops' centroids lay a sixth of
// the width inward), at heights of 100 to 100,000 counts over the baseline of 40. At the step of
// the sparse set (reached: 0.95 of the peaks) and a coarser one (0.91), where the weakest pairs
// have fewer points to show their shape.
TEST(PeakPicking, EqualDoubletsOneWidthApartAreTwoPeaks) {
  for (const auto& [step, share] : {std::pair{0.05, 0.92}, std::pair{0.1, 0.88}}) {
    SCOPED_TRACE(testing::Message() << "step " << step);
    SyntheticSpectrumSettings doublets;
    doublets.PeakWidth = 1.0033548;  // one isotope spacing
    doublets.ClusterHeights = {100.0, 100.0};
    doublets.MZStep = step;
    const WQBL::PeakListAgreement found = PickSynthetic(doublets, 5, 0.1).All;
    EXPECT_GE(found.Recall, share);
    EXPECT_GE(found.Precision, share);
    EXPECT_EQ(found.SplitPeaks, 0u);
    EXPECT_LE(found.MedianAbsoluteDifference, 0.008);
    EXPECT_LE(std::abs(found.MedianSignedDifference), 0.003);
  }
}

// A baseline clipped at zero leaves half the points between peaks exact zeros and the rest the
// upper half of the noise: the zeros are no samples of it, or the level falls to the clip and
// every bump of noise is a peak. Counts over a baseline of 40 and of 2 (mostly zero after
// clipping), at unit and high resolution.
TEST(PeakPicking, ClippedBaselinesGiveTheirPeaksAndNoNoise) {
  SyntheticSpectrumSettings unit;
  unit.ClipBaseline = true;
  SyntheticSpectrumSettings high = SyntheticSpectrumSettings::HighResolution();
  high.ClipBaseline = true;
  for (const auto& [settings, tolerance] : {std::pair{unit, 0.1}, std::pair{high, 0.02}}) {
    SCOPED_TRACE(testing::Message() << "baseline " << settings.Baseline);
    const WQBL::PeakListAgreement found = PickSynthetic(settings, 5, tolerance).All;
    EXPECT_GE(found.Recall, 0.97);
    EXPECT_GE(found.Precision, 0.95);
    EXPECT_LE(found.FoundPeaks, found.ReferencePeaks * 21 / 20);
  }
}

// A triple quadrupole at unit resolution samples a peak with two or three points at half height,
// writes each count as 333 on a baseline that is nearly all zero, and stores only the points near
// counts: a peak well above the noise may have only one or two points above the level, and is a
// peak when its counts, summed over the apex and its neighbours, rise clear of their noise. The
// zeros, those stored and those left out, are counts: the noise is that of the baseline's counts,
// not of the stored points, which lie mostly on peaks. On a baseline of 0.03 counts a point, and
// of 1 count, where the counts' own noise sets the level.
TEST(PeakPicking, UndersampledPeaksOfFewCountsAreFound) {
  for (const double baseline : {0.03, 1.0}) {
    SCOPED_TRACE(testing::Message() << "baseline " << baseline);
    SyntheticSpectrumSettings settings = SyntheticSpectrumSettings::Undersampled();
    settings.Baseline = baseline;
    std::size_t spectra = 0, highestFound = 0;
    WQBL::PeakListComparison strong(0.06, 0.3);
    WQBL::PeakListComparison all(0.06, 0.3);
    for (std::uint32_t number = 1; number <= 40; ++number) {
      SyntheticSpectrumSettings one = settings;
      one.SpectrumNumber = number;
      const SyntheticSpectrum truth = GenerateSyntheticSpectrum(one);
      std::vector<double> x, height, trueX, trueHeight;
      DetectPeaks(truth, x, height);
      for (const SyntheticPeak& peak : truth.Peaks) {
        trueX.push_back(peak.MZ);
        trueHeight.push_back(peak.Height);
      }
      all.Add(x, height, trueX, trueHeight);
      trueX.clear();
      trueHeight.clear();
      for (const SyntheticPeak& peak : truth.Peaks) {
        if (peak.Height < 15.0 * settings.CountGain) continue;
        trueX.push_back(peak.MZ);
        trueHeight.push_back(peak.Height);
      }
      strong.Add(x, height, trueX, trueHeight);
      const auto highest = std::max_element(
          truth.Peaks.begin(), truth.Peaks.end(),
          [](const SyntheticPeak& a, const SyntheticPeak& b) { return a.Height < b.Height; });
      ++spectra;
      highestFound += std::any_of(
          x.begin(), x.end(), [&](double centre) { return std::abs(centre - highest->MZ) < 0.06; });
    }
    // Reached on 0.03 counts: 40 of 40; of the peaks of 15 counts or more 0.989 at a precision of
    // 0.997 (0.66 when the noise was measured on the stored points); of all, from 5 counts, 0.944
    // at 0.939 (0.369 at 0.994 then; OpenMS's picker 0.738 at 0.801, its low-resolution route 0.688
    // at 0.856). On 1 count: 40, 0.990 at 0.998, and 0.888 at 0.938 (0.887 without the counts'
    // noise).
    EXPECT_GE(highestFound, spectra * 19 / 20);
    EXPECT_GE(strong.Agreement().Recall, 0.95);
    EXPECT_GE(all.Agreement().Recall, 0.85);
    EXPECT_GE(all.Agreement().Precision, 0.9);
    EXPECT_GE(strong.Agreement().PrecisionNarrow, 0.97);
  }
}

// Isotope envelopes of five peaks (60, 100, 80, 45 and 20 counts, scaled over a decade) at a
// resolving power of 20,000, from one every 12 m/z to one every 4.6, where the envelopes all but
// touch and most points of a noise block lie on peaks: the level stays at the noise between them
// (about 1% of the highest peak), and every peak is found, once.
TEST(PeakPicking, DenseIsotopeEnvelopesAreFoundWhole) {
  for (const double spacing : {12.0, 6.0, 4.6}) {
    SCOPED_TRACE(testing::Message() << "an envelope every " << spacing << " m/z");
    SyntheticSpectrumSettings settings = SyntheticSpectrumSettings::HighResolution();
    settings.ClusterSpacing = spacing;
    settings.ClusterHeights = {60.0, 100.0, 80.0, 45.0, 20.0};
    settings.HeightDecades = 1.0;
    const WQBL::PeakListAgreement found = PickSynthetic(settings, 3, 0.02).All;
    EXPECT_GE(found.Recall, 0.99);
    EXPECT_GE(found.Precision, 0.99);
    EXPECT_LE(found.SplitPeaks, found.ReferencePeaks / 200);
    const SyntheticSpectrum truth = GenerateSyntheticSpectrum(settings);
    const std::vector<double> levels =
        WQBL::QDetectionLevels(ProfileOf(truth), WQBL::PeakDetectSettings::DefaultMS());
    EXPECT_LT(*std::max_element(levels.begin(), levels.end()),
              0.03 * *std::max_element(truth.Intensity.begin(), truth.Intensity.end()));
  }
}

// Mean and variance of the points of `spectrum` more than 2 m/z from every peak.
std::pair<double, double> BaselineMoments(const SyntheticSpectrum& spectrum) {
  double sum = 0.0, squares = 0.0, count = 0.0;
  for (std::size_t i = 0; i < spectrum.MZ.size(); ++i) {
    const bool far =
        std::all_of(spectrum.Peaks.begin(), spectrum.Peaks.end(),
                    [&](const auto& peak) { return std::abs(peak.MZ - spectrum.MZ[i]) > 2.0; });
    if (!far) continue;
    sum += spectrum.Intensity[i];
    squares += spectrum.Intensity[i] * spectrum.Intensity[i];
    ++count;
  }
  return {sum / count, squares / count - (sum / count) * (sum / count)};
}

// Far from its peaks, a point is a Poisson count of the baseline: mean and variance alike, for
// small means and large.
TEST(SyntheticSpectrum, SpectrumIsReproducibleWithCountingNoiseAndLonePeaksMidway) {
  SyntheticSpectrumSettings settings;
  settings.ClusterHeights = {1000.0, 500.0};
  settings.LoneHeight = 50.0;
  const SyntheticSpectrum spectrum = GenerateSyntheticSpectrum(settings);
  EXPECT_EQ(GenerateSyntheticSpectrum(settings).Intensity, spectrum.Intensity);
  const auto [mean, variance] = BaselineMoments(spectrum);
  EXPECT_NEAR(mean, 40.0, 0.5);
  EXPECT_NEAR(variance, 40.0, 3.0);
  settings.SpectrumNumber = 2;
  EXPECT_NE(GenerateSyntheticSpectrum(settings).Intensity, spectrum.Intensity);
  settings.Baseline = 2.0;
  const auto [smallMean, smallVariance] = BaselineMoments(GenerateSyntheticSpectrum(settings));
  EXPECT_NEAR(smallMean, 2.0, 0.05);
  EXPECT_NEAR(smallVariance, 2.0, 0.15);
  ASSERT_EQ(spectrum.Peaks.size() % 3, 2u);  // two members a cluster, a lone peak between two
  for (std::size_t i = 2; i + 1 < spectrum.Peaks.size(); i += 3) {
    EXPECT_TRUE(spectrum.Peaks[i].Lone);
    EXPECT_NEAR(spectrum.Peaks[i].MZ, (spectrum.Peaks[i - 1].MZ + spectrum.Peaks[i + 1].MZ) / 2.0,
                1e-9);
  }
  settings.MZStep = 1e-5;
  EXPECT_THAT([&] { GenerateSyntheticSpectrum(settings); },
              ThrowsMessage<DataFileError>(
                  StrEq("Synthetic spectrum settings give more than 10000000 points.")));
}

// A tailing peak keeps its apex at its m/z and falls Tailing times as wide as it rises: where it
// crosses half its true height either side, within two points (peaks of a million counts, whose
// counting noise is 0.1%).
TEST(SyntheticSpectrum, TailingPeaksFallWiderThanTheyRiseFromTheirApex) {
  SyntheticSpectrumSettings settings;
  settings.MZStep = 0.005;
  settings.ClusterHeights = {1e6};
  settings.HeightDecades = 0.0;
  settings.Baseline = 0.0;
  settings.Tailing = 2.5;
  const SyntheticSpectrum spectrum = GenerateSyntheticSpectrum(settings);
  const std::vector<double>& mz = spectrum.MZ;
  const std::vector<double>& y = spectrum.Intensity;
  const double centre = spectrum.Peaks.front().MZ;
  const std::size_t top = std::lower_bound(mz.begin(), mz.end(), centre) - mz.begin();
  const double half = spectrum.Peaks.front().Height / 2.0;
  std::size_t low = top, high = top;
  while (y[low] > half) --low;
  while (y[high] > half) ++high;
  EXPECT_NEAR(centre - mz[low], settings.PeakWidth / 2.0, 0.01);
  EXPECT_NEAR(mz[high] - centre, 2.5 * settings.PeakWidth / 2.0, 0.01);
}

CalDataFile SmallRun(std::uint32_t runNumber) {
  SyntheticRunSettings settings;
  settings.ScanCount = 40;
  settings.HighMZ = 1000.0;
  settings.Calibrants = SyntheticRunSettings::SodiumIodideClusters(100.0, 1000.0, 20000.0);
  settings.RunNumber = runNumber;
  return GenerateSyntheticRun(L"/cal/a.dat", settings);
}

// The same run number gives the same run, another number other noise. The total ion current peaks
// in the middle of the run, and there the peak detector finds every calibrant close to its true
// m/z, and nothing else.
TEST(SyntheticRun, RunIsReproducibleAndItsCalibrantsRiseAndFallAtTheirMasses) {
  const CalDataFile file = SmallRun(7);
  ASSERT_EQ(file.QNumScanSpectra(), 40u);
  EXPECT_EQ(file.QScan(20).Intensity, SmallRun(7).QScan(20).Intensity);
  EXPECT_NE(file.QScan(20).Intensity, SmallRun(8).QScan(20).Intensity);
  EXPECT_EQ(file.QDescription(), L"Synthetic calibration run, 40 scans, run 7");
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

// The peaks of the total ion current of the run that `settings` make.
std::vector<WQBL::Peak> ChromatogramPeaks(const SyntheticRunSettings& settings) {
  WQBL::ICObj tic = GenerateSyntheticRun(L"/cal/a.dat", settings).GenerateTIC();
  WQBL::Changed changed;
  std::wstring message;
  EXPECT_TRUE(WQBL::ExecutePeakDetect(tic, changed, message));
  return tic.QPeaks();
}

// A run of m/z 100 to 300 over `scans` scans with `humps` humps.
SyntheticRunSettings HumpedRun(std::uint32_t scans, std::uint32_t humps) {
  SyntheticRunSettings settings;
  settings.ScanCount = scans;
  settings.HighMZ = 300.0;
  settings.Calibrants = SyntheticRunSettings::SodiumIodideClusters(100.0, 300.0, 20000.0);
  settings.Humps = humps;
  return settings;
}

// The total ion current of a run rises and falls with its calibrants over hundreds to thousands
// of scans: each hump is one peak, found at its apex, however many scans it spans. (Measured in
// blocks of a fixed number of points, a block within one hump took its flanks for the baseline:
// 600 scans gave two peaks on the flanks, 2,000 none.)
TEST(SyntheticRun, EachHumpOfTheTotalIonCurrentIsOnePeakAtItsApex) {
  for (const std::uint32_t scans : {200u, 600u, 1000u, 3000u, 5000u}) {
    for (const std::uint32_t humps : {1u, 3u}) {
      SCOPED_TRACE(testing::Message() << scans << " scans, " << humps << " humps");
      const std::vector<WQBL::Peak> peaks = ChromatogramPeaks(HumpedRun(scans, humps));
      ASSERT_THAT(peaks, SizeIs(humps));
      const double sigma = scans / (8.0 * humps);
      for (std::uint32_t hump = 0; hump < humps; ++hump) {
        EXPECT_NEAR(peaks[hump].ApexIndex, SyntheticRunSettings::HumpApex(scans, humps, hump),
                    0.1 * sigma);
      }
    }
  }
}

// One monitored ion (a run of one m/z) rising over a baseline of 50 counts, whose counting noise
// makes bumps on the baseline and on the hump: the hump is one peak at its apex (within 0.14 of
// its deviation in 30 runs of each), of 100 counts over 200 scans as of 1,000 counts over 5,000.
// (A level of five deviations above the baseline took, over thousands of scans, the highest bumps
// of the noise for peaks: 28 of 30 runs of 100 counts over 5,000 scans gave 371 peaks.)
TEST(SyntheticRun, AHumpOnANoisyBaselineIsOnePeakAtItsApex) {
  for (const std::uint32_t scans : {200u, 1000u, 5000u}) {
    for (const double height : {100.0, 1000.0}) {
      for (const std::uint32_t run : {1u, 2u, 3u}) {
        SCOPED_TRACE(testing::Message() << scans << " scans, " << height << " counts, run " << run);
        SyntheticRunSettings settings;
        settings.ScanCount = scans;
        settings.LowMZ = settings.HighMZ = 500.0;
        settings.Calibrants = {{500.0, height}};
        settings.Baseline = 50.0;
        settings.ProfileFloor = 0.0;
        settings.RunNumber = run;
        const std::vector<WQBL::Peak> peaks = ChromatogramPeaks(settings);
        ASSERT_THAT(peaks, SizeIs(1));
        EXPECT_NEAR(peaks[0].ApexIndex, SyntheticRunSettings::HumpApex(scans, 1, 0),
                    0.25 * scans / 8.0);
      }
    }
  }
}

// An elution that saturates the detector holds a flat top, here of 1,000 of 3,000 scans: it is
// one peak, centred in the middle of its top (within 4 scans in 10 runs). (Measured on blocks in
// which the plateau was most of the points, its top was the baseline: no peak.)
TEST(SyntheticRun, APlateauIsOnePeakInItsMiddle) {
  SyntheticRunSettings settings = HumpedRun(3000, 1);
  settings.PlateauScans = 1000;
  const std::vector<WQBL::Peak> peaks = ChromatogramPeaks(settings);
  ASSERT_THAT(peaks, SizeIs(1));
  EXPECT_NEAR(peaks[0].CentroidIndex, SyntheticRunSettings::HumpApex(3000, 1, 0), 15.0);
  EXPECT_LT(peaks[0].StartIndex, 1000u);
  EXPECT_GT(peaks[0].EndIndex, 2000u);
}

// The run that `settings` make with its scans alternating between two kinds of scan, as a triple
// quadrupole that alternates two experiments records them: every other scan, of a definition of
// its own, has ten times the counts. The first two scans are of a third kind, too short a
// chromatogram for a peak.
CalDataFile AlternatingRun(const SyntheticRunSettings& settings) {
  const CalDataFile made = GenerateSyntheticRun(L"/cal/a.dat", settings);
  CalDataFile run(L"/cal/b.dat", made.QDescription(), made.QCreateTime(), made.QMethod());
  run.AddTuneRun(made.QTuneRun(0));
  for (std::uint32_t i = 0; i < made.QNumScanSpectra(); ++i) {
    Scan scan = made.QScan(i);
    scan.Definition.Configuration = i < 2 ? "9" : i % 2 ? "3" : "2";
    if (i % 2) {
      for (double& intensity : scan.Intensity) intensity *= 10.0;
    }
    run.AddScan(std::move(scan));
  }
  return run;
}

// A total ion current that jumps tenfold from scan to scan holds a chromatogram per kind of scan:
// the hump is found in each, at its apex, and a peak averages the scans of its own kind alone.
// The first two scans, of a kind of their own, hold none. (Measured in 3 runs each of 200 to
// 5,000 scans: on the curve of all the scans, no peak in any; per kind, both apexes within 0.03 of
// the hump's deviation.)
TEST(SyntheticRun, EachKindOfScanOfAnAlternatingRunHasTheHumpAtItsApex) {
  for (const std::uint32_t scans : {200u, 1000u, 3000u}) {
    SCOPED_TRACE(testing::Message() << scans << " scans");
    WQBL::ICObj tic = AlternatingRun(HumpedRun(scans, 1)).GenerateTIC();
    WQBL::Changed changed;
    std::wstring message;
    ASSERT_TRUE(WQBL::ExecutePeakDetect(tic, changed, message));
    ASSERT_THAT(tic.QPeaks(), SizeIs(2));
    for (std::int32_t p = 0; p < 2; ++p) {
      const WQBL::Peak& peak = tic.QPeaks()[p];
      EXPECT_NEAR(peak.CentroidIndex, SyntheticRunSettings::HumpApex(scans, 1, 0), 0.1 * scans / 8);
      const std::vector<std::uint32_t> under = WQBL::QSpectrumUnderPeak(tic, p, WQBL::PeakScans);
      EXPECT_GT(under.size(), scans / 8);
      for (const std::uint32_t scan : under) {
        ASSERT_EQ(scan % 2, tic.QScanNumber(peak.ApexIndex) % 2);
        ASSERT_GT(scan, 2u);
      }
    }
    EXPECT_NE(tic.QScanKind(tic.QPeaks()[0].ApexIndex), tic.QScanKind(tic.QPeaks()[1].ApexIndex));
  }
}

TEST(SyntheticRun, SettingsThatAreNotFiniteOrOutOfRangeAreRefusedNamingThem) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double infinity = std::numeric_limits<double>::infinity();
  const std::pair<std::function<void(SyntheticRunSettings&)>, std::string> cases[] = {
      {[&](auto& s) { s.HighMZ = nan; }, "HighMZ is not a finite number."},
      {[&](auto& s) { s.Baseline = -infinity; }, "Baseline is not a finite number."},
      {[&](auto& s) { s.Calibrants.back().Height = nan; },
       "Calibrants holds a number that is not finite."},
      {[&](auto& s) { s.ProfileFloor = 1.5; }, "ProfileFloor is not between 0 and 1."}};
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
