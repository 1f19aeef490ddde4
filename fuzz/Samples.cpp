#include "Samples.h"

namespace wqfuzz {

namespace {

WQRepos::FieldPref Field(const wchar_t* name, bool visible) {
  WQRepos::FieldPref field;
  field.Name = name;
  field.Visible = visible;
  return field;
}

}  // namespace

WQBL::BaselineParams Varied(WQBL::BaselineParams p) {
  p.Algorithm = WQBL::BaselineParams::Linear;
  p.WindowWidth = 31;
  return p;
}

WQBL::NoiseParams Varied(WQBL::NoiseParams p) {
  p.WindowWidth = 75;
  p.Factor = 2.5;
  return p;
}

WQBL::PeakDetectParams Varied(WQBL::PeakDetectParams p) {
  p.MinPeakWidth = 4;
  p.UseThreshold = !p.UseThreshold;
  return p;
}

WQBL::SmoothParams Varied(WQBL::SmoothParams p) {
  p.WindowWidth = 11;
  p.PolynomialOrder = 4;
  return p;
}

WQBL::ThresholdParams Varied(WQBL::ThresholdParams p) {
  p.Level = 1500.0;
  return p;
}

WQBL::OPDParams Varied(WQBL::OPDParams p) {
  p.PeakWidth = 0.35;
  p.MaxIterations = 40;
  return p;
}

WQBL::RampAlgorithmParams Varied(WQBL::RampAlgorithmParams p) {
  p.Algorithm = WQBL::RampAlgorithmParams::Stepped;
  p.Steps = 25;
  return p;
}

WQBL::ChargeStateParams Varied(WQBL::ChargeStateParams p) {
  p.MinCharge = 2;
  p.MaxCharge = 12;
  p.MassTolerance = 0.2;
  return p;
}

WQBL::AppThreadingParams Varied(WQBL::AppThreadingParams p) {
  p.Enabled = false;
  p.ThreadCount = 1;
  return p;
}

WQRepos::GenTICPrefs Varied(WQRepos::GenTICPrefs p) {
  p.Filter.Function = 1;
  p.Filter.Polarity = WQBL::ICFilter::PositiveOnly;
  p.Option = 1;
  return p;
}

WQRepos::GenEICPrefs Varied(WQRepos::GenEICPrefs p) {
  using WQBL::MZRange;
  p.MassRanges = {MZRange(MZRange::Bounded, 194.6, 195.6), MZRange(MZRange::Bounded, 523.8, 524.8)};
  p.Names = {L"Caffeine", L"MRFA"};
  return p;
}

WQRepos::GenBICPrefs Varied(WQRepos::GenBICPrefs p) {
  p.Filter.Function = 0;
  p.Filter.Polarity = WQBL::ICFilter::NegativeOnly;
  p.EvalMethodName = L"Peptides";
  p.MassRanges = {WQBL::MZRange(WQBL::MZRange::Bounded, 300.0, 1200.0)};
  p.Option = 0;
  return p;
}

WQRepos::GenSpectraPrefs Varied(WQRepos::GenSpectraPrefs p) {
  p.Values = {1, 3};
  p.TimeRanges = {WQBL::ICRange(0.5, 0.9), WQBL::ICRange(2.1, 2.4)};
  p.Names = {L"Peak 1", L"Peak 2"};
  p.MassRange = WQBL::MZRange(WQBL::MZRange::Bounded, 100.0, 600.0);
  return p;
}

std::vector<WQRepos::FieldPref> Varied(const std::vector<WQRepos::FieldPref>&) {
  return {Field(L"Capillary (kV)", true), Field(L"Cone (V)", true), Field(L"Extractor (V)", false),
          Field(L"Source Temp (\u00b0C)", true)};
}

WQRepos::GUILayoutPrefs Varied(WQRepos::GUILayoutPrefs p) {
  p.FlagB = false;
  p.Number = 2;
  p.FlagE = false;
  return p;
}

WQRepos::AutotunePrefs Varied(WQRepos::AutotunePrefs p) {
  p.TunePoints = {{L"Caffeine", 195.088, 40, 1.2e6, 0.5}, {L"MRFA", 524.265, 55, 8.0e5, 0.5}};
  p.SourceType = WQCommon::Probes::ESI;
  p.PrimeDelay = 30;
  return p;
}

WQRepos::AutotuneDlgPrefs Varied(WQRepos::AutotuneDlgPrefs p) {
  p.TuneMixFile = L"/var/lib/WQData/Autotune/Tune mix negative.xtc";
  p.Value1 = 3;
  p.Value2 = -1;
  p.Settings = Varied(p.Settings);
  p.Settings.Polarity = WQCommon::Negative;
  return p;
}

}  // namespace wqfuzz
