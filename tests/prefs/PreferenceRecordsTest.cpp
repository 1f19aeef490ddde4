#include <WQRepos/EvalMethods.h>
#include <WQRepos/PreferenceRecords.h>
#include <WQRepos/RefCals.h>
#include <gmock/gmock.h>

#include <cmath>
#include <string>

#include "support/DataDirectory.h"
#include "support/Serial.h"

namespace {

using namespace wqtest;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::ThrowsMessage;
using WQRepos::GUILayoutPrefs;
using WQRepos::RefCal;

std::string Bool(bool value) { return std::string(1, value ? '\1' : '\0'); }

TEST(GUILayoutPrefs, ReadsVersionOneSettingTheFlagsItLacks) {
  GUILayoutPrefs read;
  read.FlagC = read.FlagD = false;
  ReadFrom(U32(1) + Bool(false) + U32(7) + Bool(false) + Bool(false) + Bool(false) + Bool(false),
           read);
  EXPECT_EQ(BytesOf(read),
            U32(2) + Bool(false) + Bool(false) + U32(7) + Bool(true) + Bool(true) + Bool(false));
}

TEST(GenBICPrefs, DefaultPeakFieldsAreTypesZeroTwoOneThree) {
  std::vector<WQBL::MZPeakField> expected;
  for (const int type : {0, 2, 1, 3}) expected.emplace_back(WQBL::MZPeakField::Types(type));
  EXPECT_EQ(WQRepos::GenBICPrefs().PeakFields, expected);
}

using GenBICEvalMethodTest = DataDirectoryTest;

TEST_F(GenBICEvalMethodTest, EmptyNameGivesTheDefaultMethodAndAnyOtherTheStoredOneOrItsError) {
  WQRepos::GenBICPrefs prefs;
  EXPECT_EQ(prefs.QEvalMethod(), WQRepos::DefaultSpectrumEvalMethod());
  const std::vector<WQBL::CurveEval> stored{WQBL::CurveEval(WQBL::NoiseParams())};
  WQRepos::SaveSpectrumEvalMethod(L"noise", stored);
  prefs.EvalMethodName = L"noise";
  EXPECT_EQ(prefs.QEvalMethod(), stored);
  prefs.EvalMethodName = L"deleted";
  EXPECT_THAT([&] { prefs.QEvalMethod(); },
              ThrowsMessage<std::runtime_error>("Unable to open evaluation method file."));
}

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
