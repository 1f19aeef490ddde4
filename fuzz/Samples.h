// Realistic records of every preference type, for the corpus and for the save tests: each record
// type's default with settings changed as a user would change them.
#pragma once

#include <WQRepos/WQRepos.h>

#include <tuple>
#include <vector>

namespace wqfuzz {

// `record` with the fields its Fields() ties set to `values`, in that order.
template <typename Record, typename... Values>
Record With(Record record, Values... values) {
  Record::Fields(record) = std::tuple(values...);
  return record;
}

inline WQBL::BaselineParams Varied(WQBL::BaselineParams p) {
  return With(p, WQBL::BaselineParams::Linear, 31);
}

inline WQBL::NoiseParams Varied(WQBL::NoiseParams p) { return With(p, 75, 2.5); }

inline WQBL::PeakDetectParams Varied(WQBL::PeakDetectParams p) {
  return With(p, 4, !p.UseThreshold);
}

inline WQBL::SmoothParams Varied(WQBL::SmoothParams p) { return With(p, 11, 4); }

inline WQBL::ThresholdParams Varied(WQBL::ThresholdParams p) { return With(p, 1500.0); }

inline WQBL::OPDParams Varied(WQBL::OPDParams p) { return With(p, 0.35, 40); }

inline WQBL::RampAlgorithmParams Varied(WQBL::RampAlgorithmParams p) {
  return With(p, WQBL::RampAlgorithmParams::Stepped, 25);
}

inline WQBL::ChargeStateParams Varied(WQBL::ChargeStateParams p) { return With(p, 2, 12, 0.2); }

inline WQBL::AppThreadingParams Varied(WQBL::AppThreadingParams p) { return With(p, false, 1); }

inline WQRepos::GenTICPrefs Varied(WQRepos::GenTICPrefs p) {
  return With(p, With(p.Filter, 1, WQBL::ICFilter::PositiveOnly), 1);
}

inline WQRepos::GenEICPrefs Varied(WQRepos::GenEICPrefs p) {
  using WQBL::MZRange;
  p.MassRanges = {MZRange(MZRange::Bounded, 194.6, 195.6), MZRange(MZRange::Bounded, 523.8, 524.8)};
  p.Names = {L"Caffeine", L"MRFA"};
  return p;
}

inline WQRepos::GenBICPrefs Varied(WQRepos::GenBICPrefs p) {
  p.Filter = With(p.Filter, 0, WQBL::ICFilter::NegativeOnly);
  p.EvalMethodName = L"Peptides";
  p.MassRanges = {WQBL::MZRange(WQBL::MZRange::Bounded, 300.0, 1200.0)};
  p.Option = 0;
  return p;
}

inline WQRepos::GenSpectraPrefs Varied(WQRepos::GenSpectraPrefs p) {
  p.Values = {1, 3};
  p.TimeRanges = {WQBL::ICRange(0.5, 0.9), WQBL::ICRange(2.1, 2.4)};
  p.Names = {L"Peak 1", L"Peak 2"};
  p.MassRange = WQBL::MZRange(WQBL::MZRange::Bounded, 100.0, 600.0);
  return p;
}

// Four tune fields, one of them hidden, whatever the list was.
inline std::vector<WQRepos::FieldPref> Varied(const std::vector<WQRepos::FieldPref>&) {
  const WQRepos::FieldPref field;
  return {With(field, L"Capillary (kV)", true), With(field, L"Cone (V)", true),
          With(field, L"Extractor (V)", false), With(field, L"Source Temp (\u00b0C)", true)};
}

inline WQRepos::GUILayoutPrefs Varied(WQRepos::GUILayoutPrefs p) {
  return With(p, p.FlagA, false, 2, p.FlagC, p.FlagD, false);
}

// Caffeine and MRFA as autotune compounds, on an electrospray source, primed for 30 s.
inline WQRepos::AutotunePrefs Varied(WQRepos::AutotunePrefs p) {
  p.TunePoints = {{L"Caffeine", 195.088, 40, 1.2e6, 0.5}, {L"MRFA", 524.265, 55, 8.0e5, 0.5}};
  p.SourceType = WQCommon::Probes::ESI;
  p.PrimeDelay = 30;
  return p;
}

inline WQRepos::AutotuneDlgPrefs Varied(WQRepos::AutotuneDlgPrefs p) {
  p.Settings = Varied(p.Settings);
  p.Settings.Polarity = WQCommon::Negative;
  return With(p, L"/var/lib/WQData/Autotune/Tune mix negative.xtc", 3, -1);
}

}  // namespace wqfuzz
