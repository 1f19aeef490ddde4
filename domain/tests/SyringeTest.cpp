#include <WQBL/Syringe.h>
#include <gmock/gmock.h>

#include "SerialTesting.h"

namespace WQBL {
namespace {

using ::testing::HasSubstr;

TEST(Syringe, XmlFormIsTheShortestExactNumbersAndReadsBack) {
  Syringe syringe;
  syringe.Diameter = 0.1;
  syringe.Volume = 1.0 / 3.0;
  syringe.FlowRate = 2.5e-7;
  syringe.Enabled = true;
  EXPECT_THAT(XmlOf(syringe),
              HasSubstr(L"<Syringe>\n\t\t<Diameter>0.1</Diameter>\n\t\t<Volume>0.3333333333333333"
                        L"</Volume>\n\t\t<FlowRate>2.5e-07</FlowRate>\n\t\t<Enabled>true</Enabled>"
                        L"\n\t</Syringe>"));
  ExpectXmlReadsBack(Sample{syringe, "Syringe"});
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
