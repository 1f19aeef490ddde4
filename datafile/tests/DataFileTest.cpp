#include <WQCommon/Binary.h>
#include <WQDataFile/DataFile.h>
#include <WQDataFile/SyntheticRun.h>
#include <WQPlatformTesting/ScratchFiles.h>
#include <gmock/gmock.h>

#include <filesystem>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

namespace WQDataFile {
namespace {

namespace fs = std::filesystem;
using ::testing::DoubleNear;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Pair;
using ::testing::StartsWith;
using ::testing::StrEq;
using ::testing::ThrowsMessage;
using WQPlatformTesting::ReadBytes;

const fs::path kData = WQDATAFILE_TEST_DATA;

// Three centroids of one MS1 scan, as 32-bit big-endian floats in base 64: m/z 100, 150.5 and
// 200.25 with intensities 10, 30 and 20.
constexpr char kMzXML[] = R"(<?xml version="1.0" encoding="ISO-8859-1"?>
<mzXML xmlns="http://sashimi.sourceforge.net/schema_revision/mzXML_3.2">
 <msRun scanCount="1">
  <scan num="1" msLevel="1" peaksCount="3" centroided="1" retentionTime="PT12.5S">
   <peaks precision="32" byteOrder="network" contentType="m/z-int" compressionType="none"
          compressedLen="0">QsgAAEEgAABDFoAAQfAAAENIQABBoAAA</peaks>
  </scan>
 </msRun>
</mzXML>
)";

// One centroid scan whose arrays are zlib-compressed: m/z 100, 150.5 and 200.25 (64-bit) with
// intensities 10, 30 and 20 (32-bit), half a minute into a run started at 09:30 two hours east of
// UTC.
constexpr char kMzML[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<mzML xmlns="http://psi.hupo.org/ms/mzml" version="1.1.0">
 <run id="r" startTimeStamp="2024-05-17T09:30:00+02:00">
  <spectrumList count="1">
   <spectrum index="0" id="scan=7" defaultArrayLength="3">
    <cvParam cvRef="MS" accession="MS:1000511" name="ms level" value="1"/>
    <cvParam cvRef="MS" accession="MS:1000127" name="centroid spectrum"/>
    <scanList count="1">
     <scan>
      <cvParam cvRef="MS" accession="MS:1000016" name="scan start time" value="0.5"
               unitCvRef="UO" unitAccession="UO:0000031" unitName="minute"/>
     </scan>
    </scanList>
    <binaryDataArrayList count="2">
     <binaryDataArray encodedLength="32">
      <cvParam cvRef="MS" accession="MS:1000523" name="64-bit float"/>
      <cvParam cvRef="MS" accession="MS:1000574" name="zlib compression"/>
      <cvParam cvRef="MS" accession="MS:1000514" name="m/z array"/>
      <binary>eJxjYACBSAcwdSEJQnNkOgAAGsgCvQ==</binary>
     </binaryDataArray>
     <binaryDataArray encodedLength="24">
      <cvParam cvRef="MS" accession="MS:1000521" name="32-bit float"/>
      <cvParam cvRef="MS" accession="MS:1000574" name="zlib compression"/>
      <cvParam cvRef="MS" accession="MS:1000515" name="intensity array"/>
      <binary>eJxjYFBwZGD4AMQLHAEL+wJ0</binary>
     </binaryDataArray>
    </binaryDataArrayList>
   </spectrum>
  </spectrumList>
 </run>
</mzML>
)";

// The spectrum of kMzML without compression, its intensities as the array `intensities` gives
// them: its id names scan 7 through a character reference, its m/z text is broken by blanks, and
// the header declares the parameter group "counts" (64-bit integer intensities).
std::string MzMLWithIntensities(const std::string& intensities) {
  return R"(<?xml version="1.0" encoding="UTF-8"?>
<mzML xmlns="http://psi.hupo.org/ms/mzml" version="1.1.0">
 <referenceableParamGroupList count="1">
  <referenceableParamGroup id="counts">
   <cvParam cvRef="MS" accession="MS:1000522" name="64-bit integer"/>
   <cvParam cvRef="MS" accession="MS:1000576" name="no compression"/>
   <cvParam cvRef="MS" accession="MS:1000515" name="intensity array"/>
  </referenceableParamGroup>
 </referenceableParamGroupList>
 <run id="r">
  <spectrumList count="1">
   <spectrum index="0" id="scan&#61;7" defaultArrayLength="3">
    <cvParam cvRef="MS" accession="MS:1000127" name="centroid spectrum"/>
    <scanList count="1">
     <scan>
      <cvParam cvRef="MS" accession="MS:1000016" name="scan start time" value="30"
               unitCvRef="UO" unitAccession="UO:0000010" unitName="second"/>
     </scan>
    </scanList>
    <binaryDataArrayList count="2">
     <binaryDataArray encodedLength="32">
      <cvParam cvRef="MS" accession="MS:1000523" name="64-bit float"/>
      <cvParam cvRef="MS" accession="MS:1000514" name="m/z array"/>
      <binary>AAAAAAAA WUAAAAAA
        ANBiQAAAAAAACGlA</binary>
     </binaryDataArray>
)" + intensities +
         R"(
    </binaryDataArrayList>
   </spectrum>
  </spectrumList>
 </run>
</mzML>
)";
}

// One peak list, which the file's reader takes for MS level 2.
constexpr char kMGF[] =
    "BEGIN IONS\nTITLE=one\nPEPMASS=500.5\nCHARGE=2+\nRTINSECONDS=30\n"
    "200.5 12\n100.25 40\nEND IONS\n";

// Three scans on one m/z axis, the second and third with tune run 1.
CalDataFile SmallFile(const std::wstring& path) {
  WQBL::Method method;
  method.TimePeriods.resize(1);
  method.Tunes[3] = WQBL::TuneEntry(L"Low", WQCommon::Probes::APCI, WQCommon::Negative);
  method.Tunes[5] = WQBL::TuneEntry(L"High", WQCommon::Probes::ESI, WQCommon::Positive);
  CalDataFile file(path, L"Calibration \u00e9t\u00e9", -86400LL * 365 * 80, method);
  file.AddTuneRun(TuneRun{5});
  file.AddTuneRun(TuneRun{3});
  file.AddScan({10, 1.5, 0, {100.0, 100.5, 101.0}, {1.0, 2.0, 3.0}});
  file.AddScan({11, 2.0, 1, {100.0, 100.5, 101.0}, {3.0, 4.0, 5.0}});
  file.AddScan({13, 3.5, 1, {100.0, 100.5, 101.0}, {5.0, 9.0, 1.0}});
  return file;
}

class DataFileTest : public ::testing::Test {
 protected:
  fs::path Write(const std::string& name, const std::string& bytes) const {
    const fs::path path = directory_ / name;
    WQPlatformTesting::WriteBytes(path, bytes);
    return path;
  }
  // The file as SmallFile() saves it, with its bytes changed by `change`.
  std::string SavedAndChanged(const std::function<void(std::string&)>& change) const {
    SmallFile((directory_ / "run7.dat").wstring()).Save();
    std::string bytes = ReadBytes(directory_ / "run7.dat");
    change(bytes);
    return Write("run7.dat", bytes).string();
  }

  const WQPlatformTesting::ScratchDirectory scratch_;
  const fs::path& directory_ = scratch_.Path();
};

auto Fields(const Scan& scan) {
  return std::tie(scan.ScanNumber, scan.RetentionTime, scan.TuneRunIndex, scan.MZ, scan.Intensity,
                  scan.Centroided);
}

// A saved file reads back as written. It is read scan by scan from the file it was opened from,
// which stays open: its TIC is totalled while it is read, and its scans stay readable when the path
// is saved over.
TEST_F(DataFileTest, SavedFileReadsBackScanByScanFromTheFileItOpened) {
  const std::wstring path = (directory_ / "run7.dat").wstring();
  const CalDataFile written = SmallFile(path);
  written.Save();
  const CalDataFile read(path);
  CalDataFile(path, L"Another run", 0, WQBL::Method()).Save();
  EXPECT_EQ(std::tie(read.QFileName(), read.QDescription(), read.QMethod()),
            std::tie(path, written.QDescription(), written.QMethod()));
  EXPECT_EQ(read.QCreateTime(), written.QCreateTime());
  EXPECT_EQ(std::make_tuple(read.QNumTuneRuns(), read.QTuneRun(0).TuneId, read.QTuneRun(1).TuneId),
            std::make_tuple(2u, 5, 3));
  const WQBL::ICObj tic = read.GenerateTIC();
  EXPECT_EQ(tic.QXAxis(), written.GenerateTIC().QXAxis());
  EXPECT_THAT(tic.QYValues(), ElementsAre(6.0, 12.0, 15.0));
  EXPECT_THAT(tic.QScanNumbers(), ElementsAre(10u, 11u, 13u));
  ASSERT_EQ(read.QNumScanSpectra(), 3u);
  for (std::uint32_t i = 0; i < 3; ++i) EXPECT_EQ(Fields(read.QScan(i)), Fields(written.QScan(i)));
}

// Six bytes hold the version and half the description's length. The file ends with the point
// count of its last scan and its three m/z values and intensities; the second m/z value becomes a
// NaN, which the checks of a scan added refuse in the scans read, too.
TEST_F(DataFileTest, DamagedFileIsRefusedAndUnwritableTargetReportedNamingThem) {
  const std::tuple<std::function<void(std::string&)>, std::string, std::string, bool> cases[] = {
      {[](std::string& bytes) { bytes.resize(6); }, "Cannot read ",
       ": Binary stream ended early: a value needs 4 bytes, 2 remain", true},
      {[](std::string& bytes) { bytes.replace(bytes.size() - 6 * 8 - 4, 4, "\xff\xff\xff\x7f"); },
       "Cannot read ",
       ": Binary stream holds a count of 2147483647 items, more than its remaining 48 bytes can "
       "hold",
       true},
      {[](std::string& bytes) { bytes[0] = 2; }, "Unknown data file version 2 in ", ".", false},
      {[](std::string& bytes) {
         bytes.replace(bytes.size() - 5 * 8, 8, std::string("\0\0\0\0\0\0\xf8\x7f", 8));
       },
       "Scan 13 of ", " has an m/z value that is not a finite number.", false}};
  for (const auto& [change, before, after, endsEarly] : cases) {
    const std::string path = SavedAndChanged(change);
    const auto open = [&] { CalDataFile file(fs::path(path).wstring()); };
    const auto message = StrEq(before + path + after);
    if (endsEarly) {
      EXPECT_THAT(open, ThrowsMessage<WQCommon::StreamError>(message));
    } else {
      EXPECT_THAT(open, ThrowsMessage<DataFileError>(message));
    }
  }
  const fs::path unwritable = directory_ / "missing" / "run7.dat";
  EXPECT_THAT([&] { SmallFile(unwritable.wstring()).Save(); },
              ThrowsMessage<DataFileError>(
                  HasSubstr("Cannot write data file " + unwritable.string() + ": ")));
}

// After the file was opened, the last scan's second m/z value becomes a NaN, or moves by one unit
// in its last place (its count, range and intensities kept), or its first intensity becomes
// another number; the intensity array of an mzML scan loses a value while its m/z array keeps
// three, or both lose one while the intensities keep their total. Reading the scan, averaging it
// and saving the file refuse it alike; the save writes nothing.
TEST_F(DataFileTest, ScanChangedAfterOpenIsRefusedByEveryReadAndBySave) {
  const auto replace = [](std::string from, std::string to) {
    return [=](std::string& bytes) { bytes.replace(bytes.find(from), from.size(), to); };
  };
  const std::tuple<std::string, std::uint32_t, std::function<void(std::string&)>> cases[] = {
      {"", 13,
       [](std::string& bytes) {
         bytes.replace(bytes.size() - 5 * 8, 8, std::string("\0\0\0\0\0\0\xf8\x7f", 8));
       }},
      {"", 13, [](std::string& bytes) { bytes[bytes.size() - 5 * 8] ^= 1; }},
      {"", 13,
       [](std::string& bytes) {
         bytes.replace(bytes.size() - 3 * 8, 8, std::string("\0\0\0\0\0\0\x18\x40", 8));
       }},
      {kMzML, 7,
       [&](std::string& bytes) {
         replace("<binaryDataArray encodedLength=\"24\">",
                 "<binaryDataArray arrayLength=\"2\" encodedLength=\"24\">")(bytes);
         replace("eJxjYFBwZGD4AMQLHAEL+wJ0", "eJxjYFBwZGD44AgABC4Bkw==")(bytes);
       }},
      {kMzML, 7, [&](std::string& bytes) {
         replace("defaultArrayLength=\"3\"", "defaultArrayLength=\"2\"")(bytes);
         replace("encodedLength=\"24\"", "encodedLength=\"20\"")(bytes);
         replace("eJxjYFBwZGD4AMQLHAEL+wJ0", "eJxjYPjgyADEAAkOAmM=")(bytes);
         replace("encodedLength=\"32\"", "encodedLength=\"24\"")(bytes);
         replace("eJxjYACBSAcwdSEJQnNkOgAAGsgCvQ==", "eJxjYACBSAcwdSHJAQAJPgIM")(bytes);
       }}};
  for (const auto& [mzML, number, change] : cases) {
    const fs::path path = directory_ / (mzML.empty() ? "run7.dat" : "run7.mzML");
    if (mzML.empty()) {
      SmallFile(path.wstring()).Save();
    } else {
      Write("run7.mzML", mzML);
    }
    const CalDataFile file(path.wstring());
    std::string bytes = ReadBytes(path);
    change(bytes);
    WQPlatformTesting::WriteBytes(path, bytes);
    const auto changed =
        ThrowsMessage<DataFileError>(StrEq("Scan " + std::to_string(number) + " of " +
                                           path.string() + " changed after the file was opened."));
    EXPECT_THAT([&] { file.QScan(file.QNumScanSpectra() - 1); }, changed);
    EXPECT_THAT([&] { file.GenerateAveragedSpectrum({number}, WQBL::MZRange()); }, changed);
    EXPECT_THAT([&] { file.Save(); }, changed);
    EXPECT_EQ(ReadBytes(path), bytes);
  }
}

// The generator's run written scan by scan is the file its run kept in memory saves. A writer
// refuses a scan more than it announced and, given fewer, keeps the earlier file.
TEST_F(DataFileTest, RunWrittenScanByScanIsTheSavedRunAndHoldsTheScansItAnnounced) {
  SyntheticRunSettings settings;
  settings.ScanCount = 4;
  settings.HighMZ = 400.0;
  const fs::path saved = directory_ / "saved.dat";
  const fs::path written = directory_ / "written.dat";
  GenerateSyntheticRun(saved.wstring(), settings).Save();
  WriteSyntheticRun(written.wstring(), settings);
  EXPECT_EQ(ReadBytes(written), ReadBytes(saved));
  DataFileWriter writer(written.wstring(), L"", 0, WQBL::Method(), {TuneRun{0}}, 2);
  writer.AddScan({1, 0.0, 0, {100.0}, {1.0}});
  const std::string cannot =
      "Cannot write data file " + written.string() + ": it was to hold 2 scans";
  EXPECT_THAT([&] { writer.Commit(); }, ThrowsMessage<DataFileError>(StrEq(cannot + ", not 1.")));
  writer.AddScan({2, 1.0, 0, {100.0}, {1.0}});
  EXPECT_THAT(
      [&] {
        writer.AddScan({3, 2.0, 0, {100.0}, {1.0}});
      },
      ThrowsMessage<DataFileError>(StrEq(cannot + ".")));
  EXPECT_EQ(ReadBytes(written), ReadBytes(saved));
  writer.Commit();
  EXPECT_EQ(CalDataFile(written.wstring()).QNumScanSpectra(), 2u);
}

// A NaN passes every comparison of the ascending check, so it needs one of its own.
TEST_F(DataFileTest, ScansOutOfOrderOrInconsistentOrNotFiniteAreRefused) {
  CalDataFile file = SmallFile(L"/cal/run7.dat");
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double infinity = std::numeric_limits<double>::infinity();
  const std::pair<Scan, const char*> cases[] = {
      {{13, 4.0, 0, {}, {}}, "does not follow scan 13."},
      {{14, 4.0, 2, {}, {}}, "names tune run 2, which the file does not have."},
      {{14, 4.0, 0, {1.0}, {}}, "has 1 m/z values but 0 intensities."},
      {{14, 4.0, 0, {2.0, 2.0}, {1.0, 1.0}}, "has m/z values that do not ascend: 2 follows 2."},
      {{14, nan, 0, {1.0}, {1.0}}, "has a retention time that is not a finite number."},
      {{14, 4.0, 0, {1.0, nan, 3.0}, {1.0, 1.0, 1.0}},
       "has an m/z value that is not a finite number."},
      {{14, 4.0, 0, {1.0, infinity}, {1.0, 1.0}}, "has an m/z value that is not a finite number."},
      {{14, 4.0, 0, {1.0, 2.0}, {1.0, -infinity}},
       "has an intensity that is not a finite number."}};
  for (const auto& [scan, message] : cases) {
    const std::string expected =
        "Scan " + std::to_string(scan.ScanNumber) + " of /cal/run7.dat " + message;
    EXPECT_THAT([&] { file.AddScan(scan); }, ThrowsMessage<DataFileError>(StrEq(expected)));
  }
  EXPECT_EQ(file.QNumScanSpectra(), 3u);
  EXPECT_THAT([&] { file.QTuneRun(2); },
              ThrowsMessage<DataFileError>(StrEq("Tune run 2 is not in /cal/run7.dat.")));
}

// A scan on another axis is interpolated onto the first one's: 100.0 lies outside scan 20, 100.5
// halfway between its points.
TEST_F(DataFileTest, AveragedSpectrumIsTheMeanOfItsKnownScansOnTheFirstOnesAxis) {
  CalDataFile file = SmallFile(L"/cal/run7.dat");
  const std::unique_ptr<WQBL::Spectrum> spectrum =
      file.GenerateAveragedSpectrum({13, 11}, WQBL::MZRange());
  EXPECT_THAT(spectrum->QXAxis(), ElementsAre(100.0, 100.5, 101.0));
  EXPECT_THAT(spectrum->QYValues(), ElementsAre(4.0, 6.5, 3.0));
  EXPECT_EQ(std::tie(spectrum->TIC, spectrum->RetentionTime, spectrum->TuneRunIndex),
            std::make_tuple(13.5, 2.75, 1u));
  EXPECT_THAT(spectrum->ScanNumbers, ElementsAre(13u, 11u));
  EXPECT_EQ(file.GenerateAveragedSpectrum({10}, WQBL::MZRange())->Name, L"Scan 10");
  const auto bounded =
      file.GenerateAveragedSpectrum({10}, WQBL::MZRange(WQBL::MZRange::Bounded, 100.4, 101.0));
  EXPECT_THAT(bounded->QXAxis(), ElementsAre(100.5, 101.0));
  EXPECT_EQ(bounded->TIC, 5.0);
  EXPECT_THAT([&] { file.GenerateAveragedSpectrum({}, WQBL::MZRange()); },
              ThrowsMessage<DataFileError>(StrEq("No scans to average in /cal/run7.dat.")));
  file.AddScan({20, 5.0, 0, {100.25, 100.75}, {10.0, 20.0}});
  EXPECT_THAT(file.GenerateAveragedSpectrum({10, 20}, WQBL::MZRange())->QYValues(),
              ElementsAre(0.5, 8.5, 1.5));
}

using OpenFormatTest = DataFileTest;

// Its points are those the peak picking test finds the reference peaks in; the compressed file
// holds the reference peaks. The open file keeps only where each spectrum lies; its arrays are read
// again for every request.
TEST_F(OpenFormatTest, MzMLBecomesOneScanWithTuneZeroReadsAlikeCompressedAndRefusesAChange) {
  const CalDataFile file((kData / "peakpicker_tutorial_1.mzML").wstring());
  EXPECT_EQ(file.QDescription(),
            L"instrument model, laser desorption ionization, time-of-flight, detector type");
  EXPECT_EQ(std::make_tuple(file.QCreateTime(), file.QNumTuneRuns(), file.QTuneRun(0).TuneId),
            std::make_tuple(std::int64_t{0}, 1u, 0));
  ASSERT_EQ(file.QNumScanSpectra(), 1u);
  const Scan scan = file.QScan(0);
  EXPECT_EQ(std::make_tuple(scan.ScanNumber, scan.RetentionTime, scan.Centroided, scan.MZ.size()),
            std::make_tuple(81u, 384.0, false, std::size_t{120544}));
  EXPECT_THAT(file.QSpectraPerMSLevel(), ElementsAre(Pair(1, 1u)));
  std::string text = ReadBytes(kData / "peakpicker_tutorial_1_picked.mzML");
  const fs::path path = Write("run.mzML", text);
  const CalDataFile plain(path.wstring());
  const CalDataFile packed((kData / "peakpicker_tutorial_1_picked.mzML.gz").wstring());
  ASSERT_EQ(packed.QNumScanSpectra(), 1u);
  EXPECT_EQ(Fields(packed.QScan(0)), Fields(plain.QScan(0)));
  EXPECT_EQ(packed.QScan(0).MZ.size(), 94u);
  // Neither file calls its spectrum profile or centroid: the widths of the peaks tell.
  EXPECT_TRUE(scan.ModeFromData);
  EXPECT_TRUE(packed.QScan(0).Centroided && packed.QScan(0).ModeFromData);
  const std::string start = "name=\"scan start time\" value=\"384\"";
  text.replace(text.find(start) + start.size() - 3, 1, "4");
  WQPlatformTesting::WriteBytes(path, text);
  EXPECT_THAT([&] { plain.QScan(0); },
              ThrowsMessage<DataFileError>(
                  StrEq("Scan 81 of " + path.string() + " changed after the file was opened.")));
}

// Centroids are kept as they are. An MGF file holds peak lists without survey scans: each is a scan
// of the run, its points in ascending m/z order, although the file's reader calls them MS2. An
// mzML run gives its times in any unit and its start in any time zone, and its values in any type,
// their encoding on the array or in a group it refers to.
TEST_F(OpenFormatTest, CentroidMzMLMzXMLAndEveryMGFPeakListBecomeScans) {
  const Scan centroids{7, 30.0, 0, {100.0, 150.5, 200.25}, {10.0, 30.0, 20.0}, true};
  const std::tuple<std::string, std::string, Scan, int, std::int64_t> cases[] = {
      {"run.mzML", kMzML, centroids, 1, 1715931000},
      {"int32.mzML", MzMLWithIntensities(R"(<binaryDataArray encodedLength="16">
      <cvParam cvRef="MS" accession="MS:1000519" name="32-bit integer"/>
      <cvParam cvRef="MS" accession="MS:1000515" name="intensity array"/>
      <binary>CgAAAB4AAAAUAAAA</binary>
     </binaryDataArray>)"),
       centroids, 1, 0},
      {"grouped.mzML", MzMLWithIntensities(R"(<binaryDataArray encodedLength="32">
      <referenceableParamGroupRef ref="counts"/>
      <binary>CgAAAAAAAAAeAAAAAAAAABQAAAAAAAAA</binary>
     </binaryDataArray>)"),
       centroids, 1, 0},
      {"run.mzXML", kMzXML, {1, 12.5, 0, {100.0, 150.5, 200.25}, {10.0, 30.0, 20.0}, true}, 1, 0},
      {"frag.mgf", kMGF, {1, 30.0, 0, {100.25, 200.5}, {40.0, 12.0}, true}, 2, 0}};
  for (const auto& [name, content, expected, level, created] : cases) {
    const CalDataFile file(Write(name, content).wstring());
    ASSERT_EQ(file.QNumScanSpectra(), 1u);
    EXPECT_EQ(Fields(file.QScan(0)), Fields(expected)) << name;
    EXPECT_FALSE(file.QScan(0).ModeFromData) << name;  // the readers call both centroid
    EXPECT_THAT(file.QSpectraPerMSLevel(), ElementsAre(Pair(level, 1u)));
    EXPECT_EQ(file.QCreateTime(), created) << name;
  }
}

// The fragment spectrum of kMzML: MS level 2, a title, and a precursor whose selected ion gives
// its m/z and charge, in the scan numbered `scan`.
std::string FragmentMzML(const std::string& scan) {
  std::string text = kMzML;
  const auto replace = [&](const std::string& from, const std::string& to) {
    text.replace(text.find(from), from.size(), to);
  };
  replace("id=\"scan=7\"", "id=\"scan=" + scan + "\"");
  replace("name=\"ms level\" value=\"1\"/>", R"(name="ms level" value="2"/>
    <cvParam cvRef="MS" accession="MS:1000796" name="spectrum title" value="Pep &amp; B"/>)");
  replace("    <binaryDataArrayList", R"(    <precursorList count="1">
     <precursor>
      <selectedIonList count="1">
       <selectedIon>
        <cvParam cvRef="MS" accession="MS:1000744" name="selected ion m/z" value="445.12"
                 unitCvRef="MS" unitAccession="MS:1000040" unitName="m/z"/>
        <cvParam cvRef="MS" accession="MS:1000041" name="charge state" value="2"/>
       </selectedIon>
      </selectedIonList>
      <activation/>
     </precursor>
    </precursorList>
    <binaryDataArrayList)");
  return text;
}

// A run of fragment spectra keeps each one's MS level, precursor m/z, charge, title and the scan
// number the file gives it (an MGF block's SCANS).
TEST_F(OpenFormatTest, FragmentSpectraKeepLevelPrecursorChargeTitleAndScanNumber) {
  const std::string mgf =
      "BEGIN IONS\nTITLE=Pep & B\nPEPMASS=445.12 1200\nCHARGE=2+\nSCANS=9\nRTINSECONDS=30\n"
      "100 10\n150.5 30\n200.25 20\nEND IONS\n"
      "BEGIN IONS\nTITLE=Pep C\nPEPMASS=902.5\nSCANS=12-13\nRTINSECONDS=31\n100 1\nEND IONS\n";
  std::string mzXML = kMzXML;
  mzXML.replace(mzXML.find("msLevel=\"1\""), 11, "msLevel=\"2\"");
  mzXML.replace(mzXML.find("   <peaks"), 0,
                "   <precursorMz precursorCharge=\"2\" precursorIntensity=\"1200\">445.12"
                "</precursorMz>\n");
  const std::tuple<std::string, std::string, std::uint32_t, std::string, std::size_t> cases[] = {
      {"frag.mgf", mgf, 9, "Pep & B", 2},
      {"frag.mzXML", mzXML, 1, "", 1},
      {"frag.mzML", FragmentMzML("9"), 9, "Pep & B", 1}};
  for (const auto& [name, content, number, title, count] : cases) {
    const CalDataFile file(Write(name, content).wstring());
    ASSERT_EQ(file.QNumScanSpectra(), count) << name;
    EXPECT_THAT(file.QSpectraPerMSLevel(), ElementsAre(Pair(2, count))) << name;
    const Scan scan = file.QScan(file.FindScan(number));
    EXPECT_EQ(std::tie(scan.MSLevel, scan.PrecursorMZ, scan.Charge, scan.Title),
              std::make_tuple(2, std::optional<double>(445.12), 2, title))
        << name;
    EXPECT_EQ(scan.MZ, (std::vector<double>{100.0, 150.5, 200.25})) << name;
    EXPECT_EQ(file.QScanSummary(0).Header.PrecursorMZ, scan.PrecursorMZ) << name;
  }
  const CalDataFile mgfRun((directory_ / "frag.mgf").wstring());
  const Scan last = mgfRun.QScan(1);
  EXPECT_EQ(std::tie(last.ScanNumber, last.PrecursorMZ, last.Charge, last.Title),
            std::make_tuple(12u, std::optional<double>(902.5), 0, std::string("Pep C")));
}

// An mzXML scan's definition, by which the kinds of scan of a run are told apart, is its filter
// line, polarity and scan window; a scan that gives none has none.
TEST_F(OpenFormatTest, MzXMLScanDefinitionIsItsFilterPolarityAndWindow) {
  std::string mzXML = kMzXML;
  mzXML.replace(mzXML.find("msLevel="), 0,
                "polarity=\"-\" filterLine=\"ITMS - p ESI Full ms [100.00-300.00]\" "
                "startMz=\"100\" endMz=\"300\" ");
  EXPECT_EQ(
      CalDataFile(Write("kind.mzXML", mzXML).wstring()).QScanSummary(0).Header.Definition.Text(),
      "filter ITMS - p ESI Full ms [100.00-300.00]; polarity negative; window 100.0-300.0");
  EXPECT_EQ(
      CalDataFile(Write("plain.mzXML", kMzXML).wstring()).QScanSummary(0).Header.Definition.Text(),
      "");
}

// A run of survey and fragment spectra keeps them all, in file order, each under the run's own
// scan number (an mzXML scan's num, not its place) with its level, precursor, charge and title.
// The total ion current, and so the spectra the export picks, is of the survey scans alone.
TEST_F(OpenFormatTest, SurveyAndFragmentSpectraAreAllKeptUnderTheRunsOwnNumbers) {
  std::string mzXML = kMzXML;
  const auto replace = [&](const std::string& from, const std::string& to) {
    mzXML.replace(mzXML.find(from), from.size(), to);
  };
  replace("scanCount=\"1\"", "scanCount=\"2\"");
  replace("num=\"1\"", "num=\"7\"");
  replace(" </msRun>",
          R"(  <scan num="8" msLevel="2" peaksCount="3" centroided="1" retentionTime="PT13S">
   <precursorMz precursorCharge="2" precursorIntensity="1200">445.12</precursorMz>
   <peaks precision="32" byteOrder="network" contentType="m/z-int" compressionType="none"
          compressedLen="0">QsgAAEEgAABDFoAAQfAAAENIQABBoAAA</peaks>
  </scan>
 </msRun>)");
  using Fragment = std::tuple<int, std::optional<double>, int, std::string>;
  const std::tuple<fs::path, std::vector<std::uint32_t>, Fragment> cases[] = {
      {Write("mixed.mzXML", mzXML), {7, 8}, {2, 445.12, 2, ""}},
      {kData / "q-exactive-three-scans.mzML.gz",
       {10014, 10015, 10016},
       {2, 617.264933277471, 2,
        "three_test_scans.10016.10016.2 File:\"three_test_scans.raw\", "
        "NativeID:\"controllerType=0 controllerNumber=1 scan=10016\""}}};
  for (const auto& [path, numbers, fragment] : cases) {
    SCOPED_TRACE(path.filename().string());
    const CalDataFile run(path.wstring());
    std::vector<std::uint32_t> kept;
    for (std::uint32_t i = 0; i < run.QNumScanSpectra(); ++i) {
      kept.push_back(run.QScanSummary(i).Header.ScanNumber);
    }
    EXPECT_EQ(kept, numbers);
    EXPECT_THAT(run.QSpectraPerMSLevel(),
                ElementsAre(Pair(1, 1u), Pair(2, std::uint32_t(numbers.size() - 1))));
    EXPECT_THAT(run.GenerateTIC().QScanNumbers(), ElementsAre(numbers.front()));
    const Scan scan = run.QScan(run.FindScan(numbers.back()));
    EXPECT_EQ(std::tie(scan.MSLevel, scan.PrecursorMZ, scan.Charge, scan.Title), fragment);
    EXPECT_FALSE(scan.MZ.empty());
  }
}

// The library's own format keeps MS1 scans alone: a fragment scan is refused, naming it.
TEST_F(OpenFormatTest, FragmentScanIsNotSavedInTheOwnFormat) {
  const CalDataFile fragments(Write("frag.mgf", kMGF).wstring());
  const fs::path path = directory_ / "frag.dat";
  DataFile copy(path.wstring(), L"", 0, WQBL::Method());
  copy.AddTuneRun(TuneRun{0});
  copy.AddScan(fragments.QScan(0));
  EXPECT_THAT(
      [&] { copy.Save(); },
      ThrowsMessage<DataFileError>(StrEq(
          "Cannot write data file " + path.string() +
          ": scan 1 is of MS level 2, and the instrument's own format keeps MS1 scans only.")));
  EXPECT_FALSE(fs::exists(path));
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

// Each file is cut in half. Scans are numbered once all are read; a faulty one is named by its
// number.
TEST_F(OpenFormatTest, UnknownTruncatedOrMalformedFileIsRefusedNamingIt) {
  const std::string mzML = ReadBytes(kData / "peakpicker_tutorial_1_picked.mzML");
  const std::string packed = ReadBytes(kData / "peakpicker_tutorial_1_picked.mzML.gz");
  const std::tuple<std::string, std::string, std::string, std::string> cases[] = {
      {"notes.txt", "Calibration notes\n", "",
       " is not a data file of a supported format (the instrument's own, mzML, mzXML or MGF)."},
      {"cut.mzML", mzML.substr(0, mzML.size() / 2), "Cannot read mzML file ", ": it is truncated."},
      {"cut.mzML.gz", packed.substr(0, packed.size() / 2), "Cannot decompress ",
       ": it is truncated or corrupt."},
      {"faulty.mgf", std::string(kMGF) + "BEGIN IONS\n100 nan\nEND IONS\n", "Scan 2 of ",
       " has an intensity that is not a finite number."}};
  for (const auto& [name, bytes, before, after] : cases) {
    const fs::path path = Write(name, bytes);
    EXPECT_THAT([&] { CalDataFile file(path.wstring()); },
                ThrowsMessage<DataFileError>(StrEq(before + path.string() + after)));
  }
  // The parser's own words follow.
  const fs::path broken = Write("broken.mzML", "<mzML><run><spectrumList count=\"x\"></mzML>");
  EXPECT_THAT(
      [&] { CalDataFile file(broken.wstring()); },
      ThrowsMessage<DataFileError>(StartsWith("Cannot read mzML file " + broken.string() + ": ")));
}

}  // namespace
}  // namespace WQDataFile
