// Synthetic spectra whose true peaks are known, for measuring peak detection: clusters of isotope
// peaks at regular distances, lone peaks between them, on a baseline with counting noise.
#pragma once

#include <WQDataFile/Export.h>

#include <cstdint>
#include <vector>

namespace WQDataFile {

struct SyntheticPeak {
  double MZ = 0.0;
  double Height = 0.0;  // expected counts above the baseline at the apex, times CountGain
  bool Lone = false;    // midway between two clusters, not a member of one
};

struct WQDATAFILE_EXPORT SyntheticSpectrumSettings {
  // Unit resolution: m/z 100 to 1000 in steps of 0.05, peaks 0.6 wide at half height, a single
  // peak every 10 m/z with heights spread over three decades from 100 counts, no lone peaks, a
  // baseline of 40 counts not clipped, a count written as 1, every point kept, no tailing,
  // spectrum number 1.
  SyntheticSpectrumSettings();
  // High resolution: m/z 200 to 2000 at a constant resolving power, steps of 0.0015 and peaks
  // 0.01 wide at m/z 200, clusters of three isotope peaks (100, 60 and 25 counts, scaled as above)
  // every 15 m/z on a baseline of 2 counts, where most points are a few counts or none.
  static SyntheticSpectrumSettings HighResolution();
  // A triple quadrupole at unit resolution: m/z 50 to 500 in steps of 0.12, peaks 0.3 wide (2.5
  // points at half height), single peaks every 10 m/z from 30 to 3000 counts, on a baseline of
  // 0.3 counts (mostly zero), each count written as 333, runs of zeros left out.
  static SyntheticSpectrumSettings Undersampled();

  double LowMZ;
  double HighMZ;
  double MZStep;     // between neighbouring points at LowMZ
  double PeakWidth;  // full width at half height at LowMZ
  // High resolution: the step and the width grow in proportion to m/z, as at a constant resolving
  // power. Otherwise both are the same over the whole range, as at unit resolution.
  bool ConstantResolvingPower;
  double ClusterSpacing;  // m/z from one cluster to the next
  // Counts above the baseline of each member of a cluster, one isotope spacing (1.00335) apart.
  std::vector<double> ClusterHeights;
  // Each cluster's heights are scaled by 10^u, u uniform from 0 to HeightDecades.
  double HeightDecades;
  double LoneHeight;  // counts of a lone peak midway between neighbouring clusters; 0 for none
  double Baseline;    // expected counts
  // The baseline subtracted from every point and what falls below zero set to zero, as
  // instruments that clip their baseline write it: about half the points between peaks are exact
  // zeros. The true heights stay those above the baseline.
  bool ClipBaseline;
  // The intensity a count is written as: detectors that write counts times their gain (a triple
  // quadrupole's 333) have no values between the multiples.
  double CountGain;
  // Runs of zero intensity left out but for their first and last point, as a triple quadrupole
  // stores a scan: what remains lies mostly on peaks, with gaps in m/z between them.
  bool OmitZeroRuns;
  // How many times wider a peak falls than it rises (1: Gaussian): each side is half a Gaussian,
  // the high-m/z side this much wider, as ions that arrive late make a tail. The apex stays at
  // the peak's m/z.
  double Tailing;
  std::uint32_t SpectrumNumber;  // picks the noise, the positions and the scales
};

struct SyntheticSpectrum {
  std::vector<double> MZ;
  std::vector<double> Intensity;
  std::vector<SyntheticPeak> Peaks;  // in ascending m/z
};

// The spectrum that `settings` describe: clusters from half a spacing above LowMZ, each shifted by
// up to a quarter m/z either way, as long as their last member stays a few peak widths below
// HighMZ; Gaussian peaks; every point a Poisson count of its expected value. The same settings
// always give the same spectrum. Throws DataFileError for settings that are not finite numbers,
// that give no points, more than 10 million points, no peaks, or a width or spacing that is not
// positive.
WQDATAFILE_EXPORT SyntheticSpectrum
GenerateSyntheticSpectrum(const SyntheticSpectrumSettings& settings);

}  // namespace WQDataFile
