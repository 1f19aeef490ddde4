#include <WQRepos/CentroidExport.h>
#include <gmock/gmock.h>

#include "export/ExportSupport.h"
#include "support/DataDirectory.h"

namespace {

using namespace wqtest;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using WQRepos::CentroidData;

using CentroidDataTest = DataDirectoryTest;

TEST_F(CentroidDataTest, CreationTimeIsAnRfc1123DateInUtc) {
  const std::pair<std::int64_t, const char*> times[] = {
      {-1, "Wed, 31 Dec 1969 23:59:59 GMT"},
      {951782400 + 3723, "Tue, 29 Feb 2000 01:02:03 GMT"},
      {4107542399, "Sun, 28 Feb 2100 23:59:59 GMT"},
      {-2208988800, "Mon, 01 Jan 1900 00:00:00 GMT"}};
  for (const auto& [time, text] : times) {
    const WQDataFile::CalDataFile dated(L"/cal/run7.dat", L"", time, WQBL::Method());
    EXPECT_THAT(Texts(Serialized(CentroidData(dated), L""), "//Time"), ElementsAre(text));
  }
}

// Tune 5 (run 1) is added first, then tune 3 (run 0) twice; the method also knows tune 1. Without
// spectra the document lists no tune and its CRC is 0. Each stick figure carries on the checksum
// where the one before it left off, as the document's does.
TEST_F(CentroidDataTest, OnlyTunesThatSpectraUseAreListedInIdOrder) {
  const WQDataFile::CalDataFile file = FileWithTuneRuns();
  CentroidData data(file);
  EXPECT_THAT(Texts(Serialized(data, L""), "//Tunes/* | //Spectra/* | //Spectra/@CRC"),
              ElementsAre("0"));
  boost::crc_32_type crc;
  for (const auto& [run, scan] : {std::pair{1u, 10u}, std::pair{0u, 11u}, std::pair{0u, 12u}}) {
    WQBL::Spectrum spectrum = SpectrumWithPeaks({100.0, 101.0}, {PeakAt(0.5, 10, 20, 30)});
    spectrum.TuneRunIndex = run;
    spectrum.ScanNumbers = {scan};
    data.Add(spectrum);
    WQRepos::StickFigureData(spectrum, file).ProcessChecksum(crc);
  }
  const pugi::xml_document document = Serialized(data, L"");
  EXPECT_THAT(Texts(document, "//TuneRef/@Id"), ElementsAre("3", "5"));
  EXPECT_EQ(std::stoul(Texts(document, "//Spectra/@CRC")[0], nullptr, 16), crc.checksum());
}

// The calibrant document beside the data file goes last into the document written for it; a run
// kept as run7.xml is not a document beside itself.
TEST_F(CentroidDataTest, CompanionFileIsAppendedOnlyWhenNamedPresentAndNotTheRunItself) {
  const WQDataFile::CalDataFile file = FileWithTuneRuns();
  const CentroidData data(file);
  const std::wstring target = Wide(Dir("Data") / "run7.tofline");
  EXPECT_THAT(Texts(Serialized(data, target), "//Calibrant"), IsEmpty());
  WriteBytes(Dir("Data") / "run7.xml", "<Calibrant><Mass>172.88</Mass></Calibrant>");
  EXPECT_THAT(Texts(Serialized(data, L""), "//Calibrant"), IsEmpty());
  EXPECT_THAT(Texts(Serialized(data, target), "/TOFLine/*[last()]/Mass"), ElementsAre("172.88"));
  const WQDataFile::CalDataFile itself(Wide(Dir("Data") / "run7.xml"), L"", 0, WQBL::Method());
  EXPECT_THAT(Texts(Serialized(CentroidData(itself), target), "//Calibrant"), IsEmpty());
}

}  // namespace
