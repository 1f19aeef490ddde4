#include <WQCommon/Text.h>
#include <WQCommon/XMLNumbers.h>
#include <WQDataFile/DataFile.h>
#include <WQPlatform/Platform.h>
#include <WQRepos/CentroidExport.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "Chart.h"
#include "Commands.h"

namespace wqtool {
namespace {

constexpr wchar_t kProfileColour[] = L"#1f5fa8";
constexpr wchar_t kLevelColour[] = L"#e08a00";
constexpr wchar_t kCentroidColour[] = L"#c62828";
constexpr wchar_t kUsedColour[] = L"#2e7d32";

struct PlotOptions {
  std::string Run;
  std::string Output;
  std::uint32_t Scan = 0;       // a scan number when --scan is given
  int Spectrum = 1;             // the export's spectrum, from 1
  std::vector<double> MZRange;  // empty, or the lowest and highest m/z shown
  bool ByScan = false;
  bool Chromatogram = false;
  bool Peaks = false;
  bool Smooth = false;
  bool Csv = false;
};

std::wstring Wide(const std::string& text) { return WQCommon::WQNarrowToWideStr(text); }

std::string Shortest(double value) { return Narrow(WQCommon::ShortestExactText(value)); }

std::wstring Fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return Wide(text);
}

// "1 scan", "2 scans".
std::string Counted(std::size_t count, const std::string& noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

std::wstring RunName(const std::string& run) {
  return Wide(std::filesystem::path(run).filename().string());
}

// One centroid of the export: where the document puts it, and the apex of its peak.
struct Centroid {
  double MZ;
  double Amplitude;  // at the centroid, as the document gives it
  double Apex;       // the height of the peak's highest point
  double Area;
};

struct ProfilePoint {
  double MZ;
  double Intensity;
  double Level;  // the detection level
};

// What is shown of an exported spectrum: its profile points and centroids in the m/z range.
struct SpectrumView {
  Range MZ;
  std::vector<ProfilePoint> Profile;  // none for a spectrum of centroid scans
  std::vector<Centroid> Centroids;
};

SpectrumView ViewOf(const WQRepos::ExportedSpectrum& exported, const std::vector<double>& mzRange) {
  const WQBL::Spectrum& spectrum = exported.Spectrum;
  const std::vector<double>& x = spectrum.QXAxis();
  SpectrumView view;
  view.MZ = mzRange.empty() ? RangeOf(x) : Range{mzRange[0], mzRange[1]};
  auto shown = [&](double mz) { return mz >= view.MZ.Low && mz <= view.MZ.High; };
  for (std::size_t i = 0; i < exported.DetectionLevels.size(); ++i) {
    if (shown(x[i])) {
      view.Profile.push_back({x[i], spectrum.QYValues()[i], exported.DetectionLevels[i]});
    }
  }
  for (const WQBL::Peak& peak : spectrum.QPeaks()) {
    const double mz = spectrum.FractionalIndexToXAxisVal(peak.CentroidIndex);
    if (!shown(mz)) continue;
    view.Centroids.push_back(
        {mz, peak.CentroidAmplitude, std::max(peak.Amplitude, peak.CentroidAmplitude), peak.Area});
  }
  return view;
}

// Writes what `write` produces to `path`, atomically, or to standard output for "-".
template <typename Writer>
void WriteOutput(const std::string& path, Writer write) {
  if (path == "-") {
    write(std::cout);
    std::cout.flush();
    if (!std::cout) throw std::runtime_error("Cannot write to standard output.");
    return;
  }
  WQPlatform::AtomicFile file(path);
  write(file.Stream());
  file.Commit();
}

// The spectrum that the options name, as the export makes it.
WQRepos::ExportedSpectrum ChosenSpectrum(const PlotOptions& options,
                                         const WQDataFile::CalDataFile& file,
                                         WQBL::ICObj& chromatogram,
                                         const WQBL::PLAutoFindPrefs& prefs) {
  if (options.ByScan) return WQRepos::QExportedSpectrum(file, {options.Scan}, prefs);
  const int count = WQRepos::QExportedSpectrumCount(chromatogram, prefs);
  if (options.Spectrum > count) {
    throw std::runtime_error(options.Run + " gives " + std::to_string(count) +
                             " spectra in its export; there is no spectrum " +
                             std::to_string(options.Spectrum) + ".");
  }
  return WQRepos::QExportedSpectrum(
      file, WQRepos::QExportedScans(chromatogram, prefs, options.Spectrum - 1), prefs);
}

void SpectrumCsv(std::ostream& out, const SpectrumView& view) {
  out << "kind,mz,intensity,detection_level,area\n";
  for (const ProfilePoint& point : view.Profile) {
    out << "profile," << Shortest(point.MZ) << ',' << Shortest(point.Intensity) << ','
        << Shortest(point.Level) << ",\n";
  }
  for (const Centroid& centroid : view.Centroids) {
    out << "centroid," << Shortest(centroid.MZ) << ',' << Shortest(centroid.Amplitude) << ",,"
        << Shortest(centroid.Area) << '\n';
  }
}

// `fragment` tells what a fragment scan drawn alone says of itself (FragmentText).
void SpectrumSvg(std::ostream& out, const PlotOptions& options, const WQBL::Spectrum& spectrum,
                 const SpectrumView& view, const std::string& fragment) {
  std::vector<double> heights;
  for (const ProfilePoint& point : view.Profile) {
    heights.push_back(point.Intensity);
    heights.push_back(point.Level);
  }
  std::vector<Point> marks;
  for (const Centroid& centroid : view.Centroids) {
    marks.push_back({centroid.MZ, centroid.Amplitude});
    heights.push_back(centroid.Apex);
  }
  const std::wstring title = RunName(options.Run) + L" \x2014 " + spectrum.Name + L" at " +
                             Fixed(spectrum.RetentionTime, 2) + L" s, " + Wide(fragment) +
                             (fragment.empty() ? L"" : L", ") +
                             Wide(Counted(view.Centroids.size(), "centroid")) +
                             (options.MZRange.empty() ? L"" : L" in the range");
  Chart chart(title, view.MZ, HeightRangeOf(heights, 0.12), L"m/z", L"Intensity (counts)");
  if (view.Profile.empty()) {
    chart.Sticks(marks, kProfileColour);
  } else {
    std::vector<Point> line;
    std::vector<Point> level;
    for (const ProfilePoint& point : view.Profile) {
      line.push_back({point.MZ, point.Intensity});
      level.push_back({point.MZ, point.Level});
    }
    chart.Line(line, kProfileColour, false);
    chart.Line(level, kLevelColour, true);
    chart.Legend(Chart::Sample::Line, kProfileColour,
                 options.Smooth ? L"profile, smoothed" : L"profile");
    chart.Legend(Chart::Sample::Dashed, kLevelColour, L"detection level");
  }
  chart.Legend(chart.Markers(marks, kCentroidColour), kCentroidColour, L"centroids exported (m/z)");
  // The highest peaks get their labels first where labels would collide.
  std::vector<Centroid> byHeight = view.Centroids;
  std::stable_sort(byHeight.begin(), byHeight.end(),
                   [](const Centroid& a, const Centroid& b) { return a.Apex > b.Apex; });
  std::vector<std::pair<Point, std::wstring>> labels;
  for (const Centroid& centroid : byHeight) {
    labels.push_back({{centroid.MZ, centroid.Apex}, Fixed(centroid.MZ, 4)});
  }
  chart.Labels(labels, kCentroidColour);
  chart.Write(out);
}

// For each scan of the chromatogram that the export uses, the export's spectra (from 1) that
// average it.
std::map<std::uint32_t, std::vector<int>> SpectraOfScans(WQBL::ICObj& chromatogram,
                                                         const WQBL::PLAutoFindPrefs& prefs) {
  std::map<std::uint32_t, std::vector<int>> spectra;
  const int count = WQRepos::QExportedSpectrumCount(chromatogram, prefs);
  for (int item = 0; item < count; ++item) {
    for (std::uint32_t scan : WQRepos::QExportedScans(chromatogram, prefs, item)) {
      spectra[scan].push_back(item + 1);
    }
  }
  return spectra;
}

void ChromatogramCsv(std::ostream& out, const WQBL::ICObj& chromatogram,
                     const std::map<std::uint32_t, std::vector<int>>& spectra) {
  out << "scan,retention_time,total_ion_current,spectra\n";
  for (std::uint32_t point = 0; point < chromatogram.QNumPoints(); ++point) {
    const std::uint32_t scan = chromatogram.QScanNumber(point);
    out << scan << ',' << Shortest(chromatogram.QXAxis()[point]) << ','
        << Shortest(chromatogram.QYValues()[point]) << ',';
    const auto used = spectra.find(scan);
    if (used != spectra.end()) {
      for (std::size_t i = 0; i < used->second.size(); ++i) {
        out << (i == 0 ? "" : " ") << used->second[i];
      }
    }
    out << '\n';
  }
}

void ChromatogramSvg(std::ostream& out, const PlotOptions& options, const WQBL::ICObj& chromatogram,
                     const std::map<std::uint32_t, std::vector<int>>& spectra) {
  const std::vector<double>& times = chromatogram.QXAxis();
  const std::vector<double>& totals = chromatogram.QYValues();
  // The first and last point, and the highest, of each spectrum's scans.
  struct Span {
    std::uint32_t First, Last, Highest;
  };
  std::map<int, Span> spans;
  std::vector<Point> line;
  std::vector<Point> used;
  for (std::uint32_t point = 0; point < chromatogram.QNumPoints(); ++point) {
    line.push_back({times[point], totals[point]});
    const auto found = spectra.find(chromatogram.QScanNumber(point));
    if (found == spectra.end()) continue;
    used.push_back(line.back());
    for (int spectrum : found->second) {
      auto [span, added] = spans.try_emplace(spectrum, Span{point, point, point});
      if (added) continue;
      span->second.Last = point;
      if (totals[point] > totals[span->second.Highest]) span->second.Highest = point;
    }
  }
  const std::wstring title =
      RunName(options.Run) + L" \x2014 total ion current, " +
      Wide(Counted(chromatogram.QNumPoints(), "scan")) + L", " + std::to_wstring(spans.size()) +
      (spans.size() == 1 ? L" spectrum" : L" spectra") +
      (options.Peaks ? L" exported (one per chromatogram peak)" : L" exported (one per scan)");
  Chart chart(title, RangeOf(times), HeightRangeOf(totals, 0.12), L"Retention time (s)",
              L"Total ion current (counts)");
  if (options.Peaks) {
    for (const auto& [spectrum, span] : spans)
      chart.Band(times[span.First], times[span.Last], kUsedColour);
  }
  chart.Line(line, kProfileColour, false);
  const Chart::Sample marked = chart.Markers(used, kUsedColour);
  chart.Legend(Chart::Sample::Line, kProfileColour, L"total ion current");
  chart.Legend(
      marked, kUsedColour,
      options.Peaks ? L"scans the export averages, by spectrum" : L"scans the export uses");
  if (options.Peaks) {
    std::vector<std::pair<Point, std::wstring>> labels;
    for (const auto& [spectrum, span] : spans) {
      labels.push_back({{times[span.Highest], totals[span.Highest]}, std::to_wstring(spectrum)});
    }
    chart.Labels(labels, kUsedColour);
  }
  chart.Write(out);
}

// Tells what was written, unless it went to standard output.
void Report(const PlotOptions& options, const std::string& what, const std::string& detail) {
  if (options.Output == "-" || Quiet()) return;
  std::cout << "Wrote " << Shown(options.Output) << ": " << what << " of " << Shown(options.Run)
            << ", " << detail << '\n';
}

void Plot(const PlotOptions& options) {
  const InputFile run(options.Run);
  if (options.Output != "-") RefuseToWriteOnto(options.Output, run.Path(), "plotted");
  const WQDataFile::CalDataFile file(Wide(run.Path()));
  WQBL::ICObj chromatogram = file.GenerateTIC();
  const WQBL::PLAutoFindPrefs prefs = ExportPreferences(options.Peaks, options.Smooth);
  if (options.Chromatogram) {
    const auto spectra = SpectraOfScans(chromatogram, prefs);
    WriteOutput(options.Output, [&](std::ostream& out) {
      if (options.Csv) {
        ChromatogramCsv(out, chromatogram, spectra);
      } else {
        ChromatogramSvg(out, options, chromatogram, spectra);
      }
    });
    Report(options, "the total ion current", Counted(chromatogram.QNumPoints(), "scan"));
    return;
  }
  const WQRepos::ExportedSpectrum exported = ChosenSpectrum(options, file, chromatogram, prefs);
  const SpectrumView view = ViewOf(exported, options.MZRange);
  const std::string fragment =
      options.ByScan ? FragmentText(file.QScanSummary(file.FindScan(options.Scan)).Header) : "";
  WriteOutput(options.Output, [&](std::ostream& out) {
    if (options.Csv) {
      SpectrumCsv(out, view);
    } else {
      SpectrumSvg(out, options, exported.Spectrum, view, fragment);
    }
  });
  Report(options, Shown(exported.Spectrum.Name),
         (fragment.empty() ? "" : fragment + ", ") + Counted(view.Centroids.size(), "centroid"));
}

}  // namespace

void AddPlotCommand(CLI::App& app) {
  auto options = std::make_shared<PlotOptions>();
  auto* plot = app.add_subcommand(
      "plot",
      "Draw a spectrum of a calibration data file as the export makes it, as SVG: the profile as "
      "a line, the level above which peak detection takes points for peaks as a dashed line, and "
      "the centroids that the export writes, marked and labelled by m/z. With --chromatogram, "
      "draw the run's total ion current (of its MS1 scans, when it has any) with the scans that "
      "the export uses marked. With --csv, write the same points as comma-separated values "
      "instead.");
  plot->add_option("RUN", options->Run, "Calibration data file; - for standard input")->required();
  plot->add_option("-o,--output", options->Output, "File to write (- for standard output)")
      ->required();
  auto* scan =
      plot->add_option("--scan", options->Scan,
                       "Draw the spectrum of the scan numbered N, as the run numbers it, of any "
                       "MS level");
  scan->type_name("N");
  auto* spectrum =
      plot->add_option("--spectrum", options->Spectrum,
                       "Draw the export's spectrum N, counted from 1 in the order of the document")
          ->type_name("N")
          ->capture_default_str()
          ->check(CLI::PositiveNumber)
          ->excludes(scan);
  auto* chromatogram =
      plot->add_flag("--chromatogram", options->Chromatogram,
                     "Draw the total ion current with the scans the export uses marked")
          ->excludes(scan)
          ->excludes(spectrum);
  plot->add_flag("--peaks", options->Peaks,
                 "As export --peaks: one spectrum per chromatogram peak, averaged over the scans "
                 "from the peak's start to its end")
      ->excludes(scan);
  plot->add_flag("--smooth", options->Smooth,
                 "As export --smooth: smooth each spectrum before its peaks are detected")
      ->excludes(chromatogram);
  plot->add_option("--mz-range", options->MZRange,
                   "Show only the part of the spectrum from m/z LOW to HIGH (peaks are still "
                   "detected on the whole spectrum, as the export does)")
      ->type_name("LOW HIGH")
      ->expected(2)
      ->excludes(chromatogram);
  plot->add_flag("--csv", options->Csv,
                 "Write comma-separated values instead of SVG: for a spectrum, a line per profile "
                 "point (kind,mz,intensity,detection_level,) and per centroid "
                 "(kind,mz,intensity,,area); for the chromatogram, a line per scan "
                 "(scan,retention_time,total_ion_current,spectra), spectra listing the export's "
                 "spectra that use the scan");
  plot->callback([options, scan] {
    options->ByScan = scan->count() > 0;
    const std::vector<double>& range = options->MZRange;
    if (!range.empty() &&
        !(std::isfinite(range[0]) && std::isfinite(range[1]) && range[0] < range[1])) {
      throw CLI::ValidationError("--mz-range",
                                 "LOW and HIGH must be finite numbers, LOW below HIGH");
    }
    Plot(*options);
  });
}

}  // namespace wqtool
