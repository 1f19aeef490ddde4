#include <WQDataFile/DataFile.h>
#include <WQPlatformTesting/ScratchFiles.h>
#include <gmock/gmock.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "OpenFormatSamples.h"

namespace WQDataFile {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::StrEq;
using ::testing::ThrowsMessage;
using wqfuzz::Base64;

// How much of a file the reader takes at a time, from where it starts: the file's start for the
// header, the list of spectra for the spectra.
constexpr std::size_t kReadWindowBytes = std::size_t{1} << 18;

// The base64 text of `values` as 64-bit floats.
std::string Doubles(const std::vector<double>& values) {
  std::string bytes(values.size() * sizeof(double), '\0');
  std::memcpy(bytes.data(), values.data(), bytes.size());
  return Base64(bytes);
}

constexpr char kFloat64[] = R"(<cvParam cvRef="MS" accession="MS:1000523" name="64-bit float"/>)";

// An mzML run of one MS1 spectrum of two points: `comment` in its header, the instrument model
// `model` (an attribute value as written), the m/z array with the parameters `mzParams` and the
// text `mzText` (the values 100.5 and 200.25 without them) and the intensities 10 and 20.
struct Sample {
  std::string Comment;
  std::string Model = "\"Q\"";
  std::string MZParams = kFloat64;
  std::string MZText = Doubles({100.5, 200.25});

  std::string Header() const {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<mzML>" + Comment +
           "<instrumentConfigurationList count=\"1\"><instrumentConfiguration id=\"IC\">"
           "<cvParam cvRef=\"MS\" accession=\"MS:1000031\" name=\"instrument model\" value=" +
           Model +
           "/></instrumentConfiguration></instrumentConfigurationList><run id=\"r\">"
           "<spectrumList count=\"1\">";
  }
  // The spectrum up to its m/z text.
  std::string SpectrumStart() const {
    return "<spectrum index=\"0\" id=\"scan=1\" defaultArrayLength=\"2\"><binaryDataArrayList "
           "count=\"2\"><binaryDataArray>" +
           MZParams + "<cvParam cvRef=\"MS\" accession=\"MS:1000514\" name=\"m/z array\"/><binary>";
  }
  std::string Bytes() const {
    return Header() + SpectrumStart() + MZText + "</binary></binaryDataArray><binaryDataArray>" +
           kFloat64 +
           "<cvParam cvRef=\"MS\" accession=\"MS:1000515\" name=\"intensity array\"/><binary>" +
           Doubles({10.0, 20.0}) +
           "</binary></binaryDataArray></binaryDataArrayList></spectrum></spectrumList></run>"
           "</mzML>\n";
  }
};

class MzMLReaderTest : public ::testing::Test {
 protected:
  fs::path Write(const std::string& name, const std::string& bytes) const {
    const fs::path path = scratch_.Path() / name;
    WQPlatformTesting::WriteBytes(path, bytes);
    return path;
  }

  const WQPlatformTesting::ScratchDirectory scratch_;
};

// Every array is refused at its first fault, whatever the arrays after it hold.
TEST_F(MzMLReaderTest, MalformedArraysAreRefusedNamingTheFault) {
  const std::string two = Doubles({100.5, 200.25});  // 22 characters and "=="
  const std::string kFloat32 =
      R"(<cvParam cvRef="MS" accession="MS:1000521" name="32-bit float"/>)";
  const std::tuple<std::string, std::string, std::string, std::string> cases[] = {
      {"after-padding", kFloat64, two + "AAAA", "an array holds text that is not base 64"},
      {"padding-inside", kFloat64, two.substr(0, 20) + "==" + two.substr(20),
       "an array holds text that is not base 64"},
      {"stray-character", kFloat64, Doubles({1.0, 2.0, 3.0}) + "A",
       "an array holds text that is not base 64"},
      {"outside-alphabet", kFloat64, two.substr(0, 10) + "-" + two.substr(10),
       "an array holds text that is not base 64"},
      {"one-value-more", kFloat64, Doubles({1.0, 2.0, 3.0}),
       "an array declares 2 values but decodes to 24 bytes"},
      {"one-value-less", kFloat64, Doubles({1.0}),
       "an array declares 2 values but decodes to 8 bytes"},
      {"past-bound", kFloat64, Doubles({1.0, 2.0, 3.0, 4.0, 5.0}),
       "an array decodes to more than the 2 values it declares"},
      {"two-types", kFloat64 + kFloat32, two, "an array names two types for its values"},
      {"no-type", "", two, "an array does not name the type of its values"}};
  for (const auto& [name, params, text, reason] : cases) {
    Sample run;
    run.MZParams = params;
    run.MZText = text;
    const fs::path path = Write(name + ".mzML", run.Bytes());
    EXPECT_THAT([&] { CalDataFile file(path.wstring()); },
                ThrowsMessage<DataFileError>(
                    StrEq("Cannot read mzML file " + path.string() + ": " + reason + ".")))
        << name;
  }
}

// A tag ends at the first '>' outside quotes of either kind. A character reference is UTF-8, as
// is the text of the file; one to no character is kept as written. A comment in the header and
// CDATA in an array's text end where their terminators fall across the boundary of two reads.
TEST_F(MzMLReaderTest, MarkupAndReferencesReadAsWritten) {
  std::string references;  // every character from 128 to 255, in decimal and in hex by turns
  std::wstring characters;
  for (unsigned code = 128; code < 256; ++code) {
    char reference[16];
    std::snprintf(reference, sizeof reference, code % 2 ? "&#%u;" : "&#x%X;", code);
    references += reference;
    characters += static_cast<wchar_t>(code);
  }
  std::vector<std::tuple<std::string, Sample, std::wstring>> cases;
  const auto add = [&](const std::string& name, Sample run, const std::wstring& model) {
    cases.emplace_back(name, std::move(run), L"instrument model " + model);
  };
  Sample run;
  run.Model = "'a>\"b'";
  add("quoted", run, L"a>\"b");
  run.Model = "\"" + references + "\"";
  add("references", run, characters);
  run.Model = "\"Caf\xc3\xa9-\xc2\xb5Q\"";
  add("utf-8", run, L"Caf\u00e9-\u00b5Q");
  run.Model = "\"&#0;&#xD800;&#x110000;&#12a;&#x;&#X41;&bogus;\"";
  add("no-character", run, L"&#0;&#xD800;&#x110000;&#12a;&#x;&#X41;&bogus;");
  run = Sample();
  run.MZParams = std::string(kFloat64) + kFloat64;
  add("one-type-twice", run, L"Q");
  const std::string text = Doubles({100.5, 200.25});
  for (const std::size_t inWindow : {1, 2}) {
    // The header's window starts at the file's; the comment's text after "<mzML><!--".
    run = Sample();
    const std::size_t commentText = run.Header().find("<mzML>") + 10;
    run.Comment = "<!--" + std::string(kReadWindowBytes - inWindow - commentText, 'c') + "-->";
    add("comment" + std::to_string(inWindow), run, L"Q");
    // The spectra's window starts at the spectrum.
    run = Sample();
    const std::size_t blanks =
        kReadWindowBytes - inWindow - (run.SpectrumStart().size() + 9 + text.size());
    run.MZText = std::string(blanks, ' ') + "<![CDATA[" + text + "]]>";
    add("cdata" + std::to_string(inWindow), run, L"Q");
  }
  for (const auto& [name, run, description] : cases) {
    const CalDataFile file(Write(name + ".mzML", run.Bytes()).wstring());
    EXPECT_EQ(file.QDescription(), description) << name;
    ASSERT_EQ(file.QNumScanSpectra(), 1u) << name;
    EXPECT_THAT(file.QScan(0).MZ, ElementsAre(100.5, 200.25)) << name;
    EXPECT_THAT(file.QScan(0).Intensity, ElementsAre(10.0, 20.0)) << name;
  }
}

// An instrument's model and serial number are often in a parameter group that each configuration
// refers to: they describe it in file order. A group the file does not declare leaves the
// description short, and the spectra are read.
TEST_F(MzMLReaderTest, InstrumentTermsOfADeclaredGroupDescribeItAndAMissingGroupIsPassedOver) {
  const std::string groups =
      "<referenceableParamGroupList count=\"1\"><referenceableParamGroup id=\"G\"><cvParam "
      "cvRef=\"MS\" accession=\"MS:1000529\" name=\"instrument serial number\" value=\"SN1\"/>"
      "</referenceableParamGroup></referenceableParamGroupList>";
  const auto run = [&](const std::string& declared, const std::string& ref) {
    std::string bytes = Sample().Bytes();
    bytes.insert(bytes.find("<instrumentConfigurationList"), declared);
    const std::string configuration = "<instrumentConfiguration id=\"IC\">";
    bytes.insert(bytes.find(configuration) + configuration.size(),
                 "<referenceableParamGroupRef ref=\"" + ref + "\"/>");
    return bytes;
  };
  const CalDataFile grouped(Write("grouped.mzML", run(groups, "G")).wstring());
  EXPECT_EQ(grouped.QDescription(), L"instrument serial number SN1, instrument model Q");
  EXPECT_EQ(grouped.QInstrument().Own.front().Value, "SN1");
  const CalDataFile missing(Write("missing.mzML", run("", "G")).wstring());
  EXPECT_EQ(missing.QDescription(), L"instrument model Q");
  EXPECT_EQ(missing.QNumScanSpectra(), 1u);
}

}  // namespace
}  // namespace WQDataFile
