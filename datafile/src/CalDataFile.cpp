#include <WQDataFile/DataFile.h>

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

std::wstring NameOf(const std::vector<std::uint32_t>& scanNumbers) {
  if (scanNumbers.size() == 1) return L"Scan " + std::to_wstring(scanNumbers.front());
  return L"Average of " + std::to_wstring(scanNumbers.size()) + L" scans, " +
         std::to_wstring(scanNumbers.front()) + L" to " + std::to_wstring(scanNumbers.back());
}

}  // namespace

std::unique_ptr<WQBL::Spectrum> CalDataFile::GenerateAveragedSpectrum(
    const std::vector<std::uint32_t>& scanNumbers, const WQBL::MZRange& range) const {
  if (scanNumbers.empty()) throw DataFileError("No scans to average in " + NarrowFileName() + ".");
  const Scan& first = FindScan(scanNumbers.front());
  std::vector<double> axis = AxisWithin(first, range);
  std::vector<double> sums(axis.size(), 0.0);
  double retentionTime = 0.0;
  for (std::uint32_t number : scanNumbers) {
    const Scan& scan = FindScan(number);
    AddOnto(scan, axis, sums);
    retentionTime += scan.RetentionTime;
  }
  const double count = static_cast<double>(scanNumbers.size());
  for (double& sum : sums) sum /= count;

  auto spectrum = std::make_unique<WQBL::Spectrum>();
  spectrum->Name = NameOf(scanNumbers);
  spectrum->ScanNumbers = scanNumbers;
  spectrum->TuneRunIndex = first.TuneRunIndex;
  spectrum->RetentionTime = retentionTime / count;
  spectrum->TIC = std::accumulate(sums.begin(), sums.end(), 0.0);
  spectrum->AssignXAxis(std::move(axis));
  spectrum->AssignYValues(std::move(sums));
  return spectrum;
}

}  // namespace WQDataFile
