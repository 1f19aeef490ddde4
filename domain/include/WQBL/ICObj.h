// An ion chromatogram: intensity over retention time, one data point per scan of a run.
#pragma once

#include <WQBL/Curve.h>
#include <WQBL/Export.h>

#include <cstdint>
#include <vector>

namespace WQBL {

// The x axis holds retention times in seconds; each data point also carries the number of the
// scan it was measured in and, in a run that alternates kinds of scan (different scan windows or
// experiments, whose totals differ tenfold), the kind of that scan. The points of one kind form a
// chromatogram of their own: the peaks are found in each, and a peak covers only its kind's scans.
class WQBL_EXPORT ICObj : public Curve {
 public:
  void AssignScanNumbers(std::vector<std::uint32_t> scanNumbers);
  const std::vector<std::uint32_t>& QScanNumbers() const { return scanNumbers_; }
  // The scan of data point `point`. Throws std::runtime_error when the point has none.
  std::uint32_t QScanNumber(std::uint32_t point) const;

  // A number per data point naming its kind of scan; none (the default) for a run of one kind.
  // Assigning them drops the peaks, found for other kinds.
  void AssignScanKinds(std::vector<std::uint32_t> kinds);
  const std::vector<std::uint32_t>& QScanKinds() const { return scanKinds_; }
  // The kind of data point `point`: 0 in a run without kinds. Throws std::runtime_error when the
  // run has kinds but the point has none.
  std::uint32_t QScanKind(std::uint32_t point) const;

 private:
  std::vector<std::uint32_t> scanNumbers_;
  std::vector<std::uint32_t> scanKinds_;
};

}  // namespace WQBL
