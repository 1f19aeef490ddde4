#include <WQBL/Curve.h>
#include <WQBL/ICObj.h>

#include <cmath>
#include <stdexcept>
#include <string>
#include <utility>

namespace WQBL {

namespace {

std::string Count(std::size_t count) { return std::to_string(count); }

void CheckSameLength(std::size_t xCount, std::size_t yCount) {
  if (xCount != yCount) {
    throw std::runtime_error("Curve has " + Count(xCount) + " x values but " + Count(yCount) +
                             " y values.");
  }
}

// The value at a fractional index of `values`, interpolated linearly between its neighbours.
double Interpolate(const std::vector<double>& values, double index, const char* what) {
  if (!(index >= 0.0 && index <= static_cast<double>(values.size()) - 1.0)) {
    throw std::runtime_error("Index " + std::to_string(index) + " lies outside the " +
                             Count(values.size()) + " " + what + " of the curve.");
  }
  const double whole = std::floor(index);
  const std::size_t below = static_cast<std::size_t>(whole);
  const double fraction = index - whole;
  if (fraction == 0.0) return values[below];
  return values[below] + fraction * (values[below + 1] - values[below]);
}

}  // namespace

bool Peak::operator==(const Peak& other) const {
  return StartIndex == other.StartIndex && ApexIndex == other.ApexIndex &&
         EndIndex == other.EndIndex && Amplitude == other.Amplitude &&
         CentroidIndex == other.CentroidIndex && CentroidAmplitude == other.CentroidAmplitude &&
         Area == other.Area;
}

void Curve::AssignXAxis(std::vector<double> x) {
  if (status_ & YAssigned) CheckSameLength(x.size(), y_.size());
  x_ = std::move(x);
  status_ |= XAssigned;
  DropPeaks();
}

void Curve::AssignYValues(std::vector<double> y) {
  if (status_ & XAssigned) CheckSameLength(x_.size(), y.size());
  y_ = std::move(y);
  unsmoothed_ = std::vector<double>();
  status_ |= YAssigned;
  DropPeaks();
}

void Curve::AssignSmoothedYValues(std::vector<double> y) {
  if (status_ & XAssigned) CheckSameLength(x_.size(), y.size());
  if (unsmoothed_.empty()) unsmoothed_ = std::move(y_);
  y_ = std::move(y);
  status_ |= YAssigned;
  DropPeaks();
}

void Curve::DropPeaks() {
  peaks_.clear();
  maxAmplitudePeak_ = -1;
  maxAreaPeak_ = -1;
  status_ &= ~PeaksDetected;
}

void Curve::AssignPeaks(std::vector<Peak> peaks) {
  const std::uint32_t points = QNumPoints();
  std::int32_t highest = -1;
  std::int32_t largest = -1;
  for (std::size_t i = 0; i < peaks.size(); ++i) {
    const Peak& peak = peaks[i];
    if (!(peak.StartIndex <= peak.ApexIndex && peak.ApexIndex <= peak.EndIndex &&
          peak.EndIndex < points)) {
      throw std::runtime_error("Peak " + Count(i) + " does not lie in order within the " +
                               Count(points) + " points of the curve.");
    }
    const auto index = static_cast<std::int32_t>(i);
    if (highest < 0 || peak.Amplitude > peaks[highest].Amplitude) highest = index;
    if (largest < 0 || peak.Area > peaks[largest].Area) largest = index;
  }
  peaks_ = std::move(peaks);
  maxAmplitudePeak_ = highest;
  maxAreaPeak_ = largest;
  status_ |= PeaksDetected;
}

bool Curve::CheckAllStatus(std::uint32_t mask) const { return (status_ & mask) == mask; }

std::uint32_t Curve::QNumPoints() const {
  return static_cast<std::uint32_t>((status_ & XAssigned) ? x_.size() : y_.size());
}

double Curve::FractionalIndexToXAxisVal(double index) const {
  return Interpolate(x_, index, "x values");
}

double Curve::FractionalIndexToYVal(double index) const {
  return Interpolate(y_, index, "y values");
}

void ICObj::AssignScanNumbers(std::vector<std::uint32_t> scanNumbers) {
  scanNumbers_ = std::move(scanNumbers);
}

std::uint32_t ICObj::QScanNumber(std::uint32_t point) const {
  if (point >= scanNumbers_.size()) {
    throw std::runtime_error("Chromatogram point " + Count(point) + " has no scan number.");
  }
  return scanNumbers_[point];
}

void ICObj::AssignScanKinds(std::vector<std::uint32_t> kinds) {
  scanKinds_ = std::move(kinds);
  DropPeaks();
}

std::uint32_t ICObj::QScanKind(std::uint32_t point) const {
  if (scanKinds_.empty()) return 0;
  if (point >= scanKinds_.size()) {
    throw std::runtime_error("Chromatogram point " + Count(point) + " has no kind of scan.");
  }
  return scanKinds_[point];
}

}  // namespace WQBL
