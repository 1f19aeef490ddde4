// The user's preferences: processing parameters, generation settings, table field orders, the
// window layout and the autotune settings, each kept in a file of its own in the preferences
// directory.
#pragma once

#include <WQBL/ProcessingParams.h>
#include <WQRepos/Autotune.h>
#include <WQRepos/Export.h>
#include <WQRepos/PreferenceRecords.h>

#include <vector>

namespace WQRepos {

// Stateless: every query reads its file anew, every write replaces it; instances are
// interchangeable.
//
// A query (Q...) returns the stored value. With no file it returns the default named beside it;
// with a file it cannot read (another file version, a record version the record refuses, a short
// file) it returns the default-constructed record, which may differ from that default. Queries
// never throw for file problems.
//
// A write (W...) replaces the file whole or not at all. Throws std::runtime_error
// "In function`anonymous-namespace'::SavePreference; \nerror creating/saving preference file "
// followed by the file's full path when the file cannot be saved.
//
// PreferenceCatalogue.h names each preference's file ("<name>.pref" in the preferences directory)
// and default. The chromatogram (IC) and spectrum (MZ) settings of the same record type keep
// separate files.
class WQREPOS_EXPORT Preferences {
 public:
  // Chromatogram processing. Defaults: DefaultIC() of each record, ThresholdParams().
  WQBL::BaselineParams QICBaseline() const;
  void WICBaseline(const WQBL::BaselineParams& params);
  WQBL::NoiseParams QICNoise() const;
  void WICNoise(const WQBL::NoiseParams& params);
  WQBL::PeakDetectParams QICPeakDetect() const;
  void WICPeakDetect(const WQBL::PeakDetectParams& params);
  WQBL::SmoothParams QICSmooth() const;
  void WICSmooth(const WQBL::SmoothParams& params);
  WQBL::ThresholdParams QICThreshold() const;
  void WICThreshold(const WQBL::ThresholdParams& params);

  // Spectrum processing. Defaults: DefaultMS() of each record, ThresholdParams().
  WQBL::BaselineParams QMZBaseline() const;
  void WMZBaseline(const WQBL::BaselineParams& params);
  WQBL::NoiseParams QMZNoise() const;
  void WMZNoise(const WQBL::NoiseParams& params);
  WQBL::OPDParams QMZOPD() const;
  void WMZOPD(const WQBL::OPDParams& params);
  WQBL::PeakDetectParams QMZPeakDetect() const;
  void WMZPeakDetect(const WQBL::PeakDetectParams& params);
  WQBL::SmoothParams QMZSmooth() const;
  void WMZSmooth(const WQBL::SmoothParams& params);
  WQBL::ThresholdParams QMZThreshold() const;
  void WMZThreshold(const WQBL::ThresholdParams& params);

  // Further processing. Defaults: the default-constructed records.
  WQBL::RampAlgorithmParams QRampAlgorithm() const;
  void WRampAlgorithm(const WQBL::RampAlgorithmParams& params);
  WQBL::ChargeStateParams QCSDecon() const;
  void WCSDecon(const WQBL::ChargeStateParams& params);
  WQBL::AppThreadingParams QAppThreadingPrefs() const;
  void WAppThreadingPrefs(const WQBL::AppThreadingParams& params);

  // Generation settings. Defaults: the default-constructed records.
  GenTICPrefs QGenTIC() const;
  void WGenTIC(const GenTICPrefs& prefs);
  GenEICPrefs QGenEIC() const;
  void WGenEIC(const GenEICPrefs& prefs);
  GenBICPrefs QGenBIC() const;
  void WGenBIC(const GenBICPrefs& prefs);
  GenSpectraPrefs QGenSpectra() const;
  void WGenSpectra(const GenSpectraPrefs& prefs);

  // Field orders of the tune fields and of the step, chromatogram peak and spectrum peak tables,
  // each in display order. Defaults: empty.
  std::vector<FieldPref> QTuneFieldOrder() const;
  void WTuneFieldOrder(const std::vector<FieldPref>& fields);
  std::vector<FieldPref> QStepTblColOrder() const;
  void WStepTblColOrder(const std::vector<FieldPref>& fields);
  std::vector<FieldPref> QICPkTblColOrder() const;
  void WICPkTblColOrder(const std::vector<FieldPref>& fields);
  std::vector<FieldPref> QMZPkTblColOrder() const;
  void WMZPkTblColOrder(const std::vector<FieldPref>& fields);

  // The window layout. Default: GUILayoutPrefs().
  GUILayoutPrefs QGUILayoutPrefs() const;
  void WGUILayoutPrefs(const GUILayoutPrefs& prefs);

  // The autotune compounds (AutoTuneCmpnds.pref). Default: AutotunePrefs().
  AutotunePrefs QATCprefs() const;
  void WATCprefs(const AutotunePrefs& prefs);
  // The autotune dialog (AutoTune.pref). Default: AutotuneDlgPrefs(). The query completes an
  // empty TuneMixFile, whatever the record came from, with the autotune directory's
  // "QMV Tune mix positive up to 2000u.xtc"; the write stores the record as it is.
  AutotuneDlgPrefs QAutotunePrefs() const;
  void WAutotunePrefs(const AutotuneDlgPrefs& prefs);
};

}  // namespace WQRepos
