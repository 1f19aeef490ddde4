#include "PeakCentre.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace WQBL::detail {

namespace {

// The width at 80% of a peak's height over its width at half height is 0.57 for a Gaussian, 0.5
// for a Lorentzian, and whatever the tailing, for a peak of two Gaussian halves; for two equal
// Gaussians one width apart it is 0.76. A top is flat when its ratio exceeds that of a single
// peak by more than this many deviations of its noise.
constexpr double kSinglePeakTop = 0.6;
constexpr double kFlatDeviations = 4.0;
// Two equal Gaussians 1.5 widths apart, where their valley shows, give 0.83: a top flatter than
// this is a plateau (the steady signal of an infused sample), one peak.
constexpr double kPlateauTop = 0.85;
// A peak narrower at half height, in points, shows no shape.
constexpr double kFewestShapePoints = 8.0;
// The values are averaged over this share of the width at half height either way: the noise of
// the points, not the top's shape, would decide the crossings of a finely sampled peak.
constexpr double kAveragedShare = 1.0 / 16.0;
// How often the centres of neighbours are taken again from what the other leaves at most, and
// the move of both, in points, below which they have settled.
constexpr int kNeighbourRounds = 20;
constexpr double kSettledMove = 1e-3;

// Where values v cross `level`, from outside: the first and last fractional index at or above it.
// None where an end lies at or above it (the peak's flank is not there to cross).
std::optional<std::pair<double, double>> Crossings(const std::vector<double>& v, double level) {
  if (v.size() < 3 || v.front() >= level || v.back() >= level) return std::nullopt;
  std::size_t low = 1;
  while (v[low] < level) ++low;
  std::size_t high = v.size() - 2;
  while (v[high] < level) --high;
  return std::pair{low - (v[low] - level) / (v[low] - v[low - 1]),
                   high + (v[high] - level) / (v[high] - v[high + 1])};
}

// The means of y over 2h + 1 points around each point of `part`, within the part: a running sum,
// so that a wide peak costs its points, not their square.
std::vector<double> Averages(const std::vector<double>& y, const Part& part, std::size_t h) {
  std::vector<double> v;
  v.reserve(part.Last - part.First + 1);
  double sum = 0.0;
  std::size_t first = part.First;  // the window is [first, last)
  std::size_t last = part.First;
  for (std::size_t k = part.First; k <= part.Last; ++k) {
    for (; last <= std::min(k + h, part.Last); ++last) sum += y[last];
    for (; first + h < k; ++first) sum -= y[first];
    v.push_back(sum / static_cast<double>(last - first));
  }
  return v;
}

}  // namespace

// Two peaks closer than their width show no valley above the noise of a weak top, but they make
// the top flat: the width at 80% of the height is a larger share of the width at half height than
// any single peak's. How far the measured ratio can be off follows from the noise of the averaged
// values at those heights (the baseline's and the counts' own) over the slopes of the flanks, so
// a wide, well-sampled doublet is told at lower counts than a narrow single peak would be split.
std::size_t FlatTopMiddle(const std::vector<double>& y, const Part& part, const PeakNoise& noise) {
  std::vector<double> v;
  for (std::size_t k = part.First; k <= part.Last; ++k) v.push_back(Smoothed(y, k));
  const double height = *std::max_element(v.begin(), v.end()) - noise.Baseline;
  const auto half = Crossings(v, noise.Baseline + 0.5 * height);
  if (!half || half->second - half->first < kFewestShapePoints) return 0;
  const auto h = std::max<std::size_t>(
      static_cast<std::size_t>(kAveragedShare * (half->second - half->first)), 1);
  v = Averages(y, part, h);
  const double top = *std::max_element(v.begin(), v.end()) - noise.Baseline;
  const auto wide = Crossings(v, noise.Baseline + 0.5 * top);
  const auto high = Crossings(v, noise.Baseline + 0.8 * top);
  if (!wide || !high || top <= 0.0) return 0;
  const double width = wide->second - wide->first;
  const double ratio = (high->second - high->first) / width;
  // The flanks' slopes between the two heights, and the deviation of an averaged value at each.
  const double left = 0.3 * top / (high->first - wide->first);
  const double right = 0.3 * top / (wide->second - high->second);
  const double points = static_cast<double>(2 * h + 1);
  auto deviation = [&](double share) {
    return std::sqrt((noise.Noise * noise.Noise + share * top * noise.Quantum) / points);
  };
  const double spread = std::hypot(1.0 / left, 1.0 / right);
  const double ratioDeviation =
      std::hypot(deviation(0.8) * spread, ratio * deviation(0.5) * spread) / width;
  if (!(ratio > kSinglePeakTop + kFlatDeviations * ratioDeviation) || ratio > kPlateauTop) return 0;
  const auto middle =
      part.First + static_cast<std::size_t>(std::lround((high->first + high->second) / 2.0));
  return middle > part.First && middle < part.Last ? middle : 0;
}

// Each peak's far flank, mirrored at its centre, stands in for its near one, which lies under the
// other peak; what is left of the values is the other's. Cut at the valley instead, the top of
// each loses its inner side and its centre moves inward (a sixth of the width for equal peaks one
// width apart). A few rounds settle both centres.
std::pair<double, double> NeighbourCentres(const std::vector<double>& y, const Part& a,
                                           const Part& b, double baseline, double top, double left,
                                           double right) {
  // The smoothed value above the baseline at fractional index t. A far flank is read beyond the
  // peak's last point: at few counts a flicker of noise ends a peak's points early.
  const double end = static_cast<double>(y.size() - 1);
  auto at = [&](double t) {
    if (!(t >= 0.0 && t <= end)) return 0.0;
    const auto k = static_cast<std::size_t>(t);
    const double f = t - static_cast<double>(k);
    const double upper = k + 1 < y.size() ? Smoothed(y, k + 1) : Smoothed(y, k);
    return std::max((1.0 - f) * Smoothed(y, k) + f * upper - baseline, 0.0);
  };
  for (int round = 0; round < kNeighbourRounds; ++round) {
    auto centre = [&](double other, std::size_t first, std::size_t last) {
      auto rest = [&](std::size_t k) {
        const double t = static_cast<double>(k);
        return std::max(at(t) - at(2.0 * other - t), 0.0);
      };
      std::size_t apex = first;
      for (std::size_t k = first; k <= last; ++k) {
        if (rest(k) > rest(apex)) apex = k;
      }
      return AreaCentroid(rest, top * rest(apex), first, apex, last);
    };
    const auto inner = [](double c) { return static_cast<std::size_t>(std::max(c, 0.0)); };
    const double nextLeft = centre(right, a.First, std::max(inner(right), a.First));
    const double nextRight = centre(left, std::min(inner(left) + 1, b.Last), b.Last);
    const bool settled =
        std::abs(nextLeft - left) < kSettledMove && std::abs(nextRight - right) < kSettledMove;
    left = nextLeft;
    right = nextRight;
    if (settled) break;
  }
  return {left, right};
}

}  // namespace WQBL::detail
