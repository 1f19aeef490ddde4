#include <WQBL/PeakProcessing.h>
#include <WQDataFile/DataFile.h>
#include <gmock/gmock.h>

namespace WQDataFile {
namespace {

// One to one, nearest pair first: the reference peak at 100.01 takes the found peak at 100.0, not
// the one at 100.05, which stays unmatched; 200.35 is beyond the wide tolerance of 200.2. The top
// half of the reference is the peak at 100.01, so only found peaks of 60 or more count for
// precision, and the differences are those of that one pair.
TEST(PeakListAgreement, PairsAreMatchedOneToOneNearestFirst) {
  const WQBL::PeakListAgreement agreement = WQBL::ComparePeakLists(
      {100.0, 100.05, 200.35, 300.0}, {70.0, 65.0, 62.0, 1.0}, {100.01, 200.2}, {60.0, 20.0});
  EXPECT_EQ(agreement.FoundPeaks, 4u);
  EXPECT_EQ(agreement.ReferencePeaks, 2u);
  EXPECT_DOUBLE_EQ(agreement.RecallTop10, 1.0);
  EXPECT_DOUBLE_EQ(agreement.RecallTop50, 1.0);
  EXPECT_DOUBLE_EQ(agreement.PrecisionNarrow, 1.0 / 3.0);
  EXPECT_DOUBLE_EQ(agreement.PrecisionWide, 1.0 / 3.0);
  EXPECT_NEAR(agreement.MedianSignedDifference, -0.01, 1e-12);
  EXPECT_NEAR(agreement.MedianAbsoluteDifference, 0.01, 1e-12);
}

}  // namespace
}  // namespace WQDataFile
