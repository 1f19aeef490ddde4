#include <WQRepos/EvalMethods.h>
#include <WQRepos/Preferences.h>
#include <gmock/gmock.h>

#include <sstream>

#include "support/DataDirectory.h"

namespace {

using namespace wqtest;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::ThrowsMessage;
using ::testing::UnorderedElementsAre;
using WQBL::CurveEval;

std::string BytesOf(const CurveEval& step) {
  std::ostringstream stream;
  WQCommon::BinaryWriter writer(stream);
  writer << step;
  return stream.str();
}

const std::vector<CurveEval> kMethod{CurveEval(WQBL::BaselineParams::DefaultIC()),
                                     CurveEval(WQBL::ThresholdParams()),
                                     CurveEval(WQBL::PeakDetectParams::DefaultIC())};

class EvalMethodsTest : public DataDirectoryTest {
 protected:
  fs::path File(const std::string& name) const { return Dir("EvalMethod") / name; }
};

// A loader that must not be reached.
std::vector<CurveEval> UnreachableLoader(const std::wstring&) {
  ADD_FAILURE() << "loader called";
  return {};
}

TEST_F(EvalMethodsTest, MethodIsTheVersionTheCountAndEachStep) {
  WQRepos::SaveSpectrumEvalMethod(L"three", kMethod);
  EXPECT_EQ(ReadBytes(File("three.sem")),
            U32(1) + U32(3) + BytesOf(kMethod[0]) + BytesOf(kMethod[1]) + BytesOf(kMethod[2]));
  EXPECT_EQ(WQRepos::LoadSpectrumEvalMethod(L"three"), kMethod);
}

TEST_F(EvalMethodsTest, EmptyMethodIsTheVersionAndACountOfZero) {
  WQRepos::SaveICEvalMethod(L"none", {});
  EXPECT_EQ(ReadBytes(File("none.iem")), U32(1) + U32(0));
  EXPECT_THAT(WQRepos::LoadICEvalMethod(L"none"), IsEmpty());
}

TEST_F(EvalMethodsTest, SpectrumAndChromatogramFamiliesAreKeptApart) {
  WQRepos::SaveSpectrumEvalMethod(L"same", kMethod);
  WQRepos::SaveICEvalMethod(L"same", {kMethod[1]});
  WQRepos::SaveICEvalMethod(L"ic only", {});
  EXPECT_EQ(WQRepos::LoadSpectrumEvalMethod(L"same"), kMethod);
  EXPECT_THAT(WQRepos::LoadICEvalMethod(L"same"), ElementsAre(kMethod[1]));
  EXPECT_THAT(WQRepos::GetSpectrumEvalMethodNames(), ElementsAre(L"same"));
  EXPECT_THAT(WQRepos::GetICEvalMethodNames(), UnorderedElementsAre(L"same", L"ic only"));

  EXPECT_TRUE(WQRepos::DeleteICEvalMethod(L"same"));
  EXPECT_EQ(WQRepos::LoadSpectrumEvalMethod(L"same"), kMethod);
  EXPECT_THAT(WQRepos::GetICEvalMethodNames(), ElementsAre(L"ic only"));
}

TEST_F(EvalMethodsTest, DeletingAMissingMethodAnswersFalse) {
  EXPECT_FALSE(WQRepos::DeleteSpectrumEvalMethod(L"never saved"));
}

TEST_F(EvalMethodsTest, MissingMethodIsRefusedWithoutItsName) {
  EXPECT_THAT([] { WQRepos::LoadSpectrumEvalMethod(L"absent"); },
              ThrowsMessage<std::runtime_error>("Unable to open evaluation method file."));
}

TEST_F(EvalMethodsTest, FileOfAnotherVersionIsRefused) {
  WriteBytes(File("v2.sem"), U32(2) + U32(0));
  EXPECT_THAT([] { WQRepos::LoadSpectrumEvalMethod(L"v2"); },
              ThrowsMessage<std::runtime_error>("Invalid evaluation method file."));
}

TEST_F(EvalMethodsTest, TruncatedMethodIsRefusedNamingTheFileAtEveryLength) {
  WQRepos::SaveICEvalMethod(L"cut", kMethod);
  const std::string whole = ReadBytes(File("cut.iem"));
  for (std::size_t length = 0; length < whole.size(); ++length) {
    WriteBytes(File("cut.iem"), whole.substr(0, length));
    EXPECT_THAT([] { WQRepos::LoadICEvalMethod(L"cut"); },
                ThrowsMessage<WQCommon::StreamError>(HasSubstr(File("cut.iem").string())))
        << length;
  }
}

TEST_F(EvalMethodsTest, HugeStepCountWithNothingAfterItIsRefused) {
  WriteBytes(File("huge.sem"), U32(1) + U32(4000000000u));
  EXPECT_THROW(WQRepos::LoadSpectrumEvalMethod(L"huge"), WQCommon::StreamError);
}

TEST_F(EvalMethodsTest, SaveIntoMissingDirectoryIsRefused) {
  fs::remove_all(Dir("EvalMethod"));
  EXPECT_THAT([] { WQRepos::SaveSpectrumEvalMethod(L"x", kMethod); },
              ThrowsMessage<std::runtime_error>("Unable to create evaluation method file."));
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

TEST_F(EvalMethodsTest, SafeLoadReplacesTheMethodOnSuccess) {
  WQRepos::SaveSpectrumEvalMethod(L"good", kMethod);
  std::vector<CurveEval> method{CurveEval()};
  EXPECT_EQ(WQRepos::SafeLoadEvalMethod(L"good", method, WQRepos::LoadSpectrumEvalMethod), L"");
  EXPECT_EQ(method, kMethod);
}

TEST_F(EvalMethodsTest, SafeLoadTurnsAFailureIntoAMessageAndKeepsTheMethod) {
  std::vector<CurveEval> method{CurveEval()};
  EXPECT_EQ(WQRepos::SafeLoadEvalMethod(L"gone", method, WQRepos::LoadICEvalMethod),
            L"Unable to load evaluation method gone\r\nReason: Unable to open evaluation method "
            L"file.");
  EXPECT_THAT(method, ElementsAre(CurveEval()));
}

TEST_F(EvalMethodsTest, SafeLoadOfANullNameNeverCallsTheLoader) {
  std::vector<CurveEval> method{CurveEval()};
  EXPECT_EQ(WQRepos::SafeLoadEvalMethod(nullptr, method, UnreachableLoader),
            L"Invalid file name pointer");
  EXPECT_THAT(method, ElementsAre(CurveEval()));
}

}  // namespace
