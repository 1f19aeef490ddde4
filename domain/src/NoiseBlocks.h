// The baseline and noise of a curve's values, measured block by block on its quiet points, for
// peak detection on spectra.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "NoiseFloor.h"
#include "Select.h"

namespace WQBL::detail {

// The scale that makes the distance from the lower quartile to the median estimate the standard
// deviation of normally distributed noise.
constexpr double kQuartileDeviationScale = 1.4826;
// The scales that make the median, and the mean, absolute difference between two points estimate
// the standard deviation of normally distributed noise: the difference of two such values has
// sqrt(2) times their deviation.
constexpr double kMedianDifferenceScale = 1.4826 / 1.4142135623730951;
constexpr double kMeanDifferenceScale = 1.2533 / 1.4142135623730951;

struct NoiseLevel {
  double Baseline = 0.0;
  double Noise = 0.0;
};

// How often the quiet points of a block are chosen anew at most, and how many deviations above
// the baseline they may lie: fewer let the tails of the noise go, more let the flanks of peaks stay
// (docs/peak-detection.md).
constexpr int kNoiseRounds = 20;
constexpr double kQuietDeviations = 2.75;
// A round that changes at most this share of a block's quiet points is the last.
constexpr std::size_t kSettledShare = 100;

// How many widths of a curve's highest peak a noise block spans at least: a block that lies
// within one broad peak takes its flanks for the baseline, and its top for noise.
constexpr double kBlockWidths = 8.0;

// The points of a curve's noise blocks: `window` (0: the whole curve), widened to kBlockWidths
// times the width at half height, in points, of the curve's highest maximum (above its lowest
// value), so that the peaks' width comes from the data and not from a number of points.
std::uint32_t NoiseWindow(const std::vector<double>& y, std::uint32_t window) {
  if (window == 0 || y.empty()) return window;
  const auto [lowest, top] = std::minmax_element(y.begin(), y.end());
  const double half = (*top + *lowest) / 2.0;
  auto first = top;
  auto last = top;
  while (first != y.begin() && *(first - 1) > half) --first;
  while (last + 1 != y.end() && *(last + 1) > half) ++last;
  const double wide = kBlockWidths * static_cast<double>(last - first + 1);
  if (wide >= static_cast<double>(y.size())) return 0;
  return std::max(window, static_cast<std::uint32_t>(wide));
}

// The baseline and noise of a curve's values, measured in blocks of `window` points (the whole
// curve for 0); a last block shorter than half a window joins the one before it. The levels are
// kept per block, not per point: a per-point copy would cost more than measuring them.
class NoiseBlocks {
 public:
  NoiseBlocks(const std::vector<double>& x, const std::vector<double>& y, std::uint32_t window,
              std::size_t lag)
      : points_(y.size()), width_(window == 0 ? std::max<std::size_t>(y.size(), 1) : window) {
    Scratch scratch;  // reused by every block
    quantum_ = IntensityQuantum(y);
    if (!y.empty()) floor_ = std::max(*std::max_element(y.begin(), y.end()), 0.0) / kDynamicRange;
    // A file that leaves out points of counted data leaves out zero counts: what it keeps of the
    // baseline is its non-zero counts, and its zeros, kept or left out, are counts too.
    scratch.CountedZeros = Counted(y, quantum_) && PointsLeftOut(x, 0, points_) > 0;
    for (std::size_t first = 0; first < points_;) {
      std::size_t last = std::min(points_, first + width_);
      if (points_ - last < (width_ + 1) / 2) last = points_;
      scratch.LeftOut = scratch.CountedZeros ? PointsLeftOut(x, first, last) : 0;
      NoiseLevel level = Measure(y.data() + first, last - first, lag, floor_, quantum_, scratch);
      level.Noise = std::max(level.Noise, kQuantumNoise * quantum_);
      levels_.push_back(level);
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
  // The level below which a value is no sample of the noise, nor a peak (CurveFloor).
  double Floor() const { return floor_; }
  // What one count is in the values (IntensityQuantum).
  double Quantum() const { return quantum_; }

 private:
  struct Scratch {
    std::vector<double> Values;
    std::vector<char> Quiet;
    bool CountedZeros = false;  // zeros are counts, and samples of the noise
    std::size_t LeftOut = 0;    // zero counts that the block's file left out
  };

  // Baseline and noise of the n values from y, measured on their quiet points: first all but those
  // from 0 to `floor` (a baseline clipped at zero, its residue, or the gaps between acquisition
  // windows: no samples of the noise), then, round by round, those at most kQuietDeviations times
  // the noise above the baseline. A block of too few samples has baseline and noise 0, which the
  // bounds of the detection level raise. Where peaks cover much of a block, their tops and flanks
  // raise a measure over all points far above the noise between them (and the median into their
  // flanks); leaving them out brings it down to that noise, however many peaks there are. Where
  // zeros are counts, every point is a sample, and so is every zero that the file left out.
  static NoiseLevel Measure(const double* y, std::size_t n, std::size_t noiseLag, double floor,
                            double quantum, Scratch& scratch) {
    const std::size_t lag = std::min<std::size_t>(noiseLag, n / 2);
    const bool zeros = scratch.CountedZeros;
    auto sample = [floor, zeros](double value) { return zeros || value < 0.0 || value > floor; };
    scratch.Quiet.resize(n);
    std::size_t samples = scratch.LeftOut;
    for (std::size_t i = 0; i < n; ++i) {
      scratch.Quiet[i] = sample(y[i]);
      samples += scratch.Quiet[i];
    }
    const std::size_t fewest = std::max<std::size_t>(n / 8, 2 * lag + 2);
    if (samples < fewest) return {};
    NoiseLevel level = MeasureQuiet(y, n, lag, quantum, scratch);
    for (int round = 1; round < kNoiseRounds; ++round) {
      const double limit = level.Baseline + kQuietDeviations * level.Noise;
      std::size_t quiet = scratch.LeftOut;
      std::size_t changes = 0;
      for (std::size_t i = 0; i < n; ++i) {
        const char now = y[i] <= limit && sample(y[i]);
        changes += now != scratch.Quiet[i];
        scratch.Quiet[i] = now;
        quiet += now;
      }
      if (changes <= n / kSettledShare) break;  // settled
      if (quiet < fewest) break;                // too few to measure
      const NoiseLevel next = MeasureQuiet(y, n, lag, quantum, scratch);
      if (next.Noise == 0.0) break;  // a quiet stretch of one value: the wider measure holds
      level = next;
    }
    return level;
  }

  // The baseline is the median of the quiet values, and the noise comes from how far their lower
  // quartile lies below it, which peaks do not change. Where that is nothing (sparse counts), the
  // noise comes from the differences between quiet points `lag` apart: from their median, or
  // where most are zero, from their mean. Counts vary as much as their mean: where zeros are
  // counts, the noise is the square root of the quiet values' mean count.
  static NoiseLevel MeasureQuiet(const double* y, std::size_t n, std::size_t lag, double quantum,
                                 Scratch& scratch) {
    if (scratch.CountedZeros) return MeasureQuietCounts(y, n, quantum, scratch);
    NoiseLevel level;
    // Gathered without branches: whether a point is quiet is unpredictable.
    std::vector<double>& values = scratch.Values;
    values.resize(n);
    std::size_t count = 0;
    for (std::size_t i = 0; i < n; ++i) {
      values[count] = y[i];
      count += scratch.Quiet[i];
    }
    if (count == 0) return level;
    values.resize(count);
    level.Baseline = Median(values);
    // Selecting the median left the lower half of the values first.
    const double quartile = Select(values.data(), std::max<std::size_t>(count / 2, 1), count / 4);
    level.Noise = kQuartileDeviationScale * (level.Baseline - quartile);
    if (level.Noise > 0.0) return level;
    values.clear();
    double sum = 0.0;
    for (std::size_t i = 0; lag > 0 && i + lag < n; ++i) {
      if (!scratch.Quiet[i] || !scratch.Quiet[i + lag]) continue;
      values.push_back(std::fabs(y[i + lag] - y[i]));
      sum += values.back();
    }
    if (values.empty()) return level;
    level.Noise = kMedianDifferenceScale * Median(values);
    if (level.Noise == 0.0) {
      level.Noise = kMeanDifferenceScale * sum / static_cast<double>(values.size());
    }
    return level;
  }

  // MeasureQuiet where zeros are counts: the median of the quiet values, the left out zeros first
  // among them, and the counting noise of their mean.
  static NoiseLevel MeasureQuietCounts(const double* y, std::size_t n, double quantum,
                                       Scratch& scratch) {
    std::vector<double>& values = scratch.Values;
    values.clear();
    double sum = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
      if (!scratch.Quiet[i]) continue;
      values.push_back(y[i]);
      sum += y[i];
    }
    const std::size_t left = scratch.LeftOut;
    const std::size_t total = values.size() + left;
    if (total == 0) return {};
    auto nth = [&](std::size_t k) {
      return k < left ? 0.0 : Select(values.data(), values.size(), k - left);
    };
    NoiseLevel level;
    level.Baseline = total % 2 == 1 ? nth(total / 2) : (nth(total / 2 - 1) + nth(total / 2)) / 2.0;
    level.Noise = std::sqrt(sum / static_cast<double>(total) * quantum);
    return level;
  }

  std::size_t points_;
  std::size_t width_;
  std::vector<NoiseLevel> levels_;
  double floor_ = 0.0;
  double quantum_ = 0.0;
};

}  // namespace WQBL::detail
