#include <WQBL/PeakProcessing.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numeric>
#include <stdexcept>
#include <vector>

#include "Select.h"

namespace WQBL {

namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

double Share(std::size_t part, std::size_t whole) {
  return whole == 0 ? 0.0 : static_cast<double>(part) / static_cast<double>(whole);
}

// The one-to-one matching of two ascending lists, nearest pair first, within `wide`.
struct Matching {
  Matching(const std::vector<double>& foundX, const std::vector<double>& referenceX, double wide)
      : ofFound(foundX.size(), kNone), ofReference(referenceX.size(), kNone) {
    struct Pair {
      double Distance;
      std::size_t Found;
      std::size_t Reference;
    };
    std::vector<Pair> pairs;
    std::size_t low = 0;
    for (std::size_t r = 0; r < referenceX.size(); ++r) {
      while (low < foundX.size() && foundX[low] < referenceX[r] - wide) {
        ++low;
      }
      for (std::size_t f = low; f < foundX.size() && foundX[f] <= referenceX[r] + wide; ++f) {
        pairs.push_back({std::fabs(foundX[f] - referenceX[r]), f, r});
      }
    }
    std::stable_sort(pairs.begin(), pairs.end(),
                     [](const Pair& a, const Pair& b) { return a.Distance < b.Distance; });
    for (const Pair& pair : pairs) {
      if (ofFound[pair.Found] != kNone || ofReference[pair.Reference] != kNone) continue;
      ofFound[pair.Found] = pair.Reference;
      ofReference[pair.Reference] = pair.Found;
    }
  }

  std::vector<std::size_t> ofFound;
  std::vector<std::size_t> ofReference;
};

// The index of the value of the ascending `values` nearest to `x`; `values` is not empty.
std::size_t Nearest(const std::vector<double>& values, double x) {
  const std::size_t above = std::lower_bound(values.begin(), values.end(), x) - values.begin();
  if (above == values.size()) return above - 1;
  if (above == 0) return 0;
  return x - values[above - 1] <= values[above] - x ? above - 1 : above;
}

}  // namespace

PeakListComparison::PeakListComparison(double narrow, double wide) : narrow_(narrow), wide_(wide) {
  if (!(narrow > 0.0 && narrow <= wide)) {
    throw std::invalid_argument("Peak lists are compared within tolerances 0 < narrow <= wide.");
  }
}

void PeakListComparison::Add(const std::vector<double>& foundX,
                             const std::vector<double>& foundHeight,
                             const std::vector<double>& referenceX,
                             const std::vector<double>& referenceHeight) {
  if (foundX.size() != foundHeight.size() || referenceX.size() != referenceHeight.size()) {
    throw std::invalid_argument("Peak lists to compare need a height for each position.");
  }
  reference_ += referenceX.size();
  found_ += foundX.size();
  if (referenceX.empty()) return;
  const Matching matching(foundX, referenceX, wide_);
  auto narrow = [&](std::size_t f, std::size_t r) {
    return std::fabs(foundX[f] - referenceX[r]) <= narrow_;
  };
  for (std::size_t f = 0; f < foundX.size(); ++f) {
    const std::size_t r = matching.ofFound[f];
    if (r != kNone && narrow(f, r)) ++foundMatched_;
  }
  // The reference peaks in order of falling intensity.
  std::vector<std::size_t> order(referenceX.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return referenceHeight[a] > referenceHeight[b];
  });
  const std::size_t top10 = std::max<std::size_t>(1, (order.size() + 9) / 10);
  const std::size_t top50 = std::max<std::size_t>(1, (order.size() + 1) / 2);
  top10_ += top10;
  top50_ += top50;
  for (std::size_t k = 0; k < order.size(); ++k) {
    const std::size_t f = matching.ofReference[order[k]];
    if (f == kNone) continue;
    if (k < top50) differences_.push_back(foundX[f] - referenceX[order[k]]);
    if (!narrow(f, order[k])) continue;
    ++matched_;
    if (k < top10) ++top10Matched_;
    if (k < top50) ++top50Matched_;
  }
  const double floor = referenceHeight[order[top50 - 1]];
  std::vector<bool> split(referenceX.size(), false);
  for (std::size_t f = 0; f < foundX.size(); ++f) {
    const std::size_t r = matching.ofFound[f];
    if (r == kNone) {
      const std::size_t nearest = Nearest(referenceX, foundX[f]);
      if (matching.ofReference[nearest] != kNone &&
          std::fabs(foundX[f] - referenceX[nearest]) <= wide_) {
        split[nearest] = true;
      }
    }
    if (foundHeight[f] < floor) continue;
    ++strong_;
    if (r == kNone) continue;
    ++strongWide_;
    if (narrow(f, r)) ++strongNarrow_;
  }
  split_ += static_cast<std::size_t>(std::count(split.begin(), split.end(), true));
}

PeakListAgreement PeakListComparison::Agreement() const {
  PeakListAgreement agreement;
  agreement.ReferencePeaks = reference_;
  agreement.FoundPeaks = found_;
  agreement.Recall = Share(matched_, reference_);
  agreement.RecallTop10 = Share(top10Matched_, top10_);
  agreement.RecallTop50 = Share(top50Matched_, top50_);
  agreement.Precision = Share(foundMatched_, found_);
  agreement.PrecisionNarrow = Share(strongNarrow_, strong_);
  agreement.PrecisionWide = Share(strongWide_, strong_);
  agreement.SplitPeaks = split_;
  if (!differences_.empty()) {
    std::vector<double> signedDifferences = differences_;
    std::vector<double> absolute;
    for (double difference : differences_) absolute.push_back(std::fabs(difference));
    agreement.MedianAbsoluteDifference = detail::Median(absolute);
    agreement.MedianSignedDifference = detail::Median(signedDifferences);
  }
  return agreement;
}

PeakListAgreement ComparePeakLists(const std::vector<double>& foundX,
                                   const std::vector<double>& foundHeight,
                                   const std::vector<double>& referenceX,
                                   const std::vector<double>& referenceHeight) {
  PeakListComparison comparison;
  comparison.Add(foundX, foundHeight, referenceX, referenceHeight);
  return comparison.Agreement();
}

}  // namespace WQBL
