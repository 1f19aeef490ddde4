#include <WQBL/Syringe.h>
#include <gmock/gmock.h>

#include "SerialTesting.h"

namespace WQBL {
namespace {

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
