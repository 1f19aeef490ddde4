#include <WQBL/PeakProcessing.h>
#include <WQDataFile/SyntheticRun.h>
#include <WQRepos/CentroidExport.h>
#include <gmock/gmock.h>

#include <cmath>

#include "export/ExportSupport.h"
#include "support/DataDirectory.h"

namespace {

using namespace wqtest;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using ::testing::SizeIs;
using ::testing::StrEq;
using ::testing::ThrowsMessage;

std::wstring Wide(const fs::path& path) { return WQCommon::WQNarrowToWideStr(path.string()); }

// Preferences that count how often they are asked.
class CountingPrefs : public WQBL::PLAutoFindPrefs {
 public:
  bool QEverySpectrumSelection() const override {
    ++EverySpectrumQueries;
    return PLAutoFindPrefs::QEverySpectrumSelection();
  }
  bool QPeakTableSelection(std::int32_t& selection, bool& peakTableChosen) const override {
    ++PeakTableQueries;
    return PLAutoFindPrefs::QPeakTableSelection(selection, peakTableChosen);
  }

  mutable int EverySpectrumQueries = 0;
  mutable int PeakTableQueries = 0;
};

WQBL::PLAutoFindPrefs PeakTablePrefs(std::int32_t selection) {
  WQBL::PLAutoFindPrefs prefs;
  prefs.EverySpectrum = false;
  prefs.PeakTableSelection = selection;
  return prefs;
}

class AutoGenPLTest : public DataDirectoryTest {
 protected:
  fs::path Target() const { return Dir("Data") / "run7.tofline"; }

  // A synthetic calibration run of 120 scans over m/z 100 to 700, with four calibrants.
  WQDataFile::CalDataFile Run() const {
    WQDataFile::SyntheticRunSettings settings;
    settings.HighMZ = 700.0;
    settings.Calibrants = WQDataFile::SyntheticRunSettings::SodiumIodideClusters(100, 700, 20000);
    return WQDataFile::GenerateSyntheticRun(Wide(Dir("Data") / "run7.dat"), settings);
  }

  pugi::xml_document Exported() const {
    pugi::xml_document document;
    EXPECT_TRUE(document.load_file(Target().c_str()));
    return document;
  }

  std::vector<std::string> DataFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(Dir("Data"))) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

  void BreakSystemConfiguration() const {
    WriteBytes(Dir("Prefs") / "SystemConfiguration.xml",
               "<SystemConfiguration><CalSource>Vial_3</CalSource></SystemConfiguration>");
  }
};

std::vector<std::string> SpectrumAttributes(const pugi::xml_document& document, const char* name) {
  std::vector<std::string> values;
  for (const pugi::xml_node& spectrum :
       document.child("TOFLine").child("Spectra").children("Spectrum")) {
    values.push_back(spectrum.attribute(name).value());
  }
  return values;
}

TEST_F(AutoGenPLTest, ChromatogramWithoutBothAxesIsRefusedBeforeAnythingIsAsked) {
  WQDataFile::CalDataFile file = Run();
  const WQBL::ICObj tic = file.GenerateTIC();
  WQBL::ICObj onlyX;
  onlyX.AssignXAxis(tic.QXAxis());
  WQBL::ICObj onlyY;
  onlyY.AssignYValues(tic.QYValues());
  for (WQBL::ICObj* chromatogram : {&onlyX, &onlyY}) {
    CountingPrefs prefs;
    std::wstring error = L"earlier";
    EXPECT_FALSE(WQRepos::AutoGenPL(file, *chromatogram, prefs, true, error));
    EXPECT_EQ(error, L"X/Y axis of curve not assigned");
    EXPECT_EQ(prefs.EverySpectrumQueries + prefs.PeakTableQueries, 0);
  }
  EXPECT_THAT(DataFiles(), IsEmpty());
}

// Every-spectrum mode: one spectrum per chromatogram point, in point order. The saved document
// read back with an XML parser: its counts and lists agree with one another, its CRC with one
// recomputed from its text, and the peaks of the run's apex with the calibrants.
TEST_F(AutoGenPLTest, EverySpectrumModeSavesADocumentThatAgreesWithItsOwnText) {
  WQDataFile::CalDataFile file = Run();
  WriteBytes(Dir("Data") / "run7.xml", "<Calibrant>NaI</Calibrant>");
  WQBL::ICObj tic = file.GenerateTIC();
  std::wstring error = L"untouched";
  ASSERT_TRUE(WQRepos::AutoGenPL(file, tic, WQBL::PLAutoFindPrefs(), true, error));
  EXPECT_EQ(error, L"untouched");
  EXPECT_FALSE(tic.CheckAllStatus(WQBL::Curve::PeaksDetected));
  const pugi::xml_document document = Exported();
  std::vector<std::string> scans;
  for (int scan = 1; scan <= 120; ++scan) scans.push_back(std::to_string(scan));
  EXPECT_THAT(SpectrumAttributes(document, "ScanNumber"), ElementsAreArray(scans));
  const pugi::xml_node top = document.child("TOFLine");
  EXPECT_THAT(top.child("TOFLineHeader").child_value("NumScans"), StrEq("120"));
  EXPECT_THAT(top.child_value("Calibrant"), StrEq("NaI"));
  const pugi::xml_node spectra = top.child("Spectra");
  EXPECT_EQ(spectra.attribute("CRC").value(), RecomputedCrc(spectra));
  for (const pugi::xml_node& spectrum : spectra.children("Spectrum")) {
    const pugi::xml_node peaks = spectrum.child("Peaks");
    const std::size_t count = peaks.attribute("Count").as_uint();
    EXPECT_EQ(ItemCount(peaks.child_value("CentroidX")), count);
    EXPECT_EQ(ItemCount(peaks.child_value("CentroidAmpl")), count);
    EXPECT_EQ(ItemCount(peaks.child_value("Area")), count);
  }
  const pugi::xml_node apex = spectra.find_child_by_attribute("Spectrum", "ScanNumber", "60");
  std::istringstream positions(apex.child("Peaks").child_value("CentroidX"));
  std::vector<double> found{std::istream_iterator<double>(positions), {}};
  const auto calibrants = WQDataFile::SyntheticRunSettings::SodiumIodideClusters(100, 700, 1);
  ASSERT_THAT(found, SizeIs(calibrants.size()));
  for (std::size_t i = 0; i < found.size(); ++i) EXPECT_NEAR(found[i], calibrants[i].MZ, 0.01);
}

TEST_F(AutoGenPLTest, PeakTableModeDetectsTheChromatogramPeaksWhenNoneAreDetected) {
  WQDataFile::CalDataFile file = Run();
  WQBL::ICObj tic = file.GenerateTIC();
  std::wstring error;
  ASSERT_TRUE(WQRepos::AutoGenPL(file, tic, PeakTablePrefs(WQBL::ApexScan), true, error));
  ASSERT_TRUE(tic.CheckAllStatus(WQBL::Curve::PeaksDetected));
  ASSERT_THAT(tic.QPeaks(), SizeIs(1));
  EXPECT_THAT(SpectrumAttributes(Exported(), "ScanNumber"),
              ElementsAre(std::to_string(tic.QScanNumber(tic.QPeaks()[0].ApexIndex))));
}

TEST_F(AutoGenPLTest, PeakTableModeUsesDetectedPeaksAsTheyAreAndAsksTheSelectionPerPeak) {
  WQDataFile::CalDataFile file = Run();
  WQBL::ICObj tic = file.GenerateTIC();
  std::vector<WQBL::Peak> peaks(3);
  const std::uint32_t points[][3] = {{10, 12, 14}, {50, 60, 70}, {100, 101, 102}};
  for (std::size_t i = 0; i < peaks.size(); ++i) {
    peaks[i].StartIndex = points[i][0];
    peaks[i].ApexIndex = points[i][1];
    peaks[i].EndIndex = points[i][2];
  }
  tic.AssignPeaks(peaks);
  CountingPrefs prefs;
  prefs.EverySpectrum = false;
  prefs.PeakTableSelection = WQBL::PeakScans;
  std::wstring error;
  ASSERT_TRUE(WQRepos::AutoGenPL(file, tic, prefs, true, error));
  EXPECT_EQ(tic.QPeaks(), peaks);
  EXPECT_EQ(prefs.PeakTableQueries, 3);
  const pugi::xml_document document = Exported();
  EXPECT_THAT(SpectrumAttributes(document, "ScanNumber"), ElementsAre("11", "51", "101"));
  EXPECT_THAT(SpectrumAttributes(document, "Name"),
              ElementsAre("Average of 5 scans, 11 to 15", "Average of 21 scans, 51 to 71",
                          "Average of 3 scans, 101 to 103"));
}

TEST_F(AutoGenPLTest, ChromatogramWithoutPeaksGivesADocumentWithoutSpectra) {
  WQDataFile::CalDataFile file = Run();
  WQBL::ICObj flat = file.GenerateTIC();
  flat.AssignYValues(std::vector<double>(flat.QNumPoints(), 1000.0));
  std::wstring error;
  ASSERT_TRUE(WQRepos::AutoGenPL(file, flat, PeakTablePrefs(WQBL::ApexScan), true, error));
  const pugi::xml_document document = Exported();
  const pugi::xml_node spectra = document.child("TOFLine").child("Spectra");
  EXPECT_FALSE(spectra.first_child());
  EXPECT_THAT(spectra.attribute("CRC").value(), StrEq("0"));
}

// The exported lists of three scans equal those of the scans averaged, smoothed when switched on,
// and then searched for peaks.
TEST_F(AutoGenPLTest, SmoothingRunsOnlyWhenSwitchedOnAndBeforePeakDetection) {
  WQDataFile::CalDataFile file = Run();
  const std::vector<std::uint32_t> scans = {59, 60, 61};
  std::vector<std::string> expected[2];
  for (bool smooth : {false, true}) {
    for (std::uint32_t scan : scans) {
      std::unique_ptr<WQBL::Spectrum> spectrum = file.GenerateAveragedSpectrum({scan}, {});
      WQBL::Changed changed;
      std::wstring message;
      if (smooth) WQBL::ExecuteSmooth(*spectrum, changed, message);
      WQBL::ExecutePeakDetect(*spectrum, changed, message);
      WQCommon::XMLBuilder builder;
      WQRepos::StickFigureData(*spectrum, file).Serialize(builder);
      expected[smooth].push_back(
          ParseXml(builder.QXML()).child("Spectrum").child("Peaks").child_value("CentroidAmpl"));
    }
  }
  ASSERT_NE(expected[false], expected[true]);
  for (bool smooth : {false, true}) {
    WQBL::ICObj chromatogram;
    chromatogram.AssignXAxis({29.0, 29.5, 30.0});
    chromatogram.AssignYValues({1.0, 2.0, 1.0});
    chromatogram.AssignScanNumbers(scans);
    WQBL::PLAutoFindPrefs prefs;
    prefs.Smooth = smooth;
    std::wstring error;
    ASSERT_TRUE(WQRepos::AutoGenPL(file, chromatogram, prefs, true, error));
    std::vector<std::string> exported;
    const pugi::xml_document document = Exported();
    for (const pugi::xml_node& spectrum :
         document.child("TOFLine").child("Spectra").children("Spectrum")) {
      exported.push_back(spectrum.child("Peaks").child_value("CentroidAmpl"));
    }
    EXPECT_EQ(exported, expected[smooth]) << "smoothing " << smooth;
  }
}

TEST_F(AutoGenPLTest, WithoutTheWriteFlagNothingIsWrittenAndTheErrorTextIsKept) {
  WQDataFile::CalDataFile file = Run();
  WQBL::ICObj tic = file.GenerateTIC();
  for (const WQBL::PLAutoFindPrefs& prefs :
       {WQBL::PLAutoFindPrefs(), PeakTablePrefs(WQBL::PeakScans)}) {
    std::wstring error = L"untouched";
    EXPECT_TRUE(WQRepos::AutoGenPL(file, tic, prefs, false, error));
    EXPECT_EQ(error, L"untouched");
  }
  EXPECT_THAT(DataFiles(), IsEmpty());
}

TEST_F(AutoGenPLTest, FailureWhileProducingSpectraPassesToTheCallerWithNoDocument) {
  WQDataFile::CalDataFile file = Run();
  WQBL::ICObj chromatogram;
  chromatogram.AssignXAxis({0.0, 0.5});
  chromatogram.AssignYValues({1.0, 1.0});
  chromatogram.AssignScanNumbers({1, 999});
  const std::string message = "Scan 999 is not in " + (Dir("Data") / "run7.dat").string() + ".";
  for (bool write : {false, true}) {
    std::wstring error;
    EXPECT_THAT(
        [&] { WQRepos::AutoGenPL(file, chromatogram, WQBL::PLAutoFindPrefs(), write, error); },
        ThrowsMessage<WQDataFile::DataFileError>(StrEq(message)));
    EXPECT_THAT(error, IsEmpty());
  }
  EXPECT_THAT(DataFiles(), IsEmpty());
}

// The target is checked before the document is built: a broken system configuration is not
// reached, and nothing is written.
TEST_F(AutoGenPLTest, UnwritableTargetIsReportedAndNothingIsWritten) {
  WQDataFile::CalDataFile file = Run();
  WQBL::ICObj tic = file.GenerateTIC();
  fs::create_directory(Target());
  BreakSystemConfiguration();
  std::wstring error;
  EXPECT_FALSE(WQRepos::AutoGenPL(file, tic, WQBL::PLAutoFindPrefs(), true, error));
  EXPECT_EQ(error, L"Cannot write to file" + Wide(Target()));
  EXPECT_THAT(DataFiles(), ElementsAre("run7.tofline"));
  EXPECT_TRUE(fs::is_empty(Target()));
}

TEST_F(AutoGenPLTest, FailureWhileBuildingTheDocumentIsReportedAndTheEarlierFileKept) {
  WQDataFile::CalDataFile file = Run();
  WQBL::ICObj tic = file.GenerateTIC();
  WriteBytes(Target(), "earlier");
  BreakSystemConfiguration();
  std::wstring error;
  EXPECT_FALSE(WQRepos::AutoGenPL(file, tic, WQBL::PLAutoFindPrefs(), true, error));
  EXPECT_EQ(error,
            L"std::exception - QMV Exception with wide string. String Vial_3 not found in "
            L"enumeration map.");
  EXPECT_EQ(ReadBytes(Target()), "earlier");
  EXPECT_THAT(DataFiles(), ElementsAre("run7.tofline"));
}

}  // namespace
