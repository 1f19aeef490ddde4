#include <WQBL/PeakProcessing.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

#include "ChromatogramPeaks.h"
#include "NoiseBlocks.h"
#include "PeakCentre.h"
#include "Select.h"

namespace WQBL {

namespace {

using detail::NoiseBlocks;
using detail::NoiseLevel;
using detail::NoiseWindow;

// The centre of a peak is the centroid of its top: of the area between the peak, lightly smoothed
// and drawn as straight lines between its points, and the level at this fraction of the apex's
// height above the baseline. The tails of real peaks are asymmetric, and a centroid over the whole
// peak drifts into them; the few points of the top carry noise, which the smoothing damps; and
// the area, bounded where the lines cross the level, moves smoothly as the sampling does, where a
// mean over whole points jumps as a point enters or leaves the top (docs/peak-detection.md).
constexpr double kCentroidTop = 0.8;

// A peak of fewer points above the level than the minimum width is one when at least this many
// are, and its apex lies this many noise margins above the baseline.
constexpr std::uint32_t kFewestPoints = 2;
constexpr double kClearMargins = 2.0;
// The typical width at half height, in points, below which a spectrum's peaks are undersampled.
constexpr double kUndersampledWidth = 3.0;

// Two maxima closer than this share of the typical peak width are one peak.
constexpr double kSplitWidths = 0.5;
// How much of the typical peak width the values are averaged over where a valley is judged.
constexpr double kAveragedWidths = 0.25;

// Points first to last of a curve.
struct Run {
  std::size_t First;
  std::size_t Last;
};

using detail::Part;

class PeakFinder {
 public:
  PeakFinder(const Curve& curve, const PeakDetectSettings& settings)
      : curve_(curve),
        x_(curve.QXAxis()),
        y_(curve.QYValues()),
        settings_(settings),
        noise_(x_, curve.QUnsmoothedYValues(),
               NoiseWindow(curve.QUnsmoothedYValues(), settings.Noise.WindowWidth),
               settings.NoiseLag) {}

  std::vector<Peak> Find() {
    const std::size_t n = y_.size();
    std::vector<Run> runs;
    std::size_t floor = 0;
    for (std::size_t i = NextDetected(0); i < n; i = NextDetected(i + 1)) {
      std::size_t first = i;
      std::size_t last = i;
      while (last + 1 < n && Detected(last + 1)) ++last;
      while (first > floor && y_[first - 1] < y_[first] && AboveBaseline(first - 1)) --first;
      while (last + 1 < n && y_[last + 1] < y_[last] && AboveBaseline(last + 1)) ++last;
      runs.push_back({first, last});
      floor = last;
      i = last;
    }
    typicalWidth_ = TypicalWidth(runs);
    const double separation = kSplitWidths * typicalWidth_;
    for (const Run& run : runs) Split(run, separation);
    return std::move(peaks_);
  }

  std::vector<double> Levels() const {
    std::vector<double> levels(y_.size());
    for (std::size_t block = 0; block < noise_.Count(); ++block) {
      double level = DetectionLevel(noise_.OfBlock(block));
      if (settings_.Detect.UseThreshold) level = std::max(level, settings_.Threshold.Level);
      std::fill(levels.begin() + noise_.First(block), levels.begin() + noise_.End(block), level);
    }
    return levels;
  }

 private:
  double Margin(const NoiseLevel& level) const { return settings_.Noise.Factor * level.Noise; }
  double Margin(std::size_t i) const { return Margin(noise_.At(i)); }
  bool AboveBaseline(std::size_t i) const { return y_[i] > noise_.At(i).Baseline; }
  // The value a point must exceed to be detected, for the noise level of its block.
  double DetectionLevel(const NoiseLevel& level) const {
    return std::max(level.Baseline + Margin(level), noise_.Floor());
  }
  bool Detected(std::size_t i, double detectionLevel) const {
    return y_[i] > detectionLevel &&
           (!settings_.Detect.UseThreshold || y_[i] >= settings_.Threshold.Level);
  }
  bool Detected(std::size_t i) const { return Detected(i, DetectionLevel(noise_.At(i))); }

  // The first detected point from `from` on, or the number of points. Walks block by block, so
  // that the scan over all points looks up no levels.
  std::size_t NextDetected(std::size_t from) const {
    for (std::size_t block = from < y_.size() ? noise_.BlockOf(from) : noise_.Count();
         block < noise_.Count(); ++block) {
      const double level = DetectionLevel(noise_.OfBlock(block));
      const std::size_t end = noise_.End(block);
      for (std::size_t i = std::max(from, noise_.First(block)); i < end; ++i) {
        if (Detected(i, level)) return i;
      }
    }
    return y_.size();
  }

  // The median width at half height, in points, of the highest point of the runs that rise more
  // than twice the margin above their baseline; of all runs when none does; 0 without runs.
  double TypicalWidth(const std::vector<Run>& runs) const {
    std::vector<double> strong;
    std::vector<double> all;
    for (const Run& run : runs) {
      std::size_t apex = run.First;
      for (std::size_t k = run.First; k <= run.Last; ++k) {
        if (y_[k] > y_[apex]) apex = k;
      }
      const NoiseLevel& level = noise_.At(apex);
      const double half = (y_[apex] + level.Baseline) / 2.0;
      std::size_t low = apex;
      std::size_t high = apex;
      while (low > run.First && y_[low - 1] > half) --low;
      while (high < run.Last && y_[high + 1] > half) ++high;
      double width = static_cast<double>(high - low);
      // Out to where straight lines between the points cross half height.
      if (low > run.First) width += (y_[low] - half) / (y_[low] - y_[low - 1]);
      if (high < run.Last) width += (y_[high] - half) / (y_[high] - y_[high + 1]);
      all.push_back(width);
      if (y_[apex] - level.Baseline > 2.0 * Margin(level)) strong.push_back(width);
    }
    if (!strong.empty()) return detail::Median(strong);
    return all.empty() ? 0.0 : detail::Median(all);
  }

  // Splits the points of a run into peaks at every valley that lies deeper than the noise margin
  // below the maxima on both of its sides, then joins again what the noise split: parts whose
  // maxima lie closer than `separation` points, and a part that rises or falls for less than half
  // of that, which joins the neighbour across its higher valley. A run that is one part and
  // narrower than `separation` is dropped. Counting noise grows with the intensity: at the top of
  // a peak, or in the valley between two high ones, a dip between points can be deeper than the
  // margin; but the maxima either side of such a dip lie close together, or the bump it leaves
  // is a few points wide, where two peaks lie and rise about a peak width apart.
  void Split(const Run& run, double separation) {
    std::vector<Part>& parts = parts_;
    parts.clear();
    auto keep = [&](std::size_t first, std::size_t apex, std::size_t last) {
      if (!parts.empty() && static_cast<double>(apex - parts.back().Apex) < separation &&
          !RealValley(parts.back().Apex, first, apex)) {
        Part& before = parts.back();
        before.Last = last;
        if (y_[apex] > y_[before.Apex]) before.Apex = apex;
      } else {
        parts.push_back({first, apex, last});
      }
    };
    std::size_t start = run.First;
    std::size_t apex = run.First;
    std::size_t valley = run.First;
    for (std::size_t k = run.First + 1; k <= run.Last; ++k) {
      if (valley == apex) {
        if (y_[k] > y_[apex]) apex = k;
        valley = y_[k] < y_[apex] ? k : apex;
      } else if (y_[k] < y_[valley]) {
        valley = k;
      } else if (y_[k] - y_[valley] > Margin(valley) && y_[apex] - y_[valley] > Margin(valley)) {
        keep(start, apex, valley);
        start = valley;
        apex = valley = k;
      } else if (y_[k] > y_[apex]) {
        apex = valley = k;
      }
    }
    keep(start, apex, run.Last);
    bool joins = false;  // whether `pending`, a narrow part, joins the next
    Part pending;
    for (std::size_t p = 0; p < parts.size(); ++p) {
      Part part = parts[p];
      if (joins) {
        part.First = pending.First;
        if (y_[pending.Apex] > y_[part.Apex]) part.Apex = pending.Apex;
        joins = false;
      }
      const bool last = p + 1 == parts.size();
      if (parts.size() == 1) {
        // Narrower, it is a flicker of noise on a peak's tail.
        if (static_cast<double>(part.Last - part.First) >= separation) peaksOfRun_.push_back(part);
      } else if (static_cast<double>(std::min(part.Apex - part.First, part.Last - part.Apex)) >=
                     separation / 2.0 ||
                 ((p == 0 || RealValley(parts[p - 1].Apex, part.First, part.Apex)) &&
                  (last || RealValley(part.Apex, part.Last, parts[p + 1].Apex)))) {
        peaksOfRun_.push_back(part);
      } else if (!peaksOfRun_.empty() && (last || y_[part.First] >= y_[part.Last])) {
        Part& before = peaksOfRun_.back();
        before.Last = part.Last;
        if (y_[part.Apex] > y_[before.Apex]) before.Apex = part.Apex;
      } else if (!last) {
        pending = part;
        joins = true;
      } else {
        peaksOfRun_.push_back(part);
      }
    }
    SplitFlatTops();
    AddRun(peaksOfRun_);
    peaksOfRun_.clear();
  }

  // Whether the valley at point v between the maxima a and b is more than noise: deeper, on the
  // averaged values, than the noise margin at the lower maximum's height, where the counts'
  // own noise adds to the baseline's (a count is the values' quantum). Such a dip parts two peaks
  // however close they lie, where the rules of the typical width would join them: at an ion
  // trap's three or four points a peak, isotopes half a width apart dip by a sixth between tops.
  bool RealValley(std::size_t a, std::size_t v, std::size_t b) const {
    const double baseline = noise_.At(v).Baseline;
    const double lower = std::min(Averaged(a), Averaged(b));
    const double noise = noise_.At(v).Noise;
    const double counting =
        std::sqrt(noise * noise + std::max(lower - baseline, 0.0) * noise_.Quantum());
    return lower - Averaged(v) > settings_.Noise.Factor * counting;
  }

  // The mean of the values within kAveragedWidths of the typical peak width around point k: finer
  // sampling adds points to a peak, not detail, and averaging them keeps the noise of one point
  // from making a valley; a peak a few points wide keeps its points as they are.
  double Averaged(std::size_t k) const {
    const auto half = static_cast<std::size_t>(kAveragedWidths * typicalWidth_ / 2.0);
    const std::size_t first = k > half ? k - half : 0;
    const std::size_t last = std::min(k + half, y_.size() - 1);
    double sum = 0.0;
    for (std::size_t i = first; i <= last; ++i) sum += y_[i];
    return sum / static_cast<double>(last - first + 1);
  }

  double Smoothed(std::size_t k) const { return detail::Smoothed(y_, k); }

  // The centroid, as a fractional index, of the area between the smoothed values of the part's
  // points and the level kCentroidTop of the smoothed apex's height above the baseline.
  double TopCentroid(const Part& part) const {
    std::size_t top = part.Apex;  // smoothing may move the apex to a neighbour
    while (top > part.First && Smoothed(top - 1) > Smoothed(top)) --top;
    while (top < part.Last && Smoothed(top + 1) > Smoothed(top)) ++top;
    const double baseline = noise_.At(part.Apex).Baseline;
    return detail::AreaCentroid([this](std::size_t k) { return Smoothed(k); },
                                baseline + kCentroidTop * (Smoothed(top) - baseline), part.First,
                                top, part.Last);
  }

  // The part's highest point from first to last.
  std::size_t Highest(std::size_t first, std::size_t last) const {
    return static_cast<std::size_t>(std::max_element(y_.begin() + first, y_.begin() + last + 1) -
                                    y_.begin());
  }

  // Parts whose top is flatter than a single peak's are two peaks, parted in the top's middle.
  void SplitFlatTops() {
    parts_.clear();
    for (const Part& part : peaksOfRun_) {
      const NoiseLevel& level = noise_.At(part.Apex);
      const std::size_t middle =
          detail::FlatTopMiddle(y_, part, {level.Baseline, level.Noise, noise_.Quantum()});
      if (middle == 0) {
        parts_.push_back(part);
        continue;
      }
      parts_.push_back({part.First, Highest(part.First, middle), middle});
      parts_.push_back({middle, Highest(middle, part.Last), part.Last});
    }
    std::swap(parts_, peaksOfRun_);
  }

  // Whether the parts p and p + 1 of a run meet at a valley above the level at which the lower
  // one's top is cut for its centroid: its top would end at the valley, not at its own flank.
  bool Overlapping(const std::vector<Part>& parts, std::size_t p) const {
    if (p + 1 >= parts.size() || parts[p].Last != parts[p + 1].First) return false;
    const double baseline = noise_.At(parts[p].Last).Baseline;
    const double lower = std::min(Smoothed(parts[p].Apex), Smoothed(parts[p + 1].Apex));
    return Smoothed(parts[p].Last) - baseline > kCentroidTop * (lower - baseline);
  }

  // Whether the part's flank at point `end` falls below half its top: a pair of peaks stands
  // clear of what lies beside it, not on a continuum of bumps.
  bool FallsAt(const Part& part, std::size_t end) const {
    const double baseline = noise_.At(part.Apex).Baseline;
    return Smoothed(end) - baseline < 0.5 * (Smoothed(part.Apex) - baseline);
  }

  // Adds the peaks of a run. Two neighbours that overlap, and no others, whose far flanks fall,
  // are centred each on what remains when the other's share is taken away.
  void AddRun(const std::vector<Part>& parts) {
    for (std::size_t p = 0; p < parts.size(); ++p) {
      if (Overlapping(parts, p) && !(p > 0 && Overlapping(parts, p - 1)) &&
          !Overlapping(parts, p + 1) && FallsAt(parts[p], parts[p].First) &&
          FallsAt(parts[p + 1], parts[p + 1].Last)) {
        const Part& a = parts[p];
        const Part& b = parts[p + 1];
        const double first = TopCentroid(a);
        const double second = TopCentroid(b);
        auto [left, right] = detail::NeighbourCentres(y_, a, b, noise_.At(a.Last).Baseline,
                                                      kCentroidTop, first, second);
        // Each stays within its own points, or the tops' centroids hold.
        if (!(left >= static_cast<double>(a.First) && left < static_cast<double>(a.Last) &&
              right > static_cast<double>(b.First) && right <= static_cast<double>(b.Last))) {
          left = first;
          right = second;
        }
        Add(a, left);
        Add(b, right);
        ++p;
      } else {
        Add(parts[p], std::nullopt);
      }
    }
  }

  // Whether a peak of fewer detected points than the minimum width is still one: where the
  // spectrum's peaks are sampled by few points (unit resolution at a coarse step), one or two may
  // lie above the level. When its apex rises well clear of the noise it is a peak, and so it is
  // when the apex and its neighbours together rise above the margin of the noise of their sum, a
  // neighbour above the noise: the counts of a peak spread over its points. A lone point is a
  // spike, and so are two in a spectrum whose peaks are wider.
  bool Undersampled(std::size_t apex, std::uint32_t detectedPoints) const {
    if (typicalWidth_ >= kUndersampledWidth || apex == 0 || apex + 1 == y_.size()) return false;
    const NoiseLevel& level = noise_.At(apex);
    const double before = y_[apex - 1] - level.Baseline;
    const double after = y_[apex + 1] - level.Baseline;
    const double top = y_[apex] - level.Baseline;
    if (detectedPoints >= kFewestPoints && top > kClearMargins * Margin(level)) return true;
    return std::max(before, after) > level.Noise &&
           before + top + after > std::sqrt(3.0) * Margin(level);
  }

  // Adds the part as a peak, centred at `centre` (a fractional index) or its top's centroid.
  void Add(const Part& part, std::optional<double> centre) {
    const auto [start, apex, end] = part;
    std::uint32_t detectedPoints = 0;
    double area = 0.0;
    double previousWeight = 0.0;
    for (std::size_t k = start; k <= end; ++k) {
      const NoiseLevel& level = noise_.At(k);
      if (Detected(k, DetectionLevel(level))) ++detectedPoints;
      const double weight = std::max(y_[k] - level.Baseline, 0.0);
      if (k > start) area += (x_[k] - x_[k - 1]) * (weight + previousWeight) / 2.0;
      previousWeight = weight;
    }
    if (detectedPoints < settings_.Detect.MinPeakWidth && !Undersampled(apex, detectedPoints)) {
      return;
    }
    const double centroid = centre ? *centre : TopCentroid(part);
    const double centroidAmplitude = curve_.FractionalIndexToYVal(centroid);
    if (y_[apex] <= 0.0 || centroidAmplitude <= 0.0) return;  // no signal, whatever the baseline
    Peak peak;
    peak.StartIndex = static_cast<std::uint32_t>(start);
    peak.ApexIndex = static_cast<std::uint32_t>(apex);
    peak.EndIndex = static_cast<std::uint32_t>(end);
    peak.Amplitude = y_[apex];
    peak.CentroidIndex = centroid;
    peak.CentroidAmplitude = centroidAmplitude;
    peak.Area = area;
    peaks_.push_back(peak);
  }

  const Curve& curve_;
  const std::vector<double>& x_;
  const std::vector<double>& y_;
  const PeakDetectSettings& settings_;
  const NoiseBlocks noise_;
  std::vector<Peak> peaks_;
  double typicalWidth_ = 0.0;  // of the spectrum's peaks at half height, in points
  // Scratch of Split.
  std::vector<Part> parts_;
  std::vector<Part> peaksOfRun_;
};

// Assigns the curve the peaks that `find` gives, or says why the curve cannot be searched.
template <typename Find>
bool Detect(Curve& curve, Changed& changed, std::wstring& message, Find find) {
  if (!curve.CheckAllStatus(Curve::XAssigned | Curve::YAssigned)) {
    message = L"The curve needs an x axis and y values for peak detection.";
    return false;
  }
  curve.AssignPeaks(find());
  changed.Peaks = true;
  return true;
}

}  // namespace

bool ExecutePeakDetect(Curve& curve, Changed& changed, std::wstring& message,
                       const PeakDetectSettings& settings) {
  return Detect(curve, changed, message, [&] { return PeakFinder(curve, settings).Find(); });
}

std::vector<double> QDetectionLevels(const Curve& curve, const PeakDetectSettings& settings) {
  return PeakFinder(curve, settings).Levels();
}

bool ExecutePeakDetect(Spectrum& spectrum, Changed& changed, std::wstring& message) {
  return ExecutePeakDetect(spectrum, changed, message, PeakDetectSettings::DefaultMS());
}

bool ExecutePeakDetect(ICObj& chromatogram, Changed& changed, std::wstring& message) {
  return Detect(chromatogram, changed, message, [&] {
    return detail::FindChromatogramPeaks(chromatogram, PeakDetectSettings::DefaultIC());
  });
}

}  // namespace WQBL
