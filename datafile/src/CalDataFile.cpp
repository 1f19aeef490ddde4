#include <WQDataFile/DataFile.h>

#include <algorithm>
#include <numeric>
#include <string>
#include <utility>

namespace WQDataFile {

namespace {

// The m/z values of `scan` within `range`.
std::vector<double> AxisWithin(const Scan& scan, const WQBL::MZRange& range) {
  if (range.Kind != WQBL::MZRange::Bounded) return scan.MZ;
  std::vector<double> axis;
  for (double mz : scan.MZ) {
    if (mz >= range.Low && mz <= range.High) axis.push_back(mz);
  }
  return axis;
}

// Adds the intensities of `scan`, interpolated linearly onto `axis`, to `sums`. Both axes ascend,
// so one pass over each suffices; beyond the scan's own m/z range it adds nothing.
void AddOnto(const Scan& scan, const std::vector<double>& axis, std::vector<double>& sums) {
  const std::vector<double>& mz = scan.MZ;
  std::size_t below = 0;
  for (std::size_t i = 0; i < axis.size(); ++i) {
    const double target = axis[i];
    if (mz.empty() || target < mz.front() || target > mz.back()) continue;
    while (below + 1 < mz.size() && mz[below + 1] <= target) ++below;
    if (mz[below] == target) {
      sums[i] += scan.Intensity[below];
    } else {
      const double fraction = (target - mz[below]) / (mz[below + 1] - mz[below]);
      sums[i] +=
          scan.Intensity[below] + fraction * (scan.Intensity[below + 1] - scan.Intensity[below]);
    }
  }
}

using Centroids = std::vector<std::pair<double, double>>;

// Appends the centroids (m/z, intensity) of `scan` within `range` to `points`.
void AddCentroids(const Scan& scan, const WQBL::MZRange& range, Centroids& points) {
  for (std::size_t i = 0; i < scan.MZ.size(); ++i) {
    if (range.Kind != WQBL::MZRange::Bounded ||
        (scan.MZ[i] >= range.Low && scan.MZ[i] <= range.High)) {
      points.emplace_back(scan.MZ[i], scan.Intensity[i]);
    }
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
    axis = AxisWithin(first, range);
    if (axis.size() == first.MZ.size()) {
      // All of the first scan's own axis: its intensities are added as they stand.
      sums.resize(axis.size());
      std::transform(first.Intensity.begin(), first.Intensity.end(), sums.begin(),
                     [](double intensity) { return 0.0 + intensity; });
    } else {
      sums.assign(axis.size(), 0.0);
      AddOnto(first, axis, sums);
    }
    for (std::size_t i = 1; i < indices.size(); ++i) AddOnto(QScan(indices[i]), axis, sums);
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
