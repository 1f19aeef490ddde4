#include <WQRepos/Autotune.h>
#include <WQRepos/EntryPoints.h>
#include <gmock/gmock.h>

#include "support/DataDirectory.h"
#include "support/Serial.h"

namespace {

using namespace wqtest;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::ThrowsMessage;

using AutotuneTunesTest = DataDirectoryTest;

TEST_F(AutotuneTunesTest, FileListKeepsTunesWithTheirCodeInEitherCaseAndRefusesValuesWithout) {
  for (const char* name :
       {"L+A.ket", "l+B.ket", "L-A.ket", "U+C.ket", "L.ket", "L+.ket", "L+D.kem"})
    WriteBytes(Dir("Tunes") / name, "");
  std::vector<std::wstring> expected;
  for (const std::wstring& name : WQRepos::GetFileNames(Wide(Dir("Tunes") / "*.ket")))
    if (name == L"L+A" || name == L"l+B" || name == L"L+") expected.push_back(name);
  EXPECT_THAT(WQRepos::QAutoTuneFileList(WQRepos::LowRes, WQCommon::Positive),
              ElementsAreArray(expected));
  EXPECT_THAT(WQRepos::QAutoTuneFileList(WQRepos::UnitRes, WQCommon::Positive),
              ElementsAre(L"U+C"));
  EXPECT_THAT([] { WQRepos::QAutoTuneFileList(WQRepos::Resolution(3), WQCommon::Positive); },
              ThrowsMessage<std::runtime_error>("No autotune tune-name code for resolution 3."));
  EXPECT_THAT([] { WQRepos::QAutoTuneFileList(WQRepos::LowRes, WQCommon::PolarityTypes(-1)); },
              ThrowsMessage<std::runtime_error>("No autotune tune-name code for polarity -1."));
}

TEST_F(AutotuneTunesTest, SourceLiesUnderTheBuiltInBaseDirectoryWhateverIsConfigured) {
  EXPECT_EQ(WQRepos::QAutoTuneSource(), Wide(LibraryFolder() / "WQData" / "Tunes" / "Source.xml"));
}

}  // namespace
