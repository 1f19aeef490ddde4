// Writes the synthetic spectra that scripts/compare-pickers.sh hands to each peak picker, as mzML
// runs of one scan per spectrum: for each set SET, SET.mzML (profile), SET-truth.mzML (the true
// peaks as centroids) and, where the set has lone peaks between clusters, SET-weak.mzML (those
// alone). Prints a line per set: its name, the tolerance that judges it and the peak width.
//
//   wqrepos_synthetic_spectra DIRECTORY
#include <WQDataFile/SyntheticSpectrum.h>

#include <boost/make_shared.hpp>
#include <cstdio>
#include <exception>
#include <functional>
#include <pwiz/data/msdata/MSDataFile.hpp>
#include <string>
#include <vector>

namespace {

using namespace WQDataFile;
namespace msdata = pwiz::msdata;

struct Set {
  const char* Name;
  double Tolerance;  // m/z within which a found peak matches a true one
  SyntheticSpectrumSettings Settings;
  std::uint32_t Spectra;
};

SyntheticSpectrumSettings Busy(double weak) {
  SyntheticSpectrumSettings settings;
  settings.ClusterSpacing = 8.0;
  settings.ClusterHeights = {5000.0, 3000.0, 1200.0, 400.0};
  settings.HeightDecades = 0.0;
  settings.LoneHeight = weak;
  return settings;
}

std::vector<Set> Sets() {
  SyntheticSpectrumSettings fine;
  fine.MZStep = 0.02;
  SyntheticSpectrumSettings coarse;
  coarse.MZStep = 0.1;
  SyntheticSpectrumSettings busyFine = Busy(200.0);
  busyFine.MZStep = 0.02;
  SyntheticSpectrumSettings busyWide = Busy(100.0);
  busyWide.ClusterSpacing = 30.0;
  // Equal pairs one width apart at half height (one isotope spacing), 100 to 100,000 counts.
  SyntheticSpectrumSettings doublets;
  doublets.PeakWidth = 1.0033548;
  doublets.ClusterHeights = {100.0, 100.0};
  SyntheticSpectrumSettings tailing;
  tailing.Tailing = 1.5;
  SyntheticSpectrumSettings clipped;
  clipped.ClipBaseline = true;
  return {{"sparse-unit", 0.1, SyntheticSpectrumSettings(), 20},
          {"fine-unit", 0.1, fine, 5},
          {"coarse-unit", 0.1, coarse, 5},
          {"busy-unit-400", 0.1, Busy(400.0), 5},
          {"busy-unit-200", 0.1, Busy(200.0), 5},
          {"busy-unit-100", 0.1, Busy(100.0), 5},
          {"busy-unit-200-fine", 0.1, busyFine, 5},
          {"clusters-30-unit-100", 0.1, busyWide, 5},
          {"sparse-high", 0.02, SyntheticSpectrumSettings::HighResolution(), 5},
          {"doublets-unit", 0.1, doublets, 10},
          {"tailing-unit", 0.1, tailing, 10},
          {"clipped-unit", 0.1, clipped, 5},
          {"undersampled-unit", 0.06, SyntheticSpectrumSettings::Undersampled(), 40}};
}

msdata::SpectrumPtr SpectrumOf(std::size_t index, const std::vector<double>& mz,
                               const std::vector<double>& intensity, bool centroid) {
  auto spectrum = boost::make_shared<msdata::Spectrum>();
  spectrum->index = index;
  spectrum->id = "scan=" + std::to_string(index + 1);
  spectrum->set(pwiz::cv::MS_ms_level, 1);
  spectrum->set(pwiz::cv::MS_MS1_spectrum);
  spectrum->set(centroid ? pwiz::cv::MS_centroid_spectrum : pwiz::cv::MS_profile_spectrum);
  spectrum->scanList.set(pwiz::cv::MS_no_combination);
  spectrum->scanList.scans.emplace_back();
  spectrum->scanList.scans.back().set(pwiz::cv::MS_scan_start_time, static_cast<double>(index),
                                      pwiz::cv::UO_second);
  spectrum->setMZIntensityArrays(mz, intensity, pwiz::cv::MS_number_of_detector_counts);
  return spectrum;
}

// One run of the spectra that `pick` gives for each spectrum of the set.
void WriteRun(const std::string& path, const Set& set, bool centroid,
              const std::function<void(const SyntheticSpectrum&, std::vector<double>&,
                                       std::vector<double>&)>& pick) {
  msdata::MSData data;
  data.id = set.Name;
  data.fileDescription.fileContent.set(pwiz::cv::MS_MS1_spectrum);
  // Readers of mzML need the run's default data processing, and it a software.
  auto software = boost::make_shared<msdata::Software>("wqrepos");
  software->version = "1";
  data.softwarePtrs.push_back(software);
  auto processing = boost::make_shared<msdata::DataProcessing>("synthetic");
  processing->processingMethods.emplace_back();
  processing->processingMethods.back().softwarePtr = software;
  processing->processingMethods.back().set(pwiz::cv::MS_data_processing);
  data.dataProcessingPtrs.push_back(processing);
  auto spectra = boost::make_shared<msdata::SpectrumListSimple>();
  spectra->dp = processing;
  SyntheticSpectrumSettings settings = set.Settings;
  for (std::uint32_t k = 0; k < set.Spectra; ++k) {
    settings.SpectrumNumber = k + 1;
    const SyntheticSpectrum spectrum = GenerateSyntheticSpectrum(settings);
    std::vector<double> mz, intensity;
    pick(spectrum, mz, intensity);
    spectra->spectra.push_back(SpectrumOf(k, mz, intensity, centroid));
  }
  data.run.id = set.Name;
  data.run.spectrumListPtr = spectra;
  msdata::MSDataFile::WriteConfig config;
  config.useWorkerThreads = false;
  msdata::MSDataFile::write(data, path, config);
}

void TruePeaks(const SyntheticSpectrum& spectrum, bool loneOnly, std::vector<double>& mz,
               std::vector<double>& intensity, double baseline) {
  for (const SyntheticPeak& peak : spectrum.Peaks) {
    if (loneOnly && !peak.Lone) continue;
    mz.push_back(peak.MZ);
    intensity.push_back(baseline + peak.Height);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "Usage: %s DIRECTORY\n", argv[0]);
    return 2;
  }
  try {
    for (const Set& set : Sets()) {
      const std::string base = std::string(argv[1]) + "/" + set.Name;
      const double baseline = set.Settings.Baseline;
      WriteRun(base + ".mzML", set, false, [](const auto& s, auto& mz, auto& intensity) {
        mz = s.MZ;
        intensity = s.Intensity;
      });
      WriteRun(base + "-truth.mzML", set, true, [&](const auto& s, auto& mz, auto& intensity) {
        TruePeaks(s, false, mz, intensity, baseline);
      });
      if (set.Settings.LoneHeight > 0.0) {
        WriteRun(base + "-weak.mzML", set, true, [&](const auto& s, auto& mz, auto& intensity) {
          TruePeaks(s, true, mz, intensity, baseline);
        });
      }
      std::printf("%s %g %g\n", set.Name, set.Tolerance, set.Settings.PeakWidth);
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  return 0;
}
