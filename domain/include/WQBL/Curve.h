// A measured curve: y values over an x axis, with the peaks found on it. Spectra (intensity over
// m/z) and ion chromatograms (intensity over retention time) are curves.
#pragma once

#include <WQBL/Export.h>

#include <cstdint>
#include <vector>

namespace WQBL {

// A peak of a curve. It covers the points StartIndex to EndIndex inclusive, with its highest point
// at ApexIndex; neighbouring peaks may share the valley point between them.
struct WQBL_EXPORT Peak {
  bool operator==(const Peak& other) const;
  bool operator!=(const Peak& other) const { return !(*this == other); }

  std::uint32_t StartIndex = 0;
  std::uint32_t ApexIndex = 0;
  std::uint32_t EndIndex = 0;
  double Amplitude = 0.0;          // the curve's value at the apex
  double CentroidIndex = 0.0;      // the peak's centre as a fractional point index
  double CentroidAmplitude = 0.0;  // the curve's value at the centre, interpolated
  double Area = 0.0;               // above the local baseline, in y units times x units
};

// The x axis and the y values are assigned separately; a curve whose x axis and y values are both
// assigned has the same number of each. Assigning either drops the peaks, which no longer describe
// the curve.
class WQBL_EXPORT Curve {
 public:
  // Status bits, asked together with CheckAllStatus.
  enum Status : std::uint32_t { XAssigned = 0x01, YAssigned = 0x02, PeaksDetected = 0x40 };

  // Throw std::runtime_error, leaving the curve as it was, when the other one is assigned with a
  // different number of points.
  void AssignXAxis(std::vector<double> x);
  void AssignYValues(std::vector<double> y);
  // Replaces the y values by a smoothed version of them. The values as assigned before any
  // smoothing are kept for QUnsmoothedYValues, so that noise can be measured on them. Throws
  // like AssignYValues.
  void AssignSmoothedYValues(std::vector<double> y);

  // Replaces the peaks, finds the largest by amplitude and by area and sets PeaksDetected. Throws
  // std::runtime_error, leaving the curve as it was, for a peak whose points are not in order
  // (start, apex, end) or lie beyond the curve.
  void AssignPeaks(std::vector<Peak> peaks);

  // True when every bit of `mask` is set.
  bool CheckAllStatus(std::uint32_t mask) const;

  // The number of points of the x axis, or of the y values when only those are assigned.
  std::uint32_t QNumPoints() const;
  const std::vector<double>& QXAxis() const { return x_; }
  const std::vector<double>& QYValues() const { return y_; }
  // The y values as last assigned with AssignYValues, before any smoothing since.
  const std::vector<double>& QUnsmoothedYValues() const {
    return unsmoothed_.empty() ? y_ : unsmoothed_;
  }
  const std::vector<Peak>& QPeaks() const { return peaks_; }
  // Indices into QPeaks() of the highest peak and of the peak of largest area; -1 without peaks.
  std::int32_t QMaxAmplitudePeak() const { return maxAmplitudePeak_; }
  std::int32_t QMaxAreaPeak() const { return maxAreaPeak_; }

  // The x value at a fractional point index, interpolated linearly between the neighbouring points
  // (exactly the axis value at a whole index). Throws std::runtime_error without an x axis or for
  // an index outside 0 to the last point.
  double FractionalIndexToXAxisVal(double index) const;
  // The y value at a fractional point index, interpolated the same way; throws likewise.
  double FractionalIndexToYVal(double index) const;

 protected:
  void DropPeaks();

 private:
  std::uint32_t status_ = 0;
  std::vector<double> x_;
  std::vector<double> y_;
  std::vector<double> unsmoothed_;  // empty until smoothed
  std::vector<Peak> peaks_;
  std::int32_t maxAmplitudePeak_ = -1;
  std::int32_t maxAreaPeak_ = -1;
};

}  // namespace WQBL
