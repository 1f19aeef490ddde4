// Writes the starting corpus of every reader into <corpus directory>/<reader>/: the files of every
// save that has a reader (SaveCases.h), with each of its two values; small calibration runs, in the
// library's own format and in the open ones; the documents the module only reads; and XML
// documents of extreme depth and width. The same build always gives the same files.
//
// Usage: MakeCorpus <corpus directory> | MakeCorpus --readers (each reader's name, one a line)
#include <WQCommon/Text.h>
#include <WQCommon/XML.h>
#include <WQDataFile/SyntheticRun.h>
#include <WQPlatformTesting/ScratchFiles.h>
#include <WQRepos/WQRepos.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "OpenFormatSamples.h"
#include "Readers.h"
#include "Samples.h"
#include "SaveCases.h"

namespace {

namespace fs = std::filesystem;
using WQPlatformTesting::WriteBytes;

std::wstring Wide(const fs::path& path) { return WQCommon::WQNarrowToWideStr(path.string()); }

fs::path corpusRoot;

// The path of `file` in the corpus folder of `reader`, which is created if need be.
fs::path Target(const std::string& reader, const std::string& file) {
  fs::create_directories(corpusRoot / reader);
  return corpusRoot / reader / file;
}

// The name of the `index`-th (0-based) of a reader's numbered files.
std::string Numbered(std::size_t index, const char* extension) {
  return "input" + std::to_string(index + 1) + extension;
}

// Every save that has a reader, with each of its two values, as <save>-1 and <save>-2 (spaces in
// the save's name become underscores) with the extension of the file it writes.
void AddSavedFiles() {
  const fs::path base = wqfuzz::RepositoryDirectory("Prefs").parent_path();
  for (const wqfuzz::SaveCase& save : wqfuzz::AllSaveCases(base)) {
    if (save.reader.empty()) continue;
    std::string stem = save.name;
    std::replace(stem.begin(), stem.end(), ' ', '_');
    for (const int value : {0, 1}) {
      const std::string name = stem + "-" + std::to_string(value + 1);
      WriteBytes(Target(save.reader, name + save.file.extension().string()),
                 wqfuzz::SavedBytes(save, value));
      fs::remove(save.file);
    }
  }
}

// Two small runs: three scans of a few points around the first sodium iodide clusters.
void AddCalibrationRuns() {
  const std::pair<double, double> ranges[] = {{170.0, 176.0}, {320.0, 326.0}};
  for (std::uint32_t run = 0; run < 2; ++run) {
    const auto [lowMZ, highMZ] = ranges[run];
    WQDataFile::SyntheticRunSettings settings;
    settings.ScanCount = 3;
    settings.LowMZ = lowMZ;
    settings.HighMZ = highMZ;
    settings.MZStep = 0.25;
    settings.Calibrants =
        WQDataFile::SyntheticRunSettings::SodiumIodideClusters(lowMZ, highMZ, 2.0e4);
    settings.RunNumber = run + 1;
    WQDataFile::GenerateSyntheticRun(Wide(Target("cal_data", Numbered(run, ".dat"))), settings)
        .Save();
  }
}

// `values` as mzML stores them: 64-bit floats, least significant byte first.
std::string LittleEndianDoubles(const std::vector<double>& values) {
  std::string bytes;
  for (double value : values) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 8; ++i) bytes += static_cast<char>(bits >> 8 * i);
  }
  return bytes;
}

// `values` as mzXML stores them: 32-bit floats, most significant byte first.
std::string NetworkFloats(const std::vector<float>& values) {
  std::string bytes;
  for (float value : values) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 3; i >= 0; --i) bytes += static_cast<char>(bits >> 8 * i);
  }
  return bytes;
}

// Runs of the open formats: mzML with zlib-compressed arrays (named in the array and in a parameter
// group), an mzML file as two gzip members, mzXML with zlib-compressed peaks, and an MGF file of
// long lines.
void AddOpenFormatRuns() {
  using wqfuzz::Zlib;
  const std::string values = LittleEndianDoubles({100.0, 150.5, 200.25});
  const std::string packed = wqfuzz::Base64(wqfuzz::Deflated(values, 15));
  WriteBytes(Target("cal_data", "zlib.mzML"), wqfuzz::MzML(3, packed, Zlib::Array));
  WriteBytes(Target("cal_data", "grouped.mzML"), wqfuzz::MzML(3, packed, Zlib::Group));
  const std::string plain = wqfuzz::MzML(3, wqfuzz::Base64(values), Zlib::None);
  const std::size_t half = plain.size() / 2;
  WriteBytes(Target("cal_data", "members.mzML.gz"),
             wqfuzz::Gzip(plain.substr(0, half)) + wqfuzz::Gzip(plain.substr(half)));
  const std::string peaks = NetworkFloats({100.0f, 10.0f, 150.5f, 30.0f, 200.25f, 20.0f});
  WriteBytes(Target("cal_data", "zlib.mzXML"),
             wqfuzz::MzXML(3, wqfuzz::Base64(wqfuzz::Deflated(peaks, 15))));
  WriteBytes(Target("cal_data", "long-lines.mgf"),
             "BEGIN IONS\nTITLE=" + wqfuzz::Repeated("calibrant ", 1600) +
                 "\nPEPMASS=500.5\nCHARGE=2+\n100." + std::string(4000, '0') +
                 "1 40\n200.5 12\nEND IONS\n");
}

using TextElements = std::vector<std::pair<const wchar_t*, const wchar_t*>>;

// Saves each of `values` as a document of the top element `top`, filled by fill(builder, value),
// into the corpus of `reader` as input1.xml, input2.xml, ...
template <typename Value, typename Fill>
void AddDocuments(const char* reader, const wchar_t* top, const std::vector<Value>& values,
                  Fill fill) {
  for (std::size_t i = 0; i < values.size(); ++i) {
    WQCommon::XMLBuilder builder;
    builder.StartNode(top);
    fill(builder, values[i]);
    builder.EndNode();
    builder.Save(Wide(Target(reader, Numbered(i, ".xml"))));
  }
}

void AddTextElements(WQCommon::XMLBuilder& builder, const TextElements& elements) {
  for (const auto& [name, text] : elements) builder.WNode(name, text);
}

// The documents the module only reads, made with the toolkit's builder.
void AddXMLDocuments() {
  AddDocuments("spectrum_data_info", L"SpectrumDataInfo",
               std::vector<TextElements>{{{L"Instrument", L"Single quadrupole MS"},
                                          {L"Sample_Inlet", L"Syringe pump infusion"}},
                                         {{L"Instrument", L"Single quadrupole MS, APCI"}}},
               AddTextElements);

  const WQRepos::AutotunePrefs caffeineAndMRFA = wqfuzz::Varied(WQRepos::AutotunePrefs());
  WQRepos::AutotunePrefs negative = caffeineAndMRFA;
  negative.Polarity = WQCommon::Negative;
  negative.DiverterSource = WQRepos::Waste;
  AddDocuments(
      "autotune_xml", L"AutoTune", std::vector{caffeineAndMRFA, negative, WQRepos::AutotunePrefs()},
      [](WQCommon::XMLBuilder& builder, const WQRepos::AutotunePrefs& prefs) { builder << prefs; });

  AddDocuments(
      "config_client", L"AcqClient",
      std::vector<TextElements>{
          {{L"HostName", L"acqserver"}, {L"Port", L"4000"}, {L"BaseDir", L"/var/lib/WQData"}},
          {{L"HostName", L"localhost"}, {L"Port", L"4100"}},
          {{L"HostName", L"qms01.lab"}, {L"Port", L" 65535"}, {L"BaseDir", L"/srv/WQData/"}}},
      AddTextElements);
}

// `depth` elements, the top element `top` and, inside it, elements L each holding the next.
std::string NestedDocument(const std::string& top, int depth) {
  std::string text = "<" + top + ">";
  for (int level = 1; level < depth; ++level) text += "<L>";
  for (int level = 1; level < depth; ++level) text += "</L>";
  return text + "</" + top + ">";
}

// For every XML reader: a document nested as deep as the toolkit loads and a wide one, of 2000
// empty elements. The autotune reader, which prints what it loads, also gets one far deeper, whose
// indented text would take 100 MB were it loaded, so that the fuzzer has nesting to build on.
void AddDeepAndWideDocuments() {
  const std::pair<const char*, std::string> readers[] = {
      {"spectrum_data_info", "SpectrumDataInfo"},
      {"system_configuration", "SystemConfiguration"},
      {"autotune_xml", "AutoTune"},
      {"config_client", "AcqClient"}};
  for (const auto& [reader, top] : readers) {
    WriteBytes(Target(reader, "deep.xml"), NestedDocument(top, WQCommon::kMaxDocumentDepth));
    std::string wide = "<" + top + ">";
    for (int item = 0; item < 2000; ++item) wide += "<L/>";
    WriteBytes(Target(reader, "wide.xml"), wide + "</" + top + ">");
  }
  WriteBytes(Target("autotune_xml", "too_deep.xml"), NestedDocument("AutoTune", 5000));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "Usage: MakeCorpus <corpus directory> | MakeCorpus --readers\n";
    return 2;
  }
  if (std::string(argv[1]) == "--readers") {
    for (const wqfuzz::Reader& reader : wqfuzz::Readers()) std::cout << reader.name << '\n';
    return 0;
  }
  try {
    corpusRoot = argv[1];
    AddSavedFiles();
    AddCalibrationRuns();
    AddOpenFormatRuns();
    AddXMLDocuments();
    AddDeepAndWideDocuments();
  } catch (const std::exception& error) {
    std::cerr << "MakeCorpus: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
