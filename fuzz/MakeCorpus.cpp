// Writes the seed corpus of every reader into <corpus directory>/<reader>/: a few realistic files
// of each kind, made by the module's own save functions, the data-file library's writer and the
// toolkit's XML builder, so that the fuzzers start from files the application really writes. The
// same settings always give the same files.
//
// Usage: MakeCorpus <corpus directory>
#include <WQCommon/Text.h>
#include <WQCommon/XML.h>
#include <WQDataFile/SyntheticRun.h>
#include <WQRepos/WQRepos.h>

#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "Readers.h"

namespace {

namespace fs = std::filesystem;

using WQRepos::Preferences;

std::wstring Wide(const fs::path& path) { return WQCommon::WQNarrowToWideStr(path.string()); }

class Corpus {
 public:
  explicit Corpus(fs::path root) : root_(std::move(root)) {}

  // The path of the seed `seed` of `reader`; its folder is created.
  fs::path Seed(const char* reader, const std::string& seed) const {
    const fs::path folder = root_ / reader;
    fs::create_directories(folder);
    return folder / seed;
  }

  // Moves the file that a save made at `saved` into the corpus of `reader` as `seed`.
  void Take(const char* reader, const std::string& seed, const fs::path& saved) const {
    fs::copy_file(saved, Seed(reader, seed), fs::copy_options::overwrite_existing);
    fs::remove(saved);
  }

 private:
  fs::path root_;
};

std::string Numbered(std::size_t index, const char* extension) {
  return "seed" + std::to_string(index + 1) + extension;
}

// --- acquisition methods and tunes ---

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

std::vector<std::pair<std::string, WQBL::Method>> Methods() {
  using WQBL::SequenceItem;
  WQBL::Method fullScan;
  fullScan.TimePeriods = {
      Period(5.0, 1, {Item(SequenceItem::FullScan, 100, 1000, 1.0, WQCommon::Positive, 1)})};
  fullScan.Tunes[1] = WQBL::TuneEntry(L"ESI positive", WQCommon::Probes::ESI, WQCommon::Positive);

  WQBL::Method simAndScan;
  simAndScan.TimePeriods = {
      Period(2.0, 1,
             {Item(SequenceItem::SIM, 195.09, 195.09, 0.2, WQCommon::Positive, 1),
              Item(SequenceItem::SIM, 524.26, 524.26, 0.2, WQCommon::Positive, 1)}),
      Period(3.0, 1, {Item(SequenceItem::FullScan, 150, 1500, 0.8, WQCommon::Negative, 2)})};
  simAndScan.Tunes[1] = WQBL::TuneEntry(L"Caffeine", WQCommon::Probes::ESI, WQCommon::Positive);
  simAndScan.Tunes[2] =
      WQBL::TuneEntry(L"APCI negative", WQCommon::Probes::APCI, WQCommon::Negative);

  // A period without a fixed length: its time-out is worked out when the method is loaded.
  WQBL::Method openPeriod;
  openPeriod.TimePeriods = {
      Period(0.0, 3,
             {Item(SequenceItem::FullScan, 200, 800, 0.5, WQCommon::Positive, 1),
              Item(SequenceItem::SIM, 609.28, 609.28, 0.1, WQCommon::Negative, 1)}),
      Period(1.5, 1, {Item(SequenceItem::FullScan, 200, 800, 0.5, WQCommon::Positive, 1)})};
  openPeriod.Tunes[1] = WQBL::TuneEntry(L"Reserpine", WQCommon::Probes::ESCi, WQCommon::Positive);

  return {{"full_scan.kem", fullScan},
          {"sim_and_scan.kem", simAndScan},
          {"open_period.kem", openPeriod},
          {"empty.kem", WQBL::Method()}};
}

std::vector<std::pair<std::string, WQBL::Tune>> Tunes() {
  WQBL::Tune negative;
  negative.Polarity = WQCommon::Negative;
  negative.CapillaryVoltage = 2.5;
  negative.ConeVoltage = 35.0;
  negative.DesolvationGasFlow = 650.0;
  WQBL::Tune highResolution;
  highResolution.LowMassResolution = 15.5;
  highResolution.HighMassResolution = 14.2;
  highResolution.SourceTemperature = 150.0;
  highResolution.DesolvationTemperature = 400.0;
  return {{"factory.ket", WQBL::Tune()},
          {"negative.ket", negative},
          {"high_resolution.ket", highResolution}};
}

void AddMethodsAndTunes(const Corpus& corpus) {
  for (const auto& [seed, method] : Methods()) {
    WQRepos::SaveAcqMethod(L"Seed", method);
    corpus.Take("method", seed, wqfuzz::RepositoryDirectory("AcqMethod") / "Seed.kem");
  }
  for (const auto& [seed, tune] : Tunes())
    WQRepos::SaveFullyQualifiedTune(Wide(corpus.Seed("tune", seed)), tune);
}

// --- evaluation methods ---

WQBL::ThresholdParams Threshold(double level) {
  WQBL::ThresholdParams params;
  params.Level = level;
  return params;
}

void AddEvalMethods(const Corpus& corpus) {
  using WQBL::CurveEval;
  const std::vector<std::pair<std::string, std::vector<CurveEval>>> spectrumMethods = {
      {"standard.sem",
       {CurveEval(WQBL::BaselineParams::DefaultMS()), CurveEval(WQBL::NoiseParams::DefaultMS()),
        CurveEval(Threshold(50.0)), CurveEval(WQBL::PeakDetectParams::DefaultMS())}},
      {"no_step.sem", {CurveEval()}},
      {"empty.sem", {}}};
  for (const auto& [seed, method] : spectrumMethods) {
    WQRepos::SaveSpectrumEvalMethod(L"Seed", method);
    corpus.Take("spectrum_eval", seed, wqfuzz::RepositoryDirectory("EvalMethod") / "Seed.sem");
  }
  const std::vector<std::pair<std::string, std::vector<CurveEval>>> icMethods = {
      {"standard.iem",
       {CurveEval(WQBL::BaselineParams::DefaultIC()), CurveEval(WQBL::NoiseParams::DefaultIC()),
        CurveEval(WQBL::PeakDetectParams::DefaultIC())}},
      {"threshold.iem", {CurveEval(Threshold(1.0e4)), CurveEval(WQBL::PeakDetectParams())}}};
  for (const auto& [seed, method] : icMethods) {
    WQRepos::SaveICEvalMethod(L"Seed", method);
    corpus.Take("ic_eval", seed, wqfuzz::RepositoryDirectory("EvalMethod") / "Seed.iem");
  }
}

// --- preferences ---

// Writes each value as the preference `file` and moves the file into the corpus of `reader`.
template <typename Record>
void AddPreference(const Corpus& corpus, const char* reader, const char* file,
                   void (Preferences::*write)(const Record&), const std::vector<Record>& values) {
  for (std::size_t i = 0; i < values.size(); ++i) {
    (Preferences().*write)(values[i]);
    corpus.Take(reader, Numbered(i, ".pref"),
                wqfuzz::RepositoryDirectory("Prefs") / (std::string(file) + ".pref"));
  }
}

template <typename Record, typename Change>
Record Changed(Record record, Change change) {
  change(record);
  return record;
}

void AddProcessingPreferences(const Corpus& corpus) {
  using WQBL::AppThreadingParams;
  using WQBL::BaselineParams;
  using WQBL::ChargeStateParams;
  using WQBL::NoiseParams;
  using WQBL::OPDParams;
  using WQBL::PeakDetectParams;
  using WQBL::RampAlgorithmParams;
  using WQBL::SmoothParams;
  using WQBL::ThresholdParams;
  AddPreference(corpus, "pref_ic_baseline", "ICBaseline", &Preferences::WICBaseline,
                {BaselineParams::DefaultIC(), Changed(BaselineParams(), [](BaselineParams& p) {
                   p.Algorithm = BaselineParams::Linear;
                   p.WindowWidth = 31;
                 })});
  AddPreference(corpus, "pref_ic_noise", "ICNoise", &Preferences::WICNoise,
                {NoiseParams::DefaultIC(), Changed(NoiseParams(), [](NoiseParams& p) {
                   p.WindowWidth = 75;
                   p.Factor = 2.5;
                 })});
  AddPreference(
      corpus, "pref_mz_peak_detect", "MZPeakDetect", &Preferences::WMZPeakDetect,
      {PeakDetectParams::DefaultMS(), Changed(PeakDetectParams(), [](PeakDetectParams& p) {
         p.MinPeakWidth = 4;
         p.UseThreshold = false;
       })});
  AddPreference(corpus, "pref_mz_smooth", "MZSmooth", &Preferences::WMZSmooth,
                {SmoothParams::DefaultMS(), Changed(SmoothParams(), [](SmoothParams& p) {
                   p.WindowWidth = 11;
                   p.PolynomialOrder = 4;
                 })});
  AddPreference(corpus, "pref_ic_threshold", "ICThreshold", &Preferences::WICThreshold,
                {ThresholdParams(), Threshold(1500.0)});
  AddPreference(corpus, "pref_mz_opd", "MZOPD", &Preferences::WMZOPD,
                {OPDParams::DefaultMS(), Changed(OPDParams(), [](OPDParams& p) {
                   p.PeakWidth = 0.35;
                   p.MaxIterations = 40;
                 })});
  AddPreference(corpus, "pref_ramp_algorithm", "RampAlgorithm", &Preferences::WRampAlgorithm,
                {RampAlgorithmParams(), Changed(RampAlgorithmParams(), [](RampAlgorithmParams& p) {
                   p.Algorithm = RampAlgorithmParams::Stepped;
                   p.Steps = 25;
                 })});
  AddPreference(corpus, "pref_cs_decon", "CSDecon", &Preferences::WCSDecon,
                {ChargeStateParams(), Changed(ChargeStateParams(), [](ChargeStateParams& p) {
                   p.MinCharge = 2;
                   p.MaxCharge = 12;
                   p.MassTolerance = 0.2;
                 })});
  AddPreference(corpus, "pref_multi_thread", "MultiThread", &Preferences::WAppThreadingPrefs,
                {AppThreadingParams(), Changed(AppThreadingParams(), [](AppThreadingParams& p) {
                   p.Enabled = false;
                   p.ThreadCount = 1;
                 })});
}

WQBL::ICFilter Filter(std::int32_t function, WQBL::ICFilter::Polarities polarity) {
  WQBL::ICFilter filter;
  filter.Function = function;
  filter.Polarity = polarity;
  return filter;
}

void AddGenerationPreferences(const Corpus& corpus) {
  using WQBL::ICFilter;
  using WQBL::MZRange;
  using WQRepos::GenBICPrefs;
  using WQRepos::GenEICPrefs;
  using WQRepos::GenSpectraPrefs;
  using WQRepos::GenTICPrefs;
  AddPreference(corpus, "pref_gen_tic", "GenTIC", &Preferences::WGenTIC,
                {GenTICPrefs(), Changed(GenTICPrefs(), [](GenTICPrefs& p) {
                   p.Filter = Filter(1, ICFilter::PositiveOnly);
                   p.Option = 1;
                 })});
  AddPreference(corpus, "pref_gen_eic", "GenEIC", &Preferences::WGenEIC,
                {GenEICPrefs(), Changed(GenEICPrefs(), [](GenEICPrefs& p) {
                   p.MassRanges = {MZRange(MZRange::Bounded, 194.6, 195.6),
                                   MZRange(MZRange::Bounded, 523.8, 524.8)};
                   p.Names = {L"Caffeine", L"MRFA"};
                 })});
  AddPreference(corpus, "pref_gen_bic", "GenBIC", &Preferences::WGenBIC,
                {GenBICPrefs(), Changed(GenBICPrefs(), [](GenBICPrefs& p) {
                   p.Filter = Filter(0, ICFilter::NegativeOnly);
                   p.EvalMethodName = L"Peptides";
                   p.MassRanges = {MZRange(MZRange::Bounded, 300.0, 1200.0)};
                   p.Option = 0;
                 })});
  AddPreference(corpus, "pref_gen_spectra", "GenSpectra", &Preferences::WGenSpectra,
                {GenSpectraPrefs(), Changed(GenSpectraPrefs(), [](GenSpectraPrefs& p) {
                   p.Values = {1, 3};
                   p.TimeRanges = {WQBL::ICRange(0.5, 0.9), WQBL::ICRange(2.1, 2.4)};
                   p.Names = {L"Peak 1", L"Peak 2"};
                   p.MassRange = MZRange(MZRange::Bounded, 100.0, 600.0);
                 })});
}

WQRepos::FieldPref Field(const wchar_t* name, bool visible) {
  WQRepos::FieldPref field;
  field.Name = name;
  field.Visible = visible;
  return field;
}

WQRepos::AutotunePrefs CaffeineAndMRFA() {
  WQRepos::AutotunePrefs prefs;
  prefs.TunePoints = {{L"Caffeine", 195.088, 40, 1.2e6, 0.5}, {L"MRFA", 524.265, 55, 8.0e5, 0.5}};
  prefs.SourceType = WQCommon::Probes::ESI;
  prefs.PrimeDelay = 30;
  return prefs;
}

void AddLayoutAndAutotunePreferences(const Corpus& corpus) {
  using WQRepos::FieldPref;
  AddPreference(corpus, "pref_tune_field_order", "TuneFieldOrder", &Preferences::WTuneFieldOrder,
                {std::vector<FieldPref>{Field(L"Capillary (kV)", true), Field(L"Cone (V)", true),
                                        Field(L"Extractor (V)", false),
                                        Field(L"Source Temp (\u00b0C)", true)},
                 std::vector<FieldPref>()});
  AddPreference(corpus, "pref_gui_layout", "GUILayout", &Preferences::WGUILayoutPrefs,
                {WQRepos::GUILayoutPrefs(),
                 Changed(WQRepos::GUILayoutPrefs(), [](WQRepos::GUILayoutPrefs& p) {
                   p.FlagB = false;
                   p.Number = 2;
                   p.FlagE = false;
                 })});
  AddPreference(corpus, "pref_autotune_compounds", "AutoTuneCmpnds", &Preferences::WATCprefs,
                {WQRepos::AutotunePrefs(), CaffeineAndMRFA()});
  AddPreference(corpus, "pref_autotune_dialog", "AutoTune", &Preferences::WAutotunePrefs,
                {WQRepos::AutotuneDlgPrefs(),
                 Changed(WQRepos::AutotuneDlgPrefs(), [](WQRepos::AutotuneDlgPrefs& p) {
                   p.TuneMixFile = L"/var/lib/WQData/Autotune/Tune mix negative.xtc";
                   p.Value1 = 3;
                   p.Value2 = -1;
                   p.Settings = CaffeineAndMRFA();
                   p.Settings.Polarity = WQCommon::Negative;
                 })});
}

// --- calibration ---

void AddCalibration(const Corpus& corpus) {
  const std::vector<std::vector<WQRepos::RefCal>> lists = {
      {WQRepos::RefCal(L"NaI 1", 172.8835, 0.0, 1.0e5),
       WQRepos::RefCal(L"NaI 2", 322.7782, 0.0, 1.0e5),
       WQRepos::RefCal(L"NaI 3", 472.6729, 0.0, 5.0e4)},
      {WQRepos::RefCal(L"Caffeine", 195.0877, 1.0, 2.0e5),
       WQRepos::RefCal(L"MRFA", 524.2650, 2.0, 1.5e5)},
      {}};
  for (std::size_t i = 0; i < lists.size(); ++i) {
    WQRepos::SaveReferenceCalibrants(lists[i]);
    corpus.Take("ref_cals", Numbered(i, ".cal"),
                wqfuzz::RepositoryDirectory("Calibration") / "RefCals.cal");
  }

  // Small runs: three scans of a few points around the first sodium iodide clusters.
  const std::vector<std::pair<double, double>> ranges = {{170.0, 176.0}, {320.0, 326.0}};
  for (std::size_t i = 0; i < ranges.size(); ++i) {
    WQDataFile::SyntheticRunSettings settings;
    settings.ScanCount = 3;
    settings.LowMZ = ranges[i].first;
    settings.HighMZ = ranges[i].second;
    settings.MZStep = 0.25;
    settings.Calibrants = WQDataFile::SyntheticRunSettings::SodiumIodideClusters(
        settings.LowMZ, settings.HighMZ, 2.0e4);
    settings.Seed = static_cast<std::uint32_t>(i + 1);
    WQDataFile::GenerateSyntheticRun(Wide(corpus.Seed("cal_data", Numbered(i, ".dat"))), settings)
        .Save();
  }
}

void AddDataFileNames(const Corpus& corpus) {
  const std::vector<std::int64_t> times = {1704067200, 0, 1893456000};
  for (std::size_t i = 0; i < times.size(); ++i) {
    WQRepos::DataFileNameInfo info;
    info.Time = times[i];
    WQRepos::WDataDirectoryFileNameInfo(info);
    corpus.Take("data_file_name", Numbered(i, ".pref"),
                wqfuzz::RepositoryDirectory("Prefs") / "DataFileName.pref");
  }
}

// --- XML documents ---

void AddSystemConfigurations(const Corpus& corpus) {
  WQRepos::SystemConfiguration installed;
  installed.SystemName = L"QMS-01";
  installed.UserName = L"operator";
  installed.Syringe.Enabled = true;
  installed.Syringe.FlowRate = 5.0;
  installed.PolaritySwitch = 0.35;
  installed.CalSource = WQRepos::SystemConfiguration::LeftVialSource;
  installed.TuneProbeId = WQCommon::Probes::APCI;
  installed.MethodTimePeriods = 4;
  const std::vector<WQRepos::SystemConfiguration> configurations = {WQRepos::SystemConfiguration(),
                                                                    installed};
  for (std::size_t i = 0; i < configurations.size(); ++i) {
    WQRepos::SaveSystemConfiguration(configurations[i]);
    corpus.Take("system_configuration", Numbered(i, ".xml"),
                wqfuzz::RepositoryDirectory("Prefs") / "SystemConfiguration.xml");
  }
}

void AddSpectrumDataInfos(const Corpus& corpus) {
  const std::vector<std::vector<std::pair<const wchar_t*, const wchar_t*>>> documents = {
      {{L"Instrument", L"Single quadrupole MS"}, {L"Sample_Inlet", L"Syringe pump infusion"}},
      {{L"Instrument", L"Single quadrupole MS, APCI"}}};
  for (std::size_t i = 0; i < documents.size(); ++i) {
    WQCommon::XMLBuilder builder;
    builder.StartNode(L"SpectrumDataInfo");
    for (const auto& [name, text] : documents[i]) builder.WNode(name, text);
    builder.EndNode();
    builder.Save(Wide(corpus.Seed("spectrum_data_info", Numbered(i, ".xml"))));
  }
}

void AddAutotuneDocuments(const Corpus& corpus) {
  WQRepos::AutotunePrefs negative = CaffeineAndMRFA();
  negative.Polarity = WQCommon::Negative;
  negative.DiverterSource = WQRepos::Waste;
  const std::vector<WQRepos::AutotunePrefs> documents = {CaffeineAndMRFA(), negative,
                                                         WQRepos::AutotunePrefs()};
  for (std::size_t i = 0; i < documents.size(); ++i) {
    WQCommon::XMLBuilder builder;
    builder.StartNode(L"AutoTune");
    builder << documents[i];
    builder.EndNode();
    builder.Save(Wide(corpus.Seed("autotune_xml", Numbered(i, ".xml"))));
  }
}

void AddConfigClients(const Corpus& corpus) {
  const std::vector<std::vector<std::pair<const wchar_t*, const wchar_t*>>> documents = {
      {{L"HostName", L"acqserver"}, {L"Port", L"4000"}, {L"BaseDir", L"/var/lib/WQData"}},
      {{L"HostName", L"localhost"}, {L"Port", L"4100"}},
      {{L"HostName", L"qms01.lab"}, {L"Port", L" 65535"}, {L"BaseDir", L"/srv/WQData/"}}};
  for (std::size_t i = 0; i < documents.size(); ++i) {
    WQCommon::XMLBuilder builder;
    builder.StartNode(L"AcqClient");
    for (const auto& [name, text] : documents[i]) builder.WNode(name, text);
    builder.EndNode();
    builder.Save(Wide(corpus.Seed("config_client", Numbered(i, ".xml"))));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "Usage: MakeCorpus <corpus directory>\n";
    return 2;
  }
  try {
    wqfuzz::InitializeOnce();
    const Corpus corpus(argv[1]);
    AddMethodsAndTunes(corpus);
    AddEvalMethods(corpus);
    AddProcessingPreferences(corpus);
    AddGenerationPreferences(corpus);
    AddLayoutAndAutotunePreferences(corpus);
    AddCalibration(corpus);
    AddDataFileNames(corpus);
    AddSystemConfigurations(corpus);
    AddSpectrumDataInfos(corpus);
    AddAutotuneDocuments(corpus);
    AddConfigClients(corpus);
  } catch (const std::exception& error) {
    std::cerr << "MakeCorpus: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
