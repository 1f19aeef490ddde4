#include <WQBL/PeakProcessing.h>
#include <gmock/gmock.h>

#include <algorithm>
#include <cmath>
#include <string>

namespace WQBL {
namespace {

using ::testing::DoubleNear;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Pointwise;
using ::testing::SizeIs;
using ::testing::ThrowsMessage;

struct Gaussian {
  double Centre;
  double Sigma;
  double Height;
};

// Points from `first` in steps of `step`: a flat baseline with a small deterministic ripple, and
// the given peaks on top.
Spectrum SpectrumOf(double first, double step, std::size_t points, double baseline,
                    const std::vector<Gaussian>& peaks) {
  std::vector<double> x;
  std::vector<double> y;
  for (std::size_t i = 0; i < points; ++i) {
    x.push_back(first + step * static_cast<double>(i));
    double value = baseline + (i % 2 == 0 ? 2.0 : -2.0) + (i % 3 == 0 ? 1.0 : 0.0);
    for (const Gaussian& peak : peaks) {
      const double z = (x.back() - peak.Centre) / peak.Sigma;
      value += peak.Height * std::exp(-z * z / 2.0);
    }
    y.push_back(value);
  }
  Spectrum spectrum;
  spectrum.AssignXAxis(std::move(x));
  spectrum.AssignYValues(std::move(y));
  return spectrum;
}

std::vector<double> CentroidsOf(const Curve& curve) {
  std::vector<double> centroids;
  for (const Peak& peak : curve.QPeaks()) {
    centroids.push_back(curve.FractionalIndexToXAxisVal(peak.CentroidIndex));
  }
  return centroids;
}

// The message of a smoothing that fails, or an empty text for one that succeeds.
std::wstring SmoothingFailure(Curve& curve, std::uint32_t window, std::uint32_t order) {
  SmoothParams params;
  params.WindowWidth = window;
  params.PolynomialOrder = order;
  Changed changed;
  std::wstring message;
  const bool smoothed = ExecuteSmooth(curve, changed, message, params);
  EXPECT_EQ(changed.YValues, smoothed);
  EXPECT_EQ(message.empty(), smoothed);
  return message;
}

void Detect(Curve& curve, const PeakDetectSettings& settings = PeakDetectSettings::DefaultMS()) {
  Changed changed;
  std::wstring message;
  ASSERT_TRUE(ExecutePeakDetect(curve, changed, message, settings));
  EXPECT_TRUE(changed.Peaks);
}

TEST(Smoothing, PolynomialOfTheFilterOrderIsKeptUpToBothEndsAndAlternatingNoiseDamped) {
  std::vector<double> cubic;
  std::vector<double> noisy;
  for (int i = 0; i < 20; ++i) {
    cubic.push_back(0.5 * i * i * i - 4.0 * i * i + 3.0 * i - 7.0);
    noisy.push_back(100.0 + (i % 2 == 0 ? 1.0 : -1.0));
  }
  Curve curve;
  curve.AssignYValues(cubic);
  ASSERT_EQ(SmoothingFailure(curve, 7, 3), L"");
  EXPECT_THAT(curve.QYValues(), Pointwise(DoubleNear(1e-9), cubic));
  curve.AssignYValues(noisy);
  ASSERT_EQ(SmoothingFailure(curve, 5, 2), L"");
  for (std::size_t i = 2; i + 2 < noisy.size(); ++i) EXPECT_NEAR(curve.QYValues()[i], 100.0, 0.4);
}

// Noise is measured on the values as assigned: smoothing, even twice, keeps them; assigning new
// values replaces them. A smoothing refused leaves the curve as it was.
TEST(Smoothing, ValuesAsAssignedAreKeptAndARefusedSmoothingChangesNothing) {
  Curve curve;
  const std::vector<double> measured = {1, 5, 2, 8, 3, 9, 4, 6};
  curve.AssignYValues(measured);
  const std::wstring invalidWindow =
      L"Smoothing needs an odd window of at least 3 points and a polynomial order below it.";
  EXPECT_EQ(SmoothingFailure(curve, 4, 2), invalidWindow);
  EXPECT_EQ(SmoothingFailure(curve, 5, 5), invalidWindow);
  EXPECT_EQ(SmoothingFailure(curve, 9, 2),
            L"The curve has fewer points than the smoothing window.");
  EXPECT_EQ(curve.QYValues(), measured);
  ASSERT_EQ(SmoothingFailure(curve, 5, 2), L"");
  ASSERT_EQ(SmoothingFailure(curve, 3, 1), L"");
  EXPECT_NE(curve.QYValues(), measured);
  EXPECT_EQ(curve.QUnsmoothedYValues(), measured);
  curve.AssignYValues({7, 7, 7, 7, 7, 7, 7});
  EXPECT_EQ(curve.QUnsmoothedYValues(), curve.QYValues());
}

TEST(PeakDetection, GaussianPeakGivesItsCentreHeightAndArea) {
  const Gaussian truth{50.03, 0.3, 1000.0};
  Spectrum spectrum = SpectrumOf(45.0, 0.1, 100, 100.0, {truth});
  Detect(spectrum);
  ASSERT_THAT(spectrum.QPeaks(), SizeIs(1));
  const Peak& peak = spectrum.QPeaks()[0];
  EXPECT_NEAR(spectrum.FractionalIndexToXAxisVal(peak.CentroidIndex), truth.Centre, 0.01);
  EXPECT_EQ(peak.ApexIndex, 50u);
  EXPECT_EQ(peak.Amplitude, spectrum.QYValues()[peak.ApexIndex]);
  EXPECT_NEAR(peak.CentroidAmplitude, 1100.0, 15.0);
  EXPECT_NEAR(peak.Area, truth.Height * truth.Sigma * std::sqrt(2.0 * std::acos(-1.0)), 10.0);
}

TEST(PeakDetection, PeaksAreSplitAtDeepValleysButNotAtRipples) {
  Spectrum pair = SpectrumOf(0.0, 0.05, 400, 50.0, {{10.0, 0.25, 800.0}, {11.2, 0.25, 400.0}});
  Detect(pair);
  ASSERT_THAT(pair.QPeaks(), SizeIs(2));
  EXPECT_EQ(pair.QPeaks()[0].EndIndex, pair.QPeaks()[1].StartIndex);
  EXPECT_THAT(CentroidsOf(pair), ElementsAre(DoubleNear(10.0, 0.03), DoubleNear(11.2, 0.03)));
  // The ripple of the baseline rides on this broad peak too.
  Spectrum broad = SpectrumOf(0.0, 0.05, 400, 50.0, {{10.0, 1.0, 800.0}});
  Detect(broad);
  EXPECT_THAT(broad.QPeaks(), SizeIs(1));
}

// Only the spectrum defaults switch the threshold on.
TEST(PeakDetection, PeaksNarrowerThanTheMinimumWidthOrBelowASwitchedOnThresholdAreDropped) {
  Spectrum narrow = SpectrumOf(0.0, 1.0, 300, 100.0, {{150.0, 0.1, 900.0}});
  PeakDetectSettings settings = PeakDetectSettings::DefaultMS();
  Detect(narrow, settings);
  EXPECT_THAT(narrow.QPeaks(), IsEmpty());
  settings.Detect.MinPeakWidth = 1;
  Detect(narrow, settings);
  EXPECT_THAT(narrow.QPeaks(), SizeIs(1));
  Spectrum spectrum = SpectrumOf(0.0, 0.1, 300, 100.0, {{10.0, 0.3, 500.0}, {20.0, 0.3, 2000.0}});
  settings = PeakDetectSettings::DefaultMS();
  settings.Threshold.Level = 1000.0;
  Detect(spectrum, settings);
  EXPECT_THAT(CentroidsOf(spectrum), ElementsAre(DoubleNear(20.0, 0.01)));
  settings.Detect.UseThreshold = false;
  Detect(spectrum, settings);
  EXPECT_THAT(spectrum.QPeaks(), SizeIs(2));
  EXPECT_FALSE(PeakDetectParams::DefaultIC().UseThreshold);
  EXPECT_FALSE(PeakDetectParams().UseThreshold);
}

// Exact zeros are no samples of the noise: a block of them has baseline 0, and its level comes
// from what one count is (the smallest step of the values, 2 here: noise 1, level 5). A lone
// point of three counts is no peak, nor one of three beside one (their sum lies under the margin
// of a sum of three, 8.7); one of 3, 7, 9, 6, 2 is, centred by hand: smoothed 1-2-1 its top is
// 6.5, 7.75, 5.75 between 3.25 and 2.5; the level at 80% of 7.75 is 6.2, crossed by lines at
// 10.908 and 12.775, and the area above it has its centroid at 11.859.
TEST(PeakDetection, ExactZerosHoldOnlyPeaksAboveACountCentredOnTheirSmoothedTop) {
  std::vector<double> x(1200);
  for (std::size_t i = 0; i < x.size(); ++i) x[i] = static_cast<double>(i);
  std::vector<double> y(1200, 0.0);
  y[12] = 6.0;
  y[100] = 2.0;
  y[101] = 6.0;
  Spectrum spectrum;
  spectrum.AssignXAxis(x);
  spectrum.AssignYValues(y);
  Detect(spectrum);
  EXPECT_THAT(spectrum.QPeaks(), IsEmpty());
  const double peak[] = {3.0, 7.0, 9.0, 6.0, 2.0};
  std::copy(std::begin(peak), std::end(peak), y.begin() + 10);
  spectrum.AssignYValues(y);
  Detect(spectrum);
  ASSERT_THAT(spectrum.QPeaks(), SizeIs(1));
  EXPECT_EQ(spectrum.QPeaks()[0].ApexIndex, 12u);
  EXPECT_NEAR(spectrum.QPeaks()[0].CentroidIndex, 11.85875, 1e-5);
}

// A file of zero-suppressed analog intensities in whole units keeps only the points above its
// threshold, each run of them between zeros, as a file of counts does: but a value of one unit is
// rare in it, where single ions are common in counts, and its zeros are no counts. Its noise is
// that of the stored noise, and its runs of noise are no peaks.
TEST(PeakDetection, ZeroSuppressedWholeUnitsAreNoCounts) {
  std::vector<double> x;
  std::vector<double> y;
  const std::vector<std::size_t> peaks{20, 50, 80};
  for (std::size_t run = 0; run < 100; ++run) {
    const bool peak = std::find(peaks.begin(), peaks.end(), run) != peaks.end();
    for (std::size_t k = 0; k < 5; ++k) {
      x.push_back(100.0 + 0.5 * static_cast<double>(run) + 0.01 * static_cast<double>(k));
      const double noise = 300.0 + static_cast<double>(run * 37 % 200 + k);
      y.push_back(k == 0 || k == 4 ? 0.0 : peak ? 20000.0 - (k == 2 ? 0.0 : 12000.0) : noise);
    }
  }
  Spectrum spectrum;
  spectrum.AssignXAxis(x);
  spectrum.AssignYValues(y);
  Detect(spectrum);
  EXPECT_THAT(CentroidsOf(spectrum), Pointwise(DoubleNear(1e-9), {110.02, 125.02, 140.02}));
}

// Profile peaks span several points at half height, centroids one; the noise of a profile has
// maxima of one point too, which the strongest maxima outweigh.
TEST(SpectrumMode, CentroidsAreToldFromProfilesByTheWidthOfTheirStrongestMaxima) {
  const Spectrum profile =
      SpectrumOf(0.0, 0.1, 300, 100.0, {{10.0, 0.3, 500.0}, {20.0, 0.3, 2000.0}});
  EXPECT_FALSE(LooksCentroided(profile.QXAxis(), profile.QYValues()));
  EXPECT_TRUE(LooksCentroided({1, 2, 3, 4, 5, 6, 7}, {10, 300, 40, 900, 850, 5, 120}));
  EXPECT_TRUE(LooksCentroided({100}, {40}));
  EXPECT_FALSE(LooksCentroided({}, {}));
  EXPECT_FALSE(LooksCentroided({1, 2, 3}, {0, 0, 0}));
  // Isotope patterns three points wide at half height, among centroids far apart.
  const std::vector<double> x = {100, 101, 102, 103, 104, 150, 170, 230, 300, 301, 302, 400};
  const std::vector<double> y = {600, 1500, 1300, 1000, 200, 80, 50, 70, 900, 800, 600, 60};
  EXPECT_TRUE(LooksCentroided(x, y));
  std::vector<double> regular(x.size());
  for (std::size_t i = 0; i < x.size(); ++i) regular[i] = 100.0 + 0.1 * static_cast<double>(i);
  EXPECT_FALSE(LooksCentroided(regular, y));
}

TEST(PeakDetection, CurveWithoutBothAxesIsNotSearched) {
  Curve curve;
  curve.AssignYValues({1, 2, 30, 2, 1});
  Changed changed;
  std::wstring message;
  EXPECT_FALSE(ExecutePeakDetect(curve, changed, message, PeakDetectSettings::DefaultMS()));
  EXPECT_EQ(message, L"The curve needs an x axis and y values for peak detection.");
  EXPECT_FALSE(changed.Peaks);
  EXPECT_FALSE(curve.CheckAllStatus(Curve::PeaksDetected));
}

TEST(SpectrumUnderPeak, UnknownPeakOrSelectionIsRefused) {
  ICObj chromatogram;
  chromatogram.AssignXAxis({0, 1, 2, 3, 4, 5});
  chromatogram.AssignYValues({0, 1, 5, 9, 4, 0});
  chromatogram.AssignPeaks({Peak{1, 3, 4}});
  EXPECT_THAT([&] { QSpectrumUnderPeak(chromatogram, 1, ApexScan); },
              ThrowsMessage<std::runtime_error>("The chromatogram has no peak 1."));
  EXPECT_THAT([&] { QSpectrumUnderPeak(chromatogram, 0, 2); },
              ThrowsMessage<std::runtime_error>("Unknown peak scan selection 2."));
}

// A chromatogram's kinds of scan name the kind of every point: kinds for fewer points are refused
// by the peak detection, and by the scans under a peak that reaches past them.
TEST(SpectrumUnderPeak, KindsOfScanForFewerPointsAreRefused) {
  ICObj chromatogram;
  chromatogram.AssignXAxis({0, 1, 2, 3, 4, 5});
  chromatogram.AssignYValues({0, 1, 5, 9, 4, 0});
  chromatogram.AssignScanNumbers({1, 2, 3, 4, 5, 6});
  chromatogram.AssignScanKinds({0, 1, 0, 1});
  Changed changed;
  std::wstring message;
  EXPECT_THAT(
      [&] { ExecutePeakDetect(chromatogram, changed, message); },
      ThrowsMessage<std::runtime_error>("The chromatogram has 4 kinds of scan for 6 points."));
  chromatogram.AssignPeaks({Peak{1, 3, 4}});
  EXPECT_THAT([&] { QSpectrumUnderPeak(chromatogram, 0, PeakScans); },
              ThrowsMessage<std::runtime_error>("Chromatogram point 4 has no kind of scan."));
}

}  // namespace
}  // namespace WQBL
