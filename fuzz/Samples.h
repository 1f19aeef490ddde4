// Realistic records of every preference type, for the corpus and for the save tests: each record
// type's default with settings changed as a user would change them.
#pragma once

#include <WQRepos/WQRepos.h>

#include <vector>

namespace wqfuzz {

inline WQBL::BaselineParams Varied(WQBL::BaselineParams p) {
  p.Algorithm = WQBL::BaselineParams::Linear;
  p.WindowWidth = 31;
  return p;
}

inline WQBL::NoiseParams Varied(WQBL::NoiseParams p) {
  p.WindowWidth = 75;
  p.Factor = 2.5;
  return p;
}

inline WQBL::PeakDetectParams Varied(WQBL::PeakDetectParams p) {
  p.MinPeakWidth = 4;
  p.UseThreshold = !p.UseThreshold;
  return p;
}

inline WQBL::SmoothParams Varied(WQBL::SmoothParams p) {
  p.WindowWidth = 11;
  p.PolynomialOrder = 4;
  return p;
}

inline WQBL::ThresholdParams Varied(WQBL::ThresholdParams p) {
  p.Level = 1500.0;
  return p;
}

inline WQBL::OPDParams Varied(WQBL::OPDParams p) {
  p.PeakWidth = 0.35;
  p.MaxIterations = 40;
  return p;
}

inline WQBL::RampAlgorithmParams Varied(WQBL::RampAlgorithmParams p) {
  p.Algorithm = WQBL::RampAlgorithmParams::Stepped;
  p.Steps = 25;
  return p;
}

inline WQBL::ChargeStateParams Varied(WQBL::ChargeStateParams p) {
  p.MinCharge = 2;
  p.MaxCharge = 12;
  p.MassTolerance = 0.2;
  return p;
}

inline WQBL::AppThreadingParams Varied(WQBL::AppThreadingParams p) {
  p.Enabled = false;
  p.ThreadCount = 1;
  return p;
}

inline WQRepos::GenTICPrefs Varied(WQRepos::GenTICPrefs p) {
  p.Filter.Function = 1;
  p.Filter.Polarity = WQBL::ICFilter::PositiveOnly;
  p.Option = 1;
  return p;
}

inline WQRepos::GenEICPrefs Varied(WQRepos::GenEICPrefs p) {
  using WQBL::MZRange;
  p.MassRanges = {MZRange(MZRange::Bounded, 194.6, 195.6), MZRange(MZRange::Bounded, 523.8, 524.8)};
  p.Names = {L"Caffeine", L"MRFA"};
  return p;
}

inline WQRepos::GenBICPrefs Varied(WQRepos::GenBICPrefs p) {
  p.Filter.Function = 0;
  p.Filter.Polarity = WQBL::ICFilter::NegativeOnly;
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
  const auto field = [](const wchar_t* name, bool visible) {
    WQRepos::FieldPref pref;
    pref.Name = name;
    pref.Visible = visible;
    return pref;
  };
  return {field(L"Capillary (kV)", true), field(L"Cone (V)", true), field(L"Extractor (V)", false),
          field(L"Source Temp (\u00b0C)", true)};
}

inline WQRepos::GUILayoutPrefs Varied(WQRepos::GUILayoutPrefs p) {
  p.FlagB = false;
  p.Number = 2;
  p.FlagE = false;
  return p;
}

// Caffeine and MRFA as autotune compounds, on an electrospray source, primed for 30 s.
inline WQRepos::AutotunePrefs Varied(WQRepos::AutotunePrefs p) {
  p.TunePoints = {{L"Caffeine", 195.088, 40, 1.2e6, 0.5}, {L"MRFA", 524.265, 55, 8.0e5, 0.5}};
  p.SourceType = WQCommon::Probes::ESI;
  p.PrimeDelay = 30;
  return p;
}

inline WQRepos::AutotuneDlgPrefs Varied(WQRepos::AutotuneDlgPrefs p) {
  p.TuneMixFile = L"/var/lib/WQData/Autotune/Tune mix negative.xtc";
  p.Value1 = 3;
  p.Value2 = -1;
  p.Settings = Varied(p.Settings);
  p.Settings.Polarity = WQCommon::Negative;
  return p;
}

}  // namespace wqfuzz
