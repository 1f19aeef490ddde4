#include <WQBL/CurveEval.h>
#include <WQBL/Method.h>
#include <WQBL/ProcessingParams.h>
#include <WQBL/Ranges.h>
#include <WQBL/Tune.h>
#include <WQCommon/Text.h>
#include <gmock/gmock.h>

#include <string>
#include <tuple>
#include <vector>

#include "SerialTesting.h"

namespace WQBL {
namespace {

using ::testing::ThrowsMessage;

// Doubles that no short decimal form holds exactly.
auto RangeSamples() {
  ICFilter filter;
  filter.Function = 3;
  filter.Polarity = ICFilter::NegativeOnly;
  return std::make_tuple(Sample{MZRange(MZRange::Bounded, 0.1, 1999.0 / 3.0), "MZRange"},
                         Sample{ICRange(1.0 / 3.0, 12.7), "ICRange"}, Sample{filter, "ICFilter"},
                         Sample{MZPeakField(MZPeakField::Width), "MZPeakField"});
}

TEST(Ranges, EveryValueReadsBackExactlyFromItsXmlFormAndAMissingElementIsNamed) {
  ForEachSample(RangeSamples(), [](const auto& sample) {
    auto read = decltype(sample.Value)();
    ReadXml(XmlOf(sample.Value), read);
    EXPECT_TRUE(read == sample.Value) << sample.Name;
    ExpectMissingElement(L"<Top/>", read, WQCommon::WQNarrowToWideStr(sample.Name));
  });
}

TEST(MZRangeXml, FieldThatIsNoNumberIsRefusedQuotingItsText) {
  const std::wstring xml = XmlOf(MZRange(MZRange::Bounded, 5.0, 6.0));
  MZRange read;
  EXPECT_THAT([&] { ReadXml(Replaced(xml, L">5<", L">5x<"), read); },
              ThrowsMessage<std::runtime_error>("Invalid number \"5x\" in MZRange."));
  EXPECT_TRUE(read == MZRange());
}

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
  Method method;
  method.TimePeriods.resize(1);
  method.Tunes[7] = TuneEntry(L"Caffeine ESI+", WQCommon::Probes::ESI, WQCommon::Positive);
  Tune tune;
  tune.ConeVoltage += 1.5;
  return std::tuple_cat(
      RangeSamples(),
      std::make_tuple(
          Sample{BaselineParams::DefaultMS(), "BaselineParams"},
          Sample{NoiseParams::DefaultMS(), "NoiseParams"},
          Sample{PeakDetectParams::DefaultMS(), "PeakDetectParams"},
          Sample{SmoothParams::DefaultMS(), "SmoothParams"}, Sample{threshold, "ThresholdParams"},
          Sample{OPDParams::DefaultMS(), "OPDParams"}, Sample{ramp, "RampAlgorithmParams"},
          Sample{charge, "ChargeStateParams"}, Sample{threading, "AppThreadingParams"},
          Sample{CurveEval(BaselineParams()), "CurveEval"}, Sample{method, "Method"},
          Sample{tune, "Tune"}));
}

TEST(Records, OtherRecordVersionOrCutRecordIsRefusedAndTheValueKept) {
  ForEachSample(Samples(), [](const auto& sample) { ExpectOtherVersionAndCutRefused(sample); });
}

TEST(ProcessingParams, OnlyTheSpectrumPeakDetectionUsesTheThreshold) {
  EXPECT_TRUE(PeakDetectParams::DefaultMS().UseThreshold);
  EXPECT_FALSE(PeakDetectParams::DefaultIC().UseThreshold);
  EXPECT_FALSE(PeakDetectParams().UseThreshold);
}

// One step of every kind, in the order of the kinds, each with parameters unlike the defaults.
std::vector<CurveEval> StepsOfEveryKind() {
  ThresholdParams threshold;
  threshold.Level = 250.5;
  return {CurveEval(), CurveEval(BaselineParams::DefaultMS()), CurveEval(NoiseParams::DefaultIC()),
          CurveEval(threshold), CurveEval(PeakDetectParams::DefaultMS())};
}

TEST(CurveEval, EveryKindReadsBackFromItsXmlForm) {
  for (const CurveEval& written : StepsOfEveryKind()) {
    CurveEval fromXml{ThresholdParams()};
    ReadXml(XmlOf(written), fromXml);
    EXPECT_TRUE(fromXml == written) << written.QKind();
  }
}

TEST(CurveEval, UnknownKindIsRefusedAndTheStepKept) {
  std::string bytes = BytesOf(CurveEval(BaselineParams()));
  bytes[4] = 5;
  CurveEval read;
  EXPECT_THAT([&] { ReadFrom(bytes, read); },
              ThrowsMessage<std::runtime_error>("Unknown CurveEval kind."));
  const std::wstring xml = XmlOf(CurveEval(NoiseParams()));
  EXPECT_THAT([&] { ReadXml(Replaced(xml, L">Noise<", L">Smooth<"), read); },
              ThrowsMessage<std::runtime_error>("Unknown CurveEval kind."));
  EXPECT_TRUE(read == CurveEval());
}

TEST(CurveEval, XmlParametersThatAreNoRecordOfTheKindAreRefused) {
  const std::wstring xml = XmlOf(CurveEval(ThresholdParams()));
  // The record version and the level: twelve bytes.
  const std::wstring hex = xml.substr(xml.find(L"<Params>") + 8, 24);
  CurveEval read;
  for (const std::wstring& bad :
       {hex + L"0", hex.substr(0, 4) + L"zz" + hex.substr(6), hex + L"00"}) {
    EXPECT_THAT([&] { ReadXml(Replaced(xml, hex, bad), read); },
                ThrowsMessage<std::runtime_error>("Invalid CurveEval parameters."));
  }
  EXPECT_THROW(ReadXml(Replaced(xml, L">Threshold<", L">Noise<"), read), WQCommon::StreamError);
  EXPECT_TRUE(read == CurveEval());
}

TEST(CurveEval, MissingXmlElementIsReportedByName) {
  CurveEval read;
  ExpectMissingElement(L"<Top/>", read, L"CurveEval");
  ExpectMissingElement(L"<Top><CurveEval><Kind>Noise</Kind></CurveEval></Top>", read, L"Params");
}

}  // namespace
}  // namespace WQBL
