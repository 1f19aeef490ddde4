#include <WQBL/PeakProcessing.h>
#include <WQBL/Ranges.h>
#include <WQCommon/Text.h>
#include <WQDataFile/DataFile.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iomanip>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Commands.h"
#include "RecordJson.h"

namespace wqtool {
namespace {

struct PickReportOptions {
  std::string Run;
  std::string Reference;
  bool Smooth = false;
  double Tolerance = WQBL::PeakListAgreement::kNarrowTolerance;
};

// The wide tolerance of pick-report, in narrow ones.
constexpr double kWideTolerances = 5.0;

WQDataFile::CalDataFile OpenRun(const std::string& path) {
  return WQDataFile::CalDataFile(WQCommon::WQNarrowToWideStr(path));
}

// What run-info shows of each scan, with how the instrument defined it when the file says; of a
// fragment scan, also its MS level and, as far as it gives them, its precursor m/z, charge and
// title.
Json ScanJson(const WQDataFile::ScanSummary& summary) {
  const WQDataFile::Scan& scan = summary.Header;
  Json json{{"number", scan.ScanNumber},
            {"retentionTime", ToJson(scan.RetentionTime)},
            {"tuneRun", scan.TuneRunIndex},
            {"points", summary.Points},
            {"centroid", scan.Centroided},
            {"totalIonCurrent", ToJson(summary.TotalIntensity)},
            {"seamZerosDropped", scan.SeamZerosDropped}};
  if (const std::string definition = scan.Definition.Text(); !definition.empty()) {
    json["definition"] = definition;
  }
  if (scan.MSLevel == 1) return json;
  json["msLevel"] = scan.MSLevel;
  if (scan.PrecursorMZ) json["precursorMZ"] = ToJson(*scan.PrecursorMZ);
  if (scan.Charge != 0) json["charge"] = scan.Charge;
  if (!scan.Title.empty()) json["title"] = scan.Title;
  return json;
}

void RunInfo(const std::string& path, bool json) {
  const InputFile input(path);
  const WQDataFile::CalDataFile file = OpenRun(input.Path());
  std::uint32_t centroid = 0;
  std::uint32_t fromData = 0;
  double lowMZ = 0.0, highMZ = 0.0, firstTime = 0.0, lastTime = 0.0;
  double lowPrecursor = 0.0, highPrecursor = 0.0;
  std::uint32_t precursors = 0;
  std::size_t points = 0;
  std::size_t seamZeros = 0;
  bool any = false;
  Json scans = Json::array();
  // What the file kept of each scan when it read it: the arrays are not read again.
  for (std::uint32_t i = 0; i < file.QNumScanSpectra(); ++i) {
    const WQDataFile::ScanSummary& summary = file.QScanSummary(i);
    const WQDataFile::Scan& scan = summary.Header;
    if (json) scans.push_back(ScanJson(summary));
    centroid += scan.Centroided ? 1 : 0;
    fromData += scan.ModeFromData ? 1 : 0;
    points += summary.Points;
    seamZeros += scan.SeamZerosDropped;
    if (i == 0) firstTime = lastTime = scan.RetentionTime;
    firstTime = std::min(firstTime, scan.RetentionTime);
    lastTime = std::max(lastTime, scan.RetentionTime);
    if (scan.PrecursorMZ) {
      lowPrecursor =
          precursors == 0 ? *scan.PrecursorMZ : std::min(lowPrecursor, *scan.PrecursorMZ);
      highPrecursor = std::max(highPrecursor, *scan.PrecursorMZ);
      ++precursors;
    }
    if (summary.Points == 0) continue;
    lowMZ = any ? std::min(lowMZ, summary.LowMZ) : summary.LowMZ;
    highMZ = any ? std::max(highMZ, summary.HighMZ) : summary.HighMZ;
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
                   {"modeFromData", fromData},
                   {"points", points},
                   {"seamZerosDropped", seamZeros},
                   {"mzRange", any ? Json::array({ToJson(lowMZ), ToJson(highMZ)}) : Json()},
                   {"retentionTime",
                    scans.empty() ? Json() : Json::array({ToJson(firstTime), ToJson(lastTime)})},
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
  std::cout << "Scan numbers: " << file.QScanSummary(0).Header.ScanNumber << " to "
            << file.QScanSummary(file.QNumScanSpectra() - 1).Header.ScanNumber << '\n';
  if (precursors > 0) {
    std::cout << std::fixed << std::setprecision(4) << "Precursors:   " << precursors
              << " scans, m/z " << lowPrecursor << " to " << highPrecursor << '\n'
              << std::defaultfloat;
  }
  std::cout << "Data:         " << profile << " profile, " << centroid << " centroid; " << points
            << " points\n"
            << "Mode from:    "
            << (fromData == 0 ? std::string("the file")
                              : "the data, for " + std::to_string(fromData) + " of " +
                                    std::to_string(file.QNumScanSpectra()) +
                                    " scans (the file calls them neither profile nor centroid)")
            << '\n';
  if (seamZeros > 0) {
    std::cout << "Left out:     " << seamZeros
              << " zero-intensity points at m/z window seams (their m/z repeated or undercut a "
                 "neighbour's)\n";
  }
  std::cout << std::fixed << std::setprecision(4) << "m/z range:    " << lowMZ << " to " << highMZ
            << '\n'
            << std::setprecision(2) << "Retention:    " << firstTime << " to " << lastTime << " s\n"
            << std::defaultfloat;
}

// The peaks of one spectrum: x positions and heights.
struct PeakList {
  std::vector<double> X;
  std::vector<double> Height;
};

std::unique_ptr<WQBL::Spectrum> SpectrumOf(const WQDataFile::CalDataFile& file,
                                           std::uint32_t index) {
  return file.GenerateAveragedSpectrum({file.QScan(index).ScanNumber}, WQBL::MZRange());
}

// The peaks of a spectrum as the export finds them: the points of a centroid scan, else the
// centroids detected, smoothed first when asked. Detection is repeated until `seconds` have
// passed, for a steady time; gives how often.
int PickPeaks(const WQBL::Spectrum& original, bool centroided, bool smooth, double seconds,
              PeakList& peaks) {
  if (centroided) {
    peaks = {original.QXAxis(), original.QYValues()};
    return 0;
  }
  WQBL::Spectrum spectrum;
  int repeats = 0;
  const auto start = std::chrono::steady_clock::now();
  do {
    spectrum = original;
    WQBL::Changed changed;
    std::wstring message;
    if (smooth && !WQBL::ExecuteSmooth(spectrum, changed, message)) {
      throw std::runtime_error(Narrow(message));
    }
    if (!WQBL::ExecutePeakDetect(spectrum, changed, message)) {
      throw std::runtime_error(Narrow(message));
    }
    ++repeats;
  } while (std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() <
           seconds);
  peaks = {};
  for (const WQBL::Peak& peak : spectrum.QPeaks()) {
    peaks.X.push_back(spectrum.FractionalIndexToXAxisVal(peak.CentroidIndex));
    peaks.Height.push_back(peak.Amplitude);
  }
  return repeats;
}

Json Figures(const WQBL::PeakListAgreement& a) {
  return Json{{"found", a.FoundPeaks},
              {"reference", a.ReferencePeaks},
              {"recall", a.Recall},
              {"recallTop10", a.RecallTop10},
              {"recallTop50", a.RecallTop50},
              {"precision", a.Precision},
              {"precisionStrong", a.PrecisionNarrow},
              {"precisionStrongWide", a.PrecisionWide},
              {"splitPeaks", a.SplitPeaks},
              {"medianAbsoluteDifference", a.MedianAbsoluteDifference},
              {"medianDifference", a.MedianSignedDifference}};
}

void PrintFigures(const WQBL::PeakListAgreement& a, double narrow, double wide) {
  std::cout << "Peaks found / reference:       " << a.FoundPeaks << " / " << a.ReferencePeaks
            << '\n'
            << std::fixed << std::setprecision(3) << "Recall, all / top 10% / top 50%: " << a.Recall
            << " / " << a.RecallTop10 << " / " << a.RecallTop50 << '\n'
            << "Precision, all:               " << a.Precision << '\n'
            << "Precision, strong (" << std::setprecision(2) << narrow << " / " << wide
            << "): " << std::setprecision(3) << a.PrecisionNarrow << " / " << a.PrecisionWide
            << '\n'
            << "Peaks found twice:            " << a.SplitPeaks << '\n'
            << std::setprecision(4)
            << "Median |difference| (m/z):    " << a.MedianAbsoluteDifference << '\n'
            << "Median difference (m/z):      " << std::showpos << a.MedianSignedDifference
            << std::noshowpos << '\n'
            << std::defaultfloat;
}

void PickReport(const PickReportOptions& options, bool json) {
  const InputFile runInput(options.Run);
  const InputFile referenceInput(options.Reference);
  const WQDataFile::CalDataFile run = OpenRun(runInput.Path());
  const WQDataFile::CalDataFile referenceRun = OpenRun(referenceInput.Path());
  const std::uint32_t count = run.QNumScanSpectra();
  if (count == 0) throw std::runtime_error(options.Run + " holds no scan.");
  if (referenceRun.QNumScanSpectra() != count) {
    throw std::runtime_error(options.Run + " holds " + std::to_string(count) + " scans and " +
                             options.Reference + " " +
                             std::to_string(referenceRun.QNumScanSpectra()) +
                             ": they are compared in order, one to one.");
  }
  const double narrow = options.Tolerance;
  const double wide = kWideTolerances * narrow;
  WQBL::PeakListComparison total(narrow, wide);
  Json spectra = Json::array();
  double seconds = 0.0;
  int detected = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::unique_ptr<WQBL::Spectrum> spectrum = SpectrumOf(run, i);
    const std::unique_ptr<WQBL::Spectrum> reference = SpectrumOf(referenceRun, i);
    const bool centroided = run.QCentroided(spectrum->ScanNumbers);
    PeakList peaks;
    const auto start = std::chrono::steady_clock::now();
    const int repeats = PickPeaks(*spectrum, centroided, options.Smooth, 0.25 / count, peaks);
    if (repeats > 0) {
      seconds +=
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / repeats;
      ++detected;
    }
    WQBL::PeakListComparison one(narrow, wide);
    one.Add(peaks.X, peaks.Height, reference->QXAxis(), reference->QYValues());
    total.Add(peaks.X, peaks.Height, reference->QXAxis(), reference->QYValues());
    const WQBL::PeakListAgreement agreement = one.Agreement();
    Json figures = Figures(agreement);
    figures["scan"] = spectrum->ScanNumbers.front();
    figures["points"] = spectrum->QNumPoints();
    figures["peaks"] = centroided ? "centroids of the file" : "detected";
    spectra.push_back(std::move(figures));
  }
  const WQBL::PeakListAgreement agreement = total.Agreement();
  const double milliseconds = detected == 0 ? 0.0 : 1000.0 * seconds / detected;
  if (json) {
    PrintJson(Json{{"run", options.Run},
                   {"reference", options.Reference},
                   {"smoothed", options.Smooth},
                   {"tolerance", narrow},
                   {"wideTolerance", wide},
                   {"spectra", std::move(spectra)},
                   {"total", Figures(agreement)},
                   {"timePerSpectrumMs", milliseconds}});
    return;
  }
  std::cout << "Run:                           " << Shown(options.Run) << " (scans: " << count
            << ", detected" << (options.Smooth ? " after smoothing" : "") << ": " << detected
            << ", centroid scans kept: " << count - detected << ")\n"
            << "Reference:                     " << Shown(options.Reference) << '\n';
  if (count > 1) {
    for (const Json& one : spectra) {
      std::cout << "  scan " << one["scan"].get<std::uint32_t>() << ": "
                << one["found"].get<std::size_t>() << " found / "
                << one["reference"].get<std::size_t>() << ", recall " << std::fixed
                << std::setprecision(3) << one["recall"].get<double>() << ", precision "
                << one["precision"].get<double>() << ", found twice "
                << one["splitPeaks"].get<std::size_t>() << '\n'
                << std::defaultfloat;
    }
  }
  PrintFigures(agreement, narrow, wide);
  std::cout << std::fixed << std::setprecision(2)
            << "Time per spectrum:             " << milliseconds << " ms\n"
            << std::defaultfloat;
}

}  // namespace

std::string FragmentText(const WQDataFile::Scan& scan) {
  if (scan.MSLevel == 1) return "";
  std::ostringstream text;
  text << "MS" << scan.MSLevel;
  if (scan.PrecursorMZ) {
    text << ", precursor m/z " << std::fixed << std::setprecision(4) << *scan.PrecursorMZ;
  }
  if (scan.Charge != 0) {
    text << ", charge " << std::abs(scan.Charge) << (scan.Charge > 0 ? '+' : '-');
  }
  if (!scan.Title.empty()) text << ", title " << Shown(scan.Title);
  return text.str();
}

void AddSpectraCommands(CLI::App& app) {
  auto runPath = std::make_shared<std::string>();
  auto* runInfo = app.add_subcommand(
      "run-info",
      "Show what a data file holds (the instrument's own format, mzML, mzXML or MGF): its scans, "
      "the MS levels of its spectra, profile or centroid data, and its m/z and retention-time "
      "ranges, its scan numbers and precursors. With --json, also each scan: its number, "
      "retention time, tune run, points, profile or centroid, total ion current, and for a "
      "fragment scan its MS level, precursor m/z, charge and title.");
  runInfo->add_option("RUN", *runPath, "Data file; - for standard input")->required();
  const std::shared_ptr<bool> json = AddJsonFlag(*runInfo);
  runInfo->callback([runPath, json] { RunInfo(*runPath, *json); });

  auto options = std::make_shared<PickReportOptions>();
  auto* report = app.add_subcommand(
      "pick-report",
      "Find the peaks of every scan of RUN as the export does (detected with the default "
      "spectrum parameters; a centroid scan's points kept as they are) and compare them, one to "
      "one and nearest first, with the peaks of the scan in the same place in REFERENCE (another "
      "picker's centroids, or the true peaks of a synthetic run). A match counts within the "
      "tolerance; pairs are made up to five tolerances apart. Per scan and over all: recall among "
      "all reference peaks and those of the top 10% and 50% of intensity; precision among all "
      "found peaks and among the strong ones, at least as intense as the weakest of the top 50%; "
      "reference peaks found twice; the median absolute and signed m/z difference; the time per "
      "spectrum.");
  report->add_option("RUN", options->Run, "Data file whose peaks are picked; - for standard input")
      ->required();
  report->add_option("REFERENCE", options->Reference, "Data file of the reference peaks")
      ->required();
  report->add_flag("--smooth", options->Smooth, "Smooth each spectrum first (Savitzky-Golay)");
  report
      ->add_option("--tolerance", options->Tolerance,
                   "m/z within which a found peak matches a reference peak (0.1 suits unit "
                   "resolution)")
      ->check(CLI::Range(1e-6, 10.0))
      ->capture_default_str();
  report->callback([options, json = AddJsonFlag(*report)] { PickReport(*options, *json); });
}

}  // namespace wqtool
