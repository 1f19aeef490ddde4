#include <WQCommon/System.h>
#include <WQRepos/CentroidExport.h>
#include <WQRepos/SystemConfiguration.h>
#include <gmock/gmock.h>

#include "export/ExportSupport.h"
#include "support/DataDirectory.h"

namespace {

using namespace wqtest;
using ::testing::ElementsAre;
using ::testing::StrEq;
using WQRepos::CentroidData;

std::wstring Wide(const fs::path& path) { return WQCommon::WQNarrowToWideStr(path.string()); }

// A spectrum with one peak, acquired in tune run `tuneRun`, named after its scan.
WQBL::Spectrum SpectrumOfRun(std::uint32_t tuneRun, std::uint32_t scan) {
  WQBL::Spectrum spectrum = SpectrumWithPeaks({100.0, 101.0}, {PeakAt(0.5, 10, 20, 30)});
  spectrum.TuneRunIndex = tuneRun;
  spectrum.ScanNumbers = {scan};
  spectrum.Name = L"Scan " + std::to_wstring(scan);
  return spectrum;
}

pugi::xml_document Document(const CentroidData& data, const std::wstring& fileName = L"") {
  WQCommon::XMLBuilder builder;
  data.Serialize(builder, fileName);
  return ParseXml(builder.QXML());
}

std::vector<std::string> ChildNames(const pugi::xml_node& node) {
  std::vector<std::string> names;
  for (const pugi::xml_node& child : node.children()) names.push_back(child.name());
  return names;
}

class CentroidDataTest : public DataDirectoryTest {};

TEST_F(CentroidDataTest, DocumentWithoutSpectraHasNoTuneRefsAndCrcZero) {
  const WQDataFile::CalDataFile file = FileWithTuneRuns(L"/cal/run7.dat");
  const CentroidData data(file);
  EXPECT_FALSE(data.IsTuneUsed(3));
  const pugi::xml_document document = Document(data);
  EXPECT_THAT(ChildNames(document.child("TOFLine")),
              ElementsAre("TOFLineHeader", "Tunes", "Spectra"));
  EXPECT_FALSE(document.child("TOFLine").child("Tunes").first_child());
  const pugi::xml_node spectra = document.child("TOFLine").child("Spectra");
  EXPECT_THAT(spectra.attribute("CRC").value(), StrEq("0"));
  EXPECT_FALSE(spectra.first_child());
}

TEST_F(CentroidDataTest, HeaderNamesTheFileTheInstrumentAndTheUser) {
  WQRepos::SystemConfiguration configuration;
  configuration.SystemName = L"KE-0042";
  WQRepos::SaveSystemConfiguration(configuration);
  WQDataFile::CalDataFile file(L"/cal/2024/run7.dat", L"Morning calibration", 1704067200,
                               WQBL::Method());
  file.AddTuneRun(WQDataFile::TuneRun{1});
  for (std::uint32_t scan = 1; scan <= 3; ++scan) file.AddScan({scan, 0.0, 0, {}, {}});
  const pugi::xml_document document = Document(CentroidData(file));
  const pugi::xml_node header = document.child("TOFLine").child("TOFLineHeader");
  EXPECT_THAT(ChildNames(header), ElementsAre("Name", "Description", "Time", "DataType", "MSModel",
                                              "NumScans", "InstrumentId", "User"));
  EXPECT_THAT(header.child_value("Name"), StrEq("run7"));
  EXPECT_THAT(header.child_value("Description"), StrEq("Morning calibration"));
  EXPECT_THAT(header.child_value("Time"), StrEq("Mon, 01 Jan 2024 00:00:00 GMT"));
  EXPECT_THAT(header.child_value("DataType"), StrEq("MS"));
  EXPECT_THAT(header.child_value("MSModel"), StrEq("KE 900"));
  EXPECT_THAT(header.child_value("NumScans"), StrEq("3"));
  EXPECT_THAT(header.child_value("InstrumentId"), StrEq("KE-0042"));
  EXPECT_EQ(header.child_value("User"), WQCommon::WQWideToNarrowStr(WQCommon::WQGetUserName()));
}

TEST_F(CentroidDataTest, CreationTimeIsAnRfc1123DateInUtc) {
  const std::pair<std::int64_t, const char*> cases[] = {
      {0, "Thu, 01 Jan 1970 00:00:00 GMT"},
      {-1, "Wed, 31 Dec 1969 23:59:59 GMT"},
      {951782400 + 3723, "Tue, 29 Feb 2000 01:02:03 GMT"},
      {4107542399, "Sun, 28 Feb 2100 23:59:59 GMT"},
      {-2208988800, "Mon, 01 Jan 1900 00:00:00 GMT"}};
  for (const auto& [time, text] : cases) {
    const WQDataFile::CalDataFile file(L"/cal/run7.dat", L"", time, WQBL::Method());
    EXPECT_THAT(
        Document(CentroidData(file)).child("TOFLine").child("TOFLineHeader").child_value("Time"),
        StrEq(text))
        << time;
  }
}

TEST_F(CentroidDataTest, OnlyTunesThatSpectraUseAreListedInIdOrder) {
  const WQDataFile::CalDataFile file = FileWithTuneRuns(L"/cal/run7.dat");
  CentroidData data(file);
  // Tune 5 (run 1) is added first, then tune 3 (run 0) twice; the method also knows tune 1.
  data.Add(SpectrumOfRun(1, 10));
  data.Add(SpectrumOfRun(0, 11));
  data.Add(SpectrumOfRun(0, 12));
  EXPECT_TRUE(data.IsTuneUsed(3));
  EXPECT_FALSE(data.IsTuneUsed(1));
  EXPECT_FALSE(data.IsTuneUsed(0));
  const pugi::xml_document document = Document(data);
  std::vector<std::string> ids;
  std::vector<std::string> names;
  for (const pugi::xml_node& ref : document.child("TOFLine").child("Tunes").children()) {
    EXPECT_THAT(ref.name(), StrEq("TuneRef"));
    ids.push_back(ref.attribute("Id").value());
    names.push_back(ref.child_value("TuneName"));
  }
  EXPECT_THAT(ids, ElementsAre("3", "5"));
  EXPECT_THAT(names, ElementsAre("Three", "Five"));
}

TEST_F(CentroidDataTest, CompanionFileIsAppendedOnlyWhenNamedAndPresent) {
  const WQDataFile::CalDataFile file = FileWithTuneRuns(L"/cal/run7.dat");
  const CentroidData data(file);
  const fs::path target = Dir("Data") / "run7.tofline";
  EXPECT_THAT(ChildNames(Document(data, Wide(target)).child("TOFLine")),
              ElementsAre("TOFLineHeader", "Tunes", "Spectra"));
  WriteBytes(Dir("Data") / "run7.xml", "<Calibrant><Mass>172.88</Mass></Calibrant>");
  EXPECT_THAT(ChildNames(Document(data).child("TOFLine")),
              ElementsAre("TOFLineHeader", "Tunes", "Spectra"));
  const pugi::xml_document document = Document(data, Wide(target));
  EXPECT_THAT(ChildNames(document.child("TOFLine")),
              ElementsAre("TOFLineHeader", "Tunes", "Spectra", "Calibrant"));
  EXPECT_THAT(document.child("TOFLine").child("Calibrant").child_value("Mass"), StrEq("172.88"));
}

TEST_F(CentroidDataTest, ChecksumFollowsTheOrderOfAdd) {
  const WQDataFile::CalDataFile file = FileWithTuneRuns(L"/cal/run7.dat");
  CentroidData forward(file);
  forward.Add(SpectrumOfRun(0, 1));
  forward.Add(SpectrumOfRun(1, 2));
  CentroidData backward(file);
  backward.Add(SpectrumOfRun(1, 2));
  backward.Add(SpectrumOfRun(0, 1));
  const pugi::xml_document first = Document(forward);
  const pugi::xml_document second = Document(backward);
  const pugi::xml_node spectra = first.child("TOFLine").child("Spectra");
  EXPECT_EQ(spectra.attribute("CRC").value(), RecomputedCrc(spectra));
  EXPECT_STRNE(spectra.attribute("CRC").value(),
               second.child("TOFLine").child("Spectra").attribute("CRC").value());
}

}  // namespace
