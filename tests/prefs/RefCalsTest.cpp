#include <WQRepos/RefCals.h>
#include <gmock/gmock.h>

#include <cmath>

#include "support/DataDirectory.h"
#include "support/Serial.h"

namespace {

using namespace wqtest;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::ThrowsMessage;
using WQRepos::RefCal;

TEST(RefCal, ValuesWithinOneMillionthAreEqual) {
  const RefCal base(L"Cs", 0.0, 0.0, 0.0);
  EXPECT_TRUE(base == RefCal(L"Cs", 1e-6, 0.0, 0.0));
  EXPECT_TRUE(base == RefCal(L"Cs", 0.0, -1e-6, 0.0));
  EXPECT_TRUE(base == RefCal(L"Cs", 0.0, 0.0, 1e-6));
  EXPECT_FALSE(base == RefCal(L"Cs", 2e-6, 0.0, 0.0));
  EXPECT_FALSE(base == RefCal(L"Cs", 0.0, 2e-6, 0.0));
  EXPECT_FALSE(base == RefCal(L"Cs", 0.0, 0.0, 2e-6));
  EXPECT_FALSE(base == RefCal(L"cs", 0.0, 0.0, 0.0));
  const RefCal notANumber(L"Cs", std::nan(""), 0.0, 0.0);
  EXPECT_FALSE(notANumber == notANumber);
}

class RefCalsTest : public DataDirectoryTest {
 protected:
  fs::path File() const { return Dir("Calibration") / "RefCals.cal"; }
};

TEST_F(RefCalsTest, MissingFileGivesAnEmptyList) {
  EXPECT_THAT(WQRepos::LoadReferenceCalibrants(), IsEmpty());
}

TEST_F(RefCalsTest, VersionOneRecordsGetParam3AndMixWithVersionTwo) {
  const std::string version1 = U32(1) + U32(0) + BytesOf(195.0877) + BytesOf(0.5);
  WriteBytes(File(), U32(1) + U32(2) + version1 + BytesOf(RefCal(L"b", 1.0, 2.0, 3.0)));
  const std::vector<RefCal> read = WQRepos::LoadReferenceCalibrants();
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[0].Name, L"");
  EXPECT_EQ(read[0].Param1, 195.0877);
  EXPECT_EQ(read[0].Param2, 0.5);
  EXPECT_EQ(read[0].Param3, 100000.0);
  EXPECT_EQ(read[1].Param3, 3.0);
}

TEST_F(RefCalsTest, UnknownFileOrRecordVersionIsRefused) {
  WriteBytes(File(), U32(2) + U32(0));
  EXPECT_THAT([] { WQRepos::LoadReferenceCalibrants(); },
              ThrowsMessage<std::runtime_error>("Invalid reference calibrants file."));
  WriteBytes(File(), U32(1) + U32(1) + U32(3) + BytesOf(RefCal()).substr(4));
  EXPECT_THAT([] { WQRepos::LoadReferenceCalibrants(); },
              ThrowsMessage<std::runtime_error>("Unknown RefCal version."));
}

TEST_F(RefCalsTest, TruncatedFileIsRefusedNamingItAtEveryLengthAndHugeCountsAtOnce) {
  WQRepos::SaveReferenceCalibrants({RefCal(L"a", 1.0, 2.0, 3.0), RefCal(L"b", 4.0, 5.0, 6.0)});
  const std::string whole = ReadBytes(File());
  for (std::size_t length = 0; length < whole.size(); ++length) {
    WriteBytes(File(), whole.substr(0, length));
    EXPECT_THAT([] { WQRepos::LoadReferenceCalibrants(); },
                ThrowsMessage<WQCommon::StreamError>(HasSubstr(File().string())))
        << length;
  }
  WriteBytes(File(), U32(1) + U32(4000000000u));
  EXPECT_THROW(WQRepos::LoadReferenceCalibrants(), WQCommon::StreamError);
}

}  // namespace
