#include <WQRepos/Preferences.h>

#include "prefs/PreferenceStore.h"

namespace WQRepos {

namespace {

// The stored preference `name`, or `fallback` when it has no file.
template <typename Record>
Record Query(const std::wstring& name, Record fallback) {
  LoadPreference(name, fallback);
  return fallback;
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

BaselineParams Preferences::QICBaseline() const {
  return Query(L"ICBaseline", BaselineParams::DefaultIC());
}
void Preferences::WICBaseline(const BaselineParams& params) {
  SavePreference(L"ICBaseline", params);
}

NoiseParams Preferences::QICNoise() const { return Query(L"ICNoise", NoiseParams::DefaultIC()); }
void Preferences::WICNoise(const NoiseParams& params) { SavePreference(L"ICNoise", params); }

PeakDetectParams Preferences::QICPeakDetect() const {
  return Query(L"ICPeakDetect", PeakDetectParams::DefaultIC());
}
void Preferences::WICPeakDetect(const PeakDetectParams& params) {
  SavePreference(L"ICPeakDetect", params);
}

SmoothParams Preferences::QICSmooth() const {
  return Query(L"ICSmooth", SmoothParams::DefaultIC());
}
void Preferences::WICSmooth(const SmoothParams& params) { SavePreference(L"ICSmooth", params); }

ThresholdParams Preferences::QICThreshold() const {
  return Query(L"ICThreshold", ThresholdParams());
}
void Preferences::WICThreshold(const ThresholdParams& params) {
  SavePreference(L"ICThreshold", params);
}

BaselineParams Preferences::QMZBaseline() const {
  return Query(L"MZBaseline", BaselineParams::DefaultMS());
}
void Preferences::WMZBaseline(const BaselineParams& params) {
  SavePreference(L"MZBaseline", params);
}

NoiseParams Preferences::QMZNoise() const { return Query(L"MZNoise", NoiseParams::DefaultMS()); }
void Preferences::WMZNoise(const NoiseParams& params) { SavePreference(L"MZNoise", params); }

OPDParams Preferences::QMZOPD() const { return Query(L"MZOPD", OPDParams::DefaultMS()); }
void Preferences::WMZOPD(const OPDParams& params) { SavePreference(L"MZOPD", params); }

PeakDetectParams Preferences::QMZPeakDetect() const {
  return Query(L"MZPeakDetect", PeakDetectParams::DefaultMS());
}
void Preferences::WMZPeakDetect(const PeakDetectParams& params) {
  SavePreference(L"MZPeakDetect", params);
}

SmoothParams Preferences::QMZSmooth() const {
  return Query(L"MZSmooth", SmoothParams::DefaultMS());
}
void Preferences::WMZSmooth(const SmoothParams& params) { SavePreference(L"MZSmooth", params); }

ThresholdParams Preferences::QMZThreshold() const {
  return Query(L"MZThreshold", ThresholdParams());
}
void Preferences::WMZThreshold(const ThresholdParams& params) {
  SavePreference(L"MZThreshold", params);
}

RampAlgorithmParams Preferences::QRampAlgorithm() const {
  return Query(L"RampAlgorithm", RampAlgorithmParams());
}
void Preferences::WRampAlgorithm(const RampAlgorithmParams& params) {
  SavePreference(L"RampAlgorithm", params);
}

ChargeStateParams Preferences::QCSDecon() const { return Query(L"CSDecon", ChargeStateParams()); }
void Preferences::WCSDecon(const ChargeStateParams& params) { SavePreference(L"CSDecon", params); }

AppThreadingParams Preferences::QAppThreadingPrefs() const {
  return Query(L"MultiThread", AppThreadingParams());
}
void Preferences::WAppThreadingPrefs(const AppThreadingParams& params) {
  SavePreference(L"MultiThread", params);
}

GenTICPrefs Preferences::QGenTIC() const { return Query(L"GenTIC", GenTICPrefs()); }
void Preferences::WGenTIC(const GenTICPrefs& prefs) { SavePreference(L"GenTIC", prefs); }

GenEICPrefs Preferences::QGenEIC() const { return Query(L"GenEIC", GenEICPrefs()); }
void Preferences::WGenEIC(const GenEICPrefs& prefs) { SavePreference(L"GenEIC", prefs); }

GenBICPrefs Preferences::QGenBIC() const { return Query(L"GenBIC", GenBICPrefs()); }
void Preferences::WGenBIC(const GenBICPrefs& prefs) { SavePreference(L"GenBIC", prefs); }

GenSpectraPrefs Preferences::QGenSpectra() const { return Query(L"GenSpectra", GenSpectraPrefs()); }
void Preferences::WGenSpectra(const GenSpectraPrefs& prefs) {
  SavePreference(L"GenSpectra", prefs);
}

std::vector<FieldPref> Preferences::QTuneFieldOrder() const {
  return Query(L"TuneFieldOrder", std::vector<FieldPref>());
}
void Preferences::WTuneFieldOrder(const std::vector<FieldPref>& fields) {
  SavePreference(L"TuneFieldOrder", fields);
}

std::vector<FieldPref> Preferences::QStepTblColOrder() const {
  return Query(L"StepTblColOrder", std::vector<FieldPref>());
}
void Preferences::WStepTblColOrder(const std::vector<FieldPref>& fields) {
  SavePreference(L"StepTblColOrder", fields);
}

std::vector<FieldPref> Preferences::QICPkTblColOrder() const {
  return Query(L"ICPkTblColOrder", std::vector<FieldPref>());
}
void Preferences::WICPkTblColOrder(const std::vector<FieldPref>& fields) {
  SavePreference(L"ICPkTblColOrder", fields);
}

std::vector<FieldPref> Preferences::QMZPkTblColOrder() const {
  return Query(L"MZPkTblColOrder", std::vector<FieldPref>());
}
void Preferences::WMZPkTblColOrder(const std::vector<FieldPref>& fields) {
  SavePreference(L"MZPkTblColOrder", fields);
}

GUILayoutPrefs Preferences::QGUILayoutPrefs() const {
  return Query(L"GUILayout", GUILayoutPrefs());
}
void Preferences::WGUILayoutPrefs(const GUILayoutPrefs& prefs) {
  SavePreference(L"GUILayout", prefs);
}

AutotunePrefs Preferences::QATCprefs() const { return Query(L"AutoTuneCmpnds", AutotunePrefs()); }
void Preferences::WATCprefs(const AutotunePrefs& prefs) {
  SavePreference(L"AutoTuneCmpnds", prefs);
}

AutotuneDlgPrefs Preferences::QAutotunePrefs() const {
  AutotuneDlgPrefs prefs = Query(L"AutoTune", AutotuneDlgPrefs());
  if (prefs.TuneMixFile.empty())
    prefs.TuneMixFile =
        RepositoryPath(Config::AutotuneDir, L"QMV Tune mix positive up to 2000u.xtc");
  return prefs;
}
void Preferences::WAutotunePrefs(const AutotuneDlgPrefs& prefs) {
  SavePreference(L"AutoTune", prefs);
}

}  // namespace WQRepos
