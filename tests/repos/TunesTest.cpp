#include <WQCommon/Text.h>
#include <WQRepos/Tunes.h>
#include <gmock/gmock.h>

#include <sstream>

#include "support/DataDirectory.h"

namespace {

using namespace wqtest;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::ThrowsMessage;
using ::testing::UnorderedElementsAre;

std::wstring Wide(const fs::path& path) { return WQCommon::WQNarrowToWideStr(path.string()); }

std::string RecordBytes(const WQBL::Tune& tune) {
  std::ostringstream out;
  WQCommon::BinaryWriter writer(out);
  writer << tune;
  return out.str();
}

WQBL::Tune SampleTune() {
  WQBL::Tune tune;
  tune.ConeVoltage = 42.5;
  tune.DesolvationGasFlow = 650.0;
  tune.Polarity = WQCommon::Negative;
  return tune;
}

class TunesTest : public DataDirectoryTest {
 protected:
  fs::path TuneFile(const std::string& name) const { return Dir("Tunes") / (name + ".ket"); }
};

TEST_F(TunesTest, SavedTuneIsFileVersionThenRecordAndLoadsBackAsStored) {
  WQRepos::SaveTune(L"Caffeine", SampleTune());
  EXPECT_EQ(ReadBytes(TuneFile("Caffeine")), U32(1) + RecordBytes(SampleTune()));
  EXPECT_EQ(WQRepos::LoadTune(L"Caffeine"), SampleTune());
  WQRepos::SaveTune(L"Caffeine", WQBL::Tune());
  EXPECT_EQ(WQRepos::LoadTune(L"Caffeine"), WQBL::Tune());
}

TEST_F(TunesTest, SaveByNameAndByPathWriteIdenticalFiles) {
  WQRepos::SaveTune(L"ByName", SampleTune());
  WQRepos::SaveFullyQualifiedTune(Wide(TuneFile("ByPath")), SampleTune());
  EXPECT_EQ(ReadBytes(TuneFile("ByName")), ReadBytes(TuneFile("ByPath")));
}

TEST_F(TunesTest, FileVersionOtherThanOneIsRefusedWithTheVersionInDecimal) {
  WriteBytes(TuneFile("Bad"), U32(7) + RecordBytes(SampleTune()));
  EXPECT_THAT([] { WQRepos::LoadTune(L"Bad"); },
              ThrowsMessage<std::runtime_error>("Invalid tune file version. Tune file: " +
                                                TuneFile("Bad").string() + " version: 7"));
  WriteBytes(TuneFile("Bad"), U32(4000000000u) + RecordBytes(SampleTune()));
  EXPECT_THAT([] { WQRepos::LoadTune(L"Bad"); },
              ThrowsMessage<std::runtime_error>(HasSubstr(" version: 4000000000")));
}

TEST_F(TunesTest, MissingTuneIsReportedWithItsFullPath) {
  EXPECT_THAT(
      [] { WQRepos::LoadTune(L"Nope"); },
      ThrowsMessage<std::runtime_error>("Unable to open tune file: " + TuneFile("Nope").string()));
}

TEST_F(TunesTest, TruncatedTuneFileIsRefusedAtEveryLength) {
  const std::string bytes = U32(1) + RecordBytes(SampleTune());
  for (std::size_t size = 0; size < bytes.size(); ++size) {
    WriteBytes(TuneFile("Cut"), bytes.substr(0, size));
    EXPECT_THAT([] { WQRepos::LoadTune(L"Cut"); },
                ThrowsMessage<WQCommon::StreamError>(HasSubstr(TuneFile("Cut").string())))
        << size;
  }
}

TEST_F(TunesTest, SaveThatCannotCreateTheFileNamesThePath) {
  fs::create_directory(TuneFile("Taken"));
  EXPECT_THAT([] { WQRepos::SaveTune(L"Taken", SampleTune()); },
              ThrowsMessage<std::runtime_error>("Unable to create tune file: " +
                                                TuneFile("Taken").string()));
  EXPECT_TRUE(fs::is_directory(TuneFile("Taken")));
  const fs::path missing = Base() / "Missing" / "T.ket";
  EXPECT_THAT([&] { WQRepos::SaveFullyQualifiedTune(Wide(missing), SampleTune()); },
              ThrowsMessage<std::runtime_error>("Unable to create tune file: " + missing.string()));
}

TEST_F(TunesTest, ListingCutsNamesBeforeTheirLastFullStop) {
  EXPECT_THAT(WQRepos::GetTuneNames(), IsEmpty());
  for (const char* name : {"x.y.ket", "z.ket", "m.kem"}) WriteBytes(Dir("Tunes") / name, "");
  EXPECT_THAT(WQRepos::GetTuneNames(), UnorderedElementsAre(L"x.y", L"z"));
}

}  // namespace
