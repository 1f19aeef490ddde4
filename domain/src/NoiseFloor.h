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

}  // namespace WQBL::detail
