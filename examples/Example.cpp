// Shows the library's version, saves an acquisition method and loads it back, reads a preference
// and lists the stored tunes, in the data directory that the library's configuration names.
// Exits 1 when anything fails.
#include <WQCommon/Text.h>
#include <WQRepos/WQRepos.h>
#include <log4cxx/basicconfigurator.h>

#include <exception>
#include <iostream>

namespace {

WQBL::Method OneScanMethod() {
  WQBL::TimePeriod period;
  period.Items.push_back(WQBL::SequenceItem());
  WQBL::Method method;
  method.TimePeriods.push_back(period);
  // The item's tune (id 1) is one of the method's.
  method.Tunes.emplace(1, WQBL::TuneEntry(L"Example", WQCommon::Probes::ESI, WQCommon::Positive));
  return method;
}

}  // namespace

int main() {
  // The module reports the configuration it reads to the logger "app".
  log4cxx::BasicConfigurator::configure();
  try {
    // The header gives the version compiled against, QVersion() that of the library loaded.
    std::cout << "WQRepos " << WQRepos::QVersion() << " (built against " WQREPOS_VERSION_STRING
              << ")\n";
    WQRepos::Initialize();
    const WQBL::Method saved = OneScanMethod();
    WQRepos::SaveAcqMethod(L"Example", saved);
    if (!(WQRepos::LoadAcqMethod(L"Example") == saved)) {
      std::cerr << "the method read back differs from the one saved\n";
      return 1;
    }
    std::cout << "Saved and loaded the method Example\n";

    const WQBL::SmoothParams smooth = WQRepos::Preferences().QMZSmooth();
    std::cout << "Spectrum smoothing window: " << smooth.WindowWidth << " points\n";

    WQRepos::SaveTune(L"U+Example", WQBL::Tune());
    std::cout << "Stored tunes:\n";
    for (const std::wstring& name : WQRepos::GetTuneNames())
      std::cout << "  " << WQCommon::WQWideToNarrowStr(name) << '\n';
  } catch (const std::exception& error) {
    std::cerr << "wqrepos_example: " << error.what() << '\n';
    return 1;
  }
  return 0;
}
