#include <WQRepos/EvalMethods.h>
#include <WQRepos/Preferences.h>
#include <gmock/gmock.h>

#include "support/DataDirectory.h"

namespace {

using namespace wqtest;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using WQBL::CurveEval;

const std::vector<CurveEval> kMethod{CurveEval(WQBL::BaselineParams::DefaultIC()),
                                     CurveEval(WQBL::ThresholdParams()),
                                     CurveEval(WQBL::PeakDetectParams::DefaultIC())};

using EvalMethodsTest = DataDirectoryTest;

TEST_F(EvalMethodsTest, SpectrumAndChromatogramFamiliesAreKeptApart) {
  WQRepos::SaveSpectrumEvalMethod(L"same", kMethod);
  WQRepos::SaveICEvalMethod(L"same", {kMethod[1]});
  EXPECT_EQ(WQRepos::LoadSpectrumEvalMethod(L"same"), kMethod);
  EXPECT_THAT(WQRepos::GetSpectrumEvalMethodNames(), ElementsAre(L"same"));
  EXPECT_THAT(WQRepos::GetICEvalMethodNames(), ElementsAre(L"same"));

  EXPECT_TRUE(WQRepos::DeleteICEvalMethod(L"same"));
  EXPECT_FALSE(WQRepos::DeleteICEvalMethod(L"same"));
  EXPECT_EQ(WQRepos::LoadSpectrumEvalMethod(L"same"), kMethod);
  EXPECT_THAT(WQRepos::GetICEvalMethodNames(), IsEmpty());
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
  EXPECT_EQ(WQRepos::SafeLoadEvalMethod(nullptr, method, WQRepos::LoadICEvalMethod),
            L"Invalid file name pointer");
  EXPECT_THAT(method, ElementsAre(CurveEval()));

  WQRepos::SaveSpectrumEvalMethod(L"good", kMethod);
  EXPECT_EQ(WQRepos::SafeLoadEvalMethod(L"good", method, WQRepos::LoadSpectrumEvalMethod), L"");
  EXPECT_EQ(method, kMethod);
}

}  // namespace
