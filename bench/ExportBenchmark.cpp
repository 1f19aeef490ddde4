// Throughput of the calibration export on a synthetic run of 1,000 scans with 500 calibrant peaks
// each, in every-spectrum mode:
//   - AutoGenPL/N: the whole export of the first N scans (averaging, peak detection, stick
//     figures, CRC-32, the document and its durable save); N = 250, 500, 1000 shows how it scales;
//   - CentroidDocument/Module: the document and its save alone, from spectra whose peaks were set
//     beforehand;
//   - CentroidDocument/Baseline: the same numbers only formatted into a pugixml tree and written
//     to a file;
//   - SpectrumTexts and SpectrumTextsChecksummed: the stick figures' texts alone, and with the
//     checksum over them; their difference is the checksum's share of CentroidDocument/Module.
#include <WQCommon/Text.h>
#include <WQDataFile/SyntheticRun.h>
#include <WQRepos/WQRepos.h>
#include <benchmark/benchmark.h>

#include <charconv>
#include <chrono>
#include <filesystem>
#include <pugixml.hpp>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kScans = 1000;
constexpr int kCalibrants = 500;

// A directory of the benchmark's own, removed at the end.
class Workspace {
 public:
  Workspace()
      : path_(fs::temp_directory_path() /
              ("wqrepos-bench-" +
               std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()))) {
    fs::create_directories(path_);
  }
  ~Workspace() { fs::remove_all(path_); }
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

// m/z 100 to 1100 in steps of 0.125, a calibrant every 2 m/z with heights between 2,000 and
// 10,000 counts.
WQDataFile::SyntheticRunSettings BenchmarkRun() {
  WQDataFile::SyntheticRunSettings settings;
  settings.ScanCount = kScans;
  settings.LowMZ = 100.0;
  settings.HighMZ = 1100.0;
  settings.MZStep = 0.125;
  settings.PeakWidth = 0.5;
  settings.Calibrants.clear();
  for (int k = 0; k < kCalibrants; ++k) {
    settings.Calibrants.push_back({101.0 + 2.0 * k, 2000.0 + 80.0 * ((k * 37) % 100)});
  }
  return settings;
}

// The calibrants as the spectrum's peaks, so that the document has 500 peaks a spectrum whatever
// the peak detector finds.
void AssignCalibrantPeaks(WQBL::Spectrum& spectrum) {
  const std::vector<double>& y = spectrum.QYValues();
  std::vector<WQBL::Peak> peaks;
  for (int k = 0; k < kCalibrants; ++k) {
    WQBL::Peak peak;
    peak.ApexIndex = static_cast<std::uint32_t>((1.0 + 2.0 * k) / 0.125);
    peak.StartIndex = peak.ApexIndex - 2;
    peak.EndIndex = peak.ApexIndex + 2;
    peak.CentroidIndex = peak.ApexIndex + 0.013 * (k % 7);
    peak.Amplitude = y[peak.ApexIndex];
    peak.CentroidAmplitude = 0.98 * peak.Amplitude;
    peak.Area = 0.53 * peak.Amplitude;
    peaks.push_back(peak);
  }
  spectrum.AssignPeaks(std::move(peaks));
}

struct Data {
  Data()
      : File(WQDataFile::GenerateSyntheticRun(
            WQCommon::WQNarrowToWideStr((Directory.Path() / "run.dat").string()), BenchmarkRun())),
        Chromatogram(File.GenerateTIC()) {
    WQRepos::Initialize();
    for (std::uint32_t scan = 1; scan <= kScans; ++scan) {
      Processed.push_back(std::move(*File.GenerateAveragedSpectrum({scan}, {})));
      AssignCalibrantPeaks(Processed.back());
    }
  }

  fs::path Target() const { return Directory.Path() / "run.tofline"; }

  Workspace Directory;
  WQDataFile::CalDataFile File;
  WQBL::ICObj Chromatogram;
  std::vector<WQBL::Spectrum> Processed;
};

Data& TheData() {
  static Data data;
  return data;
}

// The chromatogram's first `points` points.
WQBL::ICObj FirstPoints(const WQBL::ICObj& chromatogram, std::size_t points) {
  WQBL::ICObj part;
  part.AssignXAxis({chromatogram.QXAxis().begin(), chromatogram.QXAxis().begin() + points});
  part.AssignYValues({chromatogram.QYValues().begin(), chromatogram.QYValues().begin() + points});
  part.AssignScanNumbers(
      {chromatogram.QScanNumbers().begin(), chromatogram.QScanNumbers().begin() + points});
  return part;
}

void Report(benchmark::State& state, std::size_t spectra, const fs::path& document) {
  const auto bytes = static_cast<std::int64_t>(fs::file_size(document));
  state.SetBytesProcessed(state.iterations() * bytes);
  state.counters["spectra/s"] = benchmark::Counter(static_cast<double>(spectra),
                                                   benchmark::Counter::kIsIterationInvariantRate);
  state.counters["document_MB"] = static_cast<double>(bytes) / 1e6;
}

void AutoGenPL(benchmark::State& state) {
  Data& data = TheData();
  WQBL::ICObj chromatogram = FirstPoints(data.Chromatogram, state.range(0));
  const WQBL::PLAutoFindPrefs everySpectrum;
  for (auto _ : state) {
    std::wstring error;
    if (!WQRepos::AutoGenPL(data.File, chromatogram, everySpectrum, true, error)) {
      state.SkipWithError(WQCommon::WQWideToNarrowStr(error).c_str());
      return;
    }
  }
  Report(state, state.range(0), data.Target());
}
BENCHMARK(AutoGenPL)->Arg(250)->Arg(500)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

void CentroidDocument(benchmark::State& state) {
  Data& data = TheData();
  const std::wstring target = WQCommon::WQNarrowToWideStr(data.Target().string());
  for (auto _ : state) {
    WQRepos::CentroidData document(data.File);
    for (const WQBL::Spectrum& spectrum : data.Processed) document.Add(spectrum);
    WQCommon::XMLBuilder builder;
    document.Serialize(builder, target);
    builder.Save(target);
  }
  Report(state, data.Processed.size(), data.Target());
}
BENCHMARK(CentroidDocument)->Name("CentroidDocument/Module")->Unit(benchmark::kMillisecond);

void SpectrumTexts(benchmark::State& state) {
  Data& data = TheData();
  std::vector<WQRepos::StickFigureData> sticks;
  for (const WQBL::Spectrum& spectrum : data.Processed) sticks.emplace_back(spectrum, data.File);
  for (auto _ : state) {
    for (const WQRepos::StickFigureData& stick : sticks) {
      benchmark::DoNotOptimize(stick.ElementText());
    }
  }
}
BENCHMARK(SpectrumTexts)->Unit(benchmark::kMillisecond);

void SpectrumTextsChecksummed(benchmark::State& state) {
  Data& data = TheData();
  std::vector<WQRepos::StickFigureData> sticks;
  for (const WQBL::Spectrum& spectrum : data.Processed) sticks.emplace_back(spectrum, data.File);
  for (auto _ : state) {
    boost::crc_32_type crc;
    for (const WQRepos::StickFigureData& stick : sticks) stick.ProcessChecksum(crc);
    benchmark::DoNotOptimize(crc.checksum());
  }
}
BENCHMARK(SpectrumTextsChecksummed)->Unit(benchmark::kMillisecond);

// The numbers of the stick figures in the same notations, without the module.
class NumberText {
 public:
  const char* Fixed(double x, int precision) {
    return Text(
        std::to_chars(buffer_, buffer_ + sizeof buffer_, x, std::chars_format::fixed, precision));
  }
  const char* General(double x, int precision) {
    return Text(
        std::to_chars(buffer_, buffer_ + sizeof buffer_, x, std::chars_format::general, precision));
  }

 private:
  const char* Text(std::to_chars_result result) {
    *result.ptr = '\0';
    return buffer_;
  }
  char buffer_[400];
};

int Precision(double x) { return x >= 1e7 ? 0 : x >= 1e6 ? 1 : x >= 1e5 ? 2 : x > 1e4 ? 3 : 4; }

void WriteSpectrum(pugi::xml_node spectra, const WQBL::Spectrum& spectrum) {
  NumberText number;
  pugi::xml_node element = spectra.append_child("Spectrum");
  element.append_attribute("Name") = WQCommon::WQWideToNarrowStr(spectrum.Name).c_str();
  element.append_attribute("ScanNumber") = spectrum.ScanNumbers.front();
  element.append_attribute("TIC") = number.General(spectrum.TIC, Precision(spectrum.TIC));
  pugi::xml_node peaks = element.append_child("Peaks");
  peaks.append_attribute("Count") = static_cast<unsigned>(spectrum.QPeaks().size());
  std::string positions;
  std::string amplitudes;
  std::string areas;
  for (const WQBL::Peak& peak : spectrum.QPeaks()) {
    const char* separator = positions.empty() ? "" : " ";
    const double mz = spectrum.FractionalIndexToXAxisVal(peak.CentroidIndex);
    positions.append(separator).append(number.Fixed(mz, Precision(mz)));
    amplitudes.append(separator).append(std::to_string(static_cast<int>(peak.CentroidAmplitude)));
    areas.append(separator).append(number.General(peak.Area, 6));
  }
  peaks.append_child("CentroidX").text() = positions.c_str();
  peaks.append_child("CentroidAmpl").text() = amplitudes.c_str();
  peaks.append_child("Area").text() = areas.c_str();
}

void PugixmlBaseline(benchmark::State& state) {
  Data& data = TheData();
  const fs::path target = data.Directory.Path() / "baseline.xml";
  for (auto _ : state) {
    pugi::xml_document document;
    pugi::xml_node spectra = document.append_child("TOFLine").append_child("Spectra");
    for (const WQBL::Spectrum& spectrum : data.Processed) WriteSpectrum(spectra, spectrum);
    document.save_file(target.c_str(), "\t");
  }
  Report(state, data.Processed.size(), target);
}
BENCHMARK(PugixmlBaseline)->Name("CentroidDocument/Baseline")->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
