// Writes the starting corpus of every reader into <corpus directory>/<reader>/: a few realistic
// files of each kind, made by the module's own save functions, the data-file library's writer and
// the toolkit's XML builder, so that the fuzzers start from files the application really writes;
// the XML readers also get documents of extreme depth and width. The same settings always give the
// same files.
//
// Usage: MakeCorpus <corpus directory>
//        MakeCorpus --readers      (prints the name of every reader, one a line)
#include <WQCommon/Text.h>
#include <WQCommon/XML.h>
#include <WQDataFile/SyntheticRun.h>
#include <WQRepos/WQRepos.h>

#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "Readers.h"
#include "Samples.h"

namespace {

namespace fs = std::filesystem;

using WQCommon::Negative;
using WQCommon::Positive;
using WQRepos::Preferences;

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

  // Writes each value into the corpus folder of `reader` with write(value, path of its file).
  template <typename Value, typename Write>
  void Add(const std::string& reader, const Files<Value>& files, Write write) const {
    const fs::path folder = root_ / reader;
    fs::create_directories(folder);
    for (const auto& [file, value] : files) write(value, folder / file);
  }

  // For a save that always writes the repository file <subdirectory>/<saved>: saves each value
  // with save(value) and moves that file into the corpus folder of `reader`.
  template <typename Value, typename Save>
  void AddSaved(const std::string& reader, const Files<Value>& files, const char* subdirectory,
                const std::string& saved, Save save) const {
    Add(reader, files, [&](const Value& value, const fs::path& target) {
      save(value);
      const fs::path file = wqfuzz::RepositoryDirectory(subdirectory) / saved;
      fs::copy_file(file, target, fs::copy_options::overwrite_existing);
      fs::remove(file);
    });
  }

 private:
  fs::path root_;
};

template <typename Record, typename Change>
Record Changed(Record record, Change change) {
  change(record);
  return record;
}

// --- acquisition methods, tunes and evaluation methods ---

WQBL::SequenceItem Item(WQBL::SequenceItem::ItemKinds kind, double startMZ, double endMZ,
                        double duration, WQCommon::PolarityTypes polarity, std::uint32_t tuneId) {
  WQBL::SequenceItem item;
  item.Kind = kind;
  item.StartMZ = startMZ;
  item.EndMZ = endMZ;
  item.Duration = duration;
  item.DwellTime = kind == WQBL::SequenceItem::SIM ? duration : duration / (endMZ - startMZ);
  item.Polarity = polarity;
  item.TuneId = tuneId;
  return item;
}

WQBL::TimePeriod Period(double minutes, std::uint32_t loops,
                        std::vector<WQBL::SequenceItem> items) {
  WQBL::TimePeriod period;
  period.Duration = minutes;
  period.NumLoops = loops;
  period.Items = std::move(items);
  return period;
}

WQBL::Method MethodOf(std::vector<WQBL::TimePeriod> periods, WQBL::Method::TuneTable tunes) {
  WQBL::Method method;
  method.TimePeriods = std::move(periods);
  method.Tunes = std::move(tunes);
  return method;
}

void AddMethodsAndTunes(const Corpus& corpus) {
  using WQBL::TuneEntry;
  using WQCommon::Probes;
  constexpr auto kScan = WQBL::SequenceItem::FullScan;
  constexpr auto kSIM = WQBL::SequenceItem::SIM;
  const Files<WQBL::Method> methods = {
      {"full_scan.kem", MethodOf({Period(5.0, 1, {Item(kScan, 100, 1000, 1.0, Positive, 1)})},
                                 {{1, TuneEntry(L"ESI positive", Probes::ESI, Positive)}})},
      {"sim_and_scan.kem", MethodOf({Period(2.0, 1,
                                            {Item(kSIM, 195.09, 195.09, 0.2, Positive, 1),
                                             Item(kSIM, 524.26, 524.26, 0.2, Positive, 1)}),
                                     Period(3.0, 1, {Item(kScan, 150, 1500, 0.8, Negative, 2)})},
                                    {{1, TuneEntry(L"Caffeine", Probes::ESI, Positive)},
                                     {2, TuneEntry(L"APCI negative", Probes::APCI, Negative)}})},
      // A period without a fixed length: its time-out is worked out when the method is loaded.
      {"open_period.kem", MethodOf({Period(0.0, 3,
                                           {Item(kScan, 200, 800, 0.5, Positive, 1),
                                            Item(kSIM, 609.28, 609.28, 0.1, Negative, 1)}),
                                    Period(1.5, 1, {Item(kScan, 200, 800, 0.5, Positive, 1)})},
                                   {{1, TuneEntry(L"Reserpine", Probes::ESCi, Positive)}})},
      {"empty.kem", WQBL::Method()}};
  corpus.AddSaved("method", methods, "AcqMethod", "Corpus.kem",
                  [](const WQBL::Method& method) { WQRepos::SaveAcqMethod(L"Corpus", method); });

  WQBL::Tune negative;
  negative.Polarity = Negative;
  negative.CapillaryVoltage = 2.5;
  negative.ConeVoltage = 35.0;
  negative.DesolvationGasFlow = 650.0;
  WQBL::Tune highResolution;
  highResolution.LowMassResolution = 15.5;
  highResolution.HighMassResolution = 14.2;
  highResolution.SourceTemperature = 150.0;
  highResolution.DesolvationTemperature = 400.0;
  const Files<WQBL::Tune> tunes = {{"factory.ket", WQBL::Tune()},
                                   {"negative.ket", negative},
                                   {"high_resolution.ket", highResolution}};
  corpus.Add("tune", tunes, [](const WQBL::Tune& tune, const fs::path& target) {
    WQRepos::SaveFullyQualifiedTune(Wide(target), tune);
  });
}

WQBL::ThresholdParams Threshold(double level) {
  WQBL::ThresholdParams params;
  params.Level = level;
  return params;
}

void AddEvalMethods(const Corpus& corpus) {
  using WQBL::CurveEval;
  using Steps = std::vector<CurveEval>;
  const Files<Steps> spectrumMethods = {
      {"standard.sem",
       {CurveEval(WQBL::BaselineParams::DefaultMS()), CurveEval(WQBL::NoiseParams::DefaultMS()),
        CurveEval(Threshold(50.0)), CurveEval(WQBL::PeakDetectParams::DefaultMS())}},
      {"no_step.sem", {CurveEval()}},
      {"empty.sem", {}}};
  corpus.AddSaved("spectrum_eval", spectrumMethods, "EvalMethod", "Corpus.sem",
                  [](const Steps& method) { WQRepos::SaveSpectrumEvalMethod(L"Corpus", method); });
  const Files<Steps> icMethods = {
      {"standard.iem",
       {CurveEval(WQBL::BaselineParams::DefaultIC()), CurveEval(WQBL::NoiseParams::DefaultIC()),
        CurveEval(WQBL::PeakDetectParams::DefaultIC())}},
      {"threshold.iem", {CurveEval(Threshold(1.0e4)), CurveEval(WQBL::PeakDetectParams())}}};
  corpus.AddSaved("ic_eval", icMethods, "EvalMethod", "Corpus.iem",
                  [](const Steps& method) { WQRepos::SaveICEvalMethod(L"Corpus", method); });
}

// --- preferences ---

// Every preference of the catalogue: its default and a varied record, written by its own write.
void AddPreferences(const Corpus& corpus) {
  WQRepos::ForEachPreference([&corpus](const auto& entry) {
    const auto first = entry.Default();
    const std::string name = WQCommon::WQWideToNarrowStr(entry.Name);
    corpus.AddSaved(wqfuzz::PreferenceReaderName(entry.Name),
                    Numbered(".pref", std::vector{first, wqfuzz::Varied(first)}), "Prefs",
                    name + ".pref",
                    [write = entry.Write](const auto& value) { (Preferences().*write)(value); });
  });
}

// --- calibration, data file names and system configuration ---

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

void AddCalibrationAndSystemFiles(const Corpus& corpus) {
  using WQRepos::RefCal;
  const std::vector<std::vector<RefCal>> calibrants = {
      {RefCal(L"NaI 1", 172.8835, 0.0, 1.0e5), RefCal(L"NaI 2", 322.7782, 0.0, 1.0e5),
       RefCal(L"NaI 3", 472.6729, 0.0, 5.0e4)},
      {RefCal(L"Caffeine", 195.0877, 1.0, 2.0e5), RefCal(L"MRFA", 524.2650, 2.0, 1.5e5)},
      {}};
  corpus.AddSaved("ref_cals", Numbered(".cal", calibrants), "Calibration", "RefCals.cal",
                  WQRepos::SaveReferenceCalibrants);

  corpus.Add("cal_data",
             Numbered(".dat", std::vector{SmallRun(170.0, 176.0, 1), SmallRun(320.0, 326.0, 2)}),
             [](const WQDataFile::SyntheticRunSettings& settings, const fs::path& target) {
               WQDataFile::GenerateSyntheticRun(Wide(target), settings).Save();
             });

  corpus.AddSaved("data_file_name",
                  Numbered(".pref", std::vector<std::int64_t>{1704067200, 0, 1893456000}), "Prefs",
                  "DataFileName.pref", [](std::int64_t time) {
                    WQRepos::DataFileNameInfo info;
                    info.Time = time;
                    WQRepos::WDataDirectoryFileNameInfo(info);
                  });

  WQRepos::SystemConfiguration installed;
  installed.SystemName = L"QMS-01";
  installed.UserName = L"operator";
  installed.Syringe.Enabled = true;
  installed.Syringe.FlowRate = 5.0;
  installed.PolaritySwitch = 0.35;
  installed.CalSource = WQRepos::SystemConfiguration::LeftVialSource;
  installed.TuneProbeId = WQCommon::Probes::APCI;
  installed.MethodTimePeriods = 4;
  corpus.AddSaved("system_configuration",
                  Numbered(".xml", std::vector{WQRepos::SystemConfiguration(), installed}), "Prefs",
                  "SystemConfiguration.xml", WQRepos::SaveSystemConfiguration);
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

  const WQRepos::AutotunePrefs caffeineAndMRFA =
      Changed(WQRepos::AutotunePrefs(), wqfuzz::CaffeineAndMRFA);
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
    AddMethodsAndTunes(corpus);
    AddEvalMethods(corpus);
    AddPreferences(corpus);
    AddCalibrationAndSystemFiles(corpus);
    AddXMLDocuments(corpus);
    AddDeepAndWideDocuments(corpus);
  } catch (const std::exception& error) {
    std::cerr << "MakeCorpus: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
