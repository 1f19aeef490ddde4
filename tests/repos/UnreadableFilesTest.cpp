// A repository file that cannot be read is refused with its own message: missing, of another file
// or record version, or ending early, which the toolkit's error reports naming the file. Every
// proper prefix of every stored file goes through its reader in the corpus replay test; here each
// kind of file is cut once, where its next value is missing. A special file is not read at all.
#include <WQRepos/AcqMethods.h>
#include <WQRepos/EntryPoints.h>
#include <WQRepos/EvalMethods.h>
#include <WQRepos/RefCals.h>
#include <WQRepos/Tunes.h>
#include <gmock/gmock.h>
#include <sys/stat.h>

#include <functional>

#include "support/DataDirectory.h"
#include "support/Serial.h"

namespace {

using namespace wqtest;
using ::testing::ThrowsMessage;

using UnreadableFilesTest = DataDirectoryTest;

TEST_F(UnreadableFilesTest, EachKindIsRefusedWithItsMessage) {
  const std::function<void()> method = [] { WQRepos::LoadAcqMethod(L"Bad"); };
  const std::function<void()> tune = [] { WQRepos::LoadTune(L"Bad"); };
  const std::function<void()> eval = [] { WQRepos::LoadICEvalMethod(L"Bad"); };
  const std::function<void()> refCals = [] { WQRepos::LoadReferenceCalibrants(); };
  const std::function<void()> naming = [] { WQRepos::QDataDirectoryFileNameInfo(); };
  const std::string methodFile = (Dir("AcqMethod") / "Bad.kem").string();
  const std::string tuneFile = (Dir("Tunes") / "Bad.ket").string();
  const std::string evalFile = (Dir("EvalMethod") / "Bad.iem").string();
  const std::string refCalsFile = (Dir("Calibration") / "RefCals.cal").string();
  const std::string namingFile = (Dir("Prefs") / "DataFileName.pref").string();
  const std::string endsAfterVersion = "a value needs 4 bytes, 0 remain";
  // Without bytes the file is missing; `cut` marks a file that ends early.
  const struct {
    std::string file;
    std::string bytes;
    std::function<void()> load;
    std::string message;
    bool cut = false;
  } cases[] = {
      {methodFile, "", method, "Unable to open acquisition method file (" + methodFile + ")"},
      {methodFile, U32(2), method, "Invalid acquisition method file (" + methodFile + ")"},
      {methodFile, U32(1), method, endsAfterVersion, true},
      {tuneFile, "", tune, "Unable to open tune file: " + tuneFile},
      {tuneFile, U32(7), tune, "Invalid tune file version. Tune file: " + tuneFile + " version: 7"},
      {tuneFile, U32(4000000000u), tune,
       "Invalid tune file version. Tune file: " + tuneFile + " version: 4000000000"},
      {tuneFile, U32(1), tune, endsAfterVersion, true},
      {evalFile, U32(2) + U32(0), eval, "Invalid evaluation method file."},
      {evalFile, U32(1), eval, endsAfterVersion, true},
      {refCalsFile, U32(2) + U32(0), refCals, "Invalid reference calibrants file."},
      {refCalsFile, U32(1) + U32(1) + U32(3) + BytesOf(WQRepos::RefCal()).substr(4), refCals,
       "Unknown RefCal version."},
      {refCalsFile, U32(1), refCals, endsAfterVersion, true},
      {namingFile, U32(3) + I64(777) + U32(99), naming, "Unknown DataFileNameInfo version."},
      {namingFile, U32(2) + "abc", naming, "a value needs 8 bytes, 3 remain", true}};
  for (const auto& [file, bytes, load, message, cut] : cases) {
    SCOPED_TRACE(message);
    if (!bytes.empty()) WriteBytes(file, bytes);
    if (cut) {
      EXPECT_THAT(load, ThrowsMessage<WQCommon::StreamError>(
                            "Cannot read " + file + ": Binary stream ended early: " + message));
    } else {
      EXPECT_THAT(load, ThrowsMessage<std::runtime_error>(message));
    }
  }
}

TEST_F(UnreadableFilesTest, SpecialFileIsNeitherReadNorReplaced) {
  const fs::path pipe = Dir("Tunes") / "Pipe.ket";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
  EXPECT_THAT(
      [&] { WQRepos::LoadFullyQualifiedTune(Wide(pipe)); },
      ThrowsMessage<std::runtime_error>("Cannot read " + pipe.string() + ": not a regular file"));
  EXPECT_THAT([] { WQRepos::SaveTune(L"Pipe", WQBL::Tune()); },
              ThrowsMessage<std::runtime_error>("Unable to create tune file: " + pipe.string()));
  EXPECT_TRUE(fs::is_fifo(pipe));
}

}  // namespace
