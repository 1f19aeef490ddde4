// Peak detection on chromatograms. A chromatogram's peaks have no one width or shape: an elution
// spans 5 or 5,000 scans, an infused sample rises to a plateau, a saturated one flattens. So no
// width is assumed. A peak is a maximum that stands out of the noise: its prominence, the height
// of its top above the higher of the lowest points that part it from anything higher on either
// side, exceeds what the noise alone makes over the curve. The noise comes from the curve's own
// second differences near the maximum, which the slow rise and fall of a peak leaves nearly
// untouched and which follow the counting noise as it grows with the signal.
#pragma once

#include <WQBL/PeakProcessing.h>

#include <vector>

namespace WQBL::detail {

// The peaks of a chromatogram (ExecutePeakDetect of an ICObj) with the settings' noise factor,
// least width and threshold.
std::vector<Peak> FindChromatogramPeaks(const Curve& chromatogram,
                                        const PeakDetectSettings& settings);

}  // namespace WQBL::detail
