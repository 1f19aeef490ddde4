#include <WQBL/PeakProcessing.h>
#include <WQDataFile/SyntheticRun.h>
#include <WQRepos/CentroidExport.h>
#include <gmock/gmock.h>

#include <optional>

#include "export/ExportSupport.h"
#include "support/DataDirectory.h"

namespace {

using namespace wqtest;
using ::testing::ElementsAre;
using ::testing::SizeIs;

// One spectrum per chromatogram peak, from the scans that `selection` names.
WQBL::PLAutoFindPrefs PeakTablePrefs(std::int32_t selection = WQBL::ApexScan) {
  WQBL::PLAutoFindPrefs prefs;
  prefs.EverySpectrum = false;
  prefs.PeakTableSelection = selection;
  return prefs;
}

WQBL::ICObj Chromatogram(std::vector<double> times, std::vector<std::uint32_t> scans) {
  WQBL::ICObj chromatogram;
  chromatogram.AssignYValues(std::vector<double>(times.size(), 1.0));
  chromatogram.AssignXAxis(std::move(times));
  chromatogram.AssignScanNumbers(std::move(scans));
  return chromatogram;
}

// Each test starts from a synthetic run of 120 scans over m/z 100 to 700 and its total ion
// current.
class AutoGenPLTest : public DataDirectoryTest {
 protected:
  void SetUp() override {
    DataDirectoryTest::SetUp();
    WQDataFile::SyntheticRunSettings settings;
    settings.HighMZ = 700.0;
    settings.Calibrants = WQDataFile::SyntheticRunSettings::SodiumIodideClusters(100, 700, 20000);
    file_ = WQDataFile::GenerateSyntheticRun(Wide(Dir("Data") / "run7.dat"), settings);
    tic_ = file_->GenerateTIC();
  }

  fs::path Target() const { return Dir("Data") / "run7.tofline"; }

  bool Export(WQBL::ICObj& chromatogram, const WQBL::PLAutoFindPrefs& prefs, bool write = true) {
    return WQRepos::AutoGenPL(*file_, chromatogram, prefs, write, error_);
  }

  pugi::xml_document Exported() const {
    pugi::xml_document document;
    EXPECT_TRUE(document.load_file(Target().c_str()));
    return document;
  }

  bool NothingWritten() const { return fs::is_empty(Dir("Data")); }

  std::optional<WQDataFile::CalDataFile> file_;
  WQBL::ICObj tic_;
  std::wstring error_ = L"untouched";
};

TEST_F(AutoGenPLTest, ChromatogramWithoutBothAxesIsRefused) {
  WQBL::ICObj onlyX;
  onlyX.AssignXAxis(tic_.QXAxis());
  WQBL::ICObj onlyY;
  onlyY.AssignYValues(tic_.QYValues());
  for (WQBL::ICObj* chromatogram : {&onlyX, &onlyY}) {
    EXPECT_FALSE(Export(*chromatogram, PeakTablePrefs()));
    EXPECT_EQ(error_, L"X/Y axis of curve not assigned");
  }
  EXPECT_TRUE(NothingWritten());
}

// One spectrum per chromatogram point, in point order; the chromatogram's peaks are not searched.
TEST_F(AutoGenPLTest, EverySpectrumModeExportsEachPointInOrder) {
  ASSERT_TRUE(Export(tic_, WQBL::PLAutoFindPrefs()));
  EXPECT_EQ(error_, L"untouched");
  EXPECT_FALSE(tic_.CheckAllStatus(WQBL::Curve::PeaksDetected));
  std::vector<std::string> scans;
  for (int scan = 1; scan <= 120; ++scan) scans.push_back(std::to_string(scan));
  EXPECT_EQ(Texts(Exported(), "//Spectrum/@ScanNumber"), scans);
}

// Peaks the chromatogram has are taken as they are; without any, they are detected first.
TEST_F(AutoGenPLTest, PeakTableModeExportsTheScansUnderEachChromatogramPeak) {
  ASSERT_TRUE(Export(tic_, PeakTablePrefs()));
  ASSERT_THAT(tic_.QPeaks(), SizeIs(1));
  EXPECT_THAT(Texts(Exported(), "//Spectrum/@ScanNumber"),
              ElementsAre(std::to_string(tic_.QScanNumber(tic_.QPeaks()[0].ApexIndex))));
  const std::vector<WQBL::Peak> peaks = {{10, 12, 14}, {50, 60, 70}, {100, 101, 102}};
  tic_.AssignPeaks(peaks);
  ASSERT_TRUE(Export(tic_, PeakTablePrefs(WQBL::PeakScans)));
  EXPECT_EQ(tic_.QPeaks(), peaks);
  const pugi::xml_document document = Exported();
  EXPECT_THAT(Texts(document, "//Spectrum/@ScanNumber"), ElementsAre("11", "51", "101"));
  EXPECT_THAT(Texts(document, "//Spectrum/@Name"),
              ElementsAre("Average of 5 scans, 11 to 15", "Average of 21 scans, 51 to 71",
                          "Average of 3 scans, 101 to 103"));
}

// The exported lists of three scans equal those of the scans averaged, smoothed when switched on,
// and then searched for peaks.
TEST_F(AutoGenPLTest, SmoothingRunsOnlyWhenSwitchedOnAndBeforePeakDetection) {
  const std::vector<std::uint32_t> scans = {59, 60, 61};
  std::vector<std::string> expected[2];
  for (bool smooth : {false, true}) {
    for (std::uint32_t scan : scans) {
      std::unique_ptr<WQBL::Spectrum> spectrum = file_->GenerateAveragedSpectrum({scan}, {});
      WQBL::Changed changed;
      std::wstring message;
      if (smooth) WQBL::ExecuteSmooth(*spectrum, changed, message);
      WQBL::ExecutePeakDetect(*spectrum, changed, message);
      const pugi::xml_document stick = Serialized(WQRepos::StickFigureData(*spectrum, *file_));
      expected[smooth].push_back(Texts(stick, "//CentroidAmpl")[0]);
    }
    WQBL::ICObj chromatogram = Chromatogram({29.0, 29.5, 30.0}, scans);
    WQBL::PLAutoFindPrefs prefs;
    prefs.Smooth = smooth;
    ASSERT_TRUE(Export(chromatogram, prefs));
    EXPECT_EQ(Texts(Exported(), "//CentroidAmpl"), expected[smooth]) << "smoothing " << smooth;
  }
  EXPECT_NE(expected[false], expected[true]);
}

// Without the write flag the spectra are produced all the same, and a failure while producing
// them passes to the caller either way.
TEST_F(AutoGenPLTest, WithoutTheWriteFlagOrAfterAFailureNothingIsWrittenAndTheErrorTextIsKept) {
  EXPECT_TRUE(Export(tic_, WQBL::PLAutoFindPrefs(), false));
  EXPECT_TRUE(Export(tic_, PeakTablePrefs(WQBL::PeakScans), false));
  WQBL::ICObj chromatogram = Chromatogram({0.0, 0.5}, {1, 999});
  const std::string message = "Scan 999 is not in " + (Dir("Data") / "run7.dat").string() + ".";
  for (bool write : {false, true}) {
    EXPECT_THAT([&] { Export(chromatogram, WQBL::PLAutoFindPrefs(), write); },
                ::testing::ThrowsMessage<WQDataFile::DataFileError>(message));
  }
  EXPECT_EQ(error_, L"untouched");
  EXPECT_TRUE(NothingWritten());
}

// A data file that already carries the document's extension, or that the document's path links
// to, would be replaced by its own export.
TEST_F(AutoGenPLTest, DataFileAtTheDocumentsPathIsRefusedAndKept) {
  WQDataFile::SyntheticRunSettings settings;
  settings.ScanCount = 3;
  WQDataFile::CalDataFile raw =
      WQDataFile::GenerateSyntheticRun(Wide(Dir("Data") / "raw.tofline"), settings);
  raw.Save();
  file_->Save();
  fs::create_symlink("run7.dat", Target());
  for (WQDataFile::CalDataFile* file : {&raw, &*file_}) {
    const fs::path data = fs::path(file->QFileName());
    const std::string before = ReadBytes(data);
    WQBL::ICObj chromatogram = file->GenerateTIC();
    EXPECT_FALSE(WQRepos::AutoGenPL(*file, chromatogram, WQBL::PLAutoFindPrefs(), true, error_));
    EXPECT_EQ(error_, L"Cannot write to file" + Wide(fs::path(data).replace_extension(".tofline")) +
                          L": it is the data file being exported");
    EXPECT_EQ(ReadBytes(data), before);
  }
  EXPECT_TRUE(fs::is_symlink(Target()));
}

// A document written elsewhere holds the same bytes as one beside the run, which is not written;
// progress is told after each spectrum.
TEST_F(AutoGenPLTest, DocumentGoesWhereTheSettingsSayAndProgressIsToldPerSpectrum) {
  ASSERT_TRUE(Export(tic_, WQBL::PLAutoFindPrefs()));
  const std::string beside = ReadBytes(Target());
  fs::remove(Target());
  std::vector<std::pair<int, int>> told;
  WQRepos::ExportSettings settings;
  settings.Output = Wide(Dir("Prefs") / "elsewhere.xml");
  settings.Progress = [&told](int done, int total) { told.emplace_back(done, total); };
  ASSERT_TRUE(WQRepos::AutoGenPL(*file_, tic_, WQBL::PLAutoFindPrefs(), true, error_, settings));
  EXPECT_EQ(ReadBytes(Dir("Prefs") / "elsewhere.xml"), beside);
  EXPECT_TRUE(NothingWritten());
  ASSERT_THAT(told, SizeIs(120));
  EXPECT_EQ(told.front(), std::make_pair(1, 120));
  EXPECT_EQ(told.back(), std::make_pair(120, 120));
}

TEST_F(AutoGenPLTest, FailureWhileBuildingTheDocumentIsReportedAndTheEarlierFileKept) {
  WriteBytes(Target(), "earlier");
  WriteBytes(Dir("Prefs") / "SystemConfiguration.xml",
             "<SystemConfiguration><CalSource>Vial_3</CalSource></SystemConfiguration>");
  EXPECT_FALSE(Export(tic_, WQBL::PLAutoFindPrefs()));
  EXPECT_EQ(error_,
            L"std::exception - QMV Exception with wide string. String Vial_3 not found in "
            L"enumeration map.");
  EXPECT_EQ(ReadBytes(Target()), "earlier");
  fs::remove(Target());
  EXPECT_TRUE(NothingWritten());
}

// Peak detection on the chromatogram that finds nothing is no failure: no spectrum is made and,
// with the write flag, a document without spectra replaces an earlier one. So it is for a
// chromatogram without points.
TEST_F(AutoGenPLTest, ChromatogramWithoutPeaksOrPointsGivesADocumentWithoutSpectra) {
  WQBL::ICObj flat = Chromatogram({0.0, 0.5, 1.0}, {1, 2, 3});
  WQBL::ICObj empty = Chromatogram({}, {});
  const std::pair<WQBL::ICObj*, WQBL::PLAutoFindPrefs> cases[] = {
      {&flat, PeakTablePrefs()}, {&empty, WQBL::PLAutoFindPrefs()}};
  for (const auto& [chromatogram, prefs] : cases) {
    WriteBytes(Target(), "earlier");
    EXPECT_TRUE(Export(*chromatogram, prefs));
    EXPECT_EQ(error_, L"untouched");
    const pugi::xml_document document = Exported();
    EXPECT_EQ(Texts(document, "//TOFLineHeader/NumScans"), std::vector<std::string>{"120"});
    EXPECT_EQ(Texts(document, "//Spectra/@CRC"), std::vector<std::string>{"0"});
    EXPECT_THAT(Texts(document, "//Spectrum"), SizeIs(0));
  }
  EXPECT_TRUE(flat.QPeaks().empty());
  EXPECT_TRUE(flat.CheckAllStatus(WQBL::Curve::PeaksDetected));
}

// Centroid scans are peak lists already: each merged centroid is exported as one peak, smoothing
// or not.
TEST_F(AutoGenPLTest, CentroidScansAreExportedCentroidByCentroid) {
  WQDataFile::CalDataFile file(Wide(Dir("Data") / "run7.dat"), L"", 0, WQBL::Method());
  file.AddTuneRun(WQDataFile::TuneRun{0});
  file.AddScan({1, 1.0, 0, {100.0, 150.5, 200.25}, {10.0, 30.0, 20.0}, true});
  file.AddScan({2, 2.0, 0, {100.0, 150.5, 200.25}, {30.0, 10.0, 40.0}, true});
  WQBL::ICObj chromatogram = Chromatogram({1.0, 2.0}, {1, 2});
  WQBL::PLAutoFindPrefs prefs = PeakTablePrefs(WQBL::PeakScans);
  prefs.Smooth = true;
  chromatogram.AssignPeaks({WQBL::Peak{0, 0, 1}});
  ASSERT_TRUE(WQRepos::AutoGenPL(file, chromatogram, prefs, true, error_));
  EXPECT_THAT(Texts(Exported(), "//CentroidX | //CentroidAmpl | //Area"),
              ElementsAre("100.0000 150.5000 200.2500", "20 20 30", "20 20 30"));
}

}  // namespace
