// The catalogue of the stored preferences: one entry for each query and write pair of
// Preferences, naming its file, its record type and the value its query starts from. Preferences
// itself, the tool and the tests all walk this one table.
#pragma once

#include <WQRepos/Preferences.h>

namespace WQRepos {

template <typename Record>
struct PreferenceEntry {
  // The file is Name + ".pref" in the preferences directory.
  const wchar_t* Name;
  // What the query gives when the preference has no file.
  Record (*Default)();
  Record (Preferences::*Query)() const;
  void (Preferences::*Write)(const Record&);
};

// The default-constructed record, for preferences whose default is no tailored one.
template <typename Record>
Record Constructed() {
  return Record();
}

// Calls `visit` with the PreferenceEntry of every stored preference, in the order of
// Preferences' declarations.
template <typename Visitor>
void ForEachPreference(Visitor&& visit) {
  using namespace WQBL;
  using P = Preferences;
  using Fields = std::vector<FieldPref>;
  visit(PreferenceEntry<BaselineParams>{L"ICBaseline", &BaselineParams::DefaultIC, &P::QICBaseline,
                                        &P::WICBaseline});
  visit(PreferenceEntry<NoiseParams>{L"ICNoise", &NoiseParams::DefaultIC, &P::QICNoise,
                                     &P::WICNoise});
  visit(PreferenceEntry<PeakDetectParams>{L"ICPeakDetect", &PeakDetectParams::DefaultIC,
                                          &P::QICPeakDetect, &P::WICPeakDetect});
  visit(PreferenceEntry<SmoothParams>{L"ICSmooth", &SmoothParams::DefaultIC, &P::QICSmooth,
                                      &P::WICSmooth});
  visit(PreferenceEntry<ThresholdParams>{L"ICThreshold", &Constructed<ThresholdParams>,
                                         &P::QICThreshold, &P::WICThreshold});
  visit(PreferenceEntry<BaselineParams>{L"MZBaseline", &BaselineParams::DefaultMS, &P::QMZBaseline,
                                        &P::WMZBaseline});
  visit(PreferenceEntry<NoiseParams>{L"MZNoise", &NoiseParams::DefaultMS, &P::QMZNoise,
                                     &P::WMZNoise});
  visit(PreferenceEntry<OPDParams>{L"MZOPD", &OPDParams::DefaultMS, &P::QMZOPD, &P::WMZOPD});
  visit(PreferenceEntry<PeakDetectParams>{L"MZPeakDetect", &PeakDetectParams::DefaultMS,
                                          &P::QMZPeakDetect, &P::WMZPeakDetect});
  visit(PreferenceEntry<SmoothParams>{L"MZSmooth", &SmoothParams::DefaultMS, &P::QMZSmooth,
                                      &P::WMZSmooth});
  visit(PreferenceEntry<ThresholdParams>{L"MZThreshold", &Constructed<ThresholdParams>,
                                         &P::QMZThreshold, &P::WMZThreshold});
  visit(PreferenceEntry<RampAlgorithmParams>{L"RampAlgorithm", &Constructed<RampAlgorithmParams>,
                                             &P::QRampAlgorithm, &P::WRampAlgorithm});
  visit(PreferenceEntry<ChargeStateParams>{L"CSDecon", &Constructed<ChargeStateParams>,
                                           &P::QCSDecon, &P::WCSDecon});
  visit(PreferenceEntry<AppThreadingParams>{L"MultiThread", &Constructed<AppThreadingParams>,
                                            &P::QAppThreadingPrefs, &P::WAppThreadingPrefs});
  visit(
      PreferenceEntry<GenTICPrefs>{L"GenTIC", &Constructed<GenTICPrefs>, &P::QGenTIC, &P::WGenTIC});
  visit(
      PreferenceEntry<GenEICPrefs>{L"GenEIC", &Constructed<GenEICPrefs>, &P::QGenEIC, &P::WGenEIC});
  visit(
      PreferenceEntry<GenBICPrefs>{L"GenBIC", &Constructed<GenBICPrefs>, &P::QGenBIC, &P::WGenBIC});
  visit(PreferenceEntry<GenSpectraPrefs>{L"GenSpectra", &Constructed<GenSpectraPrefs>,
                                         &P::QGenSpectra, &P::WGenSpectra});
  visit(PreferenceEntry<Fields>{L"TuneFieldOrder", &Constructed<Fields>, &P::QTuneFieldOrder,
                                &P::WTuneFieldOrder});
  visit(PreferenceEntry<Fields>{L"StepTblColOrder", &Constructed<Fields>, &P::QStepTblColOrder,
                                &P::WStepTblColOrder});
  visit(PreferenceEntry<Fields>{L"ICPkTblColOrder", &Constructed<Fields>, &P::QICPkTblColOrder,
                                &P::WICPkTblColOrder});
  visit(PreferenceEntry<Fields>{L"MZPkTblColOrder", &Constructed<Fields>, &P::QMZPkTblColOrder,
                                &P::WMZPkTblColOrder});
  visit(PreferenceEntry<GUILayoutPrefs>{L"GUILayout", &Constructed<GUILayoutPrefs>,
                                        &P::QGUILayoutPrefs, &P::WGUILayoutPrefs});
  visit(PreferenceEntry<AutotunePrefs>{L"AutoTuneCmpnds", &Constructed<AutotunePrefs>,
                                       &P::QATCprefs, &P::WATCprefs});
  visit(PreferenceEntry<AutotuneDlgPrefs>{L"AutoTune", &Constructed<AutotuneDlgPrefs>,
                                          &P::QAutotunePrefs, &P::WAutotunePrefs});
}

}  // namespace WQRepos
