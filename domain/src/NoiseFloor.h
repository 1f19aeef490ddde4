// The least noise a curve's values can have, for peak detection on spectra and chromatograms.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <vector>

namespace WQBL::detail {

// The largest ratio of a curve's highest value to a peak, or to a sample of the noise. Baselines
// clipped at zero leave, beside exact zeros, numerical residue (ringing tails of 1e-30 beside
// signals of hundreds), on which the noise would settle; no scan spans more decades.
constexpr double kDynamicRange = 1e5;

// The least noise of counted data, in counts: that of counts that are mostly zero (a Poisson mean
// of 1/4, whose deviation is half a count).
constexpr double kQuantumNoise = 0.5;

// The smallest step of the values: the smallest positive value or positive difference between
// neighbours. Counted data hold whole counts (times a gain), so this is what one count means; for
// continuous data it is tiny and bounds nothing.
inline double IntensityQuantum(const std::vector<double>& y) {
  double quantum = std::numeric_limits<double>::infinity();
  for (std::size_t i = 0; i < y.size(); ++i) {
    if (y[i] > 0.0) quantum = std::min(quantum, y[i]);
    const double step = i > 0 ? std::fabs(y[i] - y[i - 1]) : 0.0;
    if (step > 0.0) quantum = std::min(quantum, step);
  }
  return std::isfinite(quantum) ? quantum : 0.0;
}

// Whether the values are counts of single ions: none negative; each positive one of at most
// kCountedUpTo counts a whole number of `quantum`s (within what storing them as 32-bit floats
// leaves), for at least kCountedFewest of them; and one ion, the commonest event of a sparse
// baseline, at least kSingleIonShare of the positive values. Continuous values are whole multiples
// of their smallest step by chance only, and values rounded to whole units are seldom one unit.
constexpr double kCountedUpTo = 1000.0;
constexpr std::size_t kCountedFewest = 10;
constexpr double kSingleIonShare = 0.02;
inline bool Counted(const std::vector<double>& y, double quantum) {
  if (!(quantum > 0.0)) return false;
  std::size_t small = 0;
  std::size_t positive = 0;
  std::size_t single = 0;
  for (double value : y) {
    if (value < 0.0) return false;
    if (value == 0.0) continue;
    ++positive;
    const double counts = value / quantum;
    if (counts > kCountedUpTo) continue;
    const double whole = std::round(counts);
    if (!(std::fabs(counts - whole) <= 1e-3)) return false;
    ++small;
    single += whole == 1.0;
  }
  return small >= kCountedFewest &&
         static_cast<double>(single) >= kSingleIonShare * static_cast<double>(positive);
}

// How many points the axis leaves out after each of the points first to last (exclusive): where
// the step to the next point is more than half again the steps beside it, the points that step
// would hold at their spacing. Blocks of a curve share out its gaps, each the gap after its own
// points. Files of counted spectra leave out runs of zero counts; the bound keeps a hostile axis
// from counting without end.
inline std::size_t PointsLeftOut(const std::vector<double>& x, std::size_t first,
                                 std::size_t last) {
  constexpr double kGap = 1.5;
  constexpr double kMostPerGap = 1e6;
  constexpr double kNone = std::numeric_limits<double>::infinity();
  std::size_t left = 0;
  for (std::size_t i = first; i < last && i + 1 < x.size(); ++i) {
    const double step = x[i + 1] - x[i];
    const double before = i > 0 ? x[i] - x[i - 1] : kNone;
    const double after = i + 2 < x.size() ? x[i + 2] - x[i + 1] : kNone;
    const double beside = std::min(before, after);
    if (!(beside > 0.0 && beside < kNone) || !(step > kGap * beside)) continue;
    left += static_cast<std::size_t>(std::min(std::round(step / beside), kMostPerGap)) - 1;
  }
  return left;
}

}  // namespace WQBL::detail
