#include <WQRepos/EvalMethods.h>
#include <WQRepos/PreferenceRecords.h>
#include <gmock/gmock.h>

#include <string>

#include "support/DataDirectory.h"
#include "support/Serial.h"

namespace {

using namespace wqtest;
using ::testing::ElementsAre;
using ::testing::ThrowsMessage;
using WQRepos::GUILayoutPrefs;

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

}  // namespace
