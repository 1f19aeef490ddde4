#include <WQBL/Method.h>
#include <WQBL/MethodRules.h>
#include <gmock/gmock.h>

#include <functional>
#include <sstream>

namespace {

using ::testing::HasSubstr;
using ::testing::ThrowsMessage;
using WQCommon::Probes;

WQBL::Method SampleMethod() {
  WQBL::SequenceItem scan;
  scan.StartMZ = 150.0;
  scan.EndMZ = 800.5;
  scan.DwellTime = 0.002;
  scan.Duration = 0.75;
  scan.Polarity = WQCommon::Negative;
  scan.TuneId = 2;
  WQBL::SequenceItem sim;
  sim.Kind = WQBL::SequenceItem::SIM;
  sim.StartMZ = 195.1;
  sim.DwellTime = 0.05;
  sim.Duration = 0.06;
  sim.TuneId = 7;
  WQBL::TimePeriod first;
  first.Duration = 2.5;
  first.NumLoops = 3;
  first.Timeout = 40;
  first.Items = {scan, sim};
  WQBL::Method method;
  method.TimePeriods = {first, WQBL::TimePeriod()};
  method.Tunes[7] = WQBL::TuneEntry(L"Caffeine ESI+", Probes::ESI, WQCommon::Positive);
  method.Tunes[2] = WQBL::TuneEntry(L"N\u00e9gatif", Probes::APCI, WQCommon::Negative);
  return method;
}

std::string Bytes(const WQBL::Method& method) {
  std::ostringstream out;
  WQCommon::BinaryWriter writer(out);
  writer << method;
  return out.str();
}

void ReadInto(WQBL::Method& method, const std::string& bytes) {
  std::istringstream in(bytes);
  WQCommon::BinaryReader reader(in);
  reader >> method;
}

TEST(Method, ReadsBackWhatItWroteAfterItsRecordVersion) {
  const std::string bytes = Bytes(SampleMethod());
  EXPECT_EQ(bytes.substr(0, 4), std::string("\x01\x00\x00\x00", 4));
  WQBL::Method read;
  ReadInto(read, bytes);
  EXPECT_EQ(read, SampleMethod());
}

TEST(Method, EqualityNoticesEveryMember) {
  const std::vector<std::function<void(WQBL::Method&)>> changes = {
      [](auto& m) { m.TimePeriods[0].Items[0].Kind = WQBL::SequenceItem::SIM; },
      [](auto& m) { m.TimePeriods[0].Items[0].StartMZ += 1; },
      [](auto& m) { m.TimePeriods[0].Items[0].EndMZ += 1; },
      [](auto& m) { m.TimePeriods[0].Items[0].DwellTime += 1; },
      [](auto& m) { m.TimePeriods[0].Items[0].Duration += 1; },
      [](auto& m) { m.TimePeriods[0].Items[0].Polarity = WQCommon::Positive; },
      [](auto& m) { m.TimePeriods[0].Items[0].TuneId += 1; },
      [](auto& m) { m.TimePeriods[0].Items.pop_back(); },
      [](auto& m) { m.TimePeriods[0].Duration += 1; },
      [](auto& m) { m.TimePeriods[0].NumLoops += 1; },
      [](auto& m) { m.TimePeriods[0].Timeout += 1; },
      [](auto& m) { m.TimePeriods.pop_back(); },
      [](auto& m) { m.Tunes[7].Name += L"x"; },
      [](auto& m) { m.Tunes[7].Probe = Probes::APPI; },
      [](auto& m) { m.Tunes[7].Polarity = WQCommon::Negative; },
      [](auto& m) { m.Tunes[8] = m.Tunes[7]; }};
  for (std::size_t index = 0; index < changes.size(); ++index) {
    WQBL::Method changed = SampleMethod();
    changes[index](changed);
    EXPECT_NE(changed, SampleMethod()) << "change " << index;
  }
}

TEST(Method, UnknownRecordVersionIsRefused) {
  WQBL::Method method;
  EXPECT_THAT(
      [&] { ReadInto(method, std::string("\x02\x00\x00\x00", 4) + Bytes(method).substr(4)); },
      ThrowsMessage<std::runtime_error>("Unknown Method version."));
}

TEST(Method, CountLargerThanTheStreamIsRefusedBeforeAllocating) {
  WQBL::Method method;
  EXPECT_THROW(ReadInto(method, std::string("\x01\0\0\0\xff\xff\xff\xff", 8)),
               WQCommon::StreamError);
  std::string bytes = Bytes(SampleMethod());
  bytes.replace(4 + 4 + 16, 4, "\xff\xff\xff\x7f");  // item count of the first time period
  EXPECT_THROW(ReadInto(method, bytes), WQCommon::StreamError);
}

TEST(Method, StreamEndingEarlyLeavesTheMethodAsItWas) {
  WQBL::Method method;
  method.TimePeriods.resize(1);
  const std::string bytes = Bytes(SampleMethod());
  EXPECT_THROW(ReadInto(method, bytes.substr(0, bytes.size() - 1)), WQCommon::StreamError);
  EXPECT_EQ(method.TimePeriods.size(), 1u);
  EXPECT_TRUE(method.Tunes.empty());
}

TEST(Method, TuneTableNamingAnIdTwiceIsRefused) {
  std::ostringstream out;
  WQCommon::BinaryWriter writer(out);
  writer << std::uint32_t{1} << std::uint32_t{0} << std::uint32_t{2};
  for (int entry = 0; entry < 2; ++entry)
    writer << std::uint32_t{3} << std::wstring(L"T") << std::int32_t{0} << std::int32_t{0};
  WQBL::Method method;
  EXPECT_THAT([&] { ReadInto(method, out.str()); },
              ThrowsMessage<std::runtime_error>("Duplicate tune id 3 in Method."));
}

TEST(TuneEntry, XmlFormReadsBack) {
  const WQBL::TuneEntry entry(L"Caffeine", Probes::APCI, WQCommon::Negative);
  WQCommon::XMLBuilder builder;
  builder.StartNode(L"TuneRef");
  entry.Serialize(builder);
  builder.EndNode();
  EXPECT_THAT(builder.QXML(), HasSubstr(L"<TuneName>Caffeine</TuneName>\n\t<Probe>APCI (1)</Probe>"
                                        L"\n\t<Polarity>Negative</Polarity>"));
  WQCommon::XMLParser parser;
  ASSERT_TRUE(parser.LoadXML(builder.QXML()));
  ASSERT_TRUE(parser.StartNode(L"TuneRef"));
  WQBL::TuneEntry read;
  read.Serialize(parser);
  EXPECT_EQ(read, entry);
}

TEST(MethodRules, WritingATimeoutChangesNothingElseInTheMethod) {
  WQBL::MethodRules rules(0.7, SampleMethod());
  EXPECT_EQ(rules.QPolaritySwitch(), 0.7);
  rules.WTPTimeout(1, 9999);
  WQBL::Method expected = SampleMethod();
  expected.TimePeriods[1].Timeout = 9999;
  EXPECT_EQ(static_cast<WQBL::Method>(rules), expected);
}

TEST(MethodRules, NumbersBeyondTheMethodAreRefused) {
  WQBL::MethodRules rules(0.7, SampleMethod());
  EXPECT_THAT([&] { rules.WTPTimeout(2, 1); },
              ThrowsMessage<std::out_of_range>("Method has no time period 2."));
  EXPECT_THAT([&] { rules.QSIDuration(1, 0); },
              ThrowsMessage<std::out_of_range>("Time period 1 has no sequence item 0."));
}

}  // namespace
