#include <WQDataFile/DataFile.h>
#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

namespace WQDataFile {
namespace {

namespace fs = std::filesystem;
using ::testing::DoubleNear;
using ::testing::ElementsAre;
using ::testing::Pair;
using ::testing::StartsWith;
using ::testing::StrEq;
using ::testing::ThrowsMessage;

const fs::path kData = WQDATAFILE_TEST_DATA;

// Three centroids of one MS1 scan, as 32-bit big-endian floats in base 64: m/z 100, 150.5 and
// 200.25 with intensities 10, 30 and 20.
constexpr char kMzXML[] = R"(<?xml version="1.0" encoding="ISO-8859-1"?>
<mzXML xmlns="http://sashimi.sourceforge.net/schema_revision/mzXML_3.2">
 <msRun scanCount="1" startTime="PT0S" endTime="PT1S">
  <msInstrument><msManufacturer category="msManufacturer" value="Maker"/>
   <msModel category="msModel" value="Model"/></msInstrument>
  <scan num="1" msLevel="1" peaksCount="3" centroided="1" retentionTime="PT12.5S">
   <peaks precision="32" byteOrder="network" contentType="m/z-int" compressionType="none"
          compressedLen="0">QsgAAEEgAABDFoAAQfAAAENIQABBoAAA</peaks>
  </scan>
 </msRun>
</mzXML>
)";

// One peak list, which the file's reader takes for MS level 2.
constexpr char kMGF[] =
    "BEGIN IONS\nTITLE=one\nPEPMASS=500.5\nCHARGE=2+\nRTINSECONDS=30\n"
    "200.5 12\n100.25 40\nEND IONS\n";

class OpenFormatTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(directory_); }
  void TearDown() override { fs::remove_all(directory_); }

  fs::path Write(const std::string& name, const std::string& bytes) const {
    const fs::path path = directory_ / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  static std::string Bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  const fs::path directory_ =
      fs::temp_directory_path() /
      ("wqopenformat-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
       ::testing::UnitTest::GetInstance()->current_test_info()->name());
};

TEST_F(OpenFormatTest, ProfileMzMLBecomesOneScanWithTuneZero) {
  const CalDataFile file((kData / "peakpicker_tutorial_1.mzML").wstring());
  EXPECT_EQ(file.QDescription(),
            L"instrument model, laser desorption ionization, time-of-flight, detector type");
  EXPECT_EQ(file.QCreateTime(), 0);
  EXPECT_TRUE(file.QMethod().TimePeriods.empty());
  EXPECT_TRUE(file.QMethod().Tunes.empty());
  ASSERT_EQ(file.QNumTuneRuns(), 1u);
  EXPECT_EQ(file.QTuneRun(0).TuneId, 0);
  ASSERT_EQ(file.QNumScanSpectra(), 1u);
  const Scan& scan = file.QScan(0);
  EXPECT_EQ(scan.ScanNumber, 81u);
  EXPECT_EQ(scan.RetentionTime, 384.0);
  EXPECT_FALSE(scan.Centroided);
  ASSERT_EQ(scan.MZ.size(), 120544u);
  EXPECT_NEAR(scan.MZ.front(), 999.9, 0.1);
  EXPECT_NEAR(scan.MZ.back(), 5000.0, 0.1);
  EXPECT_THAT(file.QSpectraPerMSLevel(), ElementsAre(Pair(1, 1u)));
}

TEST_F(OpenFormatTest, CompressedMzMLReadsAsThePlainFile) {
  const CalDataFile plain((kData / "peakpicker_tutorial_1_picked.mzML").wstring());
  const CalDataFile packed((kData / "peakpicker_tutorial_1_picked.mzML.gz").wstring());
  ASSERT_EQ(packed.QNumScanSpectra(), 1u);
  EXPECT_EQ(packed.QScan(0).MZ, plain.QScan(0).MZ);
  EXPECT_EQ(packed.QScan(0).Intensity, plain.QScan(0).Intensity);
  EXPECT_EQ(packed.QScan(0).MZ.size(), 94u);
}

// The open file keeps only where each spectrum lies; its arrays are read again for every request.
TEST_F(OpenFormatTest, ScanIsReadFromTheFileWhenAskedForAndAChangeIsRefused) {
  std::string text = Bytes(kData / "peakpicker_tutorial_1_picked.mzML");
  const fs::path path = Write("run.mzML", text);
  const CalDataFile file(path.wstring());
  EXPECT_EQ(file.QScan(0).RetentionTime, 384.0);
  const std::string start = "name=\"scan start time\" value=\"384\"";
  ASSERT_NE(text.find(start), std::string::npos);
  text.replace(text.find(start) + start.size() - 3, 1, "4");
  std::ofstream(path, std::ios::binary | std::ios::in) << text;
  EXPECT_THAT([&] { file.QScan(0); },
              ThrowsMessage<DataFileError>(
                  StrEq("Scan 81 of " + path.string() + " changed after the file was opened.")));
}

// Centroid scans average by merging their peak lists on m/z; the export keeps them as they are.
TEST_F(OpenFormatTest, CentroidMzXMLKeepsItsCentroids) {
  const fs::path path = Write("run.mzXML", kMzXML);
  const CalDataFile file(path.wstring());
  ASSERT_EQ(file.QNumScanSpectra(), 1u);
  const Scan& scan = file.QScan(0);
  EXPECT_EQ(scan.ScanNumber, 1u);
  EXPECT_EQ(scan.RetentionTime, 12.5);
  EXPECT_TRUE(scan.Centroided);
  EXPECT_THAT(scan.MZ, ElementsAre(100.0, 150.5, 200.25));
  EXPECT_THAT(scan.Intensity, ElementsAre(10.0, 30.0, 20.0));
  EXPECT_TRUE(file.QCentroided({1}));
}

// An MGF file holds peak lists without survey scans: each is a scan of the run, its points in
// ascending m/z order, although the file's reader calls them MS2.
TEST_F(OpenFormatTest, EveryMGFPeakListIsAScan) {
  const CalDataFile file(Write("frag.mgf", kMGF).wstring());
  ASSERT_EQ(file.QNumScanSpectra(), 1u);
  EXPECT_THAT(file.QScan(0).MZ, ElementsAre(100.25, 200.5));
  EXPECT_THAT(file.QScan(0).Intensity, ElementsAre(40.0, 12.0));
  EXPECT_EQ(file.QScan(0).RetentionTime, 30.0);
  EXPECT_THAT(file.QSpectraPerMSLevel(), ElementsAre(Pair(2, 1u)));
}

TEST_F(OpenFormatTest, CentroidScansAverageByMergingPeaks) {
  const fs::path path = directory_ / "centroids.dat";
  CalDataFile written(path.wstring(), L"", 0, WQBL::Method());
  written.AddTuneRun(TuneRun{0});
  written.AddScan({1, 1.0, 0, {100.0, 200.0}, {10.0, 40.0}, true});
  written.AddScan({2, 3.0, 0, {100.01, 150.0, 200.0}, {30.0, 8.0, 20.0}, true});
  written.Save();
  const CalDataFile file(path.wstring());
  EXPECT_TRUE(file.QScan(1).Centroided);
  const auto spectrum = file.GenerateAveragedSpectrum({1, 2}, WQBL::MZRange());
  EXPECT_THAT(spectrum->QXAxis(), ElementsAre(DoubleNear(100.0075, 1e-9), 150.0, 200.0));
  EXPECT_THAT(spectrum->QYValues(), ElementsAre(20.0, 4.0, 30.0));
}

TEST_F(OpenFormatTest, UnknownTruncatedOrMalformedFileIsRefusedNamingIt) {
  const fs::path text = Write("notes.txt", "Calibration notes\n");
  EXPECT_THAT([&] { CalDataFile file(text.wstring()); },
              ThrowsMessage<DataFileError>(StrEq(
                  text.string() + " is not a data file of a supported format (the instrument's "
                                  "own, mzML, mzXML or MGF).")));
  const std::string whole = Bytes(kData / "peakpicker_tutorial_1_picked.mzML");
  const fs::path cut = Write("cut.mzML", whole.substr(0, whole.size() / 2));
  EXPECT_THAT([&] { CalDataFile file(cut.wstring()); },
              ThrowsMessage<DataFileError>(
                  StrEq("Cannot read mzML file " + cut.string() + ": it is truncated.")));
  const std::string packed = Bytes(kData / "peakpicker_tutorial_1_picked.mzML.gz");
  const fs::path cutPacked = Write("cut.mzML.gz", packed.substr(0, packed.size() / 2));
  EXPECT_THAT([&] { CalDataFile file(cutPacked.wstring()); },
              ThrowsMessage<DataFileError>(StrEq("Cannot decompress " + cutPacked.string() +
                                                 ": it is truncated or corrupt.")));
  // Scans are numbered once all are read; a faulty one is named by its number.
  const fs::path faulty =
      Write("faulty.mgf", std::string(kMGF) + "BEGIN IONS\n100 nan\nEND IONS\n");
  EXPECT_THAT(
      [&] { CalDataFile file(faulty.wstring()); },
      ThrowsMessage<DataFileError>(StrEq("Scan 1 of " + faulty.string() +
                                         " has an intensity that is not a finite number.")));
  const fs::path broken = Write("broken.mzML", "<mzML><run><spectrumList count=\"x\"></mzML>");
  EXPECT_THAT(
      [&] { CalDataFile file(broken.wstring()); },
      ThrowsMessage<DataFileError>(StartsWith("Cannot read mzML file " + broken.string() + ": ")));
}

}  // namespace
}  // namespace WQDataFile
