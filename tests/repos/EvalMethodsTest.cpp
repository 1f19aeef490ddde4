#include <WQRepos/EvalMethods.h>
#include <WQRepos/Preferences.h>
#include <gmock/gmock.h>

#include "support/DataDirectory.h"

namespace {

using namespace wqtest;
using ::testing::ElementsAre;
using ::testing::ThrowsMessage;
using ::testing::UnorderedElementsAre;
using WQBL::CurveEval;

const std::vector<CurveEval> kMethod{CurveEval(WQBL::BaselineParams::DefaultIC()),
                                     CurveEval(WQBL::ThresholdParams()),
                                     CurveEval(WQBL::PeakDetectParams::DefaultIC())};

class EvalMethodsTest : public DataDirectoryTest {
 protected:
  fs::path File(const std::string& name) const { return Dir("EvalMethod") / name; }
};

TEST_F(EvalMethodsTest, SpectrumAndChromatogramFamiliesAreKeptApart) {
  WQRepos::SaveSpectrumEvalMethod(L"same", kMethod);
  WQRepos::SaveICEvalMethod(L"same", {kMethod[1]});
  WQRepos::SaveICEvalMethod(L"ic only", {});
  EXPECT_EQ(WQRepos::LoadSpectrumEvalMethod(L"same"), kMethod);
  EXPECT_THAT(WQRepos::LoadICEvalMethod(L"same"), ElementsAre(kMethod[1]));
  EXPECT_THAT(WQRepos::GetSpectrumEvalMethodNames(), ElementsAre(L"same"));
  EXPECT_THAT(WQRepos::GetICEvalMethodNames(), UnorderedElementsAre(L"same", L"ic only"));

  EXPECT_TRUE(WQRepos::DeleteICEvalMethod(L"same"));
  EXPECT_FALSE(WQRepos::DeleteICEvalMethod(L"same"));
  EXPECT_EQ(WQRepos::LoadSpectrumEvalMethod(L"same"), kMethod);
  EXPECT_THAT(WQRepos::GetICEvalMethodNames(), ElementsAre(L"ic only"));
}

TEST_F(EvalMethodsTest, OtherVersionMethodIsRefusedWithoutItsName) {
  WriteBytes(File("v2.sem"), U32(2) + U32(0));
  EXPECT_THAT([] { WQRepos::LoadSpectrumEvalMethod(L"v2"); },
              ThrowsMessage<std::runtime_error>("Invalid evaluation method file."));
}

TEST_F(EvalMethodsTest, DefaultMethodFollowsTheSpectrumPreferences) {
  EXPECT_THAT(
      WQRepos::DefaultSpectrumEvalMethod(),
      ElementsAre(CurveEval(WQBL::BaselineParams::DefaultMS()),
                  CurveEval(WQBL::NoiseParams::DefaultMS()), CurveEval(WQBL::ThresholdParams()),
                  CurveEval(WQBL::PeakDetectParams::DefaultMS())));

  WQRepos::Preferences prefs;
  WQBL::PeakDetectParams withoutThreshold;
  withoutThreshold.UseThreshold = false;
  prefs.WMZPeakDetect(withoutThreshold);
  prefs.WMZBaseline(WQBL::BaselineParams());
  EXPECT_THAT(WQRepos::DefaultSpectrumEvalMethod(),
              ElementsAre(CurveEval(WQBL::BaselineParams()),
                          CurveEval(WQBL::NoiseParams::DefaultMS()), CurveEval(withoutThreshold)));
}

TEST_F(EvalMethodsTest, SafeLoadReplacesTheMethodOnlyOnSuccessAndReportsFailures) {
  std::vector<CurveEval> method{CurveEval()};
  EXPECT_EQ(WQRepos::SafeLoadEvalMethod(L"gone", method, WQRepos::LoadICEvalMethod),
            L"Unable to load evaluation method gone\r\nReason: Unable to open evaluation method "
            L"file.");
  const auto unreachable = [](const std::wstring&) -> std::vector<CurveEval> {
    ADD_FAILURE() << "loader called";
    return {};
  };
  EXPECT_EQ(WQRepos::SafeLoadEvalMethod(nullptr, method, unreachable),
            L"Invalid file name pointer");
  EXPECT_THAT(method, ElementsAre(CurveEval()));

  WQRepos::SaveSpectrumEvalMethod(L"good", kMethod);
  EXPECT_EQ(WQRepos::SafeLoadEvalMethod(L"good", method, WQRepos::LoadSpectrumEvalMethod), L"");
  EXPECT_EQ(method, kMethod);
}

}  // namespace
