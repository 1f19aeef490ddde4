// Processing of curves in place: smoothing and peak detection, and the choice of scans that make
// up the spectrum of a chromatogram peak.
#pragma once

#include <WQBL/Curve.h>
#include <WQBL/Export.h>
#include <WQBL/ICObj.h>
#include <WQBL/ProcessingParams.h>
#include <WQBL/Spectrum.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace WQBL {

// What processing changed on a curve. Processing only ever sets the flags.
struct Changed {
  bool YValues = false;
  bool Peaks = false;
};

// Which scans of a chromatogram peak make up its spectrum. Stored: never renumber.
enum PeakScanSelection : std::int32_t {
  ApexScan = 0,  // the scan at the peak's apex alone
  PeakScans = 1  // every scan from the peak's start to its end
};

// How peak lists are generated automatically from a run: one spectrum per chromatogram point, or
// one per chromatogram peak with the scans that PeakTableSelection names; smoothed first or not.
// The queries are virtual so that an application can answer them from its own settings.
class WQBL_EXPORT PLAutoFindPrefs {
 public:
  // Every spectrum, apex scan, no smoothing.
  PLAutoFindPrefs();
  virtual ~PLAutoFindPrefs();
  PLAutoFindPrefs(const PLAutoFindPrefs&) = default;
  PLAutoFindPrefs& operator=(const PLAutoFindPrefs&) = default;

  // True for one spectrum per chromatogram point, false for one per chromatogram peak.
  virtual bool QEverySpectrumSelection() const;
  // Gives the peak-table selection (a PeakScanSelection value) and whether peak-table mode is the
  // one chosen. True when the selection is one that QSpectrumUnderPeak knows.
  virtual bool QPeakTableSelection(std::int32_t& selection, bool& peakTableChosen) const;

  bool EverySpectrum;
  std::int32_t PeakTableSelection;
  // Smooth each spectrum before its peaks are detected.
  bool Smooth;
};

// The parameters of peak detection.
struct WQBL_EXPORT PeakDetectSettings {
  // The spectrum defaults of each parameter record.
  static PeakDetectSettings DefaultMS();
  // The chromatogram defaults of each parameter record.
  static PeakDetectSettings DefaultIC();

  NoiseParams Noise;
  ThresholdParams Threshold;
  PeakDetectParams Detect;
  // The distance, in points, between the two values of each difference the noise of sparse counts
  // is measured from. Spectra use 8: neighbouring profile points are correlated, so their
  // differences understate the noise; chromatograms, whose peaks span few scans, use neighbours.
  std::uint32_t NoiseLag = 1;
};

// Smooths the y values in place with a Savitzky-Golay filter: each point becomes the value at its
// position of the polynomial fitted by least squares over the window around it (at the ends, over
// the first or last window), keeping the values before smoothing (Curve::AssignSmoothedYValues).
// Drops the curve's peaks. Returns false, with the reason in `message`
// and the curve unchanged, without y values, for a window that is not odd and at least 3 points,
// an order not below the window, or a curve shorter than the window.
WQBL_EXPORT bool ExecuteSmooth(Curve& curve, Changed& changed, std::wstring& message,
                               const SmoothParams& params);
// ExecuteSmooth with SmoothParams::DefaultMS().
WQBL_EXPORT bool ExecuteSmooth(Spectrum& spectrum, Changed& changed, std::wstring& message);

// Finds the peaks of the curve and assigns them (Curve::AssignPeaks). The noise is measured on the
// unsmoothed values (Curve::QUnsmoothedYValues), so that smoothing first does not lower the
// detection level, in blocks of Noise.WindowWidth points (0: the whole curve) or of 8 times the
// width at half height of the curve's highest maximum where that is more, on each block's
// quiet points: those not far above its baseline, chosen round by round, so that peaks covering
// much of a block do not raise it; values from 0 to a hundred-thousandth of the highest (a baseline
// clipped at zero and its residue) are no samples of it, and it is at least half of one count
// (the smallest positive value or step between neighbours). The baseline is their median, the noise
// how far their lower quartile lies below it (where that is nothing, as for sparse counts, from the
// differences of points NoiseLag apart). A peak is a run of points above the baseline plus
// Noise.Factor times the noise (and, with Detect.UseThreshold, at least Threshold.Level), widened
// down its falling flanks and split at valleys deeper than that margin on both sides, unless the
// maxima either side lie within half the spectrum's typical peak width (its peaks' median width at
// half height) or what the valley cuts off is too narrow to be a peak; peaks with fewer than
// Detect.MinPeakWidth points above that level are dropped, unless the spectrum's peaks are under 3
// points wide at half height, two points are above the level and the apex twice the margin above
// the baseline. Its centre is the centroid of the area between the peak, smoothed with the weights
// 1/4, 1/2, 1/4 and drawn as straight lines between its points, and the level at 80% of the
// smoothed apex's height above the baseline, around the apex (the tails of real peaks are
// asymmetric, and the few points of the top noisy); its area is the trapezoid-rule integral of the
// intensity above the baseline over the x axis. No peak has an apex or centre value at or below 0.
// Runs in time linear in the points. Returns false, with the reason in `message` and the curve
// unchanged, unless both the x axis and the y values are assigned.
WQBL_EXPORT bool ExecutePeakDetect(Curve& curve, Changed& changed, std::wstring& message,
                                   const PeakDetectSettings& settings);
// ExecutePeakDetect with PeakDetectSettings::DefaultMS().
WQBL_EXPORT bool ExecutePeakDetect(Spectrum& spectrum, Changed& changed, std::wstring& message);
// The level that ExecutePeakDetect with `settings` requires each point of the curve to rise above
// to be detected: its block's baseline plus Noise.Factor times its noise, and at least
// Threshold.Level with Detect.UseThreshold. One value per y value; empty without y values.
WQBL_EXPORT std::vector<double> QDetectionLevels(const Curve& curve,
                                                 const PeakDetectSettings& settings);
// Finds the peaks of a chromatogram and assigns them, with the noise factor and least width of
// PeakDetectSettings::DefaultIC(). A chromatogram's peaks have no one width or shape (an elution of
// 5 or 5,000 scans, the plateau of an infused or saturating sample), so none is assumed: the values
// are averaged over the least width, and a peak is a maximum of them whose prominence (its height
// above the higher of the lowest points that part it from anything higher on either side) exceeds
// the noise of an averaged value times the larger of Noise.Factor and 2 sqrt(2 ln n), over which
// noise alone seldom reaches in n points. The noise of a value is measured from the second
// differences of the unsmoothed values within 64 points, and is at least that over the whole curve
// and that of counts at the value's level (their variance per level measured over the curve); exact
// zeros on both sides are no samples of it. A peak reaches to where the averaged values fall within
// the noise margin of their lowest on each side (or to the lowest point between it and the next
// peak), needs Detect.MinPeakWidth unsmoothed points that rise above that lowest value by the
// noise, and is centred (CentroidIndex, and ApexIndex rounded) in the middle of its top: of the
// points within the noise margin of its highest averaged value, so a flat top is one peak centred
// in its middle. Its area lies above the straight line between its ends. In a run with kinds of
// scan (ICObj::QScanKinds), the points of each kind are searched so as a curve of their own, and
// their peaks are given in the run's points, in the order of their apexes; a peak's span then
// holds points of other kinds too, which are not its own. A kind of fewer points than the least
// width, or than three, holds no peak. Returns false, with the reason in `message` and the
// chromatogram unchanged, unless both the x axis and the y values are assigned; throws
// std::runtime_error when the chromatogram has kinds but not one for every point.
WQBL_EXPORT bool ExecutePeakDetect(ICObj& chromatogram, Changed& changed, std::wstring& message);

// True when a spectrum (ascending x values and their intensities) that does not say whether it
// is profile or centroid data looks like centroids: its strongest maxima are about one point wide
// at half their height, where a profile samples each peak with several; or a few points wide (an
// isotope pattern) while its points lie at irregular distances, where a profile is sampled at a
// regular step. False without a maximum.
WQBL_EXPORT bool LooksCentroided(const std::vector<double>& x,
                                 const std::vector<double>& intensities);

// How lists of peaks found in spectra agree with reference lists of the same spectra. Each pair
// of lists is matched one to one, nearest pair first, up to a wide tolerance apart; a match counts
// when within a narrow one (by default kWideTolerance and kNarrowTolerance, which suit peaks about
// 0.1 wide; unit-resolution peaks, 0.6 wide, found within 0.1 are found). The strong reference
// peaks of a spectrum are those of the top half of its intensities, and its strong found peaks
// those at least as intense as the weakest of them: a reference list that holds only the clear
// peaks (another picker's) is judged by these, a list of every true peak (of a synthetic spectrum)
// by all peaks. Shares of nothing are 0.
struct WQBL_EXPORT PeakListAgreement {
  static constexpr double kNarrowTolerance = 0.02;
  static constexpr double kWideTolerance = 0.1;

  std::size_t ReferencePeaks = 0;
  std::size_t FoundPeaks = 0;
  // Shares of all reference peaks, and of those of the top 10% and top 50% of each spectrum's
  // intensities, that have a match.
  double Recall = 0.0;
  double RecallTop10 = 0.0;
  double RecallTop50 = 0.0;
  // Share of all found peaks that have a match.
  double Precision = 0.0;
  // Shares of the strong found peaks that have a partner within each tolerance.
  double PrecisionNarrow = 0.0;
  double PrecisionWide = 0.0;
  // Reference peaks with a partner that another found peak, left without one, lies nearest to
  // within the wide tolerance: peaks found twice.
  std::size_t SplitPeaks = 0;
  // Median absolute and signed (found minus reference) x difference of the matched pairs of
  // strong reference peaks.
  double MedianAbsoluteDifference = 0.0;
  double MedianSignedDifference = 0.0;
};

// Pools the agreement of any number of spectra.
class WQBL_EXPORT PeakListComparison {
 public:
  // Throws std::invalid_argument unless 0 < narrow <= wide.
  explicit PeakListComparison(double narrow = PeakListAgreement::kNarrowTolerance,
                              double wide = PeakListAgreement::kWideTolerance);
  // Compares the found peaks (x positions ascending, and heights) of one spectrum with its
  // reference peaks. Throws std::invalid_argument when a list's positions and heights differ in
  // length.
  void Add(const std::vector<double>& foundX, const std::vector<double>& foundHeight,
           const std::vector<double>& referenceX, const std::vector<double>& referenceHeight);
  PeakListAgreement Agreement() const;

 private:
  double narrow_;
  double wide_;
  std::size_t reference_ = 0, found_ = 0, matched_ = 0, foundMatched_ = 0;
  std::size_t top10_ = 0, top10Matched_ = 0, top50_ = 0, top50Matched_ = 0;
  std::size_t strong_ = 0, strongNarrow_ = 0, strongWide_ = 0, split_ = 0;
  std::vector<double> differences_;
};

// The agreement of one spectrum's found peaks with its reference peaks (PeakListComparison).
WQBL_EXPORT PeakListAgreement ComparePeakLists(const std::vector<double>& foundX,
                                               const std::vector<double>& foundHeight,
                                               const std::vector<double>& referenceX,
                                               const std::vector<double>& referenceHeight);

// The scans under peak `peak` of the chromatogram that `selection` (a PeakScanSelection value)
// names, in scan order: of the apex's kind of scan alone in a run that alternates kinds. Throws
// std::runtime_error for a peak the chromatogram does not have, an unknown selection, or a point
// without a scan number or kind.
WQBL_EXPORT std::vector<std::uint32_t> QSpectrumUnderPeak(const ICObj& chromatogram,
                                                          std::int32_t peak,
                                                          std::int32_t selection);

}  // namespace WQBL
