#include <WQCommon/Binary.h>
#include <WQCommon/Text.h>
#include <WQDataFile/DataFile.h>
#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace WQDataFile {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::ThrowsMessage;

class DataFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    directory_ =
        fs::temp_directory_path() /
        ("wqdatafile-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(directory_);
  }
  void TearDown() override { fs::remove_all(directory_); }

  std::wstring PathOf(const std::string& name) const {
    return WQCommon::WQNarrowToWideStr((directory_ / name).string());
  }

  fs::path directory_;
};

WQBL::Method MethodWithTunes() {
  WQBL::Method method;
  method.TimePeriods.resize(1);
  method.Tunes[3] = WQBL::TuneEntry(L"Low", WQCommon::Probes::APCI, WQCommon::Negative);
  method.Tunes[5] = WQBL::TuneEntry(L"High", WQCommon::Probes::ESI, WQCommon::Positive);
  return method;
}

Scan ScanOf(std::uint32_t number, double time, std::uint32_t tuneRun, std::vector<double> mz,
            std::vector<double> intensity) {
  Scan scan;
  scan.ScanNumber = number;
  scan.RetentionTime = time;
  scan.TuneRunIndex = tuneRun;
  scan.MZ = std::move(mz);
  scan.Intensity = std::move(intensity);
  return scan;
}

// Three scans on one m/z axis, the second and third with tune run 1.
CalDataFile SmallFile(const std::wstring& path) {
  CalDataFile file(path, L"Calibration \u00e9t\u00e9", -86400LL * 365 * 80, MethodWithTunes());
  file.AddTuneRun(TuneRun{5});
  file.AddTuneRun(TuneRun{3});
  file.AddScan(ScanOf(10, 1.5, 0, {100.0, 100.5, 101.0}, {1.0, 2.0, 3.0}));
  file.AddScan(ScanOf(11, 2.0, 1, {100.0, 100.5, 101.0}, {3.0, 4.0, 5.0}));
  file.AddScan(ScanOf(13, 3.5, 1, {100.0, 100.5, 101.0}, {5.0, 9.0, 1.0}));
  return file;
}

std::string ReadAll(const std::wstring& path) {
  std::ifstream in(WQCommon::WQWideToNarrowStr(path), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::wstring& path, const std::string& bytes) {
  std::ofstream(WQCommon::WQWideToNarrowStr(path), std::ios::binary) << bytes;
}

void ExpectSameScan(const Scan& actual, const Scan& expected) {
  EXPECT_EQ(actual.ScanNumber, expected.ScanNumber);
  EXPECT_EQ(actual.RetentionTime, expected.RetentionTime);
  EXPECT_EQ(actual.TuneRunIndex, expected.TuneRunIndex);
  EXPECT_EQ(actual.MZ, expected.MZ);
  EXPECT_EQ(actual.Intensity, expected.Intensity);
}

TEST_F(DataFileTest, SavedFileReadsBackAsWritten) {
  const std::wstring path = PathOf("run7.dat");
  const CalDataFile written = SmallFile(path);
  written.Save();
  const CalDataFile read(path);
  EXPECT_EQ(read.QFileName(), path);
  EXPECT_EQ(read.QDescription(), written.QDescription());
  EXPECT_EQ(read.QCreateTime(), written.QCreateTime());
  EXPECT_EQ(read.QMethod(), written.QMethod());
  ASSERT_EQ(read.QNumTuneRuns(), 2u);
  EXPECT_EQ(read.QTuneRun(0).TuneId, 5);
  EXPECT_EQ(read.QTuneRun(1).TuneId, 3);
  ASSERT_EQ(read.QNumScanSpectra(), 3u);
  for (std::uint32_t i = 0; i < 3; ++i) ExpectSameScan(read.QScan(i), written.QScan(i));
}

TEST_F(DataFileTest, MissingFileIsRefused) {
  const std::wstring path = PathOf("absent.dat");
  EXPECT_THAT([&] { CalDataFile file(path); },
              ThrowsMessage<DataFileError>("Cannot open data file " +
                                           WQCommon::WQWideToNarrowStr(path) + "."));
}

TEST_F(DataFileTest, FileOfAnotherVersionIsRefused) {
  const std::wstring path = PathOf("run7.dat");
  SmallFile(path).Save();
  std::string bytes = ReadAll(path);
  bytes[0] = 2;
  WriteAll(path, bytes);
  EXPECT_THAT([&] { CalDataFile file(path); },
              ThrowsMessage<DataFileError>("Unknown data file version 2 in " +
                                           WQCommon::WQWideToNarrowStr(path) + "."));
}

TEST_F(DataFileTest, TruncatedFileIsRefusedNamingIt) {
  const std::wstring path = PathOf("run7.dat");
  SmallFile(path).Save();
  const std::string bytes = ReadAll(path);
  WriteAll(path, bytes.substr(0, bytes.size() - 4));
  EXPECT_THAT([&] { CalDataFile file(path); },
              ThrowsMessage<WQCommon::StreamError>(
                  HasSubstr("Cannot read " + WQCommon::WQWideToNarrowStr(path) + ": ")));
}

TEST_F(DataFileTest, PointCountLargerThanTheFileIsRefusedBeforeAnythingIsSized) {
  const std::wstring path = PathOf("run7.dat");
  CalDataFile file(path, L"", 0, WQBL::Method());
  file.AddTuneRun(TuneRun{1});
  file.AddScan(ScanOf(1, 0.0, 0, {}, {}));
  file.Save();
  // The file ends with the point count of its one scan.
  std::string bytes = ReadAll(path);
  bytes.replace(bytes.size() - 4, 4, "\xff\xff\xff\x7f");
  WriteAll(path, bytes);
  EXPECT_THROW(CalDataFile read(path), WQCommon::StreamError);
}

TEST_F(DataFileTest, UnwritableTargetIsReportedNamingIt) {
  const std::wstring path = PathOf("missing/run7.dat");
  EXPECT_THAT([&] { SmallFile(path).Save(); },
              ThrowsMessage<DataFileError>(
                  HasSubstr("Cannot write data file " + WQCommon::WQWideToNarrowStr(path) + ": ")));
}

TEST_F(DataFileTest, ScansOutOfOrderOrInconsistentAreRefused) {
  CalDataFile file = SmallFile(L"/cal/run7.dat");
  EXPECT_THAT([&] { file.AddScan(ScanOf(13, 4.0, 0, {}, {})); },
              ThrowsMessage<DataFileError>("Scan 13 of /cal/run7.dat does not follow scan 13."));
  EXPECT_THAT([&] { file.AddScan(ScanOf(14, 4.0, 2, {}, {})); },
              ThrowsMessage<DataFileError>(
                  "Scan 14 of /cal/run7.dat names tune run 2, which the file does not have."));
  EXPECT_THAT(
      [&] { file.AddScan(ScanOf(14, 4.0, 0, {1.0}, {})); },
      ThrowsMessage<DataFileError>("Scan 14 of /cal/run7.dat has 1 m/z values but 0 intensities."));
  const Scan repeated = ScanOf(14, 4.0, 0, {2.0, 2.0}, {1.0, 1.0});
  EXPECT_THAT(
      [&] { file.AddScan(repeated); },
      ThrowsMessage<DataFileError>("Scan 14 of /cal/run7.dat has m/z values that do not ascend."));
  EXPECT_EQ(file.QNumScanSpectra(), 3u);
  EXPECT_THAT([&] { file.QTuneRun(2); },
              ThrowsMessage<DataFileError>("Tune run 2 is not in /cal/run7.dat."));
}

TEST_F(DataFileTest, AveragedSpectrumIsTheMeanOfItsScans) {
  const CalDataFile file = SmallFile(L"/cal/run7.dat");
  const std::unique_ptr<WQBL::Spectrum> spectrum =
      file.GenerateAveragedSpectrum({13, 11}, WQBL::MZRange());
  EXPECT_THAT(spectrum->QXAxis(), ElementsAre(100.0, 100.5, 101.0));
  EXPECT_THAT(spectrum->QYValues(), ElementsAre(4.0, 6.5, 3.0));
  EXPECT_EQ(spectrum->TIC, 13.5);
  EXPECT_EQ(spectrum->RetentionTime, 2.75);
  EXPECT_THAT(spectrum->ScanNumbers, ElementsAre(13u, 11u));
  EXPECT_EQ(spectrum->TuneRunIndex, 1u);
  EXPECT_EQ(spectrum->Name, L"Average of 2 scans, 13 to 11");
  EXPECT_TRUE(spectrum->CheckAllStatus(WQBL::Curve::XAssigned | WQBL::Curve::YAssigned));
  EXPECT_EQ(file.GenerateAveragedSpectrum({10}, WQBL::MZRange())->Name, L"Scan 10");
}

TEST_F(DataFileTest, ScansOnOtherAxesAreInterpolatedOntoTheFirst) {
  CalDataFile file = SmallFile(L"/cal/run7.dat");
  file.AddScan(ScanOf(20, 5.0, 0, {100.25, 100.75}, {10.0, 20.0}));
  const auto spectrum = file.GenerateAveragedSpectrum({10, 20}, WQBL::MZRange());
  // 100.0 lies outside the second scan; 100.5 lies halfway between its points.
  EXPECT_THAT(spectrum->QYValues(), ElementsAre(0.5, 8.5, 1.5));
}

TEST_F(DataFileTest, BoundedRangeLimitsTheAxis) {
  const CalDataFile file = SmallFile(L"/cal/run7.dat");
  const auto spectrum =
      file.GenerateAveragedSpectrum({10}, WQBL::MZRange(WQBL::MZRange::Bounded, 100.4, 101.0));
  EXPECT_THAT(spectrum->QXAxis(), ElementsAre(100.5, 101.0));
  EXPECT_EQ(spectrum->TIC, 5.0);
}

TEST_F(DataFileTest, EmptyOrUnknownScanListIsRefused) {
  const CalDataFile file = SmallFile(L"/cal/run7.dat");
  EXPECT_THAT([&] { file.GenerateAveragedSpectrum({}, WQBL::MZRange()); },
              ThrowsMessage<DataFileError>("No scans to average in /cal/run7.dat."));
  const std::vector<std::uint32_t> unknown = {10, 12};
  EXPECT_THAT([&] { file.GenerateAveragedSpectrum(unknown, WQBL::MZRange()); },
              ThrowsMessage<DataFileError>("Scan 12 is not in /cal/run7.dat."));
}

}  // namespace
}  // namespace WQDataFile
