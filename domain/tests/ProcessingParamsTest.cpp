#include <WQBL/ProcessingParams.h>
#include <gmock/gmock.h>

#include <tuple>

#include "SerialTesting.h"

namespace WQBL {
namespace {

// One sample of each record: the spectrum default where the record has one.
auto Samples() {
  ThresholdParams threshold;
  threshold.Level = 1234.5;
  RampAlgorithmParams ramp;
  ramp.Algorithm = RampAlgorithmParams::Stepped;
  ramp.Steps = 4;
  ChargeStateParams charge;
  charge.MinCharge = 2;
  charge.MaxCharge = 60;
  charge.MassTolerance = 0.05;
  AppThreadingParams threading;
  threading.Enabled = false;
  threading.ThreadCount = 8;
  return std::make_tuple(
      Sample{BaselineParams::DefaultMS(), "BaselineParams"},
      Sample{NoiseParams::DefaultMS(), "NoiseParams"},
      Sample{PeakDetectParams::DefaultMS(), "PeakDetectParams"},
      Sample{SmoothParams::DefaultMS(), "SmoothParams"}, Sample{threshold, "ThresholdParams"},
      Sample{OPDParams::DefaultMS(), "OPDParams"}, Sample{ramp, "RampAlgorithmParams"},
      Sample{charge, "ChargeStateParams"}, Sample{threading, "AppThreadingParams"});
}

TEST(ProcessingParams, OtherRecordVersionOrCutRecordIsRefusedAndTheRecordKept) {
  ForEachSample(Samples(), [](const auto& sample) { ExpectOtherVersionAndCutRefused(sample); });
}

TEST(ProcessingParams, OnlyTheSpectrumPeakDetectionUsesTheThreshold) {
  EXPECT_TRUE(PeakDetectParams::DefaultMS().UseThreshold);
  EXPECT_FALSE(PeakDetectParams::DefaultIC().UseThreshold);
  EXPECT_FALSE(PeakDetectParams().UseThreshold);
}

}  // namespace
}  // namespace WQBL
