#include <WQBL/CurveEval.h>
#include <WQBL/Method.h>
#include <WQBL/ProcessingParams.h>
#include <WQBL/Ranges.h>
#include <WQBL/Tune.h>
#include <gmock/gmock.h>

#include <tuple>

#include "SerialTesting.h"

namespace WQBL {
namespace {

// One sample of each stored record: the spectrum default where the record has one.
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
  ICFilter filter;
  filter.Function = 3;
  filter.Polarity = ICFilter::NegativeOnly;
  Method method;
  method.TimePeriods.resize(1);
  method.Tunes[7] = TuneEntry(L"Caffeine ESI+", WQCommon::Probes::ESI, WQCommon::Positive);
  Tune tune;
  tune.ConeVoltage += 1.5;
  return std::make_tuple(
      Sample{BaselineParams::DefaultMS(), "BaselineParams"},
      Sample{NoiseParams::DefaultMS(), "NoiseParams"},
      Sample{PeakDetectParams::DefaultMS(), "PeakDetectParams"},
      Sample{SmoothParams::DefaultMS(), "SmoothParams"}, Sample{threshold, "ThresholdParams"},
      Sample{OPDParams::DefaultMS(), "OPDParams"}, Sample{ramp, "RampAlgorithmParams"},
      Sample{charge, "ChargeStateParams"}, Sample{threading, "AppThreadingParams"},
      Sample{MZRange(MZRange::Bounded, 0.1, 0.2), "MZRange"}, Sample{ICRange(0.5, 1.5), "ICRange"},
      Sample{filter, "ICFilter"}, Sample{MZPeakField(MZPeakField::Width), "MZPeakField"},
      Sample{CurveEval(BaselineParams()), "CurveEval"}, Sample{method, "Method"},
      Sample{tune, "Tune"});
}

TEST(Records, OtherRecordVersionOrCutRecordIsRefusedAndTheValueKept) {
  ForEachSample(Samples(), [](const auto& sample) { ExpectOtherVersionAndCutRefused(sample); });
}

TEST(ProcessingParams, OnlyTheSpectrumPeakDetectionUsesTheThreshold) {
  EXPECT_TRUE(PeakDetectParams::DefaultMS().UseThreshold);
  EXPECT_FALSE(PeakDetectParams::DefaultIC().UseThreshold);
  EXPECT_FALSE(PeakDetectParams().UseThreshold);
}

}  // namespace
}  // namespace WQBL
