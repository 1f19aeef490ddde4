#include <WQBL/CurveEval.h>
#include <WQBL/Method.h>
#include <WQBL/MethodRules.h>
#include <WQBL/ProcessingParams.h>
#include <WQBL/Ranges.h>
#include <WQBL/Tune.h>
#include <WQCommon/Binary.h>
#include <WQCommon/XML.h>
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

TEST(Ranges, EveryValueReadsBackExactlyFromItsXmlFormAndAMissingElementOrNumberIsRefused) {
  const auto check = [](const auto& value, const std::wstring& name) {
    auto read = std::decay_t<decltype(value)>();
    ReadXml(XmlOf(value), read);
    EXPECT_TRUE(read == value) << name;
    ExpectMissingElement(L"<Top/>", read, name);
  };
  ICFilter filter;
  std::tie(filter.Function, filter.Polarity) = std::make_tuple(3, ICFilter::NegativeOnly);
  // Doubles that no short decimal form holds exactly.
  check(MZRange(MZRange::Bounded, 0.1, 1999.0 / 3.0), L"MZRange");
  check(ICRange(1.0 / 3.0, 12.7), L"ICRange");
  check(filter, L"ICFilter");
  check(MZPeakField(MZPeakField::Width), L"MZPeakField");
  MZRange read;
  EXPECT_THAT(
      [&] { ReadXml(Replaced(XmlOf(MZRange(MZRange::Bounded, 5.0, 6.0)), L">5<", L">5x<"), read); },
      ThrowsMessage<std::runtime_error>("Invalid number \"5x\" in MZRange."));
  EXPECT_TRUE(read == MZRange());
}

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
  CurveEval read;
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

// Each record is given unlike its default-constructed value in every field (the spectrum default
// where it has one), with its name in its messages.
TEST(Records, OtherRecordVersionCutRecordOrUnknownCurveEvalKindIsRefusedAndTheValueKept) {
  const auto check = [](const auto& value, const std::string& name) {
    using Record = std::decay_t<decltype(value)>;
    const std::string bytes = BytesOf(Record());
    ASSERT_FALSE(value == Record()) << name;
    Record read = value;
    EXPECT_THAT([&] { ReadFrom(std::string(1, '\x02') + bytes.substr(1), read); },
                ThrowsMessage<std::runtime_error>("Unknown " + name + " version."));
    EXPECT_THROW(ReadFrom(bytes.substr(0, bytes.size() - 1), read), WQCommon::StreamError) << name;
    EXPECT_TRUE(read == value) << name;
  };
  ICFilter filter;
  std::tie(filter.Function, filter.Polarity) = std::make_tuple(3, ICFilter::NegativeOnly);
  ThresholdParams threshold;
  threshold.Level = 1234.5;
  RampAlgorithmParams ramp;
  std::tie(ramp.Algorithm, ramp.Steps) = std::make_tuple(RampAlgorithmParams::Stepped, 4u);
  ChargeStateParams charge;
  std::tie(charge.MinCharge, charge.MaxCharge, charge.MassTolerance) = std::make_tuple(2, 60, 0.05);
  AppThreadingParams threading;
  std::tie(threading.Enabled, threading.ThreadCount) = std::make_tuple(false, 8u);
  Tune tune;
  tune.ConeVoltage += 1.5;
  check(MZRange(MZRange::Bounded, 0.1, 700.5), "MZRange");
  check(ICRange(0.5, 12.7), "ICRange");
  check(filter, "ICFilter");
  check(MZPeakField(MZPeakField::Width), "MZPeakField");
  check(BaselineParams::DefaultMS(), "BaselineParams");
  check(NoiseParams::DefaultMS(), "NoiseParams");
  check(PeakDetectParams::DefaultMS(), "PeakDetectParams");
  check(SmoothParams::DefaultMS(), "SmoothParams");
  check(threshold, "ThresholdParams");
  check(OPDParams::DefaultMS(), "OPDParams");
  check(ramp, "RampAlgorithmParams");
  check(charge, "ChargeStateParams");
  check(threading, "AppThreadingParams");
  check(CurveEval(BaselineParams()), "CurveEval");
  check(SampleMethod(), "Method");
  check(tune, "Tune");
  std::string bytes = BytesOf(CurveEval(BaselineParams()));
  bytes[4] = 5;  // the kind, after the record version
  CurveEval read;
  EXPECT_THAT([&] { ReadFrom(bytes, read); },
              ThrowsMessage<std::runtime_error>("Unknown CurveEval kind."));
}

// Every stored enumeration is read as one of its values only: the value after its last is refused,
// naming the field. Each case is the record, the offset of the field in its binary form, and that
// value.
TEST(Records, EnumerationValueOutsideItsSetIsRefusedNamingTheField) {
  const auto refused = [](const WQCommon::IWQSerial& written, std::size_t offset,
                          std::int32_t value, auto read, const std::string& range) {
    std::string bytes = BytesOf(written);
    for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>(value >> (8 * i));
    EXPECT_THAT([&] { ReadFrom(bytes, read); },
                ThrowsMessage<WQCommon::StreamError>("the field " + range))
        << range;
  };
  const std::string method = BytesOf(SampleMethod());
  refused(Tune(), 4 + 10 * 8, 2, Tune(),
          "Polarity holds 2, which is not one of its values (0 to 1)");
  refused(SampleMethod(), 28, 2, Method(), "Kind holds 2, which is not one of its values (0 to 1)");
  refused(SampleMethod(), method.size() - 8, 4, Method(),
          "Probe holds 4, which is not one of its values (0 to 3)");
  refused(BaselineParams(), 4, 3, BaselineParams(),
          "Algorithm holds 3, which is not one of its values (0 to 2)");
  refused(RampAlgorithmParams(), 4, 2, RampAlgorithmParams(),
          "Algorithm holds 2, which is not one of its values (0 to 1)");
  refused(MZRange(), 4, 2, MZRange(), "Kind holds 2, which is not one of its values (0 to 1)");
  refused(ICFilter(), 8, 3, ICFilter(),
          "Polarity holds 3, which is not one of its values (0 to 2)");
  refused(MZPeakField(), 4, -1, MZPeakField(),
          "Type holds -1, which is not one of its values (0 to 3)");
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
