#include "ChromatogramPeaks.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <numeric>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "NoiseFloor.h"
#include "Select.h"

namespace WQBL {

namespace {

// The scale that makes the median absolute second difference of independent normally distributed
// noise estimate its standard deviation: y[i-1] - 2 y[i] + y[i+1] has sqrt(6) times it.
constexpr double kSecondDifferenceScale = 1.4826 / 2.449489742783178;
// How many second differences either side of a point its noise is measured from.
constexpr std::size_t kNoiseReach = 64;

// A maximum of the smoothed curve, and how far it stands out of what lies around it.
struct Maximum {
  std::size_t Apex = 0;
  double Prominence = 0.0;
};

class ChromatogramPeakFinder {
 public:
  ChromatogramPeakFinder(const Curve& curve, PeakDetectSettings settings)
      : curve_(curve),
        x_(curve.QXAxis()),
        y_(curve.QYValues()),
        raw_(curve.QUnsmoothedYValues()),
        settings_(std::move(settings)),
        reach_(std::max<std::uint32_t>(settings_.Detect.MinPeakWidth, 1) / 2),
        smoothed_(Smoothed()),
        curvature_(Curvature()) {
    if (raw_.empty()) return;
    const double highest = std::max(*std::max_element(raw_.begin(), raw_.end()), 0.0);
    floor_ = std::max({detail::kQuantumNoise * detail::IntensityQuantum(raw_),
                       highest / detail::kDynamicRange, WindowNoise(0, raw_.size())});
    // The gain of the counts: the median ratio of the noise's variance to the level over the
    // windows of the curve that lie above zero.
    std::vector<double> gains;
    const std::size_t span = 2 * kNoiseReach + 1;
    for (std::size_t first = 0; first + span <= raw_.size(); first += span) {
      const double level = smoothed_[first + kNoiseReach];
      const double noise = WindowNoise(first, span);
      if (level > 0.0) gains.push_back(noise * noise / level);
    }
    if (!gains.empty()) gain_ = detail::Median(gains);
  }

  std::vector<Peak> Find() {
    const std::size_t n = y_.size();
    if (n < 3) return {};
    // Noise alone rises about sqrt(2 ln n) deviations above its mean somewhere in n points, and
    // falls as far below it, so a bump of noise stands out by up to twice that.
    const double deviations =
        std::max(settings_.Noise.Factor, 2.0 * std::sqrt(2.0 * std::log(static_cast<double>(n))));
    const double least = deviations * floor_ / std::sqrt(2.0 * static_cast<double>(reach_) + 1.0);
    std::vector<std::size_t> apexes;
    for (const Maximum& maximum : Maxima()) {
      // Most maxima of a noisy curve fall short of what the floor of the noise asks already.
      if (maximum.Prominence > least &&
          maximum.Prominence > deviations * SmoothedNoise(maximum.Apex)) {
        apexes.push_back(maximum.Apex);
      }
    }
    std::sort(apexes.begin(), apexes.end());
    std::vector<Peak> peaks;
    for (std::size_t p = 0; p < apexes.size(); ++p) {
      // Neighbouring peaks part at the lowest point between their apexes.
      const std::size_t left = p == 0 ? 0 : Lowest(apexes[p - 1], apexes[p]);
      const std::size_t right = p + 1 == apexes.size() ? n - 1 : Lowest(apexes[p], apexes[p + 1]);
      AddPeak(left, right, peaks);
    }
    return peaks;
  }

 private:
  // The values averaged over MinPeakWidth points (fewer at the ends): a peak is at least that
  // wide, and a flicker of a point or two is damped.
  std::vector<double> Smoothed() const {
    const std::size_t n = y_.size();
    std::vector<double> sums(n + 1, 0.0);
    for (std::size_t i = 0; i < n; ++i) sums[i + 1] = sums[i] + y_[i];
    std::vector<double> smoothed(n);
    for (std::size_t i = 0; i < n; ++i) {
      const std::size_t first = i > reach_ ? i - reach_ : 0;
      const std::size_t last = std::min(i + reach_, n - 1);
      smoothed[i] = (sums[last + 1] - sums[first]) / static_cast<double>(last - first + 1);
    }
    return smoothed;
  }

  // The absolute second difference of the unsmoothed values at each inner point, or -1 where the
  // three points are exact zeros: an empty scan or a baseline clipped at zero is no sample of the
  // noise.
  std::vector<double> Curvature() const {
    std::vector<double> curvature(raw_.size(), -1.0);
    for (std::size_t i = 1; i + 1 < raw_.size(); ++i) {
      if (raw_[i - 1] == 0.0 && raw_[i] == 0.0 && raw_[i + 1] == 0.0) continue;
      curvature[i] = std::fabs(raw_[i - 1] - 2.0 * raw_[i] + raw_[i + 1]);
    }
    return curvature;
  }

  // The noise of the unsmoothed values from `first` on over `span` points: from their median
  // absolute second difference; 0 without one.
  double WindowNoise(std::size_t first, std::size_t span) const {
    scratch_.clear();
    for (std::size_t k = first; k < first + span; ++k) {
      if (curvature_[k] >= 0.0) scratch_.push_back(curvature_[k]);
    }
    return scratch_.empty() ? 0.0 : kSecondDifferenceScale * detail::Median(scratch_);
  }

  // The noise of one unsmoothed value near point i: that of the kNoiseReach points either side (a
  // window moved inward at the ends), as it grows beyond the counts' own at the top of a peak;
  // at least that of counts at the point's level, and the floor. Over a hundred points the
  // measure varies by a tenth or more, and among the thousands of maxima of a long curve some
  // meet a window where it came out low by a third: the counts' noise, measured over the whole
  // curve, holds there.
  double Noise(std::size_t i) const {
    const std::size_t n = curvature_.size();
    const std::size_t span = std::min(2 * kNoiseReach + 1, n);
    const std::size_t first = std::min(i > kNoiseReach ? i - kNoiseReach : 0, n - span);
    const double counts = std::sqrt(gain_ * std::max(smoothed_[i], 0.0));
    return std::max({WindowNoise(first, span), counts, floor_});
  }

  // The noise of the smoothed value at point i: the mean of m values has 1/sqrt(m) of theirs.
  double SmoothedNoise(std::size_t i) const {
    const std::size_t first = i > reach_ ? i - reach_ : 0;
    const std::size_t last = std::min(i + reach_, y_.size() - 1);
    return Noise(i) / std::sqrt(static_cast<double>(last - first + 1));
  }

  // Every maximum of the smoothed curve with its prominence. The points are taken from the highest
  // down, each joining the stretch of a neighbour taken before it; where a point joins two
  // stretches, the one with the lower top ends there, at a prominence of its top above that
  // point. The highest top stands out above the lowest point of the curve.
  std::vector<Maximum> Maxima() const {
    const std::vector<double>& s = smoothed_;
    const std::size_t n = s.size();
    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&s](std::size_t a, std::size_t b) { return s[a] > s[b]; });
    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::vector<std::size_t> stretchOf(n, kNone);
    std::vector<std::size_t> parent;  // of each stretch, a union-find forest
    std::vector<Maximum> maxima;
    auto root = [&parent](std::size_t stretch) {
      while (parent[stretch] != stretch) stretch = parent[stretch] = parent[parent[stretch]];
      return stretch;
    };
    for (const std::size_t i : order) {
      const std::size_t left = i > 0 && stretchOf[i - 1] != kNone ? root(stretchOf[i - 1]) : kNone;
      const std::size_t right =
          i + 1 < n && stretchOf[i + 1] != kNone ? root(stretchOf[i + 1]) : kNone;
      if (left == kNone && right == kNone) {
        stretchOf[i] = parent.size();
        parent.push_back(parent.size());
        maxima.push_back({i, -1.0});
      } else if (left != kNone && right != kNone) {
        const bool leftHigher = s[maxima[left].Apex] >= s[maxima[right].Apex];
        const std::size_t lower = leftHigher ? right : left;
        const std::size_t higher = leftHigher ? left : right;
        maxima[lower].Prominence = s[maxima[lower].Apex] - s[i];
        parent[lower] = higher;
        stretchOf[i] = higher;
      } else {
        stretchOf[i] = left != kNone ? left : right;
      }
    }
    for (Maximum& maximum : maxima) {
      if (maximum.Prominence < 0.0) maximum.Prominence = s[maximum.Apex] - s[order.back()];
    }
    return maxima;
  }

  // The point of the lowest smoothed value from first to last.
  std::size_t Lowest(std::size_t first, std::size_t last) const {
    return static_cast<std::size_t>(
        std::min_element(smoothed_.begin() + first, smoothed_.begin() + last + 1) -
        smoothed_.begin());
  }

  // The point of the highest smoothed value from first to last.
  std::size_t Highest(std::size_t first, std::size_t last) const {
    return static_cast<std::size_t>(
        std::max_element(smoothed_.begin() + first, smoothed_.begin() + last + 1) -
        smoothed_.begin());
  }

  // Adds the peak of the highest smoothed value from left to right, the points that part it from
  // its neighbours (or the curve's ends). It reaches out from its apex to where the smoothed curve
  // falls within the noise margin of its lowest value on that side, and needs MinPeakWidth
  // unsmoothed points that rise by the noise above the higher of the two lowest values: a spike
  // of one scan is no peak. Its centre is the middle of its top: of the points that lie within
  // the margin of its highest value, so that a flat top (a plateau, a saturated elution) is
  // centred in its middle, and a rounded one at its apex whatever the noise of the highest point.
  void AddPeak(std::size_t left, std::size_t right, std::vector<Peak>& peaks) const {
    const std::vector<double>& s = smoothed_;
    const std::size_t apex = Highest(left, right);
    const double margin = settings_.Noise.Factor * SmoothedNoise(apex);
    const double leftBase = s[Lowest(left, apex)];
    const double rightBase = s[Lowest(apex, right)];
    std::size_t start = apex;
    while (start > left && s[start] > leftBase + margin) --start;
    std::size_t end = apex;
    while (end < right && s[end] > rightBase + margin) ++end;
    // Its significance is in the prominence; here its width: the points it raises by the noise.
    const double level = std::max(leftBase, rightBase) + Noise(apex);
    const auto above = std::count_if(y_.begin() + start, y_.begin() + end + 1,
                                     [level](double value) { return value > level; });
    if (above < static_cast<std::ptrdiff_t>(settings_.Detect.MinPeakWidth)) return;
    std::size_t first = start;
    while (s[first] < s[apex] - margin) ++first;
    std::size_t last = end;
    while (s[last] < s[apex] - margin) --last;
    const double centre = (static_cast<double>(first) + static_cast<double>(last)) / 2.0;
    Peak peak;
    peak.StartIndex = static_cast<std::uint32_t>(start);
    peak.ApexIndex = static_cast<std::uint32_t>(std::lround(centre));
    peak.EndIndex = static_cast<std::uint32_t>(end);
    peak.Amplitude = y_[peak.ApexIndex];
    peak.CentroidIndex = centre;
    peak.CentroidAmplitude = curve_.FractionalIndexToYVal(centre);
    peak.Area = Area(start, end);
    if (peak.Amplitude <= 0.0 || peak.CentroidAmplitude <= 0.0) return;
    if (settings_.Detect.UseThreshold && peak.Amplitude < settings_.Threshold.Level) return;
    peaks.push_back(peak);
  }

  // The trapezoid-rule integral over the x axis of the values above the straight line between
  // the smoothed values at start and end, where the peak meets its neighbours or the baseline.
  double Area(std::size_t start, std::size_t end) const {
    const double span = static_cast<double>(end - start);
    auto height = [&](std::size_t k) {
      const double share = span > 0.0 ? static_cast<double>(k - start) / span : 0.0;
      const double base = smoothed_[start] + share * (smoothed_[end] - smoothed_[start]);
      return std::max(y_[k] - base, 0.0);
    };
    double area = 0.0;
    for (std::size_t k = start + 1; k <= end; ++k) {
      area += (x_[k] - x_[k - 1]) * (height(k) + height(k - 1)) / 2.0;
    }
    return area;
  }

  const Curve& curve_;
  const std::vector<double>& x_;
  const std::vector<double>& y_;
  const std::vector<double>& raw_;
  const PeakDetectSettings settings_;
  const std::size_t reach_;  // points either side of each smoothed value
  const std::vector<double> smoothed_;
  const std::vector<double> curvature_;
  // The least noise of a value: of one count, of the highest value's dynamic range, and over the
  // whole curve.
  double floor_ = 0.0;
  // The variance of the noise per unit of the level, as counting noise has (Noise).
  double gain_ = 0.0;
  mutable std::vector<double> scratch_;
};

// The points of `chromatogram` of kind `kind`, as a curve of their own: their x values and their
// y values, smoothed or not as the chromatogram's are. Their places in the run go to `points`.
Curve CurveOfKind(const ICObj& chromatogram, std::uint32_t kind,
                  std::vector<std::uint32_t>& points) {
  const std::vector<std::uint32_t>& kinds = chromatogram.QScanKinds();
  points.clear();
  for (std::uint32_t point = 0; point < kinds.size(); ++point) {
    if (kinds[point] == kind) points.push_back(point);
  }
  auto values = [&points](const std::vector<double>& all) {
    std::vector<double> picked;
    picked.reserve(points.size());
    for (const std::uint32_t point : points) picked.push_back(all[point]);
    return picked;
  };
  Curve curve;
  curve.AssignXAxis(values(chromatogram.QXAxis()));
  curve.AssignYValues(values(chromatogram.QUnsmoothedYValues()));
  if (&chromatogram.QUnsmoothedYValues() != &chromatogram.QYValues()) {
    curve.AssignSmoothedYValues(values(chromatogram.QYValues()));
  }
  return curve;
}

// A peak of a kind's curve in the points of the whole run: `points` maps the one to the other.
// Its centre lies as far between the run's points of its neighbours as between theirs.
Peak InRun(Peak peak, const std::vector<std::uint32_t>& points) {
  const auto before = static_cast<std::size_t>(peak.CentroidIndex);
  const std::size_t after = std::min(before + 1, points.size() - 1);
  const double share = peak.CentroidIndex - static_cast<double>(before);
  peak.CentroidIndex =
      points[before] + share * (static_cast<double>(points[after]) - points[before]);
  peak.StartIndex = points[peak.StartIndex];
  peak.ApexIndex = points[peak.ApexIndex];
  peak.EndIndex = points[peak.EndIndex];
  return peak;
}

}  // namespace

namespace detail {

std::vector<Peak> FindChromatogramPeaks(const ICObj& chromatogram,
                                        const PeakDetectSettings& settings) {
  const std::vector<std::uint32_t>& kinds = chromatogram.QScanKinds();
  if (!kinds.empty() && kinds.size() != chromatogram.QNumPoints()) {
    throw std::runtime_error("The chromatogram has " + std::to_string(kinds.size()) +
                             " kinds of scan for " + std::to_string(chromatogram.QNumPoints()) +
                             " points.");
  }
  if (std::all_of(kinds.begin(), kinds.end(),
                  [&kinds](std::uint32_t kind) { return kind == kinds.front(); })) {
    return ChromatogramPeakFinder(chromatogram, settings).Find();
  }
  std::vector<std::uint32_t> distinct = kinds;
  std::sort(distinct.begin(), distinct.end());
  distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
  std::vector<Peak> peaks;
  std::vector<std::uint32_t> points;
  for (const std::uint32_t kind : distinct) {
    const Curve curve = CurveOfKind(chromatogram, kind, points);
    for (const Peak& peak : ChromatogramPeakFinder(curve, settings).Find()) {
      peaks.push_back(InRun(peak, points));
    }
  }
  std::sort(peaks.begin(), peaks.end(),
            [](const Peak& a, const Peak& b) { return a.ApexIndex < b.ApexIndex; });
  return peaks;
}

}  // namespace detail

}  // namespace WQBL
