#include <WQRepos/PreferenceCatalogue.h>
#include <WQRepos/Preferences.h>

#include <optional>
#include <type_traits>

#include "prefs/PreferenceStore.h"

namespace WQRepos {

namespace {

// The catalogue's entry whose query or write is `member`.
template <typename Record, typename Member>
PreferenceEntry<Record> EntryOf(Member member) {
  std::optional<PreferenceEntry<Record>> found;
  ForEachPreference([&](const auto& entry) {
    if constexpr (std::is_same_v<std::decay_t<decltype(entry)>, PreferenceEntry<Record>>) {
      if constexpr (std::is_same_v<Member, decltype(entry.Query)>) {
        if (entry.Query == member) found = entry;
      } else {
        if (entry.Write == member) found = entry;
      }
    }
  });
  return *found;
}

// The stored value of the preference that `query` answers, or its default when it has no file.
template <typename Record>
Record Stored(Record (Preferences::*query)() const) {
  const PreferenceEntry<Record> entry = EntryOf<Record>(query);
  Record record = entry.Default();
  LoadPreference(entry.Name, record);
  return record;
}

template <typename Record>
void Store(void (Preferences::*write)(const Record&), const Record& record) {
  SavePreference(EntryOf<Record>(write).Name, record);
}

}  // namespace

using WQBL::AppThreadingParams;
using WQBL::BaselineParams;
using WQBL::ChargeStateParams;
using WQBL::NoiseParams;
using WQBL::OPDParams;
using WQBL::PeakDetectParams;
using WQBL::RampAlgorithmParams;
using WQBL::SmoothParams;
using WQBL::ThresholdParams;

BaselineParams Preferences::QICBaseline() const { return Stored(&Preferences::QICBaseline); }
void Preferences::WICBaseline(const BaselineParams& params) {
  Store(&Preferences::WICBaseline, params);
}

NoiseParams Preferences::QICNoise() const { return Stored(&Preferences::QICNoise); }
void Preferences::WICNoise(const NoiseParams& params) { Store(&Preferences::WICNoise, params); }

PeakDetectParams Preferences::QICPeakDetect() const { return Stored(&Preferences::QICPeakDetect); }
void Preferences::WICPeakDetect(const PeakDetectParams& params) {
  Store(&Preferences::WICPeakDetect, params);
}

SmoothParams Preferences::QICSmooth() const { return Stored(&Preferences::QICSmooth); }
void Preferences::WICSmooth(const SmoothParams& params) { Store(&Preferences::WICSmooth, params); }

ThresholdParams Preferences::QICThreshold() const { return Stored(&Preferences::QICThreshold); }
void Preferences::WICThreshold(const ThresholdParams& params) {
  Store(&Preferences::WICThreshold, params);
}

BaselineParams Preferences::QMZBaseline() const { return Stored(&Preferences::QMZBaseline); }
void Preferences::WMZBaseline(const BaselineParams& params) {
  Store(&Preferences::WMZBaseline, params);
}

NoiseParams Preferences::QMZNoise() const { return Stored(&Preferences::QMZNoise); }
void Preferences::WMZNoise(const NoiseParams& params) { Store(&Preferences::WMZNoise, params); }

OPDParams Preferences::QMZOPD() const { return Stored(&Preferences::QMZOPD); }
void Preferences::WMZOPD(const OPDParams& params) { Store(&Preferences::WMZOPD, params); }

PeakDetectParams Preferences::QMZPeakDetect() const { return Stored(&Preferences::QMZPeakDetect); }
void Preferences::WMZPeakDetect(const PeakDetectParams& params) {
  Store(&Preferences::WMZPeakDetect, params);
}

SmoothParams Preferences::QMZSmooth() const { return Stored(&Preferences::QMZSmooth); }
void Preferences::WMZSmooth(const SmoothParams& params) { Store(&Preferences::WMZSmooth, params); }

ThresholdParams Preferences::QMZThreshold() const { return Stored(&Preferences::QMZThreshold); }
void Preferences::WMZThreshold(const ThresholdParams& params) {
  Store(&Preferences::WMZThreshold, params);
}

RampAlgorithmParams Preferences::QRampAlgorithm() const {
  return Stored(&Preferences::QRampAlgorithm);
}
void Preferences::WRampAlgorithm(const RampAlgorithmParams& params) {
  Store(&Preferences::WRampAlgorithm, params);
}

ChargeStateParams Preferences::QCSDecon() const { return Stored(&Preferences::QCSDecon); }
void Preferences::WCSDecon(const ChargeStateParams& params) {
  Store(&Preferences::WCSDecon, params);
}

AppThreadingParams Preferences::QAppThreadingPrefs() const {
  return Stored(&Preferences::QAppThreadingPrefs);
}
void Preferences::WAppThreadingPrefs(const AppThreadingParams& params) {
  Store(&Preferences::WAppThreadingPrefs, params);
}

GenTICPrefs Preferences::QGenTIC() const { return Stored(&Preferences::QGenTIC); }
void Preferences::WGenTIC(const GenTICPrefs& prefs) { Store(&Preferences::WGenTIC, prefs); }

GenEICPrefs Preferences::QGenEIC() const { return Stored(&Preferences::QGenEIC); }
void Preferences::WGenEIC(const GenEICPrefs& prefs) { Store(&Preferences::WGenEIC, prefs); }

GenBICPrefs Preferences::QGenBIC() const { return Stored(&Preferences::QGenBIC); }
void Preferences::WGenBIC(const GenBICPrefs& prefs) { Store(&Preferences::WGenBIC, prefs); }

GenSpectraPrefs Preferences::QGenSpectra() const { return Stored(&Preferences::QGenSpectra); }
void Preferences::WGenSpectra(const GenSpectraPrefs& prefs) {
  Store(&Preferences::WGenSpectra, prefs);
}

std::vector<FieldPref> Preferences::QTuneFieldOrder() const {
  return Stored(&Preferences::QTuneFieldOrder);
}
void Preferences::WTuneFieldOrder(const std::vector<FieldPref>& fields) {
  Store(&Preferences::WTuneFieldOrder, fields);
}

std::vector<FieldPref> Preferences::QStepTblColOrder() const {
  return Stored(&Preferences::QStepTblColOrder);
}
void Preferences::WStepTblColOrder(const std::vector<FieldPref>& fields) {
  Store(&Preferences::WStepTblColOrder, fields);
}

std::vector<FieldPref> Preferences::QICPkTblColOrder() const {
  return Stored(&Preferences::QICPkTblColOrder);
}
void Preferences::WICPkTblColOrder(const std::vector<FieldPref>& fields) {
  Store(&Preferences::WICPkTblColOrder, fields);
}

std::vector<FieldPref> Preferences::QMZPkTblColOrder() const {
  return Stored(&Preferences::QMZPkTblColOrder);
}
void Preferences::WMZPkTblColOrder(const std::vector<FieldPref>& fields) {
  Store(&Preferences::WMZPkTblColOrder, fields);
}

GUILayoutPrefs Preferences::QGUILayoutPrefs() const {
  return Stored(&Preferences::QGUILayoutPrefs);
}
void Preferences::WGUILayoutPrefs(const GUILayoutPrefs& prefs) {
  Store(&Preferences::WGUILayoutPrefs, prefs);
}

AutotunePrefs Preferences::QATCprefs() const { return Stored(&Preferences::QATCprefs); }
void Preferences::WATCprefs(const AutotunePrefs& prefs) { Store(&Preferences::WATCprefs, prefs); }

AutotuneDlgPrefs Preferences::QAutotunePrefs() const {
  AutotuneDlgPrefs prefs = Stored(&Preferences::QAutotunePrefs);
  if (prefs.TuneMixFile.empty())
    prefs.TuneMixFile =
        RepositoryPath(Config::AutotuneDir, L"QMV Tune mix positive up to 2000u.xtc");
  return prefs;
}
void Preferences::WAutotunePrefs(const AutotuneDlgPrefs& prefs) {
  Store(&Preferences::WAutotunePrefs, prefs);
}

}  // namespace WQRepos
