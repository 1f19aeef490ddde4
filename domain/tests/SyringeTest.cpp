#include <WQBL/Syringe.h>
#include <gmock/gmock.h>

namespace {

using ::testing::HasSubstr;

WQBL::Syringe ReadSyringe(const std::wstring& xml, WQBL::Syringe syringe = WQBL::Syringe()) {
  WQCommon::XMLParser parser;
  EXPECT_TRUE(parser.LoadXML(xml));
  EXPECT_TRUE(parser.StartNode(L"Top"));
  syringe.Serialize(parser);
  return syringe;
}

TEST(Syringe, XmlFormReadsBackExactly) {
  WQBL::Syringe syringe;
  syringe.Diameter = 0.1;
  syringe.Volume = 1.0 / 3.0;
  syringe.FlowRate = 2.5e-7;
  syringe.Enabled = true;
  WQCommon::XMLBuilder builder;
  builder.StartNode(L"Top");
  syringe.Serialize(builder);
  builder.EndNode();
  EXPECT_THAT(builder.QXML(),
              HasSubstr(L"<Syringe>\n\t\t<Diameter>0.1</Diameter>\n\t\t<Volume>0.3333333333333333"
                        L"</Volume>\n\t\t<FlowRate>2.5e-07</FlowRate>\n\t\t<Enabled>true</Enabled>"
                        L"\n\t</Syringe>"));
  EXPECT_EQ(ReadSyringe(builder.QXML()), syringe);
}

TEST(Syringe, MissingOrUnreadableElementsKeepTheirValues) {
  WQBL::Syringe held;
  held.FlowRate = 42.0;
  held.Enabled = true;
  EXPECT_EQ(ReadSyringe(L"<Top/>", held), held);
  const WQBL::Syringe read = ReadSyringe(
      L"<Top><Syringe><Diameter>4.6</Diameter><Volume>12x</Volume><FlowRate> 3</FlowRate>"
      L"<Enabled>yes</Enabled></Syringe></Top>",
      held);
  EXPECT_EQ(read.Diameter, 4.6);
  EXPECT_EQ(read.Volume, held.Volume);
  EXPECT_EQ(read.FlowRate, 42.0);
  EXPECT_TRUE(read.Enabled);
}

TEST(Syringe, EqualityNoticesEveryMember) {
  const WQBL::Syringe syringe;
  WQBL::Syringe changed[4] = {syringe, syringe, syringe, syringe};
  changed[0].Diameter += 1;
  changed[1].Volume += 1;
  changed[2].FlowRate += 1;
  changed[3].Enabled = !syringe.Enabled;
  for (const WQBL::Syringe& other : changed) EXPECT_NE(other, syringe);
}

}  // namespace
