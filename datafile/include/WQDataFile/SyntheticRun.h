// A generator of realistic calibration runs, for tests, examples and demonstrations: calibrant
// peaks at known m/z with the instrument's peak width, rising and falling over the run as an
// infused or injected calibrant does, on a baseline with counting noise.
#pragma once

#include <WQDataFile/DataFile.h>
#include <WQDataFile/Export.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace WQDataFile {

struct Calibrant {
  double MZ = 0.0;
  double Height = 0.0;  // counts at the apex of the run
};

struct WQDATAFILE_EXPORT SyntheticRunSettings {
  // 120 scans of m/z 100 to 2000 in steps of 0.1, peaks 0.6 wide at half height, the sodium iodide
  // cluster ions (NaI)nNa+ for n = 1 to 13 as calibrants, a baseline of 20 counts, run number 1,
  // created at 2024-01-01 00:00:00 UTC, one hump without a plateau over a floor of 0.1.
  SyntheticRunSettings();

  // The sodium iodide cluster ions in the m/z range, each 0.85 times as high as the one before,
  // starting at `firstHeight`. Throws DataFileError when a bound or the height is not a finite
  // number.
  static std::vector<Calibrant> SodiumIodideClusters(double lowMZ, double highMZ,
                                                     double firstHeight);

  std::uint32_t ScanCount;
  double ScanTime;  // seconds per scan
  double LowMZ;
  double HighMZ;
  double MZStep;
  double PeakWidth;  // full width at half height, m/z
  std::vector<Calibrant> Calibrants;
  double Baseline;          // counts
  std::uint32_t RunNumber;  // picks the noise: each number gives a run of its own
  std::int64_t CreateTime;  // seconds since 1970
  // How many times the calibrants rise and fall over the run, at evenly spaced apexes.
  std::uint32_t Humps;
  // How many scans each hump stays at its top, as an elution that saturates the detector does.
  std::uint32_t PlateauScans;
  // The share of their height below which the calibrants never fall over the run (0 to 1): the
  // signal of a sample that is always infused. At 0, far from the humps only the baseline is left.
  double ProfileFloor;

  // The scan index, counted from 0, of the apex of hump `hump` of `humps` over `scanCount` scans.
  static double HumpApex(std::uint32_t scanCount, std::uint32_t humps, std::uint32_t hump);
};

// A new calibration data file at `fileName`, not yet written, made from `settings`; the same
// settings always give the same file. Its description names the number of scans and the run
// number. Its method scans the m/z range with tune 1 and also knows tune 2; the run has one tune
// run, of tune 1. The calibrants follow Gaussian humps over the scans (one: highest in the middle
// of the run), each a standard deviation of an eighth of its share of the run wide, flat over
// PlateauScans at its top, never below ProfileFloor of their height; every point has Gaussian
// noise of the square root of its expected counts. A run whose m/z range holds one point (LowMZ
// equal to HighMZ) monitors one ion, whose chromatogram has a hump on a baseline of Baseline
// counts. Throws DataFileError for settings that give no scans, no points or no humps, a
// ProfileFloor outside 0 to 1, and for one that is not a finite number, naming it.
WQDATAFILE_EXPORT CalDataFile GenerateSyntheticRun(const std::wstring& fileName,
                                                   const SyntheticRunSettings& settings);

// Writes the file that GenerateSyntheticRun makes to `fileName`, a scan at a time as it is made,
// so that memory does not grow with the number of scans; the file is replaced as a whole or not
// at all (DataFileWriter). Throws what GenerateSyntheticRun throws, and DataFileError when the file
// cannot be written. `progress`, when given, is called with the number of scans written so far
// and the number in all after each scan.
WQDATAFILE_EXPORT void WriteSyntheticRun(
    const std::wstring& fileName, const SyntheticRunSettings& settings,
    const std::function<void(std::uint32_t done, std::uint32_t total)>& progress = nullptr);

}  // namespace WQDataFile
