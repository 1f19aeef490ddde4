#include <WQCommon/Text.h>
#include <WQDataFile/SyntheticRun.h>
#include <WQPlatform/Platform.h>
#include <WQRepos/WQRepos.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <pugixml.hpp>
#include <stdexcept>
#include <string>
#include <vector>

#include "Commands.h"

namespace wqtool {
namespace {

// CLI11 reads "nan" and "inf" as numbers, and a NaN passes its range check.
const CLI::Validator kFiniteNumber(
    [](std::string& text) {
      char* end = nullptr;
      const double value = std::strtod(text.c_str(), &end);
      if (end == text.c_str() || *end != '\0' || std::isfinite(value)) return std::string();
      return "Value " + text + " is not a finite number";
    },
    "FINITE");

// Runs with more items than this tell on standard error what they are doing.
constexpr std::uint32_t kManyItems = 200;
// Up to this many spectra are listed one by one in the summary.
constexpr std::size_t kListedSpectra = 20;

struct ExportOptions {
  std::string Run;
  bool Peaks = false;
  bool Smooth = false;
  bool DryRun = false;
};

struct GenerateOptions {
  std::string Path;
  std::uint32_t Scans = 120;
  std::uint32_t RunNumber = 1;
  double HighMZ = 2000.0;
  bool Force = false;
};

class Stopwatch {
 public:
  double Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

struct SpectrumSummary {
  std::string Name;
  std::size_t Peaks;
};

// Prints what the saved document holds: its spectra with their peak counts, and its CRC.
void PrintDocument(const std::filesystem::path& path) {
  pugi::xml_document document;
  if (!document.load_file(path.c_str())) {
    throw std::runtime_error("Cannot read the exported document " + path.string());
  }
  const pugi::xml_node spectra = document.child("TOFLine").child("Spectra");
  std::vector<SpectrumSummary> summaries;
  for (const pugi::xml_node& spectrum : spectra.children("Spectrum")) {
    summaries.push_back(
        {spectrum.attribute("Name").value(), spectrum.child("Peaks").attribute("Count").as_uint()});
  }
  std::cout << "Spectra written:    " << summaries.size() << '\n';
  if (!summaries.empty()) {
    std::vector<std::size_t> counts;
    for (const SpectrumSummary& summary : summaries) counts.push_back(summary.Peaks);
    std::sort(counts.begin(), counts.end());
    std::cout << "Peaks per spectrum: min " << counts.front() << ", median "
              << counts[counts.size() / 2] << ", max " << counts.back() << '\n';
  }
  if (summaries.size() <= kListedSpectra) {
    for (const SpectrumSummary& summary : summaries) {
      std::cout << "  " << std::left << std::setw(34) << Shown(summary.Name) << summary.Peaks
                << " peaks\n";
    }
  }
  std::cout << "CRC:                " << spectra.attribute("CRC").value() << '\n'
            << "Output:             " << Shown(path.string()) << '\n';
}

void Export(const ExportOptions& options) {
  InitializedConfig();
  WQDataFile::CalDataFile file(WQCommon::WQNarrowToWideStr(options.Run));
  WQBL::ICObj chromatogram = file.GenerateTIC();
  const WQBL::PLAutoFindPrefs prefs = ExportPreferences(options.Peaks, options.Smooth);
  if (file.QNumScanSpectra() > kManyItems) {
    std::cerr << "Exporting " << Shown(options.Run) << " (" << file.QNumScanSpectra() << " scans, "
              << (options.Peaks ? "one spectrum per chromatogram peak" : "every spectrum")
              << ")...\n";
  }
  const Stopwatch stopwatch;
  std::wstring error;
  if (!WQRepos::AutoGenPL(file, chromatogram, prefs, !options.DryRun, error)) {
    throw std::runtime_error(Narrow(error));
  }
  const std::size_t items =
      options.Peaks ? chromatogram.QPeaks().size() : chromatogram.QNumPoints();
  std::cout << "Run:                " << Shown(options.Run) << " (" << file.QNumScanSpectra()
            << " scans)\n"
            << "Mode:               "
            << (options.Peaks ? "one spectrum per chromatogram peak, averaged over the peak"
                              : "one spectrum per scan")
            << (options.Smooth ? ", smoothed" : "") << '\n'
            << "Time:               " << std::fixed << std::setprecision(2) << stopwatch.Seconds()
            << " s\n"
            << std::defaultfloat;
  if (options.DryRun) {
    std::cout << "Dry run:            " << items << " spectra generated, nothing written\n";
    return;
  }
  PrintDocument(std::filesystem::path(options.Run).replace_extension(".tofline"));
}

void Generate(const GenerateOptions& options) {
  WQDataFile::SyntheticRunSettings settings;
  settings.ScanCount = options.Scans;
  settings.RunNumber = options.RunNumber;
  settings.HighMZ = options.HighMZ;
  settings.Calibrants = WQDataFile::SyntheticRunSettings::SodiumIodideClusters(
      settings.LowMZ, settings.HighMZ, settings.Calibrants.front().Height);
  RefuseToReplace(options.Path, options.Force);
  if (options.Scans > kManyItems) {
    std::cerr << "Generating " << options.Scans << " scans into " << Shown(options.Path) << "...\n";
  }
  WQDataFile::WriteSyntheticRun(WQCommon::WQNarrowToWideStr(options.Path), settings);
  std::cout << "Wrote " << Shown(options.Path) << ": " << settings.ScanCount << " scans of m/z "
            << settings.LowMZ << " to " << settings.HighMZ << ", " << settings.Calibrants.size()
            << " calibrant peaks, run " << settings.RunNumber << '\n';
}

}  // namespace

WQBL::PLAutoFindPrefs ExportPreferences(bool peaks, bool smooth) {
  WQBL::PLAutoFindPrefs prefs;
  prefs.EverySpectrum = !peaks;
  prefs.PeakTableSelection = WQBL::PeakScans;
  prefs.Smooth = smooth;
  return prefs;
}

void AddExportCommands(CLI::App& app) {
  auto options = std::make_shared<ExportOptions>();
  auto* exportCommand = app.add_subcommand(
      "export",
      "Generate the peak lists of a calibration data file and save them as its centroid document "
      "(RUN with the extension .tofline, beside it), then show the spectra, their peak counts and "
      "the document's CRC-32. The chromatogram is the run's total ion current. An export with "
      "no spectrum to write (no chromatogram peak with --peaks) fails and keeps the earlier "
      "document.");
  exportCommand->add_option("RUN", options->Run, "Calibration data file")->required();
  auto* every =
      exportCommand->add_flag("--every-spectrum", "One spectrum per scan of the run (the default)");
  exportCommand
      ->add_flag("--peaks", options->Peaks,
                 "One spectrum per peak of the chromatogram, averaged over the scans from the "
                 "peak's start to its end")
      ->excludes(every);
  exportCommand->add_flag("--smooth", options->Smooth,
                          "Smooth each spectrum (Savitzky-Golay) before its peaks are detected");
  exportCommand->add_flag("--dry-run", options->DryRun,
                          "Generate and process the spectra, but write nothing");
  exportCommand->callback([options] { Export(*options); });

  auto generateOptions = std::make_shared<GenerateOptions>();
  auto* generate = app.add_subcommand(
      "generate-run",
      "Write a synthetic but realistic calibration data file: the sodium iodide cluster ions "
      "scanned from m/z 100 with unit-resolution peaks, rising and falling over the run, with "
      "counting noise. The same options always give the same file. Scans are written as they are "
      "made, and the file appears only once it is complete.");
  generate->add_option("PATH", generateOptions->Path, "Data file to write")->required();
  generate->add_option("--scans", generateOptions->Scans, "Number of scans")
      ->capture_default_str()
      ->check(CLI::Range(1u, 1000000u));
  generate
      ->add_option("--run-number", generateOptions->RunNumber,
                   "Number of the run: each number gives its own noise")
      ->capture_default_str();
  generate->add_option("--high-mz", generateOptions->HighMZ, "End of the scanned m/z range")
      ->capture_default_str()
      ->check(kFiniteNumber)
      ->check(CLI::Range(100.0, 10000.0));
  generate->add_flag("--force", generateOptions->Force, "Replace PATH when it exists already");
  generate->callback([generateOptions] { Generate(*generateOptions); });
}

}  // namespace wqtool
