#include <WQBL/CurveEval.h>
#include <WQBL/Method.h>
#include <WQBL/MethodRules.h>
#include <WQBL/ProcessingParams.h>
#include <WQBL/Ranges.h>
#include <WQBL/Tune.h>
#include <WQCommon/Binary.h>
#include <gmock/gmock.h>

#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <type_traits>

namespace WQBL {
namespace {

using ::testing::ThrowsMessage;

std::string BytesOf(const WQCommon::IWQSerial& record) {
  std::ostringstream stream;
  WQCommon::BinaryWriter writer(stream);
  writer << record;
  return stream.str();
}

void ReadFrom(const std::string& bytes, WQCommon::IWQSerial& record) {
  std::istringstream stream(bytes);
  WQCommon::BinaryReader reader(stream);
  reader >> record;
}

// A record unlike its default-constructed value in every field, and the record's name in its
// messages.
template <typename Record>
struct Sample {
  Record Value;
  std::string Name;
};
template <typename Record>
Sample(Record, const char*) -> Sample<Record>;

template <typename Samples, typename Check>
void ForEachSample(const Samples& samples, Check check) {
  std::apply([&](const auto&... sample) { (check(sample), ...); }, samples);
}

Method SampleMethod() {
  SequenceItem scan;
  std::tie(scan.StartMZ, scan.EndMZ, scan.DwellTime, scan.Duration, scan.Polarity, scan.TuneId) =
      std::make_tuple(150.0, 800.5, 0.002, 0.75, WQCommon::Negative, 2u);
  TimePeriod first;
  std::tie(first.Duration, first.NumLoops, first.Timeout) = std::make_tuple(2.5, 3u, 40u);
  first.Items = {scan, SequenceItem()};
  Method method;
  method.TimePeriods = {first, TimePeriod()};
  method.Tunes[7] = TuneEntry(L"Caffeine ESI+", WQCommon::Probes::ESI, WQCommon::Positive);
  method.Tunes[2] = TuneEntry(L"N\u00e9gatif", WQCommon::Probes::APCI, WQCommon::Negative);
  return method;
}

// One sample of each stored record: the spectrum default where the record has one.
auto Samples() {
  ICFilter filter;
  filter.Function = 3;
  filter.Polarity = ICFilter::NegativeOnly;
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
  Tune tune;
  tune.ConeVoltage += 1.5;
  return std::make_tuple(
      Sample{MZRange(MZRange::Bounded, 0.1, 700.5), "MZRange"},
      Sample{ICRange(0.5, 12.7), "ICRange"}, Sample{filter, "ICFilter"},
      Sample{MZPeakField(MZPeakField::Width), "MZPeakField"},
      Sample{BaselineParams::DefaultMS(), "BaselineParams"},
      Sample{NoiseParams::DefaultMS(), "NoiseParams"},
      Sample{PeakDetectParams::DefaultMS(), "PeakDetectParams"},
      Sample{SmoothParams::DefaultMS(), "SmoothParams"}, Sample{threshold, "ThresholdParams"},
      Sample{OPDParams::DefaultMS(), "OPDParams"}, Sample{ramp, "RampAlgorithmParams"},
      Sample{charge, "ChargeStateParams"}, Sample{threading, "AppThreadingParams"},
      Sample{CurveEval(BaselineParams()), "CurveEval"}, Sample{SampleMethod(), "Method"},
      Sample{tune, "Tune"});
}

TEST(Records, OtherRecordVersionCutRecordOrUnknownCurveEvalKindIsRefusedAndTheValueKept) {
  ForEachSample(Samples(), [](const auto& sample) {
    using Record = std::decay_t<decltype(sample.Value)>;
    const std::string bytes = BytesOf(Record());
    ASSERT_FALSE(sample.Value == Record()) << sample.Name;
    Record read = sample.Value;
    EXPECT_THAT([&] { ReadFrom(std::string(1, '\x02') + bytes.substr(1), read); },
                ThrowsMessage<std::runtime_error>("Unknown " + sample.Name + " version."));
    EXPECT_THROW(ReadFrom(bytes.substr(0, bytes.size() - 1), read), WQCommon::StreamError)
        << sample.Name;
    EXPECT_TRUE(read == sample.Value) << sample.Name;
  });
  std::string bytes = BytesOf(CurveEval(BaselineParams()));
  bytes[4] = 5;  // the kind, after the record version
  CurveEval read;
  EXPECT_THAT([&] { ReadFrom(bytes, read); },
              ThrowsMessage<std::runtime_error>("Unknown CurveEval kind."));
}

TEST(Method, CountLargerThanTheStreamOrATuneIdNamedTwiceIsRefused) {
  Method method;
  EXPECT_THROW(ReadFrom(std::string("\x01\0\0\0\xff\xff\xff\xff", 8), method),
               WQCommon::StreamError);
  std::string bytes = BytesOf(SampleMethod());
  bytes.replace(4 + 4 + 16, 4, "\xff\xff\xff\x7f");  // item count of the first time period
  EXPECT_THROW(ReadFrom(bytes, method), WQCommon::StreamError);
  std::ostringstream out;
  WQCommon::BinaryWriter writer(out);
  writer << std::uint32_t{1} << std::uint32_t{0} << std::uint32_t{2};
  for (int entry = 0; entry < 2; ++entry)
    writer << std::uint32_t{3} << std::wstring(L"T") << std::int32_t{0} << std::int32_t{0};
  EXPECT_THAT([&] { ReadFrom(out.str(), method); },
              ThrowsMessage<std::runtime_error>("Duplicate tune id 3 in Method."));
}

TEST(MethodRules, ATimeoutChangesNothingElseAndNumbersBeyondTheMethodAreRefused) {
  MethodRules rules(0.7, SampleMethod());
  rules.WTPTimeout(1, 9999);
  Method expected = SampleMethod();
  expected.TimePeriods[1].Timeout = 9999;
  EXPECT_EQ(static_cast<Method>(rules), expected);
  EXPECT_THAT([&] { rules.WTPTimeout(2, 1); },
              ThrowsMessage<std::out_of_range>("Method has no time period 2."));
  EXPECT_THAT([&] { rules.QSIDuration(1, 0); },
              ThrowsMessage<std::out_of_range>("Time period 1 has no sequence item 0."));
}

}  // namespace
}  // namespace WQBL
