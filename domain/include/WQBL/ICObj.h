// An ion chromatogram: intensity over retention time, one data point per scan of a run.
#pragma once

#include <WQBL/Curve.h>
#include <WQBL/Export.h>

#include <cstdint>
#include <vector>

namespace WQBL {

// The x axis holds retention times in seconds; each data point also carries the number of the
// scan it was measured in.
class WQBL_EXPORT ICObj : public Curve {
 public:
  void AssignScanNumbers(std::vector<std::uint32_t> scanNumbers);
  const std::vector<std::uint32_t>& QScanNumbers() const { return scanNumbers_; }
  // The scan of data point `point`. Throws std::runtime_error when the point has none.
  std::uint32_t QScanNumber(std::uint32_t point) const;

 private:
  std::vector<std::uint32_t> scanNumbers_;
};

}  // namespace WQBL
