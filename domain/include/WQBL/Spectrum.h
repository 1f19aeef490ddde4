// A mass spectrum: intensity over m/z, built from one or more scans of a data file.
#pragma once

#include <WQBL/Curve.h>
#include <WQBL/Export.h>

#include <cstdint>
#include <string>
#include <vector>

namespace WQBL {

// A plain value on top of its curve: the x axis holds m/z values, the y values intensities.
class WQBL_EXPORT Spectrum : public Curve {
 public:
  std::wstring Name;
  // The scans the spectrum was built from, in the order they were asked for.
  std::vector<std::uint32_t> ScanNumbers;
  // Index of the data file's tune run the scans were acquired in.
  std::uint32_t TuneRunIndex = 0;
  // Seconds from the start of the run.
  double RetentionTime = 0.0;
  // Total ion current: the sum of the intensities.
  double TIC = 0.0;
};

}  // namespace WQBL
