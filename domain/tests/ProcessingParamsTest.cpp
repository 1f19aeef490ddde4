#include <WQBL/CurveEval.h>
#include <WQBL/Method.h>
#include <WQBL/MethodRules.h>
#include <WQBL/ProcessingParams.h>
#include <WQBL/Ranges.h>
#include <WQBL/Syringe.h>
#include <WQBL/Tune.h>
#include <WQCommon/Binary.h>
#include <WQCommon/Text.h>
#include <WQCommon/XML.h>
#include <gmock/gmock.h>

#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

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

// The XML form of `record` within a top element "Top".
std::wstring XmlOf(const WQCommon::IWQXML& record) {
  WQCommon::XMLBuilder builder;
  builder.StartNode(L"Top");
  record.Serialize(builder);
  builder.EndNode();
  return builder.QXML();
}

void ReadXml(const std::wstring& xml, WQCommon::IWQXML& record) {
  WQCommon::XMLParser parser;
  ASSERT_TRUE(parser.LoadXML(xml));
  ASSERT_TRUE(parser.StartNode(L"Top"));
  record.Serialize(parser);
}

std::wstring Replaced(std::wstring text, const std::wstring& from, const std::wstring& to) {
  return text.replace(text.find(from), from.size(), to);
}

// Reading `xml` into `record` throws WQCommon::XMLResultException 1001 naming `element`.
void ExpectMissingElement(const std::wstring& xml, WQCommon::IWQXML& record,
                          const std::wstring& element) {
  using WQCommon::XMLResultException;
  EXPECT_THAT([&] { ReadXml(xml, record); },
              ::testing::Throws<XMLResultException>(
                  ::testing::AllOf(::testing::Field(&XMLResultException::Code, 1001),
                                   ::testing::Field(&XMLResultException::Message, element))));
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

// Doubles that no short decimal form holds exactly.
auto RangeSamples() {
  ICFilter filter;
  filter.Function = 3;
  filter.Polarity = ICFilter::NegativeOnly;
  return std::make_tuple(Sample{MZRange(MZRange::Bounded, 0.1, 1999.0 / 3.0), "MZRange"},
                         Sample{ICRange(1.0 / 3.0, 12.7), "ICRange"}, Sample{filter, "ICFilter"},
                         Sample{MZPeakField(MZPeakField::Width), "MZPeakField"});
}

TEST(Ranges, EveryValueReadsBackExactlyFromItsXmlFormAndAMissingElementOrNumberIsRefused) {
  ForEachSample(RangeSamples(), [](const auto& sample) {
    auto read = decltype(sample.Value)();
    ReadXml(XmlOf(sample.Value), read);
    EXPECT_TRUE(read == sample.Value) << sample.Name;
    ExpectMissingElement(L"<Top/>", read, WQCommon::WQNarrowToWideStr(sample.Name));
  });
  const std::wstring xml = XmlOf(MZRange(MZRange::Bounded, 5.0, 6.0));
  MZRange read;
  EXPECT_THAT([&] { ReadXml(Replaced(xml, L">5<", L">5x<"), read); },
              ThrowsMessage<std::runtime_error>("Invalid number \"5x\" in MZRange."));
  EXPECT_TRUE(read == MZRange());
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
  return std::tuple_cat(
      RangeSamples(),
      std::make_tuple(
          Sample{BaselineParams::DefaultMS(), "BaselineParams"},
          Sample{NoiseParams::DefaultMS(), "NoiseParams"},
          Sample{PeakDetectParams::DefaultMS(), "PeakDetectParams"},
          Sample{SmoothParams::DefaultMS(), "SmoothParams"}, Sample{threshold, "ThresholdParams"},
          Sample{OPDParams::DefaultMS(), "OPDParams"}, Sample{ramp, "RampAlgorithmParams"},
          Sample{charge, "ChargeStateParams"}, Sample{threading, "AppThreadingParams"},
          Sample{CurveEval(BaselineParams()), "CurveEval"}, Sample{SampleMethod(), "Method"},
          Sample{tune, "Tune"}));
}

TEST(Records, OtherRecordVersionOrCutRecordIsRefusedAndTheValueKept) {
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
}

// Every kind, each with parameters unlike the defaults, is read back into a step of another kind.
TEST(CurveEval, EveryKindReadsBackFromItsXmlFormAndUnreadableFormsAreRefused) {
  ThresholdParams threshold;
  threshold.Level = 250.5;
  for (const CurveEval& written :
       {CurveEval(), CurveEval(BaselineParams::DefaultMS()), CurveEval(NoiseParams::DefaultIC()),
        CurveEval(threshold), CurveEval(PeakDetectParams::DefaultMS())}) {
    CurveEval fromXml{ThresholdParams()};
    ReadXml(XmlOf(written), fromXml);
    EXPECT_TRUE(fromXml == written) << written.QKind();
  }
  std::string bytes = BytesOf(CurveEval(BaselineParams()));
  bytes[4] = 5;
  CurveEval read;
  EXPECT_THAT([&] { ReadFrom(bytes, read); },
              ThrowsMessage<std::runtime_error>("Unknown CurveEval kind."));
  const std::wstring xml = XmlOf(CurveEval(ThresholdParams()));
  EXPECT_THAT([&] { ReadXml(Replaced(xml, L">Threshold<", L">Smooth<"), read); },
              ThrowsMessage<std::runtime_error>("Unknown CurveEval kind."));
  ExpectMissingElement(L"<Top/>", read, L"CurveEval");
  ExpectMissingElement(L"<Top><CurveEval><Kind>Noise</Kind></CurveEval></Top>", read, L"Params");
  // The record version and the level: twelve bytes.
  const std::wstring hex = xml.substr(xml.find(L"<Params>") + 8, 24);
  for (const std::wstring& bad :
       {hex + L"0", hex.substr(0, 4) + L"zz" + hex.substr(6), hex + L"00"}) {
    EXPECT_THAT([&] { ReadXml(Replaced(xml, hex, bad), read); },
                ThrowsMessage<std::runtime_error>("Invalid CurveEval parameters."));
  }
  EXPECT_THROW(ReadXml(Replaced(xml, L">Threshold<", L">Noise<"), read), WQCommon::StreamError);
  EXPECT_TRUE(read == CurveEval());
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

TEST(Syringe, MissingOrUnreadableElementsKeepTheirValues) {
  Syringe held;
  held.FlowRate = 42.0;
  held.Enabled = true;
  Syringe read = held;
  ReadXml(L"<Top/>", read);
  EXPECT_EQ(read, held);
  ReadXml(
      L"<Top><Syringe><Diameter>4.6</Diameter><Volume>12x</Volume><FlowRate> 3</FlowRate>"
      L"<Enabled>yes</Enabled></Syringe></Top>",
      read);
  held.Diameter = 4.6;
  EXPECT_EQ(read, held);
}

}  // namespace
}  // namespace WQBL
