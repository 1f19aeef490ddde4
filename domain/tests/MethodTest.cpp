#include <WQBL/Method.h>
#include <WQBL/MethodRules.h>
#include <WQBL/Syringe.h>
#include <gmock/gmock.h>

#include <sstream>

#include "SerialTesting.h"

namespace WQBL {
namespace {

using ::testing::ThrowsMessage;
using WQCommon::Probes;

Method SampleMethod() {
  SequenceItem scan;
  scan.StartMZ = 150.0;
  scan.EndMZ = 800.5;
  scan.DwellTime = 0.002;
  scan.Duration = 0.75;
  scan.Polarity = WQCommon::Negative;
  scan.TuneId = 2;
  TimePeriod first;
  first.Duration = 2.5;
  first.NumLoops = 3;
  first.Timeout = 40;
  first.Items = {scan, SequenceItem()};
  Method method;
  method.TimePeriods = {first, TimePeriod()};
  method.Tunes[7] = TuneEntry(L"Caffeine ESI+", Probes::ESI, WQCommon::Positive);
  method.Tunes[2] = TuneEntry(L"N\u00e9gatif", Probes::APCI, WQCommon::Negative);
  return method;
}

TEST(Method, CountLargerThanTheStreamIsRefusedBeforeAllocating) {
  Method method;
  EXPECT_THROW(ReadFrom(std::string("\x01\0\0\0\xff\xff\xff\xff", 8), method),
               WQCommon::StreamError);
  std::string bytes = BytesOf(SampleMethod());
  bytes.replace(4 + 4 + 16, 4, "\xff\xff\xff\x7f");  // item count of the first time period
  EXPECT_THROW(ReadFrom(bytes, method), WQCommon::StreamError);
}

TEST(Method, TuneTableNamingAnIdTwiceIsRefused) {
  std::ostringstream out;
  WQCommon::BinaryWriter writer(out);
  writer << std::uint32_t{1} << std::uint32_t{0} << std::uint32_t{2};
  for (int entry = 0; entry < 2; ++entry)
    writer << std::uint32_t{3} << std::wstring(L"T") << std::int32_t{0} << std::int32_t{0};
  Method method;
  EXPECT_THAT([&] { ReadFrom(out.str(), method); },
              ThrowsMessage<std::runtime_error>("Duplicate tune id 3 in Method."));
}

TEST(MethodRules, ATimeoutChangesNothingElse) {
  MethodRules rules(0.7, SampleMethod());
  rules.WTPTimeout(1, 9999);
  Method expected = SampleMethod();
  expected.TimePeriods[1].Timeout = 9999;
  EXPECT_EQ(static_cast<Method>(rules), expected);
}

TEST(MethodRules, NumbersBeyondTheMethodAreRefused) {
  MethodRules rules(0.7, SampleMethod());
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
