#include <WQBL/PeakProcessing.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numeric>
#include <utility>
#include <vector>

namespace WQBL {

namespace {

// The scales that make the median, and the mean, absolute difference between two points estimate
// the standard deviation of normally distributed noise: the difference of two such values has
// sqrt(2) times their deviation.
constexpr double kMedianDifferenceScale = 1.4826 / 1.4142135623730951;
constexpr double kMeanDifferenceScale = 1.2533 / 1.4142135623730951;

// The centroid is taken over the top of the peak: the points around the apex that stand at least
// this fraction of the apex's height above the baseline, each weighted by how far it rises above
// that level, so that a point entering or leaving the top does not jump the centre. The tails of
// real peaks are asymmetric, and a centroid over the whole peak drifts into them.
constexpr double kCentroidTop = 0.7;

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
// noise comes from the differences between points `lag` apart, whose median the rise and fall of
// peaks hardly changes; where most of them are zero (sparse counts), from their mean instead.
NoiseLevel MeasureBlock(std::vector<double>::const_iterator first,
                        std::vector<double>::const_iterator last, std::size_t noiseLag) {
  NoiseLevel level;
  level.Baseline = Median(std::vector<double>(first, last));
  const std::size_t lag = std::min<std::size_t>(noiseLag, (last - first) / 2);
  std::vector<double> differences;
  for (auto value = first; lag > 0 && value + lag < last; ++value) {
    differences.push_back(std::fabs(value[lag] - value[0]));
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
std::vector<NoiseLevel> MeasureNoise(const std::vector<double>& y, std::uint32_t window,
                                     std::size_t lag) {
  const std::size_t n = y.size();
  const std::size_t width = window == 0 ? n : window;
  std::vector<NoiseLevel> levels;
  levels.reserve(n);
  for (std::size_t first = 0; first < n;) {
    std::size_t last = std::min(n, first + width);
    if (n - last < (width + 1) / 2) last = n;
    levels.insert(levels.end(), last - first,
                  MeasureBlock(y.begin() + first, y.begin() + last, lag));
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
        levels_(MeasureNoise(y_, settings.Noise.WindowWidth, settings.NoiseLag)) {}

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

  // The mean index of the contiguous points around the apex that reach kCentroidTop of its height
  // above the baseline, weighted by their intensity above that level.
  double TopCentroid(std::size_t start, std::size_t apex, std::size_t end) const {
    const double baseline = levels_[apex].Baseline;
    const double cut = baseline + kCentroidTop * (y_[apex] - baseline);
    std::size_t low = apex;
    std::size_t high = apex;
    while (low > start && y_[low - 1] >= cut) --low;
    while (high < end && y_[high + 1] >= cut) ++high;
    double weightSum = 0.0;
    double moment = 0.0;
    for (std::size_t k = low; k <= high; ++k) {
      const double weight = y_[k] - cut;
      weightSum += weight;
      moment += weight * static_cast<double>(k);
    }
    return weightSum > 0.0 ? moment / weightSum : static_cast<double>(apex);
  }

  void Add(std::size_t start, std::size_t apex, std::size_t end) {
    std::uint32_t detectedPoints = 0;
    double area = 0.0;
    double previousWeight = 0.0;
    for (std::size_t k = start; k <= end; ++k) {
      if (Detected(k)) ++detectedPoints;
      const double weight = std::max(y_[k] - levels_[k].Baseline, 0.0);
      if (k > start) area += (x_[k] - x_[k - 1]) * (weight + previousWeight) / 2.0;
      previousWeight = weight;
    }
    if (detectedPoints < settings_.Detect.MinPeakWidth) return;
    Peak peak;
    peak.StartIndex = static_cast<std::uint32_t>(start);
    peak.ApexIndex = static_cast<std::uint32_t>(apex);
    peak.EndIndex = static_cast<std::uint32_t>(end);
    peak.Amplitude = y_[apex];
    peak.CentroidIndex = TopCentroid(start, apex, end);
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

PeakListAgreement ComparePeakLists(const std::vector<double>& foundX,
                                   const std::vector<double>& foundHeight,
                                   const std::vector<double>& referenceX,
                                   const std::vector<double>& referenceHeight) {
  PeakListAgreement agreement;
  agreement.ReferencePeaks = referenceX.size();
  agreement.FoundPeaks = foundX.size();
  if (referenceX.empty()) return agreement;
  // Candidate pairs within the wide tolerance, nearest first; both lists ascend.
  struct Pair {
    double Distance;
    std::size_t Found;
    std::size_t Reference;
  };
  std::vector<Pair> pairs;
  std::size_t low = 0;
  for (std::size_t r = 0; r < referenceX.size(); ++r) {
    while (low < foundX.size() && foundX[low] < referenceX[r] - PeakListAgreement::kWideTolerance) {
      ++low;
    }
    for (std::size_t f = low;
         f < foundX.size() && foundX[f] <= referenceX[r] + PeakListAgreement::kWideTolerance; ++f) {
      pairs.push_back({std::fabs(foundX[f] - referenceX[r]), f, r});
    }
  }
  std::stable_sort(pairs.begin(), pairs.end(),
                   [](const Pair& a, const Pair& b) { return a.Distance < b.Distance; });
  constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  std::vector<std::size_t> partnerOfFound(foundX.size(), kNone);
  std::vector<std::size_t> partnerOfReference(referenceX.size(), kNone);
  for (const Pair& pair : pairs) {
    if (partnerOfFound[pair.Found] != kNone || partnerOfReference[pair.Reference] != kNone)
      continue;
    partnerOfFound[pair.Found] = pair.Reference;
    partnerOfReference[pair.Reference] = pair.Found;
  }
  auto within = [&](std::size_t f, std::size_t r, double tolerance) {
    return std::fabs(foundX[f] - referenceX[r]) <= tolerance;
  };
  // The reference peaks in order of falling intensity.
  std::vector<std::size_t> order(referenceX.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return referenceHeight[a] > referenceHeight[b];
  });
  auto recall = [&](std::size_t count) {
    std::size_t hits = 0;
    for (std::size_t k = 0; k < count; ++k) {
      const std::size_t f = partnerOfReference[order[k]];
      if (f != kNone && within(f, order[k], PeakListAgreement::kNarrowTolerance)) ++hits;
    }
    return static_cast<double>(hits) / static_cast<double>(count);
  };
  const std::size_t top10 = std::max<std::size_t>(1, (order.size() + 9) / 10);
  const std::size_t top50 = std::max<std::size_t>(1, (order.size() + 1) / 2);
  agreement.RecallTop10 = recall(top10);
  agreement.RecallTop50 = recall(top50);
  const double floor = referenceHeight[order[top50 - 1]];
  std::size_t counted = 0;
  std::size_t narrow = 0;
  std::size_t wide = 0;
  for (std::size_t f = 0; f < foundX.size(); ++f) {
    if (foundHeight[f] < floor) continue;
    ++counted;
    const std::size_t r = partnerOfFound[f];
    if (r == kNone) continue;
    ++wide;
    if (within(f, r, PeakListAgreement::kNarrowTolerance)) ++narrow;
  }
  if (counted > 0) {
    agreement.PrecisionNarrow = static_cast<double>(narrow) / static_cast<double>(counted);
    agreement.PrecisionWide = static_cast<double>(wide) / static_cast<double>(counted);
  }
  std::vector<double> absolute;
  std::vector<double> signedDifferences;
  for (std::size_t k = 0; k < top50; ++k) {
    const std::size_t f = partnerOfReference[order[k]];
    if (f == kNone) continue;
    signedDifferences.push_back(foundX[f] - referenceX[order[k]]);
    absolute.push_back(std::fabs(signedDifferences.back()));
  }
  if (!absolute.empty()) {
    agreement.MedianAbsoluteDifference = Median(absolute);
    agreement.MedianSignedDifference = Median(signedDifferences);
  }
  return agreement;
}

}  // namespace WQBL
