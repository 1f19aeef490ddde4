// Writes the starting corpus of every reader into <corpus directory>/<reader>/: the files of every
// save of the module with a reader (SaveCases.h), each with its two values; small calibration runs
// from the data-file library's generator; the documents the module only reads, built with the
// toolkit's XML builder; and, for the XML readers, documents of extreme depth and width. The
// fuzzers thus start from files the application really writes. The same build always gives the same
// files.
//
// Usage: MakeCorpus <corpus directory>
//        MakeCorpus --readers      (prints the name of every reader, one a line)
#include <WQCommon/Text.h>
#include <WQCommon/XML.h>
#include <WQDataFile/SyntheticRun.h>
#include <WQRepos/WQRepos.h>

#include <algorithm>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "Readers.h"
#include "Samples.h"
#include "SaveCases.h"

namespace {

namespace fs = std::filesystem;

using WQCommon::Negative;

template <typename Value>
using Files = std::vector<std::pair<std::string, Value>>;

std::wstring Wide(const fs::path& path) { return WQCommon::WQNarrowToWideStr(path.string()); }

// The values as files input1<extension>, input2<extension>, ...
template <typename Value>
Files<Value> Numbered(const char* extension, const std::vector<Value>& values) {
  Files<Value> files;
  for (std::size_t i = 0; i < values.size(); ++i)
    files.emplace_back("input" + std::to_string(i + 1) + extension, values[i]);
  return files;
}

class Corpus {
 public:
  explicit Corpus(fs::path root) : root_(std::move(root)) {}

  // The corpus folder of `reader`, created if need be.
  fs::path Folder(const std::string& reader) const {
    const fs::path folder = root_ / reader;
    fs::create_directories(folder);
    return folder;
  }

  // Writes each value into the corpus folder of `reader` with write(value, path of its file).
  template <typename Value, typename Write>
  void Add(const std::string& reader, const Files<Value>& files, Write write) const {
    const fs::path folder = Folder(reader);
    for (const auto& [file, value] : files) write(value, folder / file);
  }

 private:
  fs::path root_;
};

// --- the module's saves ---

// Every save that has a reader, with each of its two values, as <save>-1 and <save>-2 (spaces in
// the save's name become underscores) with the extension of the file it writes.
void AddSavedFiles(const Corpus& corpus) {
  const fs::path base = wqfuzz::RepositoryDirectory("Prefs").parent_path();
  for (const wqfuzz::SaveCase& save : wqfuzz::AllSaveCases(base)) {
    if (save.reader.empty()) continue;
    std::string stem = save.name;
    std::replace(stem.begin(), stem.end(), ' ', '_');
    for (const int value : {0, 1}) {
      save.save(value);
      const std::string name = stem + "-" + std::to_string(value + 1);
      fs::copy_file(save.file, corpus.Folder(save.reader) / (name + save.file.extension().string()),
                    fs::copy_options::overwrite_existing);
      fs::remove(save.file);
    }
  }
}

// --- calibration runs ---

// A small run: three scans of a few points around the first sodium iodide clusters.
WQDataFile::SyntheticRunSettings SmallRun(double lowMZ, double highMZ, std::uint32_t runNumber) {
  WQDataFile::SyntheticRunSettings settings;
  settings.ScanCount = 3;
  settings.LowMZ = lowMZ;
  settings.HighMZ = highMZ;
  settings.MZStep = 0.25;
  settings.Calibrants =
      WQDataFile::SyntheticRunSettings::SodiumIodideClusters(lowMZ, highMZ, 2.0e4);
  settings.RunNumber = runNumber;
  return settings;
}

void AddCalibrationRuns(const Corpus& corpus) {
  corpus.Add("cal_data",
             Numbered(".dat", std::vector{SmallRun(170.0, 176.0, 1), SmallRun(320.0, 326.0, 2)}),
             [](const WQDataFile::SyntheticRunSettings& settings, const fs::path& target) {
               WQDataFile::GenerateSyntheticRun(Wide(target), settings).Save();
             });
}

// --- XML documents made with the toolkit ---

// Saves a document of the top element `top` filled by `fill` at `target`.
template <typename Fill>
void SaveDocument(const wchar_t* top, Fill fill, const fs::path& target) {
  WQCommon::XMLBuilder builder;
  builder.StartNode(top);
  fill(builder);
  builder.EndNode();
  builder.Save(Wide(target));
}

using TextElements = std::vector<std::pair<const wchar_t*, const wchar_t*>>;

// Writes documents of the top element `top` holding text elements into the corpus of `reader`.
void AddTextDocuments(const Corpus& corpus, const char* reader, const wchar_t* top,
                      const std::vector<TextElements>& documents) {
  corpus.Add(reader, Numbered(".xml", documents),
             [top](const TextElements& elements, const fs::path& target) {
               SaveDocument(
                   top,
                   [&](WQCommon::XMLBuilder& builder) {
                     for (const auto& [name, text] : elements) builder.WNode(name, text);
                   },
                   target);
             });
}

void AddXMLDocuments(const Corpus& corpus) {
  AddTextDocuments(
      corpus, "spectrum_data_info", L"SpectrumDataInfo",
      {{{L"Instrument", L"Single quadrupole MS"}, {L"Sample_Inlet", L"Syringe pump infusion"}},
       {{L"Instrument", L"Single quadrupole MS, APCI"}}});

  const WQRepos::AutotunePrefs caffeineAndMRFA = wqfuzz::Varied(WQRepos::AutotunePrefs());
  WQRepos::AutotunePrefs negative = caffeineAndMRFA;
  negative.Polarity = Negative;
  negative.DiverterSource = WQRepos::Waste;
  corpus.Add("autotune_xml",
             Numbered(".xml", std::vector{caffeineAndMRFA, negative, WQRepos::AutotunePrefs()}),
             [](const WQRepos::AutotunePrefs& prefs, const fs::path& target) {
               SaveDocument(
                   L"AutoTune", [&](WQCommon::XMLBuilder& builder) { builder << prefs; }, target);
             });

  AddTextDocuments(
      corpus, "config_client", L"AcqClient",
      {{{L"HostName", L"acqserver"}, {L"Port", L"4000"}, {L"BaseDir", L"/var/lib/WQData"}},
       {{L"HostName", L"localhost"}, {L"Port", L"4100"}},
       {{L"HostName", L"qms01.lab"}, {L"Port", L" 65535"}, {L"BaseDir", L"/srv/WQData/"}}});
}

// --- documents of extreme shape, written as text ---

// `depth` elements, the top element `top` and, inside it, elements L each holding the next.
std::string NestedDocument(const std::string& top, int depth) {
  std::string text = "<" + top + ">";
  for (int level = 1; level < depth; ++level) text += "<L>";
  for (int level = 1; level < depth; ++level) text += "</L>";
  return text + "</" + top + ">";
}

// The top element `top` holding `count` empty elements.
std::string WideDocument(const std::string& top, int count) {
  std::string text = "<" + top + ">";
  for (int item = 0; item < count; ++item) text += "<L/>";
  return text + "</" + top + ">";
}

void WriteText(const std::string& text, const fs::path& target) {
  std::ofstream(target, std::ios::binary) << text;
}

// For every XML reader: a document nested as deep as the toolkit loads and a wide one. The autotune
// reader, which prints what it loads, also gets one far deeper, whose indented text would take
// 100 MB were it loaded, so that the fuzzer has nesting to build on.
void AddDeepAndWideDocuments(const Corpus& corpus) {
  const std::pair<const char*, std::string> readers[] = {
      {"spectrum_data_info", "SpectrumDataInfo"},
      {"system_configuration", "SystemConfiguration"},
      {"autotune_xml", "AutoTune"},
      {"config_client", "AcqClient"}};
  for (const auto& [reader, top] : readers) {
    corpus.Add(reader,
               Files<std::string>{{"deep.xml", NestedDocument(top, WQCommon::kMaxDocumentDepth)},
                                  {"wide.xml", WideDocument(top, 2000)}},
               WriteText);
  }
  corpus.Add("autotune_xml", Files<std::string>{{"too_deep.xml", NestedDocument("AutoTune", 5000)}},
             WriteText);
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
    wqfuzz::InitializeOnce();
    const Corpus corpus(argv[1]);
    AddSavedFiles(corpus);
    AddCalibrationRuns(corpus);
    AddXMLDocuments(corpus);
    AddDeepAndWideDocuments(corpus);
  } catch (const std::exception& error) {
    std::cerr << "MakeCorpus: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
