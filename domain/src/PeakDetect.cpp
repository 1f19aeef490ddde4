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

// The centre of a peak is the centroid of its top: of the area between the peak, lightly smoothed
// and drawn as straight lines between its points, and the level at this fraction of the apex's
// height above the baseline. The tails of real peaks are asymmetric, and a centroid over the whole
// peak drifts into them; the few points of the top carry noise, which the smoothing damps; and
// the area, bounded where the lines cross the level, moves smoothly as the sampling does, where a
// mean over whole points jumps as a point enters or leaves the top (docs/peak-detection.md).
constexpr double kCentroidTop = 0.8;

struct NoiseLevel {
  double Baseline = 0.0;
  double Noise = 0.0;
};

// Partitions a[0..n) around the pivot a[0]: returns its final position p, with every value before
// it smaller and none after it. Branchless (Lomuto's scheme with an unconditional swap): the
// comparisons of noisy values are unpredictable, and mispredicted branches made selection with
// std::nth_element the largest cost of peak detection.
std::size_t Partition(double* a, std::size_t n) {
  const double pivot = a[0];
  std::size_t store = 1;
  for (std::size_t i = 1; i < n; ++i) {
    const double value = a[i];
    a[i] = a[store];
    a[store] = value;
    store += value < pivot ? 1 : 0;
  }
  std::swap(a[0], a[store - 1]);
  return store - 1;
}

// Reorders a[0..n) so that a[k] is the value that would stand there sorted, with none greater
// before it and none smaller after it (as std::nth_element does), and returns a[k]. Quickselect
// with the median of three as pivot; past a logarithmic number of rounds, std::nth_element
// finishes, so the time stays linear on any input.
double Select(double* a, std::size_t n, std::size_t k) {
  constexpr std::size_t kSmall = 16;
  std::size_t low = 0;
  std::size_t high = n;
  for (int rounds = 2 * static_cast<int>(std::log2(n + 1)); high - low > kSmall; --rounds) {
    if (rounds == 0) {
      std::nth_element(a + low, a + k, a + high);
      return a[k];
    }
    double& first = a[low];
    double& middle = a[low + (high - low) / 2];
    double& last = a[high - 1];
    if (middle < first) std::swap(first, middle);
    if (last < middle) std::swap(middle, last);
    if (middle < first) std::swap(first, middle);
    std::swap(first, middle);
    const std::size_t pivot = low + Partition(a + low, high - low);
    if (pivot == k) return a[k];
    if (k < pivot) {
      high = pivot;
    } else {
      low = pivot + 1;
    }
  }
  std::sort(a + low, a + high);
  return a[k];
}

// The median of `values`, which it reorders.
double Median(std::vector<double>& values) {
  const std::size_t half = values.size() / 2;
  const double upper = Select(values.data(), values.size(), half);
  if (values.size() % 2 == 1) return upper;
  // Everything before the upper middle value is at most it: the largest is the lower middle one.
  double lower = values[0];
  for (std::size_t i = 1; i < half; ++i) lower = std::max(lower, values[i]);
  return (upper + lower) / 2.0;
}

// The baseline and noise of a curve's values, measured in blocks of `window` points (the whole
// curve for 0); a last block shorter than half a window joins the one before it. The levels are
// kept per block, not per point: a per-point copy would cost more than measuring them.
class NoiseBlocks {
 public:
  NoiseBlocks(const std::vector<double>& y, std::uint32_t window, std::size_t lag)
      : points_(y.size()), width_(window == 0 ? std::max<std::size_t>(y.size(), 1) : window) {
    std::vector<double> buffer;  // reused by every block
    for (std::size_t first = 0; first < points_;) {
      std::size_t last = std::min(points_, first + width_);
      if (points_ - last < (width_ + 1) / 2) last = points_;
      levels_.push_back(Measure(y.data() + first, y.data() + last, lag, buffer));
      first = last;
    }
  }

  std::size_t Count() const { return levels_.size(); }
  std::size_t First(std::size_t block) const { return block * width_; }
  std::size_t End(std::size_t block) const {
    return block + 1 == levels_.size() ? points_ : (block + 1) * width_;
  }
  std::size_t BlockOf(std::size_t point) const {
    return std::min(point / width_, levels_.size() - 1);
  }
  const NoiseLevel& OfBlock(std::size_t block) const { return levels_[block]; }
  const NoiseLevel& At(std::size_t point) const { return levels_[BlockOf(point)]; }

 private:
  // Baseline and noise of the values first to last (exclusive). The baseline is their median. The
  // noise comes from the differences between points `lag` apart, whose median the rise and fall
  // of peaks hardly changes; where most of them are zero (sparse counts), from their mean instead.
  static NoiseLevel Measure(const double* first, const double* last, std::size_t noiseLag,
                            std::vector<double>& buffer) {
    NoiseLevel level;
    buffer.assign(first, last);
    level.Baseline = Median(buffer);
    const std::size_t lag = std::min<std::size_t>(noiseLag, (last - first) / 2);
    const std::size_t count = lag == 0 ? 0 : (last - first) - lag;
    if (count == 0) return level;
    buffer.resize(count);
    for (std::size_t i = 0; i < count; ++i) buffer[i] = std::fabs(first[i + lag] - first[i]);
    level.Noise = kMedianDifferenceScale * Median(buffer);
    if (level.Noise == 0.0) {
      // Summed in point order, as the median reordered the buffer.
      double sum = 0.0;
      for (const double* value = first; value + lag < last; ++value) {
        sum += std::fabs(value[lag] - value[0]);
      }
      level.Noise = kMeanDifferenceScale * sum / static_cast<double>(count);
    }
    return level;
  }

  std::size_t points_;
  std::size_t width_;
  std::vector<NoiseLevel> levels_;
};

// The area under straight lines and its first moment about index 0.
struct Moments {
  // Adds the trapezoid under the line from (x0, h0) to (x1, h1), heights not negative.
  void AddTrapezoid(double x0, double h0, double x1, double h1) {
    const double area = (x1 - x0) * (h0 + h1) / 2.0;
    if (area <= 0.0) return;
    Area += area;
    Moment += area * (x0 + (x1 - x0) * (h0 + 2.0 * h1) / (3.0 * (h0 + h1)));
  }

  double Area = 0.0;
  double Moment = 0.0;
};

class PeakFinder {
 public:
  PeakFinder(const Curve& curve, const PeakDetectSettings& settings)
      : curve_(curve),
        x_(curve.QXAxis()),
        y_(curve.QYValues()),
        settings_(settings),
        noise_(curve.QUnsmoothedYValues(), settings.Noise.WindowWidth, settings.NoiseLag) {}

  std::vector<Peak> Find() {
    const std::size_t n = y_.size();
    std::size_t floor = 0;
    for (std::size_t i = NextDetected(0); i < n; i = NextDetected(i + 1)) {
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

  std::vector<double> Levels() const {
    std::vector<double> levels(y_.size());
    for (std::size_t block = 0; block < noise_.Count(); ++block) {
      double level = DetectionLevel(noise_.OfBlock(block));
      if (settings_.Detect.UseThreshold) level = std::max(level, settings_.Threshold.Level);
      std::fill(levels.begin() + noise_.First(block), levels.begin() + noise_.End(block), level);
    }
    return levels;
  }

 private:
  double Margin(const NoiseLevel& level) const { return settings_.Noise.Factor * level.Noise; }
  double Margin(std::size_t i) const { return Margin(noise_.At(i)); }
  bool AboveBaseline(std::size_t i) const { return y_[i] > noise_.At(i).Baseline; }
  // The value a point must exceed to be detected, for the noise level of its block.
  double DetectionLevel(const NoiseLevel& level) const { return level.Baseline + Margin(level); }
  bool Detected(std::size_t i, double detectionLevel) const {
    return y_[i] > detectionLevel &&
           (!settings_.Detect.UseThreshold || y_[i] >= settings_.Threshold.Level);
  }
  bool Detected(std::size_t i) const { return Detected(i, DetectionLevel(noise_.At(i))); }

  // The first detected point from `from` on, or the number of points. Walks block by block, so
  // that the scan over all points looks up no levels.
  std::size_t NextDetected(std::size_t from) const {
    for (std::size_t block = from < y_.size() ? noise_.BlockOf(from) : noise_.Count();
         block < noise_.Count(); ++block) {
      const double level = DetectionLevel(noise_.OfBlock(block));
      const std::size_t end = noise_.End(block);
      for (std::size_t i = std::max(from, noise_.First(block)); i < end; ++i) {
        if (Detected(i, level)) return i;
      }
    }
    return y_.size();
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

  // The value at point k smoothed with the binomial weights 1/4, 1/2, 1/4 (an end point stands in
  // for its missing neighbour).
  double Smoothed(std::size_t k) const {
    const double before = y_[k > 0 ? k - 1 : k];
    const double after = y_[k + 1 < y_.size() ? k + 1 : k];
    return 0.25 * before + 0.5 * y_[k] + 0.25 * after;
  }

  // The centroid, as a fractional index, of the area between the smoothed values of the points
  // start to end and the level kCentroidTop of the smoothed apex's height above the baseline,
  // over the contiguous stretch around the apex that reaches the level.
  double TopCentroid(std::size_t start, std::size_t apex, std::size_t end) const {
    std::size_t top = apex;  // smoothing may move the apex to a neighbour
    while (top > start && Smoothed(top - 1) > Smoothed(top)) --top;
    while (top < end && Smoothed(top + 1) > Smoothed(top)) ++top;
    const double baseline = noise_.At(apex).Baseline;
    const double cut = baseline + kCentroidTop * (Smoothed(top) - baseline);
    auto height = [&](std::size_t k) { return Smoothed(k) - cut; };
    std::size_t low = top;
    std::size_t high = top;
    while (low > start && height(low - 1) >= 0.0) --low;
    while (high < end && height(high + 1) >= 0.0) ++high;
    // Where the lines cross the level; at the peak's own bounds the area ends at the point.
    double left = static_cast<double>(low);
    double right = static_cast<double>(high);
    if (low > start && height(low) > height(low - 1)) {
      left -= height(low) / (height(low) - height(low - 1));
    }
    if (high < end && height(high) > height(high + 1)) {
      right += height(high) / (height(high) - height(high + 1));
    }
    Moments moments;
    moments.AddTrapezoid(left, 0.0, static_cast<double>(low), height(low));
    for (std::size_t k = low; k < high; ++k) {
      moments.AddTrapezoid(static_cast<double>(k), height(k), static_cast<double>(k + 1),
                           height(k + 1));
    }
    moments.AddTrapezoid(static_cast<double>(high), height(high), right, 0.0);
    return moments.Area > 0.0 ? moments.Moment / moments.Area : static_cast<double>(top);
  }

  void Add(std::size_t start, std::size_t apex, std::size_t end) {
    std::uint32_t detectedPoints = 0;
    double area = 0.0;
    double previousWeight = 0.0;
    for (std::size_t k = start; k <= end; ++k) {
      const NoiseLevel& level = noise_.At(k);
      if (Detected(k, DetectionLevel(level))) ++detectedPoints;
      const double weight = std::max(y_[k] - level.Baseline, 0.0);
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
  const NoiseBlocks noise_;
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

std::vector<double> QDetectionLevels(const Curve& curve, const PeakDetectSettings& settings) {
  return PeakFinder(curve, settings).Levels();
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
