// Peak detection on chromatograms. A chromatogram's peaks have no one width or shape: an elution
// spans 5 or 5,000 scans, an infused sample rises to a plateau, a saturated one flattens. So no
// width is assumed. A peak is a maximum that stands out of the noise: its prominence, the height
// of its top above the higher of the lowest points that part it from anything higher on either
// side, exceeds what the noise alone makes over the curve. The noise comes from the curve's own
// second differences near the maximum, which the slow rise and fall of a peak leaves nearly
// untouched and which follow the counting noise as it grows with the signal.
//
// A run that alternates kinds of scan has a total for each kind, often tenfold apart, so that the
// curve of all its points jumps from scan to scan. Each kind's points are searched as a
// chromatogram of their own, and its peaks are given in the points of the whole run, in the order
// of their apexes. A kind of fewer points than a peak's least width (MinPeakWidth), or than three,
// holds no peak: too short a curve to tell a peak from its baseline.
#pragma once

#include <WQBL/ICObj.h>
#include <WQBL/PeakProcessing.h>

#include <vector>

namespace WQBL::detail {

// The peaks of a chromatogram (ExecutePeakDetect of an ICObj) with the settings' noise factor,
// least width and threshold, found for each kind of scan on its own.
std::vector<Peak> FindChromatogramPeaks(const ICObj& chromatogram,
                                        const PeakDetectSettings& settings);

}  // namespace WQBL::detail
