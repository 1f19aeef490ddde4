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
#include <memory>
#include <optional>
#include <pugixml.hpp>
#include <sstream>
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

// Up to this many spectra are listed one by one in the summary.
constexpr std::size_t kListedSpectra = 20;

struct ExportOptions {
  std::string Run;
  std::string Output;
  bool Peaks = false;
  bool Smooth = false;
  bool DryRun = false;
  bool Json = false;
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

// What the saved document holds: its spectra with their peak counts, its CRC, and whether an
// element follows the spectra (a document appended from beside it).
struct DocumentSummary {
  std::vector<SpectrumSummary> Spectra;
  std::string Crc;
  bool Appended = false;
};

DocumentSummary Summarise(const std::string& path, const std::string& shownPath) {
  pugi::xml_document document;
  if (!document.load_file(path.c_str()))
    throw std::runtime_error("Cannot read the exported document " + shownPath);
  const pugi::xml_node spectra = document.child("TOFLine").child("Spectra");
  DocumentSummary summary{
      {}, spectra.attribute("CRC").value(), static_cast<bool>(spectra.next_sibling())};
  for (const pugi::xml_node& spectrum : spectra.children("Spectrum")) {
    summary.Spectra.push_back(
        {spectrum.attribute("Name").value(), spectrum.child("Peaks").attribute("Count").as_uint()});
  }
  return summary;
}

// The XML document beside the exported one that the export appends to it; empty when there is
// none, or when it is the run itself (a run kept as r.xml).
std::string CompanionOf(const std::string& written, const std::string& run) {
  const std::string companion = WQCommon::WQWideToNarrowStr(
      WQRepos::CompanionDocumentPath(WQCommon::WQNarrowToWideStr(written)));
  if (!WQPlatform::PathExists(companion) || WQPlatform::SameFile(companion, run)) return {};
  return companion;
}

// Why the document at `path` was not appended: the export leaves out one it cannot read whole as
// a well-formed document, and says nothing of it.
std::string WhyNotAppended(const std::string& path) {
  std::optional<std::string> content;
  try {
    content = WQPlatform::ReadFile(path);
  } catch (const WQPlatform::ReadError& error) {
    return error.what();
  }
  if (!content) return "it could not be read";
  pugi::xml_document document;
  const pugi::xml_parse_result result = document.load_buffer(content->data(), content->size());
  if (!result)
    return "it is not a well-formed XML document (" + std::string(result.description()) +
           " at byte " + std::to_string(result.offset) + ")";
  return "it holds no element";
}

void PrintDocument(const DocumentSummary& summary, const std::string& output) {
  std::cout << "Spectra written:    " << summary.Spectra.size() << '\n';
  if (!summary.Spectra.empty()) {
    std::vector<std::size_t> counts;
    for (const SpectrumSummary& spectrum : summary.Spectra) counts.push_back(spectrum.Peaks);
    std::sort(counts.begin(), counts.end());
    std::cout << "Peaks per spectrum: min " << counts.front() << ", median "
              << counts[counts.size() / 2] << ", max " << counts.back() << '\n';
  }
  if (summary.Spectra.size() <= kListedSpectra) {
    for (const SpectrumSummary& spectrum : summary.Spectra) {
      std::cout << "  " << std::left << std::setw(34) << Shown(spectrum.Name) << spectrum.Peaks
                << " peaks\n";
    }
  }
  std::cout << "CRC:                " << summary.Crc << '\n'
            << "Output:             " << Shown(output) << '\n';
}

// The document's path: -o's, or the run's with the extension .tofline.
std::string OutputPath(const ExportOptions& options) {
  if (!options.Output.empty()) return options.Output;
  if (options.Run == "-")
    throw std::runtime_error("an export of standard input needs -o FILE or -o - to write to");
  return std::filesystem::path(options.Run).replace_extension(".tofline").string();
}

// Copies the file `path` to standard output.
void CopyToStandardOutput(const std::string& path) {
  const std::unique_ptr<WQPlatform::ReadOnlyFile> file = WQPlatform::ReadOnlyFile::Open(path);
  if (!file) throw std::runtime_error("Cannot read the exported document");
  char buffer[65536];
  for (std::uint64_t offset = 0; offset < file->Size();) {
    const std::size_t got = file->ReadAt(offset, buffer, sizeof buffer);
    if (got == 0) break;
    std::cout.write(buffer, static_cast<std::streamsize>(got));
    offset += got;
  }
  std::cout.flush();
  if (!std::cout) throw std::runtime_error("Cannot write the exported document to standard output");
}

// The library writes a document without spectra when the chromatogram has no points or no peaks;
// the tool would rather keep an earlier document and say so, with a dry run as with an export.
// The system configuration, whose name the document carries, is read first, so that a fault in it
// is reported with its file and element rather than inside the export's own message.
void RefuseEmptyExport(const ExportOptions& options, const WQDataFile::CalDataFile& file,
                       WQBL::ICObj& chromatogram, const WQBL::PLAutoFindPrefs& prefs) {
  WQRepos::LoadSystemConfiguration();
  if (WQRepos::QExportedSpectrumCount(chromatogram, prefs) > 0) return;
  throw std::runtime_error("Nothing to export from " + options.Run + ": " +
                           (file.QNumScanSpectra() == 0 ? std::string("it holds no scans")
                            : options.Peaks
                                ? std::string("no peak was found on its total ion current")
                                : std::string("its total ion current has no points")) +
                           "; nothing was written");
}

void Export(const ExportOptions& options) {
  InitializedConfig();
  if (options.Json && options.Output == "-")
    throw std::runtime_error("--json and -o - would both write to standard output");
  const InputFile run(options.Run);
  const std::string output = options.DryRun ? std::string() : OutputPath(options);
  const bool toStandardOutput = output == "-";
  // A document for standard output is made in a file of its own first: a failed export writes
  // nothing there.
  std::unique_ptr<WQPlatform::TemporaryFile> staged;
  if (toStandardOutput) staged = std::make_unique<WQPlatform::TemporaryFile>([](std::ostream&) {});
  const std::string written = staged ? staged->Path() : output;
  WQDataFile::CalDataFile file(WQCommon::WQNarrowToWideStr(run.Path()));
  WQBL::ICObj chromatogram = file.GenerateTIC();
  const WQBL::PLAutoFindPrefs prefs = ExportPreferences(options.Peaks, options.Smooth);
  RefuseEmptyExport(options, file, chromatogram, prefs);
  const Stopwatch stopwatch;
  std::wstring error;
  WQRepos::ExportSettings settings;
  settings.Output = WQCommon::WQNarrowToWideStr(written);
  // A run read from standard input is read from a temporary copy, whose name means nothing.
  if (options.Run == "-") settings.Name = L"stdin";
  Progress progress("Exporting");
  settings.Progress = [&progress](int done, int total) {
    progress.Show(static_cast<std::size_t>(done), static_cast<std::size_t>(total));
  };
  // The module's text runs the path into "Cannot write to file" and gives no reason; the reason
  // comes through WriteFailed, as "<what> <path>: <system's reason>".
  std::string writeFailure;
  settings.WriteFailed = [&writeFailure, &written](const std::string& detail) {
    const std::size_t reason = detail.rfind(": ");
    writeFailure = "Cannot write to file " + written + ": " +
                   (reason == std::string::npos ? detail : detail.substr(reason + 2));
  };
  if (!WQRepos::AutoGenPL(file, chromatogram, prefs, !options.DryRun, error, settings))
    throw std::runtime_error(writeFailure.empty() ? Narrow(error) : writeFailure);
  progress.Done();
  const std::size_t items =
      options.Peaks ? chromatogram.QPeaks().size() : chromatogram.QNumPoints();
  if (toStandardOutput) {
    CopyToStandardOutput(written);
    return;
  }
  const double seconds = stopwatch.Seconds();
  const DocumentSummary summary = options.DryRun ? DocumentSummary() : Summarise(written, output);
  const std::string companion = options.DryRun ? std::string() : CompanionOf(written, run.Path());
  if (!companion.empty() && !summary.Appended)
    Warn(companion + " was not appended to the document: " + WhyNotAppended(companion));
  if (options.Json) {
    Json spectra = Json::array();
    for (const SpectrumSummary& spectrum : summary.Spectra)
      spectra.push_back({{"name", spectrum.Name}, {"peaks", spectrum.Peaks}});
    PrintJson({{"run", options.Run},
               {"scans", file.QNumScanSpectra()},
               {"mode", options.Peaks ? "peaks" : "everySpectrum"},
               {"smoothed", options.Smooth},
               {"seconds", seconds},
               {"spectra", options.DryRun ? Json(items) : spectra},
               {"crc", options.DryRun ? Json() : Json(summary.Crc)},
               {"output", options.DryRun ? Json() : Json(output)},
               {"appended", summary.Appended ? Json(companion) : Json()}});
    return;
  }
  if (Quiet()) return;
  std::cout << "Run:                " << Shown(options.Run) << " (" << file.QNumScanSpectra()
            << " scans)\n"
            << "Mode:               "
            << (options.Peaks ? "one spectrum per chromatogram peak, averaged over the peak"
                              : "one spectrum per scan")
            << (options.Smooth ? ", smoothed" : "") << '\n'
            << "Time:               " << std::fixed << std::setprecision(2) << seconds << " s\n"
            << std::defaultfloat;
  if (options.DryRun) {
    std::cout << "Dry run:            " << items << " spectra generated, nothing written\n";
    return;
  }
  PrintDocument(summary, output);
  if (summary.Appended) std::cout << "Appended:           " << Shown(companion) << '\n';
}

void Generate(const GenerateOptions& options) {
  WQDataFile::SyntheticRunSettings settings;
  settings.ScanCount = options.Scans;
  settings.RunNumber = options.RunNumber;
  settings.HighMZ = options.HighMZ;
  settings.Calibrants = WQDataFile::SyntheticRunSettings::SodiumIodideClusters(
      settings.LowMZ, settings.HighMZ, settings.Calibrants.front().Height);
  RefuseToReplace(options.Path, options.Force);
  Progress progress("Generating");
  WQDataFile::WriteSyntheticRun(
      WQCommon::WQNarrowToWideStr(options.Path), settings,
      [&progress](std::uint32_t done, std::uint32_t total) { progress.Show(done, total); });
  progress.Done();
  std::ostringstream wrote;
  wrote << "Wrote " << Shown(options.Path) << ": " << settings.ScanCount << " scans of m/z "
        << settings.LowMZ << " to " << settings.HighMZ << ", " << settings.Calibrants.size()
        << " calibrant peaks, run " << settings.RunNumber;
  Say(wrote.str());
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
      "(RUN with the extension .tofline, beside it, unless -o says otherwise), then show the "
      "spectra, their peak counts and the document's CRC-32. The chromatogram is the run's total "
      "ion current, of its MS1 scans when it has any: fragment scans are not exported. An export "
      "with no spectrum to write (no chromatogram peak with --peaks) fails and keeps the earlier "
      "document.");
  exportCommand->add_option("RUN", options->Run, "Calibration data file; - for standard input")
      ->required();
  exportCommand->add_option(
      "-o,--output", options->Output,
      "Write the document to FILE instead, or to standard output for - (nothing else is printed "
      "then)");
  exportCommand->add_flag("--json", options->Json, "Print the summary as one JSON document");
  auto* every =
      exportCommand->add_flag("--every-spectrum", "One spectrum per scan of the run (the default)");
  exportCommand
      ->add_flag("--peaks", options->Peaks,
                 "One spectrum per peak of the chromatogram, averaged over the scans from the "
                 "peak's start to its end. In a run that alternates kinds of scan (scan "
                 "definitions, such as experiments or analysers), the total ion current of each "
                 "kind is searched on its own, and a peak averages the scans of its kind; a kind "
                 "of fewer than 5 scans holds no peak")
      ->excludes(every);
  exportCommand->add_flag("--smooth", options->Smooth,
                          "Smooth each spectrum (Savitzky-Golay, with the automatic peak lists' "
                          "own settings: the stored MZSmooth preference does not apply) before its "
                          "peaks are detected");
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
  generate->add_option("PATH", generateOptions->Path, "Data file to write")
      ->required()
      ->check(CLI::Validator(
          [](const std::string& path) {
            return path == "-" ? "a run is written to a file, not to standard output (-)" : "";
          },
          ""));
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
