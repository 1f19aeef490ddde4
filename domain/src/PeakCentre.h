// The centre of a peak's top, for peak detection.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

namespace WQBL::detail {

// The value at point k smoothed with the binomial weights 1/4, 1/2, 1/4 (an end point stands in
// for its missing neighbour).
inline double Smoothed(const std::vector<double>& y, std::size_t k) {
  const double before = y[k > 0 ? k - 1 : k];
  const double after = y[k + 1 < y.size() ? k + 1 : k];
  return 0.25 * before + 0.5 * y[k] + 0.25 * after;
}

// A peak's points first to last, and its highest.
struct Part {
  std::size_t First = 0;
  std::size_t Apex = 0;
  std::size_t Last = 0;
};

// The noise of a peak's values: of the baseline, and what one count is, for the counts' own.
struct PeakNoise {
  double Baseline;
  double Noise;
  double Quantum;
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

// The centroid, as a fractional index, of the area between the values value(k) of the points
// start to end, drawn as straight lines, and the level `cut`, over the contiguous stretch around
// point `top` that reaches the level. Where the lines cross the level the area ends; at start and
// end it ends at the point. The area moves smoothly as the sampling does, where a mean over whole
// points jumps as a point enters or leaves the top.
template <typename Value>
double AreaCentroid(const Value& value, double cut, std::size_t start, std::size_t top,
                    std::size_t end) {
  auto height = [&](std::size_t k) { return value(k) - cut; };
  std::size_t low = top;
  std::size_t high = top;
  while (low > start && height(low - 1) >= 0.0) --low;
  while (high < end && height(high + 1) >= 0.0) ++high;
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

// The point where the top of `part` parts two peaks, or 0: where the top is flatter than a single
// peak's by more than its noise (docs/peak-detection.md, Doublets).
std::size_t FlatTopMiddle(const std::vector<double>& y, const Part& part, const PeakNoise& noise);

// The centres, as fractional indices, of two neighbouring peaks whose flanks overlap, each the
// centroid of the top (at `top` of its height above the baseline) of what remains when the other's
// share is taken away, starting from the centres `left` and `right`.
std::pair<double, double> NeighbourCentres(const std::vector<double>& y, const Part& a,
                                           const Part& b, double baseline, double top, double left,
                                           double right);

}  // namespace WQBL::detail
