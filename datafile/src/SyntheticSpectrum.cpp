#include <WQDataFile/DataFile.h>
#include <WQDataFile/SyntheticSpectrum.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "Random.h"

namespace WQDataFile {

namespace {

constexpr double kIsotopeSpacing = 1.0033548;  // the mass difference of carbon-13 and carbon-12
constexpr double kWidthInSigmas = 2.3548200450309493;  // 2·sqrt(2·ln 2)
constexpr double kPeakReach = 6.0;  // standard deviations within which a peak adds counts
constexpr double kShift = 0.25;     // the largest shift of a cluster from its regular place
constexpr std::size_t kMaxPoints = 10'000'000;

void CheckSettings(const SyntheticSpectrumSettings& s) {
  double sum = s.LowMZ + s.HighMZ + s.MZStep + s.PeakWidth + s.ClusterSpacing + s.HeightDecades +
               s.LoneHeight + s.Baseline + s.CountGain + s.Tailing;
  for (double height : s.ClusterHeights) sum += height;
  if (!std::isfinite(sum)) {
    throw DataFileError("Synthetic spectrum settings hold a number that is not finite.");
  }
  if (!(s.LowMZ > 0.0 && s.HighMZ > s.LowMZ && s.MZStep > 0.0 && s.PeakWidth > 0.0 &&
        s.ClusterSpacing > 0.0 && !s.ClusterHeights.empty() && s.CountGain > 0.0 &&
        s.Tailing >= 1.0)) {
    throw DataFileError(
        "Synthetic spectrum settings need 0 < LowMZ < HighMZ, a positive step, width, cluster "
        "spacing and count gain, cluster heights, and a tailing of at least 1.");
  }
}

// The factor by which the step and the width at `mz` exceed those at LowMZ.
double Scale(const SyntheticSpectrumSettings& s, double mz) {
  return s.ConstantResolvingPower ? mz / s.LowMZ : 1.0;
}

std::vector<double> Axis(const SyntheticSpectrumSettings& s) {
  // At a constant resolving power the points lie in a geometric progression.
  const double ratio = 1.0 + s.MZStep / s.LowMZ;
  const double count = s.ConstantResolvingPower ? std::log(s.HighMZ / s.LowMZ) / std::log(ratio)
                                                : (s.HighMZ - s.LowMZ) / s.MZStep;
  if (!(count < static_cast<double>(kMaxPoints))) {
    throw DataFileError("Synthetic spectrum settings give more than " + std::to_string(kMaxPoints) +
                        " points.");
  }
  std::vector<double> axis(static_cast<std::size_t>(count + 1e-9) + 1);
  for (std::size_t i = 0; i < axis.size(); ++i) {
    axis[i] = s.ConstantResolvingPower ? s.LowMZ * std::pow(ratio, static_cast<double>(i))
                                       : s.LowMZ + s.MZStep * static_cast<double>(i);
  }
  return axis;
}

std::vector<SyntheticPeak> Peaks(const SyntheticSpectrumSettings& s, detail::RandomSource& random) {
  const double span = kIsotopeSpacing * static_cast<double>(s.ClusterHeights.size() - 1);
  std::vector<SyntheticPeak> peaks;
  double previousEnd = 0.0;
  for (double place = s.LowMZ + s.ClusterSpacing / 2.0;; place += s.ClusterSpacing) {
    const double start = place + kShift * (2.0 * random.Uniform() - 1.0);
    const double scale = std::pow(10.0, s.HeightDecades * random.Uniform());
    if (start + span + kPeakReach * s.PeakWidth * Scale(s, start + span) > s.HighMZ) break;
    if (s.LoneHeight > 0.0 && !peaks.empty()) {
      peaks.push_back({(previousEnd + start) / 2.0, s.LoneHeight, true});
    }
    for (std::size_t member = 0; member < s.ClusterHeights.size(); ++member) {
      peaks.push_back({start + kIsotopeSpacing * static_cast<double>(member),
                       scale * s.ClusterHeights[member], false});
    }
    previousEnd = start + span;
  }
  if (peaks.empty()) throw DataFileError("Synthetic spectrum settings leave no room for a peak.");
  return peaks;
}

// Leaves out the zeros that have a zero on both sides.
void OmitZeroRuns(SyntheticSpectrum& spectrum) {
  std::vector<double>& y = spectrum.Intensity;
  std::size_t kept = 0;
  for (std::size_t i = 0; i < y.size(); ++i) {
    const bool inner =
        y[i] == 0.0 && i > 0 && i + 1 < y.size() && y[i - 1] == 0.0 && y[i + 1] == 0.0;
    if (inner) continue;
    spectrum.MZ[kept] = spectrum.MZ[i];
    y[kept++] = y[i];
  }
  spectrum.MZ.resize(kept);
  y.resize(kept);
}

}  // namespace

SyntheticSpectrumSettings::SyntheticSpectrumSettings()
    : LowMZ(100.0),
      HighMZ(1000.0),
      MZStep(0.05),
      PeakWidth(0.6),
      ConstantResolvingPower(false),
      ClusterSpacing(10.0),
      ClusterHeights{100.0},
      HeightDecades(3.0),
      LoneHeight(0.0),
      Baseline(40.0),
      ClipBaseline(false),
      CountGain(1.0),
      OmitZeroRuns(false),
      Tailing(1.0),
      SpectrumNumber(1) {}

SyntheticSpectrumSettings SyntheticSpectrumSettings::HighResolution() {
  SyntheticSpectrumSettings high;
  high.LowMZ = 200.0;
  high.HighMZ = 2000.0;
  high.PeakWidth = 0.01;
  high.MZStep = 0.0015;
  high.ConstantResolvingPower = true;
  high.ClusterSpacing = 15.0;
  high.ClusterHeights = {100.0, 60.0, 25.0};
  high.Baseline = 2.0;
  return high;
}

SyntheticSpectrumSettings SyntheticSpectrumSettings::Undersampled() {
  SyntheticSpectrumSettings unit;
  unit.LowMZ = 50.0;
  unit.HighMZ = 500.0;
  unit.MZStep = 0.12;
  unit.PeakWidth = 0.3;
  unit.ClusterSpacing = 3.0;
  unit.ClusterHeights = {5.0};
  unit.HeightDecades = 1.0;
  unit.Baseline = 0.03;
  unit.CountGain = 333.0;
  unit.OmitZeroRuns = true;
  return unit;
}

SyntheticSpectrum GenerateSyntheticSpectrum(const SyntheticSpectrumSettings& settings) {
  CheckSettings(settings);
  SyntheticSpectrum spectrum;
  spectrum.MZ = Axis(settings);
  detail::RandomSource random(settings.SpectrumNumber);
  spectrum.Peaks = Peaks(settings, random);
  std::vector<double> expected(spectrum.MZ.size(), settings.Baseline);
  const auto& axis = spectrum.MZ;
  for (const SyntheticPeak& peak : spectrum.Peaks) {
    const double sigma = settings.PeakWidth * Scale(settings, peak.MZ) / kWidthInSigmas;
    const auto first = std::lower_bound(axis.begin(), axis.end(), peak.MZ - kPeakReach * sigma);
    const double tail = sigma * settings.Tailing;
    const auto last = std::upper_bound(first, axis.end(), peak.MZ + kPeakReach * tail);
    for (auto mz = first; mz != last; ++mz) {
      const double z = (*mz - peak.MZ) / (*mz < peak.MZ ? sigma : tail);
      expected[mz - axis.begin()] += peak.Height * std::exp(-z * z / 2.0);
    }
  }
  for (SyntheticPeak& peak : spectrum.Peaks) peak.Height *= settings.CountGain;
  spectrum.Intensity.reserve(expected.size());
  const double offset = settings.ClipBaseline ? settings.Baseline : 0.0;
  for (double mean : expected) {
    spectrum.Intensity.push_back(settings.CountGain * std::max(random.Poisson(mean) - offset, 0.0));
  }
  if (settings.OmitZeroRuns) OmitZeroRuns(spectrum);
  return spectrum;
}

}  // namespace WQDataFile
