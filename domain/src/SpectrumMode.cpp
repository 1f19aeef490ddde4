#include <WQBL/PeakProcessing.h>

#include <algorithm>
#include <cstddef>
#include <vector>

#include "Select.h"

namespace WQBL {

namespace {

// How many of the strongest maxima decide: enough that a stray one does not, few enough that
// the noise of a profile, whose maxima are one point wide too, stays out.
constexpr std::size_t kDecidingMaxima = 20;
// Profile peaks are sampled by at least three points at half height; a centroid is one point,
// with at most the fractions out to where lines to its neighbours cross half height.
constexpr double kProfileWidth = 2.5;
// Centroids of an isotope pattern are a few points wide at half height too, but the gaps between
// centroids are irregular, where a profile is sampled at a regular or smoothly changing step: a
// spectrum whose gaps exceed this many times their median in a tenth of places is centroided
// unless its peaks are wider than kIrregularProfileWidth points.
constexpr double kIrregularGaps = 3.0;
constexpr double kIrregularProfileWidth = 4.0;

// The width, in points, of the maximum at `top` at half its height, down its flanks: out to where
// straight lines between the points cross it, or to a higher point.
double WidthAtHalfHeight(const std::vector<double>& y, std::size_t top) {
  const double half = y[top] / 2.0;
  std::size_t low = top;
  std::size_t high = top;
  while (low > 0 && y[low - 1] > half && y[low - 1] <= y[top]) --low;
  while (high + 1 < y.size() && y[high + 1] > half && y[high + 1] <= y[top]) ++high;
  double width = static_cast<double>(high - low);
  if (low > 0 && y[low - 1] <= half) width += (y[low] - half) / (y[low] - y[low - 1]);
  if (high + 1 < y.size() && y[high + 1] <= half) {
    width += (y[high] - half) / (y[high] - y[high + 1]);
  }
  return width;
}

}  // namespace

// True when a tenth of the gaps between neighbouring x values exceed kIrregularGaps times their
// median.
bool IrregularGaps(const std::vector<double>& x) {
  if (x.size() < 3) return false;
  std::vector<double> gaps;
  for (std::size_t i = 1; i < x.size(); ++i) gaps.push_back(x[i] - x[i - 1]);
  const double median = detail::Median(gaps);
  const double upper = detail::Select(gaps.data(), gaps.size(), gaps.size() * 9 / 10);
  return upper > kIrregularGaps * median;
}

bool LooksCentroided(const std::vector<double>& x, const std::vector<double>& y) {
  std::vector<std::size_t> maxima;
  for (std::size_t i = 0; i < y.size(); ++i) {
    const bool aboveBefore = i == 0 || y[i] > y[i - 1];
    const bool notBelowAfter = i + 1 == y.size() || y[i] >= y[i + 1];
    if (aboveBefore && notBelowAfter && y[i] > 0.0) maxima.push_back(i);
  }
  if (maxima.empty()) return false;
  const std::size_t count = std::min(kDecidingMaxima, maxima.size());
  std::nth_element(maxima.begin(), maxima.begin() + (count - 1), maxima.end(),
                   [&](std::size_t a, std::size_t b) { return y[a] > y[b]; });
  std::vector<double> widths;
  for (std::size_t k = 0; k < count; ++k) widths.push_back(WidthAtHalfHeight(y, maxima[k]));
  const double width = detail::Median(widths);
  return width < kProfileWidth || (width < kIrregularProfileWidth && IrregularGaps(x));
}

}  // namespace WQBL
