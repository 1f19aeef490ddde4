// Realistic records of every preference type, for the corpus and for the save tests: each record
// type's default with settings changed as a user would change them.
#pragma once

#include <WQRepos/WQRepos.h>

#include <vector>

namespace wqfuzz {

WQBL::BaselineParams Varied(WQBL::BaselineParams p);
WQBL::NoiseParams Varied(WQBL::NoiseParams p);
WQBL::PeakDetectParams Varied(WQBL::PeakDetectParams p);
WQBL::SmoothParams Varied(WQBL::SmoothParams p);
WQBL::ThresholdParams Varied(WQBL::ThresholdParams p);
WQBL::OPDParams Varied(WQBL::OPDParams p);
WQBL::RampAlgorithmParams Varied(WQBL::RampAlgorithmParams p);
WQBL::ChargeStateParams Varied(WQBL::ChargeStateParams p);
WQBL::AppThreadingParams Varied(WQBL::AppThreadingParams p);
WQRepos::GenTICPrefs Varied(WQRepos::GenTICPrefs p);
WQRepos::GenEICPrefs Varied(WQRepos::GenEICPrefs p);
WQRepos::GenBICPrefs Varied(WQRepos::GenBICPrefs p);
WQRepos::GenSpectraPrefs Varied(WQRepos::GenSpectraPrefs p);
// Four tune fields, one of them hidden, whatever the list was.
std::vector<WQRepos::FieldPref> Varied(const std::vector<WQRepos::FieldPref>& fields);
WQRepos::GUILayoutPrefs Varied(WQRepos::GUILayoutPrefs p);
// Caffeine and MRFA as autotune compounds, on an electrospray source, primed for 30 s.
WQRepos::AutotunePrefs Varied(WQRepos::AutotunePrefs p);
WQRepos::AutotuneDlgPrefs Varied(WQRepos::AutotuneDlgPrefs p);

}  // namespace wqfuzz
