// Random numbers for the synthetic data, the same on every platform: the standard engines are
// fully specified, the standard distributions are not.
#pragma once

#include <cmath>
#include <cstdint>
#include <random>

namespace WQDataFile::detail {

class RandomSource {
 public:
  explicit RandomSource(std::uint32_t start) : engine_(start) {}

  // Uniform in (0, 1), never 0 or 1 itself.
  double Uniform() { return (static_cast<double>(engine_()) + 0.5) / 4294967296.0; }

  // Normally distributed, mean 0 and deviation 1 (Box-Muller, the pair's second value kept).
  double Normal() {
    if (hasSpare_) {
      hasSpare_ = false;
      return spare_;
    }
    const double radius = std::sqrt(-2.0 * std::log(Uniform()));
    const double angle = 2.0 * std::acos(-1.0) * Uniform();
    spare_ = radius * std::sin(angle);
    hasSpare_ = true;
    return radius * std::cos(angle);
  }

  // A count drawn from the Poisson distribution of mean `mean` (not negative): by multiplying
  // uniform numbers for small means, by transformed rejection (Hörmann, 1993) for larger ones, so
  // that the cost does not grow with the mean.
  double Poisson(double mean) {
    if (mean < 10.0) {
      const double limit = std::exp(-mean);
      double product = Uniform();
      double count = 0.0;
      while (product > limit) {
        product *= Uniform();
        ++count;
      }
      return count;
    }
    const double root = std::sqrt(mean);
    const double logMean = std::log(mean);
    const double b = 0.931 + 2.53 * root;
    const double a = -0.059 + 0.02483 * b;
    const double inverseAlpha = 1.1239 + 1.1328 / (b - 3.4);
    const double acceptAtOnce = 0.9277 - 3.6224 / (b - 2.0);
    for (;;) {
      const double u = Uniform() - 0.5;
      const double v = Uniform();
      const double us = 0.5 - std::fabs(u);
      const double k = std::floor((2.0 * a / us + b) * u + mean + 0.43);
      if (us >= 0.07 && v <= acceptAtOnce) return k;
      if (k < 0.0 || (us < 0.013 && v > us)) continue;
      if (std::log(v) + std::log(inverseAlpha) - std::log(a / (us * us) + b) <=
          -mean + k * logMean - std::lgamma(k + 1.0)) {
        return k;
      }
    }
  }

 private:
  std::mt19937 engine_;
  double spare_ = 0.0;
  bool hasSpare_ = false;
};

}  // namespace WQDataFile::detail
