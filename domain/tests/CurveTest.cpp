#include <WQBL/Curve.h>
#include <WQBL/ICObj.h>
#include <gmock/gmock.h>

#include <stdexcept>

namespace WQBL {
namespace {

using ::testing::ElementsAre;
using ::testing::ThrowsMessage;

Curve CurveOf(std::vector<double> x, std::vector<double> y) {
  Curve curve;
  curve.AssignXAxis(std::move(x));
  curve.AssignYValues(std::move(y));
  return curve;
}

TEST(Curve, FractionalIndexInterpolatesLinearlyIsExactAtWholeIndicesAndStaysWithinTheCurve) {
  // Values that a blend with a zero weight of the neighbour would not reproduce bit for bit.
  const Curve curve = CurveOf({0.1, 0.7, 1.0 / 3.0}, {0.0, 10.0, 40.0});
  EXPECT_EQ(curve.FractionalIndexToXAxisVal(0.0), 0.1);
  EXPECT_EQ(curve.FractionalIndexToXAxisVal(2.0), 1.0 / 3.0);
  EXPECT_DOUBLE_EQ(curve.FractionalIndexToYVal(1.5), 25.0);
  EXPECT_THAT([&] { curve.FractionalIndexToXAxisVal(2.5); },
              ThrowsMessage<std::runtime_error>("Index 2.500000 lies outside the 3 x values of "
                                                "the curve."));
  EXPECT_THROW(curve.FractionalIndexToXAxisVal(-0.1), std::runtime_error);
  EXPECT_THROW(Curve().FractionalIndexToXAxisVal(0.0), std::runtime_error);
}

TEST(Curve, PeaksGiveTheLargestByAmplitudeAndByAreaAndTheirStatus) {
  Curve curve = CurveOf({1, 2, 3, 4, 5, 6}, {0, 9, 0, 5, 5, 0});
  // The higher peak has the smaller area.
  curve.AssignPeaks({Peak{0, 1, 2, 9.0, 0.0, 0.0, 9.0}, Peak{2, 3, 5, 5.0, 0.0, 0.0, 12.0}});
  EXPECT_EQ(curve.QMaxAmplitudePeak(), 0);
  EXPECT_EQ(curve.QMaxAreaPeak(), 1);
  EXPECT_TRUE(curve.CheckAllStatus(Curve::PeaksDetected | 3));
  // New values invalidate the peaks found on the old ones.
  curve.AssignYValues({0, 1, 2, 3, 4, 5});
  EXPECT_TRUE(curve.QPeaks().empty());
  EXPECT_FALSE(curve.CheckAllStatus(Curve::PeaksDetected));
  EXPECT_EQ(curve.QMaxAmplitudePeak(), -1);
}

TEST(Curve, AxesOfDifferentLengthsOrPeaksOutOfOrderOrBeyondTheCurveAreRefused) {
  Curve curve = CurveOf({1.0, 2.0, 3.0}, {4.0, 5.0, 6.0});
  const std::vector<double> shorter = {1.0, 2.0};
  EXPECT_THAT([&] { curve.AssignYValues(shorter); },
              ThrowsMessage<std::runtime_error>("Curve has 3 x values but 2 y values."));
  EXPECT_THAT(curve.QYValues(), ElementsAre(4.0, 5.0, 6.0));
  const std::vector<Peak> beyond = {Peak{0, 1, 2}, Peak{1, 3, 3}};
  EXPECT_THAT([&] { curve.AssignPeaks(beyond); },
              ThrowsMessage<std::runtime_error>(
                  "Peak 1 does not lie in order within the 3 points of the curve."));
  EXPECT_THROW(curve.AssignPeaks({Peak{2, 1, 2}}), std::runtime_error);
  EXPECT_FALSE(curve.CheckAllStatus(Curve::PeaksDetected));
}

TEST(ICObj, PointWithoutScanNumberIsRefused) {
  ICObj chromatogram;
  chromatogram.AssignScanNumbers({7, 8});
  EXPECT_EQ(chromatogram.QScanNumber(1), 8u);
  EXPECT_THAT([&] { chromatogram.QScanNumber(2); },
              ThrowsMessage<std::runtime_error>("Chromatogram point 2 has no scan number."));
}

}  // namespace
}  // namespace WQBL
