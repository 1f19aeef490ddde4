#include <WQBL/Ranges.h>
#include <WQRepos/CentroidExport.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "export/TOFLineFile.h"

namespace WQRepos {

namespace {

constexpr std::uint32_t kAxesAssigned = WQBL::Curve::XAssigned | WQBL::Curve::YAssigned;
constexpr std::uint32_t kPeaksDetected = WQBL::Curve::PeaksDetected;

// Every point of a centroid spectrum is a peak of its own: centre and apex at the point, its
// intensity as amplitude and as area (a stick has no width to integrate over).
void KeepCentroids(WQBL::Spectrum& spectrum) {
  std::vector<WQBL::Peak> peaks;
  const std::vector<double>& y = spectrum.QYValues();
  for (std::uint32_t i = 0; i < y.size(); ++i) {
    peaks.push_back(WQBL::Peak{i, i, i, y[i], static_cast<double>(i), y[i], y[i]});
  }
  spectrum.AssignPeaks(std::move(peaks));
}

// The settings of the export's spectrum peak detection.
WQBL::PeakDetectSettings SpectrumDetection() { return WQBL::PeakDetectSettings::DefaultMS(); }

// Averages the scans in the data file into `spectrum`, smooths it when the preferences ask for
// it, and detects its peaks. The processing results are not examined: a spectrum whose processing
// failed is exported as it is. Centroid scans are peak lists already: their merged centroids are
// kept as the peaks, neither smoothed nor searched again. Gives whether peaks were detected.
bool BuildProcessedSpectrum(const WQDataFile::CalDataFile& file,
                            const std::vector<std::uint32_t>& scanNumbers,
                            const WQBL::PLAutoFindPrefs& prefs, WQBL::Spectrum& spectrum) {
  std::unique_ptr<WQBL::Spectrum> generated =
      file.GenerateAveragedSpectrum(scanNumbers, WQBL::MZRange(WQBL::MZRange::FullRange, 0.0, 0.0));
  spectrum = std::move(*generated);
  generated.reset();
  if (file.QCentroided(scanNumbers)) {
    KeepCentroids(spectrum);
    return false;
  }
  WQBL::Changed changed;
  std::wstring message;
  if (prefs.Smooth) WQBL::ExecuteSmooth(spectrum, changed, message);
  WQBL::ExecutePeakDetect(spectrum, changed, message, SpectrumDetection());
  return true;
}

// The spectrum of item `index`: of a chromatogram point or of a chromatogram peak.
void ProduceSpectrum(WQDataFile::CalDataFile& file, int index, WQBL::ICObj& chromatogram,
                     const WQBL::PLAutoFindPrefs& prefs, WQBL::Spectrum& spectrum) {
  BuildProcessedSpectrum(file, QExportedScans(chromatogram, prefs, index), prefs, spectrum);
}

}  // namespace

int QExportedSpectrumCount(WQBL::ICObj& chromatogram, const WQBL::PLAutoFindPrefs& prefs) {
  if (prefs.QEverySpectrumSelection()) return static_cast<int>(chromatogram.QNumPoints());
  if (!chromatogram.CheckAllStatus(kPeaksDetected)) {
    WQBL::Changed changed;
    std::wstring message;
    WQBL::ExecutePeakDetect(chromatogram, changed, message);
  }
  return static_cast<int>(chromatogram.QPeaks().size());
}

std::vector<std::uint32_t> QExportedScans(const WQBL::ICObj& chromatogram,
                                          const WQBL::PLAutoFindPrefs& prefs, int item) {
  if (prefs.QEverySpectrumSelection()) {
    if (item < 0) {
      throw std::runtime_error("Chromatogram point " + std::to_string(item) +
                               " has no scan number.");
    }
    return {chromatogram.QScanNumber(static_cast<std::uint32_t>(item))};
  }
  std::int32_t selection = 0;
  bool peakTableChosen = false;
  prefs.QPeakTableSelection(selection, peakTableChosen);
  return WQBL::QSpectrumUnderPeak(chromatogram, item, selection);
}

ExportedSpectrum QExportedSpectrum(const WQDataFile::CalDataFile& file,
                                   const std::vector<std::uint32_t>& scanNumbers,
                                   const WQBL::PLAutoFindPrefs& prefs) {
  ExportedSpectrum exported;
  if (BuildProcessedSpectrum(file, scanNumbers, prefs, exported.Spectrum)) {
    exported.DetectionLevels = WQBL::QDetectionLevels(exported.Spectrum, SpectrumDetection());
  }
  return exported;
}

bool AutoGenPL(WQDataFile::CalDataFile& file, WQBL::ICObj& chromatogram,
               const WQBL::PLAutoFindPrefs& prefs, bool write, std::wstring& errorText) {
  return AutoGenPL(file, chromatogram, prefs, write, errorText, ExportSettings());
}

bool AutoGenPL(WQDataFile::CalDataFile& file, WQBL::ICObj& chromatogram,
               const WQBL::PLAutoFindPrefs& prefs, bool write, std::wstring& errorText,
               const ExportSettings& settings) {
  if (!chromatogram.CheckAllStatus(kAxesAssigned)) {
    errorText = L"X/Y axis of curve not assigned";
    return false;
  }
  return WriteTOFLineFile(prefs, errorText, ProduceSpectrum, file, chromatogram, write,
                          QExportedSpectrumCount(chromatogram, prefs), settings);
}

}  // namespace WQRepos
