#include <WQDataFile/DataFile.h>

#include <algorithm>
#include <array>
#include <functional>
#include <numeric>
#include <string>
#include <utility>

namespace WQDataFile {

namespace {

// Whether `mz` lies within `range`.
bool Within(double mz, const WQBL::MZRange& range) {
  return range.Kind != WQBL::MZRange::Bounded || (mz >= range.Low && mz <= range.High);
}

// The m/z values of `scan` within `range`.
std::vector<double> AxisWithin(const Scan& scan, const WQBL::MZRange& range) {
  if (range.Kind != WQBL::MZRange::Bounded) return scan.MZ;
  std::vector<double> axis;
  for (double mz : scan.MZ) {
    if (Within(mz, range)) axis.push_back(mz);
  }
  return axis;
}

// Some instruments write a profile scan only over the stretches they measured signal in. A
// spacing wider than this many steps of the axis about it is a gap between two stretches: the
// instrument measured nothing worth writing there, so it stands for zero intensity.
constexpr double kGapSteps = 2.5;
// The spacings on either side of a spacing that the axis's step about it is taken from: enough to
// reach past the gaps around a stretch of a single point.
constexpr std::size_t kStepReach = 8;

// Sets `steps` to the step of the ascending axis `mz` about each of its spacings (from point j to
// j + 1): the smallest spacing within kStepReach of it, so that it follows an axis whose spacing
// grows with m/z. Each window's minimum in one pass: `window` queues the spacings that may yet be
// one, narrowest first; it never holds more than a window's. The caller keeps `steps` from scan
// to scan, so that its memory is reused.
void Steps(const std::vector<double>& mz, std::vector<double>& steps) {
  const std::size_t spacings = mz.size() < 2 ? 0 : mz.size() - 1;
  const auto width = [&mz](std::size_t j) { return mz[j + 1] - mz[j]; };
  steps.resize(spacings);
  std::array<std::size_t, 4 * kStepReach> window{};
  const auto at = [&window](std::size_t k) -> std::size_t& { return window[k % window.size()]; };
  std::size_t head = 0;
  std::size_t tail = 0;
  for (std::size_t last = 0; last < spacings + kStepReach; ++last) {
    if (last < spacings) {
      while (tail > head && width(at(tail - 1)) >= width(last)) --tail;
      at(tail++) = last;
    }
    if (last < kStepReach) continue;
    const std::size_t j = last - kStepReach;
    while (at(head) + kStepReach < j) ++head;
    steps[j] = width(at(head));
  }
}

// The step of a scan about its point `i`, from its `steps`; zero for a scan of one point.
double StepAt(const std::vector<double>& steps, std::size_t i) {
  return steps.empty() ? 0.0 : steps[std::min(i, steps.size() - 1)];
}

// The intensity of `scan` at `target`, which lies between its points `below` and `below + 1`:
// interpolated linearly within a stretch; in a gap, that of a stretch's end within half a step
// (the same point, written at an m/z that differs by rounding), else zero.
double IntensityAt(const Scan& scan, const std::vector<double>& steps, std::size_t below,
                   double target) {
  const std::vector<double>& mz = scan.MZ;
  const std::vector<double>& intensity = scan.Intensity;
  const double spacing = mz[below + 1] - mz[below];
  const double step = steps[below];
  if (spacing <= kGapSteps * step) {
    const double fraction = (target - mz[below]) / spacing;
    return intensity[below] + fraction * (intensity[below + 1] - intensity[below]);
  }
  if (target - mz[below] <= step / 2.0) return intensity[below];
  if (mz[below + 1] - target <= step / 2.0) return intensity[below + 1];
  return 0.0;
}

// Adds the intensities of `scan`, whose Steps() are `steps`, on `axis` to `sums`. Both axes
// ascend, so one pass over each suffices; beyond the scan's own m/z range it adds nothing.
void AddOnto(const Scan& scan, const std::vector<double>& steps, const std::vector<double>& axis,
             std::vector<double>& sums) {
  const std::vector<double>& mz = scan.MZ;
  std::size_t below = 0;
  for (std::size_t i = 0; i < axis.size(); ++i) {
    const double target = axis[i];
    if (mz.empty() || target < mz.front() || target > mz.back()) continue;
    while (below + 1 < mz.size() && mz[below + 1] <= target) ++below;
    sums[i] +=
        mz[below] == target ? scan.Intensity[below] : IntensityAt(scan, steps, below, target);
  }
}

// Whether `mz` lies more than `step` / 2 from the nearest point of `axis`, of which `above` is
// the first not below it.
bool Apart(const std::vector<double>& axis, std::size_t above, double mz, double step) {
  if (above > 0 && mz - axis[above - 1] <= step / 2.0) return false;
  return above == axis.size() || axis[above] - mz > step / 2.0;
}

// Widens `axis`, and `sums` with it by zeros, by the points of `scan` (whose Steps() are `steps`)
// within `range` that lie where the axis has none: beyond its ends or in one of its gaps (wider
// than kGapSteps of the scan's step too), more than half the scan's step from its nearest point.
// A scan whose axis drifts from the first one's by less, or is finer or coarser, thus adds none.
// The scans averaged before held nothing there: their points would have joined the axis.
void WidenBy(const Scan& scan, const std::vector<double>& steps, const WQBL::MZRange& range,
             std::vector<double>& axis, std::vector<double>& sums) {
  const std::vector<double>& mz = scan.MZ;
  std::vector<double> axisSteps;  // made when first asked for
  std::vector<double> joining;
  std::size_t above = 0;
  for (std::size_t i = 0; i < mz.size(); ++i) {
    if (!Within(mz[i], range)) continue;
    while (above < axis.size() && axis[above] < mz[i]) ++above;
    const double step = StepAt(steps, i > 0 ? i - 1 : 0);
    if (!Apart(axis, above, mz[i], step)) continue;
    if (above > 0 && above < axis.size()) {
      if (axisSteps.empty()) Steps(axis, axisSteps);
      const double spacing = axis[above] - axis[above - 1];
      if (spacing <= kGapSteps * std::max(step, axisSteps[above - 1])) continue;
    }
    joining.push_back(mz[i]);
  }
  if (joining.empty()) return;
  std::vector<double> wider;
  std::vector<double> widerSums;
  wider.reserve(axis.size() + joining.size());
  widerSums.reserve(wider.capacity());
  std::size_t kept = 0;
  for (double point : joining) {
    for (; kept < axis.size() && axis[kept] < point; ++kept) {
      wider.push_back(axis[kept]);
      widerSums.push_back(sums[kept]);
    }
    wider.push_back(point);
    widerSums.push_back(0.0);
  }
  wider.insert(wider.end(), axis.begin() + static_cast<std::ptrdiff_t>(kept), axis.end());
  widerSums.insert(widerSums.end(), sums.begin() + static_cast<std::ptrdiff_t>(kept), sums.end());
  axis = std::move(wider);
  sums = std::move(widerSums);
}

using Centroids = std::vector<std::pair<double, double>>;

// Appends the centroids (m/z, intensity) of `scan` within `range` to `points`.
void AddCentroids(const Scan& scan, const WQBL::MZRange& range, Centroids& points) {
  for (std::size_t i = 0; i < scan.MZ.size(); ++i) {
    if (Within(scan.MZ[i], range)) points.emplace_back(scan.MZ[i], scan.Intensity[i]);
  }
}

// The centroids `points` merged: sorted by m/z, each joins the group before it when it lies
// within `tolerance` of that group's intensity-weighted m/z. Each group becomes one point at that
// m/z with the sum of its intensities.
void MergeCentroids(Centroids points, double tolerance, std::vector<double>& axis,
                    std::vector<double>& sums) {
  std::stable_sort(points.begin(), points.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  double moment = 0.0;
  double weight = 0.0;
  double plain = 0.0;
  std::size_t members = 0;
  auto flush = [&] {
    if (members == 0) return;
    axis.push_back(weight > 0.0 ? moment / weight : plain / static_cast<double>(members));
    sums.push_back(weight);
    moment = weight = plain = 0.0;
    members = 0;
  };
  for (const auto& [mz, intensity] : points) {
    if (members > 0) {
      const double centre = weight > 0.0 ? moment / weight : plain / static_cast<double>(members);
      if (mz - centre > tolerance) flush();
    }
    moment += mz * intensity;
    weight += intensity;
    plain += mz;
    ++members;
  }
  flush();
}

std::wstring NameOf(const std::vector<std::uint32_t>& scanNumbers) {
  if (scanNumbers.size() == 1) return L"Scan " + std::to_wstring(scanNumbers.front());
  return L"Average of " + std::to_wstring(scanNumbers.size()) + L" scans, " +
         std::to_wstring(scanNumbers.front()) + L" to " + std::to_wstring(scanNumbers.back());
}

}  // namespace

std::unique_ptr<WQBL::Spectrum> CalDataFile::GenerateAveragedSpectrum(
    const std::vector<std::uint32_t>& scanNumbers, const WQBL::MZRange& range) const {
  if (scanNumbers.empty()) throw DataFileError("No scans to average in " + NarrowFileName() + ".");
  std::vector<std::uint32_t> indices;
  double retentionTime = 0.0;
  for (std::uint32_t number : scanNumbers) {
    indices.push_back(FindScan(number));
    retentionTime += QScanSummary(indices.back()).Header.RetentionTime;
  }
  // One scan's arrays are read from the file at a time.
  std::vector<double> axis;
  std::vector<double> sums;
  if (QCentroided(scanNumbers)) {
    Centroids points;
    for (std::uint32_t index : indices) AddCentroids(QScan(index), range, points);
    MergeCentroids(std::move(points), kCentroidMergeTolerance, axis, sums);
  } else {
    const Scan first = QScan(indices.front());
    std::vector<double> steps;
    axis = AxisWithin(first, range);
    if (axis.size() == first.MZ.size()) {
      // All of the first scan's own axis: its intensities are added as they stand.
      sums.resize(axis.size());
      std::transform(first.Intensity.begin(), first.Intensity.end(), sums.begin(),
                     [](double intensity) { return 0.0 + intensity; });
    } else {
      sums.assign(axis.size(), 0.0);
      Steps(first.MZ, steps);
      AddOnto(first, steps, axis, sums);
    }
    for (std::size_t i = 1; i < indices.size(); ++i) {
      const Scan scan = QScan(indices[i]);
      if (scan.MZ == axis) {
        // On the axis as it stands: its intensities are added as they stand.
        std::transform(sums.begin(), sums.end(), scan.Intensity.begin(), sums.begin(),
                       std::plus<>());
      } else {
        Steps(scan.MZ, steps);
        WidenBy(scan, steps, range, axis, sums);
        AddOnto(scan, steps, axis, sums);
      }
    }
  }
  const double count = static_cast<double>(scanNumbers.size());
  for (double& sum : sums) sum /= count;

  auto spectrum = std::make_unique<WQBL::Spectrum>();
  spectrum->Name = NameOf(scanNumbers);
  spectrum->ScanNumbers = scanNumbers;
  spectrum->TuneRunIndex = QScanSummary(indices.front()).Header.TuneRunIndex;
  spectrum->RetentionTime = retentionTime / count;
  spectrum->TIC = std::accumulate(sums.begin(), sums.end(), 0.0);
  spectrum->AssignXAxis(std::move(axis));
  spectrum->AssignYValues(std::move(sums));
  return spectrum;
}

bool CalDataFile::QCentroided(const std::vector<std::uint32_t>& scanNumbers) const {
  if (scanNumbers.empty()) throw DataFileError("No scans to average in " + NarrowFileName() + ".");
  for (std::uint32_t number : scanNumbers) {
    if (!QScanSummary(FindScan(number)).Header.Centroided) return false;
  }
  return true;
}

}  // namespace WQDataFile
