// Selection of order statistics in linear time, for the medians of peak detection and of peak
// list comparisons.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>
#include <vector>

namespace WQBL::detail {

// Partitions a[0..n) around the pivot a[0]: returns its final position p, with every value before
// it smaller and none after it. Branchless (Lomuto's scheme with an unconditional swap): the
// comparisons of noisy values are unpredictable, and mispredicted branches made selection with
// std::nth_element the largest cost of peak detection.
inline std::size_t Partition(double* a, std::size_t n) {
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
inline double Select(double* a, std::size_t n, std::size_t k) {
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
inline double Median(std::vector<double>& values) {
  const std::size_t half = values.size() / 2;
  const double upper = Select(values.data(), values.size(), half);
  if (values.size() % 2 == 1) return upper;
  // Everything before the upper middle value is at most it: the largest is the lower middle one.
  double lower = values[0];
  for (std::size_t i = 1; i < half; ++i) lower = std::max(lower, values[i]);
  return (upper + lower) / 2.0;
}

}  // namespace WQBL::detail
