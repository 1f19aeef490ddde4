#include <WQBL/PeakProcessing.h>

#include <cmath>
#include <cstddef>
#include <utility>
#include <vector>

namespace WQBL {

namespace {

using Matrix = std::vector<std::vector<double>>;

// Solves a·z = b by Gaussian elimination with partial pivoting; `a` is small and regular.
std::vector<double> Solve(Matrix a, std::vector<double> b) {
  const std::size_t n = b.size();
  for (std::size_t column = 0; column < n; ++column) {
    std::size_t pivot = column;
    for (std::size_t row = column + 1; row < n; ++row) {
      if (std::fabs(a[row][column]) > std::fabs(a[pivot][column])) pivot = row;
    }
    std::swap(a[column], a[pivot]);
    std::swap(b[column], b[pivot]);
    for (std::size_t row = column + 1; row < n; ++row) {
      const double factor = a[row][column] / a[column][column];
      for (std::size_t k = column; k < n; ++k) a[row][k] -= factor * a[column][k];
      b[row] -= factor * b[column];
    }
  }
  std::vector<double> z(n);
  for (std::size_t row = n; row-- > 0;) {
    double sum = b[row];
    for (std::size_t k = row + 1; k < n; ++k) sum -= a[row][k] * z[k];
    z[row] = sum / a[row][row];
  }
  return z;
}

// The least-squares fit of a polynomial over a window of 2·half+1 equally spaced points, as the
// weights that turn the window's values into the fitted polynomial's value at one of its points.
class PolynomialFit {
 public:
  PolynomialFit(int half, int order) : half_(half), terms_(order + 1) {
    normal_.assign(terms_, std::vector<double>(terms_, 0.0));
    for (int offset = -half; offset <= half; ++offset) {
      rows_.push_back(Powers(offset));
      for (int r = 0; r < terms_; ++r) {
        for (int c = 0; c < terms_; ++c) normal_[r][c] += rows_.back()[r] * rows_.back()[c];
      }
    }
  }

  // Weights of the window's points for the value at `offset` from its centre.
  std::vector<double> Weights(int offset) const {
    const std::vector<double> z = Solve(normal_, Powers(offset));
    std::vector<double> weights;
    for (const std::vector<double>& row : rows_) {
      double weight = 0.0;
      for (int k = 0; k < terms_; ++k) weight += row[k] * z[k];
      weights.push_back(weight);
    }
    return weights;
  }

 private:
  // Positions scaled to [-1, 1] keep the normal equations well conditioned.
  std::vector<double> Powers(int offset) const {
    const double u = static_cast<double>(offset) / half_;
    std::vector<double> powers(terms_);
    double value = 1.0;
    for (double& power : powers) {
      power = value;
      value *= u;
    }
    return powers;
  }

  int half_;
  int terms_;
  Matrix rows_;
  Matrix normal_;
};

double Apply(const std::vector<double>& weights, const std::vector<double>& y, std::size_t first) {
  double sum = 0.0;
  for (std::size_t j = 0; j < weights.size(); ++j) sum += weights[j] * y[first + j];
  return sum;
}

}  // namespace

bool ExecuteSmooth(Curve& curve, Changed& changed, std::wstring& message,
                   const SmoothParams& params) {
  if (!curve.CheckAllStatus(Curve::YAssigned)) {
    message = L"The curve has no y values to smooth.";
    return false;
  }
  const std::uint32_t width = params.WindowWidth;
  if (width < 3 || width % 2 == 0 || params.PolynomialOrder >= width) {
    message =
        L"Smoothing needs an odd window of at least 3 points and a polynomial order below it.";
    return false;
  }
  const std::vector<double>& y = curve.QYValues();
  if (y.size() < width) {
    message = L"The curve has fewer points than the smoothing window.";
    return false;
  }
  const int half = static_cast<int>(width / 2);
  const PolynomialFit fit(half, static_cast<int>(params.PolynomialOrder));
  const std::size_t n = y.size();
  std::vector<double> smoothed(n);
  const std::vector<double> centre = fit.Weights(0);
  for (std::size_t i = half; i + half < n; ++i) smoothed[i] = Apply(centre, y, i - half);
  for (int offset = 1; offset <= half; ++offset) {
    smoothed[half - offset] = Apply(fit.Weights(-offset), y, 0);
    smoothed[n - 1 - half + offset] = Apply(fit.Weights(offset), y, n - width);
  }
  changed.Peaks = changed.Peaks || curve.CheckAllStatus(Curve::PeaksDetected);
  curve.AssignSmoothedYValues(std::move(smoothed));
  changed.YValues = true;
  return true;
}

bool ExecuteSmooth(Spectrum& spectrum, Changed& changed, std::wstring& message) {
  return ExecuteSmooth(spectrum, changed, message, SmoothParams::DefaultMS());
}

}  // namespace WQBL
