#include <WQBL/Tune.h>
#include <gmock/gmock.h>

#include "SerialTesting.h"

namespace WQBL {
namespace {

// Every parameter and the polarity away from the factory settings.
Sample<Tune> SampleTune() {
  Tune tune;
  double step = 0.5;
  for (double Tune::*parameter :
       {&Tune::CapillaryVoltage, &Tune::ConeVoltage, &Tune::ExtractorVoltage, &Tune::RFLensVoltage,
        &Tune::SourceTemperature, &Tune::DesolvationTemperature, &Tune::ConeGasFlow,
        &Tune::DesolvationGasFlow, &Tune::LowMassResolution, &Tune::HighMassResolution}) {
    tune.*parameter += step++;
  }
  tune.Polarity = WQCommon::Negative;
  return {tune, "Tune"};
}

TEST(Tune, ReadsBackWhatItWroteAsVersionTenDoublesAndPolarity) {
  EXPECT_EQ(BytesOf(SampleTune().Value).size(), 4u + 10 * 8 + 4);
  ExpectReadsBack(SampleTune());
}

TEST(Tune, UnknownRecordVersionIsRefusedAndLeavesTheTune) {
  ExpectUnknownVersionRefused(SampleTune());
}

TEST(Tune, TruncatedRecordIsRefusedAtEveryLengthAndLeavesTheTune) {
  ExpectEveryTruncationRefused(SampleTune());
}

}  // namespace
}  // namespace WQBL
