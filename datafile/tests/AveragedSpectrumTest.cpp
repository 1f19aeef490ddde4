#include <WQDataFile/DataFile.h>
#include <gmock/gmock.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace WQDataFile {
namespace {

using ::testing::DoubleNear;
using ::testing::Each;
using ::testing::ElementsAreArray;
using ::testing::SizeIs;

constexpr double kStep = 0.1;

// The `count` points of a grid of kStep from `low`.
std::vector<double> Stretch(double low, int count) {
  std::vector<double> mz;
  for (int i = 0; i < count; ++i) mz.push_back(low + kStep * i);
  return mz;
}

// A profile scan numbered `number` over the points `mz`: a triangle of `height` at its middle.
Scan PeakScan(std::uint32_t number, const std::vector<double>& mz, double height) {
  Scan scan{number, 1.0, 0, mz, {}};
  const double middle = (mz.front() + mz.back()) / 2.0;
  const double half = (mz.back() - mz.front()) / 2.0;
  for (double point : mz)
    scan.Intensity.push_back(height * (1.0 - std::abs(point - middle) / half));
  return scan;
}

CalDataFile EmptyFile() {
  CalDataFile file(L"/cal/averaged.dat", L"", 0, WQBL::Method());
  file.AddTuneRun(TuneRun{0});
  return file;
}

// The averaged intensity at the point of `spectrum` nearest to `mz`.
double At(const WQBL::Spectrum& spectrum, double mz) {
  const std::vector<double>& axis = spectrum.QXAxis();
  const auto nearest = std::min_element(axis.begin(), axis.end(), [mz](double a, double b) {
    return std::abs(a - mz) < std::abs(b - mz);
  });
  return spectrum.QYValues()[static_cast<std::size_t>(nearest - axis.begin())];
}

// Scans written only over the stretches they hold signal in: every stretch joins the axis, in
// whichever order the scans come, and each peak is the mean over both scans. A scan whose axis
// drifts by a fifth of a step, beyond the first one's ends too, joins no points.
TEST(AveragedSpectrum, ScansOverDisjointStretchesAverageToEveryPeakAtItsMean) {
  CalDataFile file = EmptyFile();
  file.AddScan(PeakScan(1, Stretch(100.0, 11), 100.0));
  file.AddScan(PeakScan(2, Stretch(105.0, 11), 60.0));
  std::vector<double> drifted = Stretch(100.02, 11);
  file.AddScan(PeakScan(3, drifted, 100.0));
  for (const auto& order : {std::vector<std::uint32_t>{1, 2}, {2, 1}}) {
    const auto spectrum = file.GenerateAveragedSpectrum(order, {});
    EXPECT_THAT(spectrum->QXAxis(), SizeIs(22u));
    EXPECT_NEAR(At(*spectrum, 100.5), 50.0, 1e-9);
    EXPECT_NEAR(At(*spectrum, 105.5), 30.0, 1e-9);
  }
  EXPECT_THAT(file.GenerateAveragedSpectrum({1, 3}, {})->QXAxis(),
              ElementsAreArray(Stretch(100.0, 11)));
}

// Between its stretches a scan adds nothing: over the first scan's level of 10 the gap of the
// second averages to 5, not to the 15 of its stretches drawn across it.
TEST(AveragedSpectrum, GapBetweenStretchesOfAScanInventsNoIntensity) {
  CalDataFile file = EmptyFile();
  const std::vector<double> full = Stretch(100.0, 21);
  file.AddScan({1, 1.0, 0, full, std::vector<double>(full.size(), 10.0)});
  std::vector<double> stretches(full.begin(), full.begin() + 6);
  stretches.insert(stretches.end(), full.begin() + 15, full.end());
  file.AddScan({2, 2.0, 0, stretches, std::vector<double>(stretches.size(), 20.0)});
  const auto spectrum = file.GenerateAveragedSpectrum({1, 2}, {});
  ASSERT_EQ(spectrum->QXAxis(), full);
  const std::vector<double>& mean = spectrum->QYValues();
  EXPECT_THAT(std::vector<double>(mean.begin(), mean.begin() + 6), Each(DoubleNear(15.0, 1e-9)));
  EXPECT_THAT(std::vector<double>(mean.begin() + 6, mean.begin() + 15),
              Each(DoubleNear(5.0, 1e-9)));
  EXPECT_THAT(std::vector<double>(mean.begin() + 15, mean.end()), Each(DoubleNear(15.0, 1e-9)));
}

}  // namespace
}  // namespace WQDataFile
