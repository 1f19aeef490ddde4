#include <WQRepos/RefCals.h>
#include <gmock/gmock.h>

#include <cmath>

#include "support/DataDirectory.h"
#include "support/Serial.h"

namespace {

using namespace wqtest;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using WQRepos::RefCal;

TEST(RefCal, ValuesWithinOneMillionthAreEqual) {
  const RefCal base(L"Cs", 0.0, 0.0, 0.0);
  EXPECT_TRUE(base == RefCal(L"Cs", 1e-6, -1e-6, 1e-6));
  for (const RefCal& other : {RefCal(L"Cs", 2e-6, 0.0, 0.0), RefCal(L"Cs", 0.0, 2e-6, 0.0),
                              RefCal(L"Cs", 0.0, 0.0, 2e-6), RefCal(L"cs", 0.0, 0.0, 0.0)})
    EXPECT_FALSE(base == other);
  const RefCal notANumber(L"Cs", std::nan(""), 0.0, 0.0);
  EXPECT_FALSE(notANumber == notANumber);
}

using RefCalsTest = DataDirectoryTest;

TEST_F(RefCalsTest, MissingFileIsAnEmptyListAndVersionOneRecordsGetParam3) {
  EXPECT_THAT(WQRepos::LoadReferenceCalibrants(), IsEmpty());
  const std::string version1 = U32(1) + U32(0) + BytesOf(195.0877) + BytesOf(0.5);
  WriteBytes(Dir("Calibration") / "RefCals.cal",
             U32(1) + U32(2) + version1 + BytesOf(RefCal(L"b", 1.0, 2.0, 3.0)));
  EXPECT_THAT(WQRepos::LoadReferenceCalibrants(),
              ElementsAre(RefCal(L"", 195.0877, 0.5, 100000.0), RefCal(L"b", 1.0, 2.0, 3.0)));
}

}  // namespace
