// A repository file that ends early is refused with the toolkit's error naming the file. Every
// proper prefix of every stored file goes through its reader in the corpus replay test; here each
// kind of file is cut once, where its next value is missing.
#include <WQRepos/AcqMethods.h>
#include <WQRepos/EntryPoints.h>
#include <WQRepos/EvalMethods.h>
#include <WQRepos/RefCals.h>
#include <WQRepos/Tunes.h>
#include <gmock/gmock.h>

#include <functional>

#include "support/DataDirectory.h"

namespace {

using namespace wqtest;

using TruncatedFilesTest = DataDirectoryTest;

TEST_F(TruncatedFilesTest, EachKindIsRefusedNamingTheFile) {
  const std::string endsAfterVersion = "a value needs 4 bytes, 0 remain";
  const struct {
    fs::path file;
    std::string bytes;
    std::function<void()> load;
    std::string missing;
  } cases[] = {
      {"AcqMethod/Cut.kem", U32(1), [] { WQRepos::LoadAcqMethod(L"Cut"); }, endsAfterVersion},
      {"Tunes/Cut.ket", U32(1), [] { WQRepos::LoadTune(L"Cut"); }, endsAfterVersion},
      {"EvalMethod/Cut.iem", U32(1), [] { WQRepos::LoadICEvalMethod(L"Cut"); }, endsAfterVersion},
      {"Calibration/RefCals.cal", U32(1), [] { WQRepos::LoadReferenceCalibrants(); },
       endsAfterVersion},
      {"Prefs/DataFileName.pref", U32(2) + "abc", [] { WQRepos::QDataDirectoryFileNameInfo(); },
       "a value needs 8 bytes, 3 remain"}};
  for (const auto& [file, bytes, load, missing] : cases) {
    WriteBytes(Base() / file, bytes);
    EXPECT_THAT(load, ::testing::ThrowsMessage<WQCommon::StreamError>(
                          "Cannot read " + (Base() / file).string() +
                          ": Binary stream ended early: " + missing));
  }
}

}  // namespace
