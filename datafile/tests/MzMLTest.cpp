#include <WQDataFile/MzML.h>
#include <WQPlatformTesting/ScratchFiles.h>
#include <gmock/gmock.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <tuple>

namespace WQDataFile {
namespace {

namespace fs = std::filesystem;
using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;
using ::testing::ThrowsMessage;

// Scan numbers with a gap, retention times that no short decimal holds, a profile, a centroid and
// an empty scan, in tune runs of a negative tune, a positive tune and a tune the method lacks.
DataFile MixedRun(const fs::path& path) {
  WQBL::Method method;
  method.Tunes[3] = WQBL::TuneEntry(L"Low", WQCommon::Probes::APCI, WQCommon::Negative);
  method.Tunes[5] = WQBL::TuneEntry(L"High", WQCommon::Probes::ESI, WQCommon::Positive);
  DataFile file(path.wstring(), L"Mixed", 1704067200, method);
  file.AddTuneRun(TuneRun{5});
  file.AddTuneRun(TuneRun{3});
  file.AddTuneRun(TuneRun{9});
  file.AddScan({10, 0.1, 0, {100.0, 100.1, 100.2}, {1.5, 2.0 / 3.0, 0.0}});
  file.AddScan({11, 1.0 / 3.0, 1, {150.25, 300.125}, {4e6, 7.0}, true});
  file.AddScan({14, 2.718281828459045, 2, {}, {}});
  return file;
}

// The spectrum of FragmentRun's first scan, from its id to its end tag: MS level 2, its title
// escaped, its selected ion with m/z and charge, an activation by a method the run does not name,
// and its arrays (m/z 100 and 200, intensities 4 and 8) as 64-bit numbers in base 64.
constexpr char kFragmentSpectrum[] = R"(id="scan=9" defaultArrayLength="2">
          <cvParam cvRef="MS" accession="MS:1000511" name="ms level" value="2"/>
          <cvParam cvRef="MS" accession="MS:1000580" name="MSn spectrum" value=""/>
          <cvParam cvRef="MS" accession="MS:1000796" name="spectrum title" value="Pep &lt;9&gt;"/>
          <cvParam cvRef="MS" accession="MS:1000127" name="centroid spectrum" value=""/>
          <cvParam cvRef="MS" accession="MS:1000285" name="total ion current" value="12"/>
          <cvParam cvRef="MS" accession="MS:1000528" name="lowest observed m/z" value="100" unitCvRef="MS" unitAccession="MS:1000040" unitName="m/z"/>
          <cvParam cvRef="MS" accession="MS:1000527" name="highest observed m/z" value="200" unitCvRef="MS" unitAccession="MS:1000040" unitName="m/z"/>
          <cvParam cvRef="MS" accession="MS:1000504" name="base peak m/z" value="200" unitCvRef="MS" unitAccession="MS:1000040" unitName="m/z"/>
          <cvParam cvRef="MS" accession="MS:1000505" name="base peak intensity" value="8" unitCvRef="MS" unitAccession="MS:1000131" unitName="number of detector counts"/>
          <scanList count="1">
            <cvParam cvRef="MS" accession="MS:1000795" name="no combination" value=""/>
            <scan>
              <cvParam cvRef="MS" accession="MS:1000016" name="scan start time" value="30.5" unitCvRef="UO" unitAccession="UO:0000010" unitName="second"/>
            </scan>
          </scanList>
          <precursorList count="1">
            <precursor>
              <selectedIonList count="1">
                <selectedIon>
                  <cvParam cvRef="MS" accession="MS:1000744" name="selected ion m/z" value="445.12" unitCvRef="MS" unitAccession="MS:1000040" unitName="m/z"/>
                  <cvParam cvRef="MS" accession="MS:1000041" name="charge state" value="2"/>
                </selectedIon>
              </selectedIonList>
              <activation>
                <cvParam cvRef="MS" accession="MS:1000044" name="dissociation method" value=""/>
              </activation>
            </precursor>
          </precursorList>
          <binaryDataArrayList count="2">
            <binaryDataArray encodedLength="24">
              <cvParam cvRef="MS" accession="MS:1000523" name="64-bit float" value=""/>
              <cvParam cvRef="MS" accession="MS:1000576" name="no compression" value=""/>
              <cvParam cvRef="MS" accession="MS:1000514" name="m/z array" value="" unitCvRef="MS" unitAccession="MS:1000040" unitName="m/z"/>
              <binary>AAAAAAAAWUAAAAAAAABpQA==</binary>
            </binaryDataArray>
            <binaryDataArray encodedLength="24">
              <cvParam cvRef="MS" accession="MS:1000523" name="64-bit float" value=""/>
              <cvParam cvRef="MS" accession="MS:1000576" name="no compression" value=""/>
              <cvParam cvRef="MS" accession="MS:1000515" name="intensity array" value="" unitCvRef="MS" unitAccession="MS:1000131" unitName="number of detector counts"/>
              <binary>AAAAAAAAEEAAAAAAAAAgQA==</binary>
            </binaryDataArray>
          </binaryDataArrayList>
        )";

// What mzML carries of a scan.
auto Carried(const Scan& scan) {
  return std::make_tuple(scan.ScanNumber, scan.RetentionTime, scan.MZ, scan.Intensity,
                         scan.Centroided, scan.MSLevel, scan.PrecursorMZ, scan.Charge, scan.Title);
}

// Writes `written` as mzML to `path` and reads it back: it has the same scans, each with all that
// mzML carries of it. Gives the text written.
std::string ConvertAndReadBack(const DataFile& written, const fs::path& path) {
  SaveAsMzML(written, path.wstring());
  const DataFile read(path.wstring());
  EXPECT_EQ(read.QNumScanSpectra(), written.QNumScanSpectra());
  for (std::uint32_t i = 0; i < std::min(read.QNumScanSpectra(), written.QNumScanSpectra()); ++i) {
    EXPECT_EQ(Carried(read.QScan(i)), Carried(written.QScan(i))) << "scan index " << i;
  }
  return WQPlatformTesting::ReadBytes(path);
}

// The text of the spectrum with native id `id` in the mzML `text`.
std::string SpectrumText(const std::string& text, const std::string& id) {
  const std::size_t start = text.find("id=\"" + id + "\"");
  return start == std::string::npos ? ""
                                    : text.substr(start, text.find("</spectrum>", start) - start);
}

TEST(MzMLTest, ConvertedRunReadsBackWithItsScansAndTunePolarities) {
  const WQPlatformTesting::ScratchDirectory scratch;
  const fs::path converted = scratch.Path() / "mixed.mzML";
  const std::string text = ConvertAndReadBack(MixedRun(scratch.Path() / "mixed.dat"), converted);
  EXPECT_EQ(DataFile(converted.wstring()).QCreateTime(), 1704067200);
  EXPECT_THAT(SpectrumText(text, "scan=10"), HasSubstr("\"MS:1000130\" name=\"positive scan\""));
  EXPECT_THAT(SpectrumText(text, "scan=11"), HasSubstr("\"MS:1000129\" name=\"negative scan\""));
  EXPECT_THAT(SpectrumText(text, "scan=14"),
              AllOf(StartsWith("id=\"scan=14\""), Not(HasSubstr("MS:1000130")),
                    Not(HasSubstr("MS:1000129"))));
}

// Two fragment scans, the first with a title that XML has to escape.
DataFile FragmentRun(const fs::path& path) {
  DataFile file(path.wstring(), L"Fragments", 0, WQBL::Method());
  file.AddTuneRun(TuneRun{0});
  Scan first{9, 30.5, 0, {100.0, 200.0}, {4.0, 8.0}, true};
  first.MSLevel = 2;
  first.PrecursorMZ = 445.12;
  first.Charge = 2;
  first.Title = "Pep <9>";
  file.AddScan(first);
  Scan second{12, 31.0, 0, {150.0}, {1.0}, true};
  second.MSLevel = 3;
  second.PrecursorMZ = 902.5;
  file.AddScan(second);
  return file;
}

TEST(MzMLTest, FragmentScansAreWrittenWithLevelTitleAndPrecursorAndReadBack) {
  const WQPlatformTesting::ScratchDirectory scratch;
  const std::string text =
      ConvertAndReadBack(FragmentRun(scratch.Path() / "frag.dat"), scratch.Path() / "frag.mzML");
  EXPECT_EQ(SpectrumText(text, "scan=9"), kFragmentSpectrum);
  const std::string content = text.substr(text.find("<fileContent>"),
                                          text.find("</fileContent>") - text.find("<fileContent>"));
  EXPECT_THAT(content, AllOf(HasSubstr("\"MS:1000580\" name=\"MSn spectrum\""),
                             Not(HasSubstr("MS:1000579"))));
}

// A Q Exactive's survey scan and its two fragment scans, numbered 10014 to 10016, go through mzML
// whole; its total ion current is of the survey scan alone.
TEST(MzMLTest, RunOfSurveyAndFragmentScansIsConvertedWhole) {
  const WQPlatformTesting::ScratchDirectory scratch;
  const DataFile run((fs::path(WQDATAFILE_TEST_DATA) / "q-exactive-three-scans.mzML.gz").wstring());
  ASSERT_EQ(run.QNumScanSpectra(), 3u);
  EXPECT_THAT(ConvertAndReadBack(run, scratch.Path() / "exactive.mzML"),
              HasSubstr("<chromatogram index=\"0\" id=\"TIC\" defaultArrayLength=\"1\">"));
}

// What a file of another instrument says of its instrument, each term with its value and unit.
auto Terms(const std::vector<InstrumentTerms::Term>& terms) {
  std::vector<std::tuple<std::string, std::string, std::string>> all;
  for (const InstrumentTerms::Term& term : terms)
    all.emplace_back(term.Accession, term.Value, term.Unit);
  return all;
}

// Text that a file of another format brought is written as XML can hold it: a byte that is not
// UTF-8 and a control character in a title or a filter string would leave a file that no XML
// parser reads.
TEST(MzMLTest, TextThatXmlCannotHoldIsWrittenAsReplacementCharacters) {
  const WQPlatformTesting::ScratchDirectory scratch;
  DataFile run((scratch.Path() / "raw.dat").wstring(), L"Raw", 0, WQBL::Method());
  run.AddTuneRun(TuneRun{0});
  Scan scan{1, 1.0, 0, {100.0}, {5.0}, true};
  scan.MSLevel = 2;
  scan.Title = "Pep\xff\x01 <1>";
  scan.Definition.Filter = "ms2\x1b[31m";
  run.AddScan(scan);
  SaveAsMzML(run, (scratch.Path() / "raw.mzML").wstring());
  const Scan read = DataFile((scratch.Path() / "raw.mzML").wstring()).QScan(0);
  EXPECT_EQ(read.Title, "Pep\uFFFD\uFFFD <1>");
  EXPECT_EQ(read.Definition.Filter, "ms2\uFFFD[31m");
}

// A run of another instrument goes through mzML with that instrument (its configuration's terms,
// among them those it refers to in a group, and its components' terms with their units) and
// each scan's definition, not as a run of this one.
TEST(MzMLTest, RunOfAnotherInstrumentKeepsItsInstrumentAndScanDefinitions) {
  const WQPlatformTesting::ScratchDirectory scratch;
  for (const char* name : {"q-exactive-three-scans.mzML.gz", "orbitrap-xl-three-scans.mzML.gz"}) {
    const DataFile run((fs::path(WQDATAFILE_TEST_DATA) / name).wstring());
    ConvertAndReadBack(run, scratch.Path() / "converted.mzML");
    const DataFile read((scratch.Path() / "converted.mzML").wstring());
    EXPECT_EQ(read.QDescription(), run.QDescription()) << name;
    EXPECT_EQ(Terms(read.QInstrument().Own), Terms(run.QInstrument().Own)) << name;
    ASSERT_EQ(read.QInstrument().Components.size(), run.QInstrument().Components.size()) << name;
    for (std::size_t i = 0; i < run.QInstrument().Components.size(); ++i) {
      EXPECT_EQ(read.QInstrument().Components[i].Kind, run.QInstrument().Components[i].Kind);
      EXPECT_EQ(Terms(read.QInstrument().Components[i].Terms),
                Terms(run.QInstrument().Components[i].Terms))
          << name << ", component " << i;
    }
    for (std::uint32_t i = 0; i < run.QNumScanSpectra(); ++i) {
      EXPECT_EQ(read.QScanSummary(i).Header.Definition, run.QScanSummary(i).Header.Definition);
    }
  }
  const DataFile orbitrap(
      (fs::path(WQDATAFILE_TEST_DATA) / "orbitrap-xl-three-scans.mzML.gz").wstring());
  EXPECT_EQ(
      Terms(orbitrap.QInstrument().Components.at(1).Terms).front(),
      std::make_tuple(std::string("MS:1000014"), std::string("0"), std::string("UO:0000169")));
}

// XML dates have four-digit years: a start in the years 1 to 9999 is written in UTC and read back
// to the second, one outside them is left out.
TEST(MzMLTest, RunStartOfAnyFourDigitYearIsWrittenAndReadBack) {
  const WQPlatformTesting::ScratchDirectory scratch;
  const std::tuple<std::int64_t, std::string, std::int64_t> cases[] = {
      {-24293647504, "1200-03-01T12:34:56Z", -24293647504},
      {-62135596800, "0001-01-01T00:00:00Z", -62135596800},
      {253402300799, "9999-12-31T23:59:59Z", 253402300799},
      {-62135596801, "", 0},
      {253402300800, "", 0}};
  for (const auto& [created, written, readBack] : cases) {
    DataFile file((scratch.Path() / "old.dat").wstring(), L"Old", created, WQBL::Method());
    file.AddTuneRun(TuneRun{0});
    file.AddScan({1, 0.5, 0, {100.0}, {1.0}});
    const fs::path converted = scratch.Path() / "old.mzML";
    SaveAsMzML(file, converted.wstring());
    const std::string text = WQPlatformTesting::ReadBytes(converted);
    if (written.empty()) {
      EXPECT_THAT(text, Not(HasSubstr("startTimeStamp"))) << created;
    } else {
      EXPECT_THAT(text, HasSubstr("startTimeStamp=\"" + written + "\"")) << created;
    }
    EXPECT_EQ(DataFile(converted.wstring()).QCreateTime(), readBack) << created;
  }
}

TEST(MzMLTest, UnwritableTargetIsReportedNamingIt) {
  const WQPlatformTesting::ScratchDirectory scratch;
  const fs::path target = scratch.Path() / "missing" / "mixed.mzML";
  EXPECT_THAT(
      [&] { SaveAsMzML(MixedRun(scratch.Path() / "mixed.dat"), target.wstring()); },
      ThrowsMessage<DataFileError>(StartsWith("Cannot write mzML file " + target.string() + ": ")));
}

}  // namespace
}  // namespace WQDataFile
