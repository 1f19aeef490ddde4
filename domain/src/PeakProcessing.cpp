#include <WQBL/PeakProcessing.h>

#include <stdexcept>
#include <string>

namespace WQBL {

PLAutoFindPrefs::PLAutoFindPrefs()
    : EverySpectrum(true), PeakTableSelection(ApexScan), Smooth(false) {}

PLAutoFindPrefs::~PLAutoFindPrefs() = default;

bool PLAutoFindPrefs::QEverySpectrumSelection() const { return EverySpectrum; }

bool PLAutoFindPrefs::QPeakTableSelection(std::int32_t& selection, bool& peakTableChosen) const {
  selection = PeakTableSelection;
  peakTableChosen = !EverySpectrum;
  return selection == ApexScan || selection == PeakScans;
}

PeakDetectSettings PeakDetectSettings::DefaultMS() {
  return {NoiseParams::DefaultMS(), ThresholdParams(), PeakDetectParams::DefaultMS(), 8};
}

PeakDetectSettings PeakDetectSettings::DefaultIC() {
  return {NoiseParams::DefaultIC(), ThresholdParams(), PeakDetectParams::DefaultIC(), 1};
}

std::vector<std::uint32_t> QSpectrumUnderPeak(const ICObj& chromatogram, std::int32_t peak,
                                              std::int32_t selection) {
  const std::vector<Peak>& peaks = chromatogram.QPeaks();
  if (peak < 0 || static_cast<std::size_t>(peak) >= peaks.size()) {
    throw std::runtime_error("The chromatogram has no peak " + std::to_string(peak) + ".");
  }
  const Peak& chosen = peaks[peak];
  switch (selection) {
    case ApexScan:
      return {chromatogram.QScanNumber(chosen.ApexIndex)};
    case PeakScans: {
      // In a run that alternates kinds of scan, the peak is of its apex's kind alone.
      const std::uint32_t kind = chromatogram.QScanKind(chosen.ApexIndex);
      std::vector<std::uint32_t> scans;
      for (std::uint32_t point = chosen.StartIndex; point <= chosen.EndIndex; ++point) {
        if (chromatogram.QScanKind(point) == kind) scans.push_back(chromatogram.QScanNumber(point));
      }
      return scans;
    }
    default:
      throw std::runtime_error("Unknown peak scan selection " + std::to_string(selection) + ".");
  }
}

}  // namespace WQBL
