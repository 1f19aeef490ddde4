#include <WQBL/PeakProcessing.h>
#include <WQBL/Ranges.h>
#include <WQCommon/Text.h>
#include <WQDataFile/DataFile.h>

#include <algorithm>
#include <chrono>
#include <iomanip>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "Commands.h"

namespace wqtool {
namespace {

struct PickReportOptions {
  std::string Profile;
  std::string Reference;
  bool Smooth = false;
};

WQDataFile::CalDataFile OpenRun(const std::string& path) {
  return WQDataFile::CalDataFile(WQCommon::WQNarrowToWideStr(path));
}

// What run-info shows of each scan.
Json ScanJson(const WQDataFile::Scan& scan) {
  double total = 0.0;
  for (double intensity : scan.Intensity) total += intensity;
  return Json{{"number", scan.ScanNumber},    {"retentionTime", scan.RetentionTime},
              {"tuneRun", scan.TuneRunIndex}, {"points", scan.MZ.size()},
              {"centroid", scan.Centroided},  {"totalIonCurrent", total}};
}

void RunInfo(const std::string& path, bool json) {
  const WQDataFile::CalDataFile file = OpenRun(path);
  std::uint32_t centroid = 0;
  double lowMZ = 0.0, highMZ = 0.0, firstTime = 0.0, lastTime = 0.0;
  std::size_t points = 0;
  bool any = false;
  Json scans = Json::array();
  for (std::uint32_t i = 0; i < file.QNumScanSpectra(); ++i) {
    const WQDataFile::Scan scan = file.QScan(i);
    if (json) scans.push_back(ScanJson(scan));
    centroid += scan.Centroided ? 1 : 0;
    points += scan.MZ.size();
    if (i == 0) firstTime = lastTime = scan.RetentionTime;
    firstTime = std::min(firstTime, scan.RetentionTime);
    lastTime = std::max(lastTime, scan.RetentionTime);
    if (scan.MZ.empty()) continue;
    lowMZ = any ? std::min(lowMZ, scan.MZ.front()) : scan.MZ.front();
    highMZ = any ? std::max(highMZ, scan.MZ.back()) : scan.MZ.back();
    any = true;
  }
  const std::uint32_t profile = file.QNumScanSpectra() - centroid;
  if (json) {
    Json levels = Json::object();
    for (const auto& [level, count] : file.QSpectraPerMSLevel()) {
      levels["MS" + std::to_string(level)] = count;
    }
    PrintJson(Json{{"run", path},
                   {"description", Narrow(file.QDescription())},
                   {"scans", file.QNumScanSpectra()},
                   {"msLevels", levels},
                   {"tuneRuns", file.QNumTuneRuns()},
                   {"profile", profile},
                   {"centroid", centroid},
                   {"points", points},
                   {"mzRange", any ? Json{lowMZ, highMZ} : Json()},
                   {"retentionTime", scans.empty() ? Json() : Json{firstTime, lastTime}},
                   {"scanList", scans}});
    return;
  }
  std::cout << "Run:          " << Shown(path) << '\n'
            << "Description:  " << Shown(file.QDescription()) << '\n'
            << "Scans:        " << file.QNumScanSpectra() << '\n'
            << "MS levels:   ";
  for (const auto& [level, count] : file.QSpectraPerMSLevel()) {
    std::cout << " MS" << level << ' ' << count;
  }
  std::cout << '\n' << "Tune runs:    " << file.QNumTuneRuns() << '\n';
  if (file.QNumScanSpectra() == 0) return;
  std::cout << "Data:         " << profile << " profile, " << centroid << " centroid; " << points
            << " points\n"
            << std::fixed << std::setprecision(4) << "m/z range:    " << lowMZ << " to " << highMZ
            << '\n'
            << std::setprecision(2) << "Retention:    " << firstTime << " to " << lastTime << " s\n"
            << std::defaultfloat;
}

// The first scan of a run as a spectrum.
std::unique_ptr<WQBL::Spectrum> FirstSpectrum(const WQDataFile::CalDataFile& file,
                                              const std::string& path) {
  if (file.QNumScanSpectra() == 0) throw std::runtime_error(path + " holds no MS1 scan.");
  return file.GenerateAveragedSpectrum({file.QScan(0).ScanNumber}, WQBL::MZRange());
}

void PickReport(const PickReportOptions& options) {
  const WQDataFile::CalDataFile profileFile = OpenRun(options.Profile);
  const WQDataFile::CalDataFile referenceFile = OpenRun(options.Reference);
  const std::unique_ptr<WQBL::Spectrum> reference = FirstSpectrum(referenceFile, options.Reference);
  const std::unique_ptr<WQBL::Spectrum> original = FirstSpectrum(profileFile, options.Profile);
  // Repeated until a quarter of a second has passed, for a steady time per spectrum.
  WQBL::Spectrum spectrum;
  int repeats = 0;
  const auto start = std::chrono::steady_clock::now();
  double seconds = 0.0;
  do {
    spectrum = *original;
    WQBL::Changed changed;
    std::wstring message;
    if (options.Smooth && !WQBL::ExecuteSmooth(spectrum, changed, message)) {
      throw std::runtime_error(Narrow(message));
    }
    if (!WQBL::ExecutePeakDetect(spectrum, changed, message)) {
      throw std::runtime_error(Narrow(message));
    }
    ++repeats;
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  } while (seconds < 0.25);
  std::vector<double> foundX;
  std::vector<double> foundHeight;
  for (const WQBL::Peak& peak : spectrum.QPeaks()) {
    foundX.push_back(spectrum.FractionalIndexToXAxisVal(peak.CentroidIndex));
    foundHeight.push_back(peak.Amplitude);
  }
  const WQBL::PeakListAgreement agreement =
      WQBL::ComparePeakLists(foundX, foundHeight, reference->QXAxis(), reference->QYValues());
  std::cout << "Spectrum:                      " << Shown(options.Profile) << " ("
            << original->QNumPoints() << " points" << (options.Smooth ? ", smoothed" : "") << ")\n"
            << "Reference:                     " << Shown(options.Reference) << '\n'
            << "Peaks found / reference:       " << agreement.FoundPeaks << " / "
            << agreement.ReferencePeaks << '\n'
            << std::fixed << std::setprecision(3)
            << "Recall within 0.02, top 10%:   " << agreement.RecallTop10 << '\n'
            << "Recall within 0.02, top 50%:   " << agreement.RecallTop50 << '\n'
            << "Precision within 0.02:         " << agreement.PrecisionNarrow << '\n'
            << "Precision within 0.1:          " << agreement.PrecisionWide << '\n'
            << std::setprecision(4)
            << "Median |difference| (m/z):     " << agreement.MedianAbsoluteDifference << '\n'
            << "Median difference (m/z):       " << std::showpos << agreement.MedianSignedDifference
            << std::noshowpos << '\n'
            << std::setprecision(2)
            << "Time per spectrum:             " << 1000.0 * seconds / repeats << " ms\n"
            << std::defaultfloat;
}

}  // namespace

void AddSpectraCommands(CLI::App& app) {
  auto runPath = std::make_shared<std::string>();
  auto* runInfo = app.add_subcommand(
      "run-info",
      "Show what a data file holds (the instrument's own format, mzML, mzXML or MGF): its scans, "
      "the MS levels of its spectra, profile or centroid data, and its m/z and retention-time "
      "ranges. With --json, also each scan: its number, retention time, tune run, points, "
      "profile or centroid, and total ion current.");
  runInfo->add_option("RUN", *runPath, "Data file")->required();
  const std::shared_ptr<bool> json = AddJsonFlag(*runInfo);
  runInfo->callback([runPath, json] { RunInfo(*runPath, *json); });

  auto options = std::make_shared<PickReportOptions>();
  auto* report = app.add_subcommand(
      "pick-report",
      "Detect the peaks of the first MS1 spectrum of PROFILE with the default spectrum "
      "parameters and compare them, one to one and nearest first, with the centroids of the "
      "first spectrum of REFERENCE: recall within 0.02 m/z among the reference peaks of the top "
      "10% and 50% of intensity, precision within 0.02 and 0.1 m/z among the found peaks at "
      "least as intense as the weakest of those, the median absolute and signed m/z "
      "difference, and the time per spectrum.");
  report->add_option("PROFILE", options->Profile, "Data file of the profile spectrum")->required();
  report->add_option("REFERENCE", options->Reference, "Data file of the reference centroids")
      ->required();
  report->add_flag("--smooth", options->Smooth, "Smooth the spectrum first (Savitzky-Golay)");
  report->callback([options] { PickReport(*options); });
}

}  // namespace wqtool
