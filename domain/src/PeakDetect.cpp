#include <WQBL/PeakProcessing.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numeric>
#include <utility>
#include <vector>

namespace WQBL {

namespace {

// The scales that make the median, and the mean, absolute difference between neighbouring points
// estimate the standard deviation of normally distributed noise: the difference of two such
// values has sqrt(2) times their deviation.
constexpr double kMedianDifferenceScale = 1.4826 / 1.4142135623730951;
constexpr double kMeanDifferenceScale = 1.2533 / 1.4142135623730951;

struct NoiseLevel {
  double Baseline = 0.0;
  double Noise = 0.0;
};

double Median(std::vector<double> values) {
  const auto middle = values.begin() + values.size() / 2;
  std::nth_element(values.begin(), middle, values.end());
  if (values.size() % 2 == 1) return *middle;
  return (*middle + *std::max_element(values.begin(), middle)) / 2.0;
}

// Baseline and noise of the values first to last (exclusive). The baseline is their median. The
// noise comes from the differences between neighbours, which the slow rise and fall of a peak
// hardly changes; where most neighbours are equal (sparse counts), from their mean instead.
NoiseLevel MeasureBlock(std::vector<double>::const_iterator first,
                        std::vector<double>::const_iterator last) {
  NoiseLevel level;
  level.Baseline = Median(std::vector<double>(first, last));
  std::vector<double> differences;
  for (auto value = first; value + 1 < last; ++value) {
    differences.push_back(std::fabs(value[1] - value[0]));
  }
  if (differences.empty()) return level;
  level.Noise = kMedianDifferenceScale * Median(differences);
  if (level.Noise == 0.0) {
    level.Noise = kMeanDifferenceScale *
                  std::accumulate(differences.begin(), differences.end(), 0.0) /
                  static_cast<double>(differences.size());
  }
  return level;
}

// The noise level at each point: that of its block of `window` points (the whole curve for 0). A
// last block shorter than half a window joins the one before it.
std::vector<NoiseLevel> MeasureNoise(const std::vector<double>& y, std::uint32_t window) {
  const std::size_t n = y.size();
  const std::size_t width = window == 0 ? n : window;
  std::vector<NoiseLevel> levels;
  levels.reserve(n);
  for (std::size_t first = 0; first < n;) {
    std::size_t last = std::min(n, first + width);
    if (n - last < (width + 1) / 2) last = n;
    levels.insert(levels.end(), last - first, MeasureBlock(y.begin() + first, y.begin() + last));
    first = last;
  }
  return levels;
}

class PeakFinder {
 public:
  PeakFinder(const Curve& curve, const PeakDetectSettings& settings)
      : curve_(curve),
        x_(curve.QXAxis()),
        y_(curve.QYValues()),
        settings_(settings),
        levels_(MeasureNoise(y_, settings.Noise.WindowWidth)) {}

  std::vector<Peak> Find() {
    const std::size_t n = y_.size();
    std::size_t floor = 0;
    for (std::size_t i = 0; i < n; ++i) {
      if (!Detected(i)) continue;
      std::size_t first = i;
      std::size_t last = i;
      while (last + 1 < n && Detected(last + 1)) ++last;
      while (first > floor && y_[first - 1] < y_[first] && AboveBaseline(first - 1)) --first;
      while (last + 1 < n && y_[last + 1] < y_[last] && AboveBaseline(last + 1)) ++last;
      Split(first, last);
      floor = last;
      i = last;
    }
    return std::move(peaks_);
  }

 private:
  double Margin(std::size_t i) const { return settings_.Noise.Factor * levels_[i].Noise; }
  bool AboveBaseline(std::size_t i) const { return y_[i] > levels_[i].Baseline; }
  bool Detected(std::size_t i) const {
    return y_[i] > levels_[i].Baseline + Margin(i) &&
           (!settings_.Detect.UseThreshold || y_[i] >= settings_.Threshold.Level);
  }

  // Splits the points first to last into peaks at every valley that lies deeper than the noise
  // margin below the maxima on both of its sides.
  void Split(std::size_t first, std::size_t last) {
    std::size_t start = first;
    std::size_t apex = first;
    std::size_t valley = first;
    for (std::size_t k = first + 1; k <= last; ++k) {
      if (valley == apex) {
        if (y_[k] > y_[apex]) apex = k;
        valley = y_[k] < y_[apex] ? k : apex;
      } else if (y_[k] < y_[valley]) {
        valley = k;
      } else if (y_[k] - y_[valley] > Margin(valley) && y_[apex] - y_[valley] > Margin(valley)) {
        Add(start, apex, valley);
        start = valley;
        apex = valley = k;
      } else if (y_[k] > y_[apex]) {
        apex = valley = k;
      }
    }
    Add(start, apex, last);
  }

  void Add(std::size_t start, std::size_t apex, std::size_t end) {
    std::uint32_t detectedPoints = 0;
    double weightSum = 0.0;
    double moment = 0.0;
    double area = 0.0;
    double previousWeight = 0.0;
    for (std::size_t k = start; k <= end; ++k) {
      if (Detected(k)) ++detectedPoints;
      const double weight = std::max(y_[k] - levels_[k].Baseline, 0.0);
      weightSum += weight;
      moment += weight * static_cast<double>(k);
      if (k > start) area += (x_[k] - x_[k - 1]) * (weight + previousWeight) / 2.0;
      previousWeight = weight;
    }
    if (detectedPoints < settings_.Detect.MinPeakWidth) return;
    Peak peak;
    peak.StartIndex = static_cast<std::uint32_t>(start);
    peak.ApexIndex = static_cast<std::uint32_t>(apex);
    peak.EndIndex = static_cast<std::uint32_t>(end);
    peak.Amplitude = y_[apex];
    peak.CentroidIndex = weightSum > 0.0 ? moment / weightSum : static_cast<double>(apex);
    peak.CentroidAmplitude = curve_.FractionalIndexToYVal(peak.CentroidIndex);
    peak.Area = area;
    peaks_.push_back(peak);
  }

  const Curve& curve_;
  const std::vector<double>& x_;
  const std::vector<double>& y_;
  const PeakDetectSettings& settings_;
  const std::vector<NoiseLevel> levels_;
  std::vector<Peak> peaks_;
};

}  // namespace

bool ExecutePeakDetect(Curve& curve, Changed& changed, std::wstring& message,
                       const PeakDetectSettings& settings) {
  if (!curve.CheckAllStatus(Curve::XAssigned | Curve::YAssigned)) {
    message = L"The curve needs an x axis and y values for peak detection.";
    return false;
  }
  curve.AssignPeaks(PeakFinder(curve, settings).Find());
  changed.Peaks = true;
  return true;
}

bool ExecutePeakDetect(Spectrum& spectrum, Changed& changed, std::wstring& message) {
  return ExecutePeakDetect(spectrum, changed, message, PeakDetectSettings::DefaultMS());
}

bool ExecutePeakDetect(ICObj& chromatogram, Changed& changed, std::wstring& message) {
  return ExecutePeakDetect(chromatogram, changed, message, PeakDetectSettings::DefaultIC());
}

}  // namespace WQBL
