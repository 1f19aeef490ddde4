#include "SaveCases.h"

#include <WQCommon/Text.h>
#include <WQDataFile/SyntheticRun.h>
#include <WQPlatformTesting/ScratchFiles.h>
#include <WQRepos/WQRepos.h>

#include <stdexcept>

#include "Readers.h"
#include "Samples.h"

namespace wqfuzz {
namespace {

namespace fs = std::filesystem;
using WQRepos::Preferences;

std::wstring Wide(const fs::path& path) { return WQCommon::WQNarrowToWideStr(path.string()); }

// What a failed save of a preference says, before the file's path.
const char kPreferenceFailure[] =
    "In function`anonymous-namespace'::SavePreference; \nerror creating/saving preference file ";

// A method of one full-scan period of `minutes`; with `sim`, a second period of two SIM items in
// the other polarity and under a second tune.
WQBL::Method Method(double minutes, bool sim) {
  WQBL::Method method;
  method.TimePeriods.emplace_back().Duration = minutes;
  method.TimePeriods.back().Items.emplace_back();
  method.Tunes[1] = WQBL::TuneEntry(L"Tune 1", WQCommon::Probes::ESI, WQCommon::Positive);
  if (sim) {
    WQBL::TimePeriod& period = method.TimePeriods.emplace_back();
    period.Duration = 1.5;
    period.NumLoops = 3;
    for (const double mz : {195.09, 524.26}) {
      WQBL::SequenceItem& item = period.Items.emplace_back();
      item.Kind = WQBL::SequenceItem::SIM;
      item.StartMZ = item.EndMZ = mz;
      item.DwellTime = item.Duration = 0.2;
      item.Polarity = WQCommon::Negative;
      item.TuneId = 2;
    }
    method.Tunes[2] = WQBL::TuneEntry(L"APCI negative", WQCommon::Probes::APCI, WQCommon::Negative);
  }
  return method;
}

}  // namespace

std::vector<SaveCase> AllSaveCases(const fs::path& base) {
  // Every preference of the catalogue, saving its default or a varied record.
  std::vector<SaveCase> cases;
  WQRepos::ForEachPreference([&](const auto& entry) {
    const std::string name = WQCommon::WQWideToNarrowStr(entry.Name);
    const fs::path file = base / "Prefs" / (name + ".pref");
    const auto first = entry.Default();
    const auto second = Varied(first);
    cases.push_back({name, file,
                     [write = entry.Write, first, second](int value) {
                       (Preferences().*write)(value ? second : first);
                     },
                     kPreferenceFailure + file.string(), PreferenceReaderName(entry.Name)});
  });
  const fs::path tune = base / "Tunes" / "L+Default.ket";
  const fs::path elsewhere = base / "Data" / "Copy.ket";
  const auto tuneValue = [](int value) {
    WQBL::Tune tune;
    tune.ConeVoltage = value ? 35 : 30;
    return tune;
  };
  const fs::path document = base / "Data" / "Run.tofline";
  cases.insert(
      cases.end(),
      {{"acquisition method", base / "AcqMethod" / "Scan.kem",
        [](int value) { WQRepos::SaveAcqMethod(L"Scan", Method(value ? 2 : 1, value)); },
        "Unable to create acquisition method file (Scan)", "method"},
       {"tune", tune, [tuneValue](int value) { WQRepos::SaveTune(L"L+Default", tuneValue(value)); },
        "Unable to create tune file: " + tune.string(), "tune"},
       {"tune by path", elsewhere,
        [elsewhere, tuneValue](int value) {
          WQRepos::SaveFullyQualifiedTune(Wide(elsewhere), tuneValue(value));
        },
        "Unable to create tune file: " + elsewhere.string(), ""},
       {"spectrum evaluation method", base / "EvalMethod" / "Peaks.sem",
        [](int value) {
          auto steps = WQRepos::DefaultSpectrumEvalMethod();
          if (value) steps.pop_back();
          WQRepos::SaveSpectrumEvalMethod(L"Peaks", steps);
        },
        "Unable to create evaluation method file.", "spectrum_eval"},
       {"chromatogram evaluation method", base / "EvalMethod" / "Peaks.iem",
        [](int value) {
          auto steps = WQRepos::DefaultSpectrumEvalMethod();
          if (value) steps.erase(steps.begin());
          WQRepos::SaveICEvalMethod(L"Peaks", steps);
        },
        "Unable to create evaluation method file.", "ic_eval"},
       {"reference calibrants", base / "Calibration" / "RefCals.cal",
        [](int value) {
          std::vector<WQRepos::RefCal> calibrants{WQRepos::RefCal(L"NaI", 172.88, 0.5, 1)};
          if (value) calibrants.emplace_back(L"CsI", 132.91, 0.5, 1);
          WQRepos::SaveReferenceCalibrants(calibrants);
        },
        "Unable to create reference calibrants file.", "ref_cals"},
       {"data-file naming record", base / "Prefs" / "DataFileName.pref",
        [](int value) {
          WQRepos::DataFileNameInfo info;
          info.Time = value ? 2000000000 : 1000000000;
          WQRepos::WDataDirectoryFileNameInfo(info);
        },
        "Unable to create DataFileNameInfo file.", "data_file_name"},
       {"system configuration", base / "Prefs" / "SystemConfiguration.xml",
        [](int value) {
          WQRepos::SystemConfiguration configuration;
          configuration.SystemName = value ? L"QMS-2" : L"QMS-1";
          WQRepos::SaveSystemConfiguration(configuration);
        },
        "", "system_configuration"},
       {"centroid document", document,
        [base](int value) {
          WQDataFile::SyntheticRunSettings settings;
          settings.ScanCount = 4;
          settings.HighMZ = 400;
          WQDataFile::CalDataFile run =
              WQDataFile::GenerateSyntheticRun(Wide(base / "Data" / "Run.dat"), settings);
          WQBL::ICObj chromatogram = run.GenerateTIC();
          WQBL::PLAutoFindPrefs prefs;
          prefs.Smooth = value == 1;
          std::wstring error;
          if (!WQRepos::AutoGenPL(run, chromatogram, prefs, true, error))
            throw std::runtime_error(WQCommon::WQWideToNarrowStr(error));
        },
        "Cannot write to file" + document.string(), ""}});
  return cases;
}

std::string SavedBytes(const SaveCase& save, int value) {
  save.save(value);
  return WQPlatformTesting::ReadBytes(save.file);
}

}  // namespace wqfuzz
